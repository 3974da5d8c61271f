#include "store/favorites_history.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace favstore {

namespace {

constexpr Ticks kTicksPerMillisecond = 10'000;
constexpr std::int64_t kMillisecondsPerDay = 86'400'000;
// 1601-01-01, where the registry's times start, counted from 1970-01-01.
constexpr std::int64_t kEpochDays = -134'774;
constexpr unsigned kMaxSequence = 9999;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, and
// back (the well-known era arithmetic: 400-year cycles of 146,097 days).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146'097 + static_cast<std::int64_t>(doe) - 719'468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719'468;
    const std::int64_t era = (z >= 0 ? z : z - 146'096) / 146'097;
    const auto doe = static_cast<unsigned>(z - era * 146'097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

bool ReadNumber(const std::string& text, std::size_t& pos, std::size_t digits, unsigned& value) {
    if (text.size() < pos + digits) return false;
    value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    pos += digits;
    return true;
}

bool Expect(const std::string& text, std::size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

// The name part that orders entries: time and sequence, without the reason.
std::string OrderPart(const std::string& name) { return name.substr(0, name.find(' ')); }

}  // namespace

std::string FormatHistoryName(const HistoryName& name) {
    const std::int64_t ms = static_cast<std::int64_t>(name.utc / kTicksPerMillisecond);
    std::int64_t days = ms / kMillisecondsPerDay;
    std::int64_t inDay = ms % kMillisecondsPerDay;
    std::int64_t y = 0;
    unsigned m = 0;
    unsigned d = 0;
    CivilFromDays(days + kEpochDays, y, m, d);
    char text[64];
    (void)std::snprintf(text, sizeof(text), "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ-%04u", static_cast<int>(y), m, d,
                  static_cast<int>(inDay / 3'600'000), static_cast<int>(inDay / 60'000 % 60),
                  static_cast<int>(inDay / 1000 % 60), static_cast<int>(inDay % 1000),
                  std::min(name.sequence, kMaxSequence));
    std::string out = text;
    if (!name.reason.empty()) out += " " + name.reason;
    return out;
}

bool ParseHistoryName(const std::string& text, HistoryName& name) {
    std::size_t pos = 0;
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0, seq = 0;
    const bool ok = ReadNumber(text, pos, 4, y) && Expect(text, pos, '-') && ReadNumber(text, pos, 2, mo) &&
                    Expect(text, pos, '-') && ReadNumber(text, pos, 2, d) && Expect(text, pos, 'T') &&
                    ReadNumber(text, pos, 2, h) && Expect(text, pos, ':') && ReadNumber(text, pos, 2, mi) &&
                    Expect(text, pos, ':') && ReadNumber(text, pos, 2, s) && Expect(text, pos, '.') &&
                    ReadNumber(text, pos, 3, ms) && Expect(text, pos, 'Z') && Expect(text, pos, '-') &&
                    ReadNumber(text, pos, 4, seq);
    if (!ok || y < 1601 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return false;
    if (pos < text.size() && text[pos] != ' ') return false;
    const std::int64_t days = DaysFromCivil(y, mo, d) - kEpochDays;
    const std::int64_t millis = days * kMillisecondsPerDay + ((h * 60 + mi) * 60 + s) * 1000LL + ms;
    name.utc = static_cast<Ticks>(millis) * kTicksPerMillisecond;
    name.sequence = seq;
    name.reason = pos < text.size() ? text.substr(pos + 1) : std::string();
    return true;
}

bool FavoritesHistory::List(std::vector<HistoryEntry>& entries) {
    entries.clear();
    if (!m_store.ListHistory(entries)) return false;
    // A few dozen entries at most: an insertion sort, a small part of the
    // code std::sort brings into the plug-in.
    for (std::size_t i = 1; i < entries.size(); ++i) {
        HistoryEntry entry = std::move(entries[i]);
        std::size_t at = i;
        for (; at > 0 && entry.name < entries[at - 1].name; --at) entries[at] = std::move(entries[at - 1]);
        entries[at] = std::move(entry);
    }
    return true;
}

FavoritesHistory::AddOutcome FavoritesHistory::Add(const std::vector<std::uint8_t>& bytes, const std::string& reason,
                                                   std::string* entry) {
    std::vector<HistoryEntry> entries;
    if (!List(entries)) return AddOutcome::Failed;

    HistoryName name{m_store.Now(), 0, reason};
    if (!entries.empty()) {
        const HistoryEntry& newest = entries.back();
        if (newest.size == bytes.size()) {
            std::vector<std::uint8_t> held;
            if (m_store.ReadHistory(newest.name, held) && held == bytes) {
                if (entry) *entry = newest.name;
                return AddOutcome::AlreadyNewest;
            }
        }
        // Named after the newest, never before it, even when the clock has
        // gone back or both fall in one millisecond.
        HistoryName last;
        if (ParseHistoryName(newest.name, last)) {
            name.sequence = (last.sequence + 1) % (kMaxSequence + 1);
            if (OrderPart(FormatHistoryName({name.utc, name.sequence, {}})) <= OrderPart(newest.name)) {
                name.utc = last.utc;
                name.sequence = std::min(last.sequence + 1, kMaxSequence);
            }
        }
    }
    const std::string text = FormatHistoryName(name);
    if (!m_store.WriteHistory(text, bytes)) return AddOutcome::Failed;
    if (entry) *entry = text;
    entries.push_back({text, bytes.size()});
    Prune(std::move(entries));
    return AddOutcome::Added;
}

// A failed delete stops the pruning: what is left over is tried at the next
// entry, and nothing newer goes for it.
void FavoritesHistory::Prune(std::vector<HistoryEntry> entries) {
    std::size_t total = 0;
    for (const HistoryEntry& e : entries) total += e.size;
    std::size_t oldest = 0;
    while (entries.size() - oldest > 1 &&
           (entries.size() - oldest > kHistoryMaxEntries || total > kHistoryMaxBytes)) {
        if (!m_store.DeleteHistory(entries[oldest].name)) return;
        total -= entries[oldest].size;
        ++oldest;
    }
}

bool FavoritesHistory::MadeToday() {
    std::vector<HistoryEntry> entries;
    if (!List(entries) || entries.empty()) return false;
    HistoryName newest;
    if (!ParseHistoryName(entries.back().name, newest)) return false;
    // Only today's: an entry dated ahead by a clock that was wrong would
    // otherwise stand for every day until that date.
    return m_store.LocalDay(newest.utc) == m_store.LocalDay(m_store.Now());
}

}  // namespace favstore
