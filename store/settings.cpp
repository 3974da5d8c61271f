#include "store/settings.h"

#include "common/handles.h"
#include "common/host_interface.h"
#include "common/module.h"
#include "store/bounded_copy.h"
#include "store/item_model.h"

namespace {

// Reads a 4-byte value. Shorter data lands in a zeroed buffer, so it reads as
// its own bytes with zeros above them; longer data fails and counts as absent.
bool QueryDword(HKEY hKey, const wchar_t* pszName, DWORD& dwValue) {
    DWORD value = 0;
    DWORD cb = sizeof(value);
    if (::RegQueryValueExW(hKey, pszName, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &cb) != ERROR_SUCCESS) {
        return false;
    }
    dwValue = value;
    return true;
}

}  // namespace

bool GetModuleStem(wchar_t* pszStem) {
    wchar_t moduleName[kTextBufferChars] = {};
    if (::GetModuleFileNameW(g_hInstance, moduleName, kTextBufferChars) == 0) return false;
    wchar_t fullName[kTextBufferChars] = {};
    wchar_t* pszFilePart = nullptr;
    const DWORD n = ::GetFullPathNameW(moduleName, kTextBufferChars, fullName, &pszFilePart);
    if (n == 0 || n >= kTextBufferChars) {
        // Keep the module name as it came; its file part follows the last separator.
        bounded::Copy(fullName, kTextBufferChars, moduleName);
        pszFilePart = nullptr;
    }
    if (!pszFilePart) {
        pszFilePart = fullName;
        for (wchar_t* p = fullName; *p; ++p) {
            if (*p == L'\\' || *p == L'/') pszFilePart = p + 1;
        }
    }
    for (wchar_t* p = pszFilePart; *p; ++p) {
        if (*p == L'.') {
            *p = L'\0';
            break;
        }
    }
    bounded::Copy(pszStem, kTextBufferChars, pszFilePart);
    return true;
}

bool GetPlugInKeyPath(wchar_t* pszPath) {
    wchar_t stem[kTextBufferChars] = {};
    if (!GetModuleStem(stem)) return false;
    bounded::Copy(pszPath, kTextBufferChars, PLUGIN_KEY_ROOT);
    bounded::Append(pszPath, kTextBufferChars, stem);
    return true;
}

HKEY OpenPlugInKey() {
    wchar_t path[kTextBufferChars] = {};
    if (!GetPlugInKeyPath(path)) return nullptr;
    HKEY hKey = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                          nullptr, &hKey, nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return hKey;
}

void ReadSettings(BarSettings& settings) {
    if (settings.bSettingsLoaded) return;
    settings.bSettingsLoaded = true;
    UniqueRegKey key(OpenPlugInKey());
    if (!key) return;
    DWORD value = 0;
    settings.bOpenStartup = QueryDword(key.get(), kValueOpenStartup, value) && value != 0;
    value = 0;
    settings.nBarPos = QueryDword(key.get(), kValueBarPos, value) ? static_cast<int>(value) : 0;
}

void WriteSettings(const BarSettings& settings) {
    UniqueRegKey key(OpenPlugInKey());
    if (!key) return;
    WriteDwordValue(key.get(), kValueOpenStartup, settings.bOpenStartup ? 1 : 0);
    // Another side than this frame's was stored after the frame read its own
    // (another window's properties dialog chose it): the user's later choice
    // stays.
    DWORD stored = 0;
    if (QueryDword(key.get(), kValueBarPos, stored) && static_cast<int>(stored) != settings.nBarPos) return;
    WriteDwordValue(key.get(), kValueBarPos, static_cast<DWORD>(settings.nBarPos));
}

void WriteBarPosition(int nBarPos) {
    UniqueRegKey key(OpenPlugInKey());
    if (key) WriteDwordValue(key.get(), kValueBarPos, static_cast<DWORD>(nBarPos));
}

DWORD ReadDwordValue(HKEY hKey, const wchar_t* pszName) {
    DWORD value = 0;
    if (!hKey || !QueryDword(hKey, pszName, value)) return 0;
    return value;
}

void WriteDwordValue(HKEY hKey, const wchar_t* pszName, DWORD dwValue) {
    ::RegSetValueExW(hKey, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue));
}

bool SetHostString(const wchar_t* pszKeyPath, const wchar_t* pszName, const std::wstring& strText) {
    HKEY hRaw = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, pszKeyPath, 0, KEY_ALL_ACCESS, &hRaw) != ERROR_SUCCESS) return false;
    UniqueRegKey key(hRaw);
    // The host reads the value by its byte count, without a terminator.
    // NOLINTNEXTLINE(bugprone-misplaced-widening-cast): size_t and DWORD are both 32 bits on this target
    const DWORD cb = static_cast<DWORD>(strText.size() * sizeof(wchar_t));
    return ::RegSetValueExW(key.get(), pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(strText.c_str()), cb) ==
           ERROR_SUCCESS;
}
