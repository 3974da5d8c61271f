#include "store/registry_values.h"

#include <cstdint>
#include <new>
#include <string>

#include "common/handles.h"
#include "store/favorites_history.h"
#include "store/layout_marker.h"
#include "store/settings.h"

namespace favstore {

namespace {

bool WriteValue(HKEY hKey, const wchar_t* pszName, DWORD type, const std::vector<std::uint8_t>& bytes) {
    return ::RegSetValueExW(hKey, pszName, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())) ==
           ERROR_SUCCESS;
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

std::string Utf8(const wchar_t* text, size_t len) {
    if (len == 0) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(len), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(len), &out[0], n, nullptr, nullptr);
    return out;
}

Ticks FromFileTime(const FILETIME& ft) {
    return (static_cast<Ticks>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

UniqueRegKey OpenHistory(HKEY hKey, bool create) {
    HKEY raw = nullptr;
    const wchar_t* name = kKeyHistory;
    const LSTATUS status =
        create ? ::RegCreateKeyExW(hKey, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                                   &raw, nullptr)
               : ::RegOpenKeyExW(hKey, name, 0, KEY_READ | KEY_WRITE, &raw);
    return UniqueRegKey(status == ERROR_SUCCESS ? raw : nullptr);
}

}  // namespace

// Another writer may replace the value between the query of its size and
// the read: a value that grew or took another type meanwhile is read again.
ReadOutcome ReadWholeValue(HKEY hKey, const wchar_t* pszName, StoredValue& value) {
    constexpr int kAttempts = 8;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        LSTATUS status = ::RegQueryValueExW(hKey, pszName, nullptr, &type, nullptr, &size);
        if (status == ERROR_FILE_NOT_FOUND) return ReadOutcome::Missing;
        if (status != ERROR_SUCCESS) return ReadOutcome::Unreadable;
        value.type = type;
        try {
            value.bytes.resize(size);
        } catch (const std::bad_alloc&) {
            return ReadOutcome::Unreadable;
        }
        if (size == 0) return ReadOutcome::Read;
        status = ::RegQueryValueExW(hKey, pszName, nullptr, &type, value.bytes.data(), &size);
        if (status == ERROR_FILE_NOT_FOUND) return ReadOutcome::Missing;
        if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && type != value.type)) continue;
        if (status != ERROR_SUCCESS) return ReadOutcome::Unreadable;
        value.bytes.resize(size);
        return ReadOutcome::Read;
    }
    return ReadOutcome::Unreadable;
}

ReadOutcome RegistryValues::ReadFavorites(StoredValue& value) {
    return ReadWholeValue(m_hKey, kValueFavorites, value);
}

bool RegistryValues::WriteFavorites(const std::vector<std::uint8_t>& bytes) {
    return WriteValue(m_hKey, kValueFavorites, REG_BINARY, bytes);
}

bool RegistryValues::DeleteFavorites() {
    const LSTATUS status = ::RegDeleteValueW(m_hKey, kValueFavorites);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

ReadOutcome RegistryValues::ReadBackup(StoredValue& value) {
    return ReadWholeValue(m_hKey, kValueFavoritesBackup, value);
}

bool RegistryValues::WriteBackup(const StoredValue& value) {
    return WriteValue(m_hKey, kValueFavoritesBackup, value.type, value.bytes);
}

bool RegistryValues::MarkCurrentLayout() {
    const DWORD layout = kMarkerCurrentLayout;
    return ::RegSetValueExW(m_hKey, kValueCheck, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&layout),
                            sizeof(layout)) == ERROR_SUCCESS;
}

bool RegistryValues::LayoutMarkerCurrent() {
    return ReadLayoutMarker(m_hKey) == kMarkerCurrentLayout;
}

Ticks RegistryValues::LastWritten() {
    FILETIME written = {};
    const LSTATUS status = ::RegQueryInfoKeyW(m_hKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, &written);
    m_bKeyGone = status == ERROR_KEY_DELETED;
    if (status != ERROR_SUCCESS) return 0;
    return FromFileTime(written);
}

bool RegistryValues::ListHistory(std::vector<HistoryEntry>& entries) {
    UniqueRegKey history = OpenHistory(m_hKey, false);
    if (!history) return true;  // no entries yet
    DWORD count = 0;
    DWORD longestName = 0;
    if (::RegQueryInfoKeyW(history.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                           &longestName, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    std::wstring name(longestName + 1, L'\0');
    for (DWORD i = 0;; ++i) {
        DWORD nameLen = static_cast<DWORD>(name.size());
        DWORD size = 0;
        const LSTATUS status =
            ::RegEnumValueW(history.get(), i, &name[0], &nameLen, nullptr, nullptr, nullptr, &size);
        if (status == ERROR_NO_MORE_ITEMS) return true;
        if (status == ERROR_MORE_DATA) {  // a longer name arrived meanwhile
            name.resize(name.size() * 2 + 256);
            --i;
            continue;
        }
        if (status != ERROR_SUCCESS) return false;
        entries.push_back({Utf8(name.data(), nameLen), size});
    }
}

bool RegistryValues::ReadHistory(const std::string& name, std::vector<std::uint8_t>& bytes) {
    UniqueRegKey history = OpenHistory(m_hKey, false);
    StoredValue value;
    if (!history || ReadWholeValue(history.get(), Wide(name).c_str(), value) != ReadOutcome::Read) return false;
    bytes = std::move(value.bytes);
    return true;
}

bool RegistryValues::WriteHistory(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    UniqueRegKey history = OpenHistory(m_hKey, true);
    return history && WriteValue(history.get(), Wide(name).c_str(), REG_BINARY, bytes);
}

bool RegistryValues::DeleteHistory(const std::string& name) {
    UniqueRegKey history = OpenHistory(m_hKey, false);
    if (!history) return true;
    const LSTATUS status = ::RegDeleteValueW(history.get(), Wide(name).c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
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

// ---- the writers' lock

std::wstring WritersLockName(const wchar_t* pszKeyPath) {
    // Key names ignore case; a hash keeps the name within the length a
    // kernel object's name may have, whatever the path's.
    std::wstring upper(pszKeyPath);
    if (!upper.empty()) {
        ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, pszKeyPath, static_cast<int>(upper.size()), &upper[0],
                       static_cast<int>(upper.size()));
    }
    std::uint64_t hash = 14695981039346656037ULL;  // 64-bit FNV-1a over the UTF-16 bytes
    for (const wchar_t unit : upper) {
        hash = (hash ^ (static_cast<std::uint16_t>(unit) & 0xFFu)) * 1099511628211ULL;
        hash = (hash ^ (static_cast<std::uint16_t>(unit) >> 8)) * 1099511628211ULL;
    }
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring name = L"Local\\FavoritesWriters-";
    for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(hash >> shift) & 0xF];
    return name;
}

namespace {

// Opening a named mutex is a trip to the system. The few locks a process
// uses (the plug-in's key, the one favtool works on) stay open until the
// module goes, shared by every holder: a mutex is owned by the thread that
// waited for it, whichever handle it waited on.
class OpenLocks {
public:
    // The mutex of name, open for the module's life; null when it cannot be
    // opened or no slot is left (the caller then opens one of its own).
    HANDLE Get(const std::wstring& name) {
        const CriticalSectionLock lock(m_guard);
        for (Slot& slot : m_slots) {
            if (slot.handle && slot.name == name) return slot.handle.get();
        }
        for (Slot& slot : m_slots) {
            if (slot.handle) continue;
            slot.handle.reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
            if (!slot.handle) return nullptr;
            slot.name = name;
            return slot.handle.get();
        }
        return nullptr;
    }

private:
    struct Slot {
        std::wstring name;
        UniqueKernelHandle handle;
    };
    CriticalSection m_guard;
    Slot m_slots[4];
};

OpenLocks& ModuleLocks() {
    static OpenLocks locks;
    return locks;
}

}  // namespace

RegistryValues::~RegistryValues() {
    if (m_lockDepth > 0) ::ReleaseMutex(m_hLock);
}

bool RegistryValues::LockWriters() {
    // A writer holds the lock only while it reads and writes a few values;
    // one that keeps it longer is stuck, and this save fails rather than
    // stopping the window with it.
    constexpr DWORD kWaitMs = 5000;
    if (m_lockDepth > 0) {
        ++m_lockDepth;
        return true;
    }
    HANDLE mutex = ModuleLocks().Get(m_lockName);
    if (!mutex) {
        m_ownLock.reset(::CreateMutexW(nullptr, FALSE, m_lockName.c_str()));
        mutex = m_ownLock.get();
        if (!mutex) return false;
    }
    // Abandoned: its holder ended while writing one value or another; each
    // value was written whole or not at all, and the keeper's rules hold.
    const DWORD wait = ::WaitForSingleObject(mutex, kWaitMs);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        m_ownLock.reset();
        return false;
    }
    m_hLock = mutex;
    m_lockDepth = 1;
    return true;
}

void RegistryValues::UnlockWriters() {
    if (m_lockDepth == 0 || --m_lockDepth > 0) return;
    ::ReleaseMutex(m_hLock);
    m_hLock = nullptr;
    m_ownLock.reset();
}

}  // namespace favstore
