// The stored favourites: what the bar shows for a stored value, what it writes
// back, and that no stored favourite is lost to bad data.
#include "tests/win/fixture.h"

#include <commctrl.h>

namespace {

const std::vector<BYTE> kWorkedExample = {
    0x08, 0x0F, 0xEF, 0x00, 0x02, 0x00, 0x00, 0x00,                                      // tag, 2 records
    0x01, 0x00, 0x00, 0x00, 0x46, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x01, 0, 0,  // folder F
    0x01, 0x00, 0x00, 0x00, 0x78, 0x00, 0x04, 0x00, 0x00, 0x00, 0x63, 0x00, 0x3A, 0x00,  // item x, c:\x
    0x5C, 0x00, 0x78, 0x00, 0x02, 0x00, 0, 0};

// Filler bytes are not significant: compare with them zeroed.
std::vector<BYTE> ZeroFiller(std::vector<BYTE> value, const std::vector<StoredRecord>& records) {
    size_t at = 8;
    for (const StoredRecord& r : records) {
        at += 4 + 2 * r.label.size() + 4 + 2 * r.path.size() + 2 + (r.folder ? 1 : 0);
        if (at + 2 > value.size()) break;
        value[at] = value[at + 1] = 0;
        at += 2;
    }
    return value;
}

}  // namespace

class StoreTest : public PluginTest {
protected:
    // Opens the bar on what is stored, then closes it so the host's save runs.
    hostsim::MainWindow* OpenOn(const std::vector<BYTE>& value, DWORD check = 1) {
        WriteBinary(L"FavoriteArray", value);
        if (check != 0xFFFFFFFF) WriteDword(L"check", check);
        return OpenBarWindow();
    }
};

TEST_F(StoreTest, WorkedExampleLoadsAndSavesToTheSameBytes) {
    hostsim::MainWindow* window = OpenOn(kWorkedExample);
    EXPECT_EQ(L"F/1/0+ x/2/2", Outline(TreeOf(window)));
    window->UserCloseBar();
    const std::vector<StoredRecord> records = {{L"F", L"", 1, true, true}, {L"x", L"c:\\x", 2}};
    EXPECT_EQ(kWorkedExample, ZeroFiller(ReadBinary(L"FavoriteArray"), records));
    EXPECT_EQ(1u, ReadDword(L"check"));
    EXPECT_FALSE(ValueExists(L"FavoriteArrayBackup"));
}

TEST_F(StoreTest, RoundTripKeepsShapeKindsPathsAndExpandedFolders) {
    const std::vector<StoredRecord> records = {
        {L"Projects", L"", 1, true, true},
        {L"alpha.txt", L"C:\\work\\alpha.txt", 2},
        {L"Closed", L"", 2, true, false},
        {L"Open inside closed", L"", 3, true, true},  // expanded, inside a collapsed folder
        {L"deep.c", L"C:\\deep.c", 4},
        {L"after.h", L"C:\\after.h", 3},               // follows the expanded subfolder
        {L"Empty", L"", 2, true, false},
        {L"", L"C:\\no label", 1},                    // empty label
        {L"jump", L"C:\\jump", 3},                    // two levels deeper: hangs under the last item
    };
    hostsim::MainWindow* window = OpenOn(StoredValue(records));
    const std::wstring shown = Outline(TreeOf(window));
    EXPECT_EQ(L"Projects/1/0+ alpha.txt/2/2 Closed/2/0 Open inside closed/3/0+ deep.c/4/2 after.h/3/2 "
              L"Empty/2/0 /1/2 jump/2/2",
              shown);
    window->UserCloseBar();
    // Closed and reloaded: the same tree. Nothing was changed, so the stored
    // bytes stay as they were, the level skipped included.
    window->Command();
    host->Pump();
    EXPECT_EQ(shown, Outline(TreeOf(window)));
    window->Command();
    host->Pump();
    EXPECT_EQ(StoredValue(records), ZeroFiller(ReadBinary(L"FavoriteArray"), records));

    // A favourite added: the tree is saved as it shows, the level closed up.
    window->Command();
    host->Pump();
    HWND tree = TreeOf(window);
    hostsim::Focus(tree);
    TreeView_SelectItem(tree, TreeView_GetNextSibling(tree, TreeView_GetRoot(tree)));  // the one without a label
    window->SetCurrentDocument(L"C:\\added.txt");
    hostsim::PressKey(*host, nullptr, VK_INSERT);
    hostsim::PressKey(*host, nullptr, VK_RETURN);
    window->UserCloseBar();
    std::vector<StoredRecord> saved = records;
    saved.back().depth = 2;
    saved.push_back({L"added.txt", L"C:\\added.txt", 1});
    EXPECT_EQ(StoredValue(saved), ZeroFiller(ReadBinary(L"FavoriteArray"), saved));
}

TEST_F(StoreTest, OldLayoutLoadsCollapsedAndIsConvertedOnce) {
    const std::vector<StoredRecord> records = {
        {L"Folder", L"", 1, true, true}, {L"a", L"C:\\a", 2}, {L"b", L"C:\\b", 1}};
    hostsim::MainWindow* window = OpenOn(StoredValue(records, false), 0xFFFFFFFF);
    EXPECT_EQ(L"Folder/1/0 a/2/2 b/1/2", Outline(TreeOf(window)));
    // Converted as soon as it was loaded, before any save by the host.
    EXPECT_EQ(1u, ReadDword(L"check"));
    std::vector<StoredRecord> current = records;
    current[0].expanded = false;
    EXPECT_EQ(StoredValue(current), ZeroFiller(ReadBinary(L"FavoriteArray"), current));
}

TEST_F(StoreTest, EmptyTreeDeletesTheValueAndKeepsTheMarker) {
    WriteDword(L"check", 5);
    hostsim::MainWindow* window = OpenOn(StoredValue({}, true, 0), 5);
    // The marker was not 1: the load saved at once, deleting the empty value.
    EXPECT_FALSE(ValueExists(L"FavoriteArray"));
    EXPECT_EQ(1u, ReadDword(L"check"));
    WriteDword(L"check", 9);
    window->UserCloseBar();
    EXPECT_FALSE(ValueExists(L"FavoriteArray"));
    EXPECT_EQ(9u, ReadDword(L"check"));
}

TEST_F(StoreTest, ValuesThatAreNotFavouritesLoadNothingAndStayUntouched) {
    const DWORD notBinary = 12345;
    WriteRaw(L"FavoriteArray", REG_DWORD, &notBinary, sizeof(notBinary));
    hostsim::MainWindow* window = OpenBarWindow();
    EXPECT_TRUE(TreeSnapshot(TreeOf(window)).empty());
    host.reset();

    WriteRaw(L"FavoriteArray", REG_BINARY, nullptr, 0);
    window = OpenBarWindow();
    EXPECT_TRUE(TreeSnapshot(TreeOf(window)).empty());
    host.reset();

    // A wrong tag loads nothing, is not converted, and survives the next save.
    std::vector<BYTE> wrongTag = kWorkedExample;
    wrongTag[0] = 0x09;
    window = OpenOn(wrongTag, 0xFFFFFFFF);
    EXPECT_TRUE(TreeSnapshot(TreeOf(window)).empty());
    EXPECT_EQ(0xDEADBEEFu, ReadDword(L"check"));
    window->UserCloseBar();
    EXPECT_EQ(wrongTag, ReadBinary(L"FavoriteArrayBackup"));
}

TEST_F(StoreTest, PartlyLoadedValueIsBackedUpBeforeTheNextSave) {
    struct Case {
        const char* name;
        std::vector<BYTE> value;
        const wchar_t* shown;
    };
    const std::vector<StoredRecord> two = {{L"a", L"C:\\a", 1}, {L"b", L"C:\\b", 1}};
    std::vector<BYTE> truncated = StoredValue(two);
    truncated.resize(truncated.size() - 3);
    std::vector<BYTE> hugeLength = StoredValue(two);
    hugeLength[8 + 4 + 2 + 4 + 8 + 4] = 0xFF;  // label length of b: far beyond the value
    hugeLength[8 + 4 + 2 + 4 + 8 + 4 + 3] = 0xFF;
    const std::vector<Case> cases = {
        {"record past the end", truncated, L"a/1/2"},
        {"count beyond the records", StoredValue(two, true, 0x7FFFFFFF), L"a/1/2 b/1/2"},
        {"huge label length", hugeLength, L"a/1/2"},
        {"depth 0 before the last", StoredValue({{L"a", L"C:\\a", 1}, {L"z", L"", 0}, {L"b", L"C:\\b", 1}}),
         L"a/1/2"},
        {"bytes after the last record", [&] { auto v = StoredValue(two); v.push_back(7); return v; }(),
         L"a/1/2 b/1/2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hostsim::MainWindow* window = OpenOn(c.value, 0xFFFFFFFF);
        EXPECT_EQ(c.shown, Outline(TreeOf(window)));
        // No conversion for a value that did not load whole.
        EXPECT_EQ(c.value, ReadBinary(L"FavoriteArray"));
        window->UserCloseBar();
        EXPECT_EQ(c.value, ReadBinary(L"FavoriteArrayBackup"));
        host.reset();
        ClearKey();
    }
}

TEST_F(StoreTest, DepthZeroAsTheLastRecordAndOverDeepRecordsLoadSafelyAndAreKept) {
    std::vector<StoredRecord> records;
    for (int depth = 1; depth <= 101; ++depth) records.push_back({L"f" + std::to_wstring(depth), L"", depth, true});
    records.push_back({L"too deep", L"C:\\deep", 150});
    records.push_back({L"end", L"", 0});
    hostsim::MainWindow* window = OpenOn(StoredValue(records));
    const std::vector<TreeItem> rows = TreeSnapshot(TreeOf(window));
    ASSERT_EQ(102u, rows.size());
    EXPECT_EQ(101, rows[100].depth);
    EXPECT_EQ(L"too deep", rows[101].label);
    EXPECT_EQ(101, rows[101].depth);  // under the deepest item the table holds
    window->UserCloseBar();
    // The depth-0 record did not load: the value it was in is kept aside.
    EXPECT_EQ(StoredValue(records), ReadBinary(L"FavoriteArrayBackup"));
}

// A bar that changed nothing keeps a long label as stored; once the tree is
// saved, the label is what the tree keeps of it.
TEST_F(StoreTest, LongLabelsAreCutWhenTheTreeIsSavedAndLongPathsKept) {
    const std::wstring label(300, L'L');
    const std::wstring path = L"C:\\" + std::wstring(400, L'p');
    const auto stored = StoredValue({{label, path, 1}});
    hostsim::MainWindow* window = OpenOn(stored);
    window->UserCloseBar();
    EXPECT_EQ(stored, ReadBinary(L"FavoriteArray"));

    window->Command();
    host->Pump();
    hostsim::Focus(TreeOf(window));
    TreeView_SelectItem(TreeOf(window), TreeView_GetRoot(TreeOf(window)));
    window->SetCurrentDocument(L"C:\\b.txt");
    hostsim::PressKey(*host, nullptr, VK_INSERT);
    hostsim::PressKey(*host, nullptr, VK_RETURN);
    window->UserCloseBar();
    const std::vector<StoredRecord> expected = {{label.substr(0, 259), path, 1}, {L"b.txt", L"C:\\b.txt", 1}};
    EXPECT_EQ(StoredValue(expected), ZeroFiller(ReadBinary(L"FavoriteArray"), expected));
}

// Random damage to a value: the bar opens and closes on it, and no favourite
// is lost. A value still whole shows every record it holds; one that is not
// keeps its bytes, in place or in the backup.
TEST_F(StoreTest, RandomValuesOpenAndCloseTheBarAndLoseNoFavourite) {
    UINT32 seed = 12345;
    auto next = [&seed] { seed = seed * 1664525u + 1013904223u; return seed >> 16; };
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<BYTE> value = StoredValue({{L"a", L"C:\\a", 1, true, true}, {L"b", L"C:\\b", 2}});
        const size_t mutations = 1 + next() % 6;
        for (size_t i = 0; i < mutations; ++i) value[next() % value.size()] = static_cast<BYTE>(next());
        if (round % 5 == 0) value.resize(next() % value.size());
        WriteBinary(L"FavoriteArray", value);
        // Every other round without the layout marker: read in the old layout.
        const bool currentLayout = round % 2 == 1;
        if (currentLayout) WriteDword(L"check", 1);
        hostsim::MainWindow* window = StartHost();
        window->Command();
        ASSERT_NE(nullptr, TreeOf(window));
        std::vector<std::wstring> shown;
        for (const TreeItem& item : TreeSnapshot(TreeOf(window))) shown.push_back(item.label);
        window->Command();
        EXPECT_EQ(nullptr, TreeOf(window));

        if (const auto whole = ParseStoredValue(value, currentLayout)) {
            std::vector<std::wstring> stored;
            for (const StoredRecord& r : *whole) stored.push_back(r.label);
            EXPECT_EQ(stored, shown);
        } else {
            EXPECT_TRUE(ReadBinary(L"FavoriteArray") == value || ReadBinary(L"FavoriteArrayBackup") == value);
        }
        host.reset();
        ClearKey();
    }
}
