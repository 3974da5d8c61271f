// list and check: the tree, and what the value and its backup hold.
#include "tool/commands.h"

#include <algorithm>

#include "tool/command_support.h"
#include "tool/console.h"
#include "tool/json_document.h"
#include "tool/language.h"
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
    if (!stored.marker) {
        return Say("no check value: the old layout, folders load collapsed and the bar rewrites it",
                   "check の値なし: 古い形式です。フォルダーは閉じて読み込まれ、バーが書き直します");
    }
    if (*stored.marker == kMarkerCurrentLayout) {
        return Say("check = 1: the current layout, folders keep their expanded state",
                   "check = 1: 現在の形式です。フォルダーは開いた状態も保ちます");
    }
    const std::string marker = std::to_string(*stored.marker);
    return Say("check = " + marker + ": read as the old layout, folders load collapsed",
               "check = " + marker + ": 古い形式として読みます。フォルダーは閉じて読み込まれます");
}

std::string BackupLine(const BackupState& backup, bool currentLayout) {
    if (!backup.value) return Say("FavoriteArrayBackup: none\n", "FavoriteArrayBackup: なし\n");
    const std::string line = "FavoriteArrayBackup: " + TypeName(backup.value->type) + Say(", ", "、") +
                             Plural(backup.value->bytes.size(), "byte", "bytes");
    if (backup.value->type != REG_BINARY || backup.value->bytes.empty()) {
        return line + Say("; the bar would not load it\n", "。バーはこれを読み込みません\n");
    }
    if (!backup.loadsInCurrentLayout) {
        return line + Say("; does not load completely: ", "。最後まで読めません: ") + backup.asMarked.StopReason() + "\n";
    }
    const std::string counts = Describe(backup.counts);
    if (*backup.loadsInCurrentLayout == currentLayout) {
        return line + Say("; loads completely: ", "。最後まで読めます: ") + counts + "\n";
    }
    return line + Say(std::string("; loads completely in the ") + (currentLayout ? "old" : "current") + " layout: " +
                          counts + " (restore sets check to match)\n",
                      std::string("。") + (currentLayout ? "古い形式" : "現在の形式") + "で最後まで読めます: " + counts +
                          " (restore は check もそれに合わせます)\n");
}

// What the bar shows differently from the stored records, one phrase each,
// in the language given: the check document keeps them in English.
std::vector<std::string> Notes(const Inspection& inspection, Language language) {
    const bool japanese = language == Language::Japanese;
    std::vector<std::string> notes;
    std::size_t differing = 0;
    for (const favfmt::Record& r : inspection.records) {
        Item item;
        item.label.assign(r.label.begin(), r.label.end());
        item.path.assign(r.path.begin(), r.path.end());
        item.folder = r.folder;
        if (!BarDifferences(item).empty()) ++differing;
    }
    if (differing && japanese) {
        notes.push_back("レコード " + std::to_string(differing) +
                        " 件はバーでの表示が異なります (長いラベル、制御文字、対になっていないサロゲート、パスを持つ"
                        "フォルダー)。favtool export がそれぞれを示します");
    } else if (differing) {
        notes.push_back(std::to_string(differing) + (differing == 1 ? " record shows" : " records show") +
                        " differently in the bar (long labels, control characters, unpaired surrogates, folders with "
                        "paths); favtool export names them");
    }
    if (inspection.deepestStored > favfmt::kMaxDepth) {
        const std::string deepest = std::to_string(inspection.deepestStored);
        notes.push_back(japanese ? "階層 101 より深く保存されたレコード (階層 " + deepest + " まで) は階層 101 に並びます"
                                 : "records stored deeper than level 101 (down to " + deepest + ") hang at level 101");
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
                                                     {"reason", inspection.StopReason(Language::English)}};
        Json notes = Json::array();
        for (const std::string& note : Notes(inspection, Language::English)) notes.push_back(note);
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
        PrintOut(options.historyEntry > 0
                     ? Say(stored.name + " holds no favourites\n", stored.name + " にお気に入りはありません\n")
                     : Say("no favourites stored\n", "お気に入りは保存されていません\n"));
        return status;
    }
    std::string out;
    PrintItems(tree, 0, out);
    const std::string marks =
        counts.folders ? Say(" ([-] expanded folder, [+] collapsed folder)", " ([-] 開いたフォルダー、[+] 閉じたフォルダー)")
                       : "";
    out += Describe(counts) + Say(", ", "、") + Plural(counts.deepest, "level", "levels") + marks + "\n";
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
        out += Say("FavoriteArray: none (no favourites stored)\n",
                   "FavoriteArray: なし (お気に入りは保存されていません)\n");
        break;
    case Stored::State::Empty:
        out += Say("FavoriteArray: REG_BINARY, 0 bytes (no favourites stored)\n",
                   "FavoriteArray: REG_BINARY、0 バイト (お気に入りは保存されていません)\n");
        break;
    case Stored::State::Ignored:
        out += IgnoredNote(stored) + "\n";
        break;
    case Stored::State::Binary: {
        const Inspection& inspection = stored.inspection;
        const TreeCounts counts = Count(BuildTree(inspection.records));
        const std::string bytes = Plural(inspection.size, "byte", "bytes");
        const std::string records = Plural(static_cast<std::size_t>(std::max(inspection.count, 0)), "record", "records");
        out += Say("FavoriteArray: REG_BINARY, " + bytes + ", " + records + " counted\n",
                   "FavoriteArray: REG_BINARY、" + bytes + "、ヘッダーでは" + records + "\n");
        out += Say("  layout: ", "  形式: ") + LayoutLine(stored) + "\n";
        const std::string deepest = std::to_string(counts.deepest);
        out += "  " + Describe(counts) + Say(", deepest level " + deepest, "、いちばん深い階層 " + deepest) + "\n";
        if (stored.Loads()) {
            out += Say("  loads completely: yes\n", "  最後まで読める: はい\n");
        } else {
            out += Say("  loads completely: no, ", "  最後まで読める: いいえ。") + inspection.StopReason() + "\n";
            const std::string before = Plural(inspection.records.size(), "record", "records");
            out += Say("  the bar shows the " + before +
                           " before it and copies the stored bytes to FavoriteArrayBackup before its next save\n",
                       "  バーはその前の" + before +
                           "を表示し、次に保存する前に保存済みのバイト列を FavoriteArrayBackup にコピーします\n");
        }
        for (const std::string& note : Notes(inspection, SpokenLanguage())) {
            out += Say("  note: ", "  注意: ") + note + "\n";
        }
        break;
    }
    }
    out += BackupLine(backup, stored.CurrentLayout());
    PrintOut(out);
    return status;
}
