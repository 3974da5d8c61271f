// favtool export and import: whole trees through JSON documents, refused
// whole when anything in them is wrong.
#include "tests/tool/favtool_fixture.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "common/handles.h"
#include "tests/win/held_writers_lock.h"

namespace {

std::vector<BYTE> Dword(DWORD value) { return {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)}; }

TEST_F(FavtoolTest, ExportThenImportGivesBackTheSameBytes) {
    PutFavorites(SampleTree());
    const std::wstring first = TempFile(L"お気に入り.json");
    ToolRun run = Favtool({L"export", first});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "wrote 4 favourites and 2 folders to " + Utf8(first)));
    const std::string document = ReadDocument(first);
    EXPECT_EQ(0u, document.find("{\n  \"version\": 1,\n  \"favorites\": [\n    {\n      \"label\": \"Projects\",\n"));
    EXPECT_TRUE(Contains(document, "\"label\": \"日本語メモ\",\n"));
    EXPECT_TRUE(Contains(document, "\"path\": \"C:\\\\Proj\\\\資料\\\\メモ.txt\"\n"));

    Put(L"FavoriteArray", REG_BINARY, {1, 2, 3});
    run = Favtool({L"import", first});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "import: replacing a value that does not load completely (0 favourites and 0 folders "
                                  "load) with 4 and 2 in FavoriteArray"));
    EXPECT_TRUE(Contains(run.out, "is in FavoriteArrayBackup"));
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(SampleTree())}), Get(L"FavoriteArray"));
    EXPECT_EQ((StoredValueOf{REG_DWORD, Dword(1)}), Get(L"check"));

    const std::wstring second = TempFile(L"second.json");
    ASSERT_EQ(0u, Favtool({L"export", second}).status);
    EXPECT_EQ(document, ReadDocument(second));
}

// Notepad before Windows 10 shows a file without CR LF as one line.
TEST_F(FavtoolTest, ExportWritesWindowsLineEndsThatImportTakesBack) {
    PutFavorites(SampleTree());
    const std::wstring file = TempFile(L"windows.json");
    ASSERT_EQ(0u, Favtool({L"export", file}).status);
    const std::string bytes = ReadFile(file);
    EXPECT_EQ(0u, bytes.find("{\r\n  \"version\": 1,\r\n  \"favorites\": [\r\n"));
    EXPECT_EQ("  ]\r\n}\r\n", bytes.substr(bytes.size() - 8));
    std::size_t lines = 0;
    for (std::size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1), ++lines) {
        ASSERT_EQ('\r', bytes[at - 1]) << "line " << lines + 1;
    }
    EXPECT_EQ(lines, static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\r')));
    // The same document as the one written to standard output, where scripts read it.
    const ToolRun piped = Favtool({L"export", L"-"});
    ASSERT_EQ(0u, piped.status) << piped.err;
    EXPECT_EQ(nlohmann::json::parse(piped.out), nlohmann::json::parse(bytes));

    Put(L"FavoriteArray", REG_BINARY, StoredValue({{L"x", L"c:\\x", 1}}));
    const ToolRun run = Favtool({L"import", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(SampleTree())}), Get(L"FavoriteArray"));
}

TEST_F(FavtoolTest, ImportKeepsTheReplacedValueWithItsType) {
    Put(L"FavoriteArray", REG_NONE, {9, 8, 7});
    PutDword(L"check", 0);
    const std::wstring file = TempFile(L"one.json");
    WriteFile(file, R"({"version": 1, "favorites": [{"label": "a", "path": "c:\\a"}]})");
    const ToolRun run = Favtool({L"import", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "did not load completely, is in FavoriteArrayBackup"));
    EXPECT_EQ((StoredValueOf{REG_NONE, {9, 8, 7}}), Get(L"FavoriteArrayBackup"));
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue({{L"a", L"c:\\a", 1}})}), Get(L"FavoriteArray"));
    EXPECT_EQ((StoredValueOf{REG_DWORD, Dword(1)}), Get(L"check"));
}

TEST_F(FavtoolTest, WritesWaitForTheWritersLockAndGiveUpOnOneKeptTooLong) {
    PutFavorites({{L"a", L"c:\\a", 1}});
    Put(L"FavoriteArrayBackup", REG_BINARY, StoredValue({{L"b", L"c:\\b", 1}}));
    const std::wstring file = TempFile(L"lock.json");
    WriteFile(file, R"({"version": 1, "favorites": [{"label": "c", "path": "c:\\c"}]})");
    // Another writer takes the lock and keeps it for as long as the test says.
    HeldWritersLock other(L"Software\\Kalmet\\ZorvexPlugIns\\" + module);
    const KeySnapshot before = Snapshot();
    for (const std::vector<std::wstring>& args : {std::vector<std::wstring>{L"import", file}, {L"restore"}}) {
        const ToolRun run = Favtool(args);
        EXPECT_EQ(3u, run.status) << args[0];
        EXPECT_TRUE(Contains(run.err, "held by another writer")) << run.err;
        EXPECT_TRUE(Contains(run.err, "kept them locked; nothing written")) << run.err;
    }
    EXPECT_EQ(before, Snapshot());
    other.Release();
    const ToolRun run = Favtool({L"import", file});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue({{L"c", L"c:\\c", 1}})}), Get(L"FavoriteArray"));
}

// A lock's name taken by an object nobody may wait on (another user's or
// elevation's program made it): favtool says so, apart from a lock another
// writer holds, and writes nothing without the lock.
TEST_F(FavtoolTest, WritesSayWhenTheWritersLockCannotBeOpened) {
    PutFavorites({{L"a", L"c:\\a", 1}});
    Put(L"FavoriteArrayBackup", REG_BINARY, StoredValue({{L"b", L"c:\\b", 1}}));
    const std::wstring file = TempFile(L"unopened.json");
    WriteFile(file, R"({"version": 1, "favorites": [{"label": "c", "path": "c:\\c"}]})");
    const std::wstring name = favstore::WritersLockName((L"Software\\Kalmet\\ZorvexPlugIns\\" + module).c_str());
    const UniqueKernelHandle taken(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    ASSERT_TRUE(taken);
    const KeySnapshot before = Snapshot();
    for (const std::vector<std::wstring>& args : {std::vector<std::wstring>{L"import", file}, {L"restore"}}) {
        const ToolRun run = Favtool(args);
        EXPECT_EQ(3u, run.status) << args[0];
        EXPECT_TRUE(Contains(run.err, "cannot be opened")) << run.err;
        EXPECT_FALSE(Contains(run.err, "held by another writer")) << run.err;
    }
    EXPECT_EQ(before, Snapshot());
}

// Values written by hand may skip levels or put items below a favourite; the
// document holds them where the bar shows them, and import writes the depths
// the bar would save.
TEST_F(FavtoolTest, ExportNestsSkippedLevelsAsTheBarShowsThem) {
    PutFavorites({{L"F", L"", 1, true, true}, {L"x", L"c:\\x", 3}, {L"y", L"c:\\y", 1}, {L"z", L"c:\\z", 2}});
    const std::wstring file = TempFile(L"skipped.json");
    ToolRun run = Favtool({L"export", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.err, "note: the stored bytes differ from those the bar saves"));
    EXPECT_TRUE(Contains(ReadDocument(file), "\"path\": \"c:\\\\y\",\n      \"items\": [\n        {\n          \"label\": \"z\""));
    ASSERT_EQ(0u, Favtool({L"import", file}).status);
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue({{L"F", L"", 1, true, true}, {L"x", L"c:\\x", 2},
                                                       {L"y", L"c:\\y", 1}, {L"z", L"c:\\z", 2}})}),
              Get(L"FavoriteArray"));
}

// Export is the user's backup: it holds everything the value holds, and
// import gives back the same bytes; what the bar shows otherwise is noted.
TEST_F(FavtoolTest, ExportKeepsWhatTheBarShowsDifferentlyAndImportTakesItBack) {
    std::wstring lone = L"lone ";
    lone += static_cast<wchar_t>(0xD83D);
    lone += L" surrogate";
    const std::vector<StoredRecord> odd = {
        {L"ok", L"c:\\a", 1},
        {std::wstring(300, L'L'), L"c:\\b", 1},
        {lone, L"c:\\" + std::wstring(1, static_cast<wchar_t>(0xDC00)) + L".txt", 1},
        {L"F", L"c:\\folder path", 1, true, true},
        {L"inside", L"c:\\c", 2},
    };
    PutFavorites(odd);
    const std::wstring file = TempFile(L"odd.json");
    ToolRun run = Favtool({L"export", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.err, "record 2 (\"LLLL"));
    EXPECT_TRUE(Contains(run.err, "is 300 UTF-16 units long"));
    EXPECT_TRUE(Contains(run.err, "record 3 (\"lone"));
    EXPECT_TRUE(Contains(run.err, "unpaired surrogate (\\ud83d)"));
    EXPECT_TRUE(Contains(run.err, "record 4 (\"F\"): it is a folder with a path"));
    const std::string document = ReadDocument(file);
    EXPECT_TRUE(Contains(document, "\"label\": \"" + std::string(300, 'L') + "\""));
    EXPECT_TRUE(Contains(document, "\"label\": \"lone \\ud83d surrogate\""));
    EXPECT_TRUE(Contains(document, "\"path\": \"c:\\\\\\udc00.txt\""));
    EXPECT_TRUE(Contains(document, "\"path\": \"c:\\\\folder path\",\n      \"folder\": true"));

    Put(L"FavoriteArray", REG_BINARY, StoredValue({{L"x", L"c:\\x", 1}}));
    run = Favtool({L"import", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.err, "favtool: note: " + Utf8(file) + ":9:16: its label is 300 UTF-16 units long"));
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(odd)}), Get(L"FavoriteArray"));
}

// Whatever a value holds, export writes and import takes back: control
// characters and NULs included, each noted where the bar shows it otherwise.
TEST_F(FavtoolTest, ExportedControlCharactersAndNulsComeBackThroughImport) {
    const std::vector<StoredRecord> odd = {{L"bell\x07", L"c:\\a", 1},
                                           {L"two\r\nlines\t", L"c:\\b", 1},
                                           {std::wstring(L"nul\0label", 9), std::wstring(L"c:\\n\0x", 6), 1}};
    PutFavorites(odd);
    const std::wstring file = TempFile(L"bell.json");
    const ToolRun run = Favtool({L"export", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.err, "control character U+0007, which the bar shows as no character or a box"));
    EXPECT_TRUE(Contains(run.err, "its path holds a NUL character"));
    EXPECT_TRUE(Contains(ReadFile(file), "\"label\": \"bell\\u0007\""));

    PutFavorites({{L"x", L"c:\\x", 1}});
    const ToolRun back = Favtool({L"import", file});
    ASSERT_EQ(0u, back.status) << back.err;
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(odd)}), Get(L"FavoriteArray"));

    // list --json writes the same tree in a document import takes as it is.
    const ToolRun listed = Favtool({L"list", L"--json"});
    ASSERT_EQ(0u, listed.status) << listed.err;
    const std::wstring listedFile = TempFile(L"listed.json");
    WriteFile(listedFile, listed.out);
    PutFavorites({{L"x", L"c:\\x", 1}});
    ASSERT_EQ(0u, Favtool({L"import", listedFile}).status);
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(odd)}), Get(L"FavoriteArray"));
}

// Notepad saves as UTF-16 ("Unicode") with a byte order mark, older editors as Shift_JIS.
TEST_F(FavtoolTest, ImportReadsUtf16AndAsksForUtf8InsteadOfShiftJis) {
    const std::wstring text = L"{\"version\": 1, \"favorites\": [{\"label\": \"日本語\", \"path\": \"C:\\\\メモ.txt\"}]}";
    const std::vector<StoredRecord> expected = {{L"日本語", L"C:\\メモ.txt", 1}};
    for (const bool bigEndian : {false, true}) {
        std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (wchar_t c : text) {
            const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
            bytes += bigEndian ? std::string{high, low} : std::string{low, high};
        }
        const std::wstring file = TempFile(bigEndian ? L"be.json" : L"le.json");
        WriteFile(file, bytes);
        Put(L"FavoriteArray", REG_BINARY, StoredValue({{L"x", L"c:\\x", 1}}));
        const ToolRun run = Favtool({L"import", file});
        ASSERT_EQ(0u, run.status) << run.err;
        EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(expected)}), Get(L"FavoriteArray"));
    }
    // The same document in Shift_JIS: 日本語 is 93 FA 96 7B 8C EA.
    const std::wstring sjis = TempFile(L"sjis.json");
    WriteFile(sjis, "{\"version\": 1, \"favorites\": [{\"label\": \"\x93\xFA\x96\x7B\x8C\xEA\", \"path\": \"C:\\\\a\"}]}");
    const KeySnapshot before = Snapshot();
    const ToolRun run = Favtool({L"import", sjis});
    EXPECT_EQ(3u, run.status);
    EXPECT_TRUE(Contains(run.err, Utf8(sjis) + ":1:41: the file is not UTF-8; it reads as Shift_JIS: save it as UTF-8"));
    EXPECT_EQ(before, Snapshot());
}

TEST_F(FavtoolTest, ImportTakesSlashesInPathsForBackslashesAndIgnoresMeta) {
    const std::wstring file = TempFile(L"slashes.json");
    WriteFile(file, R"({"meta": {"made by": "a later favtool", "fields": [1, {"x": null}]}, "version": 1,
                        "favorites": [{"label": "a", "path": "C:/Proj/a.txt"}, {"label": "b", "path": "\\\\?\\C:\\x/y"}]})");
    PutDword(L"OpenStartup", 0);
    const ToolRun run = Favtool({L"import", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.err, "in 1 path"));
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue({{L"a", L"C:\\Proj\\a.txt", 1}, {L"b", L"\\\\?\\C:\\x/y", 1}})}),
              Get(L"FavoriteArray"));
}

TEST_F(FavtoolTest, ImportRefusesADocumentOver64MiBBeforeReadingIt) {
    PutFavorites(SampleTree());
    const KeySnapshot before = Snapshot();
    const std::wstring file = TempFile(L"huge.json");
    {
        UniqueFile h(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(h);
        LARGE_INTEGER size;
        size.QuadPart = 64ll * 1024 * 1024 + 1;
        ASSERT_TRUE(::SetFilePointerEx(h.get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(h.get()));
    }
    const ToolRun run = Favtool({L"import", file});
    EXPECT_EQ(3u, run.status);
    EXPECT_TRUE(Contains(run.err, "a favourites document is at most 64 MiB, so it was not read"));
    EXPECT_EQ(before, Snapshot());
}

// For scripts: export - writes the document to standard output, import -
// reads one from standard input, and list --json can be imported as it is.
TEST_F(FavtoolTest, ExportAndImportThroughStandardStreams) {
    PutFavorites(SampleTree());
    const std::wstring file = TempFile(L"file.json");
    ASSERT_EQ(0u, Favtool({L"export", file}).status);
    ToolRun run = Favtool({L"export", L"-"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ(ReadDocument(file), run.out);
    EXPECT_TRUE(Contains(run.err, "export: wrote 4 favourites and 2 folders to standard output"));

    const ToolRun listed = Favtool({L"list", L"--json"});
    ASSERT_EQ(0u, listed.status) << listed.err;
    const nlohmann::json list = nlohmann::json::parse(listed.out);
    EXPECT_EQ(4, list["meta"]["counts"]["favorites"]);
    EXPECT_EQ(true, list["meta"]["loads_completely"]);
    EXPECT_EQ("日本語メモ", list["favorites"][0]["items"][1]["label"]);

    Put(L"FavoriteArray", REG_BINARY, StoredValue({{L"x", L"c:\\x", 1}}));
    RunSetup piped;
    piped.input = listed.out;
    run = Favtool({L"import", L"-"}, piped);
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(SampleTree())}), Get(L"FavoriteArray"));

    piped.input = "{\"version\": 1,\n \"favorites\": [}";
    run = Favtool({L"import", L"-"}, piped);
    EXPECT_EQ(3u, run.status);
    EXPECT_TRUE(Contains(run.err, "standard input:2:16: not valid JSON"));
}

TEST_F(FavtoolTest, ImportDryRunSaysWhatItWouldReplace) {
    PutFavorites(SampleTree());
    const KeySnapshot before = Snapshot();
    const std::wstring file = TempFile(L"one.json");
    WriteFile(file, R"({"version": 1, "favorites": [{"label": "a", "path": "c:\\a"}]})");
    const ToolRun run = Favtool({L"import", file, L"--dry-run"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "would be replacing 4 favourites and 2 folders with 1 and 0"));
    EXPECT_TRUE(Contains(run.out, "dry run, nothing written"));
    EXPECT_EQ(before, Snapshot());
}

// import does not make a key for a misspelt module unless told to.
TEST_F(FavtoolTest, ImportCreatesAKeyOnlyWithCreate) {
    const std::wstring file = TempFile(L"one.json");
    WriteFile(file, R"({"version": 1, "favorites": [{"label": "a", "path": "c:\\a"}]})");
    ToolRun run = Favtool({L"import", file});
    EXPECT_EQ(3u, run.status);
    EXPECT_TRUE(Contains(run.err, "does not exist"));
    EXPECT_TRUE(Contains(run.err, "run import again with --create"));
    EXPECT_FALSE(KeyExists());
    run = Favtool({L"import", file, L"--create"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue({{L"a", L"c:\\a", 1}})}), Get(L"FavoriteArray"));
}

TEST_F(FavtoolTest, ImportAcceptsWhatTheBarCanHoldAtItsLimits) {
    // 129 characters outside the BMP and one inside: 259 UTF-16 units.
    std::string label;
    for (int i = 0; i < 129; ++i) label += "😀";
    label += "x";
    std::string document = R"({"version": 1, "favorites": [)";
    for (int level = 1; level < 101; ++level) document += R"({"label": "f", "folder": true, "items": [)";
    document += R"({"label": ")" + label + R"(", "path": "c:\\deep"})";
    for (int level = 1; level < 101; ++level) document += "]}";
    document += "]}";
    const std::wstring file = TempFile(L"limits.json");
    WriteFile(file, document);
    const ToolRun run = Favtool({L"import", file, L"--create"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(Favtool({L"check"}).out, "1 favourite and 100 folders, deepest level 101\n"));
}

struct BadDocument {
    const char* name;
    std::string text;
    std::string where;  // line:column
    std::string problem;
};

std::string TooDeep() {
    std::string text = R"({"version": 1, "favorites": [)";
    for (int level = 1; level <= 102; ++level) text += R"({"label": "f", "folder": true, "items": [)";
    for (int level = 1; level <= 102; ++level) text += "]}";
    return text + "]}";
}

std::string ColumnOfLevel102() {
    return "1:" + std::to_string(std::string(R"({"version": 1, "favorites": [)").size() +
                                 101 * std::string(R"({"label": "f", "folder": true, "items": [)").size() + 1);
}

void PrintTo(const BadDocument& document, std::ostream* out) { *out << document.name; }

class ImportRefuses : public FavtoolTest, public ::testing::WithParamInterface<BadDocument> {};

TEST_P(ImportRefuses, ReportsLineAndColumnAndWritesNothing) {
    PutFavorites(SampleTree());
    Put(L"FavoriteArrayBackup", REG_BINARY, {1, 2, 3});
    const KeySnapshot before = Snapshot();
    const std::wstring file = TempFile(L"bad.json");
    WriteFile(file, GetParam().text);
    const ToolRun run = Favtool({L"import", file});
    EXPECT_EQ(3u, run.status);
    EXPECT_TRUE(Contains(run.err, Utf8(file) + ":" + GetParam().where + ": " + GetParam().problem));
    EXPECT_TRUE(Contains(run.err, "nothing was imported"));
    EXPECT_EQ(before, Snapshot());
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ImportRefuses,
    ::testing::Values(
        BadDocument{"Truncated", R"({"version": 1, "favorites": [{"label": "a", "path": "b"})", "1:57",
                    "the document ends before it is complete"},
        BadDocument{"TrailingComma", "{\"version\": 1,\n \"favorites\": [{\"label\": \"a\", \"path\": \"b\"},]}", "2:44",
                    "not valid JSON: unexpected \"]\""},
        BadDocument{"RawControlCharacter", "{\"version\": 1, \"favorites\": [{\"label\": \"a\x01\", \"path\": \"b\"}]}", "1:42",
                    "not valid JSON: the control character U+0001 must be written as \\u0001"},
        BadDocument{"FolderNotABoolean", R"({"version": 1, "favorites": [{"label": "F", "folder": 1}]})", "1:55",
                    "\"folder\" must be true or false"},
        BadDocument{"MetaNotAnObject", R"({"version": 1, "meta": 3, "favorites": []})", "1:24",
                    "\"meta\" must be an object"},
        BadDocument{"NotUtf8", "{\"version\": 1, \"favorites\": [{\"label\": \"\xFF\", \"path\": \"b\"}]}", "1:41",
                    "byte 0xFF is not UTF-8"},
        BadDocument{"LabelNotAString", "{\n  \"version\": 1,\n  \"favorites\": [\n    {\"label\": 7, \"path\": \"b\"}\n  ]\n}",
                    "4:15", "\"label\" must be a string"},
        // A document saved with Windows line ends: CR is no column.
        BadDocument{"LabelNotAStringWithWindowsLineEnds",
                    "{\r\n  \"version\": 1,\r\n  \"favorites\": [\r\n    {\"label\": 7, \"path\": \"b\"}\r\n  ]\r\n}", "4:15",
                    "\"label\" must be a string"},
        // Columns count characters, not bytes.
        BadDocument{"PathAfterJapanese", R"({"version": 1, "favorites": [{"label": "日本語", "path": 5}]})", "1:55",
                    "\"path\" must be a string"},
        BadDocument{"ExpandedNotABoolean",
                    R"({"version": 1, "favorites": [{"label": "F", "folder": true, "expanded": "yes"}]})", "1:73",
                    "\"expanded\" must be true or false"},
        BadDocument{"TooDeep", TooDeep(), ColumnOfLevel102(), "this item is 102 levels deep; the bar holds at most 101"},
        BadDocument{"UnknownKey", R"({"version": 1, "favorites": [{"label": "a", "path": "b", "colour": 1}]})", "1:58",
                    "unknown key \"colour\""},
        BadDocument{"OtherVersion", R"({"version": 2, "favorites": []})", "1:13",
                    "unsupported version 2; this favtool reads version 1"},
        BadDocument{"NoVersion", R"({"favorites": []})", "1:1", "missing \"version\""},
        // Notepad's byte order mark is no column.
        BadDocument{"VersionAsTextAfterByteOrderMark", "\xEF\xBB\xBF{\"version\": \"1\", \"favorites\": []}", "1:13",
                    "\"version\" must be a whole number"}),
    [](const ::testing::TestParamInfo<BadDocument>& info) { return std::string(info.param.name); });

TEST_F(FavtoolTest, ExportRefusesAValueThatDoesNotLoadCompletely) {
    const std::vector<BYTE> whole = StoredValue(SampleTree());
    Put(L"FavoriteArray", REG_BINARY, std::vector<BYTE>(whole.begin(), whole.end() - 1));
    PutDword(L"check", 1);
    const std::wstring file = TempFile(L"never.json");
    const ToolRun run = Favtool({L"export", file});
    EXPECT_EQ(3u, run.status) << "refused, nothing written";
    EXPECT_TRUE(Contains(run.err, "FavoriteArray does not load completely: record 6 of 6"));
    EXPECT_EQ("<missing>", ReadFile(file));
}

}  // namespace
