// favtool export and import: whole trees through JSON documents, refused
// whole when anything in them is wrong.
#include "tests/tool/favtool_fixture.h"

namespace {

std::vector<BYTE> Dword(DWORD value) { return {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)}; }

TEST_F(FavtoolTest, ExportThenImportGivesBackTheSameBytes) {
    PutFavorites(SampleTree());
    const std::wstring first = TempFile(L"お気に入り.json");
    ToolRun run = Favtool({L"export", first});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ("export: wrote 4 favourites and 2 folders to " + Utf8(first) + "\n", run.out);
    const std::string document = ReadFile(first);
    EXPECT_EQ(0u, document.find("{\n  \"version\": 1,\n  \"favorites\": [\n    {\n      \"label\": \"Projects\",\n"));
    EXPECT_TRUE(Contains(document, "\"label\": \"日本語メモ\",\n"));
    EXPECT_TRUE(Contains(document, "\"path\": \"C:\\\\Proj\\\\資料\\\\メモ.txt\"\n"));

    Put(L"FavoriteArray", REG_BINARY, {1, 2, 3});
    run = Favtool({L"import", first});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "import: wrote 4 favourites and 2 folders to FavoriteArray"));
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(SampleTree())}), Get(L"FavoriteArray"));
    EXPECT_EQ((StoredValueOf{REG_DWORD, Dword(1)}), Get(L"check"));

    const std::wstring second = TempFile(L"second.json");
    ASSERT_EQ(0u, Favtool({L"export", second}).status);
    EXPECT_EQ(document, ReadFile(second));
}

TEST_F(FavtoolTest, ImportKeepsTheReplacedValueWithItsType) {
    Put(L"FavoriteArray", REG_NONE, {9, 8, 7});
    PutDword(L"check", 0);
    const std::wstring file = TempFile(L"one.json");
    WriteFile(file, R"({"version": 1, "favorites": [{"label": "a", "path": "c:\\a"}]})");
    const ToolRun run = Favtool({L"import", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "the replaced value is in FavoriteArrayBackup"));
    EXPECT_EQ((StoredValueOf{REG_NONE, {9, 8, 7}}), Get(L"FavoriteArrayBackup"));
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue({{L"a", L"c:\\a", 1}})}), Get(L"FavoriteArray"));
    EXPECT_EQ((StoredValueOf{REG_DWORD, Dword(1)}), Get(L"check"));
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
    EXPECT_TRUE(Contains(ReadFile(file), "\"path\": \"c:\\\\y\",\n      \"items\": [\n        {\n          \"label\": \"z\""));
    ASSERT_EQ(0u, Favtool({L"import", file}).status);
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue({{L"F", L"", 1, true, true}, {L"x", L"c:\\x", 2},
                                                       {L"y", L"c:\\y", 1}, {L"z", L"c:\\z", 2}})}),
              Get(L"FavoriteArray"));
}

TEST_F(FavtoolTest, ExportRefusesALabelImportWouldRefuse) {
    PutFavorites({{L"ok", L"c:\\a", 1}, {std::wstring(260, L'L'), L"c:\\b", 1}});
    const std::wstring file = TempFile(L"long.json");
    const ToolRun run = Favtool({L"export", file});
    EXPECT_EQ(1u, run.status);
    EXPECT_TRUE(Contains(run.err, "record 2 (\"LLL"));
    EXPECT_TRUE(Contains(run.err, "is 260 UTF-16 units long"));
    EXPECT_EQ("<missing>", ReadFile(file));
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
    const ToolRun run = Favtool({L"import", file});
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

std::string TooLongLabel() {
    std::string label;
    for (int i = 0; i < 130; ++i) label += "😀";
    return R"({"version": 1, "favorites": [{"label": ")" + label + R"(", "path": "x"}]})";
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
    EXPECT_EQ(1u, run.status);
    EXPECT_EQ("favtool: " + Utf8(file) + ":" + GetParam().where + ": " + GetParam().problem + "; nothing was imported\n",
              run.err);
    EXPECT_EQ(before, Snapshot());
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ImportRefuses,
    ::testing::Values(
        BadDocument{"Truncated", R"({"version": 1, "favorites": [{"label": "a", "path": "b"})", "1:57",
                    "syntax error while parsing array - unexpected end of input; expected ']'"},
        BadDocument{"TrailingComma", "{\"version\": 1,\n \"favorites\": [{\"label\": \"a\", \"path\": \"b\"},]}", "2:44",
                    "syntax error while parsing value - unexpected ']'; expected '[', '{', or a literal"},
        BadDocument{"LabelNotAString", "{\n  \"version\": 1,\n  \"favorites\": [\n    {\"label\": 7, \"path\": \"b\"}\n  ]\n}",
                    "4:15", "\"label\" must be a string"},
        // Columns count characters, not bytes.
        BadDocument{"PathAfterJapanese", R"({"version": 1, "favorites": [{"label": "日本語", "path": 5}]})", "1:55",
                    "\"path\" must be a string"},
        BadDocument{"ExpandedNotABoolean",
                    R"({"version": 1, "favorites": [{"label": "F", "folder": true, "expanded": "yes"}]})", "1:73",
                    "\"expanded\" must be true or false"},
        BadDocument{"TooDeep", TooDeep(), ColumnOfLevel102(), "this item is 102 levels deep; the bar holds at most 101"},
        BadDocument{"LabelTooLong", TooLongLabel(), "1:40", "\"label\" is 260 UTF-16 units long; the bar holds at most 259"},
        BadDocument{"FolderWithPath", R"({"version": 1, "favorites": [{"label": "F", "folder": true, "path": "c:\\x"}]})",
                    "1:69", "\"path\" must be empty for a folder"},
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
    EXPECT_EQ(1u, run.status);
    EXPECT_TRUE(Contains(run.err, "FavoriteArray does not load completely: record 6 of 6"));
    EXPECT_EQ("<missing>", ReadFile(file));
}

}  // namespace
