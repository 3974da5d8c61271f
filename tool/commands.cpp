#include "tool/commands.h"

#include <windows.h>

#include <algorithm>

#include "store/settings.h"
#include "tool/json_document.h"
#include "tool/path_prefix.h"
#include "tool/registry.h"
#include "tool/stored_tree.h"
#include "tool/text.h"

namespace {

constexpr DWORD kCurrentLayout = 1;
constexpr DWORD kOldLayout = 0;

struct FileTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { ::CloseHandle(h); }
};
using UniqueFile = UniqueHandle<HANDLE, FileTraits>;

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Describe(const TreeCounts& counts) {
    return Plural(counts.favorites, "favourite", "favourites") + " and " + Plural(counts.folders, "folder", "folders");
}

std::string Quoted(const std::wstring& text) { return "\"" + ToUtf8(text) + "\""; }

// The favourites value as the bar finds it when it loads.
struct Stored {
    enum class State { Absent, Empty, Ignored, Binary };
    State state = State::Absent;
    std::optional<RegValue> value;
    std::optional<DWORD> marker;
    Inspection inspection;  // for State::Binary

    bool CurrentLayout() const { return marker == kCurrentLayout; }
    bool Loads() const { return state != State::Ignored && (state != State::Binary || inspection.Complete()); }
};

Stored ReadStored(const PluginKey& key) {
    Stored stored;
    stored.value = key.Read(kValueFavorites);
    stored.marker = key.ReadMarker(kValueCheck);
    if (!stored.value) return stored;
    // The bar reads only non-empty binary data; anything else it treats as no favourites.
    if (stored.value->type != REG_BINARY) {
        stored.state = Stored::State::Ignored;
    } else if (stored.value->data.empty()) {
        stored.state = Stored::State::Empty;
    } else {
        stored.state = Stored::State::Binary;
        stored.inspection = Inspect(stored.value->data, stored.CurrentLayout());
    }
    return stored;
}

std::string IgnoredNote(const Stored& stored) {
    return "FavoriteArray is a " + TypeName(stored.value->type) +
           " value, which the bar ignores (it shows no favourites and its next save replaces the value)";
}

// For commands that need the whole tree: refuses what the bar would not load completely.
const Inspection* RequireLoads(const Stored& stored) {
    if (stored.state == Stored::State::Ignored) throw ToolError(IgnoredNote(stored) + "; see favtool check");
    if (stored.state != Stored::State::Binary) return nullptr;
    if (!stored.inspection.Complete()) {
        throw ToolError("FavoriteArray does not load completely: " + stored.inspection.StopReason() +
                        "; see favtool check");
    }
    return &stored.inspection;
}

// For commands that only read: the part that loads, with a warning for the rest.
std::vector<favfmt::Record> LoadedRecords(const Stored& stored, bool& complete) {
    complete = stored.Loads();
    if (stored.state == Stored::State::Ignored) PrintErr("favtool: warning: " + IgnoredNote(stored) + "\n");
    if (stored.state != Stored::State::Binary) return {};
    if (!complete) {
        PrintErr("favtool: warning: FavoriteArray does not load completely: " + stored.inspection.StopReason() +
                 "; showing the " + Plural(stored.inspection.records.size(), "record", "records") +
                 " before it (see favtool check)\n");
    }
    return stored.inspection.records;
}

RegValue BinaryValue(std::vector<std::uint8_t> data) { return RegValue{REG_BINARY, std::move(data)}; }

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

// ---- files

std::string ReadFileText(const std::wstring& file) {
    UniqueFile h(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) throw ToolError("cannot open " + ToUtf8(file) + " (" + SystemMessage(::GetLastError()) + ")");
    std::string text;
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h.get(), buffer, sizeof(buffer), &n, nullptr)) {
            throw ToolError("cannot read " + ToUtf8(file) + " (" + SystemMessage(::GetLastError()) + ")");
        }
        if (n == 0) return text;
        text.append(buffer, n);
    }
}

// Writes beside the file first, so a failed export leaves an existing file whole.
void WriteFileText(const std::wstring& file, const std::string& text) {
    const std::wstring partial = file + L".partial";
    {
        UniqueFile h(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
        if (!h) throw ToolError("cannot create " + ToUtf8(partial) + " (" + SystemMessage(::GetLastError()) + ")");
        DWORD written = 0;
        if (!::WriteFile(h.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size()) {
            const DWORD error = ::GetLastError();
            h.reset();
            ::DeleteFileW(partial.c_str());
            throw ToolError("cannot write " + ToUtf8(partial) + " (" + SystemMessage(error) + ")");
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
    if (*stored.marker == kCurrentLayout) return "check = 1: the current layout, folders keep their expanded state";
    return "check = " + std::to_string(*stored.marker) + ": read as the old layout, folders load collapsed";
}

std::string BackupLine(const std::optional<RegValue>& backup, bool currentLayout) {
    if (!backup) return "FavoriteArrayBackup: none\n";
    std::string line = "FavoriteArrayBackup: " + TypeName(backup->type) + ", " +
                       Plural(backup->data.size(), "byte", "bytes");
    if (backup->type != REG_BINARY || backup->data.empty()) return line + "; the bar would not load it\n";
    const Inspection asMarked = Inspect(backup->data, currentLayout);
    if (asMarked.Complete()) {
        return line + "; loads completely: " + Describe(Count(BuildTree(asMarked.records))) + "\n";
    }
    const Inspection otherLayout = Inspect(backup->data, !currentLayout);
    if (otherLayout.Complete()) {
        return line + "; loads completely in the " + (currentLayout ? "old" : "current") +
               " layout: " + Describe(Count(BuildTree(otherLayout.records))) + " (restore sets check to match)\n";
    }
    return line + "; does not load completely: " + asMarked.StopReason() + "\n";
}

std::string Notes(const Inspection& inspection) {
    std::string notes;
    std::size_t longLabels = 0;
    for (const favfmt::Record& r : inspection.records) {
        if (!LabelProblem(std::wstring(r.label.begin(), r.label.end())).empty()) ++longLabels;
    }
    if (longLabels) {
        notes += "  note: " + Plural(longLabels, "label is", "labels are") +
                 " longer than the bar holds (259 UTF-16 units) or hold a NUL; the bar shortens them\n";
    }
    if (inspection.deepestStored > favfmt::kMaxDepth) {
        notes += "  note: records stored deeper than level 101 (down to " + std::to_string(inspection.deepestStored) +
                 ") hang at level 101\n";
    }
    return notes;
}

// Which layout marker lets the bar load this value completely; nullopt when neither does.
std::optional<DWORD> MarkerThatLoads(const RegValue& value) {
    if (value.type != REG_BINARY || value.data.empty()) return std::nullopt;
    if (Inspect(value.data, true).Complete()) return kCurrentLayout;
    if (Inspect(value.data, false).Complete()) return kOldLayout;
    return std::nullopt;
}

}  // namespace

int ListCommand(const std::wstring& module) {
    const PluginKey key(module, KeyAccess::Read);
    const Stored stored = ReadStored(key);
    bool complete = true;
    const Tree tree = BuildTree(LoadedRecords(stored, complete));
    if (tree.empty()) {
        PrintOut("no favourites stored\n");
        return complete ? 0 : 1;
    }
    std::string out;
    PrintItems(tree, 0, out);
    const TreeCounts counts = Count(tree);
    out += Describe(counts) + ", " + Plural(counts.deepest, "level", "levels") +
           (counts.folders ? " ([-] expanded folder, [+] collapsed folder)" : "") + "\n";
    PrintOut(out);
    return complete ? 0 : 1;
}

int ExportCommand(const std::wstring& module, const std::wstring& file) {
    const PluginKey key(module, KeyAccess::Read);
    const Stored stored = ReadStored(key);
    const Inspection* inspection = RequireLoads(stored);
    const Tree tree = BuildTree(inspection ? inspection->records : std::vector<favfmt::Record>{});
    const std::string document = ExportDocument(tree);
    WriteFileText(file, document);
    if (inspection && favfmt::Encode(Flatten(tree)) != stored.value->data) {
        PrintErr(stored.CurrentLayout()
                     ? "favtool: note: the stored bytes differ from those the bar saves for this tree (levels "
                       "skipped, or unusual flag bytes); the document holds the tree as the bar shows it, and "
                       "import writes it as the bar saves it\n"
                     : "favtool: note: the stored value is in the old layout; import writes the current one\n");
    }
    PrintOut("export: wrote " + Describe(Count(tree)) + " to " + ToUtf8(file) + "\n");
    return 0;
}

int ImportCommand(const std::wstring& module, const std::wstring& file) {
    const std::string text = ReadFileText(file);
    Tree tree;
    try {
        tree = ImportDocument(text);
    } catch (const DocumentError& e) {
        throw ToolError(ToUtf8(file) + ":" + std::to_string(e.line) + ":" + std::to_string(e.column) + ": " +
                        e.what() + "; nothing was imported");
    }
    const std::vector<favfmt::Record> records = Flatten(tree);
    const RegValue value = BinaryValue(favfmt::Encode(records));
    const PluginKey key(module, KeyAccess::Write);
    const std::optional<RegValue> current = key.Read(kValueFavorites);
    const std::string where = " (module " + ToUtf8(module) + ")";
    const bool unchanged =
        records.empty() ? !current : (current == value && key.ReadMarker(kValueCheck) == kCurrentLayout);
    if (unchanged) {
        PrintOut("import: FavoriteArray already holds this tree" + where + "; nothing written\n");
        return 0;
    }
    ValueWrites writes(key);
    if (current) writes.Set(kValueFavoritesBackup, *current);
    // The bar keeps no value for an empty tree.
    if (records.empty()) {
        writes.Remove(kValueFavorites);
    } else {
        writes.Set(kValueFavorites, value);
        writes.Set(kValueCheck, DwordValue(kCurrentLayout));
    }
    PrintOut("import: wrote " + Describe(Count(tree)) + " to FavoriteArray" + where +
             (current ? "; the replaced value is in FavoriteArrayBackup\n" : "; there was no value to back up\n"));
    return 0;
}

int CheckCommand(const std::wstring& module) {
    const PluginKey key(module, KeyAccess::Read);
    const Stored stored = ReadStored(key);
    std::string out = "HKCU\\" + ToUtf8(key.Path()) + "\n";
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
        out += Notes(inspection);
        break;
    }
    }
    out += BackupLine(key.Read(kValueFavoritesBackup), stored.CurrentLayout());
    PrintOut(out);
    return stored.Loads() ? 0 : 1;
}

int RestoreCommand(const std::wstring& module) {
    const std::string where = " (module " + ToUtf8(module) + ")";
    if (!PluginKey(module, KeyAccess::Read).Read(kValueFavoritesBackup)) {
        throw ToolError("there is no FavoriteArrayBackup to restore" + where + "; nothing changed");
    }
    const PluginKey key(module, KeyAccess::Write);
    const std::optional<RegValue> backup = key.Read(kValueFavoritesBackup);
    if (!backup) throw ToolError("FavoriteArrayBackup disappeared; nothing changed");
    const std::optional<RegValue> current = key.Read(kValueFavorites);
    // A backup kept from an old-layout value loads only with the old marker.
    const std::optional<DWORD> marker = MarkerThatLoads(*backup);
    const bool setMarker = marker && key.ReadMarker(kValueCheck) != marker;

    ValueWrites writes(key);
    if (current) {
        writes.Set(kValueFavoritesBackup, *current);
    } else {
        writes.Remove(kValueFavoritesBackup);
    }
    writes.Set(kValueFavorites, *backup);
    if (setMarker) writes.Set(kValueCheck, DwordValue(*marker));
    PrintOut("restore: FavoriteArray now holds the backup" + where +
             (current ? " and FavoriteArrayBackup the value it replaced; run restore again to undo"
                      : "; there was no FavoriteArray, so no backup remains") +
             (setMarker ? "; check set to " + std::to_string(*marker) : std::string()) + "\n");
    return 0;
}

int RelocateCommand(const std::wstring& module, const std::wstring& from, const std::wstring& to, bool dryRun) {
    const PathPrefix prefix(from, to);
    if (prefix.Empty()) throw ToolError("the old path " + Quoted(from) + " names no folder or file");
    const std::string where = " (module " + ToUtf8(module) + ")";
    const PluginKey reader(module, KeyAccess::Read);
    const Stored stored = ReadStored(reader);
    const Inspection* inspection = RequireLoads(stored);
    std::vector<favfmt::Record> records = inspection ? inspection->records : std::vector<favfmt::Record>{};

    std::string changes;
    std::size_t changed = 0;
    for (favfmt::Record& record : records) {
        const std::optional<std::wstring> moved = prefix.Relocate(std::wstring(record.path.begin(), record.path.end()));
        if (!moved) continue;
        ++changed;
        changes += "  " + ToUtf8(std::wstring(record.label.begin(), record.label.end())) + ": " +
                   ToUtf8(std::wstring(record.path.begin(), record.path.end())) + " -> " + ToUtf8(*moved) + "\n";
        record.path.assign(moved->begin(), moved->end());
    }
    PrintOut(changes);
    if (changed == 0) {
        PrintOut("relocate: no favourite is at or below " + Quoted(from) + where + "; nothing written\n");
        return 0;
    }
    if (dryRun) {
        PrintOut("relocate: " + Plural(changed, "path", "paths") + " would change" + where +
                 "; dry run, nothing written\n");
        return 0;
    }
    const PluginKey key(module, KeyAccess::Write);
    if (key.Read(kValueFavorites) != stored.value) {
        throw ToolError("FavoriteArray changed while relocating; nothing written");
    }
    ValueWrites writes(key);
    writes.Set(kValueFavoritesBackup, *stored.value);
    writes.Set(kValueFavorites, BinaryValue(favfmt::Encode(records)));
    writes.Set(kValueCheck, DwordValue(kCurrentLayout));
    PrintOut("relocate: rewrote " + Plural(changed, "path", "paths") + " in FavoriteArray" + where +
             "; the replaced value is in FavoriteArrayBackup\n");
    return 0;
}

namespace {

struct MissingFiles {
    std::size_t favorites = 0;
    std::size_t missing = 0;
    std::string lines;
};

void FindMissing(const Tree& items, const std::string& folders, MissingFiles& found) {
    for (const Item& item : items) {
        const std::string label = folders + ToUtf8(item.label);
        if (!item.folder && !item.path.empty()) {
            ++found.favorites;
            if (::GetFileAttributesW(item.path.c_str()) == INVALID_FILE_ATTRIBUTES) {
                ++found.missing;
                found.lines += label + " -> " + ToUtf8(item.path) + "\n";
            }
        }
        FindMissing(item.children, label + " > ", found);
    }
}

}  // namespace

int MissingCommand(const std::wstring& module) {
    const PluginKey key(module, KeyAccess::Read);
    bool complete = true;
    const Tree tree = BuildTree(LoadedRecords(ReadStored(key), complete));
    MissingFiles found;
    FindMissing(tree, "", found);
    const std::string favorites = Plural(found.favorites, "favourite", "favourites");
    PrintOut(found.lines + (found.missing ? std::to_string(found.missing) + " of " + favorites +
                                                " point to files that do not exist\n"
                                          : "all " + favorites + " point to existing files\n"));
    return complete && found.missing == 0 ? 0 : 1;
}
