#include "host/host.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>

namespace hostsim {
namespace {

constexpr wchar_t kMainClass[] = L"HostSimMain";
constexpr wchar_t kViewClass[] = L"HostSimView";
constexpr wchar_t kBarClass[] = L"HostSimBar";
constexpr UINT_PTR kFlushTimer = 1;
constexpr int kBarWidth = 220;
constexpr int kBarHeight = 160;
constexpr int kDocumentLineHeight = 24;

enum MenuId : UINT {
    ID_FILE_NEW_WINDOW = 100,
    ID_FILE_CLOSE,
    ID_FILE_EXIT,
    ID_PLUGIN_COMMAND,
    ID_PLUGIN_PROPERTIES,
    ID_PLUGIN_CLOSE_BAR,
};

bool IsHostMessage(UINT msg) {
    return msg == HM_EXEC_COMMAND || msg == HM_GET_VERSION || msg == HM_OPEN_FILE || msg == HM_GET_DOC_PATH ||
           msg == HM_OPEN_CUSTOM_BAR || msg == HM_CLOSE_CUSTOM_BAR;
}

std::wstring ReadMacroSlot() {
    wchar_t text[1024] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_CURRENT_USER, HOST_MACRO_KEY, HOST_FIRST_MACRO_VALUE, RRF_RT_REG_SZ | RRF_NOEXPAND,
                       nullptr, text, &size) != ERROR_SUCCESS) {
        return {};
    }
    return text;
}

void RegisterClasses() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    WNDCLASSW wc = {};
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpfnWndProc = &::DefWindowProcW;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kMainClass;
    ::RegisterClassW(&wc);
    wc.lpszClassName = kViewClass;
    ::RegisterClassW(&wc);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kBarClass;
    ::RegisterClassW(&wc);
}

HMENU CreateHostMenu(const std::wstring& commandText) {
    HMENU file = ::CreatePopupMenu();
    ::AppendMenuW(file, MF_STRING, ID_FILE_NEW_WINDOW, L"&New Window");
    ::AppendMenuW(file, MF_STRING, ID_FILE_CLOSE, L"&Close Window");
    ::AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(file, MF_STRING, ID_FILE_EXIT, L"E&xit");
    HMENU plugins = ::CreatePopupMenu();
    ::AppendMenuW(plugins, MF_STRING, ID_PLUGIN_COMMAND, commandText.c_str());
    ::AppendMenuW(plugins, MF_STRING, ID_PLUGIN_CLOSE_BAR, L"Close the &Bar");
    ::AppendMenuW(plugins, MF_STRING, ID_PLUGIN_PROPERTIES, L"&Properties...");
    HMENU bar = ::CreateMenu();
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(plugins), L"&Plug-ins");
    return bar;
}

std::wstring Describe(const Request& r) {
    wchar_t line[600];
    switch (r.msg) {
    case HM_GET_VERSION:
        std::swprintf(line, 600, L"get version -> %ld", static_cast<long>(r.result));
        break;
    case HM_OPEN_FILE:
        std::swprintf(line, 600, L"open file %ls", r.text.c_str());
        break;
    case HM_GET_DOC_PATH:
        std::swprintf(line, 600, L"current document -> %ls", r.text.c_str());
        break;
    case HM_EXEC_COMMAND:
        if (r.wParam == CMD_RUN_FIRST_MACRO) {
            std::swprintf(line, 600, L"run first macro: %ls", r.text.c_str());
        } else {
            std::swprintf(line, 600, L"command %lu", static_cast<unsigned long>(r.wParam));
        }
        break;
    case HM_OPEN_CUSTOM_BAR:
        std::swprintf(line, 600, L"open custom bar \"%ls\" at side %u -> id %ld", r.text.c_str(),
                      r.record.size() > 4 ? r.record[4] : 0u, static_cast<long>(r.result));
        break;
    case HM_CLOSE_CUSTOM_BAR:
        std::swprintf(line, 600, L"close custom bar %lu", static_cast<unsigned long>(r.wParam));
        break;
    case WM_DROPFILES:
        std::swprintf(line, 600, L"files dropped on the editor: %ls", r.text.c_str());
        break;
    default:
        std::swprintf(line, 600, L"message %u", r.msg);
        break;
    }
    return line;
}

}  // namespace

// ---- MainWindow -------------------------------------------------------------

void MainWindow::SetCurrentDocument(const std::wstring& path) {
    m_strDocument = path;
    if (m_hwndView) ::InvalidateRect(m_hwndView, nullptr, TRUE);
}

void MainWindow::Command() {
    if (m_host.m_exports.OnCommand) m_host.m_exports.OnCommand(m_hwndView);
}

BOOL MainWindow::QueryStatus(BOOL* pbChecked) {
    return m_host.m_exports.QueryStatus ? m_host.m_exports.QueryStatus(m_hwndView, pbChecked) : FALSE;
}

void MainWindow::UserCloseBar() {
    if (m_hwndBar) CloseBar(0);
}

LRESULT MainWindow::OpenBar(const BAR_OPEN_INFO* info) {
    if (!info || !info->hwndClient) return 0;
    if (m_hwndBar) CloseBar(0);
    m_nBarPos = info->nPos;
    m_strBarTitle = info->pszTitle ? info->pszTitle : L"";
    m_hwndBar = ::CreateWindowExW(0, kBarClass, m_strBarTitle.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                                  0, 0, m_hwndMain, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(m_hwndBar, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(m_hwndBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::BarProc));
    m_hwndBarClient = info->hwndClient;
    ::SetParent(m_hwndBarClient, m_hwndBar);
    m_nBarId = m_host.m_nNextBarId++;
    Layout();
    return static_cast<LRESULT>(m_nBarId);
}

// Delivers the bar's save and close events before the bar goes away.
void MainWindow::CloseBar(UINT flags) {
    if (!m_hwndBar || m_bClosing) return;
    m_bClosing = true;
    BAR_EVENT_INFO info = {m_nBarId, 0, flags};
    m_host.SendEvent(this, EV_BAR_SAVE, reinterpret_cast<LPARAM>(&info));
    m_host.SendEvent(this, EV_BAR_CLOSED, reinterpret_cast<LPARAM>(&info));
    HWND bar = m_hwndBar;
    m_hwndBar = nullptr;
    m_hwndBarClient = nullptr;
    m_nBarId = 0;
    ::DestroyWindow(bar);
    m_bClosing = false;
    Layout();
}

void MainWindow::Layout() {
    if (!m_hwndMain) return;
    RECT rc;
    ::GetClientRect(m_hwndMain, &rc);
    RECT view = rc;
    if (m_hwndBar) {
        RECT bar = rc;
        switch (m_nBarPos) {
        case BAR_POS_TOP:
            bar.bottom = std::min(rc.bottom, rc.top + kBarHeight);
            view.top = bar.bottom;
            break;
        case BAR_POS_RIGHT:
            bar.left = std::max(rc.left, rc.right - kBarWidth);
            view.right = bar.left;
            break;
        case BAR_POS_BOTTOM:
            bar.top = std::max(rc.top, rc.bottom - kBarHeight);
            view.bottom = bar.top;
            break;
        default:
            bar.right = std::min(rc.right, rc.left + kBarWidth);
            view.left = bar.right;
            break;
        }
        ::MoveWindow(m_hwndBar, bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top, TRUE);
        if (m_hwndBarClient && ::IsWindow(m_hwndBarClient)) {
            ::MoveWindow(m_hwndBarClient, 0, 0, bar.right - bar.left, bar.bottom - bar.top, TRUE);
        }
    }
    ::MoveWindow(m_hwndView, view.left, view.top, view.right - view.left, view.bottom - view.top, TRUE);
    ::MoveWindow(m_hwndLog, 0, kDocumentLineHeight, std::max(0L, view.right - view.left),
                 std::max(0L, view.bottom - view.top - kDocumentLineHeight), TRUE);
}

void MainWindow::Log(const std::wstring& line) {
    if (!m_hwndLog) return;
    const LRESULT index = ::SendMessageW(m_hwndLog, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    ::SendMessageW(m_hwndLog, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
}

LRESULT MainWindow::OnHostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    Request request;
    request.hwndMain = m_hwndMain;
    request.msg = msg;
    request.wParam = wParam;
    request.lParam = lParam;
    LRESULT result = 0;
    switch (msg) {
    case HM_GET_VERSION:
        result = static_cast<LRESULT>(m_host.m_options.version);
        break;
    case HM_OPEN_FILE: {
        const UINT* fields = reinterpret_cast<const UINT*>(wParam);
        if (fields) request.record.assign(fields, fields + 7);
        request.text = lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"";
        SetCurrentDocument(request.text);
        break;
    }
    case HM_GET_DOC_PATH: {
        wchar_t* buffer = reinterpret_cast<wchar_t*>(lParam);
        if (buffer) {
            const size_t n = std::min<size_t>(m_strDocument.size(), 259);
            std::copy(m_strDocument.begin(), m_strDocument.begin() + n, buffer);
            buffer[n] = L'\0';
            request.text.assign(buffer, n);
        }
        break;
    }
    case HM_EXEC_COMMAND:
        if (wParam == CMD_RUN_FIRST_MACRO) request.text = ReadMacroSlot();
        break;
    case HM_OPEN_CUSTOM_BAR: {
        const auto* info = reinterpret_cast<const BAR_OPEN_INFO*>(lParam);
        if (info) {
            request.record = {info->cbSize, info->nReserved, static_cast<UINT>(reinterpret_cast<UINT_PTR>(info->hwndClient)),
                              static_cast<UINT>(reinterpret_cast<UINT_PTR>(info->pszTitle)), static_cast<UINT>(info->nPos)};
            request.text = info->pszTitle ? info->pszTitle : L"";
        }
        result = OpenBar(info);
        break;
    }
    case HM_CLOSE_CUSTOM_BAR:
        // Recorded before the bar's events run, so the log reads in order.
        m_host.Record(request);
        if (m_hwndBar && wParam == m_nBarId) CloseBar(0);
        return 0;
    default:
        break;
    }
    request.result = result;
    m_host.Record(request);
    return result;
}

void MainWindow::OnMenu(UINT id) {
    switch (id) {
    case ID_FILE_NEW_WINDOW:
        m_host.CreateMainWindow();
        break;
    case ID_FILE_CLOSE:
        ::PostMessageW(m_hwndMain, WM_CLOSE, 0, 0);
        break;
    case ID_FILE_EXIT:
        for (MainWindow* w : m_host.Windows()) ::PostMessageW(w->Main(), WM_CLOSE, 0, 0);
        break;
    case ID_PLUGIN_COMMAND:
        Command();
        break;
    case ID_PLUGIN_CLOSE_BAR:
        UserCloseBar();
        break;
    case ID_PLUGIN_PROPERTIES:
        m_host.PlugInProc(this, PP_SHOW_PROPERTIES, 0, 0);
        break;
    default:
        break;
    }
}

void MainWindow::UpdateMenu(HMENU menu) {
    BOOL checked = FALSE;
    const BOOL enabled = QueryStatus(&checked);
    ::CheckMenuItem(menu, ID_PLUGIN_COMMAND, MF_BYCOMMAND | (enabled && checked ? MF_CHECKED : MF_UNCHECKED));
    ::EnableMenuItem(menu, ID_PLUGIN_COMMAND, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    ::EnableMenuItem(menu, ID_PLUGIN_CLOSE_BAR, MF_BYCOMMAND | (m_hwndBar ? MF_ENABLED : MF_GRAYED));
}

LRESULT MainWindow::OnMainMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (IsHostMessage(msg)) return OnHostMessage(msg, wParam, lParam);
    switch (msg) {
    case WM_NOTIFY: {
        // The tree view keeps notifying the window it was created in, even
        // when docked in the bar: reflect those too.
        const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
        if (hdr && m_hwndBarClient && hdr->hwndFrom == m_hwndBarClient) {
            return ::SendMessageW(m_hwndBarClient, WM_REFLECTED_NOTIFY, wParam, lParam);
        }
        break;
    }
    case WM_SIZE:
        Layout();
        return 0;
    case WM_COMMAND:
        if (lParam == 0) OnMenu(LOWORD(wParam));
        return 0;
    case WM_INITMENUPOPUP:
        UpdateMenu(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kFlushTimer) m_host.SendEvent(this, EV_FLUSH, 0);
        return 0;
    case WM_DROPFILES: {
        HDROP drop = reinterpret_cast<HDROP>(wParam);
        Request request;
        request.hwndMain = m_hwndMain;
        request.msg = WM_DROPFILES;
        const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            wchar_t path[MAX_PATH] = {};
            ::DragQueryFileW(drop, i, path, MAX_PATH);
            if (i) request.text += L";";
            request.text += path;
        }
        ::DragFinish(drop);
        m_host.Record(request);
        return 0;
    }
    case WM_CLOSE:
        m_host.CloseMainWindow(this);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(m_hwndMain, msg, wParam, lParam);
}

LRESULT CALLBACK MainWindow::MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || self->m_hwndMain != hwnd) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->OnMainMessage(msg, wParam, lParam);
}

LRESULT CALLBACK MainWindow::ViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (IsHostMessage(msg)) return ::SendMessageW(::GetParent(hwnd), msg, wParam, lParam);
    if (msg == WM_PAINT) {
        auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        if (self) {
            const std::wstring line = L"Current document: " +
                                      (self->m_strDocument.empty() ? std::wstring(L"(none)") : self->m_strDocument);
            ::SetBkMode(dc, TRANSPARENT);
            ::TextOutW(dc, 6, 4, line.c_str(), static_cast<int>(line.size()));
        }
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK MainWindow::BarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg == WM_NOTIFY) {
        // Notifications of the docked window go back to it, as the editor's bars do.
        const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
        if (hdr && hdr->hwndFrom && ::GetParent(hdr->hwndFrom) == hwnd) {
            return ::SendMessageW(hdr->hwndFrom, WM_REFLECTED_NOTIFY, wParam, lParam);
        }
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// ---- Host -------------------------------------------------------------------

Host::Host(HostOptions options) : m_options(options) {
    RegisterClasses();
}

Host::~Host() {
    while (!m_windows.empty()) CloseMainWindow(m_windows.back().get());
    UnloadPlugin();
}

MainWindow* Host::CreateMainWindow() {
    m_windows.push_back(std::unique_ptr<MainWindow>(new MainWindow(*this)));
    MainWindow* w = m_windows.back().get();
    const int offset = 30 * static_cast<int>(m_windows.size() - 1);
    w->m_hwndMain = ::CreateWindowExW(0, kMainClass, L"Zorvex (stand-in host)",
                                      WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | (m_options.visible ? WS_VISIBLE : 0),
                                      40 + offset, 40 + offset, 760, 520, nullptr,
                                      CreateHostMenu(m_module ? PluginText(m_exports.GetMenuTextID()) : L"Favourites"),
                                      ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(w->m_hwndMain, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
    ::SetWindowLongPtrW(w->m_hwndMain, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::MainProc));
    w->m_hwndView = ::CreateWindowExW(WS_EX_CLIENTEDGE, kViewClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                      0, 0, 0, 0, w->m_hwndMain, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(w->m_hwndView, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
    ::SetWindowLongPtrW(w->m_hwndView, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::ViewProc));
    w->m_hwndLog = ::CreateWindowExW(0, L"LISTBOX", nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT,
                                     0, 0, 0, 0, w->m_hwndView, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::DragAcceptFiles(w->m_hwndMain, TRUE);
    w->Layout();
    if (m_options.flushTimerMs) ::SetTimer(w->m_hwndMain, kFlushTimer, m_options.flushTimerMs, nullptr);
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
    for (auto& w : m_windows) {
        HMENU plugins = ::GetSubMenu(::GetMenu(w->m_hwndMain), 1);
        ::ModifyMenuW(plugins, ID_PLUGIN_COMMAND, MF_BYCOMMAND | MF_STRING, ID_PLUGIN_COMMAND,
                      PluginText(e.GetMenuTextID()).c_str());
    }
    SendEvent(loadingWindow, EV_LOAD, 0);
    // An older host does not announce its windows; the plug-in copes.
    if (m_options.version >= 5000) {
        for (auto& w : m_windows) SendEvent(w.get(), EV_WINDOW_CREATED, 0);
    }
    return true;
}

void Host::CloseMainWindow(MainWindow* window) {
    auto find = [this, window] {
        return std::find_if(m_windows.begin(), m_windows.end(), [window](const auto& w) { return w.get() == window; });
    };
    if (find() == m_windows.end() || window->m_bClosing) return;
    // Closing the window closes its bar, which is to reopen at the next start.
    if (window->m_hwndBar) window->CloseBar(BAR_FLAG_OPEN_STARTUP);
    window->m_bClosing = true;
    if (m_module) SendEvent(window, EV_WINDOW_DESTROY, 0);
    auto it = find();
    std::unique_ptr<MainWindow> owned = std::move(*it);
    m_windows.erase(it);
    ::KillTimer(owned->m_hwndMain, kFlushTimer);
    ::SetWindowLongPtrW(owned->m_hwndMain, GWLP_USERDATA, 0);
    ::SetWindowLongPtrW(owned->m_hwndView, GWLP_USERDATA, 0);
    if (owned->m_hwndBar) ::SetWindowLongPtrW(owned->m_hwndBar, GWLP_USERDATA, 0);
    ::DestroyWindow(owned->m_hwndMain);
    if (m_windows.empty() && m_bRunning) ::PostQuitMessage(0);
}

void Host::UnloadPlugin() {
    if (!m_module) return;
    SendEvent(m_windows.empty() ? nullptr : m_windows.front().get(), EV_UNLOAD, 0);
    // Whatever the plug-in left docked is the host's to remove now.
    for (auto& w : m_windows) {
        if (w->m_hwndBar) {
            ::DestroyWindow(w->m_hwndBar);
            w->m_hwndBar = nullptr;
            w->m_hwndBarClient = nullptr;
            w->m_nBarId = 0;
            w->Layout();
        }
    }
    ::FreeLibrary(m_module);
    m_module = nullptr;
    m_exports = PluginExports{};
}

void Host::Flush() {
    for (MainWindow* w : Windows()) SendEvent(w, EV_FLUSH, 0);
}

void Host::SendEvent(MainWindow* window, UINT nEvent, LPARAM lParam) {
    if (!m_exports.OnEvents) return;
    EventSent event;
    event.hwndView = window ? window->m_hwndView : nullptr;
    event.nEvent = nEvent;
    if ((nEvent & (EV_BAR_SAVE | EV_BAR_CLOSED)) && lParam) event.info = *reinterpret_cast<BAR_EVENT_INFO*>(lParam);
    m_events.push_back(event);
    m_exports.OnEvents(event.hwndView, nEvent, lParam);
}

LRESULT Host::PlugInProc(MainWindow* window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!m_exports.PlugInProc) return 0;
    return m_exports.PlugInProc(window ? window->m_hwndView : nullptr, msg, wParam, lParam);
}

std::wstring Host::PluginText(UINT id) const {
    wchar_t text[256] = {};
    if (m_module) ::LoadStringW(m_module, id, text, 256);
    return text;
}

std::vector<Request> Host::RequestsOf(UINT msg) const {
    std::vector<Request> out;
    for (const Request& r : m_requests) {
        if (r.msg == msg) out.push_back(r);
    }
    return out;
}

void Host::Record(Request request) {
    if (MainWindow* w = WindowOf(request.hwndMain)) w->Log(Describe(request));
    m_requests.push_back(std::move(request));
}

std::vector<MainWindow*> Host::Windows() const {
    std::vector<MainWindow*> out;
    for (const auto& w : m_windows) out.push_back(w.get());
    return out;
}

MainWindow* Host::WindowOf(HWND hwnd) const {
    HWND root = hwnd ? ::GetAncestor(hwnd, GA_ROOT) : nullptr;
    for (const auto& w : m_windows) {
        if (w->m_hwndMain == root || w->m_hwndMain == hwnd) return w.get();
    }
    return nullptr;
}

void Host::DispatchOne(MSG& msg) {
    if (m_exports.PlugInProc && !m_windows.empty()) {
        MainWindow* w = WindowOf(msg.hwnd);
        if (!w) w = m_windows.front().get();
        if (m_exports.PlugInProc(w->m_hwndView, PP_PRETRANSLATE_MESSAGE, 0, reinterpret_cast<LPARAM>(&msg))) return;
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
    MSG msg;
    while (!m_windows.empty() && ::GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchOne(msg);
    m_bRunning = false;
    return 0;
}

}  // namespace hostsim
