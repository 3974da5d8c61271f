#include "store/favorites_keeper.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "store/favorites_format.h"
#include "store/favorites_history.h"
#include "store/parent_table.h"
#include "store/tree_limits.h"

namespace favstore {

namespace {

// The registry keeps last-write times to the clock's tick (about 16 ms on
// Windows): two writes within one tick leave the same time. Once this much
// has passed since a time was noted, a later write must show.
constexpr Ticks kSameTickGuard = 2 * kTicksPerSecond;

// A label as the tree keeps it: up to its first NUL, at most kTreeLabelUnits.
std::uint32_t KeptLabelUnits(const favfmt::RecordView& r) {
    std::uint32_t n = 0;
    while (n < r.labelLen && n < kTreeLabelUnits && (r.label[2 * n] | r.label[2 * n + 1]) != 0) ++n;
    return n;
}

// Reads records with the level each lands on when the bar loads it.
class ShapeReader {
public:
    ShapeReader(const std::vector<std::uint8_t>& value, bool currentLayout)
        : m_reader(value.data(), value.size(), currentLayout), m_empty(value.empty()) {
        m_levels.Reset(0);
    }
    bool Next(favfmt::RecordView& record, unsigned& level) {
        if (m_empty || !m_reader.Next(record) || record.depth == 0) return false;
        level = m_levels.ParentFor(record.depth) + 1;
        m_levels.Inserted(record.depth, level);
        return true;
    }
    bool Complete() const { return m_empty || m_reader.Complete(); }

private:
    favfmt::Reader m_reader;
    bool m_empty;
    ParentTable<unsigned> m_levels;
};

bool SameRecord(const favfmt::RecordView& a, unsigned aLevel, const favfmt::RecordView& b, unsigned bLevel) {
    const std::uint32_t aLabel = KeptLabelUnits(a);
    return aLevel == bLevel && a.folder == b.folder && aLabel == KeptLabelUnits(b) && a.pathLen == b.pathLen &&
           std::memcmp(a.label, b.label, 2u * aLabel) == 0 && std::memcmp(a.path, b.path, 2u * a.pathLen) == 0;
}

// Walks two values record by record as the bar would show them, handing each
// pair to onPair; false as soon as they show differently, or when either does
// not read to its end.
template <class OnPair>
bool WalkSameShapes(const std::vector<std::uint8_t>& a, bool aCurrentLayout, const std::vector<std::uint8_t>& b,
                    bool bCurrentLayout, OnPair&& onPair) {
    ShapeReader ra(a, aCurrentLayout);
    ShapeReader rb(b, bCurrentLayout);
    favfmt::RecordView va;
    favfmt::RecordView vb;
    unsigned la = 0;
    unsigned lb = 0;
    for (;;) {
        const bool moreA = ra.Next(va, la);
        const bool moreB = rb.Next(vb, lb);
        if (moreA != moreB) return false;
        if (!moreA) break;
        if (!SameRecord(va, la, vb, lb)) return false;
        onPair(va, vb);
    }
    return ra.Complete() && rb.Complete();
}

bool SameShapes(const std::vector<std::uint8_t>& a, bool aCurrentLayout, const std::vector<std::uint8_t>& b,
                bool bCurrentLayout) {
    return WalkSameShapes(a, aCurrentLayout, b, bCurrentLayout,
                          [](const favfmt::RecordView&, const favfmt::RecordView&) {});
}

}  // namespace

bool SameFavorites(const std::vector<std::uint8_t>& a, bool aCurrentLayout, const std::vector<std::uint8_t>& b,
                   bool bCurrentLayout) {
    return a == b || SameShapes(a, aCurrentLayout, b, bCurrentLayout);
}

bool WithExpandedStatesOf(const std::vector<std::uint8_t>& stored, const std::vector<std::uint8_t>& encoded,
                          std::vector<std::uint8_t>& patched) {
    patched = stored;
    return WalkSameShapes(stored, true, encoded, true,
                          [&](const favfmt::RecordView& inStored, const favfmt::RecordView& inEncoded) {
                              if (!inStored.folder || inStored.expanded == inEncoded.expanded) return;
                              // A folder's expanded byte follows its path, depth and folder flag.
                              const std::size_t at = static_cast<std::size_t>(inStored.path - stored.data()) +
                                                     2u * inStored.pathLen + 2u;
                              patched[at] = inEncoded.expanded ? 1 : 0;
                          });
}

std::size_t CountedItems(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) return 0;
    favfmt::Reader reader(bytes.data(), bytes.size(), true);
    if (!reader.HasTag()) return 1;
    if (reader.Count() > 0) return static_cast<std::size_t>(reader.Count());
    // A header that counts nothing before records of some writer's: what
    // follows it may still be favourites.
    return bytes.size() > favfmt::kHeaderSize ? 1 : 0;
}

ReadOutcome FavoritesKeeper::Read(StoredValues& store, StoredValue& value) {
    m_pendingSeenAt = store.Now();
    m_pendingStamp = store.LastWritten();
    return store.ReadFavorites(value);
}

void FavoritesKeeper::Loaded(ReadOutcome read, StoredValue value, bool loadedWhole, bool currentLayout) {
    m_unloaded = StoredValue{};
    m_bUnloadedKept = false;
    m_bUnloadedUnread = false;
    m_bSyncedCurrentLayout = currentLayout;
    m_bMarkerCurrent = currentLayout;
    m_stamp = m_pendingStamp;
    m_bOwnWriteUnseen = false;
    m_bStampSettled = m_stamp != 0 && m_pendingSeenAt >= m_stamp + kSameTickGuard;
    m_pendingStamp = 0;
    m_syncedValue = StoredValue{};
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
            m_syncedValue = value;
            m_unloaded = std::move(value);
            m_bUnloadedKept = true;
        } else {
            m_syncedValue = std::move(value);
        }
        break;
    }
}

bool FavoritesKeeper::SameAsSynced(ReadOutcome read, const StoredValue& value) const {
    switch (read) {
    case ReadOutcome::Missing:
        return m_synced == Synced::Missing;
    case ReadOutcome::Unreadable:
        return m_synced == Synced::Unreadable;
    case ReadOutcome::Read:
        break;
    }
    // A save that knows the key unwritten since passes the value as last
    // seen itself: the same bytes need no comparing.
    return m_synced == Synced::Bytes && (&value == &m_syncedValue || value == m_syncedValue);
}

bool FavoritesKeeper::ChangedHere(const std::vector<std::uint8_t>& encoded) const {
    switch (m_synced) {
    case Synced::Missing:
    case Synced::Unreadable:
        return !encoded.empty();
    case Synced::Bytes:
        break;
    }
    if (m_syncedValue.type != kBinaryType) return !encoded.empty();
    return !SameFavorites(encoded, true, m_syncedValue.bytes, m_bSyncedCurrentLayout);
}

bool FavoritesKeeper::StoredValueChanged(StoredValues& store, ReadOutcome& read, StoredValue& now) {
    const Ticks seenAt = store.Now();
    const Ticks stamp = store.LastWritten();
    if (m_bOwnWriteUnseen) AdoptOwnWriteTime(stamp);
    if (UnwrittenSince(stamp)) return false;
    // Right after a write, another one in the same tick would not show yet;
    // look at the bytes once that can no longer happen.
    if (stamp != 0 && stamp == m_stamp && seenAt < stamp + kSameTickGuard) return false;
    read = store.ReadFavorites(now);
    // Read after the time, as the value was: a marker written since shows
    // in the key's time. The same bytes under another marker are another
    // value: another writer wrote its value and is about to write (or has
    // just written) the marker that goes with it, and what the bar shows
    // was read in the wrong layout.
    const bool markerCurrent = store.LayoutMarkerCurrent();
    const bool sameLayout = m_synced != Synced::Bytes || markerCurrent == m_bSyncedCurrentLayout ||
                            SameShapes(now.bytes, markerCurrent, now.bytes, m_bSyncedCurrentLayout);
    if (!SameAsSynced(read, now) || !sameLayout) {
        m_pendingSeenAt = seenAt;
        m_pendingStamp = stamp;
        return true;
    }
    m_stamp = stamp;
    m_bStampSettled = stamp != 0 && seenAt >= stamp + kSameTickGuard;
    m_bMarkerCurrent = markerCurrent;
    return false;
}

bool FavoritesKeeper::ReadMarkerWith(StoredValues& store, ReadOutcome& read, StoredValue& value) {
    constexpr int kAttempts = 4;
    for (int attempt = 1;; ++attempt) {
        const bool markerCurrent = store.LayoutMarkerCurrent();
        const Ticks stamp = store.LastWritten();
        if (stamp == m_pendingStamp || attempt == kAttempts) return markerCurrent;
        // Written meanwhile: the value read may not be the one this marker
        // belongs to.
        m_pendingSeenAt = store.Now();
        m_pendingStamp = stamp;
        read = store.ReadFavorites(value);
    }
}

// Copies what did not load to the backup value. A value that could not be
// read at load time is read again now; if that still fails, nothing may
// replace it. The backup holds one rescue: an earlier one goes to the
// history before it is written over.
bool FavoritesKeeper::SecureUnloadedValue(StoredValues& store) {
    if (!HoldsUnloadedValue()) return true;
    const WritersLockScope lock(store);
    if (lock.Busy()) return false;
    StoredValue written;
    return SecureUnloadedValue(store, written);
}

bool FavoritesKeeper::SecureUnloadedValue(StoredValues& store, StoredValue& written) {
    if (!HoldsUnloadedValue()) return true;
    StoredValue rescue;
    if (m_bUnloadedUnread) {
        switch (store.ReadFavorites(rescue)) {
        case ReadOutcome::Missing:
            m_bUnloadedUnread = false;  // gone already: nothing left to keep
            return true;
        case ReadOutcome::Unreadable:
            return false;
        case ReadOutcome::Read:
            break;
        }
    } else {
        rescue = m_unloaded;
    }
    if (!rescue.bytes.empty()) {
        StoredValue earlier;
        switch (store.ReadBackup(earlier)) {
        case ReadOutcome::Missing:
            break;
        case ReadOutcome::Unreadable:
            return false;
        case ReadOutcome::Read:
            if (earlier != rescue && !earlier.bytes.empty() &&
                FavoritesHistory(store).Add(earlier.bytes, "backup") == FavoritesHistory::AddOutcome::Failed) {
                return false;
            }
            break;
        }
        if (!store.WriteBackup(rescue)) return false;
        written = std::move(rescue);
    }
    m_unloaded = StoredValue{};
    m_bUnloadedKept = false;
    m_bUnloadedUnread = false;
    return true;
}

// Before current is replaced: the history gets it when it cannot be rebuilt
// from what this writer holds. False when that entry could not be made.
bool FavoritesKeeper::KeepReplaced(StoredValues& store, const StoredValue& current,
                                   const std::vector<std::uint8_t>& encoded, bool byOthers,
                                   const SaveOptions& options) {
    if (current.bytes == encoded) return true;
    const std::size_t held = CountedItems(current.bytes);
    if (held == 0) return true;
    FavoritesHistory history(store);
    std::string reason;
    if (options.keepReplaced) {
        reason = options.reason;
    } else if (byOthers) {
        reason = "other writer";
    } else if (CountedItems(encoded) < held) {
        reason = "delete";
    } else {
        const std::int64_t today = Today(store);
        if (m_historyDay == today) return true;
        if (history.MadeToday()) {
            m_historyDay = today;
            return true;
        }
        reason = "daily";
    }
    if (history.Add(current.bytes, reason, &m_replaced.historyEntry) == FavoritesHistory::AddOutcome::Failed) {
        return false;
    }
    m_historyDay = Today(store);
    return true;
}

// Every time zone's offset from UTC, and every change of it, is a whole
// number of quarter hours, so a local day begins on a quarter hour of UTC:
// within one the system is asked for the day once.
std::int64_t FavoritesKeeper::Today(StoredValues& store) {
    constexpr Ticks kQuarterHour = kTicksPerSecond * 60 * 15;
    const Ticks now = store.Now();
    if (now / kQuarterHour != m_todayQuarter) {
        m_todayQuarter = now / kQuarterHour;
        m_today = store.LocalDay(now);
    }
    return m_today;
}

std::vector<std::uint8_t> FavoritesKeeper::TakeBuffer() {
    std::vector<std::uint8_t> buffer = std::move(m_spare);
    m_spare = {};
    buffer.clear();
    // The value as last seen and an edit or two more: an encoding that
    // outgrows its buffer copies all it built so far.
    const std::size_t held = m_syncedValue.bytes.size();
    const std::size_t room = held + held / 8;
    if (buffer.capacity() < room) {
        try {
            buffer.reserve(room);
        } catch (const std::bad_alloc&) {
            // The encoding grows it as far as it can.
        }
    }
    return buffer;
}

void FavoritesKeeper::KeepSpare(std::vector<std::uint8_t>&& bytes) {
    if (bytes.capacity() > m_spare.capacity()) m_spare = std::move(bytes);
}

bool FavoritesKeeper::AlreadyStored(const std::vector<std::uint8_t>& encoded) const {
    if (encoded.empty()) return m_synced == Synced::Missing;
    return m_synced == Synced::Bytes && m_bSyncedCurrentLayout && m_syncedValue.type == kBinaryType &&
           m_syncedValue.bytes == encoded;
}

void FavoritesKeeper::Synchronised(Synced synced, std::vector<std::uint8_t> bytes, StoredValues& store,
                                   Ticks writeBegan) {
    m_synced = synced;
    KeepSpare(std::move(m_syncedValue.bytes));
    m_syncedValue = StoredValue{kBinaryType, std::move(bytes)};
    m_bSyncedCurrentLayout = true;
    // The key's time is not asked now, which would cost every writing save
    // a trip to the system: the next look, which asks it anyway, takes it.
    m_stamp = 0;
    m_bStampSettled = false;
    m_bOwnWriteUnseen = true;
    m_ownWriteBegan = writeBegan;
    m_ownWriteEnded = store.Now();
}

// The key's time, first seen since this writer's own write, is that write's
// when it lies within the write's span: the system stamps a key with the
// clock the span was read from. Until the same-tick guard has passed the
// next look compares bytes, so a write that slipped in between still shows;
// a time from after the span is another writer's, and is compared at once.
void FavoritesKeeper::AdoptOwnWriteTime(Ticks stamp) {
    m_bOwnWriteUnseen = false;
    if (stamp != 0 && stamp >= m_ownWriteBegan && stamp <= m_ownWriteEnded) m_stamp = stamp;
}

SaveOutcome FavoritesKeeper::StoredAlready(std::vector<std::uint8_t> encoded) {
    const SaveOutcome done = encoded.empty() ? SaveOutcome::Deleted : SaveOutcome::Written;
    KeepSpare(std::move(encoded));
    return done;
}

void FavoritesKeeper::KeepStoredBytes(std::vector<std::uint8_t>& encoded) {
    if (m_synced != Synced::Bytes || !m_bSyncedCurrentLayout || m_syncedValue.type != kBinaryType ||
        HoldsUnloadedValue() || encoded.empty() || encoded == m_syncedValue.bytes) {
        return;
    }
    std::vector<std::uint8_t> patched;
    if (!WithExpandedStatesOf(m_syncedValue.bytes, encoded, patched)) return;
    KeepSpare(std::move(encoded));
    encoded = std::move(patched);
}

SaveOutcome FavoritesKeeper::Save(StoredValues& store, std::vector<std::uint8_t> encoded,
                                  const SaveOptions& options) {
    m_replaced = Replaced{};
    // A writer that changed no favourite writes at most which folders are
    // open: what its tree cannot hold (a label longer than it keeps or with
    // a NUL inside, levels deeper than it has) stays as stored. A write
    // asked for stores what it was given.
    if (!options.keepReplaced) KeepStoredBytes(encoded);
    // Nothing to write while the key is as this writer left it: no other
    // writer's write can be lost, so the lock is not taken (most saves, one
    // per idle moment of the host).
    const bool mayBeStored = m_synced != Synced::Unreadable && !HoldsUnloadedValue() && AlreadyStored(encoded);
    if (mayBeStored && UnwrittenSince(store.LastWritten())) {
        return StoredAlready(std::move(encoded));
    }
    // A lock that cannot be opened at all (its name taken by an object this
    // user may not wait on) holds back no save: the key-time checks below,
    // and the next look's at this write's time, stand in for it.
    const WritersLockScope lock(store);
    if (lock.Busy()) return SaveOutcome::Failed;
    // What is stored now, looked at under the lock: another writer may have
    // written until now. While the key's last-write time is the settled one
    // noted, that is what this writer last saw, and no value data is read.
    const Ticks stamp = store.LastWritten();
    const bool knownUnchanged = UnwrittenSince(stamp) && m_synced != Synced::Unreadable;

    StoredValue read;
    ReadOutcome outcome = ReadOutcome::Read;
    const StoredValue* current = &m_syncedValue;
    if (knownUnchanged) {
        if (m_synced == Synced::Missing) outcome = ReadOutcome::Missing;
    } else {
        outcome = store.ReadFavorites(read);
        current = &read;
    }
    const bool byOthers = !SameAsSynced(outcome, *current);
    if (byOthers && !ChangedHere(encoded)) return SaveOutcome::Skipped;
    // What cannot be read cannot be kept: it is not replaced either.
    if (outcome == ReadOutcome::Unreadable && !m_bUnloadedUnread) return SaveOutcome::Failed;
    StoredValue rescued;
    if (!SecureUnloadedValue(store, rescued)) return SaveOutcome::Failed;
    // A value that went to the backup just now needs no second copy.
    const bool inBackup = !rescued.bytes.empty() && rescued == *current;
    m_replaced.inBackup = inBackup;
    if (outcome == ReadOutcome::Read && !inBackup && !KeepReplaced(store, *current, encoded, byOthers, options)) {
        return SaveOutcome::Failed;
    }

    // What is stored holds this tree already: a write would change nothing
    // but the key's time, and send every other writer to read the value.
    if (!byOthers && AlreadyStored(encoded)) {
        return StoredAlready(std::move(encoded));
    }

    const Ticks writeBegan = store.Now();
    if (encoded.empty()) {
        if (!store.DeleteFavorites()) return SaveOutcome::Failed;
        Synchronised(Synced::Missing, {}, store, writeBegan);
        return SaveOutcome::Deleted;
    }
    if (!store.WriteFavorites(encoded)) return SaveOutcome::Failed;
    // Only now is the stored value in the current layout. A marker seen
    // saying so, in a key nobody wrote since, still says so. Whether the one
    // written now still does when the key's time settles is read then.
    if (!(knownUnchanged && m_bMarkerCurrent)) m_bMarkerCurrent = store.MarkCurrentLayout();
    Synchronised(Synced::Bytes, std::move(encoded), store, writeBegan);
    return SaveOutcome::Written;
}

}  // namespace favstore
