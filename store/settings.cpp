#include "store/settings.h"

#include "common/module.h"
#include "store/bounded_copy.h"
#include "store/item_model.h"
#include "store/registry_key.h"

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
    bounded::Copy(pszPath, kTextBufferChars, PlugInKeyPath(stem).c_str());
    return true;
}

namespace {

// Opened, or created where it does not exist yet.
RegKey CreatePlugInKey() {
    wchar_t path[kTextBufferChars] = {};
    if (!GetPlugInKeyPath(path)) return {};
    return RegKey::Create(HKEY_CURRENT_USER, path, KEY_READ | KEY_WRITE);
}

}  // namespace

HKEY OpenPlugInKey() { return CreatePlugInKey().Release(); }

void ReadSettings(BarSettings& settings) {
    if (settings.bSettingsLoaded) return;
    settings.bSettingsLoaded = true;
    const RegKey key = CreatePlugInKey();
    if (!key) return;
    settings.bOpenStartup = key.ReadDword(kValueOpenStartup).value_or(0) != 0;
    settings.nBarPos = static_cast<int>(key.ReadDword(kValueBarPos).value_or(0));
}

void WriteSettings(const BarSettings& settings) {
    const RegKey key = CreatePlugInKey();
    if (!key) return;
    key.WriteDword(kValueOpenStartup, settings.bOpenStartup ? 1 : 0);
    // Another side than this frame's was stored after the frame read its own
    // (another window's properties dialog chose it): the user's later choice
    // stays.
    const std::optional<DWORD> stored = key.ReadDword(kValueBarPos);
    if (stored && static_cast<int>(*stored) != settings.nBarPos) return;
    key.WriteDword(kValueBarPos, static_cast<DWORD>(settings.nBarPos));
}

void WriteBarPosition(int nBarPos) {
    const RegKey key = CreatePlugInKey();
    if (key) key.WriteDword(kValueBarPos, static_cast<DWORD>(nBarPos));
}
