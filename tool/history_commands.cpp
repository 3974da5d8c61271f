// history and diff: the values replaced favourites were kept in.
#include "tool/commands.h"

#include <cstdio>
#include <map>

#include "tool/command_support.h"
#include "tool/console.h"
#include "tool/json_document.h"
#include "tool/text.h"

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
        if (!item.loads) out += " (does not load completely)";
        if (item.daily) out += " [first of its day]";
        out += "\n";
    }
    out += Plural(items.size(), "entry", "entries") +
           ", newest first, local times. Kept: the newest 15, and the first of each of the last 15 days that have "
           "entries (marked [first of its day]). favtool diff N compares one with FavoriteArray, favtool list "
           "--history N shows it, favtool restore --history N puts it back\n";
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
