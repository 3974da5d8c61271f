// list and check: the tree, and what the value and its backup hold.
#include "tool/commands.h"

#include <algorithm>

#include "tool/command_support.h"
#include "tool/console.h"
#include "tool/json_document.h"
#include "tool/text.h"

namespace {

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

std::string LayoutLine(const Stored& stored) {
    if (!stored.marker) return "no check value: the old layout, folders load collapsed and the bar rewrites it";
    if (*stored.marker == kMarkerCurrentLayout) return "check = 1: the current layout, folders keep their expanded state";
    return "check = " + std::to_string(*stored.marker) + ": read as the old layout, folders load collapsed";
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
        value["stop"] = stored.Loads() ? Json(nullptr)
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
    const Stored stored = ReadStoredOrEntry(key, options);
    const Tree tree = BuildTree(LoadedRecords(stored));
    const int status = stored.Loads() ? kExitSuccess : kExitFinding;
    const TreeCounts counts = Count(tree);
    if (options.json) {
        // Shaped as an exported document, so that it can be imported as it is.
        Json meta{{"module", ToWtf8(options.module)},
                  {"key", ToWtf8(L"HKCU\\" + key.Path())},
                  {"loads_completely", stored.Loads()},
                  {"counts", CountsJson(counts)}};
        if (options.historyEntry > 0) meta["history_entry"] = options.historyEntry;
        PrintJson(Json{{"version", kDocumentVersion}, {"meta", meta}, {"favorites", ItemsJson(tree)}});
        return status;
    }
    if (tree.empty()) {
        PrintOut(options.historyEntry > 0 ? stored.name + " holds no favourites\n" : "no favourites stored\n");
        return status;
    }
    std::string out;
    PrintItems(tree, 0, out);
    out += Describe(counts) + ", " + Plural(counts.deepest, "level", "levels") +
           (counts.folders ? " ([-] expanded folder, [+] collapsed folder)" : "") + "\n";
    PrintOut(out);
    return status;
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
        if (stored.Loads()) {
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
