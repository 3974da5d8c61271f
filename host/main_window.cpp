#include "host/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "host/gdi_scope.h"
#include "host/requests.h"

namespace hostsim {
namespace {

constexpr wchar_t kMainClass[] = L"HostSimMain";
constexpr wchar_t kViewClass[] = L"HostSimView";
constexpr wchar_t kBarClass[] = L"HostSimBar";
constexpr UINT_PTR kFlushTimer = 1;
// Posted by docking: the host subclasses the docked window (lParam).
constexpr UINT kSubclassClientMessage = WM_APP + 1;
constexpr wchar_t kSubclassOwnerProp[] = L"HostSimSubclassOwner";
constexpr wchar_t kSubclassPreviousProp[] = L"HostSimSubclassPrevious";
constexpr int kBarWidth = 220;
constexpr int kBarHeight = 160;
constexpr int kBarTitleHeight = 20;
constexpr int kDocumentLineHeight = 24;

constexpr int kPluginMenuIndex = 1;

HINSTANCE HostInstance() {
    return ::GetModuleHandleW(nullptr);
}

void RegisterWindowClass(const wchar_t* name, WNDPROC proc, int background) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = HostInstance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background + 1));
    wc.lpszClassName = name;
    ::RegisterClassW(&wc);
}

// Finds the window object that CreateWindowExW was given, and keeps it with
// the window from WM_NCCREATE on.
template <class Object>
Object* ObjectOf(HWND hwnd, UINT msg, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* object = static_cast<Object*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        return object;
    }
    return reinterpret_cast<Object*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
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
    ::AppendMenuW(plugins, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(plugins, MF_STRING, ID_PLUGIN_PROPERTIES, L"&Properties...");
    HMENU bar = ::CreateMenu();
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(plugins), L"&Plug-ins");
    return bar;
}

// Where the bar sits in the main window's client area, and what is left for the view.
void SplitClientArea(const RECT& client, int side, RECT& bar, RECT& view) {
    bar = client;
    view = client;
    switch (side) {
    case BAR_POS_TOP:
        bar.bottom = std::min(client.bottom, client.top + kBarHeight);
        view.top = bar.bottom;
        break;
    case BAR_POS_RIGHT:
        bar.left = std::max(client.left, client.right - kBarWidth);
        view.right = bar.left;
        break;
    case BAR_POS_BOTTOM:
        bar.top = std::max(client.top, client.bottom - kBarHeight);
        view.bottom = bar.top;
        break;
    default:  // left, and any side the host does not know
        bar.right = std::min(client.right, client.left + kBarWidth);
        view.left = bar.right;
        break;
    }
}

void MoveTo(HWND hwnd, const RECT& rc) {
    ::MoveWindow(hwnd, rc.left, rc.top, std::max(0L, rc.right - rc.left), std::max(0L, rc.bottom - rc.top), TRUE);
}

// The bar's title strip and its close box, in window coordinates of the bar.
RECT TitleRect(HWND bar) {
    RECT rc = {};
    ::GetWindowRect(bar, &rc);
    return {0, 0, rc.right - rc.left, kBarTitleHeight};
}

RECT CloseBoxRect(HWND bar) {
    const RECT title = TitleRect(bar);
    return {title.right - kBarTitleHeight + 2, 2, title.right - 2, kBarTitleHeight - 2};
}

POINT ToWindowPoint(HWND hwnd, LPARAM screenPoint) {
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    return {static_cast<SHORT>(LOWORD(screenPoint)) - rc.left, static_cast<SHORT>(HIWORD(screenPoint)) - rc.top};
}

// A cross drawn with lines: the caption glyph font is not there under every Wine.
void DrawCloseCross(HDC dc, const RECT& box) {
    GdiObject<HPEN> pen(::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNTEXT)));
    Selection selected(dc, pen.Get());
    const int inset = 4;
    for (int offset : {0, 1}) {
        ::MoveToEx(dc, box.left + inset + offset, box.top + inset, nullptr);
        ::LineTo(dc, box.right - inset + offset, box.bottom - inset);
        ::MoveToEx(dc, box.right - inset - 1 + offset, box.top + inset, nullptr);
        ::LineTo(dc, box.left + inset - 1 + offset, box.bottom - inset);
    }
}

void PaintBarTitle(HWND bar, const std::wstring& title) {
    WindowDc dc(bar);
    if (!dc.Get()) return;
    const RECT strip = TitleRect(bar);
    ::FillRect(dc.Get(), &strip, ::GetSysColorBrush(COLOR_BTNFACE));
    const RECT edge = {strip.left, strip.bottom - 1, strip.right, strip.bottom};
    ::FillRect(dc.Get(), &edge, ::GetSysColorBrush(COLOR_BTNSHADOW));
    const RECT close = CloseBoxRect(bar);
    DrawCloseCross(dc.Get(), close);
    RECT text = {strip.left + 6, strip.top, close.left - 4, strip.bottom - 1};
    Selection font(dc.Get(), ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc.Get(), TRANSPARENT);
    ::SetTextColor(dc.Get(), ::GetSysColor(COLOR_BTNTEXT));
    ::DrawTextW(dc.Get(), title.c_str(), static_cast<int>(title.size()), &text,
                DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
}

}  // namespace

void MainWindow::RegisterClasses() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
        RegisterWindowClass(kMainClass, &MainWindow::MainProc, COLOR_APPWORKSPACE);
        RegisterWindowClass(kViewClass, &MainWindow::ViewProc, COLOR_WINDOW);
        RegisterWindowClass(kBarClass, &MainWindow::BarProc, COLOR_BTNFACE);
        return true;
    }();
    (void)registered;
}

void MainWindow::Create(const std::wstring& commandText, int offset) {
    const HostOptions& options = m_host.Options();
    m_hwndMain = ::CreateWindowExW(0, kMainClass, L"Zorvex (stand-in host)",
                                   WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | (options.visible ? WS_VISIBLE : 0),
                                   40 + offset, 40 + offset, 760, 520, nullptr, CreateHostMenu(commandText),
                                   HostInstance(), this);
    m_hwndView = ::CreateWindowExW(WS_EX_CLIENTEDGE, kViewClass, nullptr,
                                   WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, 0, m_hwndMain,
                                   nullptr, HostInstance(), this);
    m_hwndLog = ::CreateWindowExW(0, L"LISTBOX", nullptr,
                                  WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL, 0, 0, 0, 0,
                                  m_hwndView, nullptr, HostInstance(), nullptr);
    ::SendMessageW(m_hwndLog, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    ::DragAcceptFiles(m_hwndMain, TRUE);
    Layout();
    if (options.flushTimerMs) ::SetTimer(m_hwndMain, kFlushTimer, options.flushTimerMs, nullptr);
}

void MainWindow::SetCommandText(const std::wstring& text) {
    HMENU plugins = ::GetSubMenu(::GetMenu(m_hwndMain), kPluginMenuIndex);
    ::ModifyMenuW(plugins, ID_PLUGIN_COMMAND, MF_BYCOMMAND | MF_STRING, ID_PLUGIN_COMMAND, text.c_str());
}

void MainWindow::SetCurrentDocument(const std::wstring& path) {
    m_strDocument = path;
    if (m_hwndView) ::InvalidateRect(m_hwndView, nullptr, TRUE);
}

void MainWindow::Command() {
    const PluginExports& plugin = m_host.Exports();
    if (m_hwndMain && plugin.OnCommand) plugin.OnCommand(m_hwndView);
}

BOOL MainWindow::QueryStatus(BOOL* pbChecked) {
    const PluginExports& plugin = m_host.Exports();
    if (!m_hwndMain || !plugin.QueryStatus) return FALSE;
    return plugin.QueryStatus(m_hwndView, pbChecked);
}

void MainWindow::UserCloseBar() {
    CloseBar(0);
}

LRESULT MainWindow::DockBar(const BAR_OPEN_INFO* info) {
    // Not while the bar's close events run: the close would take the new bar too.
    if (!m_hwndMain || m_bClosingBar || !info || !::IsWindow(info->hwndClient)) return 0;
    const HostOptions& options = m_host.Options();
    if (options.destroyClientWhileDocking) {
        ::DestroyWindow(info->hwndClient);
        return 0;
    }
    if (options.refuseDocking) return 0;
    // One bar per window: a second one replaces the first, as if the user had closed it.
    CloseBar(0);
    m_nBarPos = info->nPos;
    m_strBarTitle = info->pszTitle ? info->pszTitle : L"";
    m_hwndBar = ::CreateWindowExW(0, kBarClass, m_strBarTitle.c_str(),
                                  WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, 0, m_hwndMain,
                                  nullptr, HostInstance(), this);
    if (!m_hwndBar) return 0;
    m_hwndBarClient = info->hwndClient;
    ::SetParent(m_hwndBarClient, m_hwndBar);
    // A new parent asks its child for the notices it wants.
    if (options.ansiNotices) ::SendMessageW(m_hwndBarClient, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(m_hwndBar), NF_REQUERY);
    ::ShowWindow(m_hwndBarClient, SW_SHOWNA);
    m_nBarId = m_host.NewBarId();
    Layout();
    const UINT id = m_nBarId;
    if (options.refuseSideOutsideRange && (info->nPos < BAR_POS_LEFT || info->nPos > BAR_POS_BOTTOM)) {
        CloseBar(0);
    } else if (options.closeBarWhileDocking) {
        m_bHandBackClient = true;
        CloseBar(0);
        m_bHandBackClient = false;
    } else if (options.subclassDockedClient) {
        ::PostMessageW(m_hwndMain, kSubclassClientMessage, 0, reinterpret_cast<LPARAM>(m_hwndBarClient));
    }
    return static_cast<LRESULT>(id);
}

void MainWindow::SubclassClient(HWND client) {
    if (!client || client != m_hwndBarClient || !::IsWindow(client)) return;
    m_clientSubclass = ClientSubclass{};
    m_clientSubclass.hwnd = client;
    ::SetPropW(client, kSubclassOwnerProp, this);
    const LONG_PTR previous = ::SetWindowLongPtrW(client, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ClientProc));
    ::SetPropW(client, kSubclassPreviousProp, reinterpret_cast<HANDLE>(previous));
}

// Passes every message on, as a well-behaved subclass does, counting the
// window's destruction on the way.
LRESULT CALLBACK MainWindow::ClientProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<MainWindow*>(::GetPropW(hwnd, kSubclassOwnerProp));
    auto previous = reinterpret_cast<WNDPROC>(::GetPropW(hwnd, kSubclassPreviousProp));
    if (self && self->m_clientSubclass.hwnd == hwnd) {
        if (msg == WM_DESTROY) ++self->m_clientSubclass.destroys;
        if (msg == WM_NCDESTROY) ++self->m_clientSubclass.ncDestroys;
    }
    if (msg == WM_NCDESTROY) {
        ::RemovePropW(hwnd, kSubclassOwnerProp);
        ::RemovePropW(hwnd, kSubclassPreviousProp);
    }
    if (!previous) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    return ::CallWindowProcW(previous, hwnd, msg, wParam, lParam);
}

// The bar's save and close events arrive before the bar goes away.
void MainWindow::CloseBar(UINT flags) {
    if (!m_hwndBar || m_bClosingBar) return;
    m_bClosingBar = true;
    if (m_host.Options().destroyBarClientBeforeSave && m_hwndBarClient) {
        ::DestroyWindow(m_hwndBarClient);
        m_hwndBarClient = nullptr;
    }
    BAR_EVENT_INFO info = {m_nBarId, 0, flags};
    m_host.SendEvent(this, EV_BAR_SAVE, reinterpret_cast<LPARAM>(&info));
    m_host.SendEvent(this, EV_BAR_CLOSED, reinterpret_cast<LPARAM>(&info));
    if (m_bHandBackClient && ::IsWindow(m_hwndBarClient)) {
        ::ShowWindow(m_hwndBarClient, SW_HIDE);
        ::SetParent(m_hwndBarClient, m_hwndMain);
    }
    RemoveBar();
    m_bClosingBar = false;
}

void MainWindow::RemoveBar() {
    HWND bar = m_hwndBar;
    m_hwndBar = nullptr;
    m_hwndBarClient = nullptr;
    m_nBarId = 0;
    if (bar) ::DestroyWindow(bar);
    Layout();
}

void MainWindow::Layout() {
    if (!m_hwndMain) return;
    RECT client = {};
    ::GetClientRect(m_hwndMain, &client);
    RECT view = client;
    if (m_hwndBar) {
        RECT bar = {};
        SplitClientArea(client, m_nBarPos, bar, view);
        MoveTo(m_hwndBar, bar);
        if (m_hwndBarClient) {
            RECT inside = {};
            ::GetClientRect(m_hwndBar, &inside);
            MoveTo(m_hwndBarClient, inside);
        }
    }
    MoveTo(m_hwndView, view);
    MoveTo(m_hwndLog, {0, kDocumentLineHeight, view.right - view.left, view.bottom - view.top});
}

void MainWindow::ShowInLog(const std::wstring& line) {
    if (!m_hwndLog) return;
    const LRESULT index = ::SendMessageW(m_hwndLog, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    ::SendMessageW(m_hwndLog, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
}

bool MainWindow::BeginClose() {
    if (m_bClosing) return false;
    m_bClosing = true;
    // A bar open when its window closes is to reopen at the next start.
    CloseBar(BAR_FLAG_OPEN_STARTUP);
    return true;
}

HWND MainWindow::ReleaseFrame() {
    HWND main = m_hwndMain;
    ::KillTimer(main, kFlushTimer);
    m_hwndMain = m_hwndView = m_hwndLog = nullptr;
    m_hwndBar = m_hwndBarClient = nullptr;
    m_nBarId = 0;
    return main;
}

// Wine's tree view notifies the window it was created in, even once docked
// in the bar; the bar container sees the notifications of its child instead.
LRESULT MainWindow::ReflectNotify(WPARAM wParam, LPARAM lParam, HWND expectedParent) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header || !header->hwndFrom) return 0;
    const bool fromBarClient = header->hwndFrom == m_hwndBarClient;
    const bool fromChild = expectedParent && ::GetParent(header->hwndFrom) == expectedParent;
    if (!fromBarClient && !fromChild) return 0;
    const NMHDR notice = *header;  // the sender may be gone once it has answered
    const LRESULT result = ::SendMessageW(header->hwndFrom, WM_REFLECTED_NOTIFY, wParam, lParam);
    m_host.RunNoticeHook(*this, notice);
    return result;
}

void MainWindow::OnMenu(UINT id) {
    switch (id) {
    case ID_FILE_NEW_WINDOW:
        m_host.NewWindow();
        break;
    case ID_FILE_CLOSE:
        ::PostMessageW(m_hwndMain, WM_CLOSE, 0, 0);
        break;
    case ID_FILE_EXIT:
        m_host.CloseAllWindows();
        break;
    case ID_PLUGIN_COMMAND:
        Command();
        break;
    case ID_PLUGIN_CLOSE_BAR:
        UserCloseBar();
        break;
    case ID_PLUGIN_PROPERTIES:
        if (m_host.Exports().PlugInProc) m_host.Exports().PlugInProc(m_hwndView, PP_SHOW_PROPERTIES, 0, 0);
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
    ::EnableMenuItem(menu, ID_PLUGIN_PROPERTIES, MF_BYCOMMAND | (m_host.Exports().PlugInProc ? MF_ENABLED : MF_GRAYED));
}

LRESULT MainWindow::OnMainMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (IsPluginRequest(msg)) return AnswerRequest(*this, m_host, msg, wParam, lParam);
    switch (msg) {
    case WM_NOTIFY:
        return ReflectNotify(wParam, lParam, nullptr);
    case WM_NOTIFYFORMAT:
        if (m_host.Options().ansiNotices && lParam == NF_QUERY) return NFR_ANSI;
        return ::DefWindowProcW(m_hwndMain, msg, wParam, lParam);
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
    case kSubclassClientMessage:
        SubclassClient(reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_DROPFILES:
        RecordDrop(*this, m_host, reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_CLOSE:
        m_host.CloseWindow(*this);
        return 0;
    default:
        return ::DefWindowProcW(m_hwndMain, msg, wParam, lParam);
    }
}

LRESULT MainWindow::OnBarMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NOTIFY:
        return ReflectNotify(wParam, lParam, m_hwndBar);
    case WM_NOTIFYFORMAT:
        if (m_host.Options().ansiNotices && lParam == NF_QUERY) return NFR_ANSI;
        return ::DefWindowProcW(m_hwndBar, msg, wParam, lParam);
    case WM_PARENTNOTIFY:
        // The plug-in may destroy its window while the bar stays docked.
        if (LOWORD(wParam) == WM_DESTROY && reinterpret_cast<HWND>(lParam) == m_hwndBarClient) {
            m_hwndBarClient = nullptr;
        }
        return 0;
    case WM_NCCALCSIZE: {
        ::DefWindowProcW(m_hwndBar, msg, wParam, lParam);
        RECT* client = reinterpret_cast<RECT*>(lParam);
        client->top = std::min(client->top + kBarTitleHeight, client->bottom);
        return 0;
    }
    case WM_NCPAINT:
        PaintBarTitle(m_hwndBar, m_strBarTitle);
        return 0;
    case WM_NCHITTEST: {
        const LRESULT hit = ::DefWindowProcW(m_hwndBar, msg, wParam, lParam);
        return hit == HTNOWHERE ? HTBORDER : hit;
    }
    case WM_NCLBUTTONDOWN:
        return 0;
    case WM_NCLBUTTONUP: {
        const POINT pt = ToWindowPoint(m_hwndBar, lParam);
        const RECT close = CloseBoxRect(m_hwndBar);
        if (::PtInRect(&close, pt)) ::PostMessageW(m_hwndMain, WM_COMMAND, ID_PLUGIN_CLOSE_BAR, 0);
        return 0;
    }
    default:
        return ::DefWindowProcW(m_hwndBar, msg, wParam, lParam);
    }
}

LRESULT CALLBACK MainWindow::MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MainWindow* self = ObjectOf<MainWindow>(hwnd, msg, lParam);
    if (!self || self->m_hwndMain != hwnd) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->OnMainMessage(msg, wParam, lParam);
}

LRESULT CALLBACK MainWindow::BarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MainWindow* self = ObjectOf<MainWindow>(hwnd, msg, lParam);
    if (!self || self->m_hwndBar != hwnd) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->OnBarMessage(msg, wParam, lParam);
}

LRESULT CALLBACK MainWindow::ViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // The plug-in talks to the window it was given; the main window answers.
    if (IsPluginRequest(msg)) return ::SendMessageW(::GetParent(hwnd), msg, wParam, lParam);
    MainWindow* self = ObjectOf<MainWindow>(hwnd, msg, lParam);
    if (msg != WM_PAINT || !self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    self->PaintView(hwnd);
    return 0;
}

void MainWindow::PaintView(HWND view) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(view, &ps);
    const std::wstring line = L"Current document: " + (m_strDocument.empty() ? std::wstring(L"(none)") : m_strDocument);
    {
        Selection font(dc, ::GetStockObject(DEFAULT_GUI_FONT));
        ::SetBkMode(dc, TRANSPARENT);
        ::TextOutW(dc, 6, 5, line.c_str(), static_cast<int>(line.size()));
    }
    ::EndPaint(view, &ps);
}

}  // namespace hostsim
