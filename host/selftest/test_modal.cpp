// Message boxes, popup menus and dialogs shown in nested message loops,
// answered by the test kit's responder; and the host's own menu.
#include "host/selftest/probe_fixture.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "host/screenshot.h"

using hostsim::MainWindow;
using hostsim::ModalResponder;

namespace {

// Reports how long the responder took to answer, for the record.
class Stopwatch {
public:
    explicit Stopwatch(const char* what) : m_what(what), m_start(::GetTickCount()) {}
    ~Stopwatch() { std::printf("[ timing ] %s: %lu ms\n", m_what, ::GetTickCount() - m_start); }

private:
    const char* m_what;
    DWORD m_start;
};

std::vector<char> Screenshot(HWND window) {
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    const std::wstring path = std::wstring(dir) + L"hostsim_modal.bmp";
    EXPECT_TRUE(hostsim::SaveWindowBitmap(window, path));
    std::ifstream in(std::string(path.begin(), path.end()), std::ios::binary);
    std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    ::DeleteFileW(path.c_str());
    return data;
}

}  // namespace

class ModalTest : public ProbeTest {
protected:
    void SetUp() override {
        window = Start();
        tree = OpenBar(window);
        hostsim::Focus(tree);
        host->Pump();
        ClearLog();
    }
    // Presses a key that makes the probe show something modal; what it returned.
    LRESULT Ask(UINT key) {
        hostsim::PressKey(*host, tree, key);
        const auto results = Log(PROBE_MODAL_RESULT);
        EXPECT_EQ(1u, results.size());
        const LRESULT result = results.empty() ? -1 : results.back().result;
        ClearLog();
        return result;
    }
    MainWindow* window = nullptr;
    HWND tree = nullptr;
};

TEST_F(ModalTest, AMessageBoxIsReadAndAnsweredAsScripted) {
    ModalResponder responder;
    responder.AnswerBox(IDYES);
    {
        Stopwatch watch("message box answered");
        EXPECT_EQ(IDYES, Ask(PROBE_KEY_BOX));
    }
    ASSERT_EQ(1u, responder.Boxes().size());
    const ModalResponder::Box& box = responder.Boxes()[0];
    EXPECT_EQ(L"Remove the probe item?", box.text);
    EXPECT_EQ(L"Probe", box.caption);
    EXPECT_EQ(window->Main(), box.owner);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO, IDCANCEL}), box.buttons);
    EXPECT_EQ(IDNO, box.defaultButton);
    EXPECT_EQ(static_cast<UINT>(MB_ICONQUESTION), box.icon);
}

TEST_F(ModalTest, AMessageBoxWithoutAScriptedAnswerGetsItsDefaultButton) {
    ModalResponder responder;
    EXPECT_EQ(IDNO, Ask(PROBE_KEY_BOX));
    responder.AnswerBox(IDCANCEL);
    EXPECT_EQ(IDCANCEL, Ask(PROBE_KEY_BOX));
    EXPECT_EQ(IDNO, Ask(PROBE_KEY_BOX));
    EXPECT_EQ(3u, responder.Boxes().size());
}

TEST_F(ModalTest, APopupMenuIsReadAndAnItemChosenByItsMnemonic) {
    ModalResponder responder;
    responder.ChooseMenuItem(PROBE_MENU_RENAME);
    const POINT at = hostsim::ItemCentre(tree, hostsim::FindItem(tree, L"Alpha"));
    POINT screen = at;
    ::ClientToScreen(tree, &screen);
    ::SetCursorPos(screen.x, screen.y);
    {
        Stopwatch watch("popup menu item chosen");
        EXPECT_EQ(static_cast<LRESULT>(PROBE_MENU_RENAME), Ask(PROBE_KEY_MENU));
    }
    ASSERT_EQ(1u, responder.Menus().size());
    const ModalResponder::Menu& menu = responder.Menus()[0];
    ASSERT_EQ(4u, menu.items.size());
    EXPECT_EQ(PROBE_MENU_OPEN, menu.items[0].id);
    EXPECT_EQ(L"&Open", menu.items[0].text);
    EXPECT_FALSE(menu.items[0].grayed);
    EXPECT_TRUE(menu.IsGrayed(PROBE_MENU_DELETE));
    EXPECT_TRUE(menu.IsEnabled(PROBE_MENU_OPEN));
    EXPECT_FALSE(menu.IsEnabled(PROBE_MENU_DELETE));
    EXPECT_FALSE(menu.IsEnabled(999));
    EXPECT_FALSE(menu.IsGrayed(999));
    EXPECT_TRUE(menu.items[2].separator);
    EXPECT_NE(nullptr, menu.Find(PROBE_MENU_RENAME));
    EXPECT_EQ(nullptr, menu.Find(999));
    EXPECT_EQ(screen.x, menu.rect.left);
    EXPECT_EQ(screen.y, menu.rect.top);
}

TEST_F(ModalTest, APopupMenuIsDismissedWithoutAChoice) {
    ModalResponder responder;
    EXPECT_EQ(0, Ask(PROBE_KEY_MENU));
    responder.DismissMenu();
    EXPECT_EQ(0, Ask(PROBE_KEY_MENU));
    responder.ChooseMenuItem(PROBE_MENU_OPEN);
    EXPECT_EQ(static_cast<LRESULT>(PROBE_MENU_OPEN), Ask(PROBE_KEY_MENU));
    EXPECT_EQ(3u, responder.Menus().size());
}

TEST_F(ModalTest, ADialogIsHandedToTheScriptAndOtherwiseCancelled) {
    ModalResponder responder;
    responder.HandleDialog([](HWND dialog) {
        ::SendDlgItemMessageW(dialog, PROBE_COMBO, CB_SETCURSEL, 2, 0);
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    {
        Stopwatch watch("dialog handled");
        EXPECT_EQ(PROBE_DIALOG_OK_BASE + 2, Ask(PROBE_KEY_DIALOG));
    }
    EXPECT_EQ(IDCANCEL, Ask(PROBE_KEY_DIALOG));
    ASSERT_EQ(2u, responder.Dialogs().size());
    EXPECT_EQ(L"Probe settings", responder.Dialogs()[0].caption);
    EXPECT_EQ(window->Main(), responder.Dialogs()[0].owner);
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST_F(ModalTest, PropertiesComeThroughThePluginProcedure) {
    ModalResponder responder;
    EXPECT_EQ(1, host->PlugInProc(window, PP_SHOW_PROPERTIES, 0, 0));
    const auto results = Log(PROBE_MODAL_RESULT);
    ASSERT_EQ(1u, results.size());
    EXPECT_EQ(IDCANCEL, results[0].result);
    EXPECT_EQ(window->View(), results[0].hwnd);
}

TEST_F(ModalTest, ClosingTheWindowFromInsideAMessageBoxIsSafe) {
    ModalResponder responder;
    responder.OnModal([this] { host->CloseMainWindow(window); });
    hostsim::PressKey(*host, tree, PROBE_KEY_BOX);
    EXPECT_TRUE(host->Windows().empty());
    EXPECT_EQ(nullptr, window->Main());
    EXPECT_EQ(1u, Log(PROBE_MODAL_RESULT).size());
}

TEST_F(ModalTest, TheHostMenuRunsThePluginCommandWithItsTextAndCheckMark) {
    ModalResponder responder;
    responder.ChooseMenuItem(hostsim::ID_PLUGIN_COMMAND);
    hostsim::PressKey(*host, window->Main(), 'P', true);  // Alt+P opens "Plug-ins"
    ASSERT_EQ(1u, responder.Menus().size());
    const auto* item = responder.Menus()[0].Find(hostsim::ID_PLUGIN_COMMAND);
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(L"Probe bar", item->text);  // no mnemonic: chosen with the arrow keys
    EXPECT_TRUE(item->checked);  // the bar was open
    EXPECT_FALSE(item->grayed);
    EXPECT_EQ(nullptr, window->BarClient());  // the command closed it
    EXPECT_EQ(1u, Log(PROBE_COMMAND).size());

    responder.DismissMenu();
    hostsim::PressKey(*host, window->Main(), 'P', true);
    ASSERT_EQ(2u, responder.Menus().size());
    EXPECT_FALSE(responder.Menus()[1].Find(hostsim::ID_PLUGIN_COMMAND)->checked);
}

TEST_F(ModalTest, AScreenshotTakenWhileAMenuIsOpenShowsTheMenu) {
    ModalResponder responder;
    std::vector<char> withMenu;
    responder.OnModal([&] { withMenu = Screenshot(window->Main()); });
    POINT screen = hostsim::ItemCentre(tree, hostsim::FindItem(tree, L"Alpha"));
    ::ClientToScreen(tree, &screen);
    ::SetCursorPos(screen.x, screen.y);
    Ask(PROBE_KEY_MENU);
    const std::vector<char> without = Screenshot(window->Main());
    ASSERT_EQ(without.size(), withMenu.size());
    ASSERT_EQ(1u, responder.Menus().size());
    // The menu's items are drawn where the tree was.
    RECT frame = {};
    ::GetWindowRect(window->Main(), &frame);
    RECT menu = {};
    ::IntersectRect(&menu, &responder.Menus()[0].rect, &frame);
    ::OffsetRect(&menu, -frame.left, -frame.top);
    const size_t rowBytes = (static_cast<size_t>(frame.right - frame.left) * 3 + 3) / 4 * 4;
    const int height = frame.bottom - frame.top;
    int differing = 0;
    for (int y = menu.top; y < menu.bottom; ++y) {
        const size_t row = 54 + rowBytes * static_cast<size_t>(height - 1 - y);
        for (int x = menu.left; x < menu.right; ++x) differing += withMenu[row + 3 * x] != without[row + 3 * x];
    }
    EXPECT_GT(differing, 100);
}
