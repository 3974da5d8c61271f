#include "tool/command_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "tool/console.h"
#include "tool/json_document.h"
#include "tool/language.h"
#include "tool/text.h"

namespace {

// The nouns favtool counts, with the Japanese counter each takes.
struct CountedNoun {
    const char* one;
    const char* japanese;  // "{}" where the number goes
};
constexpr CountedNoun kCountedNouns[] = {
    {"favourite", "お気に入り {} 件"}, {"folder", "フォルダー {} 個"}, {"record", "レコード {} 件"},
    {"path", "パス {} 個"},           {"entry", "履歴 {} 件"},       {"file", "ファイル {} 個"},
    {"byte", "{} バイト"},            {"level", "{} 階層"},
};

std::string Counted(std::size_t n, const std::string& pattern) {
    std::string out = pattern;
    const std::size_t at = out.find("{}");
    if (at != std::string::npos) out.replace(at, 2, std::to_string(n));
    return out;
}

}  // namespace

std::string Plural(std::size_t n, const char* one, const char* many) {
    const auto noun = std::find_if(std::begin(kCountedNouns), std::end(kCountedNouns),
                                   [one](const CountedNoun& counted) { return std::strcmp(counted.one, one) == 0; });
    std::string english = std::to_string(n) + " " + (n == 1 ? one : many);
    if (noun == std::end(kCountedNouns)) return english;
    return Say(std::move(english), Counted(n, noun->japanese));
}

std::string Plural(std::size_t n, const char* one, const char* many, const char* japanese) {
    return Say(std::to_string(n) + " " + (n == 1 ? one : many), Counted(n, japanese));
}

std::string Describe(const TreeCounts& counts) {
    return Plural(counts.favorites, "favourite", "favourites") + Say(" and ", "と") +
           Plural(counts.folders, "folder", "folders");
}

std::string Quoted(const std::wstring& text) { return "\"" + ToUtf8(text) + "\""; }

std::string Where(const Options& options) { return Say(" (module ", " (モジュール ") + ToUtf8(options.module) + ")"; }

int NothingToDo(const char* command, const std::string& reason) {
    PrintOut(std::string(command) + Say(": nothing to do: " + reason + "; nothing written\n",
                                        ": 何もすることがありません: " + reason + "。何も書き込んでいません\n"));
    return kExitSuccess;
}

void Note(const std::string& text) { PrintErr(Say("favtool: note: ", "favtool: 注意: ") + text + "\n"); }

void Warn(const std::string& text) { PrintErr(Say("favtool: warning: ", "favtool: 警告: ") + text + "\n"); }

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
    const std::string type = TypeName(stored.value->type);
    if (stored.name != "FavoriteArray") {
        return Say(stored.name + " is a " + type + " value, which the bar would not load",
                   stored.name + " は " + type + " の値で、バーはこれを読み込みません");
    }
    return Say("FavoriteArray is a " + type +
                   " value, which the bar ignores (it shows no favourites and its next save replaces the value)",
               "FavoriteArray は " + type +
                   " の値で、バーはこれを無視します (お気に入りを表示せず、次の保存でこの値を置き換えます)");
}

std::string LockedOut() {
    return Say("the favourites' lock is held by another writer (the editor, or a second favtool), which kept them "
               "locked; nothing written",
               "ほかの書き込み元 (エディター、または別の favtool) がお気に入りのロックを持ったまま放しませんでした。"
               "何も書き込んでいません");
}

std::string LockUnavailable() {
    return Say("the favourites' lock cannot be opened (a program of another user or elevation holds its name); "
               "nothing written",
               "お気に入りのロックを開けません (別のユーザーか別の権限で動くプログラムがその名前を使っています)。"
               "何も書き込んでいません");
}

LockedKey::LockedKey(const Options& options, KeyAccess access)
    : m_key(options.module, access), m_values(m_key.Values()), m_lock(m_values) {
    if (m_lock.Outcome() == favstore::LockOutcome::Unavailable) throw ToolError(LockUnavailable());
    if (!m_lock.Held()) throw ToolError(LockedOut());
}

const Inspection* RequireLoads(const Stored& stored) {
    if (stored.state == Stored::State::Ignored) {
        throw ToolError(IgnoredNote(stored) + Say("; see favtool check", "。詳しくは favtool check で確かめられます"),
                        kExitRefused);
    }
    if (stored.state != Stored::State::Binary) return nullptr;
    if (!stored.Loads()) {
        const std::string reason = stored.inspection.StopReason();
        throw ToolError(Say(stored.name + " does not load completely: " + reason + "; see favtool check",
                            stored.name + " は最後まで読めません: " + reason +
                                "。詳しくは favtool check で確かめられます"),
                        kExitRefused);
    }
    return &stored.inspection;
}

std::vector<favfmt::Record> LoadedRecords(const Stored& stored) {
    if (stored.state == Stored::State::Ignored) Warn(IgnoredNote(stored));
    if (stored.state != Stored::State::Binary) return {};
    if (!stored.Loads()) {
        const std::string reason = stored.inspection.StopReason();
        const std::string before = Plural(stored.inspection.records.size(), "record", "records");
        Warn(Say(stored.name + " does not load completely: " + reason + "; showing the " + before +
                     " before it (see favtool check)",
                 stored.name + " は最後まで読めません: " + reason + "。その前の" + before +
                     "を表示します (詳しくは favtool check)"));
    }
    return stored.inspection.records;
}

std::string Replaced(const Stored& stored) {
    switch (stored.state) {
    case Stored::State::Absent:
    case Stored::State::Empty:
        return Say("no favourites", "お気に入り 0 件");
    case Stored::State::Ignored:
        return Say("a " + TypeName(stored.value->type) + " value the bar ignores",
                   "バーが無視する " + TypeName(stored.value->type) + " の値");
    case Stored::State::Binary:
        break;
    }
    std::string counts = Describe(Count(BuildTree(stored.inspection.records)));
    if (stored.Loads()) return counts;
    return Say("a value that does not load completely (" + counts + " load)",
               "最後まで読めない値 (読めるのは" + counts + ")");
}

std::string With(const TreeCounts& counts) {
    if (SpeaksJapanese()) return Describe(counts);
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
        throw ToolError(LockedOut());
    case Outcome::LockUnavailable:
        throw ToolError(LockUnavailable());
    case Outcome::ValueChanged:
        throw ToolError(Say("FavoriteArray changed meanwhile; nothing written",
                            "その間に FavoriteArray が変わりました。何も書き込んでいません"));
    case Outcome::MarkerChanged:
        throw ToolError(Say("check changed meanwhile; nothing written",
                            "その間に check が変わりました。何も書き込んでいません"));
    case Outcome::NotKept:
    case Outcome::Failed:
        break;
    }
    throw ToolError(Say("could not write FavoriteArray, or keep what it replaced in the history or "
                        "FavoriteArrayBackup; nothing was changed",
                        "FavoriteArray を書き込めないか、置き換える値を履歴にも FavoriteArrayBackup にも残せませんでした。"
                        "何も変更していません"),
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
        const bool last = i + 1 == numbers.size();
        list += (i == 0 ? "" : last ? Say(" and ", " と ") : Say(", ", "、")) + std::to_string(numbers[i]) + " (" +
                when + ")";
    }
    return Say(numbers.size() == 1 ? "entry " : "entries ", "履歴 ") + list;
}

std::string HistoryDrops::Phrase(bool dryRun) const {
    if (!Any()) return {};
    if (SpeaksJapanese()) {
        return dryRun ? "。置き換える値を残すため、" + Entries() + " を削除します"
                      : "。置き換えた値を残すため、" + Entries() + " を削除しました";
    }
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
        const std::string undo = UndoCommand(key, nowStored);
        return Say("; the replaced value is in the history: " + undo + " puts it back\n",
                   "。置き換えた値は履歴にあります。" + undo + " で元に戻せます\n");
    }
    if (replaced.inBackup) {
        return Say("; the replaced value, which did not load completely, is in FavoriteArrayBackup: favtool restore "
                   "--force puts it back\n",
                   "。置き換えた値は最後まで読めないため FavoriteArrayBackup にあります。favtool restore --force "
                   "で元に戻せます\n");
    }
    return Say("; there was no value to keep\n", "。残す値はありませんでした\n");
}

std::vector<HistoryItem> ReadHistory(const ModuleKey& key) {
    favstore::RegistryValues values = key.Values();
    favstore::FavoritesHistory history(values);
    std::vector<favstore::HistoryEntry> entries;
    if (!history.List(entries)) {
        throw ToolError(Say("cannot list " + Hkcu(key) + "\\History", Hkcu(key) + "\\History の一覧を読めません"),
                        kExitFailed);
    }
    std::vector<std::size_t> daily;
    history.Beyond(entries, &daily);
    std::vector<HistoryItem> items;
    for (std::size_t i = entries.size(); i-- > 0;) {
        HistoryItem item;
        item.name = entries[i].name;
        item.named = favstore::ParseHistoryName(item.name, item.parsed);
        item.daily = std::find(daily.begin(), daily.end(), i) != daily.end();
        const std::optional<favstore::StoredValue> value = key.ReadHistoryEntry(item.name);
        if (!value) {
            throw ToolError(Say("cannot read history entry " + item.name, "履歴 " + item.name + " を読めません"),
                            kExitFailed);
        }
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
    if (items.empty()) throw ToolError(Say("there are no history entries", "履歴がありません"), kExitUsage);
    if (number < 1 || static_cast<std::size_t>(number) > items.size()) {
        const std::string asked = std::to_string(number);
        const std::string last = std::to_string(items.size());
        throw ToolError(Say("there is no history entry " + asked + "; entries are numbered 1 (the newest) to " + last +
                                " (favtool history lists them)",
                            "履歴 " + asked + " はありません。履歴の番号は 1 (最新) から " + last +
                                " までです (favtool history で一覧できます)"),
                        kExitUsage);
    }
    return items[static_cast<std::size_t>(number) - 1];
}

std::string EntryTitle(const HistoryItem& item, int number) {
    return Say("history entry ", "履歴 ") + std::to_string(number) + " (" +
           (item.named ? LocalTime(item.parsed.utc) : item.name) + ")";
}

Stored StoredOf(const HistoryItem& item, int number) {
    Stored stored;
    stored.name = Say("history entry ", "履歴 ") + std::to_string(number);
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
