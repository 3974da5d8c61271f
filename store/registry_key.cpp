#include "store/registry_key.h"

#include <new>

#include "common/host_interface.h"

std::wstring PlugInKeyPath(const std::wstring& module) { return PLUGIN_KEY_ROOT + module; }

LSTATUS RegKey::ValueName(DWORD index, std::wstring& name, DWORD& size) const {
    // Value names may be long: the buffer grows while a longer one arrives.
    if (name.size() < 256) name.resize(256);
    for (;;) {
        DWORD length = static_cast<DWORD>(name.size());
        size = 0;
        const LSTATUS status = ::RegEnumValueW(m_hKey, index, &name[0], &length, nullptr, nullptr, nullptr, &size);
        if (status == ERROR_MORE_DATA && name.size() < 32768) {
            name.resize(name.size() * 2 + 256);
            continue;
        }
        if (status == ERROR_SUCCESS) name.resize(length);
        return status;
    }
}

// Another writer may replace the value between the query of its size and
// the read: a value that grew or took another type meanwhile is read again.
favstore::ReadOutcome RegKey::Read(const wchar_t* pszName, favstore::StoredValue& value, LSTATUS* status) const {
    using favstore::ReadOutcome;
    constexpr int kAttempts = 8;
    LSTATUS ignored = ERROR_SUCCESS;
    LSTATUS& result = status ? *status : ignored;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        result = ::RegQueryValueExW(m_hKey, pszName, nullptr, &type, nullptr, &size);
        if (result == ERROR_FILE_NOT_FOUND) return ReadOutcome::Missing;
        if (result != ERROR_SUCCESS) return ReadOutcome::Unreadable;
        value.type = type;
        try {
            value.bytes.resize(size);
        } catch (const std::bad_alloc&) {
            result = ERROR_NOT_ENOUGH_MEMORY;
            return ReadOutcome::Unreadable;
        }
        if (size == 0) return ReadOutcome::Read;
        result = ::RegQueryValueExW(m_hKey, pszName, nullptr, &type, value.bytes.data(), &size);
        if (result == ERROR_FILE_NOT_FOUND) return ReadOutcome::Missing;
        if (result == ERROR_MORE_DATA || (result == ERROR_SUCCESS && type != value.type)) continue;
        if (result != ERROR_SUCCESS) return ReadOutcome::Unreadable;
        value.bytes.resize(size);
        return ReadOutcome::Read;
    }
    return ReadOutcome::Unreadable;
}

// Shorter data lands in a zeroed buffer, so it reads as its own bytes with
// zeros above them; longer data fails and counts as absent.
std::optional<DWORD> RegKey::ReadDword(const wchar_t* pszName) const {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (!m_hKey ||
        ::RegQueryValueExW(m_hKey, pszName, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

bool RegKey::HasValue(const wchar_t* pszName) const {
    return ::RegQueryValueExW(m_hKey, pszName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}
