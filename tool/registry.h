// The plug-in's registry key as the tool sees it: whole values with their
// types, and writes that are undone together when one of them fails.
#pragma once

#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/handles.h"
#include "tool/exit_status.h"

// A failure the tool reports in one line and ends on; the text is UTF-8.
// The exit status says what kind of end it is (tool/exit_status.h).
class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string& message, int status = kExitFailure)
        : std::runtime_error(message), m_status(status) {}
    int Status() const { return m_status; }

private:
    int m_status;
};

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const RegValue& o) const { return type == o.type && data == o.data; }
    bool operator!=(const RegValue& o) const { return !(*this == o); }
};

std::string TypeName(DWORD type);
std::string SystemMessage(DWORD error);

enum class KeyAccess {
    Read,    // a key that does not exist reads as holding no values (Exists() is false)
    Write,   // the key must exist
    Create,  // created when it does not exist
};

class PluginKey {
public:
    // Below HKEY_CURRENT_USER\Software\Kalmet\ZorvexPlugIns. Throws ToolError
    // when the key cannot be opened, and for Write when it does not exist.
    PluginKey(const std::wstring& module, KeyAccess access);

    const std::wstring& Path() const { return m_path; }
    bool Exists() const { return static_cast<bool>(m_key); }
    HKEY Handle() const { return m_key.get(); }
    // Absent values (and an absent key) read as nullopt; other failures throw.
    std::optional<RegValue> Read(const wchar_t* name) const;
    // The layout marker `check`, read as the plug-in reads it.
    std::optional<DWORD> Marker() const;

    LONG Write(const wchar_t* name, const RegValue& value) const;
    LONG Remove(const wchar_t* name) const;

private:
    std::wstring m_path;
    UniqueRegKey m_key;
};

// The modules below the plug-ins' key whose keys hold a FavoriteArray, sorted.
std::vector<std::wstring> ModulesWithFavorites();
// "HKCU\...\<module> does not exist", naming the modules that hold favourites.
std::string MissingKeyMessage(const std::wstring& module);

// Writes values in order. When one fails, the values written before it get
// their earlier contents back and ToolError tells what happened, so a failed
// command leaves the key as it found it.
class ValueWrites {
public:
    explicit ValueWrites(const PluginKey& key) : m_key(key) {}
    void Set(const wchar_t* name, const RegValue& value);
    void Remove(const wchar_t* name);

private:
    struct Earlier {
        std::wstring name;
        std::optional<RegValue> value;
    };
    void Apply(const wchar_t* name, const std::optional<RegValue>& value);
    [[noreturn]] void Fail(const std::string& message);
    LONG Restore(const Earlier& earlier) const;

    const PluginKey& m_key;
    std::vector<Earlier> m_done;
};

RegValue DwordValue(DWORD value);
