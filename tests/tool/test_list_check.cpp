// favtool list and check: what the bar would show, and where a damaged value
// stops loading.
#include "tests/tool/favtool_fixture.h"

namespace {

TEST_F(FavtoolTest, ListShowsTheTreeIndentedWithFolderStates) {
    PutFavorites(SampleTree());
    const ToolRun run = Favtool({L"list"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_EQ("[-] Projects\n"
              "    readme.txt -> C:\\Proj\\readme.txt\n"
              "    日本語メモ -> C:\\Proj\\資料\\メモ.txt\n"
              "    [+] Old\n"
              "        notes.txt -> C:\\Project\\notes.txt\n"
              "todo.txt -> c:\\proj\n"
              "4 favourites and 2 folders, 3 levels ([-] expanded folder, [+] collapsed folder)\n",
              run.out);
}

TEST_F(FavtoolTest, NothingStoredIsNoFavouritesAndSuccess) {
    PutDword(L"OpenStartup", 0);  // the key the plug-in made, without favourites
    for (const wchar_t* command : {L"list", L"check"}) {
        const ToolRun run = Favtool({command});
        EXPECT_EQ(0u, run.status) << Utf8(command) << run.err;
        EXPECT_TRUE(Contains(run.out, "no favourites stored"));
    }
}

// A key that is not there is a misspelt --module far more often than a
// plug-in that never ran: every command says so, names the keys that do hold
// favourites, and creates nothing.
TEST_F(FavtoolTest, AMissingKeyIsReportedWithTheKeysThatHoldFavourites) {
    const std::wstring sibling = module + L"_sibling";
    PutIn(sibling, L"FavoriteArray", REG_BINARY, StoredValue(SampleTree()));
    const std::wstring file = TempFile(L"doc.json");
    WriteFile(file, R"({"version": 1, "favorites": []})");
    for (const std::vector<std::wstring>& args :
         {std::vector<std::wstring>{L"list"}, {L"check"}, {L"missing"}, {L"export", TempFile(L"out.json")},
          {L"restore"}, {L"relocate", L"C:\\a", L"D:\\b"}, {L"import", file}, {L"list", L"--json"}}) {
        const ToolRun run = Favtool(args);
        EXPECT_EQ(3u, run.status) << Utf8(args[0]) << run.out;
        EXPECT_TRUE(Contains(run.err, Utf8(module) + " does not exist")) << Utf8(args[0]);
        EXPECT_TRUE(Contains(run.err, "keys that hold favourites: ")) << Utf8(args[0]);
        EXPECT_TRUE(Contains(run.err, Utf8(sibling))) << Utf8(args[0]);
        EXPECT_FALSE(Contains(run.out, "no favourites stored")) << Utf8(args[0]);
    }
    EXPECT_FALSE(KeyExists());
}

TEST_F(FavtoolTest, ModuleNamesWithADotAreRefusedWithTheNameToUse) {
    RunSetup setup;
    setup.withModule = false;
    ToolRun run = Favtool({L"--module", L"Favorites.dll", L"list"}, setup);
    EXPECT_EQ(2u, run.status);
    EXPECT_TRUE(Contains(run.err, "use --module Favorites"));
    run = Favtool({L"--module", L"my.fav", L"check"}, setup);
    EXPECT_EQ(2u, run.status);
    EXPECT_TRUE(Contains(run.err, "use --module my"));
    run = Favtool({L"--module", L"a/b", L"check"}, setup);
    EXPECT_EQ(2u, run.status);
}

TEST_F(FavtoolTest, CheckReportsACompleteValue) {
    PutFavorites(SampleTree());
    const ToolRun run = Favtool({L"check"});
    EXPECT_EQ(0u, run.status) << run.out;
    const std::string size = std::to_string(StoredValue(SampleTree()).size());
    EXPECT_TRUE(Contains(run.out, "FavoriteArray: REG_BINARY, " + size + " bytes, 6 records counted\n"));
    EXPECT_TRUE(Contains(run.out, "check = 1: the current layout"));
    EXPECT_TRUE(Contains(run.out, "4 favourites and 2 folders, deepest level 3\n"));
    EXPECT_TRUE(Contains(run.out, "loads completely: yes\n"));
    EXPECT_TRUE(Contains(run.out, "FavoriteArrayBackup: none\n"));
}

TEST_F(FavtoolTest, CheckReadsAValueWithoutMarkerInTheOldLayout) {
    Put(L"FavoriteArray", REG_BINARY, StoredValue(SampleTree(), /*withExpandedByte=*/false));
    const ToolRun run = Favtool({L"check"});
    EXPECT_EQ(0u, run.status) << run.out;
    EXPECT_TRUE(Contains(run.out, "no check value: the old layout"));
    EXPECT_TRUE(Contains(run.out, "loads completely: yes\n"));
}

// Each damaged value: check fails, says where reading stops and why, and
// list still shows what loads before it.
TEST_F(FavtoolTest, CheckLocatesWhereADamagedValueStops) {
    const std::vector<StoredRecord> tree = SampleTree();
    const std::vector<BYTE> whole = StoredValue(tree);
    const std::size_t record3 = StoredValue({tree[0], tree[1]}).size();
    const std::size_t record2 = StoredValue({tree[0]}).size();

    std::vector<BYTE> badTag = whole;
    badTag[0] = 0x09;
    std::vector<BYTE> depthZero = StoredValue({tree[0], {L"x", L"c:\\x", 0}, tree[5]});
    std::vector<BYTE> trailing = whole;
    trailing.insert(trailing.end(), {0, 0, 0});
    const struct {
        std::vector<BYTE> value;
        std::string reason;
        std::size_t loaded;
    } cases[] = {
        {std::vector<BYTE>(whole.begin(), whole.begin() + record3 + 5),
         "record 3 of 6 (byte offset " + std::to_string(record3) + ") runs past the end of the value (" +
             std::to_string(record3 + 5) + " bytes)",
         2},
        {badTag, "not a favourites value: it starts with 09 0F EF 00, not 08 0F EF 00", 0},
        {std::vector<BYTE>(whole.begin(), whole.begin() + 5), "the value is 5 bytes, shorter than its 8-byte header", 0},
        {depthZero, "record 2 of 3 (byte offset " + std::to_string(record2) + ") has depth 0", 1},
        {trailing, "3 bytes follow the last counted record, record 6 of 6 (byte offset " + std::to_string(whole.size()) + ")",
         6},
    };
    for (const auto& c : cases) {
        Put(L"FavoriteArray", REG_BINARY, c.value);
        PutDword(L"check", 1);
        const ToolRun check = Favtool({L"check"});
        EXPECT_EQ(1u, check.status) << c.reason;
        EXPECT_TRUE(Contains(check.out, "loads completely: no, " + c.reason)) << check.out;
        const ToolRun list = Favtool({L"list"});
        EXPECT_EQ(1u, list.status) << c.reason;
        EXPECT_TRUE(Contains(list.err, c.reason));
        EXPECT_TRUE(Contains(list.err, "showing the " + std::to_string(c.loaded) + " record"));
    }
}

TEST_F(FavtoolTest, CheckRefusesAValueOfAnotherType) {
    Put(L"FavoriteArray", REG_SZ, {'a', 0, 0, 0});
    const ToolRun run = Favtool({L"check"});
    EXPECT_EQ(1u, run.status);
    EXPECT_TRUE(Contains(run.out, "FavoriteArray is a REG_SZ value, which the bar ignores"));
}

TEST_F(FavtoolTest, CheckReportsTheBackupAndWhetherItLoads) {
    PutFavorites(SampleTree());
    const std::vector<BYTE> whole = StoredValue(SampleTree());
    Put(L"FavoriteArrayBackup", REG_BINARY, whole);
    ToolRun run = Favtool({L"check"});
    EXPECT_TRUE(Contains(run.out, "FavoriteArrayBackup: REG_BINARY, " + std::to_string(whole.size()) +
                                   " bytes; loads completely: 4 favourites and 2 folders\n"));

    Put(L"FavoriteArrayBackup", REG_BINARY, std::vector<BYTE>(whole.begin(), whole.end() - 1));
    run = Favtool({L"check"});
    EXPECT_EQ(0u, run.status) << "only FavoriteArray decides the status";
    EXPECT_TRUE(Contains(run.out, "bytes; does not load completely: record 6 of 6"));
}

}  // namespace
