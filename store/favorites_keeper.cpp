#include "store/favorites_keeper.h"

namespace favstore {

namespace {

// A value that exists but cannot be read has this fingerprint size; no
// readable value is that large.
constexpr std::size_t kUnreadableSize = static_cast<std::size_t>(-1);

}  // namespace

FavoritesKeeper::Fingerprint FavoritesKeeper::FingerprintOf(const std::vector<std::uint8_t>& bytes) {
    // FNV-1a: enough to tell whether someone else rewrote the value.
    std::uint64_t hash = 14695981039346656037ull;
    for (std::uint8_t b : bytes) {
        hash ^= b;
        hash *= 1099511628211ull;
    }
    return Fingerprint{true, bytes.size(), hash};
}

void FavoritesKeeper::Loaded(ReadOutcome read, const StoredValue& value, bool loadedWhole) {
    m_unloaded = StoredValue{};
    m_bUnloadedKept = false;
    m_bUnloadedUnread = false;
    switch (read) {
    case ReadOutcome::Missing:
        m_synced = Fingerprint{};
        break;
    case ReadOutcome::Unreadable:
        m_synced = Fingerprint{true, kUnreadableSize, 0};
        m_bUnloadedUnread = true;
        break;
    case ReadOutcome::Read:
        m_synced = FingerprintOf(value.bytes);
        // A value without bytes holds no favourites: nothing to keep.
        if (!loadedWhole && !value.bytes.empty()) {
            m_unloaded = value;
            m_bUnloadedKept = true;
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
        return !(m_synced.present && m_synced.size == kUnreadableSize);
    case ReadOutcome::Read:
        break;
    }
    return !(FingerprintOf(now.bytes) == m_synced);
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

SaveOutcome FavoritesKeeper::Save(StoredValues& store, const std::vector<std::uint8_t>& encoded, bool edited) {
    if (!edited && ChangedByOthers(store)) return SaveOutcome::Skipped;
    if (!SecureUnloadedValue(store)) return SaveOutcome::Failed;
    if (encoded.empty()) {
        if (!store.DeleteFavorites()) return SaveOutcome::Failed;
        m_synced = Fingerprint{};
        return SaveOutcome::Deleted;
    }
    if (!store.WriteFavorites(encoded)) return SaveOutcome::Failed;
    m_synced = FingerprintOf(encoded);
    // Only now is the stored value in the current layout.
    store.MarkCurrentLayout();
    return SaveOutcome::Written;
}

}  // namespace favstore
