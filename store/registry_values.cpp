#include "store/registry_values.h"

#include <cstdint>
#include <string>

#include "store/value_names.h"

namespace favstore {

namespace {

const wchar_t* NameOf(StoredValues::Value which) {
    switch (which) {
    case StoredValues::Value::Favorites: return kValueFavorites;
    case StoredValues::Value::Backup: return kValueFavoritesBackup;
    case StoredValues::Value::Marker: break;
    }
    return kValueCheck;
}

Ticks FromFileTime(const FILETIME& ft) {
    return (static_cast<Ticks>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;

}  // namespace

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

RegistryValues::RegistryValues(HKEY hKey, std::wstring lockName, WritersLock::Patience patience)
    : m_key(RegKey::Borrow(hKey)), m_lock(std::move(lockName), patience) {}

RegistryValues::~RegistryValues() = default;

bool RegistryValues::Succeeded(LSTATUS status) {
    if (status != ERROR_SUCCESS && m_firstFailure == ERROR_SUCCESS) m_firstFailure = status;
    return status == ERROR_SUCCESS;
}

ReadOutcome RegistryValues::Read(Value which, StoredValue& value) { return m_key.Read(NameOf(which), value); }

bool RegistryValues::Write(Value which, const StoredValue& value) {
    return Succeeded(m_key.Write(NameOf(which), value));
}

bool RegistryValues::Delete(Value which) { return Succeeded(m_key.Delete(NameOf(which))); }

std::optional<std::uint32_t> RegistryValues::ReadMarker() { return m_key.ReadDword(kValueCheck); }

Ticks RegistryValues::LastWritten() {
    FILETIME written = {};
    const LSTATUS status = m_key.LastWritten(written);
    m_bKeyGone = status == ERROR_KEY_DELETED;
    if (status != ERROR_SUCCESS) return 0;
    return FromFileTime(written);
}

bool RegistryValues::ListHistory(std::vector<HistoryEntry>& entries) {
    const RegKey history = m_key.OpenSubkey(kKeyHistory, kReadWrite);
    if (!history) return true;  // no entries yet
    std::wstring name;
    for (DWORD i = 0;; ++i) {
        DWORD size = 0;
        const LSTATUS status = history.ValueName(i, name, size);
        if (status == ERROR_NO_MORE_ITEMS) return true;
        if (status != ERROR_SUCCESS) return false;
        entries.push_back({Utf8(name), size});
    }
}

bool RegistryValues::ReadHistory(const std::string& name, std::vector<std::uint8_t>& bytes) {
    const RegKey history = m_key.OpenSubkey(kKeyHistory, kReadWrite);
    StoredValue value;
    if (!history || history.Read(Wide(name).c_str(), value) != ReadOutcome::Read) return false;
    bytes = std::move(value.bytes);
    return true;
}

bool RegistryValues::WriteHistory(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const RegKey history = m_key.CreateSubkey(kKeyHistory, kReadWrite);
    return history && Succeeded(history.Write(Wide(name).c_str(), REG_BINARY, bytes.data(),
                                              static_cast<DWORD>(bytes.size())));
}

bool RegistryValues::DeleteHistory(const std::string& name) {
    const RegKey history = m_key.OpenSubkey(kKeyHistory, kReadWrite);
    return !history || Succeeded(history.Delete(Wide(name).c_str()));
}

Ticks RegistryValues::Now() {
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    return FromFileTime(now);
}

std::int64_t RegistryValues::LocalDay(Ticks utc) {
    FILETIME ft = {static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
    SYSTEMTIME universal = {};
    SYSTEMTIME local = {};
    if (!::FileTimeToSystemTime(&ft, &universal) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) {
        return static_cast<std::int64_t>(utc / (kTicksPerSecond * 86'400));
    }
    FILETIME localFt = {};
    SYSTEMTIME midnight = local;
    midnight.wHour = midnight.wMinute = midnight.wSecond = midnight.wMilliseconds = 0;
    if (!::SystemTimeToFileTime(&midnight, &localFt)) {
        return static_cast<std::int64_t>(utc / (kTicksPerSecond * 86'400));
    }
    return static_cast<std::int64_t>(FromFileTime(localFt) / (kTicksPerSecond * 86'400));
}

}  // namespace favstore
