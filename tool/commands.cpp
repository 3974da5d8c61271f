#include "tool/commands.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

#include <nlohmann/json.hpp>

#include "store/favorites_history.h"
#include "store/favorites_keeper.h"
#include "tool/console.h"
#include "tool/file_probe.h"
#include "tool/json_document.h"
#include "tool/path_prefix.h"
#include "tool/registry.h"
#include "tool/stored_tree.h"
#include "tool/text.h"

namespace {

using Json = nlohmann::ordered_json;

// How long a drive or share may take to answer before missing gives up on it.
constexpr std::chrono::seconds kProbeTimeout{5};

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Describe(const TreeCounts& counts) {
    return Plural(counts.favorites, "favourite", "favourites") + " and " + Plural(counts.folders, "folder", "folders");
}

std::string Quoted(const std::wstring& text) { return "\"" + ToUtf8(text) + "\""; }

std::string Where(const Options& options) { return " (module " + ToUtf8(options.module) + ")"; }

// Every command answers "nothing to do" the same way: this line and status 0.
int NothingToDo(const char* command, const std::string& reason) {
    PrintOut(std::string(command) + ": nothing to do: " + reason + "; nothing written\n");
    return kExitSuccess;
}

void Note(const std::string& text) { PrintErr("favtool: note: " + text + "\n"); }

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

// The module's key for a command that reads it; a key that is not there is
// most often a misspelt --module, so it is an error that names the others.
ModuleKey ExistingKey(const Options& options) {
    ModuleKey key(options.module, KeyAccess::Read);
    if (!key.Exists()) throw ToolError(MissingKeyMessage(options.module));
    return key;
}

std::string IgnoredNote(const Stored& stored) {
    return "FavoriteArray is a " + TypeName(stored.value->type) +
           " value, which the bar ignores (it shows no favourites and its next save replaces the value)";
}

// For commands that need the whole tree: refuses what the bar would not load completely.
const Inspection* RequireLoads(const Stored& stored) {
    if (stored.state == Stored::State::Ignored) throw ToolError(IgnoredNote(stored) + "; see favtool check", kExitFinding);
    if (stored.state != Stored::State::Binary) return nullptr;
    if (!stored.inspection.Complete()) {
        throw ToolError("FavoriteArray does not load completely: " + stored.inspection.StopReason() +
                            "; see favtool check",
                        kExitFinding);
    }
    return &stored.inspection;
}

// For commands that only read: the part that loads, with a warning for the rest.
std::vector<favfmt::Record> LoadedRecords(const Stored& stored) {
    if (stored.state == Stored::State::Ignored) PrintErr("favtool: warning: " + IgnoredNote(stored) + "\n");
    if (stored.state != Stored::State::Binary) return {};
    if (!stored.inspection.Complete()) {
        PrintErr("favtool: warning: FavoriteArray does not load completely: " + stored.inspection.StopReason() +
                 "; showing the " + Plural(stored.inspection.records.size(), "record", "records") +
                 " before it (see favtool check)\n");
    }
    return stored.inspection.records;
}

// What a write replaces, for "replacing ... with ...".
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
    return stored.inspection.Complete() ? counts : "a value that does not load completely (" + counts + " load)";
}

// "with 3 and 2" after "replacing 120 favourites and 8 folders".
std::string With(const TreeCounts& counts) {
    return std::to_string(counts.favorites) + " and " + std::to_string(counts.folders);
}

favstore::StoredValue BinaryValue(std::vector<std::uint8_t> bytes) { return {REG_BINARY, std::move(bytes)}; }

std::string Hkcu(const ModuleKey& key) { return "HKCU\\" + ToUtf8(key.Path()); }

const char kLockedOut[] =
    "another writer of the favourites (the editor, or a second favtool) kept them locked; nothing written";

// ---- writing, through the keeper the bar uses

// What the command showed of the key: the keeper writes only while it is
// still there.
favstore::Shown ShownOf(const Stored& stored) {
    favstore::Shown shown;
    shown.favorites = stored.value;
    shown.marker = stored.marker;
    return shown;
}

// Replaces FavoriteArray with encoded (deletes it for an empty tree) through
// the keeper, by the bar's rules: a value that does not load goes to
// FavoriteArrayBackup first, and the value replaced goes to the history, so
// that it can be restored. Says where the keeper kept the replaced value.
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
                    "FavoriteArrayBackup; nothing was changed");
}

bool InHistory(const favstore::Replaced& replaced) { return !replaced.historyEntry.empty(); }

std::string UndoHint(const favstore::Replaced& replaced) {
    if (InHistory(replaced)) {
        return "; the replaced value is in the history: favtool restore --history 1 puts it back\n";
    }
    if (replaced.inBackup) return "; the replaced value, which did not load completely, is in FavoriteArrayBackup\n";
    return "; there was no value to keep\n";
}

const char* NameOf(favstore::StoredValues::Value value) {
    switch (value) {
    case favstore::StoredValues::Value::Favorites: return "FavoriteArray";
    case favstore::StoredValues::Value::Backup: return "FavoriteArrayBackup";
    case favstore::StoredValues::Value::Marker: break;
    }
    return "check";
}

// A swap that failed midway: what failed, and what could not be put back.
std::string SwapFailure(const favstore::RequestedWrite& done, const favstore::RegistryValues& values) {
    const std::string name = done.failed ? NameOf(*done.failed) : "FavoriteArray";
    const std::string message = values.FirstFailure() == ERROR_SUCCESS
                                    ? "cannot read " + name
                                    : "could not write " + name + " (" + SystemMessage(values.FirstFailure()) + ")";
    if (done.notPutBack.empty()) return message + "; nothing was changed";
    std::string names;
    for (const favstore::StoredValues::Value value : done.notPutBack) names += (names.empty() ? "" : ", ") + std::string(NameOf(value));
    return message + "; could not put back the earlier " + names;
}

// ---- the history

struct HistoryItem {
    std::string name;
    favstore::HistoryName parsed;
    bool named = false;  // a name this plug-in made
    std::vector<std::uint8_t> bytes;
    Inspection inspection;
    bool oldLayout = false;  // loads completely only in the layout without expanded bytes
};

// The entries, newest first.
std::vector<HistoryItem> ReadHistory(const ModuleKey& key) {
    favstore::RegistryValues values = key.Values();
    favstore::FavoritesHistory history(values);
    std::vector<favstore::HistoryEntry> entries;
    if (!history.List(entries)) throw ToolError("cannot list " + Hkcu(key) + "\\History");
    std::vector<HistoryItem> items;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        HistoryItem item;
        item.name = it->name;
        item.named = favstore::ParseHistoryName(it->name, item.parsed);
        if (!values.ReadHistory(it->name, item.bytes)) throw ToolError("cannot read history entry " + it->name);
        item.inspection = Inspect(item.bytes, true);
        if (!item.inspection.Complete()) {
            Inspection old = Inspect(item.bytes, false);
            if (old.Complete()) {
                item.inspection = std::move(old);
                item.oldLayout = true;
            }
        }
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

// ---- list

void PrintItems(const Tree& items, std::size_t indent, std::string& out) {
    for (const Item& item : items) {
        out.append(indent, ' ');
        if (item.folder) {
            out += (item.expanded ? "[-] " : "[+] ") + ToUtf8(item.label) + "\n";
        } else {
            out += ToUtf8(item.label) + (item.path.empty() ? "" : " -> " + ToUtf8(item.path)) + "\n";
        }
        PrintItems(item.children, indent + 4, out);
    }
}

void PrintJson(const Json& document) { PrintOut(DumpJson(document, !OutputCarriesUnicode()) + "\n"); }

// ---- files

std::string FileName(const std::wstring& file) {
    return file == kStandardStream ? std::string("standard input") : ToUtf8(file);
}

std::string ReadDocumentBytes(const std::wstring& file) {
    if (file == kStandardStream) {
        std::optional<std::string> bytes = ReadStandardInput(kMaxDocumentBytes);
        if (!bytes) {
            throw ToolError("import - reads a document sent to it, as in: favtool import - < favorites.json",
                            kExitUsage);
        }
        return std::move(*bytes);
    }
    UniqueFile h(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) throw ToolError("cannot open " + ToUtf8(file) + " (" + SystemMessage(::GetLastError()) + ")");
    LARGE_INTEGER size = {};
    if (::GetFileSizeEx(h.get(), &size) && static_cast<unsigned long long>(size.QuadPart) > kMaxDocumentBytes) {
        throw ToolError(ToUtf8(file) + " is " + std::to_string(size.QuadPart / (1024LL * 1024)) +
                        " MiB; a favourites document is at most " + std::to_string(kMaxDocumentBytes / (1024 * 1024)) +
                        " MiB, so it was not read; nothing was imported");
    }
    std::string text;
    std::string buffer(65536, '\0');
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
            throw ToolError("cannot read " + ToUtf8(file) + " (" + SystemMessage(::GetLastError()) + ")");
        }
        if (n == 0) return text;
        if (text.size() + n > kMaxDocumentBytes) {
            throw ToolError(ToUtf8(file) + " grew past " + std::to_string(kMaxDocumentBytes / (1024 * 1024)) +
                            " MiB while it was read; nothing was imported");
        }
        text.append(buffer.data(), n);
    }
}

// Writes beside the file first, so a failed export leaves an existing file whole.
void WriteFileText(const std::wstring& file, const std::string& text) {
    const std::wstring partial = file + L".partial";
    {
        UniqueFile h(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
        if (!h) throw ToolError("cannot create " + ToUtf8(partial) + " (" + SystemMessage(::GetLastError()) + ")");
        std::size_t done = 0;
        while (done < text.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
            DWORD written = 0;
            if (!::WriteFile(h.get(), text.data() + done, chunk, &written, nullptr) || written == 0) {
                const DWORD error = ::GetLastError();
                h.reset();
                ::DeleteFileW(partial.c_str());
                throw ToolError("cannot write " + ToUtf8(partial) + " (" + SystemMessage(error) + ")");
            }
            done += written;
        }
    }
    if (!::MoveFileExW(partial.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(partial.c_str());
        throw ToolError("cannot write " + ToUtf8(file) + " (" + SystemMessage(error) + ")");
    }
}

// ---- check

std::string LayoutLine(const Stored& stored) {
    if (!stored.marker) return "no check value: the old layout, folders load collapsed and the bar rewrites it";
    if (*stored.marker == kMarkerCurrentLayout) return "check = 1: the current layout, folders keep their expanded state";
    return "check = " + std::to_string(*stored.marker) + ": read as the old layout, folders load collapsed";
}

// The backup as check reports it: which layout it loads in, if any.
struct BackupState {
    std::optional<favstore::StoredValue> value;
    std::optional<bool> loadsInCurrentLayout;  // nullopt: loads in neither
    Inspection asMarked;
    TreeCounts counts;
};

BackupState InspectBackup(const std::optional<favstore::StoredValue>& backup, bool currentLayout) {
    BackupState state;
    state.value = backup;
    if (!backup || backup->type != REG_BINARY || backup->bytes.empty()) return state;
    state.asMarked = Inspect(backup->bytes, currentLayout);
    if (state.asMarked.Complete()) {
        state.loadsInCurrentLayout = currentLayout;
        state.counts = Count(BuildTree(state.asMarked.records));
        return state;
    }
    const Inspection other = Inspect(backup->bytes, !currentLayout);
    if (other.Complete()) {
        state.loadsInCurrentLayout = !currentLayout;
        state.counts = Count(BuildTree(other.records));
    }
    return state;
}

std::string BackupLine(const BackupState& backup, bool currentLayout) {
    if (!backup.value) return "FavoriteArrayBackup: none\n";
    std::string line = "FavoriteArrayBackup: " + TypeName(backup.value->type) + ", " +
                       Plural(backup.value->bytes.size(), "byte", "bytes");
    if (backup.value->type != REG_BINARY || backup.value->bytes.empty()) return line + "; the bar would not load it\n";
    if (!backup.loadsInCurrentLayout) return line + "; does not load completely: " + backup.asMarked.StopReason() + "\n";
    if (*backup.loadsInCurrentLayout == currentLayout) return line + "; loads completely: " + Describe(backup.counts) + "\n";
    return line + "; loads completely in the " + (currentLayout ? "old" : "current") + " layout: " +
           Describe(backup.counts) + " (restore sets check to match)\n";
}

// What the bar shows differently from the stored records, one phrase each.
std::vector<std::string> Notes(const Inspection& inspection) {
    std::vector<std::string> notes;
    std::size_t differing = 0;
    for (const favfmt::Record& r : inspection.records) {
        Item item;
        item.label.assign(r.label.begin(), r.label.end());
        item.path.assign(r.path.begin(), r.path.end());
        item.folder = r.folder;
        if (!BarDifferences(item).empty()) ++differing;
    }
    if (differing) {
        notes.push_back(Plural(differing, "record shows", "records show") +
                        " differently in the bar (long labels, control characters, unpaired surrogates, folders with "
                        "paths); favtool export names them");
    }
    if (inspection.deepestStored > favfmt::kMaxDepth) {
        notes.push_back("records stored deeper than level 101 (down to " + std::to_string(inspection.deepestStored) +
                        ") hang at level 101");
    }
    return notes;
}

Json CountsJson(const TreeCounts& counts) {
    return Json{{"favorites", counts.favorites}, {"folders", counts.folders}, {"levels", counts.deepest}};
}

const char* StateName(Stored::State state) {
    switch (state) {
    case Stored::State::Absent: return "absent";
    case Stored::State::Empty: return "empty";
    case Stored::State::Ignored: return "ignored";
    case Stored::State::Binary: break;
    }
    return "binary";
}

// The check report as a document. Later versions add members (such as the
// history of replaced values) beside these; none of these change meaning.
Json CheckJson(const ModuleKey& key, const Options& options, const Stored& stored, const BackupState& backup) {
    Json value;
    value["state"] = StateName(stored.state);
    value["type"] = stored.value ? Json(TypeName(stored.value->type)) : Json(nullptr);
    value["bytes"] = stored.value ? stored.value->bytes.size() : 0;
    value["check"] = stored.marker ? Json(*stored.marker) : Json(nullptr);
    value["current_layout"] = stored.CurrentLayout();
    value["loads_completely"] = stored.Loads();
    if (stored.state == Stored::State::Binary) {
        const Inspection& inspection = stored.inspection;
        value["records_counted"] = inspection.count;
        value["counts"] = CountsJson(Count(BuildTree(inspection.records)));
        value["stop"] = inspection.Complete() ? Json(nullptr)
                                              : Json{{"record", inspection.stopRecord},
                                                     {"offset", inspection.stopOffset},
                                                     {"records_before", inspection.records.size()},
                                                     {"reason", inspection.StopReason()}};
        Json notes = Json::array();
        for (const std::string& note : Notes(inspection)) notes.push_back(note);
        value["notes"] = notes;
    }
    Json backupJson = nullptr;
    if (backup.value) {
        backupJson["type"] = TypeName(backup.value->type);
        backupJson["bytes"] = backup.value->bytes.size();
        backupJson["loads_completely"] = backup.loadsInCurrentLayout.has_value();
        backupJson["layout"] = !backup.loadsInCurrentLayout ? Json(nullptr)
                               : *backup.loadsInCurrentLayout ? Json("current")
                                                              : Json("old");
        if (backup.loadsInCurrentLayout) backupJson["counts"] = CountsJson(backup.counts);
    }
    return Json{{"version", kDocumentVersion},
                {"module", ToWtf8(options.module)},
                {"key", ToWtf8(L"HKCU\\" + key.Path())},
                {"favorite_array", value},
                {"backup", backupJson}};
}

}  // namespace

int ListCommand(const Options& options) {
    const ModuleKey key = ExistingKey(options);
    const Stored stored = ReadStored(key);
    const Tree tree = BuildTree(LoadedRecords(stored));
    const int status = stored.Loads() ? kExitSuccess : kExitFinding;
    const TreeCounts counts = Count(tree);
    if (options.json) {
        // Shaped as an exported document, so that it can be imported as it is.
        Json meta{{"module", ToWtf8(options.module)},
                  {"key", ToWtf8(L"HKCU\\" + key.Path())},
                  {"loads_completely", stored.Loads()},
                  {"counts", CountsJson(counts)}};
        PrintJson(Json{{"version", kDocumentVersion}, {"meta", meta}, {"favorites", ItemsJson(tree)}});
        return status;
    }
    if (tree.empty()) {
        PrintOut("no favourites stored\n");
        return status;
    }
    std::string out;
    PrintItems(tree, 0, out);
    out += Describe(counts) + ", " + Plural(counts.deepest, "level", "levels") +
           (counts.folders ? " ([-] expanded folder, [+] collapsed folder)" : "") + "\n";
    PrintOut(out);
    return status;
}

int ExportCommand(const Options& options, const std::wstring& file) {
    const ModuleKey key = ExistingKey(options);
    const Stored stored = ReadStored(key);
    const Inspection* inspection = RequireLoads(stored);
    const Tree tree = BuildTree(inspection ? inspection->records : std::vector<favfmt::Record>{});
    const bool toOutput = file == kStandardStream;
    // A file is UTF-8 always; standard output only when it carries every character.
    const std::string document = ExportDocument(tree, toOutput && !OutputCarriesUnicode());
    if (toOutput) {
        PrintOut(document);
    } else {
        WriteFileText(file, document);
    }
    if (inspection) {
        const auto warn = [&](const Tree& items, const auto& self) -> void {
            for (const Item& item : items) {
                for (const BarDifference& difference : BarDifferences(item)) {
                    std::wstring label = item.label.substr(0, 40);
                    Note("record " + std::to_string(item.record) + " (" + Quoted(label) +
                         (item.label.size() > 40 ? "..." : "") + "): " + difference.text);
                }
                self(item.children, self);
            }
        };
        warn(tree, warn);
        if (favfmt::Encode(Flatten(tree)) != stored.value->bytes) {
            Note(stored.CurrentLayout()
                     ? "the stored bytes differ from those the bar saves for this tree (levels skipped, or unusual "
                       "flag bytes); the document holds the tree as the bar shows it, and import writes it as the bar "
                       "saves it"
                     : "the stored value is in the old layout; import writes the current one");
        }
    }
    const std::string summary = "export: wrote " + Describe(Count(tree)) + " to " +
                                (toOutput ? std::string("standard output") : ToUtf8(file)) + "\n";
    // Standard output holds the document alone.
    if (toOutput) {
        PrintErr(summary);
    } else {
        PrintOut(summary);
    }
    return kExitSuccess;
}

int ImportCommand(const Options& options, const std::wstring& file) {
    const std::string bytes = ReadDocumentBytes(file);
    ImportedDocument imported;
    try {
        imported = ImportDocument(bytes);
    } catch (const DocumentError& e) {
        throw ToolError(FileName(file) + ":" + std::to_string(e.line) + ":" + std::to_string(e.column) + ": " +
                        e.what() + "; nothing was imported");
    }
    for (const DocumentNote& note : imported.notes) {
        Note(FileName(file) + ":" + std::to_string(note.line) + ":" + std::to_string(note.column) + ": " +
             note.message);
    }
    if (imported.slashedPaths) {
        Note("\"/\" became \"\\\" in " + Plural(imported.slashedPaths, "path", "paths") + ", as the bar writes them");
    }
    const Tree& tree = imported.tree;
    const std::vector<favfmt::Record> records = Flatten(tree);
    const favstore::StoredValue value = BinaryValue(favfmt::Encode(records));

    if (!ModuleKey(options.module, KeyAccess::Read).Exists() && !options.create) {
        throw ToolError(MissingKeyMessage(options.module) +
                        "; to make the key for that module, run import again with --create");
    }
    const ModuleKey reader(options.module, KeyAccess::Read);
    const Stored stored = ReadStored(reader);
    const bool unchanged = records.empty() ? !stored.value
                                           : (stored.value == value && stored.marker == kMarkerCurrentLayout);
    if (unchanged) return NothingToDo("import", "FavoriteArray already holds this tree" + Where(options));
    const bool hadFavorites = stored.state == Stored::State::Binary || stored.state == Stored::State::Ignored;
    const std::string change = hadFavorites ? "replacing " + Replaced(stored) + " with " + With(Count(tree)) +
                                                  " in FavoriteArray"
                                            : "writing " + Describe(Count(tree)) + " to FavoriteArray";
    if (options.dryRun) {
        PrintOut("import: would be " + change + Where(options) + "; dry run, nothing written\n");
        return kExitSuccess;
    }
    const ModuleKey key(options.module, options.create ? KeyAccess::Create : KeyAccess::Write);
    if (key.Read(kValueFavorites) != stored.value) throw ToolError("FavoriteArray changed while importing; nothing written");
    // The bar keeps no value for an empty tree.
    const favstore::Replaced replaced =
        WriteFavorites(key, stored, records.empty() ? std::vector<std::uint8_t>{} : value.bytes, "import");
    PrintOut("import: " + change + Where(options) + UndoHint(replaced));
    return kExitSuccess;
}

int CheckCommand(const Options& options) {
    const ModuleKey key = ExistingKey(options);
    const Stored stored = ReadStored(key);
    const BackupState backup = InspectBackup(key.Read(kValueFavoritesBackup), stored.CurrentLayout());
    const int status = stored.Loads() ? kExitSuccess : kExitFinding;
    if (options.json) {
        PrintJson(CheckJson(key, options, stored, backup));
        return status;
    }
    std::string out = Hkcu(key) + "\n";
    switch (stored.state) {
    case Stored::State::Absent:
        out += "FavoriteArray: none (no favourites stored)\n";
        break;
    case Stored::State::Empty:
        out += "FavoriteArray: REG_BINARY, 0 bytes (no favourites stored)\n";
        break;
    case Stored::State::Ignored:
        out += IgnoredNote(stored) + "\n";
        break;
    case Stored::State::Binary: {
        const Inspection& inspection = stored.inspection;
        const TreeCounts counts = Count(BuildTree(inspection.records));
        out += "FavoriteArray: REG_BINARY, " + Plural(inspection.size, "byte", "bytes") + ", " +
               Plural(static_cast<std::size_t>(std::max(inspection.count, 0)), "record", "records") + " counted\n";
        out += "  layout: " + LayoutLine(stored) + "\n";
        out += "  " + Describe(counts) + ", deepest level " + std::to_string(counts.deepest) + "\n";
        if (inspection.Complete()) {
            out += "  loads completely: yes\n";
        } else {
            out += "  loads completely: no, " + inspection.StopReason() + "\n";
            out += "  the bar shows the " + Plural(inspection.records.size(), "record", "records") +
                   " before it and copies the stored bytes to FavoriteArrayBackup before its next save\n";
        }
        for (const std::string& note : Notes(inspection)) out += "  note: " + note + "\n";
        break;
    }
    }
    out += BackupLine(backup, stored.CurrentLayout());
    PrintOut(out);
    return status;
}

namespace {

int RestoreFromHistory(const Options& options) {
    const ModuleKey reader = ExistingKey(options);
    const std::vector<HistoryItem> items = ReadHistory(reader);
    const HistoryItem& entry = HistoryEntryOf(items, options.historyEntry);
    const Stored stored = ReadStored(reader);
    const std::string which = "history entry " + std::to_string(options.historyEntry) +
                              (entry.named ? " (" + LocalTime(entry.parsed.utc) + ")" : " (" + entry.name + ")");
    // The marker is written for the current layout with the value: an entry
    // kept from an old-layout value goes back as the same favourites in it.
    const std::vector<std::uint8_t> bytes = entry.oldLayout ? favfmt::Encode(entry.inspection.records) : entry.bytes;
    if (stored.value && stored.value->type == REG_BINARY && stored.value->bytes == bytes) {
        return NothingToDo("restore", "FavoriteArray already holds " + which + Where(options));
    }
    const std::string holds = entry.inspection.Complete()
                                  ? With(Count(BuildTree(entry.inspection.records)))
                                  : "a value that does not load completely";
    const std::string change = "replacing " + Replaced(stored) + " with " + which + "'s " + holds;
    if (options.dryRun) {
        PrintOut("restore: would be " + change + Where(options) + "; dry run, nothing written\n");
        return kExitSuccess;
    }
    const ModuleKey key(options.module, KeyAccess::Write);
    const favstore::Replaced replaced = WriteFavorites(key, stored, bytes, "restore");
    PrintOut("restore: " + change + " in FavoriteArray" + Where(options) +
             (InHistory(replaced)
                  ? "; the replaced value is now history entry 1: favtool restore --history 1 undoes this\n"
                  : UndoHint(replaced)));
    return kExitSuccess;
}

}  // namespace

int RestoreCommand(const Options& options) {
    if (options.historyEntry > 0) return RestoreFromHistory(options);
    const ModuleKey reader = ExistingKey(options);
    const std::optional<favstore::StoredValue> backup = reader.Read(kValueFavoritesBackup);
    if (!backup) return NothingToDo("restore", "there is no FavoriteArrayBackup" + Where(options));
    const Stored stored = ReadStored(reader);
    // A backup kept from an old-layout value loads only with the old marker.
    const std::optional<std::uint32_t> marker = favstore::MarkerThatLoads(*backup);
    const BackupState backupState = InspectBackup(backup, marker == kMarkerCurrentLayout);
    // The rescued bytes of a damaged value: restored, the bar would show what
    // loads and save that over them at its next save.
    if (!marker && !options.force) {
        throw ToolError("FavoriteArrayBackup does not load completely (" + TypeName(backup->type) + ", " +
                            Plural(backup->bytes.size(), "byte", "bytes") +
                            "), so the bar would show only part of it and save over the rest; nothing changed "
                            "(favtool check tells more; --force restores it anyway)",
                        kExitFinding);
    }
    const std::string backupHolds =
        backupState.loadsInCurrentLayout ? "the backup's " + With(backupState.counts)
                                         : "the backup (" + TypeName(backup->type) + ", " +
                                               Plural(backup->bytes.size(), "byte", "bytes") +
                                               (marker ? ")" : ", which does not load completely)");
    const std::string change = "replacing " + Replaced(stored) + " with " + backupHolds;
    if (options.dryRun) {
        PrintOut("restore: would be " + change + Where(options) + "; dry run, nothing written\n");
        return kExitSuccess;
    }

    const ModuleKey key(options.module, KeyAccess::Write);
    favstore::RegistryValues values = key.Values();
    favstore::Shown shown = ShownOf(stored);
    shown.backup = backup;
    const favstore::RequestedWrite done = favstore::FavoritesKeeper().SwapInBackup(values, shown);
    using Outcome = favstore::RequestedWrite::Outcome;
    switch (done.outcome) {
    case Outcome::Written:
        break;
    case Outcome::LockedOut:
        throw ToolError(kLockedOut);
    case Outcome::ValueChanged:
    case Outcome::MarkerChanged:
        throw ToolError("FavoriteArray or FavoriteArrayBackup changed while restoring; nothing written");
    case Outcome::NotKept:
        throw ToolError("could not keep FavoriteArray in the history; nothing written");
    case Outcome::Failed:
        throw ToolError(SwapFailure(done, values));
    }
    PrintOut("restore: " + change + " in FavoriteArray" + Where(options) +
             (done.replaced.inBackup
                  ? "; FavoriteArrayBackup now holds the replaced value (run favtool restore again to undo)"
                  : "; there was no FavoriteArray, so no backup remains") +
             (InHistory(done.replaced) ? ", and so does history entry 1" : "") +
             (done.markerSet ? "; check set to " + std::to_string(*done.markerSet) : std::string()) + "\n");
    return kExitSuccess;
}

int RelocateCommand(const Options& options, const std::wstring& from, const std::wstring& to) {
    const PathPrefix prefix(from, to);
    if (prefix.Empty()) throw ToolError("the old path " + Quoted(from) + " names no folder or file", kExitUsage);
    if (to.empty() || !IsAbsolutePath(to)) {
        throw ToolError("the new path " + Quoted(to) +
                            " must start at a drive or share (as in D:\\Work or \\\\server\\share\\Work)",
                        kExitUsage);
    }
    const ModuleKey reader = ExistingKey(options);
    const Stored stored = ReadStored(reader);
    const Inspection* inspection = RequireLoads(stored);
    std::vector<favfmt::Record> records = inspection ? inspection->records : std::vector<favfmt::Record>{};

    std::string changes;
    std::size_t changed = 0;
    std::size_t caseOnly = 0;
    for (favfmt::Record& record : records) {
        const std::wstring path(record.path.begin(), record.path.end());
        const std::optional<std::wstring> moved = prefix.Relocate(path);
        if (!moved || *moved == path) continue;
        const bool onlyCase = SamePathIgnoringCase(*moved, path);
        const std::string line = "  " + ToUtf8(std::wstring(record.label.begin(), record.label.end())) + ": " +
                                 ToUtf8(path) + " -> " + ToUtf8(*moved);
        if (onlyCase && !options.changeCase) {
            ++caseOnly;
            changes += line + " (only the case or the slashes change; not written)\n";
            continue;
        }
        ++changed;
        changes += line + (onlyCase ? " (only the case or the slashes change)\n" : "\n");
        record.path.assign(moved->begin(), moved->end());
    }
    PrintOut(changes);
    if (changed == 0) {
        if (caseOnly) {
            return NothingToDo("relocate", "only the case or the slashes of " + Plural(caseOnly, "path", "paths") +
                                               " would change, which names the same files" + Where(options) +
                                               " (--change-case writes them)");
        }
        return NothingToDo("relocate", "no favourite is at or below " + Quoted(from) + Where(options));
    }
    if (options.dryRun) {
        PrintOut("relocate: " + Plural(changed, "path", "paths") + " would change" + Where(options) +
                 "; dry run, nothing written\n");
        return kExitSuccess;
    }
    const ModuleKey key(options.module, KeyAccess::Write);
    const favstore::Replaced replaced = WriteFavorites(key, stored, favfmt::Encode(records), "relocate");
    PrintOut("relocate: rewrote " + Plural(changed, "path", "paths") + " in FavoriteArray" + Where(options) +
             UndoHint(replaced));
    return kExitSuccess;
}

namespace {

struct Favorite {
    std::vector<std::wstring> folders;
    std::wstring label;
    std::wstring path;
};

void CollectFavorites(const Tree& items, std::vector<std::wstring>& folders, std::vector<Favorite>& out) {
    for (const Item& item : items) {
        if (!item.folder && !item.path.empty()) out.push_back({folders, item.label, item.path});
        folders.push_back(item.label);
        CollectFavorites(item.children, folders, out);
        folders.pop_back();
    }
}

std::string ErrorReason(DWORD error) { return SystemMessage(static_cast<LONG>(error)); }

probe::Answer ProbeFile(const std::wstring& path) {
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return {};
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {probe::Found::Missing, {}};
    return {probe::Found::CannotCheck, ErrorReason(error)};
}

probe::Answer ProbeRoot(const std::wstring& root) {
    if (::GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES) return {};
    const DWORD error = ::GetLastError();
    return {probe::Found::CannotCheck, ToUtf8(root) + ": " + ErrorReason(error)};
}

Json FavoriteJson(const Favorite& favorite) {
    Json folders = Json::array();
    for (const std::wstring& folder : favorite.folders) folders.push_back(ToWtf8(folder));
    return Json{{"folders", folders}, {"label", ToWtf8(favorite.label)}, {"path", ToWtf8(favorite.path)}};
}

std::string FavoriteLine(const Favorite& favorite) {
    std::string line;
    for (const std::wstring& folder : favorite.folders) line += ToUtf8(folder) + " > ";
    return line + ToUtf8(favorite.label) + " -> " + ToUtf8(favorite.path);
}

}  // namespace

int MissingCommand(const Options& options) {
    const ModuleKey key = ExistingKey(options);
    const Stored stored = ReadStored(key);
    const Tree tree = BuildTree(LoadedRecords(stored));
    std::vector<Favorite> favorites;
    std::vector<std::wstring> folders;
    CollectFavorites(tree, folders, favorites);
    std::vector<std::wstring> paths;
    paths.reserve(favorites.size());
    for (const Favorite& favorite : favorites) paths.push_back(favorite.path);
    const std::vector<probe::Answer> answers = probe::CheckPaths(paths, ProbeRoot, ProbeFile, kProbeTimeout);

    std::size_t missing = 0;
    std::size_t unchecked = 0;
    std::string lines;
    Json missingJson = Json::array();
    Json uncheckedJson = Json::array();
    for (std::size_t i = 0; i < favorites.size(); ++i) {
        if (answers[i].found == probe::Found::Missing) {
            ++missing;
            lines += "missing: " + FavoriteLine(favorites[i]) + "\n";
            missingJson.push_back(FavoriteJson(favorites[i]));
        } else if (answers[i].found == probe::Found::CannotCheck) {
            ++unchecked;
            lines += "cannot check: " + FavoriteLine(favorites[i]) + " (" + answers[i].reason + ")\n";
            Json entry = FavoriteJson(favorites[i]);
            entry["reason"] = answers[i].reason;
            uncheckedJson.push_back(entry);
        }
    }
    const int status = stored.Loads() && missing == 0 && unchecked == 0 ? kExitSuccess : kExitFinding;
    if (options.json) {
        PrintJson(Json{{"version", kDocumentVersion},
                       {"module", ToWtf8(options.module)},
                       {"loads_completely", stored.Loads()},
                       {"checked", favorites.size()},
                       {"missing", missingJson},
                       {"cannot_check", uncheckedJson}});
        return status;
    }
    const std::string all = Plural(favorites.size(), "favourite", "favourites");
    std::string summary;
    if (missing == 0 && unchecked == 0) {
        summary = "all " + all + " point to existing files\n";
    } else {
        summary = std::to_string(missing) + " of " + all + (missing == 1 ? " points" : " point") +
                  " to a file that does not exist" + (unchecked ? "; " + std::to_string(unchecked) + " could not be checked" : "") +
                  "\n";
    }
    PrintOut(lines + summary);
    return status;
}

int HistoryCommand(const Options& options) {
    const ModuleKey key = ExistingKey(options);
    const std::vector<HistoryItem> items = ReadHistory(key);
    if (options.json) {
        Json entries = Json::array();
        for (std::size_t n = 0; n < items.size(); ++n) {
            const HistoryItem& item = items[n];
            const TreeCounts counts = Count(BuildTree(item.inspection.records));
            entries.push_back(Json{{"number", n + 1},
                                   {"name", item.name},
                                   {"time", item.named ? LocalTime(item.parsed.utc) : std::string()},
                                   {"reason", item.named ? item.parsed.reason : std::string()},
                                   {"favorites", counts.favorites},
                                   {"folders", counts.folders},
                                   {"bytes", item.bytes.size()},
                                   {"loads", item.inspection.Complete()}});
        }
        PrintJson(Json{{"key", Hkcu(key) + "\\History"}, {"entries", entries}});
        return kExitSuccess;
    }
    if (items.empty()) {
        PrintOut("history: no entries in " + Hkcu(key) + "\\History\n");
        return kExitSuccess;
    }
    std::string out;
    for (std::size_t n = 0; n < items.size(); ++n) {
        const HistoryItem& item = items[n];
        char number[16];
        (void)std::snprintf(number, sizeof(number), "%3zu  ", n + 1);
        out += number;
        out += item.named ? LocalTime(item.parsed.utc) + "  " + (item.parsed.reason.empty() ? "-" : item.parsed.reason)
                          : item.name;
        out += ": " + Describe(Count(BuildTree(item.inspection.records)));
        if (!item.inspection.Complete()) out += " (does not load completely)";
        out += "\n";
    }
    out += Plural(items.size(), "entry", "entries") + ", newest first, local times; favtool diff N compares one with "
           "FavoriteArray, favtool restore --history N puts it back\n";
    PrintOut(out);
    return kExitSuccess;
}

int DiffCommand(const Options& options) {
    const ModuleKey key = ExistingKey(options);
    const std::vector<HistoryItem> items = ReadHistory(key);
    const int number = options.historyEntry > 0 ? options.historyEntry : 1;
    const HistoryItem& entry = HistoryEntryOf(items, number);
    const Stored stored = ReadStored(key);

    // Favourites by folder path, label and path, each as often as it occurs.
    auto lines = [](const std::vector<favfmt::Record>& records) {
        std::vector<Favorite> favorites;
        std::vector<std::wstring> folders;
        CollectFavorites(BuildTree(records), folders, favorites);
        std::map<std::string, int> counted;
        for (const Favorite& f : favorites) ++counted[FavoriteLine(f)];
        return counted;
    };
    std::map<std::string, int> inEntry = lines(entry.inspection.records);
    std::map<std::string, int> inValue = lines(LoadedRecords(stored));
    std::string out;
    std::size_t removed = 0;
    std::size_t added = 0;
    for (const auto& [line, n] : inEntry) {
        for (int i = inValue.count(line) ? inValue[line] : 0; i < n; ++i, ++removed) out += "- " + line + "\n";
    }
    for (const auto& [line, n] : inValue) {
        for (int i = inEntry.count(line) ? inEntry[line] : 0; i < n; ++i, ++added) out += "+ " + line + "\n";
    }
    const std::string which = "history entry " + std::to_string(number);
    if (removed == 0 && added == 0) {
        PrintOut(which + " and FavoriteArray hold the same favourites\n");
        return kExitSuccess;
    }
    out += "- " + Plural(removed, "favourite", "favourites") + " in " + which + " that FavoriteArray lacks, + " +
           Plural(added, "favourite", "favourites") + " in FavoriteArray that " + which + " lacks\n";
    PrintOut(out);
    return kExitFinding;
}
