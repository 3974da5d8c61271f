// favtool and the history of replaced values: every value it replaces can be
// listed, compared and put back, and the backup holds only rescued values.
#include "tests/tool/favtool_fixture.h"

#include <algorithm>
#include <sstream>

namespace {

const std::vector<StoredRecord> kTwo = {{L"a.txt", L"C:\\a.txt", 1}, {L"b.txt", L"C:\\b.txt", 1}};

// The line of the output that starts with prefix; empty when none does.
std::string LineStarting(const std::string& out, const std::string& prefix) {
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) == 0) return line;
    }
    return {};
}

// A one-favourite value per entry, told apart by n.
std::vector<BYTE> EntryValue(int n) {
    const std::wstring name = L"e" + std::to_wstring(n);
    return StoredValue({{name, L"C:\\" + name, 1}});
}

// An entry name as the plug-in makes them, minutes after 10:00 UTC on 2020-01-01.
std::wstring EntryName(int minute, const wchar_t* reason) {
    wchar_t name[64];
    swprintf(name, 64, L"2020-01-01T10:%02d:00.000Z-%04d %ls", minute, minute, reason);
    return name;
}

}  // namespace

class HistoryTest : public FavtoolTest {
protected:
    // The entries of the module's History subkey, by name (oldest first).
    std::map<std::wstring, std::vector<BYTE>> Entries() const {
        std::map<std::wstring, std::vector<BYTE>> entries;
        const std::wstring path = L"Software\\Kalmet\\ZorvexPlugIns\\" + module + L"\\History";
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return entries;
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD nameLen = 256;
            BYTE data[8192];
            DWORD size = sizeof(data);
            if (::RegEnumValueW(key, i, name, &nameLen, nullptr, nullptr, data, &size) != ERROR_SUCCESS) break;
            entries[std::wstring(name, nameLen)] = std::vector<BYTE>(data, data + size);
        }
        ::RegCloseKey(key);
        return entries;
    }
    void PutEntry(const std::wstring& name, DWORD type, const std::vector<BYTE>& data) const {
        const std::wstring path = L"Software\\Kalmet\\ZorvexPlugIns\\" + module + L"\\History";
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), type, data.data(),
                                                    static_cast<DWORD>(data.size())));
    }
    // Sixteen entries of one day long past: its first and the newest fifteen,
    // so that the next entry pushes the oldest of those out. Entry n (1 the
    // newest) holds EntryValue(17 - n).
    void PutFullHistory() const {
        for (int minute = 1; minute <= 16; ++minute) PutEntry(EntryName(minute, L"import"), REG_BINARY, EntryValue(minute));
    }
    std::wstring Document(const std::string& json) {
        const std::wstring file = TempFile(L"doc.json");
        WriteFile(file, json);
        return file;
    }
};

TEST_F(HistoryTest, AnImportedOverValueIsListedComparedAndPutBack) {
    PutFavorites(kTwo);
    const std::wstring file = Document(
        R"({"version": 1, "favorites": [{"label": "a.txt", "path": "C:\\a.txt"}, {"label": "c.txt", "path": "C:\\c.txt"}]})");
    ToolRun run = Favtool({L"import", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "restore --history 1"));
    EXPECT_FALSE(Has(L"FavoriteArrayBackup"));
    ASSERT_EQ(1u, Entries().size());
    EXPECT_EQ(StoredValue(kTwo), Entries().begin()->second);

    run = Favtool({L"history"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "  1  "));
    EXPECT_TRUE(Contains(run.out, "import: 2 favourites and 0 folders"));

    run = Favtool({L"diff"});
    EXPECT_EQ(1u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "- b.txt -> C:\\b.txt\n"));
    EXPECT_TRUE(Contains(run.out, "+ c.txt -> C:\\c.txt\n"));
    EXPECT_FALSE(Contains(run.out, "a.txt -> C:\\a.txt\n"));

    run = Favtool({L"restore", L"--history", L"1"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(kTwo)}), Get(L"FavoriteArray"));
    EXPECT_EQ(2u, Entries().size()) << "the value restore replaced is kept too";
    EXPECT_EQ(0u, Favtool({L"diff", L"2"}).status) << "entry 2 is what is stored again";
    EXPECT_EQ(0u, Favtool({L"restore", L"--history", L"2"}).status) << "nothing to do";
}

TEST_F(HistoryTest, AnOldLayoutValueReplacedIsPutBackInTheLayoutTheMarkerThenSays) {
    Put(L"FavoriteArray", REG_BINARY, StoredValue(SampleTree(), /*withExpandedByte=*/false));
    PutDword(L"check", 0);
    const std::wstring file = Document(R"({"version": 1, "favorites": [{"label": "a.txt", "path": "C:\\a.txt"}]})");
    ASSERT_EQ(0u, Favtool({L"import", file}).status);
    ASSERT_EQ(1u, Entries().size());
    EXPECT_EQ(StoredValue(SampleTree(), false), Entries().begin()->second);

    const ToolRun run = Favtool({L"restore", L"--history", L"1"});
    ASSERT_EQ(0u, run.status) << run.err;
    // The old layout loads every folder closed; so does what is put back.
    std::vector<StoredRecord> closed = SampleTree();
    for (StoredRecord& record : closed) record.expanded = false;
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(closed)}), Get(L"FavoriteArray"));
    EXPECT_EQ((StoredValueOf{REG_DWORD, {1, 0, 0, 0}}), Get(L"check"));
    EXPECT_EQ(0u, Favtool({L"check"}).status);
    EXPECT_EQ(2u, Entries().size()) << "the imported value is kept too";
}

// What a window could not save before it went is an entry of its own
// ("unsaved", written by the plug-in with no lock), listed and put back as
// any other.
TEST_F(HistoryTest, FavouritesAWindowCouldNotSaveAreListedAndPutBack) {
    PutFavorites({{L"a.txt", L"C:\\a.txt", 1}});
    const std::wstring history = L"Software\\Kalmet\\ZorvexPlugIns\\" + module + L"\\History";
    const std::vector<BYTE> unsaved = StoredValue(kTwo);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, history.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                               &key, nullptr));
    ::RegSetValueExW(key, L"2026-12-08T23:15:57.123Z-0000 unsaved", 0, REG_BINARY, unsaved.data(),
                     static_cast<DWORD>(unsaved.size()));
    ::RegCloseKey(key);

    ToolRun run = Favtool({L"history"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "unsaved: 2 favourites and 0 folders"));
    run = Favtool({L"restore", L"--history", L"1"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(kTwo)}), Get(L"FavoriteArray"));
}

TEST_F(HistoryTest, EntriesOutsideTheListAreUsageErrors) {
    PutFavorites(kTwo);
    EXPECT_TRUE(Contains(Favtool({L"history"}).out, "no entries"));
    EXPECT_EQ(2u, Favtool({L"diff"}).status) << "no entry 1 to compare with";
    PutFavorites({{L"a.txt", L"C:\\a.txt", 1}});
    ASSERT_EQ(0u, Favtool({L"import", Document(R"({"version": 1, "favorites": []})")}).status);
    EXPECT_FALSE(Has(L"FavoriteArray"));
    const ToolRun run = Favtool({L"diff", L"3"});
    EXPECT_EQ(2u, run.status);
    EXPECT_TRUE(Contains(run.err, "1 (the newest) to 1"));
    const ToolRun json = Favtool({L"history", L"--json"});
    ASSERT_EQ(0u, json.status) << json.err;
    EXPECT_TRUE(Contains(json.out, "\"reason\": \"import\""));
    EXPECT_TRUE(Contains(json.out, "\"favorites\": 1"));
}

TEST_F(HistoryTest, AValueThatDoesNotLoadGoesToTheBackupAndAnEarlierRescueToTheHistory) {
    const std::vector<BYTE> earlier = StoredValue({{L"old.txt", L"C:\\old.txt", 1}});
    Put(L"FavoriteArrayBackup", REG_BINARY, earlier);
    std::vector<BYTE> damaged = StoredValue(kTwo);
    damaged.push_back(0);  // a byte after the last record
    Put(L"FavoriteArray", REG_BINARY, damaged);
    ToolRun run = Favtool({L"import", Document(R"({"version": 1, "favorites": [{"label": "n", "path": "C:\\n"}]})")});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ((StoredValueOf{REG_BINARY, damaged}), Get(L"FavoriteArrayBackup"));
    bool earlierKept = false;
    for (const auto& entry : Entries()) earlierKept = earlierKept || entry.second == earlier;
    EXPECT_TRUE(earlierKept);
}

TEST_F(HistoryTest, EachDaysFirstIsMarkedAndAWriteThatDropsEntriesNamesThem) {
    PutFavorites(kTwo);
    PutFullHistory();
    ToolRun run = Favtool({L"history"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(LineStarting(run.out, " 16  "), "[first of its day]"));
    EXPECT_FALSE(Contains(LineStarting(run.out, " 15  "), "[first of its day]"));
    EXPECT_TRUE(Contains(Favtool({L"history", L"--json"}).out, "\"daily\": true"));

    // Today's entry stands for today; entry 15 leaves the newest fifteen.
    const std::wstring file = Document(R"({"version": 1, "favorites": [{"label": "n", "path": "C:\\n"}]})");
    run = Favtool({L"import", file, L"--dry-run"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "the history would drop entry 15 (")) << run.out;
    EXPECT_TRUE(Contains(run.out, "import); dry run"));
    EXPECT_EQ(16u, Entries().size());

    run = Favtool({L"import", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "the history dropped entry 15 ("));
    // Undoing it keeps the imported value, which drops another entry.
    EXPECT_TRUE(Contains(run.out, "favtool restore --history 1 --force puts it back"));
    const auto entries = Entries();
    EXPECT_EQ(16u, entries.size());
    EXPECT_EQ(0u, entries.count(EntryName(2, L"import"))) << "entry 15 was the second of the day";
    EXPECT_EQ(1u, entries.count(EntryName(1, L"import"))) << "the day's first stays";
}

TEST_F(HistoryTest, RestoreNeverDropsTheEntryItRestoresOrAnOlderOneWithoutForce) {
    PutFavorites(kTwo);
    PutFullHistory();
    const KeySnapshot before = Snapshot();
    for (const wchar_t* number : {L"15", L"1"}) {
        const ToolRun run = Favtool({L"restore", L"--history", number});
        EXPECT_EQ(3u, run.status) << run.out;
        EXPECT_TRUE(Contains(run.err, "would drop entry 15 (")) << run.err;
        EXPECT_TRUE(Contains(run.err, "--force"));
    }
    EXPECT_EQ(3u, Favtool({L"restore", L"--history", L"15", L"--dry-run"}).status);
    EXPECT_TRUE(before == Snapshot());
    EXPECT_EQ(16u, Entries().size());

    const ToolRun run = Favtool({L"restore", L"--history", L"15", L"--force"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "dropped entry 15 ("));
    EXPECT_EQ((StoredValueOf{REG_BINARY, EntryValue(2)}), Get(L"FavoriteArray"));
}

TEST_F(HistoryTest, AnEntryThatDoesNotLoadOrIsNotBinaryIsRestoredOnlyWithForce) {
    PutFavorites(kTwo);
    std::vector<BYTE> damaged = StoredValue(SampleTree());
    damaged.push_back(0);  // a byte after the last record
    PutEntry(EntryName(1, L"backup"), REG_BINARY, damaged);
    PutEntry(EntryName(2, L"import"), REG_SZ, {'x', 0, 0, 0});
    const KeySnapshot before = Snapshot();

    ToolRun run = Favtool({L"restore", L"--history", L"2"});
    EXPECT_EQ(3u, run.status);
    EXPECT_TRUE(Contains(run.err, "history entry 2 (")) << run.err;
    EXPECT_TRUE(Contains(run.err, "does not load completely"));
    EXPECT_TRUE(Contains(run.err, "--force restores it anyway"));
    run = Favtool({L"restore", L"--history", L"1"});
    EXPECT_EQ(3u, run.status);
    EXPECT_TRUE(Contains(run.err, "REG_SZ"));
    EXPECT_TRUE(before == Snapshot());

    // What loads of it can be looked at first.
    run = Favtool({L"list", L"--history", L"2"});
    EXPECT_EQ(1u, run.status);
    EXPECT_TRUE(Contains(run.err, "history entry 2 does not load completely"));
    EXPECT_TRUE(Contains(run.out, "Projects"));

    run = Favtool({L"restore", L"--history", L"2", L"--force"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ((StoredValueOf{REG_BINARY, damaged}), Get(L"FavoriteArray"));
}

TEST_F(HistoryTest, TheUndoLineOfAValueThatWentToTheBackupIsRestoreForce) {
    std::vector<BYTE> damaged = StoredValue(kTwo);
    damaged.push_back(0);
    Put(L"FavoriteArray", REG_BINARY, damaged);
    ToolRun run = Favtool({L"import", Document(R"({"version": 1, "favorites": [{"label": "n", "path": "C:\\n"}]})")});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "is in FavoriteArrayBackup: favtool restore --force puts it back"));
    EXPECT_EQ(3u, Favtool({L"restore"}).status) << "the damaged value is refused without --force";
    run = Favtool({L"restore", L"--force"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ((StoredValueOf{REG_BINARY, damaged}), Get(L"FavoriteArray"));
    EXPECT_TRUE(Contains(run.out, "run favtool restore again to undo"));
}

TEST_F(HistoryTest, ListAndExportReadAnEntryAndWriteNothing) {
    PutFavorites(SampleTree());
    ASSERT_EQ(0u, Favtool({L"import", Document(R"({"version": 1, "favorites": [{"label": "n", "path": "C:\\n"}]})")})
                      .status);
    const KeySnapshot before = Snapshot();
    const auto entriesBefore = Entries();

    ToolRun run = Favtool({L"list", L"--history", L"1"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "[-] Projects"));
    EXPECT_FALSE(Contains(run.out, "C:\\n\n"));
    EXPECT_TRUE(Contains(Favtool({L"list", L"--history", L"1", L"--json"}).out, "\"history_entry\": 1"));

    const std::wstring file = TempFile(L"entry.json");
    run = Favtool({L"export", L"--history", L"1", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(ReadFile(file), "\"Projects\""));
    EXPECT_FALSE(Contains(ReadFile(file), "\"n\""));
    EXPECT_EQ(2u, Favtool({L"export", L"--history", L"2", file}).status);
    EXPECT_TRUE(before == Snapshot());
    EXPECT_TRUE(entriesBefore == Entries());

    // The copy goes back as it was.
    ASSERT_EQ(0u, Favtool({L"import", file}).status);
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(SampleTree())}), Get(L"FavoriteArray"));
}

TEST_F(HistoryTest, AnUnsavedEntryShowsItsReasonAndIsRestoredLikeAnyOther) {
    PutFavorites(kTwo);
    PutEntry(EntryName(1, L"unsaved"), REG_BINARY, StoredValue(SampleTree()));
    ToolRun run = Favtool({L"history"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(LineStarting(run.out, "  1  "), "unsaved: 4 favourites and 2 folders"));
    run = Favtool({L"restore", L"--history", L"1"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(SampleTree())}), Get(L"FavoriteArray"));
    EXPECT_EQ(2u, Entries().size());
}
