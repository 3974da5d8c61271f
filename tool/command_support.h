// What favtool's commands share: the favourites value as the bar finds it,
// the module's key, writes through the keeper, the history, and the wording
// of their output.
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

std::string Plural(std::size_t n, const char* one, const char* many);

std::string Describe(const TreeCounts& counts);

std::string Quoted(const std::wstring& text);

std::string Where(const Options& options);

// Every command answers "nothing to do" the same way: this line and status 0.
int NothingToDo(const char* command, const std::string& reason);

void Note(const std::string& text);

// The favourites value as the bar finds it when it loads.
struct Stored {
    enum class State { Absent, Empty, Ignored, Binary };
    State state = State::Absent;
    std::optional<favstore::StoredValue> value;
    std::optional<DWORD> marker;
    Inspection inspection;  // for State::Binary

    bool CurrentLayout() const { return marker == kMarkerCurrentLayout; }
    // Whether the bar loads all of it, as the keeper tells.
    bool Loads() const { return !value || favstore::LoadsCompletely(*value, CurrentLayout()); }
};

Stored ReadStored(const ModuleKey& key);

// The module's key for a command that reads it; a key that is not there is
// most often a misspelt --module, so it is an error that names the others.
ModuleKey ExistingKey(const Options& options);

std::string IgnoredNote(const Stored& stored);

// For commands that need the whole tree: refuses what the bar would not load completely.
const Inspection* RequireLoads(const Stored& stored);

// For commands that only read: the part that loads, with a warning for the rest.
std::vector<favfmt::Record> LoadedRecords(const Stored& stored);

// What a write replaces, for "replacing ... with ...".
std::string Replaced(const Stored& stored);

// "with 3 and 2" after "replacing 120 favourites and 8 folders".
std::string With(const TreeCounts& counts);

favstore::StoredValue BinaryValue(std::vector<std::uint8_t> bytes);

std::string Hkcu(const ModuleKey& key);

inline constexpr char kLockedOut[] =
    "another writer of the favourites (the editor, or a second favtool) kept them locked; nothing written";

// What the command showed of the key: the keeper writes only while it is
// still there.
favstore::Shown ShownOf(const Stored& stored);

// Replaces FavoriteArray with encoded (deletes it for an empty tree) through
// the keeper, by the bar's rules: a value that does not load goes to
// FavoriteArrayBackup first, and the value replaced goes to the history, so
// that it can be restored. Says where the keeper kept the replaced value.
favstore::Replaced WriteFavorites(const ModuleKey& key, const Stored& stored, std::vector<std::uint8_t> encoded,
                                  const char* reason);

bool InHistory(const favstore::Replaced& replaced);

std::string UndoHint(const favstore::Replaced& replaced);

struct HistoryItem {
    std::string name;
    favstore::HistoryName parsed;
    bool named = false;  // a name this plug-in made
    std::vector<std::uint8_t> bytes;
    Inspection inspection;   // in the layout it loads in, if any
    bool loads = false;      // the keeper says it loads completely, in one layout or the other
    bool oldLayout = false;  // loads completely only in the layout without expanded bytes
};

// The entries, newest first.
std::vector<HistoryItem> ReadHistory(const ModuleKey& key);

const HistoryItem& HistoryEntryOf(const std::vector<HistoryItem>& items, int number);

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
