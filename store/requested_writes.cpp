// The writes a user asks for (favtool's), which the keeper makes as its own
// operations. Apart from the saves, so that the plug-in, which never makes
// them, does not carry them.
#include <string>
#include <utility>
#include <vector>

#include "store/favorites_format.h"
#include "store/favorites_history.h"
#include "store/favorites_keeper.h"

namespace favstore {

bool LoadsCompletely(const StoredValue& value, bool currentLayout) {
    if (value.type != kBinaryType) return false;
    if (value.bytes.empty()) return true;
    favfmt::Reader reader(value.bytes.data(), value.bytes.size(), currentLayout);
    favfmt::RecordView record;
    while (reader.Next(record)) {
    }
    return reader.Complete();
}

std::optional<std::uint32_t> MarkerThatLoads(const StoredValue& value) {
    if (value.type != kBinaryType || value.bytes.empty()) return std::nullopt;
    if (LoadsCompletely(value, true)) return kMarkerCurrentLayout;
    if (LoadsCompletely(value, false)) return kMarkerOldLayout;
    return std::nullopt;
}

std::vector<std::string> FavoritesHistory::WouldDrop(const std::vector<std::uint8_t>& bytes) {
    std::vector<HistoryEntry> entries;
    if (!List(entries) || NewestHolds(entries, bytes)) return {};
    entries.push_back({NameAfter(entries, {}), bytes.size()});
    std::vector<std::string> names;
    for (const std::size_t i : Beyond(entries)) names.push_back(entries[i].name);
    return names;
}

namespace {

bool Holds(const std::optional<StoredValue>& shown, ReadOutcome read, const StoredValue& now) {
    if (read == ReadOutcome::Missing) return !shown;
    return read == ReadOutcome::Read && shown && *shown == now;
}

// A user's write is never made without the lock: the user hears why.
bool LockRefused(const WritersLockScope& lock, RequestedWrite::Outcome& outcome) {
    if (lock.Held()) return false;
    outcome = lock.Busy() ? RequestedWrite::Outcome::LockedOut : RequestedWrite::Outcome::LockUnavailable;
    return true;
}

RequestedWrite Result(RequestedWrite::Outcome outcome) {
    RequestedWrite result;
    result.outcome = outcome;
    return result;
}

}  // namespace

RequestedWrite FavoritesKeeper::Replace(StoredValues& store, const Shown& shown, std::vector<std::uint8_t> encoded,
                                        const std::string& reason) {
    // Held from the look that compares with what was shown to the write.
    const WritersLockScope lock(store);
    RequestedWrite::Outcome refused{};
    if (LockRefused(lock, refused)) return Result(refused);
    StoredValue now;
    const ReadOutcome read = Read(store, now);
    if (!Holds(shown.favorites, read, now)) return Result(RequestedWrite::Outcome::ValueChanged);
    // The marker as read after the key's time was noted: a current one is
    // left alone while the key stays unwritten since.
    if (store.ReadMarker() != shown.marker) return Result(RequestedWrite::Outcome::MarkerChanged);
    const bool currentLayout = shown.marker == kMarkerCurrentLayout;
    const bool loadsWhole = LoadsCompletely(now, currentLayout);
    Loaded(read, std::move(now), loadsWhole, currentLayout);
    if (Save(store, std::move(encoded), {true, reason}) == SaveOutcome::Failed) {
        return Result(RequestedWrite::Outcome::Failed);
    }
    RequestedWrite result = Result(RequestedWrite::Outcome::Written);
    result.replaced = m_replaced;
    return result;
}

RequestedWrite FavoritesKeeper::SwapInBackup(StoredValues& store, const Shown& shown) {
    const WritersLockScope lock(store);
    RequestedWrite::Outcome refused{};
    if (LockRefused(lock, refused)) return Result(refused);
    StoredValue backup;
    StoredValue value;
    const ReadOutcome backupRead = store.ReadBackup(backup);
    const ReadOutcome valueRead = store.ReadFavorites(value);
    if (!shown.backup || !Holds(shown.backup, backupRead, backup) || !Holds(shown.favorites, valueRead, value)) {
        return Result(RequestedWrite::Outcome::ValueChanged);
    }
    // A backup kept from an old-layout value loads only with the old marker.
    const std::optional<std::uint32_t> loadsWith = MarkerThatLoads(backup);
    const std::optional<std::uint32_t> marker = loadsWith && shown.marker != loadsWith ? loadsWith : std::nullopt;
    std::string entry;
    if (shown.favorites && CountedItems(value.bytes) > 0 &&
        FavoritesHistory(store).Add(value.bytes, "restore", &entry) == FavoritesHistory::AddOutcome::Failed) {
        return Result(RequestedWrite::Outcome::NotKept);
    }
    RequestedWrite result = SwapValues(store, backup, shown.favorites, marker);
    result.replaced.historyEntry = entry;
    return result;
}

RequestedWrite FavoritesKeeper::SwapValues(StoredValues& store, const StoredValue& backup,
                                           const std::optional<StoredValue>& replaced,
                                           std::optional<std::uint32_t> marker) {
    using Value = StoredValues::Value;
    struct Earlier {
        Value which;
        std::optional<StoredValue> value;
    };
    std::vector<Earlier> done;
    RequestedWrite result = Result(RequestedWrite::Outcome::Written);
    const auto put = [&](Value which, const std::optional<StoredValue>& value) {
        Earlier earlier{which, std::nullopt};
        StoredValue held;
        switch (store.Read(which, held)) {
        case ReadOutcome::Missing:
            break;
        case ReadOutcome::Read:
            earlier.value = std::move(held);
            break;
        case ReadOutcome::Unreadable:  // what it held could not be put back
            result.failed = which;
            return false;
        }
        if (!(value ? store.Write(which, *value) : store.Delete(which))) {
            result.failed = which;
            return false;
        }
        done.push_back(std::move(earlier));
        return true;
    };
    const bool swapped = put(Value::Favorites, backup) &&
                         (!marker || put(Value::Marker, DwordValue(*marker))) &&
                         put(Value::Backup, replaced);
    if (swapped) {
        result.replaced.inBackup = replaced.has_value();
        result.markerSet = marker;
        return result;
    }
    result.outcome = RequestedWrite::Outcome::Failed;
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        const bool putBack = it->value ? store.Write(it->which, *it->value) : store.Delete(it->which);
        if (!putBack) result.notPutBack.push_back(it->which);
    }
    return result;
}

}  // namespace favstore
