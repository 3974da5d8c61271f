// favtool's reports in Japanese: list, check, history and diff, the
// warnings of a value that does not load, the entries that are not there and
// the writers' lock another writer holds. Documents stay as they are in
// English, whatever the language.
#include "tests/tool/favtool_fixture.h"

#include <sstream>

#include "common/handles.h"
#include "store/writers_lock.h"
#include "tests/win/held_writers_lock.h"

namespace {

const std::vector<StoredRecord> kOne = {{L"a.txt", L"C:\\a.txt", 1}};
const std::vector<StoredRecord> kTwo = {{L"a.txt", L"C:\\a.txt", 1}, {L"b.txt", L"C:\\b.txt", 1}};

// An entry name as the plug-in makes them, minutes after 10:00 UTC on 2020-01-01.
std::wstring EntryName(int minute, const wchar_t* reason) {
    wchar_t name[64];
    swprintf(name, 64, L"2020-01-01T10:%02d:00.000Z-%04d %ls", minute, minute, reason);
    return name;
}

// The line of the output that starts with prefix; empty when none does.
std::string LineStarting(const std::string& out, const std::string& prefix) {
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) == 0) return line;
    }
    return {};
}

}  // namespace

class JapaneseReportsTest : public FavtoolTest {
protected:
    // favtool --lang ja ...; whatever it printed must be Japanese throughout.
    ToolRun Japanese(const std::vector<std::wstring>& args) const {
        ToolRun run = JapaneseDocument(args);
        EXPECT_TRUE(SpeaksOnlyJapanese(run.out + run.err)) << Utf8(args[0]);
        return run;
    }
    // favtool --lang ja ... --json: the document is for scripts, in English.
    ToolRun JapaneseDocument(const std::vector<std::wstring>& args) const {
        RunSetup setup;
        setup.language = L"ja";
        return Favtool(args, setup);
    }
    std::wstring HistoryPath() const { return L"Software\\Kalmet\\ZorvexPlugIns\\" + module + L"\\History"; }
    void PutEntry(const std::wstring& name, DWORD type, const std::vector<BYTE>& data) const {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_CURRENT_USER, HistoryPath().c_str(), name.c_str(), type,
                                                    data.data(), static_cast<DWORD>(data.size())));
    }
    void MakeEmptyHistory() const {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, HistoryPath().c_str(), 0, nullptr, 0, KEY_WRITE,
                                                   nullptr, &key, nullptr));
        ::RegCloseKey(key);
    }
};

TEST_F(JapaneseReportsTest, ListShowsTheTreeAndItsCounts) {
    PutFavorites(SampleTree());
    ToolRun run = Japanese({L"list"});
    EXPECT_EQ(0u, run.status) << run.err;
    // The tree is data: labels, paths and the folder marks as in English.
    EXPECT_EQ("[-] Projects\n"
              "    readme.txt -> C:\\Proj\\readme.txt\n"
              "    日本語メモ -> C:\\Proj\\資料\\メモ.txt\n"
              "    [+] Old\n"
              "        notes.txt -> C:\\Project\\notes.txt\n"
              "todo.txt -> c:\\proj\n"
              "お気に入り 4 件とフォルダー 2 個、3 階層 ([-] 開いたフォルダー、[+] 閉じたフォルダー)\n",
              run.out);
    EXPECT_EQ("", run.err);

    PutFavorites(kOne);
    run = Japanese({L"list"});
    EXPECT_EQ("a.txt -> C:\\a.txt\nお気に入り 1 件とフォルダー 0 個、1 階層\n", run.out) << "no folder marks to explain";

    // The list document is the same in both languages.
    PutFavorites(SampleTree());
    EXPECT_EQ(Favtool({L"list", L"--json"}).out, JapaneseDocument({L"list", L"--json"}).out);
}

TEST_F(JapaneseReportsTest, NothingStoredIsSaidSo) {
    PutDword(L"OpenStartup", 0);
    ToolRun run = Japanese({L"list"});
    EXPECT_EQ(0u, run.status);
    EXPECT_EQ("お気に入りは保存されていません\n", run.out);
    run = Japanese({L"check"});
    EXPECT_EQ(0u, run.status);
    EXPECT_TRUE(Contains(run.out, "FavoriteArray: なし (お気に入りは保存されていません)\n"));
    EXPECT_TRUE(Contains(run.out, "FavoriteArrayBackup: なし\n"));

    Put(L"FavoriteArray", REG_BINARY, {});
    run = Japanese({L"check"});
    EXPECT_EQ(0u, run.status);
    EXPECT_TRUE(Contains(run.out, "FavoriteArray: REG_BINARY、0 バイト (お気に入りは保存されていません)\n"));
}

// list shows what loads and warns about the rest, on standard error.
TEST_F(JapaneseReportsTest, ListWarnsOfAValueThatDoesNotLoad) {
    const std::vector<StoredRecord> tree = SampleTree();
    const std::vector<BYTE> whole = StoredValue(tree);
    const std::size_t record3 = StoredValue({tree[0], tree[1]}).size();
    Put(L"FavoriteArray", REG_BINARY, std::vector<BYTE>(whole.begin(), whole.begin() + record3 + 5));
    PutDword(L"check", 1);
    ToolRun run = Japanese({L"list"});
    EXPECT_EQ(1u, run.status);
    EXPECT_TRUE(Contains(run.out, "[-] Projects\n    readme.txt -> C:\\Proj\\readme.txt\n"));
    EXPECT_TRUE(Contains(run.err, "favtool: 警告: FavoriteArray は最後まで読めません: レコード 3 (全 6 件中、バイト位置 " +
                                      std::to_string(record3) + ") が値の終わり (" + std::to_string(record3 + 5) +
                                      " バイト) を越えています。その前のレコード 2 件を表示します (詳しくは favtool check)\n"));

    Put(L"FavoriteArray", REG_SZ, {'a', 0, 0, 0});
    run = Japanese({L"list"});
    EXPECT_EQ(1u, run.status);
    EXPECT_TRUE(Contains(run.err, "favtool: 警告: FavoriteArray は REG_SZ の値で、バーはこれを無視します"));
    EXPECT_TRUE(Contains(run.out, "お気に入りは保存されていません"));
}

TEST_F(JapaneseReportsTest, CheckReportsACompleteValueAndItsLayout) {
    PutFavorites(SampleTree());
    const std::string size = std::to_string(StoredValue(SampleTree()).size());
    ToolRun run = Japanese({L"check"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "FavoriteArray: REG_BINARY、" + size + " バイト、ヘッダーではレコード 6 件\n"));
    EXPECT_TRUE(Contains(run.out, "  形式: check = 1: 現在の形式です。"));
    EXPECT_TRUE(Contains(run.out, "  お気に入り 4 件とフォルダー 2 個、いちばん深い階層 3\n"));
    EXPECT_TRUE(Contains(run.out, "  最後まで読める: はい\n"));
    EXPECT_TRUE(Contains(run.out, "FavoriteArrayBackup: なし\n"));

    // The old layout, without the check value and with another one.
    Put(L"FavoriteArray", REG_BINARY, StoredValue(SampleTree(), /*withExpandedByte=*/false));
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, (L"Software\\Kalmet\\ZorvexPlugIns\\" + module).c_str(), L"check");
    run = Japanese({L"check"});
    EXPECT_EQ(0u, run.status) << run.out;
    EXPECT_TRUE(Contains(run.out, "  形式: check の値なし: 古い形式です。"));
    EXPECT_TRUE(Contains(run.out, "  最後まで読める: はい\n"));
    PutDword(L"check", 0);
    run = Japanese({L"check"});
    EXPECT_TRUE(Contains(run.out, "  形式: check = 0: 古い形式として読みます。"));

    // A value the bar ignores.
    Put(L"FavoriteArray", REG_SZ, {'a', 0, 0, 0});
    run = Japanese({L"check"});
    EXPECT_EQ(1u, run.status);
    EXPECT_TRUE(Contains(run.out, "FavoriteArray は REG_SZ の値で、バーはこれを無視します (お気に入りを表示せず、"));
}

// Each damaged value, said where reading stops and why; the document keeps
// the English reason scripts read.
TEST_F(JapaneseReportsTest, CheckLocatesWhereADamagedValueStops) {
    const std::vector<StoredRecord> tree = SampleTree();
    const std::vector<BYTE> whole = StoredValue(tree);
    const std::size_t record3 = StoredValue({tree[0], tree[1]}).size();
    const std::size_t record2 = StoredValue({tree[0]}).size();
    std::vector<BYTE> badTag = whole;
    badTag[0] = 0x09;
    std::vector<BYTE> trailing = whole;
    trailing.insert(trailing.end(), {0, 0, 0});
    const struct {
        std::vector<BYTE> value;
        std::string reason;
        std::size_t loaded;
    } cases[] = {
        {std::vector<BYTE>(whole.begin(), whole.begin() + record3 + 5),
         "レコード 3 (全 6 件中、バイト位置 " + std::to_string(record3) + ") が値の終わり (" +
             std::to_string(record3 + 5) + " バイト) を越えています",
         2},
        {badTag, "お気に入りの値ではありません: 先頭が 08 0F EF 00 ではなく 09 0F EF 00 です", 0},
        {std::vector<BYTE>(whole.begin(), whole.begin() + 5), "値は 5 バイトしかなく、8 バイトのヘッダーより短いです", 0},
        {StoredValue({tree[0], {L"x", L"c:\\x", 0}, tree[5]}),
         "レコード 2 (全 3 件中、バイト位置 " + std::to_string(record2) + ") の深さが 0 で、ツリーがそこで途切れています",
         1},
        {trailing,
         "数えた最後のレコード、レコード 6 (全 6 件中、バイト位置 " + std::to_string(whole.size()) +
             ") のあとに 3 バイトが続いています",
         6},
    };
    for (const auto& c : cases) {
        Put(L"FavoriteArray", REG_BINARY, c.value);
        PutDword(L"check", 1);
        const ToolRun check = Japanese({L"check"});
        EXPECT_EQ(1u, check.status) << c.reason;
        EXPECT_TRUE(Contains(check.out, "  最後まで読める: いいえ。" + c.reason + "\n"));
        EXPECT_TRUE(Contains(check.out, "  バーはその前のレコード " + std::to_string(c.loaded) + " 件を表示し、"));
        const ToolRun english = Favtool({L"check", L"--json"});
        EXPECT_TRUE(Contains(english.out, "\"reason\": \"")) << english.out;
        EXPECT_EQ(english.out, JapaneseDocument({L"check", L"--json"}).out);
    }
}

TEST_F(JapaneseReportsTest, CheckReportsTheBackupAndTheNotes) {
    // A folder with a path shows without it in the bar: a note.
    std::vector<StoredRecord> tree = SampleTree();
    tree.push_back({L"F", L"c:\\f", 1, true, false});
    PutFavorites(tree);
    const std::vector<BYTE> whole = StoredValue(SampleTree());
    const std::string bytes = std::to_string(whole.size());
    Put(L"FavoriteArrayBackup", REG_BINARY, whole);
    ToolRun run = Japanese({L"check"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "  注意: レコード 1 件はバーでの表示が異なります ("));
    EXPECT_TRUE(Contains(run.out, "FavoriteArrayBackup: REG_BINARY、" + bytes +
                                      " バイト。最後まで読めます: お気に入り 4 件とフォルダー 2 個\n"));
    EXPECT_EQ(Favtool({L"check", L"--json"}).out, JapaneseDocument({L"check", L"--json"}).out) << "notes stay English there";

    Put(L"FavoriteArrayBackup", REG_BINARY, std::vector<BYTE>(whole.begin(), whole.end() - 1));
    run = Japanese({L"check"});
    EXPECT_EQ(0u, run.status) << "only FavoriteArray decides the status";
    EXPECT_TRUE(Contains(run.out, " バイト。最後まで読めません: レコード 6 (全 6 件中、"));

    Put(L"FavoriteArrayBackup", REG_BINARY, StoredValue(SampleTree(), /*withExpandedByte=*/false));
    run = Japanese({L"check"});
    EXPECT_TRUE(Contains(run.out, " バイト。古い形式で最後まで読めます: お気に入り 4 件とフォルダー 2 個 (restore は check "
                                  "もそれに合わせます)\n"));

    Put(L"FavoriteArrayBackup", REG_SZ, {'a', 0, 0, 0});
    run = Japanese({L"check"});
    EXPECT_TRUE(Contains(run.out, "FavoriteArrayBackup: REG_SZ、4 バイト。バーはこれを読み込みません\n"));
}

// The entries with their reasons as data (glossed), the day's first marked,
// and an entry that does not load said so.
TEST_F(JapaneseReportsTest, HistoryListsTheEntries) {
    PutFavorites(kTwo);
    MakeEmptyHistory();
    ToolRun run = Japanese({L"history"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "history: HKCU\\"));
    EXPECT_TRUE(Contains(run.out, "\\History に履歴はありません\n"));

    for (int minute = 1; minute <= 15; ++minute) PutEntry(EntryName(minute, L"import"), REG_BINARY, StoredValue(kOne));
    PutEntry(EntryName(16, L"unsaved"), REG_BINARY, StoredValue(SampleTree()));
    std::vector<BYTE> damaged = StoredValue(kTwo);
    damaged.pop_back();
    PutEntry(EntryName(17, L"delete"), REG_BINARY, damaged);
    run = Japanese({L"history"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(LineStarting(run.out, "  1  "), "  delete (削除): お気に入り 1 件とフォルダー 0 個 (最後まで読めない)"));
    EXPECT_TRUE(Contains(LineStarting(run.out, "  2  "), "  unsaved (保存できなかった編集): お気に入り 4 件とフォルダー 2 個"));
    EXPECT_TRUE(Contains(LineStarting(run.out, " 17  "), "  import (読み込み): お気に入り 1 件とフォルダー 0 個 [その日の最初]"));
    EXPECT_FALSE(Contains(LineStarting(run.out, " 16  "), "[その日の最初]"));
    EXPECT_TRUE(Contains(run.out, "\n履歴 17 件、新しい順、時刻はローカル時刻です。"));
    EXPECT_TRUE(Contains(run.out, "favtool restore --history N で元に戻せます\n"));
    EXPECT_EQ(Favtool({L"history", L"--json"}).out, JapaneseDocument({L"history", L"--json"}).out);
}

TEST_F(JapaneseReportsTest, DiffComparesAnEntryWithTheValue) {
    PutFavorites(kTwo);
    PutEntry(EntryName(1, L"import"), REG_BINARY, StoredValue(kTwo));
    PutEntry(EntryName(2, L"import"), REG_BINARY, StoredValue({{L"c.txt", L"C:\\c.txt", 1}, kTwo[0]}));
    ToolRun run = Japanese({L"diff"});
    EXPECT_EQ(1u, run.status) << run.err;
    EXPECT_EQ("- c.txt -> C:\\c.txt\n"
              "+ b.txt -> C:\\b.txt\n"
              "- FavoriteArray にない履歴 1 のお気に入り 1 件、+ 履歴 1 にない FavoriteArray のお気に入り 1 件\n",
              run.out);

    run = Japanese({L"diff", L"2"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_EQ("履歴 2 と FavoriteArray のお気に入りは同じです\n", run.out);
}

// An entry that is not there is a usage error for every command that reads
// one; one that does not load is warned of or refused.
TEST_F(JapaneseReportsTest, EntriesThatAreNotThereOrDoNotLoad) {
    PutFavorites(kTwo);
    MakeEmptyHistory();
    ToolRun run = Japanese({L"diff"});
    EXPECT_EQ(2u, run.status);
    EXPECT_TRUE(Contains(run.err, "favtool: 履歴がありません\n"));

    PutEntry(EntryName(1, L"import"), REG_BINARY, {});
    const std::wstring file = TempFile(L"entry.json");
    for (const std::vector<std::wstring>& args : {std::vector<std::wstring>{L"list", L"--history", L"3"},
                                                  {L"export", L"--history", L"3", file},
                                                  {L"diff", L"3"}}) {
        run = Japanese(args);
        EXPECT_EQ(2u, run.status) << Utf8(args[0]);
        EXPECT_TRUE(Contains(run.err, "履歴 3 はありません。履歴の番号は 1 (最新) から 1 までです (favtool history "
                                      "で一覧できます)"))
            << Utf8(args[0]);
    }
    run = Japanese({L"list", L"--history", L"1"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_EQ("履歴 1 にお気に入りはありません\n", run.out);

    std::vector<BYTE> damaged = StoredValue(kTwo);
    damaged.pop_back();
    PutEntry(EntryName(2, L"import"), REG_BINARY, damaged);
    run = Japanese({L"list", L"--history", L"1"});
    EXPECT_EQ(1u, run.status);
    EXPECT_TRUE(Contains(run.err, "favtool: 警告: 履歴 1 は最後まで読めません: レコード 2 (全 2 件中、"));
    EXPECT_TRUE(Contains(run.out, "a.txt -> C:\\a.txt\n"));
    run = Japanese({L"export", L"--history", L"1", file});
    EXPECT_EQ(3u, run.status);
    EXPECT_TRUE(Contains(run.err, "favtool: 履歴 1 は最後まで読めません: "));
    EXPECT_TRUE(Contains(run.err, "。詳しくは favtool check で確かめられます\n"));

    PutEntry(EntryName(3, L"import"), REG_SZ, {'a', 0, 0, 0});
    run = Japanese({L"list", L"--history", L"1"});
    EXPECT_TRUE(Contains(run.err, "favtool: 警告: 履歴 1 は REG_SZ の値で、バーはこれを読み込みません\n"));
}

// A write that cannot take the writers' lock says why and writes nothing.
TEST_F(JapaneseReportsTest, WritesSayWhyTheWritersLockWasNotTaken) {
    PutFavorites(kOne);
    Put(L"FavoriteArrayBackup", REG_BINARY, StoredValue(kTwo));
    const std::wstring file = TempFile(L"lock.json");
    WriteFile(file, R"({"version": 1, "favorites": [{"label": "c", "path": "c:\\c"}]})");
    const std::wstring keyPath = L"Software\\Kalmet\\ZorvexPlugIns\\" + module;
    const KeySnapshot before = Snapshot();
    {
        HeldWritersLock other(keyPath);
        for (const std::vector<std::wstring>& args : {std::vector<std::wstring>{L"import", file}, {L"restore"}}) {
            const ToolRun run = Japanese(args);
            EXPECT_EQ(3u, run.status) << Utf8(args[0]);
            EXPECT_EQ("favtool: ほかの書き込み元 (エディター、または別の favtool) がお気に入りのロックを持ったまま放しません"
                      "でした。何も書き込んでいません\n",
                      run.err);
        }
    }
    {
        const UniqueKernelHandle taken(::CreateEventW(nullptr, TRUE, FALSE, favstore::WritersLockName(keyPath.c_str()).c_str()));
        ASSERT_TRUE(taken);
        const ToolRun run = Japanese({L"restore"});
        EXPECT_EQ(3u, run.status);
        EXPECT_TRUE(Contains(run.err, "favtool: お気に入りのロックを開けません ("));
        EXPECT_TRUE(Contains(run.err, "。何も書き込んでいません\n"));
    }
    EXPECT_EQ(before, Snapshot());
}
