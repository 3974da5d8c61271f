// A registry key below HKEY_CURRENT_USER that a test owns for its duration:
// what was there is removed when the owner is made, and the key with
// everything below it when the owner goes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace hostsim {

class ScratchKey {
public:
    explicit ScratchKey(std::wstring path);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    const std::wstring& Path() const { return m_path; }
    bool Create() const;  // the key, empty if it was not there
    void Clear() const;   // the key and everything below it go
    bool Exists() const;

    bool ValueExists(const wchar_t* name) const;
    DWORD ValueType(const wchar_t* name) const;  // REG_NONE when there is no such value
    // The value's bytes whatever its type; none when there is no such value.
    std::vector<BYTE> ReadBytes(const wchar_t* name) const;
    DWORD ReadDword(const wchar_t* name, DWORD fallback) const;  // fallback unless a REG_DWORD is there
    std::wstring ReadString(const wchar_t* name) const;          // up to the first NUL
    // Writes a value, creating the key if needed.
    bool Write(const wchar_t* name, DWORD type, const void* data, DWORD size) const;
    bool WriteString(const wchar_t* name, const std::wstring& text) const;
    void DeleteValue(const wchar_t* name) const;

private:
    std::wstring m_path;
};

}  // namespace hostsim
