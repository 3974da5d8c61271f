// Loading, the frame registry, the version gate, settings and the bar's
// life cycle, observed from the host's side.
#include "tests/win/fixture.h"

#include <commctrl.h>

using hostsim::HostOptions;
using hostsim::MainWindow;

namespace {

BOOL Status(MainWindow* window, BOOL* checked) {
    return window->QueryStatus(checked);
}

void SendBarEvent(hostsim::Host& host, MainWindow* window, UINT nEvent, UINT barId, UINT flags) {
    BAR_EVENT_INFO info = {barId, 0, flags};
    host.SendEvent(window, nEvent, reinterpret_cast<LPARAM>(&info));
}

}  // namespace

TEST(Exports, SevenFunctionsByNameAndOrdinal) {
    HMODULE module = ::LoadLibraryW(FavoritesDllPath());
    ASSERT_NE(nullptr, module);
    const char* names[] = {"OnCommand", "QueryStatus", "OnEvents", "GetMenuTextID",
                           "GetStatusMessageID", "GetBitmapID", "PlugInProc"};
    for (int ordinal = 1; ordinal <= 7; ++ordinal) {
        FARPROC byName = ::GetProcAddress(module, names[ordinal - 1]);
        EXPECT_NE(nullptr, byName) << names[ordinal - 1];
        EXPECT_EQ(byName, ::GetProcAddress(module, MAKEINTRESOURCEA(ordinal))) << names[ordinal - 1];
    }
    EXPECT_EQ(3u, reinterpret_cast<PFN_GetMenuTextID>(::GetProcAddress(module, "GetMenuTextID"))());
    EXPECT_EQ(4u, reinterpret_cast<PFN_GetStatusMessageID>(::GetProcAddress(module, "GetStatusMessageID"))());
    EXPECT_EQ(101u, reinterpret_cast<PFN_GetBitmapID>(::GetProcAddress(module, "GetBitmapID"))());
    ::FreeLibrary(module);
}

TEST_F(PluginTest, FramesExistOnlyForAnnouncedWindowsOnCurrentHosts) {
    MainWindow* window = StartHost();
    BOOL checked = 7;
    EXPECT_TRUE(Status(window, &checked));
    EXPECT_EQ(0, checked);

    // A fresh registry after unload knows no window until the host announces it.
    host->SendEvent(window, EV_UNLOAD, 0);
    checked = 7;
    EXPECT_FALSE(Status(window, &checked));
    EXPECT_EQ(7, checked);
    host->SendEvent(window, EV_FLUSH, 0);  // ignored without a registry
    host->SendEvent(window, EV_LOAD, 0);
    EXPECT_FALSE(Status(window, &checked));
    host->SendEvent(window, EV_WINDOW_CREATED | EV_FLUSH, 0);
    EXPECT_TRUE(Status(window, &checked));
}

TEST_F(PluginTest, OlderHostGetsTheFrameOfTheLoadingWindowAtLoad) {
    HostOptions options;
    options.version = 4999;
    MainWindow* window = StartHost(options);
    BOOL checked = 7;
    EXPECT_TRUE(Status(window, &checked));
    EXPECT_EQ(0, checked);
    // Below 6000 the command only explains that the host is too old.
    hostsim::ModalResponder responder;
    window->Command();
    host->Pump();
    ASSERT_EQ(1u, responder.Boxes().size());
    EXPECT_EQ(L"Zorvex Version 6.00 以上が必要です。", responder.Boxes()[0].text);
    EXPECT_EQ(nullptr, TreeOf(window));
}

TEST_F(PluginTest, HostBelowSixThousandShowsTheVersionErrorAndNoBar) {
    HostOptions options;
    options.version = 5999;
    MainWindow* window = StartHost(options);
    hostsim::ModalResponder responder;
    window->Command();
    host->Pump();
    ASSERT_EQ(1u, responder.Boxes().size());
    const auto& box = responder.Boxes()[0];
    EXPECT_EQ(L"Zorvex Version 6.00 以上が必要です。", box.text);
    EXPECT_EQ(L"お気に入り", box.caption);
    EXPECT_EQ(window->Main(), box.owner);
    EXPECT_EQ(0, RequestCount(*host, HM_OPEN_CUSTOM_BAR));
    BOOL checked = 7;
    EXPECT_TRUE(Status(window, &checked));
    EXPECT_EQ(0, checked);
}

TEST_F(PluginTest, CommandOpensATreeViewInACustomBarAndClosesItThroughTheHost) {
    MainWindow* window = StartHost();
    window->Command();
    host->Pump();

    auto opens = host->RequestsOf(HM_OPEN_CUSTOM_BAR);
    ASSERT_EQ(1u, opens.size());
    HWND tree = TreeOf(window);
    ASSERT_NE(nullptr, tree);
    const std::vector<UINT>& record = opens[0].record;
    ASSERT_EQ(5u, record.size());
    EXPECT_EQ(sizeof(BAR_OPEN_INFO), record[0]);  // 20 in the 32-bit plug-in
    EXPECT_EQ(0u, record[1]);
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(tree), record[2]);
    EXPECT_EQ(0u, record[4]);
    EXPECT_EQ(L"お気に入り", opens[0].text);

    wchar_t className[64] = {};
    ::GetClassNameW(tree, className, 64);
    EXPECT_STREQ(L"SysTreeView32", className);
    EXPECT_EQ(0x5600002Fu, static_cast<DWORD>(::GetWindowLongW(tree, GWL_STYLE)) & 0xFFFF00FFu);
    EXPECT_TRUE(::GetWindowLongW(tree, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(100, ::GetDlgCtrlID(tree));
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(::SendMessageW(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    ASSERT_NE(nullptr, images);
    EXPECT_EQ(3, ::ImageList_GetImageCount(images));
    BOOL checked = 0;
    EXPECT_TRUE(Status(window, &checked));
    EXPECT_EQ(1, checked);

    const UINT barId = window->BarId();
    window->Command();
    host->Pump();
    auto closes = host->RequestsOf(HM_CLOSE_CUSTOM_BAR);
    ASSERT_EQ(1u, closes.size());
    EXPECT_EQ(barId, closes[0].wParam);
    EXPECT_FALSE(::IsWindow(tree));
    EXPECT_TRUE(Status(window, &checked));
    EXPECT_EQ(0, checked);
    // The user closed it: the bar does not come back at the next start.
    EXPECT_EQ(0u, ReadDword(L"OpenStartup"));
    EXPECT_EQ(0u, ReadDword(L"CustomBarPos"));
}

TEST_F(PluginTest, BarEventsForAnotherBarOrAClosedBarChangeNothing) {
    MainWindow* window = OpenBarWindow();
    HWND tree = TreeOf(window);
    SendBarEvent(*host, window, EV_BAR_CLOSED, window->BarId() + 1, 1);
    EXPECT_TRUE(::IsWindow(tree));
    BOOL checked = 0;
    Status(window, &checked);
    EXPECT_EQ(1, checked);
    EXPECT_FALSE(ValueExists(L"OpenStartup"));

    window->UserCloseBar();
    EXPECT_FALSE(::IsWindow(tree));
    ClearKey();
    SendBarEvent(*host, window, EV_BAR_CLOSED, 0, 1);
    EXPECT_FALSE(ValueExists(L"OpenStartup"));
}

TEST_F(PluginTest, ClosingTheWindowWithTheBarOpenReopensItAtTheNextStart) {
    MainWindow* window = OpenBarWindow();
    host->CloseMainWindow(window);
    EXPECT_EQ(1u, ReadDword(L"OpenStartup"));

    MainWindow* next = host->CreateMainWindow();
    host->Pump();
    EXPECT_NE(nullptr, TreeOf(next));
    BOOL checked = 0;
    Status(next, &checked);
    EXPECT_EQ(1, checked);
}

TEST_F(PluginTest, StoredSettingsAreReadOnceWhenTheWindowOpens) {
    WriteDword(L"OpenStartup", 7);
    WriteDword(L"CustomBarPos", 2);
    MainWindow* window = StartHost();
    host->Pump();
    ASSERT_NE(nullptr, TreeOf(window));
    EXPECT_EQ(2, window->BarPos());
    ASSERT_EQ(1, RequestCount(*host, HM_OPEN_CUSTOM_BAR));
    EXPECT_EQ(2u, host->RequestsOf(HM_OPEN_CUSTOM_BAR)[0].record[4]);

    // Read once per frame: a later change in the registry is not seen.
    WriteDword(L"CustomBarPos", 3);
    window->Command();
    window->Command();
    host->Pump();
    EXPECT_EQ(2, window->BarPos());
    // The close writes the frame's open-at-start-up choice; a side stored
    // since the window opened was chosen later, and stays.
    window->UserCloseBar();
    EXPECT_EQ(0u, ReadDword(L"OpenStartup"));
    EXPECT_EQ(3u, ReadDword(L"CustomBarPos"));
}

TEST_F(PluginTest, OddlySizedSettingsReadSafely) {
    // Eight bytes do not fit the 4-byte setting: it counts as absent.
    const BYTE eight[8] = {3, 0, 0, 0, 0, 0, 0, 0};
    WriteRaw(L"CustomBarPos", REG_BINARY, eight, sizeof(eight));
    MainWindow* window = OpenBarWindow();
    EXPECT_EQ(0, window->BarPos());
    host.reset();

    // One byte reads as that byte, not with leftovers above it.
    const BYTE one[1] = {1};
    WriteRaw(L"CustomBarPos", REG_BINARY, one, sizeof(one));
    window = OpenBarWindow();
    EXPECT_EQ(1, window->BarPos());
    host.reset();

    // An out-of-range side is handed to the host unchanged.
    WriteDword(L"CustomBarPos", 5);
    StartHost()->Command();
    ASSERT_EQ(1, RequestCount(*host, HM_OPEN_CUSTOM_BAR));
    EXPECT_EQ(5u, host->RequestsOf(HM_OPEN_CUSTOM_BAR)[0].record[4]);
}

TEST_F(PluginTest, KeyIsNamedAfterTheModuleFileUpToItsFirstDot) {
    // Load a copy named <stem>.fav.dll: its key is the stem alone.
    std::wstring dotted = DllCopy().substr(0, DllCopy().size() - 4) + L".fav.dll";
    ASSERT_TRUE(::CopyFileW(DllCopy().c_str(), dotted.c_str(), FALSE));
    host = std::make_unique<hostsim::Host>();
    MainWindow* window = host->CreateMainWindow();
    ASSERT_TRUE(host->LoadPlugin(dotted, window));
    window->Command();
    window->Command();
    host->Pump();
    EXPECT_TRUE(ValueExists(L"CustomBarPos"));
    host.reset();
    ::DeleteFileW(dotted.c_str());
}

TEST_F(PluginTest, DestroyOrUnloadWithTheBarOpenReleasesTheTreeView) {
    MainWindow* window = OpenBarWindow();
    HWND tree = TreeOf(window);
    // The frame goes without the host closing its bar first.
    host->SendEvent(window, EV_WINDOW_DESTROY, 0);
    EXPECT_FALSE(::IsWindow(tree));
    BOOL checked = 0;
    EXPECT_FALSE(Status(window, &checked));
    host->Pump();

    MainWindow* second = host->CreateMainWindow();
    second->Command();
    host->Pump();
    tree = TreeOf(second);
    ASSERT_TRUE(::IsWindow(tree));
    host->UnloadPlugin();
    EXPECT_FALSE(::IsWindow(tree));
    host->Pump();  // nothing may reach the unloaded module
}

TEST_F(PluginTest, SecondCreationEventKeepsTheExistingFrame) {
    MainWindow* window = OpenBarWindow();
    host->SendEvent(window, EV_WINDOW_CREATED, 0);
    BOOL checked = 0;
    EXPECT_TRUE(Status(window, &checked));
    EXPECT_EQ(1, checked);
    EXPECT_EQ(1, RequestCount(*host, HM_OPEN_CUSTOM_BAR));
    window->Command();
    host->Pump();
    EXPECT_EQ(nullptr, TreeOf(window));
}

TEST_F(PluginTest, TwoWindowsHaveIndependentFrames) {
    MainWindow* first = StartHost();
    MainWindow* second = host->CreateMainWindow();
    second->Command();
    host->Pump();
    BOOL checked = 0;
    Status(first, &checked);
    EXPECT_EQ(0, checked);
    Status(second, &checked);
    EXPECT_EQ(1, checked);

    host->CloseMainWindow(first);
    EXPECT_TRUE(Status(second, &checked));
    EXPECT_EQ(1, checked);
    EXPECT_NE(nullptr, TreeOf(second));
}
