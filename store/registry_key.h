// The registry as the plug-in, favtool, the stand-in host, the tests and the
// benchmark use it: one thin wrapper over the key functions, so that every
// reader reads a value by the same rules.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>

#include "common/handles.h"
#include "store/stored_values.h"

// A module's key below HKEY_CURRENT_USER ("...\ZorvexPlugIns\Favorites" for
// Favorites.dll); an empty module gives the parent of every module's key,
// with its final separator.
std::wstring PlugInKeyPath(const std::wstring& module);

class RegKey {
public:
    RegKey() = default;
    RegKey(RegKey&& other) noexcept : m_owned(std::move(other.m_owned)), m_hKey(other.m_hKey) {
        other.m_hKey = nullptr;
    }
    RegKey& operator=(RegKey&& other) noexcept {
        m_owned = std::move(other.m_owned);
        m_hKey = other.m_hKey;
        other.m_hKey = nullptr;
        return *this;
    }
    // A key another owner keeps open; this one never closes it.
    static RegKey Borrow(HKEY hKey) {
        RegKey key;
        key.m_hKey = hKey;
        return key;
    }
    // status, when given, gets the system's answer.
    static RegKey Open(HKEY hParent, const wchar_t* pszPath, REGSAM access, LSTATUS* status = nullptr) {
        HKEY raw = nullptr;
        const LSTATUS result = ::RegOpenKeyExW(hParent, pszPath, 0, access, &raw);
        return Owning(result, raw, status);
    }
    static RegKey Create(HKEY hParent, const wchar_t* pszPath, REGSAM access, LSTATUS* status = nullptr) {
        HKEY raw = nullptr;
        const LSTATUS result =
            ::RegCreateKeyExW(hParent, pszPath, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &raw, nullptr);
        return Owning(result, raw, status);
    }

    explicit operator bool() const { return m_hKey != nullptr; }
    HKEY Handle() const { return m_hKey; }
    // The key's handle, for an owner of the caller's; null for a borrowed key.
    HKEY Release() {
        m_hKey = nullptr;
        return m_owned.release();
    }

    RegKey OpenSubkey(const wchar_t* pszName, REGSAM access, LSTATUS* status = nullptr) const {
        return Open(m_hKey, pszName, access, status);
    }
    RegKey CreateSubkey(const wchar_t* pszName, REGSAM access) const { return Create(m_hKey, pszName, access); }
    // The name of subkey index; ERROR_NO_MORE_ITEMS past the last.
    LSTATUS SubkeyName(DWORD index, std::wstring& name) const {
        wchar_t buffer[256];  // the longest name a key may have, and its terminator
        DWORD length = 256;
        const LSTATUS status = ::RegEnumKeyExW(m_hKey, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) name.assign(buffer, length);
        return status;
    }
    // The name of value index and the size of its data; ERROR_NO_MORE_ITEMS
    // past the last.
    LSTATUS ValueName(DWORD index, std::wstring& name, DWORD& size) const;

    // A value whole, of any type: one query for type and size, one for the
    // data, again when another writer replaced it in between. A value that
    // does not fit in memory, or keeps changing, is unreadable rather than
    // missing. status, when given, gets the system's answer to the last query.
    favstore::ReadOutcome Read(const wchar_t* pszName, favstore::StoredValue& value,
                               LSTATUS* status = nullptr) const;
    // A 4-byte value as the plug-in has always read one: up to 4 bytes of any
    // type, shorter data as its own bytes with zeros above them; nullopt when
    // absent, longer or unreadable.
    std::optional<DWORD> ReadDword(const wchar_t* pszName) const;
    bool HasValue(const wchar_t* pszName) const;

    LSTATUS Write(const wchar_t* pszName, DWORD type, const void* data, DWORD size) const {
        return ::RegSetValueExW(m_hKey, pszName, 0, type, static_cast<const BYTE*>(data), size);
    }
    LSTATUS Write(const wchar_t* pszName, const favstore::StoredValue& value) const {
        return Write(pszName, value.type, value.bytes.data(), static_cast<DWORD>(value.bytes.size()));
    }
    LSTATUS WriteDword(const wchar_t* pszName, DWORD value) const {
        return Write(pszName, REG_DWORD, &value, sizeof(value));
    }
    // ERROR_SUCCESS when the value is gone, also when it was not there.
    LSTATUS Delete(const wchar_t* pszName) const {
        const LSTATUS status = ::RegDeleteValueW(m_hKey, pszName);
        return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    }
    // When any value of the key was last written.
    LSTATUS LastWritten(FILETIME& written) const {
        return ::RegQueryInfoKeyW(m_hKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, &written);
    }

private:
    static RegKey Owning(LSTATUS result, HKEY raw, LSTATUS* status) {
        if (status) *status = result;
        RegKey key;
        if (result != ERROR_SUCCESS) return key;
        key.m_owned.reset(raw);
        key.m_hKey = raw;
        return key;
    }

    UniqueRegKey m_owned;  // empty for a borrowed key
    HKEY m_hKey = nullptr;
};
