// The host's events: loading, windows opening and closing, flushing, unloading.
#include "host/selftest/probe_fixture.h"

using hostsim::MainWindow;

namespace {

std::vector<UINT> Codes(const std::vector<ProbeEntry>& entries) {
    std::vector<UINT> codes;
    for (const ProbeEntry& e : entries) codes.push_back(e.code);
    return codes;
}

std::vector<HWND> Windows(const std::vector<ProbeEntry>& entries) {
    std::vector<HWND> windows;
    for (const ProbeEntry& e : entries) windows.push_back(e.hwnd);
    return windows;
}

}  // namespace

TEST_F(ProbeTest, LoadingAnnouncesEveryOpenWindowThroughItsView) {
    host = std::make_unique<hostsim::Host>();
    MainWindow* first = host->CreateMainWindow();
    MainWindow* second = host->CreateMainWindow();
    ASSERT_TRUE(host->LoadPlugin(ProbePath(), second));
    const auto events = Log(PROBE_EVENT);
    EXPECT_EQ((std::vector<UINT>{EV_LOAD, EV_WINDOW_CREATED, EV_WINDOW_CREATED}), Codes(events));
    EXPECT_EQ((std::vector<HWND>{second->View(), first->View(), second->View()}), Windows(events));
    EXPECT_EQ(first->Main(), ::GetParent(first->View()));
    EXPECT_EQ(first->Main(), ::GetAncestor(first->View(), GA_ROOTOWNER));

    MainWindow* third = host->CreateMainWindow();
    ASSERT_EQ(4u, Log(PROBE_EVENT).size());
    EXPECT_EQ(EV_WINDOW_CREATED, Log(PROBE_EVENT)[3].code);
    EXPECT_EQ(third->View(), Log(PROBE_EVENT)[3].hwnd);
    EXPECT_EQ(4u, host->Events().size());
}

TEST_F(ProbeTest, AnOlderHostAnnouncesOnlyWindowsOpenedAfterLoading) {
    hostsim::HostOptions old;
    old.version = 4999;
    MainWindow* window = Start(old);
    EXPECT_EQ((std::vector<UINT>{EV_LOAD}), Codes(Log(PROBE_EVENT)));
    EXPECT_EQ(window->View(), Log(PROBE_EVENT)[0].hwnd);
    host->CreateMainWindow();
    EXPECT_EQ((std::vector<UINT>{EV_LOAD, EV_WINDOW_CREATED}), Codes(Log(PROBE_EVENT)));
}

TEST_F(ProbeTest, AModuleWithoutTheSevenExportsIsNotLoaded) {
    host = std::make_unique<hostsim::Host>();
    MainWindow* window = host->CreateMainWindow();
    EXPECT_FALSE(host->LoadPlugin(L"comctl32.dll", window));
    EXPECT_FALSE(host->LoadPlugin(L"no-such-plugin.dll", window));
    EXPECT_EQ(nullptr, host->Module());
    EXPECT_TRUE(host->Events().empty());
    EXPECT_TRUE(host->LoadPlugin(ProbePath(), window));
    EXPECT_FALSE(host->LoadPlugin(ProbePath(), window));  // one plug-in per host
}

TEST_F(ProbeTest, ClosingAWindowClosesItsBarForTheNextStartThenDestroysIt) {
    MainWindow* window = Start();
    HWND tree = OpenBar(window);
    const UINT barId = window->BarId();
    const HWND main = window->Main();
    const HWND view = window->View();
    ClearLog();
    host->CloseMainWindow(window);
    const auto events = Log(PROBE_EVENT);
    ASSERT_EQ((std::vector<UINT>{EV_BAR_SAVE, EV_BAR_CLOSED, EV_WINDOW_DESTROY}), Codes(events));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(barId, events[i].info[0]);
        EXPECT_EQ(BAR_FLAG_OPEN_STARTUP, events[i].info[2]);
    }
    EXPECT_EQ((std::vector<HWND>{view, view, view}), Windows(events));
    EXPECT_FALSE(::IsWindow(main));
    EXPECT_FALSE(::IsWindow(tree));
    EXPECT_TRUE(host->Windows().empty());
    // The object outlives its window: nothing dangles, nothing reaches the plug-in.
    EXPECT_EQ(nullptr, window->Main());
    EXPECT_EQ(nullptr, window->BarClient());
    window->Command();
    host->CloseMainWindow(window);
    EXPECT_EQ(3u, Log(PROBE_EVENT).size());
    EXPECT_TRUE(Log(PROBE_COMMAND).empty());
}

TEST_F(ProbeTest, CloseMessageThroughTheLoopClosesTheWindowTheSameWay) {
    MainWindow* window = Start();
    MainWindow* other = host->CreateMainWindow();
    OpenBar(window);
    ClearLog();
    ::PostMessageW(window->Main(), WM_CLOSE, 0, 0);
    host->Pump();
    EXPECT_EQ((std::vector<UINT>{EV_BAR_SAVE, EV_BAR_CLOSED, EV_WINDOW_DESTROY}), Codes(Log(PROBE_EVENT)));
    EXPECT_EQ(std::vector<MainWindow*>{other}, host->Windows());
}

TEST_F(ProbeTest, UnloadingSendsOnlyTheUnloadEventThenFreesTheModule) {
    MainWindow* window = Start();
    OpenBar(window);
    host->ClearEvents();
    host->UnloadPlugin();
    ASSERT_EQ(1u, host->Events().size());
    EXPECT_EQ(EV_UNLOAD, host->Events()[0].nEvent);
    EXPECT_EQ(window->View(), host->Events()[0].hwndView);
    EXPECT_EQ(nullptr, ::GetModuleHandleW(L"hostsim_probe.dll"));
    EXPECT_EQ(nullptr, host->Module());
    // The probe destroyed its tree: the empty bar went with it.
    EXPECT_EQ(nullptr, window->BarContainer());
    host->Pump();
    window->Command();  // no plug-in: nothing happens
}

TEST_F(ProbeTest, UnloadingLeavesWhatThePluginLeftDocked) {
    MainWindow* window = Start();
    HWND tree = OpenBar(window);
    ProbeExport<PFN_ProbeLeaveTreeAtUnload>("ProbeLeaveTreeAtUnload")(TRUE);
    host->UnloadPlugin();
    EXPECT_TRUE(::IsWindow(tree));
    EXPECT_EQ(tree, window->BarClient());
    EXPECT_EQ(window->BarContainer(), ::GetParent(tree));
    host->Pump();
    host.reset();
    EXPECT_FALSE(::IsWindow(tree));
}

TEST_F(ProbeTest, DestroyingTheHostClosesEveryWindowThenUnloads) {
    // Held here too, so the probe's record survives the host's FreeLibrary.
    HMODULE held = ::LoadLibraryW(ProbePath());
    MainWindow* window = Start();
    MainWindow* second = host->CreateMainWindow();
    OpenBar(window);
    const HWND views[] = {window->View(), second->View()};
    ClearLog();
    host.reset();
    const auto events = Log(PROBE_EVENT);
    EXPECT_EQ((std::vector<UINT>{EV_WINDOW_DESTROY, EV_BAR_SAVE, EV_BAR_CLOSED, EV_WINDOW_DESTROY, EV_UNLOAD}),
              Codes(events));
    EXPECT_EQ((std::vector<HWND>{views[1], views[0], views[0], views[0], nullptr}), Windows(events));
    EXPECT_EQ(BAR_FLAG_OPEN_STARTUP, events[1].info[2]);
    ::FreeLibrary(held);
}

TEST_F(ProbeTest, FlushReachesEveryOpenWindow) {
    MainWindow* window = Start();
    MainWindow* second = host->CreateMainWindow();
    MainWindow* third = host->CreateMainWindow();
    host->CloseMainWindow(second);
    ClearLog();
    host->Flush();
    EXPECT_EQ((std::vector<UINT>{EV_FLUSH, EV_FLUSH}), Codes(Log(PROBE_EVENT)));
    EXPECT_EQ((std::vector<HWND>{window->View(), third->View()}), Windows(Log(PROBE_EVENT)));
}

TEST_F(ProbeTest, TheIdleTimerFlushesWhileTheLoopRuns) {
    hostsim::HostOptions options;
    options.flushTimerMs = 50;
    MainWindow* window = Start(options);
    host->Pump(400);
    const auto flushes = host->EventsOf(EV_FLUSH);
    EXPECT_GE(flushes.size(), 3u);
    EXPECT_LE(flushes.size(), 9u);
    for (const auto& e : flushes) EXPECT_EQ(window->View(), e.hwndView);
}

TEST_F(ProbeTest, RawEventsReachThePluginAsGiven) {
    MainWindow* window = Start();
    BAR_EVENT_INFO info = {77, 0, 1};
    host->SendEvent(window, EV_BAR_SAVE | EV_FLUSH, reinterpret_cast<LPARAM>(&info));
    const ProbeEntry last = Log(PROBE_EVENT).back();
    EXPECT_EQ(EV_BAR_SAVE | EV_FLUSH, last.code);
    EXPECT_EQ(reinterpret_cast<LPARAM>(&info), last.lParam);
    EXPECT_EQ(77u, last.info[0]);
    EXPECT_EQ(77u, host->Events().back().info.nBarID);
    EXPECT_EQ(reinterpret_cast<LPARAM>(&info), host->Events().back().lParam);
}
