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
#include "tool/registry.h"
#include "tool/text.h"

namespace {

constexpr const char* kDescription =
    "Lists, checks, exports, imports and restores the favourites of the Favorites plug-in.\n"
    "It may run while the editor is open: bars without unsaved edits show what it wrote at\n"
    "the editor's next idle moment; a bar with unsaved edits saves over it then, and the\n"
    "value it wrote is in the history.";

constexpr const char* kFooter = R"(favtool COMMAND --help lists the options of one command (--json, --dry-run, ...).

Examples:
  favtool list                         the tree, indented
  favtool check                        does the stored value load completely?
  favtool export favorites.json        write the whole tree to a UTF-8 JSON file
  favtool import favorites.json --dry-run
                                       what an import would replace, writing nothing
  favtool import favorites.json        replace the tree with the document's
  favtool relocate "C:\My Docs" D:\Docs
                                       favourites below C:\My Docs now point below D:\Docs
  favtool history                      earlier values, newest first
  favtool diff 1                       what the newest earlier value holds that the current
                                       one lacks (-), and the reverse (+)
  favtool restore --history 1          put the newest earlier value back
  favtool missing --json > missing.json
  favtool --module my list             the key of a copy of the plug-in named my.dll

Exit status:
  0  done (also when there was nothing to do)
  1  done, with a finding: a value that does not load completely, missing files
     or files that could not be checked, differences in diff
  2  the command line is wrong; nothing was done
  3  a failure: a key, value or file could not be opened, read or written, a
     document was refused, or memory ran out

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
    std::vector<const char*> utf8Argv;
    utf8Argv.reserve(args.size());
    for (const std::string& arg : args) utf8Argv.push_back(arg.c_str());

    CLI::App app{kDescription, "favtool"};
    app.allow_windows_style_options(false);  // "/..." is a path here, not an option
    app.require_subcommand(1, 1);
    app.fallthrough();
    app.footer(kFooter);
    app.set_version_flag("--version", "favtool " FAVORITES_VERSION);
    std::string module = "Favorites";
    app.add_option("--module", module, "the plug-in's file name up to its first dot")
        ->capture_default_str()
        ->check(ModuleNameProblem);
    std::string encoding;
    app.add_option("--encoding", encoding,
                   "redirected output in utf8, or in the console's code page (the default when there is a console)")
        ->check(CLI::IsMember({"utf8", "console"}));

    Options options;
    std::string file;
    std::string from;
    std::string to;
    CLI::App* list = app.add_subcommand("list", "print the tree, one favourite a line");
    list->add_flag("--json", options.json, "the tree as one JSON document (importable as it is)");
    list->add_option("--history", options.historyEntry, "print history entry N instead: 1 the newest")
        ->check(CLI::PositiveNumber);
    CLI::App* exportCommand = app.add_subcommand("export", "write the tree to a JSON document");
    exportCommand->add_option("FILE", file, "the document to write; - for standard output")->required();
    exportCommand->add_option("--history", options.historyEntry, "write history entry N instead: 1 the newest")
        ->check(CLI::PositiveNumber);
    CLI::App* importCommand = app.add_subcommand("import", "replace the tree with a JSON document's");
    importCommand->add_option("FILE", file, "the document to read; - for standard input")->required();
    importCommand->add_flag("--dry-run", options.dryRun, "say what would be replaced, writing nothing");
    importCommand->add_flag("--create", options.create, "create the module's key if it does not exist");
    CLI::App* check = app.add_subcommand("check", "report whether the stored tree loads completely");
    check->add_flag("--json", options.json, "the report as one JSON document");
    CLI::App* restore =
        app.add_subcommand("restore", "swap FavoriteArrayBackup in, or (--history N) put back an earlier value");
    restore->add_flag("--dry-run", options.dryRun, "say what would be replaced, writing nothing");
    restore->add_option("--history", options.historyEntry, "the history entry to put back: 1 the newest")
        ->check(CLI::PositiveNumber);
    restore->add_flag("--force", options.force,
                      "also a backup or entry that does not load completely, or an entry whose restore drops it "
                      "or older entries from the history");
    CLI::App* history = app.add_subcommand("history", "list the earlier values kept, newest first");
    history->add_flag("--json", options.json, "the entries as one JSON document");
    CLI::App* diff = app.add_subcommand("diff", "compare a history entry's favourites with FavoriteArray's");
    diff->add_option("N", options.historyEntry, "the history entry: 1 (the default) the newest")
        ->check(CLI::PositiveNumber);
    CLI::App* relocate = app.add_subcommand("relocate", "move favourites from one folder to another");
    relocate->add_option("OLD", from, "the old folder (or file)")->required();
    relocate->add_option("NEW", to, "what replaces it: a path from a drive or share")->required();
    relocate->add_flag("--dry-run", options.dryRun, "print the changes without writing them");
    relocate->add_flag("--change-case", options.changeCase, "also write changes of case (or slashes) only");
    CLI::App* missing = app.add_subcommand("missing", "list favourites whose files do not exist or cannot be checked");
    missing->add_flag("--json", options.json, "the findings as one JSON document");

    if (AloneOnOwnConsole()) {
        // Started from Explorer: the window would close before anyone could read it.
        PrintOut("favtool is a console program. Open a command prompt in its folder (in Explorer, type cmd in the "
                 "address bar) and run it there, for example: favtool list\n\n" +
                 app.help() + "\nPress any key to close this window.\n");
        WaitForKey();
        return kExitUsage;
    }
    if (const std::string problem = QuoteProblem(args); !problem.empty()) return Usage(problem);

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
        status = kExitFailure;
    } catch (const std::exception& e) {
        PrintErr(std::string("favtool: unexpected failure: ") + e.what() + "\n");
        status = kExitFailure;
    }
    if (const std::optional<std::string> failure = OutputFailure()) {
        PrintErr("favtool: the output could not be written whole (" + *failure + ")\n");
        return kExitFailure;
    }
    return status;
}
