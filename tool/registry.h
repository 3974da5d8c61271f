// The plug-in's registry key as the tool sees it: whole values with their
// types, and writes that are undone together when one of them fails.
#pragma once

#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/handles.h"

// A failure the tool reports in one line and ends on; the text is UTF-8.
class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const RegValue& o) const { return type == o.type && data == o.data; }
    bool operator!=(const RegValue& o) const { return !(*this == o); }
};

std::string TypeName(DWORD type);
std::string SystemMessage(DWORD error);

enum class KeyAccess { Read, Write };

class PluginKey {
public:
    // Below HKEY_CURRENT_USER\Software\Kalmet\ZorvexPlugIns. Opening for
    // reading a key that does not exist gives a key that holds no values;
    // opening for writing creates it.
    PluginKey(const std::wstring& module, KeyAccess access);

    const std::wstring& Path() const { return m_path; }
    // Absent values (and an absent key) read as nullopt; other failures throw.
    std::optional<RegValue> Read(const wchar_t* name) const;
    // The layout marker as the plug-in reads it: up to 4 bytes of any type,
    // shorter data as its own bytes; nullopt when absent or longer.
    std::optional<DWORD> ReadMarker(const wchar_t* name) const;

    LONG Write(const wchar_t* name, const RegValue& value) const;
    LONG Remove(const wchar_t* name) const;

private:
    std::wstring m_path;
    UniqueRegKey m_key;
};

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
