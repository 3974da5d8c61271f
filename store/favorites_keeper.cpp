#include "store/favorites_keeper.h"

#include <utility>

namespace favstore {

void FavoritesKeeper::Loaded(ReadOutcome read, StoredValue value, bool loadedWhole) {
    m_unloaded = StoredValue{};
    m_bUnloadedKept = false;
    m_bUnloadedUnread = false;
    m_syncedBytes.clear();
    switch (read) {
    case ReadOutcome::Missing:
        m_synced = Synced::Missing;
        break;
    case ReadOutcome::Unreadable:
        m_synced = Synced::Unreadable;
        m_bUnloadedUnread = true;
        break;
    case ReadOutcome::Read:
        m_synced = Synced::Bytes;
        // A value without bytes holds no favourites: nothing to keep.
        if (!loadedWhole && !value.bytes.empty()) {
            m_syncedBytes = value.bytes;
            m_unloaded = std::move(value);
            m_bUnloadedKept = true;
        } else {
            m_syncedBytes = std::move(value.bytes);
        }
        break;
    }
}

bool FavoritesKeeper::ChangedByOthers(StoredValues& store) const {
    StoredValue now;
    switch (store.ReadFavorites(now)) {
    case ReadOutcome::Missing:
        return false;  // written again, as when this window saves any tree
    case ReadOutcome::Unreadable:
        return m_synced != Synced::Unreadable;
    case ReadOutcome::Read:
        break;
    }
    return m_synced != Synced::Bytes || now.bytes != m_syncedBytes;
}

// Copies what did not load to the backup value. A value that could not be
// read at load time is read again now; if that still fails, nothing may
// replace it.
bool FavoritesKeeper::SecureUnloadedValue(StoredValues& store) {
    if (m_bUnloadedUnread) {
        StoredValue now;
        switch (store.ReadFavorites(now)) {
        case ReadOutcome::Missing:
            m_bUnloadedUnread = false;  // gone already: nothing left to keep
            return true;
        case ReadOutcome::Unreadable:
            return false;
        case ReadOutcome::Read:
            if (!now.bytes.empty() && !store.WriteBackup(now)) return false;
            m_bUnloadedUnread = false;
            return true;
        }
    }
    if (m_bUnloadedKept) {
        if (!store.WriteBackup(m_unloaded)) return false;
        m_unloaded = StoredValue{};
        m_bUnloadedKept = false;
    }
    return true;
}

SaveOutcome FavoritesKeeper::Save(StoredValues& store, std::vector<std::uint8_t> encoded, bool edited) {
    if (!edited && ChangedByOthers(store)) return SaveOutcome::Skipped;
    if (!SecureUnloadedValue(store)) return SaveOutcome::Failed;
    if (encoded.empty()) {
        if (!store.DeleteFavorites()) return SaveOutcome::Failed;
        m_synced = Synced::Missing;
        m_syncedBytes.clear();
        return SaveOutcome::Deleted;
    }
    if (!store.WriteFavorites(encoded)) return SaveOutcome::Failed;
    m_synced = Synced::Bytes;
    m_syncedBytes = std::move(encoded);
    // Only now is the stored value in the current layout.
    store.MarkCurrentLayout();
    return SaveOutcome::Written;
}

}  // namespace favstore
