#include "host/host.h"

#include <algorithm>
#include <iterator>

namespace hostsim {

Host::Host(HostOptions options) : m_options(options) {
    MainWindow::RegisterClasses();
}

// As when the editor quits: every window closes, then the plug-in unloads.
Host::~Host() {
    while (!m_windows.empty()) CloseMainWindow(m_windows.back().get());
    UnloadPlugin();
}

MainWindow* Host::CreateMainWindow() {
    m_windows.push_back(std::make_unique<MainWindow>(static_cast<WindowHost&>(*this)));
    MainWindow* w = m_windows.back().get();
    // New windows step down and right, starting over after eight.
    const int offset = 30 * static_cast<int>((m_windows.size() + m_closed.size() - 1) % 8);
    w->Create(m_module ? PluginText(m_exports.GetMenuTextID()) : L"(no plug-in)", offset);
    if (m_module) SendEvent(w, EV_WINDOW_CREATED, 0);
    return w;
}

bool Host::LoadPlugin(const std::wstring& dllPath, MainWindow* loadingWindow) {
    if (m_module) return false;
    HMODULE module = ::LoadLibraryW(dllPath.c_str());
    if (!module) return false;
    PluginExports e;
    e.OnCommand = reinterpret_cast<PFN_OnCommand>(::GetProcAddress(module, "OnCommand"));
    e.QueryStatus = reinterpret_cast<PFN_QueryStatus>(::GetProcAddress(module, "QueryStatus"));
    e.OnEvents = reinterpret_cast<PFN_OnEvents>(::GetProcAddress(module, "OnEvents"));
    e.GetMenuTextID = reinterpret_cast<PFN_GetMenuTextID>(::GetProcAddress(module, "GetMenuTextID"));
    e.GetStatusMessageID = reinterpret_cast<PFN_GetStatusMessageID>(::GetProcAddress(module, "GetStatusMessageID"));
    e.GetBitmapID = reinterpret_cast<PFN_GetBitmapID>(::GetProcAddress(module, "GetBitmapID"));
    e.PlugInProc = reinterpret_cast<PFN_PlugInProc>(::GetProcAddress(module, "PlugInProc"));
    if (!e.OnCommand || !e.QueryStatus || !e.OnEvents || !e.GetMenuTextID || !e.GetStatusMessageID ||
        !e.GetBitmapID || !e.PlugInProc) {
        ::FreeLibrary(module);
        return false;
    }
    m_module = module;
    m_exports = e;
    const std::wstring commandText = PluginText(e.GetMenuTextID());
    for (auto& w : m_windows) w->SetCommandText(commandText);
    SendEvent(loadingWindow, EV_LOAD, 0);
    // An older host does not announce the windows that are already open.
    if (m_options.version >= 5000) {
        for (MainWindow* w : Windows()) SendEvent(w, EV_WINDOW_CREATED, 0);
    }
    return true;
}

void Host::CloseMainWindow(MainWindow* window) {
    const auto it = std::find_if(m_windows.begin(), m_windows.end(),
                                 [window](const std::unique_ptr<MainWindow>& w) { return w.get() == window; });
    if (it == m_windows.end() || !window->BeginClose()) return;
    if (m_module) SendEvent(window, EV_WINDOW_DESTROY, 0);

    HWND main = window->ReleaseFrame();
    // The event may have run a nested loop that changed the list: look again.
    const auto now = std::find_if(m_windows.begin(), m_windows.end(),
                                  [window](const std::unique_ptr<MainWindow>& w) { return w.get() == window; });
    if (now != m_windows.end()) {
        m_closed.push_back(std::move(*now));
        m_windows.erase(now);
    }
    ::DestroyWindow(main);
    if (m_windows.empty() && m_bRunning) ::PostQuitMessage(0);
}

void Host::UnloadPlugin() {
    if (!m_module) return;
    SendEvent(m_windows.empty() ? nullptr : m_windows.front().get(), EV_UNLOAD, 0);
    ReleaseModule();
}

void Host::FreeWithoutUnload() {
    if (m_module) ReleaseModule();
}

void Host::ReleaseModule() {
    ::FreeLibrary(m_module);
    m_module = nullptr;
    m_exports = PluginExports{};
    // A bar whose window the plug-in destroyed is the host's to remove; one
    // it left docked stays, with whatever the plug-in left in it.
    for (auto& w : m_windows) {
        if (w->BarContainer() && !::IsWindow(w->BarClient())) w->RemoveBar();
    }
}

void Host::Flush() {
    for (MainWindow* w : Windows()) SendEvent(w, EV_FLUSH, 0);
}

void Host::SendEvent(MainWindow* window, UINT nEvent, LPARAM lParam) {
    if (!m_exports.OnEvents) return;
    EventSent event;
    event.hwndView = window ? window->View() : nullptr;
    event.nEvent = nEvent;
    event.lParam = lParam;
    if ((nEvent & (EV_BAR_SAVE | EV_BAR_CLOSED)) && lParam) event.info = *reinterpret_cast<BAR_EVENT_INFO*>(lParam);
    m_events.push_back(event);
    m_exports.OnEvents(event.hwndView, nEvent, lParam);
}

LRESULT Host::PlugInProc(MainWindow* window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!m_exports.PlugInProc) return 0;
    return m_exports.PlugInProc(window ? window->View() : nullptr, msg, wParam, lParam);
}

std::wstring Host::PluginText(UINT id) const {
    wchar_t text[256] = {};
    if (m_module) ::LoadStringW(m_module, id, text, 256);
    return text;
}

std::vector<EventSent> Host::EventsOf(UINT nEvent) const {
    std::vector<EventSent> out;
    std::copy_if(m_events.begin(), m_events.end(), std::back_inserter(out),
                 [nEvent](const EventSent& e) { return (e.nEvent & nEvent) != 0; });
    return out;
}

void Host::RunRequestHook(MainWindow& window, const Request& request) {
    if (m_requestHook) m_requestHook(window, request);
}

void Host::RunNoticeHook(MainWindow& window, const NMHDR& notice) {
    if (m_noticeHook) m_noticeHook(window, notice);
}

void Host::CloseAllWindows() {
    for (MainWindow* w : Windows()) ::PostMessageW(w->Main(), WM_CLOSE, 0, 0);
}

std::vector<MainWindow*> Host::Windows() const {
    std::vector<MainWindow*> out;
    for (const auto& w : m_windows) out.push_back(w.get());
    return out;
}

MainWindow* Host::WindowOf(HWND hwnd) const {
    if (!hwnd) return nullptr;
    for (UINT how : {GA_ROOT, GA_ROOTOWNER}) {
        HWND top = ::GetAncestor(hwnd, how);
        for (const auto& w : m_windows) {
            if (w->Main() == top || w->Main() == hwnd) return w.get();
        }
    }
    return nullptr;
}

void Host::DispatchOne(MSG& msg) {
    if (m_exports.PlugInProc) {
        MainWindow* w = m_options.offerAllThroughFirstWindow ? nullptr : WindowOf(msg.hwnd);
        if (!w && !m_windows.empty()) w = m_windows.front().get();
        HWND view = w ? w->View() : nullptr;
        if (m_exports.PlugInProc(view, PP_PRETRANSLATE_MESSAGE, 0, reinterpret_cast<LPARAM>(&msg))) return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

void Host::Pump(DWORD ms) {
    const DWORD end = ::GetTickCount() + ms;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Left for the outer loop, as a nested loop does.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            DispatchOne(msg);
        }
        const LONG remaining = static_cast<LONG>(end - ::GetTickCount());
        if (remaining <= 0) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(remaining), QS_ALLINPUT);
    }
}

int Host::Run() {
    m_bRunning = true;
    MSG msg = {};
    int exitCode = 0;
    while (!m_windows.empty()) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            exitCode = got == 0 ? static_cast<int>(msg.wParam) : 1;
            break;
        }
        DispatchOne(msg);
    }
    m_bRunning = false;
    return exitCode;
}

}  // namespace hostsim
