#include "host/host.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>

#include "host/gdi_scope.h"

namespace hostsim {
namespace {

constexpr wchar_t kMainClass[] = L"HostSimMain";
constexpr wchar_t kViewClass[] = L"HostSimView";
constexpr wchar_t kBarClass[] = L"HostSimBar";
constexpr UINT_PTR kFlushTimer = 1;
constexpr int kBarWidth = 220;
constexpr int kBarHeight = 160;
constexpr int kBarTitleHeight = 20;
constexpr int kDocumentLineHeight = 24;
constexpr size_t kDocPathMaxChars = 259;  // the plug-in's buffer holds 260 with the NUL
constexpr int kDescriptionChars = 600;

constexpr int kPluginMenuIndex = 1;

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

std::wstring Describe(const Request& r) {
    wchar_t line[kDescriptionChars] = {};
    switch (r.msg) {
    case HM_GET_VERSION:
        std::swprintf(line, kDescriptionChars, L"get version -> %ld", static_cast<long>(r.result));
        break;
    case HM_OPEN_FILE:
        std::swprintf(line, kDescriptionChars, L"open file %ls", r.text.c_str());
        break;
    case HM_GET_DOC_PATH:
        std::swprintf(line, kDescriptionChars, L"current document -> %ls", r.text.c_str());
        break;
    case HM_EXEC_COMMAND:
        if (r.wParam == CMD_RUN_FIRST_MACRO) {
            std::swprintf(line, kDescriptionChars, L"run the first macro: %ls", r.text.c_str());
        } else {
            std::swprintf(line, kDescriptionChars, L"command %lu", static_cast<unsigned long>(r.wParam));
        }
        break;
    case HM_OPEN_CUSTOM_BAR:
        std::swprintf(line, kDescriptionChars, L"open custom bar \"%ls\" at side %u -> id %ld", r.text.c_str(),
                      r.record.size() > 4 ? r.record[4] : 0u, static_cast<long>(r.result));
        break;
    case HM_CLOSE_CUSTOM_BAR:
        std::swprintf(line, kDescriptionChars, L"close custom bar %lu", static_cast<unsigned long>(r.wParam));
        break;
    case WM_DROPFILES:
        std::swprintf(line, kDescriptionChars, L"files dropped on the editor: %ls", r.text.c_str());
        break;
    default:
        std::swprintf(line, kDescriptionChars, L"message %u", r.msg);
        break;
    }
    return line;
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

// ---- MainWindow -------------------------------------------------------------

void MainWindow::SetCurrentDocument(const std::wstring& path) {
    m_strDocument = path;
    if (m_hwndView) ::InvalidateRect(m_hwndView, nullptr, TRUE);
}

void MainWindow::Command() {
    if (m_hwndMain && m_host.m_exports.OnCommand) m_host.m_exports.OnCommand(m_hwndView);
}

BOOL MainWindow::QueryStatus(BOOL* pbChecked) {
    if (!m_hwndMain || !m_host.m_exports.QueryStatus) return FALSE;
    return m_host.m_exports.QueryStatus(m_hwndView, pbChecked);
}

void MainWindow::UserCloseBar() {
    CloseBar(0);
}

LRESULT MainWindow::OpenBar(const BAR_OPEN_INFO* info) {
    // Not while the bar's close events run: the close would take the new bar too.
    if (!m_hwndMain || m_bClosingBar || !info || !::IsWindow(info->hwndClient)) return 0;
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
    ::ShowWindow(m_hwndBarClient, SW_SHOWNA);
    m_nBarId = m_host.m_nNextBarId++;
    Layout();
    return static_cast<LRESULT>(m_nBarId);
}

// The bar's save and close events arrive before the bar goes away.
void MainWindow::CloseBar(UINT flags) {
    if (!m_hwndBar || m_bClosingBar) return;
    m_bClosingBar = true;
    if (m_host.m_options.destroyBarClientBeforeSave && m_hwndBarClient) {
        ::DestroyWindow(m_hwndBarClient);
        m_hwndBarClient = nullptr;
    }
    BAR_EVENT_INFO info = {m_nBarId, 0, flags};
    m_host.SendEvent(this, EV_BAR_SAVE, reinterpret_cast<LPARAM>(&info));
    m_host.SendEvent(this, EV_BAR_CLOSED, reinterpret_cast<LPARAM>(&info));
    RemoveBarWindow();
    m_bClosingBar = false;
}

void MainWindow::RemoveBarWindow() {
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

void MainWindow::AddLogLine(const std::wstring& line) {
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
        const auto* info = reinterpret_cast<const OPEN_FILE_INFO*>(wParam);
        if (info) request.record = {info->cbSize, info->nValues[0], info->nValues[1], info->nValues[2],
                                    info->nValues[3], info->nValues[4], info->nValues[5]};
        request.text = lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"";
        SetCurrentDocument(request.text);
        break;
    }
    case HM_GET_DOC_PATH:
        if (auto* buffer = reinterpret_cast<wchar_t*>(lParam)) {
            const size_t capacity = m_host.m_options.trustDocPathCapacity && wParam > 0 ? wParam - 1 : kDocPathMaxChars;
            const size_t n = std::min(m_strDocument.size(), capacity);
            std::copy_n(m_strDocument.begin(), n, buffer);
            buffer[n] = L'\0';
            request.text.assign(buffer, n);
        }
        break;
    case HM_EXEC_COMMAND:
        if (wParam == CMD_RUN_FIRST_MACRO) request.text = ReadMacroSlot();
        break;
    case HM_OPEN_CUSTOM_BAR:
        if (const auto* info = reinterpret_cast<const BAR_OPEN_INFO*>(lParam)) {
            request.record = {info->cbSize, info->nReserved,
                              static_cast<UINT>(reinterpret_cast<UINT_PTR>(info->hwndClient)),
                              static_cast<UINT>(reinterpret_cast<UINT_PTR>(info->pszTitle)),
                              static_cast<UINT>(info->nPos)};
            request.text = info->pszTitle ? info->pszTitle : L"";
            result = OpenBar(info);
        }
        break;
    case HM_CLOSE_CUSTOM_BAR:
        // Recorded before the bar's events run, so the record reads in order.
        m_host.Record(request);
        if (m_hwndBar && wParam == m_nBarId) CloseBar(0);
        return 0;
    default:
        break;
    }
    request.result = result;
    m_host.Record(request);
    if (m_host.m_requestHook) m_host.m_requestHook(*this, request);
    return result;
}

// A drop the plug-in left to the host: the paths and the client point.
void MainWindow::RecordDrop(HDROP drop) {
    Request request;
    request.hwndMain = m_hwndMain;
    request.msg = WM_DROPFILES;
    request.wParam = reinterpret_cast<WPARAM>(drop);
    POINT pt = {};
    ::DragQueryPoint(drop, &pt);
    request.record = {static_cast<UINT>(pt.x), static_cast<UINT>(pt.y)};
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        wchar_t path[MAX_PATH] = {};
        ::DragQueryFileW(drop, i, path, MAX_PATH);
        if (i) request.text += L";";
        request.text += path;
    }
    ::DragFinish(drop);
    m_host.Record(std::move(request));
}

// Wine's tree view notifies the window it was created in, even once docked
// in the bar; the bar container sees the notifications of its child instead.
LRESULT MainWindow::ReflectNotify(WPARAM wParam, LPARAM lParam, HWND expectedParent) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header || !header->hwndFrom) return 0;
    const bool fromBarClient = header->hwndFrom == m_hwndBarClient;
    const bool fromChild = expectedParent && ::GetParent(header->hwndFrom) == expectedParent;
    if (!fromBarClient && !fromChild) return 0;
    return ::SendMessageW(header->hwndFrom, WM_REFLECTED_NOTIFY, wParam, lParam);
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
    ::EnableMenuItem(menu, ID_PLUGIN_PROPERTIES, MF_BYCOMMAND | (m_host.PluginLoaded() ? MF_ENABLED : MF_GRAYED));
}

LRESULT MainWindow::OnMainMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (IsHostMessage(msg)) return OnHostMessage(msg, wParam, lParam);
    switch (msg) {
    case WM_NOTIFY:
        return ReflectNotify(wParam, lParam, nullptr);
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
    case WM_DROPFILES:
        RecordDrop(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_CLOSE:
        m_host.CloseMainWindow(this);
        return 0;
    default:
        return ::DefWindowProcW(m_hwndMain, msg, wParam, lParam);
    }
}

LRESULT MainWindow::OnBarMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NOTIFY:
        return ReflectNotify(wParam, lParam, m_hwndBar);
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
    if (IsHostMessage(msg)) return ::SendMessageW(::GetParent(hwnd), msg, wParam, lParam);
    MainWindow* self = ObjectOf<MainWindow>(hwnd, msg, lParam);
    if (msg != WM_PAINT || !self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    const std::wstring line =
        L"Current document: " + (self->m_strDocument.empty() ? std::wstring(L"(none)") : self->m_strDocument);
    {
        Selection font(dc, ::GetStockObject(DEFAULT_GUI_FONT));
        ::SetBkMode(dc, TRANSPARENT);
        ::TextOutW(dc, 6, 5, line.c_str(), static_cast<int>(line.size()));
    }
    ::EndPaint(hwnd, &ps);
    return 0;
}

// ---- Host -------------------------------------------------------------------

Host::Host(HostOptions options) : m_options(options) {
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

// As when the editor quits: every window closes, then the plug-in unloads.
Host::~Host() {
    while (!m_windows.empty()) CloseMainWindow(m_windows.back().get());
    UnloadPlugin();
}

MainWindow* Host::CreateMainWindow() {
    m_windows.push_back(std::unique_ptr<MainWindow>(new MainWindow(*this)));
    MainWindow* w = m_windows.back().get();
    const int offset = 30 * static_cast<int>((m_windows.size() + m_closed.size() - 1) % 8);
    const std::wstring commandText = m_module ? PluginText(m_exports.GetMenuTextID()) : L"(no plug-in)";
    w->m_hwndMain = ::CreateWindowExW(0, kMainClass, L"Zorvex (stand-in host)",
                                      WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | (m_options.visible ? WS_VISIBLE : 0),
                                      40 + offset, 40 + offset, 760, 520, nullptr, CreateHostMenu(commandText),
                                      HostInstance(), w);
    w->m_hwndView = ::CreateWindowExW(WS_EX_CLIENTEDGE, kViewClass, nullptr,
                                      WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                                      w->m_hwndMain, nullptr, HostInstance(), w);
    w->m_hwndLog = ::CreateWindowExW(0, L"LISTBOX", nullptr,
                                     WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL, 0, 0, 0,
                                     0, w->m_hwndView, nullptr, HostInstance(), nullptr);
    ::SendMessageW(w->m_hwndLog, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
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
    const std::wstring commandText = PluginText(e.GetMenuTextID());
    for (auto& w : m_windows) {
        HMENU plugins = ::GetSubMenu(::GetMenu(w->m_hwndMain), kPluginMenuIndex);
        ::ModifyMenuW(plugins, ID_PLUGIN_COMMAND, MF_BYCOMMAND | MF_STRING, ID_PLUGIN_COMMAND, commandText.c_str());
    }
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
    if (it == m_windows.end() || window->m_bClosing) return;
    window->m_bClosing = true;
    // A bar open when its window closes is to reopen at the next start.
    window->CloseBar(BAR_FLAG_OPEN_STARTUP);
    if (m_module) SendEvent(window, EV_WINDOW_DESTROY, 0);

    HWND main = window->m_hwndMain;
    ::KillTimer(main, kFlushTimer);
    window->m_hwndMain = window->m_hwndView = window->m_hwndLog = nullptr;
    window->m_hwndBar = window->m_hwndBarClient = nullptr;
    window->m_nBarId = 0;
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
    // A bar whose window the plug-in destroyed is the host's to remove; one
    // it left docked stays, with whatever the plug-in left in it.
    for (auto& w : m_windows) {
        if (w->m_hwndBar && !w->m_hwndBarClient) w->RemoveBarWindow();
    }
    ::FreeLibrary(m_module);
    m_module = nullptr;
    m_exports = PluginExports{};
}

void Host::FreeWithoutUnload() {
    if (!m_module) return;
    ::FreeLibrary(m_module);
    m_module = nullptr;
    m_exports = PluginExports{};
    for (auto& w : m_windows) {
        if (w->m_hwndBar && !::IsWindow(w->m_hwndBarClient)) w->RemoveBarWindow();
    }
}

void Host::Flush() {
    for (MainWindow* w : Windows()) SendEvent(w, EV_FLUSH, 0);
}

void Host::SendEvent(MainWindow* window, UINT nEvent, LPARAM lParam) {
    if (!m_exports.OnEvents) return;
    EventSent event;
    event.hwndView = window ? window->m_hwndView : nullptr;
    event.nEvent = nEvent;
    event.lParam = lParam;
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
    std::copy_if(m_requests.begin(), m_requests.end(), std::back_inserter(out),
                 [msg](const Request& r) { return r.msg == msg; });
    return out;
}

std::vector<EventSent> Host::EventsOf(UINT nEvent) const {
    std::vector<EventSent> out;
    std::copy_if(m_events.begin(), m_events.end(), std::back_inserter(out),
                 [nEvent](const EventSent& e) { return (e.nEvent & nEvent) != 0; });
    return out;
}

void Host::Record(Request request) {
    if (MainWindow* w = WindowOf(request.hwndMain)) w->AddLogLine(Describe(request));
    m_requests.push_back(std::move(request));
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
            if (w->m_hwndMain == top || w->m_hwndMain == hwnd) return w.get();
        }
    }
    return nullptr;
}

void Host::DispatchOne(MSG& msg) {
    if (m_exports.PlugInProc) {
        MainWindow* w = WindowOf(msg.hwnd);
        if (!w && !m_windows.empty()) w = m_windows.front().get();
        HWND view = w ? w->m_hwndView : nullptr;
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
