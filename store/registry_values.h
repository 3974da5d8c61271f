// The favourites values of a plug-in key in the registry, as the keeper sees
// them (store/stored_values.h), read and written through RegKey, with the
// key's writers' lock. Shared by the plug-in and favtool, so both write
// through the same rules.
#pragma once

#include <windows.h>

#include <string>

#include "store/registry_key.h"
#include "store/stored_values.h"
#include "store/writers_lock.h"

namespace favstore {

// History entry names are UTF-8 in the keeper and UTF-16 in the registry.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& text);

class RegistryValues final : public StoredValues {
public:
    // hKey: the plug-in key, opened for reading and writing; not owned.
    // lockName: its writers' lock (WritersLockName), tried as patience says.
    RegistryValues(HKEY hKey, std::wstring lockName,
                   WritersLock::Patience patience = WritersLock::Patience::Brief);
    ~RegistryValues();
    RegistryValues(const RegistryValues&) = delete;
    RegistryValues& operator=(const RegistryValues&) = delete;

    ReadOutcome Read(Value which, StoredValue& value) override;
    bool Write(Value which, const StoredValue& value) override;
    bool Delete(Value which) override;
    std::optional<std::uint32_t> ReadMarker() override;
    Ticks LastWritten() override;

    bool ListHistory(std::vector<HistoryEntry>& entries) override;
    bool ReadHistory(const std::string& name, std::vector<std::uint8_t>& bytes) override;
    bool WriteHistory(const std::string& name, const std::vector<std::uint8_t>& bytes) override;
    bool DeleteHistory(const std::string& name) override;

    Ticks Now() override;
    std::int64_t LocalDay(Ticks utc) override;

    LockOutcome LockWriters() override { return m_lock.Lock(); }
    void UnlockWriters() override { m_lock.Unlock(); }

    // Whether the key's time could not be asked because the key was deleted
    // since its handle was opened: what this handle names no one else sees.
    bool KeyGone() const { return m_bKeyGone; }
    // The system's answer to the first write or delete that failed;
    // ERROR_SUCCESS while none did.
    LSTATUS FirstFailure() const { return m_firstFailure; }

private:
    bool Succeeded(LSTATUS status);

    RegKey m_key;
    WritersLock m_lock;
    bool m_bKeyGone = false;
    LSTATUS m_firstFailure = ERROR_SUCCESS;
};

}  // namespace favstore
