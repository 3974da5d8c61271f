// favtool and the history of replaced values: every value it replaces can be
// listed, compared and put back, and the backup holds only rescued values.
#include "tests/tool/favtool_fixture.h"

namespace {

const std::vector<StoredRecord> kTwo = {{L"a.txt", L"C:\\a.txt", 1}, {L"b.txt", L"C:\\b.txt", 1}};

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
