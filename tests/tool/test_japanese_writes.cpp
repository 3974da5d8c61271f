// export, import, restore and relocate in Japanese: their results, dry runs,
// refusals and the JSON reader's errors, in Japanese word order, with the
// names, positions and documents that stay as they are in both languages.
#include "tests/tool/favtool_fixture.h"

#include <nlohmann/json.hpp>

#include <regex>

namespace {

RunSetup InJapanese() {
    RunSetup setup;
    setup.language = L"ja";
    return setup;
}

// What is English in a Japanese message without being favtool's words: the
// system's own message of a failure ("(エラー 3: ...)"), in the system's
// language when it has no Japanese, and names quoted as they are (JSON keys
// such as "folder").
std::string WithoutNames(const std::string& text) {
    const std::string unquoted = std::regex_replace(text, std::regex(R"("[A-Za-z]+")"), "\"\"");
    return std::regex_replace(unquoted, std::regex(R"(\(エラー \d+[^)]*\))"), "(...)");
}

void ExpectOnlyJapanese(const ToolRun& run) { EXPECT_TRUE(SpeaksOnlyJapanese(WithoutNames(run.out + run.err))); }

std::vector<BYTE> Utf16Document(const std::wstring& text) {
    std::vector<BYTE> bytes = {0xFF, 0xFE};
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    return bytes;
}

const char* const kOneFavorite = R"({"version": 1, "favorites": [{"label": "a", "path": "c:\\a"}]})";

class JapaneseWrites : public FavtoolTest {
protected:
    ToolRun InJapanese(const std::vector<std::wstring>& args) const { return Favtool(args, ::InJapanese()); }

    std::wstring Document(const std::wstring& name, const std::string& text) {
        const std::wstring file = TempFile(name);
        WriteFile(file, text);
        return file;
    }
    void PutEntry(const std::wstring& name, DWORD type, const std::vector<BYTE>& data) const {
        const std::wstring path = L"Software\\Kalmet\\ZorvexPlugIns\\" + module + L"\\History";
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), type, data.data(),
                                                    static_cast<DWORD>(data.size())));
    }
    // An entry name as the plug-in makes them, minutes after 10:00 UTC on 2020-01-01.
    static std::wstring EntryName(int minute) {
        wchar_t name[64];
        swprintf(name, 64, L"2020-01-01T10:%02d:00.000Z-%04d import", minute, minute);
        return name;
    }
};

// ---- export

TEST_F(JapaneseWrites, ExportSaysWhereItWroteAndWritesTheSameDocument) {
    PutFavorites(SampleTree());
    const std::wstring file = TempFile(L"お気に入り.json");
    ToolRun run = InJapanese({L"export", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ(0u, run.out.find("export: ")) << run.out;
    EXPECT_TRUE(Contains(run.out, " " + Utf8(file) + " に書き出しました\n"));
    ExpectOnlyJapanese(run);
    const std::wstring english = TempFile(L"english.json");
    ASSERT_EQ(0u, Favtool({L"export", english}).status);
    EXPECT_EQ(ReadFile(english), ReadFile(file)) << "a document is the same in both languages";

    // Standard output holds the document alone; the summary goes to standard error.
    run = InJapanese({L"export", L"-"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ(nlohmann::json::parse(Favtool({L"export", L"-"}).out), nlohmann::json::parse(run.out));
    EXPECT_TRUE(Contains(run.err, "を標準出力に書き出しました\n"));
    ExpectOnlyJapanese(run);
}

TEST_F(JapaneseWrites, ExportAndImportNoteWhatTheBarShowsOtherwise) {
    const std::vector<StoredRecord> odd = {
        {L"ok", L"c:\\a", 1},
        {std::wstring(300, L'L'), L"c:\\b", 1},
        {L"bell\x07", L"c:\\c", 1},
        {L"F", L"c:\\folder path", 1, true, true},
    };
    PutFavorites(odd);
    const std::wstring file = TempFile(L"odd.json");
    ToolRun run = InJapanese({L"export", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.err, "レコード 2 (\"LLLL"));
    EXPECT_TRUE(Contains(run.err, "...): ラベルの長さが UTF-16 で 300 単位あります。バーは全体を表示しますが、"
                                  "保存するときは最初の 259 単位だけを残します\n"));
    EXPECT_TRUE(Contains(run.err, "レコード 3 (\"bell\a\"): ラベルに制御文字 U+0007 があり、"));
    EXPECT_TRUE(Contains(run.err, "レコード 4 (\"F\"): パスを持つフォルダーです。"));
    ExpectOnlyJapanese(run);

    // Import notes them at their place in the document, as English does.
    PutFavorites({{L"x", L"c:\\x", 1}});
    run = InJapanese({L"import", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.err, Utf8(file) + ":9:16: ラベルの長さが UTF-16 で 300 単位あります"));
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(odd)}), Get(L"FavoriteArray"));

    // Levels skipped: the document holds the tree as the bar shows it.
    PutFavorites({{L"F", L"", 1, true, true}, {L"x", L"c:\\x", 3}});
    run = InJapanese({L"export", TempFile(L"skipped.json")});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.err, "保存されているバイトは、このツリーをバーが保存するときのバイトと違います"));
    EXPECT_TRUE(Contains(run.err, "import では、バーが保存するとおりに書き込みます\n"));
}

TEST_F(JapaneseWrites, ExportThatCannotWriteItsFileLeavesItAndSaysSo) {
    PutFavorites(SampleTree());
    const std::wstring file = TempFile(L"missing folder\\favorites.json");
    const ToolRun run = InJapanese({L"export", file});
    EXPECT_EQ(4u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.err, "favtool: " + Utf8(file) + ".partial を作成できません (エラー "));
    EXPECT_TRUE(Contains(run.err, ")。何も書き込んでいません\n"));
    EXPECT_EQ("", run.out);
    ExpectOnlyJapanese(run);
}

// ---- import

TEST_F(JapaneseWrites, ImportSaysWhatItWouldReplaceWhatItReplacedAndWhenNothingIsToDo) {
    PutFavorites(SampleTree());
    const std::wstring file = Document(L"one.json", kOneFavorite);
    const KeySnapshot before = Snapshot();
    ToolRun run = InJapanese({L"import", file, L"--dry-run"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ(0u, run.out.find("import: FavoriteArray ")) << run.out;
    EXPECT_TRUE(Contains(run.out, "に置き換えます"));
    EXPECT_TRUE(Contains(run.out, "。試しなので、何も書き込んでいません\n"));
    EXPECT_FALSE(Contains(run.out, "置き換えました"));
    ExpectOnlyJapanese(run);
    EXPECT_EQ(before, Snapshot());

    run = InJapanese({L"import", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ(0u, run.out.find("import: FavoriteArray ")) << run.out;
    EXPECT_TRUE(Contains(run.out, "に置き換えました"));
    EXPECT_TRUE(Contains(run.out, "favtool restore --history 1"));
    ExpectOnlyJapanese(run);
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue({{L"a", L"c:\\a", 1}})}), Get(L"FavoriteArray"));

    run = InJapanese({L"import", file});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "の内容は、すでにこのツリーと同じです"));
    ExpectOnlyJapanese(run);

    // Into a key without favourites: written, nothing replaced.
    Put(L"FavoriteArray", REG_BINARY, {});
    run = InJapanese({L"import", file});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "を書き込みました"));
    EXPECT_FALSE(Contains(run.out, "置き換え"));
}

TEST_F(JapaneseWrites, ImportOfAMissingOrUnreadableSourceWritesNothing) {
    const std::wstring file = Document(L"one.json", kOneFavorite);
    RunSetup elsewhere = ::InJapanese();
    elsewhere.withModule = false;
    ToolRun run = Favtool({L"--module", module + L"-none", L"import", file}, elsewhere);
    EXPECT_EQ(3u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.err, "。そのモジュールのキーを作るには、--create を付けて import をもう一度実行してください\n"));
    ExpectOnlyJapanese(run);

    PutFavorites(SampleTree());
    const KeySnapshot before = Snapshot();
    const std::wstring nowhere = TempFile(L"nowhere.json");
    run = InJapanese({L"import", nowhere});
    EXPECT_EQ(3u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.err, "favtool: " + Utf8(nowhere) + " を開けません (エラー "));
    ExpectOnlyJapanese(run);

    // No standard input to read from.
    run = InJapanese({L"import", L"-"});
    EXPECT_EQ(2u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.err, "import - は、送られてきた JSON ファイルを読み込みます。例: favtool import - < "));
    ExpectOnlyJapanese(run);
    EXPECT_EQ(before, Snapshot());
}

struct BadDocument {
    const char* name;
    std::string text;
    const char* where;  // line:column, as English gives it
    const char* problem;
};

void PrintTo(const BadDocument& document, std::ostream* out) { *out << document.name; }

class JapaneseImportRefuses : public JapaneseWrites, public ::testing::WithParamInterface<BadDocument> {};

// The position is the same in both languages; the problem and the end are Japanese.
TEST_P(JapaneseImportRefuses, AtTheSamePositionAndWritesNothing) {
    PutFavorites(SampleTree());
    const KeySnapshot before = Snapshot();
    const std::wstring file = Document(L"bad.json", GetParam().text);
    const ToolRun english = Favtool({L"import", file});
    EXPECT_TRUE(Contains(english.err, "favtool: " + Utf8(file) + ":" + GetParam().where + ": "));
    const ToolRun run = InJapanese({L"import", file});
    EXPECT_EQ(3u, run.status);
    EXPECT_TRUE(Contains(run.err, "favtool: " + Utf8(file) + ":" + GetParam().where + ": " + GetParam().problem));
    EXPECT_TRUE(Contains(run.err, "。何も読み込んでいません\n"));
    EXPECT_EQ("", run.out);
    ExpectOnlyJapanese(run);
    EXPECT_EQ(before, Snapshot());
}

INSTANTIATE_TEST_SUITE_P(
    Documents, JapaneseImportRefuses,
    ::testing::Values(
        BadDocument{"Truncated", R"({"version": 1, "favorites": [{"label": "a", "path": "b"})", "1:57",
                    "JSON ファイルが途中で終わっています (角かっこ、波かっこ、引用符のどれかが閉じていません)"},
        BadDocument{"TrailingComma", "{\"version\": 1,\n \"favorites\": [{\"label\": \"a\", \"path\": \"b\"},]}", "2:44",
                    "正しい JSON ではありません。ここに \"]\" は書けません"},
        BadDocument{"RawControlCharacter", "{\"version\": 1, \"favorites\": [{\"label\": \"a\x01\", \"path\": \"b\"}]}",
                    "1:42", "正しい JSON ではありません。文字列の中の制御文字 U+0001 は \\u0001 と書く必要があります"},
        BadDocument{"FolderNotABoolean", R"({"version": 1, "favorites": [{"label": "F", "folder": 1}]})", "1:55",
                    "\"folder\" は true か false でなければなりません"},
        BadDocument{"ItemNotAnObject", R"({"version": 1, "favorites": [3]})", "1:30",
                    "項目はオブジェクトでなければなりません"},
        BadDocument{"PathMissing", R"({"version": 1, "favorites": [{"label": "a"}]})", "1:30",
                    "\"path\" (または \"folder\": true) がありません"},
        BadDocument{"UnknownKey", R"({"version": 1, "favorites": [{"label": "a", "path": "b", "colour": 1}]})", "1:58",
                    "不明なキー \"colour\" があります"},
        BadDocument{"RepeatedKey", R"({"version": 1, "version": 1, "favorites": []})", "1:16",
                    "\"version\" が 2 回あります"},
        BadDocument{"OtherVersion", R"({"version": 2, "favorites": []})", "1:13",
                    "バージョン 2 には対応していません。この favtool が読めるのはバージョン 1 です"},
        BadDocument{"NoVersion", R"({"favorites": []})", "1:1", "\"version\" がありません"},
        BadDocument{"NotUtf8", "{\"version\": 1, \"favorites\": [{\"label\": \"\xFF\", \"path\": \"b\"}]}", "1:41",
                    "バイト 0xFF は UTF-8 ではありません。ファイルを UTF-8 で保存してから、もう一度読み込んでください"},
        // Notepad's "Unicode" with an odd byte: the file cannot be UTF-16 at all.
        BadDocument{"Utf16WithAnOddByte", "\xFF\xFE{", "1:1",
                    "このファイルは UTF-16 で始まっていますが、バイト数が奇数です。UTF-8 で保存してください"}),
    [](const ::testing::TestParamInfo<BadDocument>& info) { return std::string(info.param.name); });

// Notepad saves "Unicode" (UTF-16) with a byte order mark, which import
// reads; older editors save Shift_JIS, for which the Japanese user is told
// the way in the menus of the Notepad they have.
TEST_F(JapaneseWrites, ImportReadsUtf16AndAsksForUtf8InsteadOfShiftJisInNotepadsWords) {
    PutFavorites({{L"x", L"c:\\x", 1}});
    const std::wstring text = L"{\"version\": 1, \"favorites\": [{\"label\": \"日本語\", \"path\": \"C:\\\\メモ.txt\"}]}";
    const std::wstring utf16 = TempFile(L"unicode.json");
    const std::vector<BYTE> bytes = Utf16Document(text);
    WriteFile(utf16, std::string(bytes.begin(), bytes.end()));
    ToolRun run = InJapanese({L"import", utf16});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue({{L"日本語", L"C:\\メモ.txt", 1}})}), Get(L"FavoriteArray"));

    const KeySnapshot before = Snapshot();
    std::wstring lone = L"{\"version\": 1,\n\"favorites\": [{\"label\": \"x";
    lone += static_cast<wchar_t>(0xD800);
    lone += L"\", \"path\": \"c:\\\\x\"}]}";
    const std::wstring broken = TempFile(L"lone.json");
    const std::vector<BYTE> loneBytes = Utf16Document(lone);
    WriteFile(broken, std::string(loneBytes.begin(), loneBytes.end()));
    run = InJapanese({L"import", broken});
    EXPECT_EQ(3u, run.status);
    EXPECT_TRUE(Contains(run.err, Utf8(broken) + ":2:27: UTF-16 のファイルの \\u エスケープの外に、"
                                                   "対になっていないサロゲートがあります。何も読み込んでいません\n"));
    ExpectOnlyJapanese(run);

    // 日本語 in Shift_JIS is 93 FA 96 7B 8C EA.
    const std::wstring sjis = Document(
        L"sjis.json", "{\"version\": 1, \"favorites\": [{\"label\": \"\x93\xFA\x96\x7B\x8C\xEA\", \"path\": \"C:\\\\a\"}]}");
    run = InJapanese({L"import", sjis});
    EXPECT_EQ(3u, run.status);
    EXPECT_TRUE(Contains(run.err, Utf8(sjis) + ":1:41: このファイルは UTF-8 ではなく、Shift_JIS として読めます。"));
    EXPECT_TRUE(Contains(run.err, "メモ帳の [ファイル] メニューの [名前を付けて保存] で [文字コード] に [UTF-8] "
                                  "を選んで保存してから、もう一度読み込んでください。何も読み込んでいません\n"));
    ExpectOnlyJapanese(run);
    // English names the same steps in its Notepad's words.
    EXPECT_TRUE(Contains(Favtool({L"import", sjis}).err, "(in Notepad: File, Save As, Encoding UTF-8)"));
    EXPECT_EQ(before, Snapshot());
}

// ---- restore

TEST_F(JapaneseWrites, RestoreSwapsTheBackupOnlyWhenItLoadsOrIsForced) {
    PutFavorites(SampleTree());
    const std::vector<BYTE> damaged = {0x08, 0x0F, 0xEF, 0x00, 5, 0, 0, 0, 1};
    Put(L"FavoriteArrayBackup", REG_NONE, damaged);
    const KeySnapshot before = Snapshot();
    ToolRun run = InJapanese({L"restore"});
    EXPECT_EQ(3u, run.status);
    EXPECT_TRUE(Contains(run.err, "favtool: FavoriteArrayBackup は最後まで読めません (REG_NONE、9 バイト)。戻すと、"
                                  "バーには一部しか表示されず、次の保存で残りが上書きされます。何も変更していません"));
    EXPECT_TRUE(Contains(run.err, "--force を付けると、それでも戻します)\n"));
    ExpectOnlyJapanese(run);
    EXPECT_EQ(before, Snapshot());

    run = InJapanese({L"restore", L"--force"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ(0u, run.out.find("restore: FavoriteArray ")) << run.out;
    EXPECT_TRUE(Contains(run.out, "をバックアップ (REG_NONE、9 バイト、最後まで読めない値) に置き換えました"));
    EXPECT_TRUE(Contains(run.out, "。置き換えた値は FavoriteArrayBackup と履歴 1 にあります (元に戻すには、"
                                  "もう一度 favtool restore を実行します)\n"));
    ExpectOnlyJapanese(run);
    EXPECT_EQ((StoredValueOf{REG_NONE, damaged}), Get(L"FavoriteArray"));

    // The swap back: what went to the backup loads, so no --force.
    run = InJapanese({L"restore", L"--dry-run"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "をバックアップの"));
    EXPECT_TRUE(Contains(run.out, "に置き換えます"));
    EXPECT_TRUE(Contains(run.out, "。試しなので、何も書き込んでいません\n"));
    ExpectOnlyJapanese(run);
    run = InJapanese({L"restore"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue(SampleTree())}), Get(L"FavoriteArray"));

    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, (L"Software\\Kalmet\\ZorvexPlugIns\\" + module).c_str(),
                         L"FavoriteArrayBackup");
    run = InJapanese({L"restore"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "restore: "));
    EXPECT_TRUE(Contains(run.out, "FavoriteArrayBackup"));
    EXPECT_TRUE(Contains(run.out, "がありません"));
    ExpectOnlyJapanese(run);
}

TEST_F(JapaneseWrites, RestoreFromTheHistorySaysHowToUndoAndRefusesWhatWouldBeLost) {
    PutFavorites({{L"now", L"c:\\now", 1}});
    PutEntry(EntryName(1), REG_BINARY, StoredValue({{L"then", L"c:\\then", 1}}));
    ToolRun run = InJapanese({L"restore", L"--history", L"1", L"--dry-run"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "に置き換えます。試しなので、何も書き込んでいません\n"));
    ExpectOnlyJapanese(run);

    run = InJapanese({L"restore", L"--history", L"1"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ(0u, run.out.find("restore: FavoriteArray ")) << run.out;
    EXPECT_TRUE(Contains(run.out, "に置き換えました"));
    EXPECT_TRUE(Contains(run.out, "。置き換えた値は履歴 1 になりました。favtool restore --history 1 で元に戻せます\n"));
    ExpectOnlyJapanese(run);
    EXPECT_EQ((StoredValueOf{REG_BINARY, StoredValue({{L"then", L"c:\\then", 1}})}), Get(L"FavoriteArray"));

    // Entry 2 is what was just restored.
    run = InJapanese({L"restore", L"--history", L"2"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "の内容は、すでに"));
    EXPECT_TRUE(Contains(run.out, "と同じです"));
    ExpectOnlyJapanese(run);

    // An entry the bar would not load is put back only with --force. It is
    // entry 2: older than the one the restore just made.
    PutEntry(EntryName(30), REG_SZ, {'x', 0, 0, 0});
    const KeySnapshot before = Snapshot();
    run = InJapanese({L"restore", L"--history", L"2"});
    EXPECT_EQ(3u, run.status);
    EXPECT_TRUE(Contains(run.err, " は REG_SZ の値で、バーはこれを読み込みません。戻すと、バーには一部しか表示されず"));
    EXPECT_TRUE(Contains(run.err, "(読める部分は favtool list --history 2 で表示できます。--force を付けると、"));
    ExpectOnlyJapanese(run);
    EXPECT_EQ(before, Snapshot());
}

TEST_F(JapaneseWrites, RestoreRefusesToDropTheEntryItRestores) {
    PutFavorites({{L"now", L"c:\\now", 1}});
    // Sixteen entries of one day long past: the next one pushes the oldest out.
    for (int minute = 1; minute <= 16; ++minute) {
        PutEntry(EntryName(minute), REG_BINARY, StoredValue({{L"e" + std::to_wstring(minute), L"c:\\e", 1}}));
    }
    const KeySnapshot before = Snapshot();
    const ToolRun run = InJapanese({L"restore", L"--history", L"15"});
    EXPECT_EQ(3u, run.status) << run.out;
    EXPECT_TRUE(Contains(run.err, " を戻すと、置き換える値を残すために、戻す履歴かそれより古い履歴が消えます: "));
    EXPECT_TRUE(Contains(run.err, "。何も変更していません (favtool export --history N FILE で履歴のコピーを残せます。"
                                  "--force を付けると、それでも戻します)\n"));
    EXPECT_TRUE(Contains(run.err, "履歴が消えます: 履歴 15 ("));
    ExpectOnlyJapanese(run);
    EXPECT_EQ(before, Snapshot());
}

// ---- relocate

const std::vector<StoredRecord> kScattered = {
    {L"Work", L"", 1, true, true},
    {L"a", L"C:\\Proj\\a.txt", 2},
    {L"b", L"c:\\PROJ\\sub\\b.txt", 2},
    {L"other", L"D:\\Proj\\d.txt", 1},
};

TEST_F(JapaneseWrites, RelocateListsThePathsAndSaysWhatItRewrote) {
    PutFavorites(kScattered);
    const KeySnapshot before = Snapshot();
    ToolRun run = InJapanese({L"relocate", L"c:\\proj", L"E:\\新しい", L"--dry-run"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_EQ(0u, run.out.find("  a: C:\\Proj\\a.txt -> E:\\新しい\\a.txt\n"
                               "  b: c:\\PROJ\\sub\\b.txt -> E:\\新しい\\sub\\b.txt\n"
                               "relocate: FavoriteArray "))
        << run.out;
    EXPECT_TRUE(Contains(run.out, "のパス 2 個が変わります。試しなので、何も書き込んでいません\n"));
    ExpectOnlyJapanese(run);
    EXPECT_EQ(before, Snapshot());

    run = InJapanese({L"relocate", L"c:\\proj", L"E:\\新しい"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "のパス 2 個を書き換えました"));
    EXPECT_TRUE(Contains(run.out, "favtool restore --history 1"));
    ExpectOnlyJapanese(run);
    EXPECT_NE(before, Snapshot());

    // Case alone changes nothing a file system tells apart.
    run = InJapanese({L"relocate", L"D:\\Proj", L"D:\\PROJ"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "  other: D:\\Proj\\d.txt -> D:\\PROJ\\d.txt (大文字と小文字、またはスラッシュだけが"
                                  "変わります。書き込みません)\n"));
    EXPECT_TRUE(Contains(run.out, "のパス 1 個は、大文字と小文字、またはスラッシュだけが変わり、同じファイルを指します "
                                  "(--change-case を付けると書き込みます)"));
    ExpectOnlyJapanese(run);

    run = InJapanese({L"relocate", L"C:\\Pro", L"E:\\x"});
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "には、\"C:\\Pro\" とその下にあるお気に入りがありません"));
    ExpectOnlyJapanese(run);
}

TEST_F(JapaneseWrites, RelocateRefusesPathsNoFileCanHave) {
    PutFavorites(kScattered);
    const KeySnapshot before = Snapshot();
    ToolRun run = InJapanese({L"relocate", L"C:\\Proj", L"Work"});
    EXPECT_EQ(2u, run.status);
    EXPECT_TRUE(Contains(run.err, "favtool: 新しいパス \"Work\" は、ドライブか共有フォルダーから始めてください "
                                  "(例: D:\\Work、\\\\server\\share\\Work)\n"));
    ExpectOnlyJapanese(run);

    run = InJapanese({L"relocate", L"C:\\Proj", L"D:\\what?"});
    EXPECT_EQ(2u, run.status);
    EXPECT_TRUE(Contains(run.err, "favtool: 新しいパス \"D:\\what?\" には、ファイル名にもフォルダー名にも使えない"
                                  "文字 U+003F (?) があります\n"));
    ExpectOnlyJapanese(run);

    run = InJapanese({L"relocate", L"C:\\Proj", L"D:\\tab\there"});
    EXPECT_EQ(2u, run.status);
    EXPECT_TRUE(Contains(run.err, "使えない制御文字 U+0009 があります\n"));
    ExpectOnlyJapanese(run);
    EXPECT_EQ(before, Snapshot());
}

}  // namespace
