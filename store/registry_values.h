// The favourites values of a plug-in key in the registry, as the keeper sees
// them: FavoriteArray, FavoriteArrayBackup, check, the key's last-write time,
// the History subkey and the system clock. Shared by the plug-in and favtool,
// so both write through the same rules.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"
#include "store/favorites_keeper.h"

namespace favstore {

// Reads a value whole, of any type: one query for type and size, one for the
// data, again when another writer replaced it in between. A value that does
// not fit in memory, or keeps changing, is unreadable rather than missing.
ReadOutcome ReadWholeValue(HKEY hKey, const wchar_t* pszName, StoredValue& value);

// The name of the writers' lock of a key, given its path under
// HKEY_CURRENT_USER: the same for every process of the user's session and
// for every spelling of the path that names the same key.
std::wstring WritersLockName(const wchar_t* pszKeyPath);

class RegistryValues final : public StoredValues {
public:
    // hKey: the plug-in key, opened for reading and writing; not owned.
    // lockName: its writers' lock (WritersLockName).
    RegistryValues(HKEY hKey, std::wstring lockName) : m_hKey(hKey), m_lockName(std::move(lockName)) {}
    ~RegistryValues();
    RegistryValues(const RegistryValues&) = delete;
    RegistryValues& operator=(const RegistryValues&) = delete;

    ReadOutcome ReadFavorites(StoredValue& value) override;
    bool WriteFavorites(const std::vector<std::uint8_t>& bytes) override;
    bool DeleteFavorites() override;
    ReadOutcome ReadBackup(StoredValue& value) override;
    bool WriteBackup(const StoredValue& value) override;
    bool MarkCurrentLayout() override;
    bool LayoutMarkerCurrent() override;
    Ticks LastWritten() override;

    bool ListHistory(std::vector<HistoryEntry>& entries) override;
    bool ReadHistory(const std::string& name, std::vector<std::uint8_t>& bytes) override;
    bool WriteHistory(const std::string& name, const std::vector<std::uint8_t>& bytes) override;
    bool DeleteHistory(const std::string& name) override;

    Ticks Now() override;
    std::int64_t LocalDay(Ticks utc) override;

    bool LockWriters() override;
    void UnlockWriters() override;

    // Whether the key's time could not be asked because the key was deleted
    // since its handle was opened: what this handle names no one else sees.
    bool KeyGone() const { return m_bKeyGone; }

private:
    HKEY m_hKey;
    std::wstring m_lockName;
    HANDLE m_hLock = nullptr;       // the mutex, while held
    UniqueKernelHandle m_ownLock;   // one opened for this holder alone
    int m_lockDepth = 0;
    bool m_bKeyGone = false;
};

}  // namespace favstore
