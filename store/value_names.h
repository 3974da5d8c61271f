// The names of the values and subkeys in the plug-in's registry key.
// Window-free, so that code tested natively names them as the plug-in does.
#pragma once

constexpr const wchar_t* kValueOpenStartup = L"OpenStartup";
constexpr const wchar_t* kValueBarPos = L"CustomBarPos";
constexpr const wchar_t* kValueFavorites = L"FavoriteArray";
constexpr const wchar_t* kValueFavoritesBackup = L"FavoriteArrayBackup";
constexpr const wchar_t* kValueCheck = L"check";
// The subkey that keeps replaced favourites values (store/favorites_history.h).
constexpr const wchar_t* kKeyHistory = L"History";
