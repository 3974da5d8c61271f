// The history of replaced favourites values: binary values in the plug-in
// key's subkey "History", each holding exactly the bytes a save replaced.
// Their names sort in the order the entries were made: a UTC time with
// milliseconds, a sequence number, then why the entry was made
// ("2026-12-08T23:15:57.123Z-0001 delete"). Two tiers are kept: the newest
// 15, and the first entry of each of the last 15 local days that have
// entries, so that a busy day cannot push the earlier days out. Window-free,
// like the keeper that writes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "store/stored_values.h"

namespace favstore {

constexpr std::size_t kHistoryRecentEntries = 15;
constexpr std::size_t kHistoryDays = 15;
// Past it the recent tier goes first, oldest first, then the oldest days;
// the newest entry and the newest day's first stay whatever their size.
constexpr std::size_t kHistoryMaxBytes = 8 * 1024 * 1024;

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

    // For entries oldest first (as List gives them): those beyond the
    // bounds, in the order they go. daily, when given, gets those that are
    // the first of one of the last kHistoryDays days with entries.
    std::vector<std::size_t> Beyond(const std::vector<HistoryEntry>& entries,
                                    std::vector<std::size_t>* daily = nullptr);
    // The name the next entry gets: after the newest, never before it.
    std::string NameAfter(const std::vector<HistoryEntry>& entries, const std::string& reason);
    // The names of the entries an Add of bytes would drop now, in the order
    // they would go (for favtool, which says so before it writes).
    std::vector<std::string> WouldDrop(const std::vector<std::uint8_t>& bytes);

private:
    void Prune(const std::vector<HistoryEntry>& entries);
    // Whether the newest entry holds bytes already.
    bool NewestHolds(const std::vector<HistoryEntry>& entries, const std::vector<std::uint8_t>& bytes);

    StoredValues& m_store;
};

}  // namespace favstore
