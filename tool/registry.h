// The plug-in's registry key as the tool sees it: whole values with their
// types (tool/value_writes.h).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/handles.h"
#include "tool/tool_error.h"
#include "tool/value_writes.h"

std::string TypeName(DWORD type);
std::string SystemMessage(DWORD error);

enum class KeyAccess {
    Read,    // a key that does not exist reads as holding no values (Exists() is false)
    Write,   // the key must exist
    Create,  // created when it does not exist
};

class PluginKey final : public NamedValues {
public:
    // Below HKEY_CURRENT_USER\Software\Kalmet\ZorvexPlugIns. Throws ToolError
    // when the key cannot be opened, and for Write when it does not exist.
    PluginKey(const std::wstring& module, KeyAccess access);

    const std::wstring& Path() const { return m_path; }
    bool Exists() const { return static_cast<bool>(m_key); }
    HKEY Handle() const { return m_key.get(); }
    // Absent values (and an absent key) read as nullopt; other failures throw.
    std::optional<RegValue> Read(const wchar_t* name) const override;
    // The layout marker `check`, read as the plug-in reads it.
    std::optional<DWORD> Marker() const;

    std::string Write(const wchar_t* name, const RegValue& value) override;
    std::string Remove(const wchar_t* name) override;

private:
    std::wstring m_path;
    UniqueRegKey m_key;
};

// The modules below the plug-ins' key whose keys hold a FavoriteArray, sorted.
std::vector<std::wstring> ModulesWithFavorites();
// "HKCU\...\<module> does not exist", naming the modules that hold favourites.
std::string MissingKeyMessage(const std::wstring& module);

