#include "tool/command_support.h"

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
    return "FavoriteArray is a " + TypeName(stored.value->type) +
           " value, which the bar ignores (it shows no favourites and its next save replaces the value)";
}

const Inspection* RequireLoads(const Stored& stored) {
    if (stored.state == Stored::State::Ignored) throw ToolError(IgnoredNote(stored) + "; see favtool check", kExitRefused);
    if (stored.state != Stored::State::Binary) return nullptr;
    if (!stored.Loads()) {
        throw ToolError("FavoriteArray does not load completely: " + stored.inspection.StopReason() +
                            "; see favtool check",
                        kExitRefused);
    }
    return &stored.inspection;
}

std::vector<favfmt::Record> LoadedRecords(const Stored& stored) {
    if (stored.state == Stored::State::Ignored) PrintErr("favtool: warning: " + IgnoredNote(stored) + "\n");
    if (stored.state != Stored::State::Binary) return {};
    if (!stored.Loads()) {
        PrintErr("favtool: warning: FavoriteArray does not load completely: " + stored.inspection.StopReason() +
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

favstore::Replaced WriteFavorites(const ModuleKey& key, const Stored& stored, std::vector<std::uint8_t> encoded,
                                  const char* reason) {
    favstore::RegistryValues values = key.Values();
    const favstore::RequestedWrite done =
        favstore::FavoritesKeeper().Replace(values, ShownOf(stored), std::move(encoded), reason);
    using Outcome = favstore::RequestedWrite::Outcome;
    switch (done.outcome) {
    case Outcome::Written:
        return done.replaced;
    case Outcome::LockedOut:
        throw ToolError(kLockedOut);
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

std::string UndoHint(const favstore::Replaced& replaced) {
    if (InHistory(replaced)) {
        return "; the replaced value is in the history: favtool restore --history 1 puts it back\n";
    }
    if (replaced.inBackup) return "; the replaced value, which did not load completely, is in FavoriteArrayBackup\n";
    return "; there was no value to keep\n";
}

std::vector<HistoryItem> ReadHistory(const ModuleKey& key) {
    favstore::RegistryValues values = key.Values();
    favstore::FavoritesHistory history(values);
    std::vector<favstore::HistoryEntry> entries;
    if (!history.List(entries)) throw ToolError("cannot list " + Hkcu(key) + "\\History", kExitFailed);
    std::vector<HistoryItem> items;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        HistoryItem item;
        item.name = it->name;
        item.named = favstore::ParseHistoryName(it->name, item.parsed);
        if (!values.ReadHistory(it->name, item.bytes)) throw ToolError("cannot read history entry " + it->name, kExitFailed);
        const std::optional<std::uint32_t> marker = favstore::MarkerThatLoads(BinaryValue(item.bytes));
        item.loads = marker.has_value();
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
