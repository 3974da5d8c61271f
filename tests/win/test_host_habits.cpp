// Hosts with habits of their own (one loop offering every window's messages
// through one window, docking that goes wrong, a subclass of the docked tree)
// and windows whose bars share one set of settings.
#include "tests/win/fixture.h"

#include <commctrl.h>

#include <algorithm>

#include "host/window_query.h"
#include "res/resource.h"

namespace {

const std::vector<StoredRecord> kFavorites = {{L"F", L"", 1, true, true},
                                              {L"in.txt", L"C:\\in.txt", 2},
                                              {L"top.txt", L"C:\\top.txt", 1}};
const wchar_t kFavoritesOutline[] = L"F/1/0+ in.txt/2/2 top.txt/1/2";

bool CommandChecked(hostsim::MainWindow* window) {
    BOOL checked = FALSE;
    window->QueryStatus(&checked);
    return checked != FALSE;
}

}  // namespace

class HostHabitTest : public BarTest {};

// ---- Settings two windows share.

TEST_F(HostHabitTest, MovingOneBarKeepsTheStartUpChoiceAnotherWindowMadeSince) {
    WriteDword(L"OpenStartup", 1);
    OpenOn(kFavorites);
    ASSERT_EQ(0, RequestCount(*host, HM_CLOSE_CUSTOM_BAR));  // opened at start-up
    hostsim::MainWindow* second = host->CreateMainWindow();
    ASSERT_NE(nullptr, TreeOf(second));
    second->UserCloseBar();  // the user's last choice: not at start-up
    ASSERT_EQ(0u, ReadDword(L"OpenStartup"));

    hostsim::ModalResponder responder;
    ChooseSide(responder, BAR_POS_BOTTOM);
    host->PlugInProc(window, PP_SHOW_PROPERTIES, 0, 0);
    host->Pump();
    EXPECT_EQ(BAR_POS_BOTTOM, window->BarPos());
    EXPECT_EQ(kFavoritesOutline, Outline(TreeOf(window)));
    EXPECT_EQ(0u, ReadDword(L"OpenStartup"));
    EXPECT_EQ(static_cast<DWORD>(BAR_POS_BOTTOM), ReadDword(L"CustomBarPos"));
}

TEST_F(HostHabitTest, ClosingABarKeepsTheSideAnotherWindowChoseSince) {
    OpenOn(kFavorites);
    hostsim::MainWindow* second = host->CreateMainWindow();
    second->Command();
    host->Pump();
    ASSERT_NE(nullptr, TreeOf(second));

    hostsim::ModalResponder responder;
    ChooseSide(responder, BAR_POS_RIGHT);
    host->PlugInProc(window, PP_SHOW_PROPERTIES, 0, 0);
    host->Pump();
    ASSERT_EQ(static_cast<DWORD>(BAR_POS_RIGHT), ReadDword(L"CustomBarPos"));
    // The second bar still docks on the left; its close is no side choice.
    second->UserCloseBar();
    EXPECT_EQ(0u, ReadDword(L"OpenStartup"));
    EXPECT_EQ(static_cast<DWORD>(BAR_POS_RIGHT), ReadDword(L"CustomBarPos"));
    // Without another side stored since, a close still writes its own.
    DeleteValue(L"CustomBarPos");
    second->Command();
    host->Pump();
    second->UserCloseBar();
    EXPECT_EQ(static_cast<DWORD>(BAR_POS_LEFT), ReadDword(L"CustomBarPos"));
}

// ---- A load announced again.

TEST_F(HostHabitTest, ALoadAnnouncedAgainKeepsEveryBarAndItsUnsavedEdits) {
    OpenOn(kFavorites);
    ClickItem(L"top.txt");
    hostsim::ModalResponder responder;
    responder.AnswerBox(IDYES);
    Press(VK_DELETE);  // saved at the next flush
    host->SendEvent(window, EV_LOAD, 0);
    host->Pump();
    ASSERT_TRUE(::IsWindow(tree));
    EXPECT_TRUE(CommandChecked(window));
    host->Flush();
    EXPECT_EQ(StoredValue({kFavorites[0], kFavorites[1]}), ReadBinary(L"FavoriteArray"));
    EXPECT_EQ(L"F/1/0+ in.txt/2/2", Outline(tree));
}

// ---- One loop for several windows.

TEST_F(HostHabitTest, ADropOnAnotherWindowAboveThisTreeIsThatWindowsDrop) {
    hostsim::HostOptions options;
    options.offerAllThroughFirstWindow = true;
    OpenOn(kFavorites, options);
    hostsim::MainWindow* other = host->CreateMainWindow();  // steps down and right, over the bar
    RECT treeRect = {};
    RECT otherRect = {};
    ::GetWindowRect(tree, &treeRect);
    ::GetWindowRect(other->Main(), &otherRect);
    const POINT point = {std::max(treeRect.left, otherRect.left) + 20, std::max(treeRect.top, otherRect.top) + 60};
    ASSERT_TRUE(::PtInRect(&treeRect, point) && ::PtInRect(&otherRect, point));
    ASSERT_EQ(other->Main(), ::GetAncestor(::WindowFromPoint(point), GA_ROOT)) << "the other window is not on top";

    hostsim::DropFiles(*host, other->Main(), point, {L"C:\\for the other window.txt"});
    EXPECT_EQ(kFavoritesOutline, Outline(tree));
    const std::vector<Request> drops = host->RequestsOf(WM_DROPFILES);
    ASSERT_EQ(1u, drops.size());
    EXPECT_EQ(other->Main(), drops[0].hwndMain);
    EXPECT_EQ(L"C:\\for the other window.txt", drops[0].text);

    // The same point in the bar's own window, or in a window inside it, is the bar's.
    hostsim::DropFiles(*host, window->Main(), point, {L"C:\\mine.txt"});
    hostsim::DropFiles(*host, window->View(), point, {L"C:\\mine too.txt"});
    EXPECT_EQ(1, RequestCount(*host, WM_DROPFILES));
    const std::vector<TreeItem> rows = TreeSnapshot(tree);
    const auto has = [&rows](const wchar_t* label) {
        return std::any_of(rows.begin(), rows.end(), [label](const TreeItem& row) { return row.label == label; });
    };
    EXPECT_TRUE(has(L"mine.txt"));
    EXPECT_TRUE(has(L"mine too.txt"));
}

// ---- Docking that goes wrong leaves the command working.

enum class DockingMishap { BarClosedWindowKept, TreeDestroyed, SideRefused, Refused };

class DockingMishapTest : public HostHabitTest, public ::testing::WithParamInterface<DockingMishap> {};

TEST_P(DockingMishapTest, TheNextCommandOpensTheBar) {
    WriteBinary(L"FavoriteArray", StoredValue(kFavorites));
    WriteDword(L"check", 1);
    hostsim::HostOptions options;
    switch (GetParam()) {
    case DockingMishap::BarClosedWindowKept:
        options.closeBarWhileDocking = true;
        break;
    case DockingMishap::TreeDestroyed:
        options.destroyClientWhileDocking = true;
        break;
    case DockingMishap::SideRefused:
        options.refuseSideOutsideRange = true;
        WriteDword(L"CustomBarPos", 7);
        break;
    case DockingMishap::Refused:
        options.refuseDocking = true;
        break;
    }
    window = StartHost(options);
    window->Command();
    host->Pump();
    ASSERT_EQ(1, RequestCount(*host, HM_OPEN_CUSTOM_BAR));
    EXPECT_EQ(nullptr, window->BarContainer());
    EXPECT_FALSE(CommandChecked(window));
    // Whatever the host did, nothing was saved from the tree not yet loaded.
    EXPECT_EQ(StoredValue(kFavorites), ReadBinary(L"FavoriteArray"));

    if (GetParam() == DockingMishap::SideRefused) {
        // The user picks a side the host takes.
        hostsim::ModalResponder responder;
        ChooseSide(responder, BAR_POS_RIGHT);
        host->PlugInProc(window, PP_SHOW_PROPERTIES, 0, 0);
    } else {
        host->ChangeOptions() = hostsim::HostOptions{};
    }
    window->Command();
    host->Pump();
    EXPECT_EQ(0, RequestCount(*host, HM_CLOSE_CUSTOM_BAR));
    EXPECT_EQ(2, RequestCount(*host, HM_OPEN_CUSTOM_BAR));
    ASSERT_NE(nullptr, TreeOf(window));
    EXPECT_TRUE(CommandChecked(window));
    EXPECT_EQ(kFavoritesOutline, Outline(TreeOf(window)));
    if (GetParam() == DockingMishap::SideRefused) {
        EXPECT_EQ(BAR_POS_RIGHT, window->BarPos());
    }

    // No window of the failed opening is left behind in the host's.
    int trees = 0;
    for (HWND child : hostsim::Children(window->Main())) trees += hostsim::ClassOf(child) == WC_TREEVIEWW;
    EXPECT_EQ(1, trees);
}

std::string MishapName(const ::testing::TestParamInfo<DockingMishap>& info) {
    static const char* const kNames[] = {"BarClosedWindowKept", "TreeDestroyed", "SideRefused", "Refused"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(HostHabits, DockingMishapTest,
                         ::testing::Values(DockingMishap::BarClosedWindowKept, DockingMishap::TreeDestroyed,
                                           DockingMishap::SideRefused, DockingMishap::Refused),
                         MishapName);

// ---- A host whose windows ask for ANSI notices.

TEST_F(HostHabitTest, AHostAskingForAnsiNoticesStillGetsRenamesAndDrags) {
    hostsim::HostOptions options;
    options.ansiNotices = true;
    OpenOn(kFavorites, options);
    ASSERT_NE(nullptr, TypeOverLabel(L"top.txt", L"名前"));
    Press(VK_RETURN);
    EXPECT_EQ(L"F/1/0+ in.txt/2/2 名前/1/2", Outline(tree));
    hostsim::Drag(*host, tree, hostsim::ItemCentre(tree, FindItem(tree, L"名前")),
                  hostsim::ItemCentre(tree, FindItem(tree, L"F")));
    EXPECT_EQ(L"F/1/0+ in.txt/2/2 名前/2/2", Outline(tree));
    // The host has the tree ask again later, as when it moves it.
    ::SendMessageW(tree, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(::GetParent(tree)), NF_REQUERY);
    ASSERT_NE(nullptr, TypeOverLabel(L"in.txt", L"中"));
    Press(VK_RETURN);
    host->Flush();
    EXPECT_EQ(StoredValue({kFavorites[0], {L"中", L"C:\\in.txt", 2}, {L"名前", L"C:\\top.txt", 2}}),
              ReadBinary(L"FavoriteArray"));
}

// ---- A host that subclasses the docked tree.

TEST_F(HostHabitTest, AHostSubclassingTheTreeStaysInTheChainUntilTheTreeGoes) {
    hostsim::HostOptions options;
    options.subclassDockedClient = true;
    OpenOn(kFavorites, options);
    ASSERT_EQ(tree, window->SubclassOfClient().hwnd);
    // The bar's procedure still sees the tree's input beneath the host's.
    hostsim::DoubleClick(*host, tree, hostsim::ItemCentre(tree, FindItem(tree, L"top.txt")));
    ASSERT_EQ(1u, Opened().size());
    EXPECT_EQ(L"C:\\top.txt", Opened()[0].text);

    window->Command();
    host->Pump();
    EXPECT_FALSE(::IsWindow(tree));
    EXPECT_EQ(1, window->SubclassOfClient().destroys);
    EXPECT_EQ(1, window->SubclassOfClient().ncDestroys);

    // The next bar works as before, under the host's new subclass.
    window->Command();
    host->Pump();
    tree = TreeOf(window);
    ASSERT_NE(nullptr, tree);
    EXPECT_EQ(tree, window->SubclassOfClient().hwnd);
    EXPECT_EQ(kFavoritesOutline, Outline(tree));
    hostsim::Focus(tree);
    hostsim::DoubleClick(*host, tree, hostsim::ItemCentre(tree, FindItem(tree, L"top.txt")));
    EXPECT_EQ(2u, Opened().size());
}

// ---- More windows with a bar than the bar keeps previous procedures for by
// window: the rest are found through their frames.

TEST_F(HostHabitTest, EveryBarOfManyWindowsWorksAndLeavesTheHostsSubclassInTheChain) {
    WriteDword(L"OpenStartup", 1);
    hostsim::HostOptions options;
    options.subclassDockedClient = true;
    OpenOn(kFavorites, options);
    std::vector<hostsim::MainWindow*> windows = {window};
    for (int i = 1; i < 20; ++i) windows.push_back(host->CreateMainWindow());
    host->Pump();  // the host subclasses each docked tree
    for (hostsim::MainWindow* w : windows) {
        const HWND t = TreeOf(w);
        ASSERT_NE(nullptr, t);
        ASSERT_EQ(t, w->SubclassOfClient().hwnd);
        EXPECT_EQ(kFavoritesOutline, Outline(t));
    }

    // The input of the last window's tree, subclassed after all the others,
    // still reaches its bar.
    const HWND last = TreeOf(windows.back());
    UseBarOf(windows.back());
    hostsim::DoubleClick(*host, last, hostsim::ItemCentre(last, FindItem(last, L"top.txt")));
    ASSERT_EQ(1u, Opened().size());
    EXPECT_EQ(windows.back()->Main(), Opened()[0].hwndMain);

    // Closed first to last, every tree goes through the host's procedure.
    for (hostsim::MainWindow* w : windows) {
        const HWND t = TreeOf(w);
        w->Command();
        host->Pump();
        EXPECT_FALSE(::IsWindow(t));
        EXPECT_EQ(1, w->SubclassOfClient().ncDestroys);
        EXPECT_FALSE(CommandChecked(w));
    }
}
