// The tool's commands, each on the key of one plug-in module. They return
// the exit status and throw ToolError for failures that end them.
#pragma once

#include <string>

int ListCommand(const std::wstring& module);
int ExportCommand(const std::wstring& module, const std::wstring& file);
int ImportCommand(const std::wstring& module, const std::wstring& file);
int CheckCommand(const std::wstring& module);
int RestoreCommand(const std::wstring& module);
int RelocateCommand(const std::wstring& module, const std::wstring& from, const std::wstring& to, bool dryRun);
int MissingCommand(const std::wstring& module);
