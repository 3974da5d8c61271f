// favtool as scripts and schedulers meet it: a start on a console of its
// own with arguments, one exit status per outcome, the command-line
// conventions of Windows tools, and documents that come back whole.
#include "tests/tool/favtool_fixture.h"

#include <regex>
#include <sstream>

#include <nlohmann/json.hpp>

#include "common/handles.h"
#include "tests/win/held_writers_lock.h"

namespace {

// The lines of the text longer than a console of 80 columns, each with its length.
std::string LongLines(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    std::string found;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::wstring wide = favstore::Wide(line);
        if (wide.size() > 80) found += std::to_string(wide.size()) + ": " + line + "\n";
    }
    return found;
}

// Task Scheduler, a shortcut with arguments, Start-Process and Win+R start
// favtool alone on a console of its own, as a double-click does: with
// arguments it does what they say and ends, rather than wait for a key.
TEST_F(FavtoolTest, StartedAloneOnItsOwnConsoleWithArgumentsItRunsTheCommand) {
    PutFavorites(SampleTree());
    const std::wstring file = TempFile(L"scheduled.json");
    DWORD status = 99;
    const DWORD waited = OnOwnConsole({L"--module", module, L"export", file}, 30000, status);
    ASSERT_EQ(WAIT_OBJECT_0, waited) << "it waited instead of running the command";
    EXPECT_EQ(0u, status);
    EXPECT_TRUE(Contains(ReadFile(file), "\"label\": \"Projects\""));
}

// Each status, one outcome: 0 done, 1 done with a finding, 2 the command
// line wrong, 3 refused with nothing written, 4 failed part-way.
TEST_F(FavtoolTest, EachExitStatusHasItsOutcome) {
    PutFavorites(SampleTree());
    EXPECT_EQ(0u, Favtool({L"list"}).status);

    for (const std::vector<std::wstring>& args :
         {std::vector<std::wstring>{L"lst"}, {L"export", L""}, {L"import", L""}, {L"restore", L"--history", L"x"},
          {L"restore", L"--history", L"0"}, {L"diff", L"-1"}, {L"list", L"--jsn"}}) {
        const ToolRun run = Favtool(args);
        EXPECT_EQ(2u, run.status) << Utf8(args[0]) << " " << Utf8(args.back()) << run.err;
        EXPECT_FALSE(run.err.empty());
    }

    // The lock kept by another writer: refused, nothing written, nothing claimed.
    const KeySnapshot before = Snapshot();
    {
        HeldWritersLock other(L"Software\\Kalmet\\ZorvexPlugIns\\" + module);
        const ToolRun run = Favtool({L"relocate", L"C:\\Proj", L"D:\\Work"});
        EXPECT_EQ(3u, run.status) << run.err;
        EXPECT_TRUE(Contains(run.err, "kept them locked; nothing written"));
        EXPECT_EQ("", run.out) << "no change is listed before a write that did not happen";
    }
    EXPECT_EQ(before, Snapshot());

    // A file that cannot be written is a system error; an existing file stays whole.
    const ToolRun nowhere = Favtool({L"export", TempFile(L"no such folder\\favorites.json")});
    EXPECT_EQ(4u, nowhere.status) << nowhere.err;
    EXPECT_TRUE(Contains(nowhere.err, "cannot create"));
    EXPECT_TRUE(Contains(nowhere.err, "nothing was written"));

    const std::wstring file = TempFile(L"differs.json");
    WriteFile(file, R"({"version": 1, "favorites": [{"label": "a.txt", "path": "C:\\a.txt"}]})");
    ASSERT_EQ(0u, Favtool({L"import", file}).status);
    EXPECT_EQ(1u, Favtool({L"diff"}).status) << "diff found differences";
}

TEST_F(FavtoolTest, HelpAndUsageFollowWindowsConventions) {
    const ToolRun help = Favtool({L"--help"});
    ASSERT_EQ(0u, help.status);
    for (const char* statusLine : {"0  done", "1  done, with a finding", "2  the command line is wrong",
                                   "3  refused, nothing written", "4  failed part-way"}) {
        EXPECT_TRUE(Contains(help.out, statusLine));
    }
    EXPECT_EQ("", LongLines(help.out)) << "help lines fit a console of 80 columns";
    EXPECT_EQ(help.out, Favtool({L"/?"}).out);
    EXPECT_EQ(help.out, Favtool({L"-h"}).out);

    for (const wchar_t* command :
         {L"list", L"export", L"import", L"check", L"restore", L"history", L"diff", L"relocate", L"missing"}) {
        const ToolRun run = Favtool({command, L"--help"});
        EXPECT_EQ(0u, run.status) << Utf8(command);
        EXPECT_TRUE(Contains(run.out, "Usage: favtool " + Utf8(command)));
        EXPECT_FALSE(Contains(run.out, "Examples:")) << "one command's help, not the whole footer";
        EXPECT_TRUE(Contains(run.out, "favtool --help lists every command"));
        EXPECT_EQ("", LongLines(run.out)) << Utf8(command);
        EXPECT_EQ(run.out, Favtool({command, L"/?"}).out) << Utf8(command);
    }

    const ToolRun unknown = Favtool({L"lst"});
    EXPECT_TRUE(Contains(unknown.err, "unknown command 'lst'; commands are list, export, import, check, restore"));

    // A number out of range says the range, not the bounds of a floating-point type.
    // Every command that reads an entry checks its number alike.
    const std::wstring copy = TempFile(L"entry.json");
    for (const std::vector<std::wstring>& command :
         {std::vector<std::wstring>{L"restore"}, {L"list"}, {L"export", copy}}) {
        for (const wchar_t* number : {L"1e400", L"0", L"99999999999999999999"}) {
            std::vector<std::wstring> args = command;
            args.insert(args.end(), {L"--history", number});
            const ToolRun run = Favtool(args);
            EXPECT_EQ(2u, run.status) << Utf8(command[0]);
            EXPECT_TRUE(Contains(run.err, "entries are numbered from 1 (the newest)")) << run.err;
            EXPECT_LT(run.err.size(), 300u) << run.err;
        }
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(copy.c_str())) << "nothing written";
    PutFavorites(SampleTree());
    const ToolRun beyond = Favtool({L"diff", L"4"});
    EXPECT_EQ(2u, beyond.status);
    EXPECT_TRUE(Contains(beyond.err, "there are no history entries")) << beyond.err;
}

const std::vector<StoredRecord> kProjects = {
    {L"a", L"C:\\Proj\\a.txt", 1},
    {L"b", L"C:\\Proj\\sub\\b.txt", 1},
};

// The bar writes "\" between path components; so does relocate, whatever NEW used.
TEST_F(FavtoolTest, RelocateWritesTheBarsSeparatorsAndRefusesImpossibleNames) {
    PutFavorites(kProjects);
    const KeySnapshot before = Snapshot();
    for (const wchar_t* to : {L"D:\\Wo<rk", L"D:\\a|b", L"D:\\what?", L"D:\\a:b", L"D:\\tab\there"}) {
        const ToolRun run = Favtool({L"relocate", L"C:\\Proj", to});
        EXPECT_EQ(2u, run.status) << Utf8(to);
        EXPECT_TRUE(Contains(run.err, "which no file or folder name can hold")) << run.err;
    }
    EXPECT_EQ(before, Snapshot());

    const ToolRun run = Favtool({L"relocate", L"C:\\Proj", L"D:/Work/New/"});
    ASSERT_EQ(0u, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "  a: C:\\Proj\\a.txt -> D:\\Work\\New\\a.txt\n"));
    EXPECT_EQ((StoredValueOf{REG_BINARY,
                             StoredValue({{L"a", L"D:\\Work\\New\\a.txt", 1}, {L"b", L"D:\\Work\\New\\sub\\b.txt", 1}})}),
              Get(L"FavoriteArray"));
    // A long path's prefix passes "/" on as a character; it is left as given.
    ASSERT_EQ(0u, Favtool({L"relocate", L"D:\\Work\\New", L"\\\\?\\E:\\x/y"}).status);
    EXPECT_EQ((StoredValueOf{REG_BINARY,
                             StoredValue({{L"a", L"\\\\?\\E:\\x/y\\a.txt", 1}, {L"b", L"\\\\?\\E:\\x/y\\sub\\b.txt", 1}})}),
              Get(L"FavoriteArray"));
}

TEST_F(FavtoolTest, HistoryJsonHasAVersionAndTimesWithTheirOffset) {
    PutFavorites(kProjects);
    const std::wstring file = TempFile(L"one.json");
    WriteFile(file, R"({"version": 1, "favorites": [{"label": "a.txt", "path": "C:\\a.txt"}]})");
    ASSERT_EQ(0u, Favtool({L"import", file}).status);
    const ToolRun run = Favtool({L"history", L"--json"});
    ASSERT_EQ(0u, run.status) << run.err;
    const nlohmann::json document = nlohmann::json::parse(run.out);
    EXPECT_EQ(1, document["version"]);
    ASSERT_EQ(1u, document["entries"].size());
    const std::string time = document["entries"][0]["time"];
    EXPECT_TRUE(std::regex_match(time, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)"))) << time;
    EXPECT_EQ(true, document["entries"][0]["daily"]) << "the only entry is its day's first";
}

}  // namespace
