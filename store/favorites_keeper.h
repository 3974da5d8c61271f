// The one place that decides whether, and how, the stored favourites value is
// replaced or deleted. Window-free and registry-free: the plug-in gives it the
// key's values through StoredValues, the native tests give it a fake.
//
// What it guards against:
// - a value that did not load completely (damaged, of another type, or not
//   readable at all) is copied to the backup value before anything replaces
//   or deletes it, and nothing is replaced while that copy cannot be made;
// - a window without edits of its own does not undo what another window (or
//   another program) stored after this window last loaded or saved;
// - the layout marker is set only once the value was written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace favstore {

enum class ReadOutcome {
    Missing,     // no such value
    Read,        // the value's type and bytes
    Unreadable,  // it exists, but its bytes could not be read
};

struct StoredValue {
    std::uint32_t type = 0;  // the registry type it was stored with
    std::vector<std::uint8_t> bytes;
};

// The plug-in key's favourites values.
class StoredValues {
public:
    virtual ReadOutcome ReadFavorites(StoredValue& value) = 0;
    virtual bool WriteFavorites(const std::vector<std::uint8_t>& bytes) = 0;  // as REG_BINARY
    virtual bool DeleteFavorites() = 0;                                       // true when it is gone
    virtual bool WriteBackup(const StoredValue& value) = 0;                   // with the value's own type
    virtual bool MarkCurrentLayout() = 0;                                     // check = 1

protected:
    ~StoredValues() = default;
};

enum class SaveOutcome {
    Written,  // the value holds the tree
    Deleted,  // the tree was empty; the value is gone
    Skipped,  // another writer's value is newer than this window's unchanged tree
    Failed,   // nothing replaced or deleted; what could not be secured is still kept
};

// Per window: what it last saw of the stored value and what it still owes
// the backup.
class FavoritesKeeper {
public:
    // After a load. read/value: what the load found; loadedWhole: every
    // stored record went into the tree (ignored unless the value was read).
    void Loaded(ReadOutcome read, StoredValue value, bool loadedWhole);

    // Replaces the stored value with encoded, or deletes it when encoded is
    // empty (the tree has no items). edited: the tree changed since this
    // window last loaded or saved.
    SaveOutcome Save(StoredValues& store, std::vector<std::uint8_t> encoded, bool edited);

    // Whether a value that did not load is still waiting for its backup.
    bool HoldsUnloadedValue() const { return m_bUnloadedKept || m_bUnloadedUnread; }

private:
    bool ChangedByOthers(StoredValues& store) const;
    bool SecureUnloadedValue(StoredValues& store);

    // The stored value as this window last loaded or saved it: its bytes are
    // kept whole, since comparing them costs less than hashing them.
    enum class Synced { Missing, Bytes, Unreadable };
    Synced m_synced = Synced::Missing;
    std::vector<std::uint8_t> m_syncedBytes;
    StoredValue m_unloaded;
    bool m_bUnloadedKept = false;    // m_unloaded holds bytes that did not load
    bool m_bUnloadedUnread = false;  // a value that could not even be read
};

}  // namespace favstore
