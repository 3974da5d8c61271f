// The plug-in key as the several-process test reads it, with plain registry
// calls beside the plug-in's own: the stored favourites and the history.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace multiwriter {

// History entries (or copies of them), by the name of the file a copy is
// kept in: the entry's name with characters a file name cannot hold replaced.
using Entries = std::map<std::wstring, std::vector<BYTE>>;

// FavoriteArray's bytes; none when there is no such value.
std::vector<BYTE> ReadFavoriteArray(const std::wstring& keyPath);
Entries ReadHistory(const std::wstring& keyPath);

}  // namespace multiwriter
