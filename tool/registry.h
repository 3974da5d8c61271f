// The plug-in's registry key as the tool sees it: the key of one module,
// opened through the plug-in's own registry layer (store/registry_key.h),
// whole values with their types, and the key's values as the keeper writes
// them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "store/registry_key.h"
#include "store/registry_values.h"
#include "tool/language.h"
#include "tool/tool_error.h"

// REG_SZ and the like: names, the same in both languages (JSON carries them).
std::string TypeName(DWORD type);
// "error 5: Access denied" in the language spoken, the system's text in that
// language where Windows has it; the other form for a given language (JSON
// documents carry the English one).
std::string SystemMessage(DWORD error);
std::string SystemMessage(DWORD error, Language language);

enum class KeyAccess {
    Read,    // a key that does not exist reads as holding no values (Exists() is false)
    Write,   // the key must exist
    Create,  // created when it does not exist
};

class ModuleKey {
public:
    // Below HKEY_CURRENT_USER\Software\Kalmet\ZorvexPlugIns. Throws ToolError
    // when the key cannot be opened, and for Write when it does not exist.
    ModuleKey(const std::wstring& module, KeyAccess access);

    const std::wstring& Path() const { return m_path; }
    bool Exists() const { return static_cast<bool>(m_key); }
    // Absent values (and an absent key) read as nullopt; other failures throw.
    std::optional<favstore::StoredValue> Read(const wchar_t* name) const;
    // A history entry whole, with its type; nullopt when it cannot be read.
    std::optional<favstore::StoredValue> ReadHistoryEntry(const std::string& name) const;
    // The layout marker `check`, read as the plug-in reads it.
    std::optional<DWORD> Marker() const { return m_key.ReadDword(kValueCheck); }
    // The key's values as the keeper sees them, under the lock the bar's
    // windows take too; a console tool may wait for it a few seconds.
    favstore::RegistryValues Values() const {
        return favstore::RegistryValues(m_key.Handle(), favstore::WritersLockName(m_path.c_str()),
                                        favstore::WritersLock::Patience::Long);
    }

private:
    std::wstring m_path;
    RegKey m_key;
};

// The modules below the plug-ins' key whose keys hold a FavoriteArray, sorted.
std::vector<std::wstring> ModulesWithFavorites();
// "HKCU\...\<module> does not exist", naming the modules that hold favourites.
std::string MissingKeyMessage(const std::wstring& module);
