// favtool as a console program: its output encodings, output that cannot be
// written, its help, and a start by double-click.
#include "tests/tool/favtool_fixture.h"

#include <nlohmann/json.hpp>

#include "common/handles.h"

namespace {

std::string InCodePage(const std::wstring& text, UINT codePage) {
    const int n = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

const std::vector<StoredRecord> kJapanese = {{L"日本語メモ", L"C:\\資料\\メモ.txt", 1}};

// Redirected output of a program started from a console is read in the
// console's code page (findstr, a file opened by type, PowerShell 5.1).
TEST_F(FavtoolTest, RedirectedOutputFollowsTheConsoleCodePageWhenThereIsOne) {
    PutFavorites(kJapanese);
    RunSetup withConsole;
    withConsole.creationFlags = CREATE_NO_WINDOW;  // a console of its own, output still piped
    const ToolRun run = Favtool({L"list"}, withConsole);
    ASSERT_EQ(0u, run.status) << run.err;
    // A new console starts in the OEM code page.
    const UINT codePage = ::GetOEMCP();
    ASSERT_NE(CP_UTF8, codePage) << "this check needs a console code page other than UTF-8";
    EXPECT_EQ(InCodePage(L"日本語メモ -> C:\\資料\\メモ.txt\n", codePage), run.out.substr(0, run.out.find('\n') + 1));

    const ToolRun utf8 = Favtool({L"--encoding", L"utf8", L"list"}, withConsole);
    EXPECT_EQ(0u, utf8.out.find(Utf8(L"日本語メモ -> C:\\資料\\メモ.txt\n"))) << utf8.out;

    // Without a console (a service, a scheduled task), UTF-8.
    EXPECT_EQ(0u, Favtool({L"list"}).out.find(Utf8(L"日本語メモ")));
}

// A document on standard output stays the same document in any code page.
TEST_F(FavtoolTest, JsonOnANarrowCodePageEscapesAllButAscii) {
    PutFavorites(kJapanese);
    RunSetup withConsole;
    withConsole.creationFlags = CREATE_NO_WINDOW;
    for (const std::vector<std::wstring>& args :
         {std::vector<std::wstring>{L"list", L"--json"}, {L"export", L"-"}, {L"check", L"--json"}}) {
        const ToolRun run = Favtool(args, withConsole);
        ASSERT_EQ(0u, run.status) << run.err;
        EXPECT_TRUE(std::all_of(run.out.begin(), run.out.end(), [](char c) { return (c & 0x80) == 0; })) << run.out;
        const nlohmann::json document = nlohmann::json::parse(run.out);
        if (args[0] != L"check") {
            EXPECT_EQ(Utf8(L"日本語メモ"), document["favorites"][0]["label"]) << Utf8(args[0]);
        }
    }
    const ToolRun file = Favtool({L"export", L"-"});
    EXPECT_TRUE(Contains(file.out, Utf8(L"\"label\": \"日本語メモ\""))) << "UTF-8 where the output carries it";
}

TEST_F(FavtoolTest, CheckJsonReportsTheValueAndTheBackup) {
    const std::vector<BYTE> whole = StoredValue(SampleTree());
    Put(L"FavoriteArray", REG_BINARY, std::vector<BYTE>(whole.begin(), whole.end() - 1));
    PutDword(L"check", 1);
    Put(L"FavoriteArrayBackup", REG_BINARY, whole);
    const ToolRun run = Favtool({L"check", L"--json"});
    EXPECT_EQ(1u, run.status);
    const nlohmann::json document = nlohmann::json::parse(run.out);
    const nlohmann::json& value = document["favorite_array"];
    EXPECT_EQ("binary", value["state"]);
    EXPECT_EQ(false, value["loads_completely"]);
    EXPECT_EQ(6, value["stop"]["record"]);
    EXPECT_EQ(5, value["stop"]["records_before"]);
    EXPECT_EQ(1, value["check"]);
    EXPECT_EQ(true, document["backup"]["loads_completely"]);
    EXPECT_EQ(4, document["backup"]["counts"]["favorites"]);
}

// Output that cannot be written is a failure, not a success with nothing shown.
TEST_F(FavtoolTest, OutputThatCannotBeWrittenIsAFailure) {
    std::vector<StoredRecord> many;
    for (int i = 0; i < 2000; ++i) many.push_back({L"favourite " + std::to_wstring(i), L"C:\\some\\path.txt", 1});
    PutFavorites(many);
    RunSetup closed;
    closed.closedOutput = true;
    const ToolRun run = Favtool({L"list"}, closed);
    EXPECT_EQ(4u, run.status) << "a system error";
    EXPECT_TRUE(Contains(run.err, "the output could not be written whole"));

    const ToolRun whole = Favtool({L"list"});
    EXPECT_EQ(0u, whole.status);
    EXPECT_TRUE(Contains(whole.out, "favourite 1999 -> C:\\some\\path.txt\n2000 favourites and 0 folders"));
}

TEST_F(FavtoolTest, HelpEndsWithExamplesStatusesWhereTheValuesLiveAndUndo) {
    const ToolRun run = Favtool({L"--help"});
    EXPECT_EQ(0u, run.status);
    for (const char* part : {"Examples:", "favtool export favorites.json", "Exit status:", "2  the command line is wrong",
                             "HKEY_CURRENT_USER\\Software\\Kalmet\\ZorvexPlugIns\\<module>", "Undo:",
                             "restore --history 1 puts the newest back", "--encoding"}) {
        EXPECT_TRUE(Contains(run.out, part));
    }
}

// Double-clicked in Explorer, a console program gets a window of its own
// that closes as soon as it ends: favtool says what it is and waits.
TEST_F(FavtoolTest, StartedAloneOnItsOwnConsoleItExplainsAndWaitsForAKey) {
    DWORD status = 0;
    const DWORD waited = OnOwnConsole({}, 3000, status);
    EXPECT_EQ(WAIT_TIMEOUT, waited) << "it ended at once, closing its window before anyone could read it";
}

}  // namespace
