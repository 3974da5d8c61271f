// What favtool's commands share: the favourites value as the bar finds it,
// the module's key, writes through the keeper, the history, and the wording
// of their output.
//
// The wording comes in the language spoken (tool/language.h). The fragments
// commands glue into their sentences keep their English exactly; their
// Japanese is a phrase complete in itself, so that a Japanese sentence can
// place it where its own word order wants it. Each says below how it reads.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "store/favorites_history.h"
#include "store/favorites_keeper.h"
#include "tool/commands.h"
#include "tool/registry.h"
#include "tool/stored_tree.h"

using Json = nlohmann::ordered_json;

// "3 favourites", "1 byte". In Japanese the noun takes its counter:
// "お気に入り 3 件", "フォルダー 1 個", "レコード 2 件", "パス 5 個",
// "履歴 2 件", "ファイル 4 個", "3 バイト", "2 階層". A noun without a
// Japanese counter here stays English: give it one with the overload below.
std::string Plural(std::size_t n, const char* one, const char* many);
// The same with the Japanese written out, "{}" where the number goes:
// Plural(n, "line", "lines", "{} 行").
std::string Plural(std::size_t n, const char* one, const char* many, const char* japanese);

// "4 favourites and 2 folders"; "お気に入り 4 件とフォルダー 2 個".
std::string Describe(const TreeCounts& counts);

std::string Quoted(const std::wstring& text);

// " (module Favorites)" after a sentence; " (モジュール Favorites)".
std::string Where(const Options& options);

// Every command answers "nothing to do" the same way: this line and status 0.
// "import: nothing to do: REASON; nothing written";
// "import: 何もすることがありません: REASON。何も書き込んでいません" (a
// Japanese reason is a sentence of its own, without 。 at its end).
int NothingToDo(const char* command, const std::string& reason);

// "favtool: note: TEXT" on standard error; "favtool: 注意: TEXT".
void Note(const std::string& text);
// "favtool: warning: TEXT" on standard error; "favtool: 警告: TEXT".
void Warn(const std::string& text);

// The favourites value as the bar finds it when it loads.
struct Stored {
    enum class State { Absent, Empty, Ignored, Binary };
    State state = State::Absent;
    std::optional<favstore::StoredValue> value;
    std::optional<DWORD> marker;
    Inspection inspection;  // for State::Binary
    // In messages: the value, or the history entry read as one ("history
    // entry 3"; "履歴 3"), in the language spoken.
    std::string name = "FavoriteArray";

    bool CurrentLayout() const { return marker == kMarkerCurrentLayout; }
    // Whether the bar loads all of it, as the keeper tells.
    bool Loads() const { return !value || favstore::LoadsCompletely(*value, CurrentLayout()); }
};

Stored ReadStored(const ModuleKey& key);

// The module's key opened for writing, with the writers' lock held while
// it lives: what a command reads through it is what its write replaces, as
// no window or other program writes in between. Throws when the lock stays
// held by another writer.
class LockedKey {
public:
    LockedKey(const Options& options, KeyAccess access);
    const ModuleKey& Key() const { return m_key; }
    favstore::RegistryValues& Values() { return m_values; }

private:
    ModuleKey m_key;
    favstore::RegistryValues m_values;
    favstore::WritersLockScope m_lock;
};

// The module's key for a command that reads it; a key that is not there is
// most often a misspelt --module, so it is an error that names the others.
ModuleKey ExistingKey(const Options& options);

// "FavoriteArray is a REG_SZ value, which the bar ignores (...)"; in
// Japanese a sentence of its own: "FavoriteArray は REG_SZ の値で、...".
std::string IgnoredNote(const Stored& stored);

// For commands that need the whole tree: refuses what the bar would not load completely.
const Inspection* RequireLoads(const Stored& stored);

// For commands that only read: the part that loads, with a warning for the rest.
std::vector<favfmt::Record> LoadedRecords(const Stored& stored);

// What a write replaces, for "replacing ... with ...". In Japanese a noun
// phrase: "お気に入り 120 件とフォルダー 8 個", "お気に入り 0 件", "バーが無視する
// REG_SZ の値", "最後まで読めない値 (読めるのはお気に入り 3 件とフォルダー 1 個)",
// to read as "FavoriteArray の{Replaced}を{With}に置き換えました".
std::string Replaced(const Stored& stored);

// "with 3 and 2" after "replacing 120 favourites and 8 folders". Japanese
// has no such shorthand: the whole noun phrase, as Describe gives it
// ("お気に入り 3 件とフォルダー 2 個").
std::string With(const TreeCounts& counts);

favstore::StoredValue BinaryValue(std::vector<std::uint8_t> bytes);

std::string Hkcu(const ModuleKey& key);

// Why a write did not take the writers' lock: held by another writer, or a
// name this user may not open (another security context made an object of
// that name).
std::string LockedOut();
std::string LockUnavailable();

// What the command showed of the key: the keeper writes only while it is
// still there.
favstore::Shown ShownOf(const Stored& stored);

// Replaces FavoriteArray with encoded (deletes it for an empty tree) through
// the keeper, by the bar's rules: a value that does not load goes to
// FavoriteArrayBackup first, and the value replaced goes to the history, so
// that it can be restored. Says where the keeper kept the replaced value.
favstore::Replaced WriteFavorites(LockedKey& key, const Stored& stored, std::vector<std::uint8_t> encoded,
                                  const char* reason);

bool InHistory(const favstore::Replaced& replaced);

// What the next history entry would push out of the history, numbered as
// favtool history numbers the entries before it is made (1 the newest).
struct HistoryDrops {
    std::vector<std::size_t> numbers;
    std::vector<std::string> names;
    bool Any() const { return !numbers.empty(); }
    // The oldest number among them: restore --history N keeps N and older.
    std::size_t Oldest() const;
    // "entry 16 (2026-12-01 10:00:00 import)", "entries 15 (...) and 16 (...)";
    // a noun phrase in Japanese: "履歴 16 (2026-12-01 10:00:00 import)",
    // "履歴 14 (...)、15 (...) と 16 (...)".
    std::string Entries() const;
    // "; to keep the replaced value the history dropped entry 16 (...)";
    // empty when none goes. In Japanese a sentence of its own after the
    // one before, which ends without 。: "。置き換えた値を残すため、履歴 16 (...)
    // を削除しました" (dry run: "。置き換える値を残すため、履歴 16 (...) を削除します").
    std::string Phrase(bool dryRun) const;
};
// For an entry holding kept (none: no entry is made).
HistoryDrops DropsOfKeeping(favstore::StoredValues& values, const std::optional<std::vector<std::uint8_t>>& kept);
// What a replace of stored by encoded keeps in the history, as the keeper
// decides it: the value itself when it loads, else an earlier rescue the
// backup gives up for it.
std::optional<std::vector<std::uint8_t>> KeptByReplacing(const Stored& stored,
                                                         const std::optional<favstore::StoredValue>& backup,
                                                         const std::vector<std::uint8_t>& encoded);

// restore --history 1, with --force when restoring entry 1 would drop
// entries to keep nowStored (FavoriteArray after a write). A command line:
// the same in both languages.
std::string UndoCommand(LockedKey& key, const std::vector<std::uint8_t>& nowStored);
// After a write that left nowStored in FavoriteArray: how to undo it, by the
// command that really does (with --force where restore would refuse). Ends
// the line: "; the replaced value is in the history: favtool restore
// --history 1 puts it back\n"; in Japanese sentences of their own after the
// one before, which ends without 。: "。置き換えた値は履歴にあります。favtool
// restore --history 1 で元に戻せます\n".
std::string UndoHint(const favstore::Replaced& replaced, LockedKey& key, const std::vector<std::uint8_t>& nowStored);

struct HistoryItem {
    std::string name;
    favstore::HistoryName parsed;
    bool named = false;  // a name this plug-in made
    std::vector<std::uint8_t> bytes;
    Inspection inspection;   // in the layout it loads in, if any
    bool loads = false;      // the keeper says it loads completely, in one layout or the other
    bool oldLayout = false;  // loads completely only in the layout without expanded bytes
    DWORD type = REG_BINARY;
    bool daily = false;      // the first of one of the last days that have entries, kept for it
};

// The entries, newest first.
std::vector<HistoryItem> ReadHistory(const ModuleKey& key);

const HistoryItem& HistoryEntryOf(const std::vector<HistoryItem>& items, int number);

// "history entry 3 (2026-12-08 10:00:00)"; "履歴 3 (2026-12-08 10:00:00)".
std::string EntryTitle(const HistoryItem& item, int number);

// An entry as a value the bar would load: list and export read it so.
Stored StoredOf(const HistoryItem& item, int number);
// What list and export read: FavoriteArray, or with --history N that entry.
Stored ReadStoredOrEntry(const ModuleKey& key, const Options& options);

std::string LocalTime(favstore::Ticks utc);
// ISO 8601 local time with its offset from UTC ("2026-12-09T08:15:57+09:00"),
// for documents; empty when the time cannot be converted.
std::string IsoLocalTime(favstore::Ticks utc);

void PrintJson(const Json& document);

Json CountsJson(const TreeCounts& counts);

// The backup as check reports it: which layout it loads in, if any.
struct BackupState {
    std::optional<favstore::StoredValue> value;
    std::optional<bool> loadsInCurrentLayout;  // nullopt: loads in neither
    Inspection asMarked;
    TreeCounts counts;
};

BackupState InspectBackup(const std::optional<favstore::StoredValue>& backup, bool currentLayout);

struct Favorite {
    std::vector<std::wstring> folders;
    std::wstring label;
    std::wstring path;
};

void CollectFavorites(const Tree& items, std::vector<std::wstring>& folders, std::vector<Favorite>& out);

std::string FavoriteLine(const Favorite& favorite);
