// favtool: lists, checks, exports, imports and restores the favourites the plug-in keeps
// in the registry. Arguments arrive as UTF-16 and are handed to the option
// parser as UTF-8; output follows tool/console.h.
#include <windows.h>

#include <new>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tool/commands.h"
#include "tool/console.h"
#include "tool/exit_status.h"
#include "tool/language.h"
#include "tool/registry.h"
#include "tool/text.h"

namespace {

constexpr const char* kDescription =
    "Lists, checks, exports, imports and restores the favourites of the Favorites\n"
    "plug-in. It may run while the editor is open: bars without unsaved edits show\n"
    "what it wrote at the editor's next idle moment; a bar with unsaved edits saves\n"
    "over it then, and the value it wrote is in the history.";

// The help's columns: option names up to kNameColumns, their descriptions
// wrapped to fit a console of 80 columns.
constexpr std::size_t kNameColumns = 30;
constexpr std::size_t kHelpColumns = 80;

constexpr const char* kFooter = R"(favtool COMMAND --help lists the options of one command.

Examples:
  favtool list                    the tree, indented
  favtool check                   does the stored value load completely?
  favtool export favorites.json   write the whole tree to a UTF-8 JSON file
  favtool import favorites.json --dry-run
                                  what an import would replace, writing nothing
  favtool import favorites.json   replace the tree with the document's
  favtool relocate "C:\My Docs" D:\Docs
                                  favourites below C:\My Docs now point below
                                  D:\Docs
  favtool history                 earlier values, newest first
  favtool diff 1                  what the newest earlier value holds that the
                                  current one lacks (-), and the reverse (+)
  favtool restore --history 1     put the newest earlier value back
  favtool missing --json > missing.json
  favtool --module my list        the key of a copy of the plug-in named my.dll

Exit status: the same for every command
  0  done (also when there was nothing to do)
  1  done, with a finding: a value that does not load completely was listed,
     diff found differences, missing found files
  2  the command line is wrong (an unknown command or option, a bad number, an
     empty file name); nothing was done
  3  refused, nothing written: a value, backup, history entry or document that
     does not load, a module key that does not exist, the favourites kept
     locked by another writer, a round trip export cannot make
  4  failed part-way: a system error (a key, value or file that cannot be read
     or written, output that cannot be written, no memory left); the message
     says what was put back

Where the values live:
  HKEY_CURRENT_USER\Software\Kalmet\ZorvexPlugIns\<module>: FavoriteArray (the
  tree), check (its layout), FavoriteArrayBackup (the bytes of a value that did
  not load completely, or the value a restore swapped out), and the subkey
  History (earlier values: the newest 15 and the first of each of 15 days).

Undo:
  import, relocate and restore keep the value they replace in the history, as
  the bar does when a save deletes favourites, replaces another window's value
  or makes the day's first change: favtool history lists the entries, favtool
  restore --history 1 puts the newest back. favtool restore swaps
  FavoriteArrayBackup in; a second restore undoes that. Keep an export too.

Output to a console shows every character. Redirected output follows the
console's code page (--encoding utf8 for UTF-8); JSON files are always UTF-8.)";

// Below one command's options: where the rest is told.
constexpr const char* kCommandFooter = "favtool --help lists every command, the exit statuses and how to undo.";

// Words wrapped to the help's description column.
std::string Fit(const std::string& text) {
    constexpr std::size_t width = kHelpColumns - kNameColumns;
    std::string out;
    std::size_t lineLength = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t space = text.find(' ', at);
        const std::string word = text.substr(at, space == std::string::npos ? std::string::npos : space - at);
        at = space == std::string::npos ? text.size() : space + 1;
        if (lineLength > 0 && lineLength + 1 + word.size() > width) {
            out += '\n';
            lineLength = 0;
        } else if (lineLength > 0) {
            out += ' ';
            ++lineLength;
        }
        out += word;
        lineLength += word.size();
    }
    return out;
}

constexpr const char* kCommandNames[] = {"list",    "export",  "import",   "check",  "restore",
                                         "history", "diff",    "relocate", "missing"};

std::string CommandList() {
    std::string names;
    for (const char* name : kCommandNames) names += (names.empty() ? "" : ", ") + std::string(name);
    return names;
}

// The first word that is no option nor an option's value must name a
// command; CLI11 would only call it an unexpected argument.
std::string CommandProblem(const std::vector<std::string>& args) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--module" || arg == "--encoding" || arg == "--lang") {
            ++i;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            if (arg == "--help" || arg == "-h" || arg == "--version") return {};
            continue;
        }
        for (const char* name : kCommandNames) {
            if (arg == name) return {};
        }
        return "unknown command '" + arg + "'; commands are " + CommandList();
    }
    return "no command given; commands are " + CommandList() + " (favtool --help tells more)";
}

// A history entry's number: CLI11's own checks would name the bounds of a
// double. How many entries there are is known only once the key is read.
std::string EntryNumberProblem(const std::string& text) {
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || text.find_first_not_of('0') == std::string::npos) {
        return "'" + text + "' is not a history entry: entries are numbered from 1 (the newest) to the number "
               "favtool history lists";
    }
    if (text.size() - text.find_first_not_of('0') > 6) {
        return "there is no history entry " + text + ": entries are numbered from 1 (the newest) to the number "
               "favtool history lists";
    }
    return {};
}

std::string FileNameProblem(const std::string& text) { return text.empty() ? "the file name is empty" : ""; }

// A module name is the DLL's file name up to its first dot, as the plug-in
// derives its key: anything else names a key the plug-in never reads.
std::string ModuleNameProblem(const std::string& name) {
    if (name.empty()) return "the module name is empty";
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) {
        if (dot == 0) return "a module name is the DLL's file name up to its first dot, so it holds no dot";
        return "a module name is the DLL's file name up to its first dot: use --module " + name.substr(0, dot);
    }
    if (name.find_first_of("\\/:*?\"<>|") != std::string::npos) {
        return "a module name is part of a file name and holds none of \\ / : * ? \" < > |";
    }
    return {};
}

// The C runtime reads "C:\My Docs\" as C:\My Docs" and joins it with what
// follows; no argument of favtool holds a quote otherwise.
std::string QuoteProblem(const std::vector<std::string>& args) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i].find('"') == std::string::npos) continue;
        return "the argument '" + args[i] +
               "' holds a quote (\"). A backslash right before a closing quote keeps the quote in the argument: "
               "drop the trailing backslash, as in \"C:\\My Docs\" instead of \"C:\\My Docs\\\"";
    }
    return {};
}

// The help is built in the language spoken, so --lang is read ahead of the
// parser (which checks it again and refuses a value it does not know).
Language LanguageOf(const std::vector<std::string>& args) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::optional<Language> named;
        if (args[i] == "--lang" && i + 1 < args.size()) named = LanguageNamed(args[i + 1]);
        if (args[i].rfind("--lang=", 0) == 0) named = LanguageNamed(args[i].substr(7));
        if (named) return *named;
    }
    return UserLanguage();
}

int Usage(const std::string& message) {
    PrintErr("favtool: " + message + "\n");
    return kExitUsage;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // No "insert a disk" dialog for a favourite on an empty or vanished drive.
    ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS);

    std::vector<std::string> args;
    args.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) args.push_back(ToUtf8(argv[i]));
    // The Windows way of asking for help; "?" is in no path, so it is never a file name.
    for (std::string& arg : args) {
        if (arg == "/?") arg = "--help";
    }
    std::vector<const char*> utf8Argv;
    utf8Argv.reserve(args.size());
    for (const std::string& arg : args) utf8Argv.push_back(arg.c_str());

    UseLanguage(LanguageOf(args));

    CLI::App app{kDescription, "favtool"};
    app.allow_windows_style_options(false);  // "/..." is a path here, not an option
    app.require_subcommand(1, 1);
    app.fallthrough();
    app.get_formatter()->column_width(kNameColumns);
    app.set_version_flag("--version", "favtool " FAVORITES_VERSION);
    std::string module = "Favorites";
    app.add_option("--module", module, Fit("the plug-in's file name up to its first dot"))
        ->capture_default_str()
        ->check(ModuleNameProblem);
    std::string encoding;
    app.add_option("--encoding", encoding,
                   Fit("redirected output in utf8, or in the console's code page (the default when there is a "
                       "console)"))
        ->check(CLI::IsMember({"utf8", "console"}));
    std::string language;
    app.add_option("--lang", language,
                   Fit("the language of messages and help: ja (Japanese) or en (English); the default is "
                       "Windows' display language"))
        ->check(CLI::IsMember({"ja", "en"}));

    Options options;
    std::string file;
    std::string from;
    std::string to;
    std::string entry;
    CLI::App* list = app.add_subcommand("list", Fit("print the tree, one favourite a line"));
    list->add_flag("--json", options.json, Fit("the tree as one JSON document (importable as it is)"));
    list->add_option("--history", entry, Fit("print history entry N instead: 1 the newest"))
        ->type_name("N")
        ->check(EntryNumberProblem);
    CLI::App* exportCommand = app.add_subcommand("export", Fit("write the tree to a JSON document"));
    exportCommand->add_option("FILE", file, Fit("the document to write; - for standard output"))
        ->type_name("")
        ->required()
        ->check(FileNameProblem);
    exportCommand->add_option("--history", entry, Fit("write history entry N instead: 1 the newest"))
        ->type_name("N")
        ->check(EntryNumberProblem);
    CLI::App* importCommand = app.add_subcommand("import", Fit("replace the tree with a JSON document's"));
    importCommand->add_option("FILE", file, Fit("the document to read; - for standard input"))
        ->type_name("")
        ->required()
        ->check(FileNameProblem);
    importCommand->add_flag("--dry-run", options.dryRun, Fit("say what would be replaced, writing nothing"));
    importCommand->add_flag("--create", options.create, Fit("create the module's key if it does not exist"));
    CLI::App* check = app.add_subcommand("check", Fit("report whether the stored tree loads completely"));
    check->add_flag("--json", options.json, Fit("the report as one JSON document"));
    CLI::App* restore = app.add_subcommand(
        "restore", Fit("swap FavoriteArrayBackup in, or (--history N) put back an earlier value"));
    restore->add_flag("--dry-run", options.dryRun, Fit("say what would be replaced, writing nothing"));
    restore->add_option("--history", entry, Fit("the history entry to put back: 1 the newest"))
        ->type_name("N")
        ->check(EntryNumberProblem);
    restore->add_flag("--force", options.force, Fit("also a backup or entry that does not load completely, or an entry whose "
                          "restore drops it or older entries from the history"));
    CLI::App* history = app.add_subcommand("history", Fit("list the earlier values kept, newest first"));
    history->add_flag("--json", options.json, Fit("the entries as one JSON document"));
    CLI::App* diff = app.add_subcommand("diff", Fit("compare a history entry's favourites with FavoriteArray's"));
    diff->add_option("N", entry, Fit("the history entry: 1 (the default) the newest"))
        ->type_name("")
        ->check(EntryNumberProblem);
    CLI::App* relocate = app.add_subcommand("relocate", Fit("move favourites from one folder to another"));
    relocate->add_option("OLD", from, Fit("the old folder (or file)"))->type_name("")->required();
    relocate->add_option("NEW", to, Fit("what replaces it: a path from a drive or share"))
        ->type_name("")
        ->required();
    relocate->add_flag("--dry-run", options.dryRun, Fit("print the changes without writing them"));
    relocate->add_flag("--change-case", options.changeCase, Fit("also write changes of case (or slashes) only"));
    CLI::App* missing =
        app.add_subcommand("missing", Fit("list favourites whose files do not exist or cannot be checked"));
    missing->add_flag("--json", options.json, Fit("the findings as one JSON document"));
    // Each command's help shows that command; the whole story is under favtool --help.
    for (CLI::App* command : app.get_subcommands({})) command->footer(kCommandFooter);
    app.footer(kFooter);

    // Started from Explorer, without arguments: the window would close before
    // anyone could read it. With arguments (Task Scheduler, a shortcut,
    // Start-Process, Win+R) it was given work to do, and does it.
    if (args.size() == 1 && AloneOnOwnConsole()) {
        PrintOut("favtool is a console program. Open a command prompt in its folder (in Explorer, type cmd in the "
                 "address bar) and run it there, for example: favtool list\n\n" +
                 app.help() + "\nPress any key to close this window.\n");
        WaitForKey();
        return kExitUsage;
    }
    if (const std::string problem = QuoteProblem(args); !problem.empty()) return Usage(problem);
    if (const std::string problem = CommandProblem(args); !problem.empty()) return Usage(problem);

    try {
        app.parse(static_cast<int>(utf8Argv.size()), utf8Argv.data());
    } catch (const CLI::ParseError& e) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = app.exit(e, out, err);
        PrintOut(out.str());
        PrintErr(err.str());
        return status == 0 ? kExitSuccess : kExitUsage;
    }
    if (!entry.empty()) options.historyEntry = std::stoi(entry);
    ConfigureOutput(encoding == "utf8"      ? OutputEncoding::Utf8
                    : encoding == "console" ? OutputEncoding::Console
                                            : OutputEncoding::Automatic);

    options.module = FromUtf8(module);
    int status = kExitUsage;
    try {
        if (*list) status = ListCommand(options);
        if (*exportCommand) status = ExportCommand(options, FromUtf8(file));
        if (*importCommand) status = ImportCommand(options, FromUtf8(file));
        if (*check) status = CheckCommand(options);
        if (*restore) status = RestoreCommand(options);
        if (*relocate) status = RelocateCommand(options, FromUtf8(from), FromUtf8(to));
        if (*missing) status = MissingCommand(options);
        if (*history) status = HistoryCommand(options);
        if (*diff) status = DiffCommand(options);
    } catch (const ToolError& e) {
        PrintErr(std::string("favtool: ") + e.what() + "\n");
        status = e.Status();
    } catch (const std::bad_alloc&) {
        PrintErr("favtool: out of memory; nothing was changed\n");
        status = kExitFailed;
    } catch (const std::exception& e) {
        PrintErr(std::string("favtool: unexpected failure: ") + e.what() + "\n");
        status = kExitFailed;
    }
    if (const std::optional<std::string> failure = OutputFailure()) {
        PrintErr("favtool: the output could not be written whole (" + *failure + ")\n");
        return kExitFailed;
    }
    return status;
}
