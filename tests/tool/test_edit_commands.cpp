// favtool restore, relocate and missing, and what the tool does with bad
// command lines.
#include "tests/tool/favtool_fixture.h"

namespace {

std::vector<BYTE> Dword(DWORD value) { return {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)}; }

TEST_F(FavtoolTest, RestoreSwapsTheValuesWithTheirTypesAndUndoes) {
    PutFavorites(SampleTree());
    const std::vector<BYTE> damaged = {0x08, 0x0F, 0xEF, 0x00, 5, 0, 0, 0, 1};
    Put(L"FavoriteArrayBackup", REG_NONE, damaged);
    const KeySnapshot before = Snapshot();

    ToolRun run = Favtool({L"restore"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "restore: FavoriteArray now holds the backup"));
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

TEST_F(FavtoolTest, RestoreWithoutBackupChangesNothing) {
    ToolRun run = Favtool({L"restore"});
    EXPECT_EQ(1u, run.status);
    EXPECT_TRUE(Snapshot().empty()) << "no key is created";

    PutFavorites(SampleTree());
    const KeySnapshot before = Snapshot();
    run = Favtool({L"restore"});
    EXPECT_EQ(1u, run.status);
    EXPECT_TRUE(Contains(run.err, "there is no FavoriteArrayBackup to restore"));
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
    EXPECT_EQ("  a: C:\\Proj\\a.txt -> E:\\新しい\\a.txt\n"
              "  b: c:\\PROJ\\sub\\b.txt -> E:\\新しい\\sub\\b.txt\n"
              "  exact: c:\\proj -> E:\\新しい\n"
              "  メモ: C:\\pRoj\\資料\\メモ.txt -> E:\\新しい\\資料\\メモ.txt\n"
              "relocate: rewrote 4 paths in FavoriteArray (module " + Utf8(module) +
                  "); the replaced value is in FavoriteArrayBackup\n",
              run.out);
    std::vector<StoredRecord> moved = kScattered;
    moved[1].path = L"E:\\新しい\\a.txt";
    moved[2].path = L"E:\\新しい\\sub\\b.txt";
    moved[4].path = L"E:\\新しい";
    moved[6].path = L"E:\\新しい\\資料\\メモ.txt";
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(moved)}), Get(L"FavoriteArray"));
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(kScattered)}), Get(L"FavoriteArrayBackup"));
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

TEST_F(FavtoolTest, RelocateRefusesAValueThatDoesNotLoadCompletely) {
    const std::vector<BYTE> whole = StoredValue(kScattered);
    Put(L"FavoriteArray", REG_BINARY, std::vector<BYTE>(whole.begin(), whole.end() - 2));
    PutDword(L"check", 1);
    const KeySnapshot before = Snapshot();
    const ToolRun run = Favtool({L"relocate", L"C:\\Proj", L"E:\\x"});
    EXPECT_EQ(1u, run.status);
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
    EXPECT_EQ("Docs > ない -> " + Utf8(gone) + "\n1 of 3 favourites point to files that do not exist\n", run.out);

    WriteFile(gone, "back");
    run = Favtool({L"missing"});
    EXPECT_EQ(0u, run.status);
    EXPECT_EQ("all 3 favourites point to existing files\n", run.out);
}

TEST_F(FavtoolTest, BadCommandLinesAreUsageErrors) {
    for (const std::vector<std::wstring>& args :
         {std::vector<std::wstring>{L"frobnicate"}, {L"export"}, {L"relocate", L"C:\\a"}, {}}) {
        const ToolRun run = Favtool(args);
        EXPECT_EQ(2u, run.status) << run.err;
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_TRUE(Snapshot().empty());
}

}  // namespace
