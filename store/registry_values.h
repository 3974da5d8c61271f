// The favourites values of a plug-in key in the registry, as the keeper sees
// them: FavoriteArray, FavoriteArrayBackup, check, the key's last-write time,
// the History subkey and the system clock. Shared by the plug-in and favtool,
// so both write through the same rules.
#pragma once

#include <windows.h>

#include "store/favorites_keeper.h"

namespace favstore {

// Reads a value whole, of any type: one query for type and size, one for the
// data. A value that changes size between the two, or does not fit in
// memory, is unreadable rather than missing.
ReadOutcome ReadWholeValue(HKEY hKey, const wchar_t* pszName, StoredValue& value);

class RegistryValues final : public StoredValues {
public:
    // hKey: the plug-in key, opened for reading and writing; not owned.
    explicit RegistryValues(HKEY hKey) : m_hKey(hKey) {}

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

private:
    HKEY m_hKey;
};

}  // namespace favstore
