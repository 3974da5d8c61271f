// The history of replaced favourites values: binary values in the plug-in
// key's subkey "History", each holding exactly the bytes a save replaced.
// Their names sort in the order the entries were made: a UTC time with
// milliseconds, a sequence number, then why the entry was made
// ("2026-12-08T23:15:57.123Z-0001 delete"). The newest 15 are kept, at most
// 4 MiB in all, the oldest dropped first; the newest is always kept.
// Window-free, like the keeper that writes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "store/stored_values.h"

namespace favstore {

constexpr std::size_t kHistoryMaxEntries = 15;
constexpr std::size_t kHistoryMaxBytes = 4 * 1024 * 1024;

struct HistoryName {
    Ticks utc = 0;
    unsigned sequence = 0;
    std::string reason;
};

// "YYYY-MM-DDTHH:MM:SS.mmmZ-NNNN reason" (no reason: no space either).
std::string FormatHistoryName(const HistoryName& name);
// False for names this plug-in did not make.
bool ParseHistoryName(const std::string& text, HistoryName& name);

class FavoritesHistory {
public:
    explicit FavoritesHistory(StoredValues& store) : m_store(store) {}

    // The entries, oldest first (by name); false when they cannot be listed.
    bool List(std::vector<HistoryEntry>& entries);

    enum class AddOutcome { Added, AlreadyNewest, Failed };
    // A new newest entry holding bytes, then the oldest beyond the bounds
    // dropped. AlreadyNewest: the newest entry holds these bytes already.
    // entry: the name of the entry that holds the bytes, unless Failed.
    AddOutcome Add(const std::vector<std::uint8_t>& bytes, const std::string& reason, std::string* entry = nullptr);

    // Whether the newest entry was made on today's local calendar day.
    bool MadeToday();

private:
    void Prune(std::vector<HistoryEntry> entries);

    StoredValues& m_store;
};

}  // namespace favstore
