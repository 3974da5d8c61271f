// The host's answers to the plug-in's messages, sent to the view as the
// plug-in does, and the custom bars it docks.
#include "host/selftest/probe_fixture.h"

#include <cwchar>

using hostsim::MainWindow;
using hostsim::Request;

namespace {

LRESULT Ask(MainWindow* window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageW(window->View(), msg, wParam, lParam);
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

TEST_F(ProbeTest, VersionIsTheConfiguredNumber) {
    MainWindow* window = Start();
    EXPECT_EQ(6000, Ask(window, HM_GET_VERSION));
    host.reset();
    hostsim::HostOptions options;
    options.version = 5999;
    window = Start(options);
    EXPECT_EQ(5999, Ask(window, HM_GET_VERSION));
    ASSERT_EQ(1u, host->Requests().size());
    EXPECT_EQ(window->Main(), host->Requests()[0].hwndMain);
    EXPECT_EQ(5999, host->Requests()[0].result);
}

TEST_F(ProbeTest, OpeningAFileRecordsItAndMakesItTheCurrentDocument) {
    MainWindow* window = Start();
    OPEN_FILE_INFO info = {sizeof(OPEN_FILE_INFO), {0, 1, 0, 1, 1, 1}};
    Ask(window, HM_OPEN_FILE, reinterpret_cast<WPARAM>(&info), reinterpret_cast<LPARAM>(L"C:\\docs\\a.txt"));
    const auto opened = host->RequestsOf(HM_OPEN_FILE);
    ASSERT_EQ(1u, opened.size());
    EXPECT_EQ(L"C:\\docs\\a.txt", opened[0].text);
    EXPECT_EQ((std::vector<UINT>{28, 0, 1, 0, 1, 1, 1}), opened[0].record);
    EXPECT_EQ(L"C:\\docs\\a.txt", window->CurrentDocument());

    wchar_t path[260] = L"stale";
    Ask(window, HM_GET_DOC_PATH, HOST_DOC_PATH_PARAM, reinterpret_cast<LPARAM>(path));
    EXPECT_STREQ(L"C:\\docs\\a.txt", path);
    EXPECT_EQ(L"C:\\docs\\a.txt", host->RequestsOf(HM_GET_DOC_PATH)[0].text);
}

TEST_F(ProbeTest, DocumentPathIsCutToTheBufferOfTheContract) {
    MainWindow* window = Start();
    wchar_t buffer[300];
    std::wmemset(buffer, L'#', 300);
    Ask(window, HM_GET_DOC_PATH, HOST_DOC_PATH_PARAM, reinterpret_cast<LPARAM>(buffer));
    EXPECT_EQ(L'\0', buffer[0]);  // no document: an empty string

    window->SetCurrentDocument(std::wstring(400, L'x'));
    std::wmemset(buffer, L'#', 300);
    Ask(window, HM_GET_DOC_PATH, HOST_DOC_PATH_PARAM, reinterpret_cast<LPARAM>(buffer));
    EXPECT_EQ(L'x', buffer[258]);
    EXPECT_EQ(L'\0', buffer[259]);
    EXPECT_EQ(L'#', buffer[260]);
    EXPECT_EQ(259u, host->RequestsOf(HM_GET_DOC_PATH).back().text.size());
}

TEST_F(ProbeTest, RunningTheFirstMacroRecordsTheSlotAsItIsThen) {
    hostsim::ScratchKey macros(HOST_MACRO_KEY);
    MainWindow* window = Start();
    Ask(window, HM_EXEC_COMMAND, CMD_RUN_FIRST_MACRO);
    macros.WriteString(HOST_FIRST_MACRO_VALUE, L"C:\\macros\\one.mac");
    Ask(window, HM_EXEC_COMMAND, CMD_RUN_FIRST_MACRO);
    macros.WriteString(HOST_FIRST_MACRO_VALUE, L"C:\\macros\\two.mac");
    Ask(window, HM_EXEC_COMMAND, CMD_AFTER_OPEN);
    Ask(window, HM_EXEC_COMMAND, CMD_RUN_FIRST_MACRO);
    const auto commands = host->RequestsOf(HM_EXEC_COMMAND);
    ASSERT_EQ(4u, commands.size());
    EXPECT_EQ(L"", commands[0].text);
    EXPECT_EQ(L"C:\\macros\\one.mac", commands[1].text);
    EXPECT_EQ(CMD_AFTER_OPEN, commands[2].wParam);
    EXPECT_EQ(L"", commands[2].text);
    EXPECT_EQ(L"C:\\macros\\two.mac", commands[3].text);
}

TEST_F(ProbeTest, TheBarDocksAtEachSideAndTheViewTakesTheRest) {
    MainWindow* window = Start();
    UINT lastId = 0;
    for (int side : {BAR_POS_LEFT, BAR_POS_TOP, BAR_POS_RIGHT, BAR_POS_BOTTOM}) {
        SCOPED_TRACE(side);
        HWND tree = OpenBar(window, side);
        ASSERT_NE(nullptr, tree);
        EXPECT_EQ(side, window->BarPos());
        EXPECT_EQ(L"Probe bar", window->BarTitle());
        EXPECT_GT(window->BarId(), lastId);
        lastId = window->BarId();
        EXPECT_EQ(static_cast<LRESULT>(lastId), host->RequestsOf(HM_OPEN_CUSTOM_BAR).back().result);
        EXPECT_EQ(window->BarContainer(), ::GetParent(tree));

        RECT client = {};
        ::GetClientRect(window->Main(), &client);
        const RECT bar = ClientRectIn(window->BarContainer(), window->Main());
        const RECT view = ClientRectIn(window->View(), window->Main());
        const bool vertical = side == BAR_POS_LEFT || side == BAR_POS_RIGHT;
        EXPECT_EQ(vertical ? 220 : client.right, bar.right - bar.left);
        EXPECT_EQ(vertical ? client.bottom : 160, bar.bottom - bar.top);
        RECT both = {};
        ::UnionRect(&both, &bar, &view);
        EXPECT_TRUE(SameRect(client, both));
        RECT overlap = {};
        EXPECT_FALSE(::IntersectRect(&overlap, &bar, &view));
        switch (side) {
        case BAR_POS_LEFT: EXPECT_EQ(0, bar.left); break;
        case BAR_POS_TOP: EXPECT_EQ(0, bar.top); break;
        case BAR_POS_RIGHT: EXPECT_EQ(client.right, bar.right); break;
        default: EXPECT_EQ(client.bottom, bar.bottom); break;
        }
        // The docked window fills the bar below its title.
        RECT inside = {};
        ::GetClientRect(window->BarContainer(), &inside);
        EXPECT_TRUE(SameRect(inside, ClientRectIn(tree, window->BarContainer())));
        EXPECT_GT(inside.bottom, 100);

        HWND container = window->BarContainer();
        window->Command();
        EXPECT_FALSE(::IsWindow(container));
        EXPECT_FALSE(::IsWindow(tree));
        EXPECT_EQ(0u, window->BarId());
        EXPECT_TRUE(SameRect(client, ClientRectIn(window->View(), window->Main())));
    }
}

TEST_F(ProbeTest, ClosingABarDeliversSaveThenClosedBeforeTheRequestReturns) {
    MainWindow* window = Start();
    OpenBar(window);
    const UINT barId = window->BarId();
    ClearLog();
    window->Command();  // the probe asks the host to close its bar
    const auto log = Log();
    ASSERT_EQ(4u, log.size());
    EXPECT_EQ(PROBE_COMMAND, log[0].kind);
    EXPECT_EQ(EV_BAR_SAVE, log[1].code);
    EXPECT_EQ(EV_BAR_CLOSED, log[2].code);
    EXPECT_EQ(PROBE_CLOSE_RETURNED, log[3].kind);
    for (int i : {1, 2}) {
        EXPECT_EQ(PROBE_EVENT, log[i].kind);
        EXPECT_EQ(barId, log[i].info[0]);
        EXPECT_EQ(0u, log[i].info[2]);
    }
    EXPECT_EQ(static_cast<WPARAM>(barId), host->RequestsOf(HM_CLOSE_CUSTOM_BAR).back().wParam);
}

TEST_F(ProbeTest, TheUserClosesABarWithTheStartupFlagClear) {
    MainWindow* window = Start();
    OpenBar(window);
    const UINT barId = window->BarId();
    host->ClearEvents();
    window->UserCloseBar();
    ASSERT_EQ(2u, host->Events().size());
    EXPECT_EQ(EV_BAR_SAVE, host->Events()[0].nEvent);
    EXPECT_EQ(EV_BAR_CLOSED, host->Events()[1].nEvent);
    EXPECT_EQ(barId, host->Events()[1].info.nBarID);
    EXPECT_EQ(0u, host->Events()[1].info.nFlags);
    window->UserCloseBar();  // no bar: nothing
    EXPECT_EQ(2u, host->Events().size());
}

TEST_F(ProbeTest, ACloseRequestForAnotherBarChangesNothing) {
    MainWindow* window = Start();
    HWND tree = OpenBar(window);
    host->ClearEvents();
    Ask(window, HM_CLOSE_CUSTOM_BAR, window->BarId() + 1);
    EXPECT_TRUE(host->Events().empty());
    EXPECT_EQ(tree, window->BarClient());
    EXPECT_EQ(1u, host->RequestsOf(HM_CLOSE_CUSTOM_BAR).size());
}

TEST_F(ProbeTest, ABarWhoseWindowWasDestroyedStaysDockedAndEmpty) {
    MainWindow* window = Start();
    HWND tree = OpenBar(window);
    ::DestroyWindow(tree);
    EXPECT_EQ(nullptr, window->BarClient());
    EXPECT_NE(nullptr, window->BarContainer());
    ::SendMessageW(window->Main(), WM_SIZE, 0, 0);
    host->Pump();
    window->UserCloseBar();
    EXPECT_EQ(nullptr, window->BarContainer());
    EXPECT_EQ(2u, host->EventsOf(EV_BAR_SAVE | EV_BAR_CLOSED).size());
}

TEST_F(ProbeTest, EachWindowHasItsOwnBar) {
    MainWindow* first = Start();
    MainWindow* second = host->CreateMainWindow();
    HWND firstTree = OpenBar(first, BAR_POS_RIGHT);
    HWND secondTree = OpenBar(second, BAR_POS_TOP);
    EXPECT_NE(first->BarId(), second->BarId());
    EXPECT_EQ(first->Main(), ::GetAncestor(firstTree, GA_ROOT));
    EXPECT_EQ(second->Main(), ::GetAncestor(secondTree, GA_ROOT));
    second->Command();
    EXPECT_EQ(firstTree, first->BarClient());
    EXPECT_EQ(nullptr, second->BarClient());
    const auto requests = host->Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(second->Main(), requests.back().hwndMain);
}

TEST_F(ProbeTest, EveryRequestIsRecordedInOrderAndListedInTheView) {
    MainWindow* window = Start();
    OpenBar(window);
    window->Command();
    std::vector<UINT> order;
    for (const Request& r : host->Requests()) order.push_back(r.msg);
    EXPECT_EQ((std::vector<UINT>{HM_GET_VERSION, HM_OPEN_CUSTOM_BAR, HM_CLOSE_CUSTOM_BAR}), order);
    EXPECT_EQ(3, ::SendMessageW(window->LogPane(), LB_GETCOUNT, 0, 0));
    wchar_t line[256] = {};
    ::SendMessageW(window->LogPane(), LB_GETTEXT, 1, reinterpret_cast<LPARAM>(line));
    EXPECT_STREQ(L"open custom bar \"Probe bar\" at side 0 -> id 1", line);
}
