// The plug-in's registry key and its settings.
#pragma once

#include <windows.h>

#include <string>

class CMyFrame;

bool GetModuleStem(wchar_t* pszStem);      // buffer of 260 characters
bool GetPlugInKeyPath(wchar_t* pszPath);   // buffer of 260 characters
HKEY OpenPlugInKey();                      // the caller closes the key
void ReadSettings(CMyFrame& frame);
void WriteSettings(const CMyFrame& frame);
void WriteBarPosition(int nBarPos);
DWORD ReadDwordValue(HKEY hKey, const wchar_t* pszName);
void WriteDwordValue(HKEY hKey, const wchar_t* pszName, DWORD dwValue);
bool SetHostString(const wchar_t* pszKeyPath, const wchar_t* pszName, const std::wstring& strText);

constexpr const wchar_t* kValueOpenStartup = L"OpenStartup";
constexpr const wchar_t* kValueBarPos = L"CustomBarPos";
constexpr const wchar_t* kValueFavorites = L"FavoriteArray";
constexpr const wchar_t* kValueFavoritesBackup = L"FavoriteArrayBackup";
constexpr const wchar_t* kValueCheck = L"check";
