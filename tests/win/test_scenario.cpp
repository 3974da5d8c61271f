// A person's session from start to restart, and two windows side by side,
// driven only by input that passes through the host's message loop.
#include "tests/win/fixture.h"

#include <commctrl.h>

#include "res/resource.h"

namespace {

// The host's own menu, as a click on one of its items delivers it.
void ChooseHostMenu(hostsim::Host& host, hostsim::MainWindow* window, UINT id) {
    ::PostMessageW(window->Main(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
    host.Pump();
}

}  // namespace

class ScenarioTest : public BarTest {
protected:
    hostsim::ScratchKey macros{HOST_MACRO_KEY};
    void Name(const std::wstring& text) {
        HWND edit = TreeView_GetEditControl(tree);
        ASSERT_NE(nullptr, edit);
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        hostsim::TypeText(*host, edit, text);
        Press(VK_RETURN);
        ASSERT_EQ(nullptr, TreeView_GetEditControl(tree));
    }
};

TEST_F(ScenarioTest, ASessionIsThereAgainAfterARestart) {
    ASSERT_TRUE(macros.Create());
    hostsim::MainWindow* w = StartHost();
    ChooseHostMenu(*host, w, hostsim::ID_PLUGIN_COMMAND);
    ASSERT_NE(nullptr, TreeOf(w));
    UseBarOf(w);
    hostsim::ModalResponder responder;

    // The open document becomes a favourite, named by the user.
    w->SetCurrentDocument(L"C:\\src\\main.cpp");
    Press(VK_INSERT);
    Name(L"Main source");
    // A folder from the context menu over empty space.
    responder.ChooseMenuItem(ID_NEW_FOLDER);
    RECT client;
    ::GetClientRect(tree, &client);
    hostsim::RightClick(*host, tree, {client.right / 2, client.bottom - 5});
    Name(L"Project");
    w->SetCurrentDocument(L"C:\\src\\util.h");
    ClickItem(L"Main source");
    Press(VK_INSERT);
    Press(VK_RETURN);
    EXPECT_EQ(L"Main source/1/2 util.h/1/2 Project/1/0", Outline(tree));

    // Both files dragged into the folder, then reordered with Alt+Up.
    const int h = TreeView_GetItemHeight(tree);
    hostsim::Drag(*host, tree, hostsim::ItemCentre(tree, FindItem(tree, L"Main source")),
                  hostsim::ItemPoint(tree, FindItem(tree, L"Project"), h / 2));
    hostsim::Drag(*host, tree, hostsim::ItemCentre(tree, FindItem(tree, L"util.h")),
                  hostsim::ItemPoint(tree, FindItem(tree, L"Project"), h / 2));
    EXPECT_EQ(L"Project/1/0+ Main source/2/2 util.h/2/2", Outline(tree));
    Press(VK_UP, true);
    EXPECT_EQ(L"Project/1/0+ util.h/2/2 Main source/2/2", Outline(tree));

    ClickItem(L"Main source");
    Press(VK_F2);
    Name(L"main.cpp (entry)");

    responder.ChooseMenuItem(ID_OPEN_FOLDER);
    hostsim::RightClick(*host, tree, hostsim::ItemCentre(tree, FindItem(tree, L"Project")));
    auto opened = host->RequestsOf(HM_OPEN_FILE);
    ASSERT_EQ(2u, opened.size());
    EXPECT_EQ(L"C:\\src\\util.h", opened[0].text);
    EXPECT_EQ(L"C:\\src\\main.cpp", opened[1].text);

    ClickItem(L"util.h");
    Press(VK_F5);
    auto runs = host->RequestsOf(HM_EXEC_COMMAND);
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(CMD_RUN_FIRST_MACRO, runs.back().wParam);
    EXPECT_EQ(L"C:\\src\\util.h", runs.back().text);

    // The bar moves to the right-hand side.
    responder.HandleDialog([](HWND dialog) {
        ::SendDlgItemMessageW(dialog, IDC_BAR_POS, CB_SETCURSEL, BAR_POS_RIGHT, 0);
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    ChooseHostMenu(*host, w, hostsim::ID_PLUGIN_PROPERTIES);
    EXPECT_EQ(BAR_POS_RIGHT, w->BarPos());
    ASSERT_NE(nullptr, TreeOf(w));

    // The user closes the editor and starts it again.
    ::PostMessageW(w->Main(), WM_CLOSE, 0, 0);
    host->Pump();
    EXPECT_TRUE(host->Windows().empty());
    host.reset();
    hostsim::MainWindow* again = StartHost();
    host->Pump();
    ASSERT_NE(nullptr, TreeOf(again));
    EXPECT_EQ(BAR_POS_RIGHT, again->BarPos());
    EXPECT_EQ(L"Project/1/0+ util.h/2/2 main.cpp (entry)/2/2", Outline(TreeOf(again)));
}

TEST_F(ScenarioTest, TwoWindowsKeepTheirOwnBarsAndEachShowsWhatTheOtherSaved) {
    OpenOn({{L"shared.txt", L"C:\\shared.txt", 1}, {L"other.txt", L"C:\\other.txt", 1}});
    hostsim::MainWindow* first = window;
    hostsim::MainWindow* second = host->CreateMainWindow();
    ChooseHostMenu(*host, second, hostsim::ID_PLUGIN_COMMAND);
    ASSERT_NE(nullptr, TreeOf(second));
    EXPECT_NE(TreeOf(first), TreeOf(second));
    hostsim::ModalResponder responder;

    UseBarOf(first);
    first->SetCurrentDocument(L"C:\\first.txt");
    ClickItem(L"other.txt");
    Press(VK_INSERT);
    Press(VK_RETURN);
    host->Flush();
    const auto firstSaved = StoredValue({{L"shared.txt", L"C:\\shared.txt", 1}, {L"other.txt", L"C:\\other.txt", 1},
                                         {L"first.txt", L"C:\\first.txt", 1}});
    EXPECT_EQ(firstSaved, ReadBinary(L"FavoriteArray"));
    // The second bar, unchanged, shows it at the same flush.
    EXPECT_EQ(L"shared.txt/1/2 other.txt/1/2 first.txt/1/2", Outline(TreeOf(second)));

    UseBarOf(second);
    responder.AnswerBox(IDYES);
    ClickItem(L"shared.txt");
    Press(VK_DELETE);
    ClickItem(L"first.txt");
    host->Flush();
    const auto secondSaved =
        StoredValue({{L"other.txt", L"C:\\other.txt", 1}, {L"first.txt", L"C:\\first.txt", 1}});
    EXPECT_EQ(secondSaved, ReadBinary(L"FavoriteArray"));
    // The first window follows at its next flush and keeps its selection.
    UseBarOf(first);
    ClickItem(L"first.txt");
    host->Flush();
    EXPECT_EQ(L"other.txt/1/2 first.txt/1/2", Outline(TreeOf(first)));
    EXPECT_EQ(L"first.txt", SelectedLabel());

    // Closing the windows saves their bars and loses nothing.
    ::PostMessageW(second->Main(), WM_CLOSE, 0, 0);
    host->Pump();
    BOOL checked = FALSE;
    EXPECT_TRUE(first->QueryStatus(&checked));
    EXPECT_TRUE(checked);
    ::PostMessageW(first->Main(), WM_CLOSE, 0, 0);
    host->Pump();
    EXPECT_EQ(secondSaved, ReadBinary(L"FavoriteArray"));
}
