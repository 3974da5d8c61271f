// The plug-in's registry key and its settings.
#pragma once

#include <windows.h>

#include <string>

// The settings a frame holds: read once per frame, written when its bar closes.
struct BarSettings {
    bool bSettingsLoaded = false;  // set before the key is opened: a failed read is not retried
    bool bOpenStartup = false;     // OpenStartup: open the bar when a window opens
    int nBarPos = 0;               // CustomBarPos: the docking side
};

bool GetModuleStem(wchar_t* pszStem);      // buffer of 260 characters
bool GetPlugInKeyPath(wchar_t* pszPath);   // buffer of 260 characters
HKEY OpenPlugInKey();                      // the caller closes the key
void ReadSettings(BarSettings& settings);
void WriteSettings(const BarSettings& settings);
void WriteBarPosition(int nBarPos);
DWORD ReadDwordValue(HKEY hKey, const wchar_t* pszName);
void WriteDwordValue(HKEY hKey, const wchar_t* pszName, DWORD dwValue);
bool SetHostString(const wchar_t* pszKeyPath, const wchar_t* pszName, const std::wstring& strText);

constexpr const wchar_t* kValueOpenStartup = L"OpenStartup";
constexpr const wchar_t* kValueBarPos = L"CustomBarPos";
constexpr const wchar_t* kValueFavorites = L"FavoriteArray";
constexpr const wchar_t* kValueFavoritesBackup = L"FavoriteArrayBackup";
constexpr const wchar_t* kValueCheck = L"check";
// The subkey that keeps replaced favourites values (store/favorites_history.h).
constexpr const wchar_t* kKeyHistory = L"History";
