// The tool's commands, each on the key of one plug-in module. They return
// the exit status (tool/exit_status.h) and throw ToolError for failures
// that end them.
#pragma once

#include <string>

struct Options {
    std::wstring module;
    bool json = false;        // list, check, missing: one JSON document on standard output
    bool dryRun = false;      // import, restore, relocate: say what would change, write nothing
    bool create = false;      // import: create the module's key when it does not exist
    bool changeCase = false;  // relocate: also write changes of case only
    bool force = false;       // restore: also what does not load completely, or drops older entries
    int historyEntry = 0;     // restore, list and export --history N, diff N: the entry, 1 the newest
};

// "-" for a file: standard output or input.
constexpr const wchar_t* kStandardStream = L"-";

int ListCommand(const Options& options);
int ExportCommand(const Options& options, const std::wstring& file);
int ImportCommand(const Options& options, const std::wstring& file);
int CheckCommand(const Options& options);
int RestoreCommand(const Options& options);
int RelocateCommand(const Options& options, const std::wstring& from, const std::wstring& to);
int MissingCommand(const Options& options);
int HistoryCommand(const Options& options);
int DiffCommand(const Options& options);
