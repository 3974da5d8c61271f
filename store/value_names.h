// The names of the values and subkeys in the plug-in's registry key, and the
// layout marker's values. Window-free, so that code tested natively names
// them as the plug-in does.
#pragma once

#include <cstdint>

constexpr const wchar_t* kValueOpenStartup = L"OpenStartup";
constexpr const wchar_t* kValueBarPos = L"CustomBarPos";
constexpr const wchar_t* kValueFavorites = L"FavoriteArray";
constexpr const wchar_t* kValueFavoritesBackup = L"FavoriteArrayBackup";
constexpr const wchar_t* kValueCheck = L"check";
// The subkey that keeps replaced favourites values (store/favorites_history.h).
constexpr const wchar_t* kKeyHistory = L"History";

// The layout marker `check` that FavoriteArray's current layout carries;
// any other marker, or none, means the old layout without expanded bytes.
constexpr std::uint32_t kMarkerCurrentLayout = 1;
constexpr std::uint32_t kMarkerOldLayout = 0;
