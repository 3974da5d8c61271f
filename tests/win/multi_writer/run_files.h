// The files of one several-process run, in its folder: the processes' line
// logs, and copies of every history entry a process saw, so that an entry
// the history drops later (it keeps the newest 15) can still be checked.
#pragma once

#include <string>
#include <vector>

#include "tests/win/multi_writer/stored_key.h"

namespace multiwriter {


// The UTF-8 lines of a file; a last line without its line end (cut short by
// a kill) is left out.
std::vector<std::wstring> ReadLines(const std::wstring& path);
bool WriteText(const std::wstring& path, const std::string& utf8);
// The folder with the files in it (not below it).
void RemoveFolder(const std::wstring& folder);

// Copies each entry of the key's history that folder does not hold yet into
// a file of its own there; several processes may do so at once.
void ArchiveHistory(const std::wstring& keyPath, const std::wstring& folder);
// The entries ArchiveHistory copied.
Entries ReadArchive(const std::wstring& folder);

}  // namespace multiwriter
