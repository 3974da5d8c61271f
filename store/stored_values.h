// The plug-in key's favourites values as the keeper and the history see
// them: FavoriteArray, FavoriteArrayBackup, check, the key's last-write
// time, the History subkey, the clock and the writers' lock. Window-free and
// registry-free: the writers give the keeper the key's values through
// StoredValues (store/registry_values.h), the native tests give it a fake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store/value_names.h"

namespace favstore {

enum class ReadOutcome {
    Missing,     // no such value
    Read,        // the value's type and bytes
    Unreadable,  // it exists, but its bytes could not be read
};

constexpr std::uint32_t kBinaryType = 3;  // REG_BINARY
constexpr std::uint32_t kDwordType = 4;   // REG_DWORD

// A registry value whole: its type and its bytes.
struct StoredValue {
    std::uint32_t type = kBinaryType;  // the registry type it was stored with
    std::vector<std::uint8_t> bytes;
    bool operator==(const StoredValue& o) const { return type == o.type && bytes == o.bytes; }
    bool operator!=(const StoredValue& o) const { return !(*this == o); }
};

// A REG_DWORD value, little-endian as the registry keeps it.
StoredValue DwordValue(std::uint32_t value);

// Times as the registry keeps them: 100-ns ticks since 1601-01-01, UTC.
using Ticks = std::uint64_t;
constexpr Ticks kTicksPerSecond = 10'000'000;

struct HistoryEntry {
    std::string name;  // UTF-8
    std::size_t size = 0;
};

// What a try for the writers' lock came to.
enum class LockOutcome {
    Held,         // this writer holds it now
    Busy,         // another writer holds it
    Unavailable,  // it cannot be opened at all: its name was taken by an object this user may not wait on
};

// The plug-in key's favourites values, its history and the clock.
class StoredValues {
public:
    // The values whose replacing the keeper decides.
    enum class Value {
        Favorites,  // FavoriteArray
        Backup,     // FavoriteArrayBackup
        Marker,     // check
    };
    virtual ReadOutcome Read(Value which, StoredValue& value) = 0;
    virtual bool Write(Value which, const StoredValue& value) = 0;  // with the value's own type
    virtual bool Delete(Value which) = 0;                           // true when it is gone
    // The layout marker as the plug-in reads it (store/registry_key.h):
    // nullopt when absent, longer than 4 bytes or unreadable.
    virtual std::optional<std::uint32_t> ReadMarker() = 0;
    // When any value of the key was last written; 0 when that cannot be
    // told. Reads no value data, so asking costs next to nothing.
    virtual Ticks LastWritten() = 0;

    // The history subkey: binary values, any order.
    virtual bool ListHistory(std::vector<HistoryEntry>& entries) = 0;
    virtual bool ReadHistory(const std::string& name, std::vector<std::uint8_t>& bytes) = 0;
    virtual bool WriteHistory(const std::string& name, const std::vector<std::uint8_t>& bytes) = 0;
    virtual bool DeleteHistory(const std::string& name) = 0;

    // The clock: now, and the user's local calendar day of a time (days
    // counted from any fixed day).
    virtual Ticks Now() = 0;
    virtual std::int64_t LocalDay(Ticks utc) = 0;

    // Held by every writer of the key (each window, another process,
    // favtool) from its look at what is stored to its write, so that no
    // write falls in between and is lost. Taken again by its holder, it
    // nests; Busy when another writer kept it too long.
    virtual LockOutcome LockWriters() = 0;
    virtual void UnlockWriters() = 0;

    ReadOutcome ReadFavorites(StoredValue& value) { return Read(Value::Favorites, value); }
    // As REG_BINARY; the bytes are lent to the write and given back.
    bool WriteFavorites(std::vector<std::uint8_t>& bytes);
    bool DeleteFavorites() { return Delete(Value::Favorites); }
    ReadOutcome ReadBackup(StoredValue& value) { return Read(Value::Backup, value); }
    bool WriteBackup(const StoredValue& value) { return Write(Value::Backup, value); }
    bool MarkCurrentLayout();
    bool LayoutMarkerCurrent() { return ReadMarker() == kMarkerCurrentLayout; }

protected:
    ~StoredValues() = default;
};

// The writers' lock for one scope.
class WritersLockScope {
public:
    explicit WritersLockScope(StoredValues& store) : m_store(store), m_outcome(store.LockWriters()) {}
    ~WritersLockScope() {
        if (Held()) m_store.UnlockWriters();
    }
    WritersLockScope(const WritersLockScope&) = delete;
    WritersLockScope& operator=(const WritersLockScope&) = delete;
    bool Held() const { return m_outcome == LockOutcome::Held; }
    // Another writer holds it: whatever this scope was to write waits.
    bool Busy() const { return m_outcome == LockOutcome::Busy; }
    LockOutcome Outcome() const { return m_outcome; }

private:
    StoredValues& m_store;
    LockOutcome m_outcome;
};

}  // namespace favstore
