// favtool restore, relocate and missing, and what the tool does with bad
// command lines.
#include "tests/tool/favtool_fixture.h"

#include <nlohmann/json.hpp>

namespace {

std::vector<BYTE> Dword(DWORD value) { return {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)}; }

TEST_F(FavtoolTest, RestoreSwapsTheValuesWithTheirTypesAndUndoes) {
    PutFavorites(SampleTree());
    const std::vector<BYTE> damaged = {0x08, 0x0F, 0xEF, 0x00, 5, 0, 0, 0, 1};
    Put(L"FavoriteArrayBackup", REG_NONE, damaged);
    const KeySnapshot before = Snapshot();

    // Rescued bytes that do not load are swapped in only when asked: the bar
    // would show part of them and save over the rest.
    ToolRun run = Favtool({L"restore"});
    EXPECT_EQ(3u, run.status) << "refused, nothing written";
    EXPECT_TRUE(Contains(run.err, "--force"));
    EXPECT_EQ(before, Snapshot());

    run = Favtool({L"restore", L"--force"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "restore: replacing 4 favourites and 2 folders with the backup"));
    EXPECT_TRUE(Contains(run.out, "run favtool restore again to undo"));
    EXPECT_EQ((StoredValueOf{REG_NONE, damaged}), Get(L"FavoriteArray"));
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(SampleTree())}), Get(L"FavoriteArrayBackup"));
    EXPECT_EQ((StoredValueOf{REG_DWORD, Dword(1)}), Get(L"check")) << "a backup that loads in no layout keeps the marker";

    run = Favtool({L"restore"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ(before, Snapshot());
}

TEST_F(FavtoolTest, RestoreOfAnOldLayoutBackupSetsTheMarkerItLoadsWith) {
    PutFavorites(SampleTree());
    Put(L"FavoriteArrayBackup", REG_BINARY, StoredValue(SampleTree(), /*withExpandedByte=*/false));
    ASSERT_EQ(0u, Favtool({L"restore"}).status);
    EXPECT_EQ((StoredValueOf{REG_DWORD, Dword(0)}), Get(L"check"));
    EXPECT_EQ(0u, Favtool({L"check"}).status);
    ASSERT_EQ(0u, Favtool({L"restore"}).status);
    EXPECT_EQ((StoredValueOf{REG_DWORD, Dword(1)}), Get(L"check"));
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(SampleTree())}), Get(L"FavoriteArray"));
}

TEST_F(FavtoolTest, RestoreWithoutBackupHasNothingToDo) {
    PutFavorites(SampleTree());
    const KeySnapshot before = Snapshot();
    const ToolRun run = Favtool({L"restore"});
    EXPECT_EQ(0u, run.status);
    EXPECT_TRUE(Contains(run.out, "restore: nothing to do: there is no FavoriteArrayBackup"));
    EXPECT_EQ(before, Snapshot());
}

TEST_F(FavtoolTest, RestoreDryRunSaysWhatItWouldReplace) {
    PutFavorites(SampleTree());
    Put(L"FavoriteArrayBackup", REG_BINARY, StoredValue({{L"a", L"c:\\a", 1}}));
    const KeySnapshot before = Snapshot();
    const ToolRun run = Favtool({L"restore", L"--dry-run"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "would be replacing 4 favourites and 2 folders with the backup's 1 and 0"));
    EXPECT_TRUE(Contains(run.out, "dry run, nothing written"));
    EXPECT_EQ(before, Snapshot());
}

const std::vector<StoredRecord> kScattered = {
    {L"Work", L"", 1, true, true},
    {L"a", L"C:\\Proj\\a.txt", 2},
    {L"b", L"c:\\PROJ\\sub\\b.txt", 2},
    {L"c", L"C:\\Project\\c.txt", 2},
    {L"exact", L"c:\\proj", 1},
    {L"other", L"D:\\Proj\\d.txt", 1},
    {L"メモ", L"C:\\pRoj\\資料\\メモ.txt", 1},
};

TEST_F(FavtoolTest, RelocateMatchesWholeComponentsIgnoringCase) {
    PutFavorites(kScattered);
    const ToolRun run = Favtool({L"relocate", L"C:\\PROJ\\", L"E:\\新しい"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ(0u, run.out.find("  a: C:\\Proj\\a.txt -> E:\\新しい\\a.txt\n"
                               "  b: c:\\PROJ\\sub\\b.txt -> E:\\新しい\\sub\\b.txt\n"
                               "  exact: c:\\proj -> E:\\新しい\n"
                               "  メモ: C:\\pRoj\\資料\\メモ.txt -> E:\\新しい\\資料\\メモ.txt\n"
                               "relocate: rewrote 4 paths"))
        << run.out;
    EXPECT_TRUE(Contains(run.out, "favtool restore --history 1 puts it back"));
    std::vector<StoredRecord> moved = kScattered;
    moved[1].path = L"E:\\新しい\\a.txt";
    moved[2].path = L"E:\\新しい\\sub\\b.txt";
    moved[4].path = L"E:\\新しい";
    moved[6].path = L"E:\\新しい\\資料\\メモ.txt";
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(moved)}), Get(L"FavoriteArray"));
    EXPECT_FALSE(Has(L"FavoriteArrayBackup")) << "the backup holds only values that did not load";
}

TEST_F(FavtoolTest, RelocateDryRunAndNoMatchWriteNothing) {
    PutFavorites(kScattered);
    const KeySnapshot before = Snapshot();
    ToolRun run = Favtool({L"relocate", L"c:\\proj", L"E:\\x", L"--dry-run"});
    EXPECT_EQ(0u, run.status);
    EXPECT_TRUE(Contains(run.out, "  a: C:\\Proj\\a.txt -> E:\\x\\a.txt\n"));
    EXPECT_TRUE(Contains(run.out, "4 paths would change"));
    run = Favtool({L"relocate", L"C:\\Pro", L"E:\\x"});
    EXPECT_EQ(0u, run.status);
    EXPECT_TRUE(Contains(run.out, "nothing written"));
    EXPECT_EQ(before, Snapshot());
}

// Windows takes "/" for "\", and so do stored paths that came from elsewhere.
TEST_F(FavtoolTest, RelocateTakesSlashesForBackslashes) {
    PutFavorites({{L"a", L"C:/Proj/a.txt", 1}, {L"b", L"c:\\proj/sub\\b.txt", 1}, {L"c", L"C:/Project/c.txt", 1}});
    const ToolRun run = Favtool({L"relocate", L"c:/PROJ/", L"D:\\Work"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "rewrote 2 paths"));
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue({{L"a", L"D:\\Work/a.txt", 1}, {L"b", L"D:\\Work/sub\\b.txt", 1},
                                                       {L"c", L"C:/Project/c.txt", 1}})}),
              Get(L"FavoriteArray"));
}

TEST_F(FavtoolTest, RelocateWritesChangesOfCaseOnlyWhenAsked) {
    PutFavorites(kScattered);
    const KeySnapshot before = Snapshot();
    ToolRun run = Favtool({L"relocate", L"C:\\Proj", L"C:\\PROJ"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "  a: C:\\Proj\\a.txt -> C:\\PROJ\\a.txt (only the case or the slashes change; not written)"));
    EXPECT_TRUE(Contains(run.out, "relocate: nothing to do: only the case or the slashes of 4 paths would change"));
    EXPECT_TRUE(Contains(run.out, "--change-case"));
    EXPECT_EQ(before, Snapshot());

    run = Favtool({L"relocate", L"C:\\Proj", L"C:\\PROJ", L"--change-case"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "rewrote 4 paths"));
    EXPECT_NE(before, Snapshot());
}

TEST_F(FavtoolTest, RelocateRefusesNewPathsThatAreEmptyRelativeOrHoldAQuote) {
    PutFavorites(kScattered);
    const KeySnapshot before = Snapshot();
    for (const wchar_t* to : {L"", L"Work", L"..\\Work", L"\\Work", L"D:Work"}) {
        const ToolRun run = Favtool({L"relocate", L"C:\\Proj", to});
        EXPECT_EQ(2u, run.status) << Utf8(to);
        EXPECT_TRUE(Contains(run.err, "must start at a drive or share")) << Utf8(to);
    }
    // What cmd.exe passes for: favtool relocate "C:\My Docs\" D:\New
    RunSetup raw;
    raw.rawArguments = true;
    const ToolRun run = Favtool({L"relocate", L"\"C:\\My Docs\\\"", L"D:\\New"}, raw);
    EXPECT_EQ(2u, run.status) << run.out;
    EXPECT_TRUE(Contains(run.err, "holds a quote"));
    EXPECT_TRUE(Contains(run.err, "drop the trailing backslash"));
    EXPECT_EQ(before, Snapshot());
}

TEST_F(FavtoolTest, RelocateRefusesAValueThatDoesNotLoadCompletely) {
    const std::vector<BYTE> whole = StoredValue(kScattered);
    Put(L"FavoriteArray", REG_BINARY, std::vector<BYTE>(whole.begin(), whole.end() - 2));
    PutDword(L"check", 1);
    const KeySnapshot before = Snapshot();
    const ToolRun run = Favtool({L"relocate", L"C:\\Proj", L"E:\\x"});
    EXPECT_EQ(3u, run.status) << "refused, nothing written";
    EXPECT_TRUE(Contains(run.err, "does not load completely"));
    EXPECT_EQ(before, Snapshot());
}

TEST_F(FavtoolTest, MissingListsFavouritesWhoseFilesAreGone) {
    const std::wstring present = TempFile(L"存在する.txt");
    const std::wstring gone = TempFile(L"消えた.txt");
    WriteFile(present, "x");
    PutFavorites({{L"Docs", L"", 1, true, false}, {L"ある", present, 2}, {L"ない", gone, 2}, {L"top", present, 1}});
    ToolRun run = Favtool({L"missing"});
    EXPECT_EQ(1u, run.status);
    EXPECT_EQ("missing: Docs > ない -> " + Utf8(gone) + "\n", run.out.substr(0, run.out.find('\n') + 1));
    EXPECT_TRUE(Contains(run.out, "1 of 3 favourites points to a file that does not exist\n"));

    WriteFile(gone, "back");
    run = Favtool({L"missing"});
    EXPECT_EQ(0u, run.status);
    EXPECT_TRUE(Contains(run.out, "all 3 favourites point to existing files"));
    EXPECT_FALSE(Contains(run.out, "missing: "));
}

// A drive that is not there may come back (a USB disk, a network drive):
// its favourites cannot be checked, which is not "missing".
TEST_F(FavtoolTest, MissingTellsFilesThatAreGoneFromFilesItCannotCheck) {
    const DWORD drives = ::GetLogicalDrives();
    wchar_t free = 0;
    for (wchar_t letter = L'Q'; letter <= L'Y' && !free; ++letter) {
        if (!(drives & (1u << (letter - L'A')))) free = letter;
    }
    ASSERT_NE(0, free) << "no free drive letter";
    const std::wstring elsewhere = std::wstring(1, free) + L":\\away\\notes.txt";
    const std::wstring gone = TempFile(L"gone.txt");
    PutFavorites({{L"away", elsewhere, 1}, {L"away too", std::wstring(1, free) + L":\\b.txt", 1}, {L"gone", gone, 1}});
    ToolRun run = Favtool({L"missing"});
    EXPECT_EQ(1u, run.status);
    EXPECT_TRUE(Contains(run.out, "missing: gone -> " + Utf8(gone) + "\n"));
    EXPECT_TRUE(Contains(run.out, "cannot check: away -> " + Utf8(elsewhere) + " (" + std::string(1, char(free)) + ":\\: "));
    EXPECT_FALSE(Contains(run.out, "missing: away"));
    EXPECT_TRUE(Contains(run.out, "1 of 3 favourites points to a file that does not exist; 2 could not be checked\n"));

    run = Favtool({L"missing", L"--json"});
    EXPECT_EQ(1u, run.status);
    const nlohmann::json document = nlohmann::json::parse(run.out);
    EXPECT_EQ(3, document["checked"]);
    ASSERT_EQ(1u, document["missing"].size());
    EXPECT_EQ("gone", document["missing"][0]["label"]);
    ASSERT_EQ(2u, document["cannot_check"].size());
    EXPECT_EQ(Utf8(elsewhere), document["cannot_check"][0]["path"]);
    EXPECT_FALSE(document["cannot_check"][0]["reason"].get<std::string>().empty());
}

// One meaning per status for every command: 0 done, 1 a finding, 2 usage, 3 refused, 4 failed part-way.
TEST_F(FavtoolTest, ExitStatusesMeanTheSameForEveryCommand) {
    for (const std::vector<std::wstring>& args :
         {std::vector<std::wstring>{L"frobnicate"}, {L"export"}, {L"relocate", L"C:\\a"}, {}, {L"list", L"--bogus"},
          {L"--encoding", L"latin1", L"list"}}) {
        const ToolRun run = Favtool(args);
        EXPECT_EQ(2u, run.status) << run.err;
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_FALSE(KeyExists()) << "a usage error does nothing";

    const std::vector<BYTE> whole = StoredValue(SampleTree());
    Put(L"FavoriteArray", REG_BINARY, std::vector<BYTE>(whole.begin(), whole.end() - 1));
    PutDword(L"check", 1);
    for (const std::vector<std::wstring>& args :
         {std::vector<std::wstring>{L"list"}, {L"check"}, {L"missing"}, {L"list", L"--json"}}) {
        EXPECT_EQ(1u, Favtool(args).status) << Utf8(args[0]) << ": a value that does not load completely is a finding";
    }
    const KeySnapshot before = Snapshot();
    for (const std::vector<std::wstring>& args :
         {std::vector<std::wstring>{L"import", TempFile(L"no such file.json")}, {L"export", TempFile(L"never.json")},
          {L"relocate", L"C:\\Proj", L"D:\\x"}}) {
        EXPECT_EQ(3u, Favtool(args).status) << Utf8(args[0]) << ": refused, nothing written";
    }
    EXPECT_EQ(before, Snapshot());
}

// Each command that finds nothing to change says so the same way and succeeds.
TEST_F(FavtoolTest, NothingToDoIsOneAnswer) {
    PutFavorites(SampleTree());
    const std::wstring file = TempFile(L"same.json");
    ASSERT_EQ(0u, Favtool({L"export", file}).status);
    const KeySnapshot before = Snapshot();
    for (const std::vector<std::wstring>& args :
         {std::vector<std::wstring>{L"import", file}, {L"relocate", L"E:\\none", L"D:\\x"}, {L"restore"}}) {
        const ToolRun run = Favtool(args);
        EXPECT_EQ(0u, run.status) << Utf8(args[0]);
        EXPECT_EQ(0u, run.out.find(Utf8(args[0]) + ": nothing to do: ")) << run.out;
        EXPECT_TRUE(Contains(run.out, "; nothing written\n"));
    }
    EXPECT_EQ(before, Snapshot());
}

}  // namespace
