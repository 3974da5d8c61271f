#include "tool/command_support.h"

#include <algorithm>
#include <cstdio>

#include "tool/console.h"
#include "tool/json_document.h"
#include "tool/text.h"

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Describe(const TreeCounts& counts) {
    return Plural(counts.favorites, "favourite", "favourites") + " and " + Plural(counts.folders, "folder", "folders");
}

std::string Quoted(const std::wstring& text) { return "\"" + ToUtf8(text) + "\""; }

std::string Where(const Options& options) { return " (module " + ToUtf8(options.module) + ")"; }

int NothingToDo(const char* command, const std::string& reason) {
    PrintOut(std::string(command) + ": nothing to do: " + reason + "; nothing written\n");
    return kExitSuccess;
}

void Note(const std::string& text) { PrintErr("favtool: note: " + text + "\n"); }

Stored ReadStored(const ModuleKey& key) {
    Stored stored;
    stored.value = key.Read(kValueFavorites);
    stored.marker = key.Marker();
    if (!stored.value) return stored;
    // The bar reads only non-empty binary data; anything else it treats as no favourites.
    if (stored.value->type != REG_BINARY) {
        stored.state = Stored::State::Ignored;
    } else if (stored.value->bytes.empty()) {
        stored.state = Stored::State::Empty;
    } else {
        stored.state = Stored::State::Binary;
        stored.inspection = Inspect(stored.value->bytes, stored.CurrentLayout());
    }
    return stored;
}

ModuleKey ExistingKey(const Options& options) {
    ModuleKey key(options.module, KeyAccess::Read);
    if (!key.Exists()) throw ToolError(MissingKeyMessage(options.module));
    return key;
}

std::string IgnoredNote(const Stored& stored) {
    if (stored.name != "FavoriteArray") {
        return stored.name + " is a " + TypeName(stored.value->type) + " value, which the bar would not load";
    }
    return "FavoriteArray is a " + TypeName(stored.value->type) +
           " value, which the bar ignores (it shows no favourites and its next save replaces the value)";
}

LockedKey::LockedKey(const Options& options, KeyAccess access)
    : m_key(options.module, access), m_values(m_key.Values()), m_lock(m_values) {
    if (m_lock.Outcome() == favstore::LockOutcome::Unavailable) throw ToolError(kLockUnavailable);
    if (!m_lock.Held()) throw ToolError(kLockedOut);
}

const Inspection* RequireLoads(const Stored& stored) {
    if (stored.state == Stored::State::Ignored) throw ToolError(IgnoredNote(stored) + "; see favtool check", kExitRefused);
    if (stored.state != Stored::State::Binary) return nullptr;
    if (!stored.Loads()) {
        throw ToolError(stored.name + " does not load completely: " + stored.inspection.StopReason() +
                            "; see favtool check",
                        kExitRefused);
    }
    return &stored.inspection;
}

std::vector<favfmt::Record> LoadedRecords(const Stored& stored) {
    if (stored.state == Stored::State::Ignored) PrintErr("favtool: warning: " + IgnoredNote(stored) + "\n");
    if (stored.state != Stored::State::Binary) return {};
    if (!stored.Loads()) {
        PrintErr("favtool: warning: " + stored.name + " does not load completely: " + stored.inspection.StopReason() +
                 "; showing the " + Plural(stored.inspection.records.size(), "record", "records") +
                 " before it (see favtool check)\n");
    }
    return stored.inspection.records;
}

std::string Replaced(const Stored& stored) {
    switch (stored.state) {
    case Stored::State::Absent:
    case Stored::State::Empty:
        return "no favourites";
    case Stored::State::Ignored:
        return "a " + TypeName(stored.value->type) + " value the bar ignores";
    case Stored::State::Binary:
        break;
    }
    const std::string counts = Describe(Count(BuildTree(stored.inspection.records)));
    return stored.Loads() ? counts : "a value that does not load completely (" + counts + " load)";
}

std::string With(const TreeCounts& counts) {
    return std::to_string(counts.favorites) + " and " + std::to_string(counts.folders);
}

favstore::StoredValue BinaryValue(std::vector<std::uint8_t> bytes) { return {REG_BINARY, std::move(bytes)}; }

std::string Hkcu(const ModuleKey& key) { return "HKCU\\" + ToUtf8(key.Path()); }

favstore::Shown ShownOf(const Stored& stored) {
    favstore::Shown shown;
    shown.favorites = stored.value;
    shown.marker = stored.marker;
    return shown;
}

favstore::Replaced WriteFavorites(LockedKey& key, const Stored& stored, std::vector<std::uint8_t> encoded,
                                  const char* reason) {
    const favstore::RequestedWrite done =
        favstore::FavoritesKeeper().Replace(key.Values(), ShownOf(stored), std::move(encoded), reason);
    using Outcome = favstore::RequestedWrite::Outcome;
    switch (done.outcome) {
    case Outcome::Written:
        return done.replaced;
    case Outcome::LockedOut:
        throw ToolError(kLockedOut);
    case Outcome::LockUnavailable:
        throw ToolError(kLockUnavailable);
    case Outcome::ValueChanged:
        throw ToolError("FavoriteArray changed meanwhile; nothing written");
    case Outcome::MarkerChanged:
        throw ToolError("check changed meanwhile; nothing written");
    case Outcome::NotKept:
    case Outcome::Failed:
        break;
    }
    throw ToolError("could not write FavoriteArray, or keep what it replaced in the history or "
                    "FavoriteArrayBackup; nothing was changed",
                    kExitFailed);
}

bool InHistory(const favstore::Replaced& replaced) { return !replaced.historyEntry.empty(); }

std::size_t HistoryDrops::Oldest() const {
    return numbers.empty() ? 0 : *std::max_element(numbers.begin(), numbers.end());
}

std::string HistoryDrops::Entries() const {
    std::string list;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        favstore::HistoryName parsed;
        const std::string when = favstore::ParseHistoryName(names[i], parsed)
                                     ? LocalTime(parsed.utc) + (parsed.reason.empty() ? "" : " " + parsed.reason)
                                     : names[i];
        list += (i == 0 ? "" : i + 1 == numbers.size() ? " and " : ", ") + std::to_string(numbers[i]) + " (" + when +
                ")";
    }
    return (numbers.size() == 1 ? "entry " : "entries ") + list;
}

std::string HistoryDrops::Phrase(bool dryRun) const {
    if (!Any()) return {};
    return std::string("; to keep the replaced value the history ") + (dryRun ? "would drop " : "dropped ") +
           Entries();
}

HistoryDrops DropsOfKeeping(favstore::StoredValues& values, const std::optional<std::vector<std::uint8_t>>& kept) {
    HistoryDrops drops;
    if (!kept) return drops;
    favstore::FavoritesHistory history(values);
    std::vector<favstore::HistoryEntry> entries;
    if (!history.List(entries)) return drops;
    std::vector<std::string> names = history.WouldDrop(*kept);
    // Told newest first, as favtool history lists them.
    std::sort(names.rbegin(), names.rend());
    for (const std::string& name : names) {
        const auto at = std::find_if(entries.begin(), entries.end(),
                                     [&](const favstore::HistoryEntry& e) { return e.name == name; });
        drops.numbers.push_back(static_cast<std::size_t>(entries.end() - at));
        drops.names.push_back(name);
    }
    return drops;
}

std::optional<std::vector<std::uint8_t>> KeptByReplacing(const Stored& stored,
                                                         const std::optional<favstore::StoredValue>& backup,
                                                         const std::vector<std::uint8_t>& encoded) {
    if (!stored.value) return std::nullopt;
    if (stored.state == Stored::State::Binary && stored.Loads()) {
        const std::vector<std::uint8_t>& bytes = stored.value->bytes;
        if (bytes == encoded || favstore::CountedItems(bytes) == 0) return std::nullopt;
        return bytes;
    }
    // What does not load goes to the backup, and a rescue held there to the history.
    if (stored.value->bytes.empty() || !backup || backup->bytes.empty() || *backup == *stored.value) return std::nullopt;
    return backup->bytes;
}

std::string UndoCommand(LockedKey& key, const std::vector<std::uint8_t>& nowStored) {
    const bool kept = !nowStored.empty() && favstore::CountedItems(nowStored) > 0;
    const HistoryDrops drops = DropsOfKeeping(key.Values(), kept ? std::optional(nowStored) : std::nullopt);
    return drops.Any() ? "favtool restore --history 1 --force" : "favtool restore --history 1";
}

std::string UndoHint(const favstore::Replaced& replaced, LockedKey& key, const std::vector<std::uint8_t>& nowStored) {
    if (InHistory(replaced)) {
        return "; the replaced value is in the history: " + UndoCommand(key, nowStored) + " puts it back\n";
    }
    if (replaced.inBackup) {
        return "; the replaced value, which did not load completely, is in FavoriteArrayBackup: favtool restore "
               "--force puts it back\n";
    }
    return "; there was no value to keep\n";
}

std::vector<HistoryItem> ReadHistory(const ModuleKey& key) {
    favstore::RegistryValues values = key.Values();
    favstore::FavoritesHistory history(values);
    std::vector<favstore::HistoryEntry> entries;
    if (!history.List(entries)) throw ToolError("cannot list " + Hkcu(key) + "\\History", kExitFailed);
    std::vector<std::size_t> daily;
    history.Beyond(entries, &daily);
    std::vector<HistoryItem> items;
    for (std::size_t i = entries.size(); i-- > 0;) {
        HistoryItem item;
        item.name = entries[i].name;
        item.named = favstore::ParseHistoryName(item.name, item.parsed);
        item.daily = std::find(daily.begin(), daily.end(), i) != daily.end();
        const std::optional<favstore::StoredValue> value = key.ReadHistoryEntry(item.name);
        if (!value) throw ToolError("cannot read history entry " + item.name, kExitFailed);
        item.type = value->type;
        item.bytes = value->bytes;
        const std::optional<std::uint32_t> marker = favstore::MarkerThatLoads(*value);
        item.loads = marker.has_value() || (item.type == REG_BINARY && item.bytes.empty());
        item.oldLayout = marker == kMarkerOldLayout;
        item.inspection = Inspect(item.bytes, !item.oldLayout);
        items.push_back(std::move(item));
    }
    return items;
}

const HistoryItem& HistoryEntryOf(const std::vector<HistoryItem>& items, int number) {
    if (items.empty()) throw ToolError("there are no history entries", kExitUsage);
    if (number < 1 || static_cast<std::size_t>(number) > items.size()) {
        throw ToolError("there is no history entry " + std::to_string(number) + "; entries are numbered 1 (the newest) to " +
                            std::to_string(items.size()) + " (favtool history lists them)",
                        kExitUsage);
    }
    return items[static_cast<std::size_t>(number) - 1];
}

std::string EntryTitle(const HistoryItem& item, int number) {
    return "history entry " + std::to_string(number) + " (" + (item.named ? LocalTime(item.parsed.utc) : item.name) +
           ")";
}

Stored StoredOf(const HistoryItem& item, int number) {
    Stored stored;
    stored.name = "history entry " + std::to_string(number);
    stored.value = favstore::StoredValue{item.type, item.bytes};
    stored.marker = item.oldLayout ? kMarkerOldLayout : kMarkerCurrentLayout;
    if (item.type != REG_BINARY) {
        stored.state = Stored::State::Ignored;
    } else if (item.bytes.empty()) {
        stored.state = Stored::State::Empty;
    } else {
        stored.state = Stored::State::Binary;
        stored.inspection = item.inspection;
    }
    return stored;
}

Stored ReadStoredOrEntry(const ModuleKey& key, const Options& options) {
    if (options.historyEntry == 0) return ReadStored(key);
    const std::vector<HistoryItem> items = ReadHistory(key);
    return StoredOf(HistoryEntryOf(items, options.historyEntry), options.historyEntry);
}

std::string LocalTime(favstore::Ticks utc) {
    FILETIME ft = {static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
    SYSTEMTIME universal = {};
    SYSTEMTIME local = {};
    if (!::FileTimeToSystemTime(&ft, &universal) || !::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) {
        return "?";
    }
    char text[32];
    (void)std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", local.wYear, local.wMonth, local.wDay,
                        local.wHour, local.wMinute, local.wSecond);
    return text;
}

std::string IsoLocalTime(favstore::Ticks utc) {
    FILETIME ft = {static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
    SYSTEMTIME universal = {};
    SYSTEMTIME local = {};
    FILETIME localFt = {};
    if (!::FileTimeToSystemTime(&ft, &universal) || !::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local) ||
        !::SystemTimeToFileTime(&local, &localFt)) {
        return {};
    }
    // The offset in force at that moment, summer time included.
    const auto ticks = [](const FILETIME& t) {
        return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    const long long minutes = (ticks(localFt) - ticks(ft)) / (10'000'000LL * 60);
    const long long away = minutes < 0 ? -minutes : minutes;
    char text[40];
    (void)std::snprintf(text, sizeof(text), "%04u-%02u-%02uT%02u:%02u:%02u%c%02lld:%02lld", local.wYear, local.wMonth,
                        local.wDay, local.wHour, local.wMinute, local.wSecond, minutes < 0 ? '-' : '+', away / 60,
                        away % 60);
    return text;
}

void PrintJson(const Json& document) { PrintOut(DumpJson(document, !OutputCarriesUnicode()) + "\n"); }

Json CountsJson(const TreeCounts& counts) {
    return Json{{"favorites", counts.favorites}, {"folders", counts.folders}, {"levels", counts.deepest}};
}

BackupState InspectBackup(const std::optional<favstore::StoredValue>& backup, bool currentLayout) {
    BackupState state;
    state.value = backup;
    if (!backup || backup->type != REG_BINARY || backup->bytes.empty()) return state;
    state.asMarked = Inspect(backup->bytes, currentLayout);
    if (favstore::LoadsCompletely(*backup, currentLayout)) {
        state.loadsInCurrentLayout = currentLayout;
        state.counts = Count(BuildTree(state.asMarked.records));
    } else if (favstore::LoadsCompletely(*backup, !currentLayout)) {
        state.loadsInCurrentLayout = !currentLayout;
        state.counts = Count(BuildTree(Inspect(backup->bytes, !currentLayout).records));
    }
    return state;
}

void CollectFavorites(const Tree& items, std::vector<std::wstring>& folders, std::vector<Favorite>& out) {
    for (const Item& item : items) {
        if (!item.folder && !item.path.empty()) out.push_back({folders, item.label, item.path});
        folders.push_back(item.label);
        CollectFavorites(item.children, folders, out);
        folders.pop_back();
    }
}

std::string FavoriteLine(const Favorite& favorite) {
    std::string line;
    for (const std::wstring& folder : favorite.folders) line += ToUtf8(folder) + " > ";
    return line + ToUtf8(favorite.label) + " -> " + ToUtf8(favorite.path);
}
