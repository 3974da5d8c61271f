// The host's message loop, notification reflection, and the input helpers
// that post a person's input into that loop.
#include "host/selftest/probe_fixture.h"

#include <commctrl.h>

using hostsim::MainWindow;

namespace {

std::vector<ProbeEntry> Asked(const std::vector<ProbeEntry>& reflected) {
    std::vector<ProbeEntry> asked;
    for (const ProbeEntry& e : reflected) {
        if (static_cast<int>(e.code) == PROBE_ASK) asked.push_back(e);
    }
    return asked;
}

std::vector<int> ReflectedCodes(const std::vector<ProbeEntry>& entries) {
    std::vector<int> codes;
    for (const ProbeEntry& e : entries) codes.push_back(static_cast<int>(e.code));
    return codes;
}

bool Contains(const std::vector<int>& codes, int code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

POINT ScreenPoint(HWND hwnd, POINT client) {
    ::ClientToScreen(hwnd, &client);
    return client;
}

}  // namespace

TEST_F(ProbeTest, NotificationsComeBackToTheDockedWindowFromTheBarAndTheMainWindow) {
    MainWindow* window = Start();
    HWND tree = OpenBar(window);
    NMHDR header = {tree, 100, static_cast<UINT>(PROBE_ASK)};
    const LPARAM lParam = reinterpret_cast<LPARAM>(&header);
    EXPECT_EQ(PROBE_ANSWER, ::SendMessageW(window->BarContainer(), WM_NOTIFY, 100, lParam));
    EXPECT_EQ(PROBE_ANSWER, ::SendMessageW(window->Main(), WM_NOTIFY, 100, lParam));
    const auto asked = Asked(Log(PROBE_REFLECTED));
    ASSERT_EQ(2u, asked.size());
    EXPECT_EQ(tree, asked[0].hwnd);
    EXPECT_EQ(reinterpret_cast<LPARAM>(tree), asked[1].lParam);

    // Another window's notifications are not the bar's.
    NMHDR other = {window->View(), 0, static_cast<UINT>(PROBE_ASK)};
    EXPECT_EQ(0, ::SendMessageW(window->Main(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&other)));
    EXPECT_EQ(0, ::SendMessageW(window->BarContainer(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&other)));
    EXPECT_EQ(2u, Asked(Log(PROBE_REFLECTED)).size());
}

TEST_F(ProbeTest, TheTreeViewsOwnNotificationsAreReflectedToIt) {
    MainWindow* window = Start();
    HWND tree = OpenBar(window);
    hostsim::Focus(tree);
    host->Pump();
    hostsim::DoubleClick(*host, tree, hostsim::ItemCentre(tree, hostsim::FindItem(tree, L"Delta")));
    hostsim::RightClick(*host, tree, hostsim::ItemCentre(tree, hostsim::FindItem(tree, L"Alpha")));
    const auto codes = ReflectedCodes(Log(PROBE_REFLECTED));
    EXPECT_TRUE(Contains(codes, NM_DBLCLK));
    EXPECT_TRUE(Contains(codes, NM_RCLICK));
    EXPECT_EQ(hostsim::FindItem(tree, L"Delta"), hostsim::Selected(tree));
}

TEST_F(ProbeTest, EveryMessageIsFirstOfferedWithTheViewOfItsWindow) {
    MainWindow* first = Start();
    MainWindow* second = host->CreateMainWindow();
    HWND tree = OpenBar(second);
    ClearLog();
    ::PostMessageW(tree, WM_APP + 2, 1, 0);
    ::PostMessageW(first->Main(), WM_APP + 2, 2, 0);
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_APP + 2, 3, 0);
    host->Pump();
    const auto offered = Log(PROBE_PRETRANSLATE);
    ASSERT_EQ(3u, offered.size());
    EXPECT_EQ(second->View(), offered[0].hwnd);
    EXPECT_EQ(reinterpret_cast<LPARAM>(tree), offered[0].lParam);
    EXPECT_EQ(first->View(), offered[1].hwnd);
    EXPECT_EQ(first->View(), offered[2].hwnd);  // no window: the first main window's view
    EXPECT_EQ(3u, offered[2].wParam);
}

TEST_F(ProbeTest, AMessageThePluginTakesIsNotDispatched) {
    MainWindow* window = Start();
    HWND tree = OpenBar(window);
    ::PostMessageW(tree, PROBE_SWALLOWED, 0, 0);
    ::PostMessageW(tree, WM_APP + 3, 0, 0);
    host->Pump();
    const auto arrived = Log(PROBE_TREE_MESSAGE);
    ASSERT_EQ(1u, arrived.size());
    EXPECT_EQ(WM_APP + 3u, arrived[0].code);
    EXPECT_EQ(2u, Log(PROBE_PRETRANSLATE).size());
}

TEST_F(ProbeTest, KeysArriveThroughTheLoopWithTheirModifiersHeld) {
    MainWindow* window = Start();
    HWND tree = OpenBar(window);
    hostsim::Focus(tree);
    host->Pump();
    EXPECT_EQ(tree, ::GetFocus());
    ClearLog();
    hostsim::PressKey(*host, nullptr, VK_HOME, false, true, true);
    hostsim::PressKey(*host, tree, VK_UP, true);
    const auto offered = Log(PROBE_PRETRANSLATE);
    ASSERT_EQ(4u, offered.size());
    EXPECT_EQ(static_cast<UINT>(WM_KEYDOWN), offered[0].code);
    EXPECT_EQ(static_cast<WPARAM>(VK_HOME), offered[0].wParam);
    EXPECT_EQ(PROBE_CTRL | PROBE_SHIFT, offered[0].result);
    EXPECT_EQ(static_cast<UINT>(WM_KEYUP), offered[1].code);
    EXPECT_EQ(static_cast<UINT>(WM_SYSKEYDOWN), offered[2].code);
    EXPECT_EQ(PROBE_ALT, offered[2].result);
    EXPECT_EQ(static_cast<UINT>(WM_SYSKEYUP), offered[3].code);
    EXPECT_EQ(reinterpret_cast<LPARAM>(tree), offered[2].lParam);
    EXPECT_GE(::GetKeyState(VK_CONTROL), 0);  // released afterwards
    EXPECT_GE(::GetKeyState(VK_MENU), 0);
    ASSERT_EQ(2u, Log(PROBE_TREE_MESSAGE).size());  // both presses reached the tree
}

TEST_F(ProbeTest, TypedTextArrivesAsCharacters) {
    MainWindow* window = Start();
    HWND tree = OpenBar(window);
    hostsim::TypeText(*host, tree, L"ab");
    const auto arrived = Log(PROBE_TREE_MESSAGE);
    ASSERT_EQ(2u, arrived.size());
    EXPECT_EQ(static_cast<UINT>(WM_CHAR), arrived[0].code);
    EXPECT_EQ(static_cast<WPARAM>(L'a'), arrived[0].wParam);
    EXPECT_EQ(static_cast<WPARAM>(L'b'), arrived[1].wParam);
}

TEST_F(ProbeTest, AClickSelectsTheItemUnderThePointer) {
    MainWindow* window = Start();
    HWND tree = OpenBar(window);
    const POINT at = hostsim::ItemCentre(tree, hostsim::FindItem(tree, L"Gamma"));
    hostsim::Click(*host, tree, at);
    EXPECT_EQ(hostsim::FindItem(tree, L"Gamma"), hostsim::Selected(tree));
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    const POINT expected = ScreenPoint(tree, at);
    EXPECT_EQ(expected.x, cursor.x);
    EXPECT_EQ(expected.y, cursor.y);
    const auto offered = Log(PROBE_PRETRANSLATE);
    ASSERT_FALSE(offered.empty());
    EXPECT_EQ(static_cast<UINT>(WM_LBUTTONDOWN), offered[0].code);
}

TEST_F(ProbeTest, ADragStartsTheTreeViewsOwnDrag) {
    MainWindow* window = Start();
    HWND tree = OpenBar(window);
    hostsim::Drag(*host, tree, hostsim::ItemCentre(tree, hostsim::FindItem(tree, L"Alpha")),
                  hostsim::ItemCentre(tree, hostsim::FindItem(tree, L"Delta")));
    EXPECT_TRUE(Contains(ReflectedCodes(Log(PROBE_REFLECTED)), TVN_BEGINDRAGW));
}

TEST_F(ProbeTest, FilesDroppedOnTheBarGoToThePluginAndElsewhereToTheHost) {
    MainWindow* window = Start();
    HWND tree = OpenBar(window);
    const POINT onTree = ScreenPoint(tree, hostsim::ItemCentre(tree, hostsim::FindItem(tree, L"Beta")));
    hostsim::DropFiles(*host, window->Main(), onTree, {L"C:\\in\\one.txt", L"C:\\in\\two.txt"});
    const auto dropped = Log(PROBE_DROP);
    ASSERT_EQ(2u, dropped.size());
    EXPECT_STREQ(L"C:\\in\\one.txt", dropped[0].text);
    EXPECT_STREQ(L"C:\\in\\two.txt", dropped[1].text);
    EXPECT_EQ(onTree.x, dropped[0].pt.x);
    EXPECT_EQ(onTree.y, dropped[0].pt.y);
    EXPECT_TRUE(host->RequestsOf(WM_DROPFILES).empty());

    const POINT onView = ScreenPoint(window->View(), {200, 200});
    hostsim::DropFiles(*host, window->Main(), onView, {L"C:\\out\\three.txt"});
    EXPECT_EQ(2u, Log(PROBE_DROP).size());
    const auto left = host->RequestsOf(WM_DROPFILES);
    ASSERT_EQ(1u, left.size());
    EXPECT_EQ(L"C:\\out\\three.txt", left[0].text);
    POINT client = onView;
    ::ScreenToClient(window->Main(), &client);
    EXPECT_EQ((std::vector<UINT>{static_cast<UINT>(client.x), static_cast<UINT>(client.y)}), left[0].record);
}

TEST_F(ProbeTest, TreeSnapshotListsItemsInPreOrderWithDepths) {
    MainWindow* window = Start();
    HWND tree = OpenBar(window);
    const auto items = hostsim::TreeSnapshot(tree);
    ASSERT_EQ(4u, items.size());
    EXPECT_EQ(L"Alpha", items[0].label);
    EXPECT_EQ(L"Beta", items[1].label);
    EXPECT_TRUE(items[1].expanded);
    EXPECT_EQ(L"Gamma", items[2].label);
    EXPECT_EQ(2, items[2].depth);
    EXPECT_EQ(1, items[3].depth);
    EXPECT_EQ(nullptr, hostsim::FindItem(tree, L"Omega"));
    const RECT row = hostsim::ItemRect(tree, items[3].handle, false);
    const RECT text = hostsim::ItemRect(tree, items[3].handle, true);
    EXPECT_LE(row.left, text.left);
    EXPECT_EQ(row.top, text.top);
}
