// history and diff: the values replaced favourites were kept in.
#include "tool/commands.h"

#include <cstdio>
#include <map>

#include "tool/command_support.h"
#include "tool/console.h"
#include "tool/json_document.h"
#include "tool/language.h"
#include "tool/text.h"

namespace {

// The reasons the keeper and favtool name entries by. They are data (a
// reason reads the same in both languages and scripts match it); a Japanese
// reader gets what each means beside it.
std::string ReasonGloss(const std::string& reason) {
    static const struct {
        const char* reason;
        const char* japanese;
    } kGlosses[] = {
        {"import", "読み込み"},
        {"restore", "戻す"},
        {"relocate", "パスの付け替え"},
        {"unsaved", "保存できなかった編集"},
        {"backup", "バックアップから"},
        {"other writer", "ほかの書き込み元"},
        {"delete", "削除"},
        {"daily", "日ごとの保存"},
    };
    if (!SpeaksJapanese()) return {};
    for (const auto& gloss : kGlosses) {
        if (reason == gloss.reason) return std::string(" (") + gloss.japanese + ")";
    }
    return {};
}

std::string EntryLine(const HistoryItem& item, std::size_t number) {
    char numbered[16];
    (void)std::snprintf(numbered, sizeof(numbered), "%3zu  ", number);
    std::string line = numbered;
    if (item.named) {
        const std::string& reason = item.parsed.reason;
        line += LocalTime(item.parsed.utc) + "  " + (reason.empty() ? "-" : reason + ReasonGloss(reason));
    } else {
        line += item.name;
    }
    line += ": " + Describe(Count(BuildTree(item.inspection.records)));
    if (!item.loads) line += Say(" (does not load completely)", " (最後まで読めない)");
    if (item.daily) line += Say(" [first of its day]", " [その日の最初]");
    return line + "\n";
}

}  // namespace

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
                                   {"time", item.named ? Json(IsoLocalTime(item.parsed.utc)) : Json(nullptr)},
                                   {"reason", item.named ? item.parsed.reason : std::string()},
                                   {"favorites", counts.favorites},
                                   {"folders", counts.folders},
                                   {"bytes", item.bytes.size()},
                                   {"loads", item.loads},
                                   {"daily", item.daily}});
        }
        PrintJson(Json{{"version", kDocumentVersion}, {"key", Hkcu(key) + "\\History"}, {"entries", entries}});
        return kExitSuccess;
    }
    if (items.empty()) {
        const std::string where = Hkcu(key) + "\\History";
        PrintOut(Say("history: no entries in " + where + "\n", "history: " + where + " に履歴はありません\n"));
        return kExitSuccess;
    }
    std::string out;
    for (std::size_t n = 0; n < items.size(); ++n) out += EntryLine(items[n], n + 1);
    out += Say(Plural(items.size(), "entry", "entries") +
                   ", newest first, local times. Kept: the newest 15, and the first of each of the last 15 days that "
                   "have entries (marked [first of its day]). favtool diff N compares one with FavoriteArray, favtool "
                   "list --history N shows it, favtool restore --history N puts it back\n",
               Plural(items.size(), "entry", "entries") +
                   "、新しい順、時刻はローカル時刻です。残るのは最新の 15 件と、履歴のある最近の 15 日の"
                   "それぞれ最初の 1 件です ([その日の最初] の印)。favtool diff N で FavoriteArray と比べ、favtool "
                   "list --history N で中身を表示し、favtool restore --history N で元に戻せます\n");
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
    const std::string which = Say("history entry ", "履歴 ") + std::to_string(number);
    if (removed == 0 && added == 0) {
        PrintOut(Say(which + " and FavoriteArray hold the same favourites\n",
                     which + " と FavoriteArray のお気に入りは同じです\n"));
        return kExitSuccess;
    }
    const std::string lacked = Plural(removed, "favourite", "favourites");
    const std::string gained = Plural(added, "favourite", "favourites");
    out += Say("- " + lacked + " in " + which + " that FavoriteArray lacks, + " + gained + " in FavoriteArray that " +
                   which + " lacks\n",
               "- FavoriteArray にない" + which + " の" + lacked + "、+ " + which + " にない FavoriteArray の" +
                   gained + "\n");
    PrintOut(out);
    return kExitFinding;
}
