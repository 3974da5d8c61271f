// The one place that decides whether, and how, the stored favourites value is
// replaced or deleted, for every writer: each window's bar and favtool.
// Window-free and registry-free: the writers give it the key's values through
// StoredValues (store/stored_values.h), the native tests give it a fake.
//
// What it guards against:
// - a value that did not load completely (damaged, of another type, or not
//   readable at all) is copied to the backup value before anything replaces
//   or deletes it, and nothing is replaced while that copy cannot be made;
// - a writer without changes of its own never undoes what another window or
//   program stored (or deleted) since this writer last loaded or saved;
// - a replaced value that cannot be rebuilt (another writer's, one that held
//   more favourites, the first of the day) goes to the history first;
// - the layout marker is set only once the value was written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/stored_values.h"

namespace favstore {

enum class SaveOutcome {
    Written,  // the value holds the tree
    Deleted,  // the tree was empty; the value is gone
    Skipped,  // another writer's value is newer, and this writer changed nothing
    Failed,   // nothing replaced or deleted; what could not be secured is still kept
};

struct SaveOptions {
    // Every value this save replaces goes to the history (favtool's writes,
    // which a user asked for and may want to undo); reason names the entry.
    bool keepReplaced = false;
    std::string reason;
};

// Whether two stored values hold the same favourites as the bar shows them:
// labels (as far as the tree keeps them), paths, kinds, order and nesting.
// Which folders are open, filler bytes and skipped levels do not count. A
// value that does not read completely equals only the same bytes.
bool SameFavorites(const std::vector<std::uint8_t>& a, bool aCurrentLayout, const std::vector<std::uint8_t>& b,
                   bool bCurrentLayout);
// When encoded (current layout) holds the same favourites as stored (current
// layout): patched is stored with each folder's expanded byte as encoded has
// it, and nothing else changed. False when the favourites differ.
bool WithExpandedStatesOf(const std::vector<std::uint8_t>& stored, const std::vector<std::uint8_t>& encoded,
                          std::vector<std::uint8_t>& patched);
// The favourites a value holds by its header; values without the tag count
// as holding some, since what they hold cannot be told.
std::size_t CountedItems(const std::vector<std::uint8_t>& bytes);
// Whether the bar loads every record of a stored value (one without bytes
// holds none to lose); a value of another type than binary it never loads.
bool LoadsCompletely(const StoredValue& value, bool currentLayout);
// The layout marker with which a value loads completely, the current one
// first; nullopt when neither does, or the value holds nothing.
std::optional<std::uint32_t> MarkerThatLoads(const StoredValue& value);

// Where a write put the value it replaced.
struct Replaced {
    bool inBackup = false;     // FavoriteArrayBackup holds it
    std::string historyEntry;  // the history entry that holds it; empty for none
};

// What a writer that asks before it writes (favtool) showed of the key: the
// write goes ahead only while the key still holds it.
struct Shown {
    std::optional<StoredValue> favorites;  // nullopt: no FavoriteArray
    std::optional<std::uint32_t> marker;   // check, as the plug-in reads it
    std::optional<StoredValue> backup;     // for SwapInBackup
};

// What became of such a write.
struct RequestedWrite {
    enum class Outcome {
        Written,
        LockedOut,         // another writer kept the writers' lock
        LockUnavailable,   // the writers' lock cannot be opened
        ValueChanged,      // FavoriteArray (or, for the swap, the backup) is no longer what was shown
        MarkerChanged,     // check is no longer what was shown
        NotKept,           // the replaced value could not go to the history; nothing written
        Failed,            // nothing written, or everything written put back but notPutBack
    };
    Outcome outcome = Outcome::Failed;
    Replaced replaced;                             // Written: where the replaced value went
    std::optional<std::uint32_t> markerSet;        // Written: check was set to this
    std::optional<StoredValues::Value> failed;     // Failed in a swap: the write that failed
    std::vector<StoredValues::Value> notPutBack;   // Failed in a swap: values left as written
};

// Per writer: what it last saw of the stored value and what it still owes
// the backup.
class FavoritesKeeper {
public:
    // A load: the stored value, with the key's last-write time noted first,
    // so that a write between the two shows as a change later on.
    ReadOutcome Read(StoredValues& store, StoredValue& value);
    // After a load. read/value: what Read found; loadedWhole: every stored
    // record went into the tree (ignored unless the value was read);
    // currentLayout: the marker said the current layout, read after Read.
    void Loaded(ReadOutcome read, StoredValue value, bool loadedWhole, bool currentLayout = true);

    // Replaces the stored value with encoded, or deletes it when encoded is
    // empty (the tree has no items), as far as the rules allow.
    SaveOutcome Save(StoredValues& store, std::vector<std::uint8_t> encoded, const SaveOptions& options = {});

    // A replace asked for (favtool's import, relocate, restore of a history
    // entry): FavoriteArray becomes encoded (goes, when encoded is empty),
    // by the rules every save keeps, while the key holds what was shown. The
    // replaced value goes to the history (reason names the entry), or to the
    // backup when it does not load completely.
    RequestedWrite Replace(StoredValues& store, const Shown& shown, std::vector<std::uint8_t> encoded,
                           const std::string& reason);
    // restore's swap: FavoriteArray takes the backup, check the marker it
    // loads with, and the backup the replaced value (goes, when there was
    // none), each keeping its registry type. The replaced value goes to the
    // history first; every moment of the swap leaves each of the two in at
    // least one value, and a failed write puts back those before it.
    RequestedWrite SwapInBackup(StoredValues& store, const Shown& shown);

    // Whether the stored value is no longer what this writer last loaded or
    // saved. Reads no value data while the key's last-write time is the one
    // noted; right after this writer's own write it waits until a write in
    // the same clock tick would have shown, then compares the bytes once.
    bool StoredValueChanged(StoredValues& store) {
        ReadOutcome read = ReadOutcome::Missing;
        StoredValue now;
        return StoredValueChanged(store, read, now);
    }
    // The same look for a writer that follows the stored value: when it
    // changed, read and value hold what the look read, with the key's time
    // noted before it as Read notes it, for the Loaded that follows; a
    // reload then reads the value once.
    bool StoredValueChanged(StoredValues& store, ReadOutcome& read, StoredValue& value);
    // Whether the layout marker says the current layout, read with the value
    // Read or StoredValueChanged just read as one pair: when the key was
    // written since the time noted before that value, value and marker are
    // read again (a few times at most).
    bool ReadMarkerWith(StoredValues& store, ReadOutcome& read, StoredValue& value);

    // Copies a value that did not load to the backup now (a rescue already
    // there goes to the history first); false while it is still owed.
    bool SecureUnloadedValue(StoredValues& store);
    bool HoldsUnloadedValue() const { return m_bUnloadedKept || m_bUnloadedUnread; }

    // Whether encoded holds other favourites than this writer last loaded or
    // saved.
    bool ChangedHere(const std::vector<std::uint8_t>& encoded) const;

    // An empty buffer for the next encoding, with room for the value as last
    // seen: a large value is then mostly built in memory already in use
    // (that of a value this writer held before), since fresh memory costs
    // more at its first touch than the building does.
    std::vector<std::uint8_t> TakeBuffer();

private:
    enum class Synced { Missing, Bytes, Unreadable };
    bool SameAsSynced(ReadOutcome read, const StoredValue& value) const;
    // encoded becomes the value as last seen with the folders' expanded
    // states of encoded, when it holds the same favourites.
    void KeepStoredBytes(std::vector<std::uint8_t>& encoded);
    // Nothing written: the tree is stored as it is; the buffer is kept.
    SaveOutcome StoredAlready(std::vector<std::uint8_t> encoded);
    // Whether the key's last-write time says nothing was written since this
    // writer last saw the value, with no write in the same tick hidden.
    bool UnwrittenSince(Ticks stamp) const { return m_bStampSettled && stamp != 0 && stamp == m_stamp; }
    // written: what went to the backup, if anything did.
    bool SecureUnloadedValue(StoredValues& store, StoredValue& written);
    bool KeepReplaced(StoredValues& store, const StoredValue& current, const std::vector<std::uint8_t>& encoded,
                      bool byOthers, const SaveOptions& options);
    // The swap's writes in order, each undone (last first) when a later one fails.
    RequestedWrite SwapValues(StoredValues& store, const StoredValue& backup, const std::optional<StoredValue>& replaced,
                              std::optional<std::uint32_t> marker);
    // Whether the value as last seen holds encoded byte for byte, in the
    // current layout (or is missing, for an empty tree).
    bool AlreadyStored(const std::vector<std::uint8_t>& encoded) const;
    // After this writer's write, begun at writeBegan and ended now.
    void Synchronised(Synced synced, std::vector<std::uint8_t> bytes, StoredValues& store, Ticks writeBegan);
    void AdoptOwnWriteTime(Ticks stamp);
    std::int64_t Today(StoredValues& store);
    // Keeps bytes for TakeBuffer when they have more room than the spare.
    void KeepSpare(std::vector<std::uint8_t>&& bytes);

    // The stored value as this writer last loaded or saved it: its bytes are
    // kept whole, since comparing them costs less than hashing them.
    Synced m_synced = Synced::Missing;
    StoredValue m_syncedValue;
    bool m_bSyncedCurrentLayout = true;
    // Whether the layout marker said the current layout when the key's time
    // m_stamp was seen settled: while the key stays unwritten since, a save
    // need not write the marker again.
    bool m_bMarkerCurrent = false;
    // The key's last-write time when that was seen, and whether it was seen
    // long enough after that time that any later write must change it.
    Ticks m_stamp = 0;
    bool m_bStampSettled = false;
    // This writer's last write, whose key time no look has asked yet.
    bool m_bOwnWriteUnseen = false;
    Ticks m_ownWriteBegan = 0;
    Ticks m_ownWriteEnded = 0;
    Ticks m_pendingStamp = 0;  // noted by Read for the Loaded that follows
    Ticks m_pendingSeenAt = 0;
    // The local day on which a history entry is known to exist.
    std::int64_t m_historyDay = -1;
    Ticks m_todayQuarter = ~Ticks{0};  // the quarter hour of UTC that m_today was asked in
    std::int64_t m_today = -1;

    StoredValue m_unloaded;
    bool m_bUnloadedKept = false;    // m_unloaded holds bytes that did not load
    bool m_bUnloadedUnread = false;  // a value that could not even be read

    std::vector<std::uint8_t> m_spare;  // for TakeBuffer
    Replaced m_replaced;                // where the last save put the value it replaced
};

}  // namespace favstore
