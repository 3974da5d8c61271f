// A plug-in key's favourites values in memory, for the keeper's tests: its
// reads and writes can be made to fail, its clock is set by the test, and
// it logs every change in order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "store/stored_values.h"

namespace favtest {

using favstore::LockOutcome;
using favstore::ReadOutcome;
using favstore::StoredValue;
using favstore::Ticks;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kBinary = 3;  // REG_BINARY
constexpr std::uint32_t kText = 1;    // REG_SZ
constexpr Ticks kSecond = favstore::kTicksPerSecond;
constexpr Ticks kDay = 86'400 * kSecond;
// 2026-12-08T10:00:00Z in registry ticks.
constexpr Ticks kMorning = 134411976000000000ULL;

class FakeValues final : public favstore::StoredValues {
public:
    // The key's state.
    bool hasFavorites = false;
    StoredValue favorites;
    bool hasBackup = false;
    StoredValue backup;
    std::optional<StoredValue> marker;  // check
    Ticks written = 0;  // the key's last-write time
    std::map<std::string, Bytes> history;
    Ticks now = kMorning;
    // Faults to inject.
    bool unreadable = false;
    bool failBackup = false;
    bool failWrite = false;
    bool failDelete = false;
    bool failHistory = false;
    // Writes and deletes of the backup and the marker that fail, counted
    // from 1 over all of them and the favourites' writes.
    std::vector<int> failingWrites;
    bool unreadableMarker = false;  // check's bytes cannot be read whole
    // Called after every write or delete that took, with the key as it then is.
    std::function<void(const FakeValues&)> afterEachWrite;
    // Every change, in order, and how often value data was read.
    std::vector<std::string> log;
    int favoritesReads = 0;
    // The writers' lock: refused while another writer holds it; reads and
    // writes made without it.
    bool lockRefused = false;      // another writer holds the lock
    bool lockUnavailable = false;  // the lock cannot be opened
    int lockDepth = 0;
    int locksTaken = 0;
    int unlockedReads = 0;
    int unlockedWrites = 0;

    // Another writer's value, stored at the current time.
    void Store(std::uint32_t type, Bytes bytes) {
        hasFavorites = true;
        favorites = StoredValue{type, std::move(bytes)};
        written = now;
    }
    void Remove() {
        hasFavorites = false;
        written = now;
    }
    std::vector<std::string> HistoryNames() const {
        std::vector<std::string> names;
        for (const auto& entry : history) names.push_back(entry.first);
        return names;
    }
    Bytes Newest() const { return history.empty() ? Bytes{} : history.rbegin()->second; }

    ReadOutcome Read(Value which, StoredValue& value) override {
        switch (which) {
        case Value::Favorites:
            ++favoritesReads;
            if (lockDepth == 0) ++unlockedReads;
            if (!hasFavorites) return ReadOutcome::Missing;
            if (unreadable) return ReadOutcome::Unreadable;
            value = favorites;
            return ReadOutcome::Read;
        case Value::Backup:
            if (!hasBackup) return ReadOutcome::Missing;
            value = backup;
            return ReadOutcome::Read;
        case Value::Marker:
            if (!marker) return ReadOutcome::Missing;
            if (unreadableMarker) return ReadOutcome::Unreadable;
            value = *marker;
            return ReadOutcome::Read;
        }
        return ReadOutcome::Unreadable;
    }
    bool Write(Value which, const StoredValue& value) override {
        if (lockDepth == 0) ++unlockedWrites;
        if (Fails(which, false)) return false;
        switch (which) {
        case Value::Favorites:
            Store(value.type, value.bytes);
            log.push_back("write");
            return Took();
        case Value::Backup:
            hasBackup = true;
            backup = value;
            log.push_back("backup");
            break;
        case Value::Marker:
            marker = value;
            log.push_back("mark");
            break;
        }
        written = now;
        return Took();
    }
    bool Delete(Value which) override {
        if (lockDepth == 0) ++unlockedWrites;
        if (Fails(which, true)) return false;
        switch (which) {
        case Value::Favorites:
            Remove();
            log.push_back("delete");
            return Took();
        case Value::Backup:
            hasBackup = false;
            log.push_back("delete backup");
            break;
        case Value::Marker:
            marker.reset();
            log.push_back("delete mark");
            break;
        }
        written = now;
        return Took();
    }
    // check as the plug-in reads it: up to 4 bytes, zeros above them.
    std::optional<std::uint32_t> ReadMarker() override {
        if (!marker || marker->bytes.size() > 4) return std::nullopt;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < marker->bytes.size(); ++i) value |= std::uint32_t{marker->bytes[i]} << (8 * i);
        return value;
    }
    bool Marked() const { return marker == favstore::DwordValue(kMarkerCurrentLayout); }
    void SetMarked(bool current) { marker = favstore::DwordValue(current ? kMarkerCurrentLayout : kMarkerOldLayout); }
    Ticks LastWritten() override {
        ++timeAsks;
        return written;
    }
    int timeAsks = 0;
    bool ListHistory(std::vector<favstore::HistoryEntry>& entries) override {
        for (const auto& entry : history) entries.push_back({entry.first, entry.second.size()});
        return true;
    }
    bool ReadHistory(const std::string& name, Bytes& bytes) override {
        auto it = history.find(name);
        if (it == history.end()) return false;
        bytes = it->second;
        return true;
    }
    bool WriteHistory(const std::string& name, const Bytes& bytes) override {
        if (lockDepth == 0) ++unlockedWrites;
        if (failHistory) return false;
        history[name] = bytes;
        log.push_back("history");
        return true;
    }
    bool DeleteHistory(const std::string& name) override {
        history.erase(name);
        return true;
    }
    Ticks Now() override { return now; }
    std::int64_t LocalDay(Ticks utc) override {
        ++localDayAsks;
        return static_cast<std::int64_t>(utc / kDay);
    }
    int localDayAsks = 0;
    LockOutcome LockWriters() override {
        if (lockRefused) return LockOutcome::Busy;
        if (lockUnavailable) return LockOutcome::Unavailable;
        ++lockDepth;
        ++locksTaken;
        return LockOutcome::Held;
    }
    void UnlockWriters() override { --lockDepth; }

private:
    bool Fails(Value which, bool deleting) {
        ++m_writes;
        if (which == Value::Favorites && (deleting ? failDelete : failWrite)) return true;
        if (which == Value::Backup && !deleting && failBackup) return true;
        return std::find(failingWrites.begin(), failingWrites.end(), m_writes) != failingWrites.end();
    }
    bool Took() const {
        if (afterEachWrite) afterEachWrite(*this);
        return true;
    }
    int m_writes = 0;
};

}  // namespace favtest
