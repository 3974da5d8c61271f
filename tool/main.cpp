// favtool: reads, checks, backs up and edits the favourites the plug-in keeps
// in the registry. Arguments arrive as UTF-16 and are handed to the option
// parser as UTF-8; everything printed is UTF-8.
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tool/commands.h"
#include "tool/registry.h"
#include "tool/text.h"

namespace {

constexpr int kUsageError = 2;

std::string ModuleNameProblem(const std::string& name) {
    if (name.empty()) return "the module name is empty";
    if (name.find('\\') != std::string::npos) return "a module name holds no backslash";
    return {};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    args.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) args.push_back(ToUtf8(argv[i]));
    std::vector<const char*> utf8Argv;
    utf8Argv.reserve(args.size());
    for (const std::string& arg : args) utf8Argv.push_back(arg.c_str());

    CLI::App app{"Lists, checks, exports, imports and repairs the favourites of the Favorites plug-in.\n"
                 "Close the editor first: an open favourites bar saves its own tree later.",
                 "favtool"};
    app.allow_windows_style_options(false);  // "/..." is a path here, not an option
    app.require_subcommand(1, 1);
    app.fallthrough();
    app.set_version_flag("--version", "favtool " FAVORITES_VERSION);
    std::string module = "Favorites";
    app.add_option("--module", module, "the plug-in's file name up to its first dot")
        ->capture_default_str()
        ->check(ModuleNameProblem);

    std::string file;
    std::string from;
    std::string to;
    bool dryRun = false;
    CLI::App* list = app.add_subcommand("list", "print the tree, one favourite a line");
    CLI::App* exportCommand = app.add_subcommand("export", "write the tree to a JSON document");
    exportCommand->add_option("FILE", file, "the document to write")->required();
    CLI::App* importCommand = app.add_subcommand("import", "replace the tree with a JSON document's");
    importCommand->add_option("FILE", file, "the document to read")->required();
    CLI::App* check = app.add_subcommand("check", "report whether the stored tree loads completely");
    CLI::App* restore = app.add_subcommand("restore", "swap FavoriteArray and FavoriteArrayBackup");
    CLI::App* relocate = app.add_subcommand("relocate", "move favourites from one folder to another");
    relocate->add_option("OLD", from, "the old folder (or file)")->required();
    relocate->add_option("NEW", to, "what replaces it")->required();
    relocate->add_flag("--dry-run", dryRun, "print the changes without writing them");
    CLI::App* missing = app.add_subcommand("missing", "list favourites whose files do not exist");

    try {
        app.parse(static_cast<int>(utf8Argv.size()), utf8Argv.data());
    } catch (const CLI::ParseError& e) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = app.exit(e, out, err);
        PrintOut(out.str());
        PrintErr(err.str());
        return status == 0 ? 0 : kUsageError;
    }

    const std::wstring wideModule = FromUtf8(module);
    try {
        if (*list) return ListCommand(wideModule);
        if (*exportCommand) return ExportCommand(wideModule, FromUtf8(file));
        if (*importCommand) return ImportCommand(wideModule, FromUtf8(file));
        if (*check) return CheckCommand(wideModule);
        if (*restore) return RestoreCommand(wideModule);
        if (*relocate) return RelocateCommand(wideModule, FromUtf8(from), FromUtf8(to), dryRun);
        if (*missing) return MissingCommand(wideModule);
    } catch (const ToolError& e) {
        PrintErr(std::string("favtool: ") + e.what() + "\n");
        return 1;
    } catch (const std::exception& e) {
        PrintErr(std::string("favtool: unexpected failure: ") + e.what() + "\n");
        return 1;
    }
    return kUsageError;
}
