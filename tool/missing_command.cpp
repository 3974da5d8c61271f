// missing: the favourites whose files are gone, each drive or share asked
// with a time limit.
#include "tool/commands.h"

#include <chrono>

#include "tool/command_support.h"
#include "tool/console.h"
#include "tool/file_probe.h"
#include "tool/json_document.h"
#include "tool/language.h"
#include "tool/text.h"

namespace {

// How long a drive or share may take to answer before missing gives up on it.
constexpr std::chrono::seconds kProbeTimeout{5};

// Why a file cannot be checked, in both languages: people read the one
// spoken, JSON documents carry the English one whatever the language.
probe::Answer CannotCheck(const std::string& prefix, DWORD error) {
    return {probe::Found::CannotCheck, prefix + SystemMessage(error, Language::English),
            prefix + SystemMessage(error, Language::Japanese)};
}

probe::Answer ProbeFile(const std::wstring& path) {
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return {};
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {probe::Found::Missing, {}, {}};
    return CannotCheck("", error);
}

probe::Answer ProbeRoot(const std::wstring& root) {
    if (::GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES) return {};
    return CannotCheck(ToUtf8(root) + ": ", ::GetLastError());
}

// The last line: how many favourites were checked and what was found.
std::string Summary(std::size_t checked, std::size_t missing, std::size_t unchecked) {
    if (missing == 0 && unchecked == 0) {
        return Say("all " + Plural(checked, "favourite", "favourites") + " point to existing files",
                   "お気に入り " + std::to_string(checked) + " 件のファイルはすべて存在します");
    }
    if (SpeaksJapanese()) {
        return "お気に入り " + std::to_string(checked) + " 件のうち " + std::to_string(missing) +
               " 件のファイルが存在しません" +
               (unchecked ? "。" + std::to_string(unchecked) + " 件は確認できませんでした" : "");
    }
    return std::to_string(missing) + " of " + Plural(checked, "favourite", "favourites") +
           (missing == 1 ? " points" : " point") + " to a file that does not exist" +
           (unchecked ? "; " + std::to_string(unchecked) + " could not be checked" : "");
}

Json FavoriteJson(const Favorite& favorite) {
    Json folders = Json::array();
    for (const std::wstring& folder : favorite.folders) folders.push_back(ToWtf8(folder));
    return Json{{"folders", folders}, {"label", ToWtf8(favorite.label)}, {"path", ToWtf8(favorite.path)}};
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
            lines += Say("missing: ", "存在しません: ") + FavoriteLine(favorites[i]) + "\n";
            missingJson.push_back(FavoriteJson(favorites[i]));
        } else if (answers[i].found == probe::Found::CannotCheck) {
            ++unchecked;
            lines += Say("cannot check: ", "確認できません: ") + FavoriteLine(favorites[i]) + " (" +
                     Say(answers[i].reason, answers[i].japaneseReason) + ")\n";
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
    PrintOut(lines + Summary(favorites.size(), missing, unchecked) + "\n");
    return status;
}
