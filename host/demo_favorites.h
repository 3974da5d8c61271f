// Sample favourites for showing the bar: a few nested folders, some of them
// expanded, and files with everyday paths.
#pragma once

#include <string>

namespace hostsim {

// Stores the sample favourites under the key of the plug-in module at
// pluginPath, in the format the plug-in loads, replacing what was there.
bool SeedDemoFavorites(const std::wstring& pluginPath);

// The plug-in's registry key below HKEY_CURRENT_USER: named after the module
// file, up to the first dot.
std::wstring PluginKeyPath(const std::wstring& pluginPath);

}  // namespace hostsim
