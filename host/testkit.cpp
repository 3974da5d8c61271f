#include "host/testkit.h"

#include <commctrl.h>
#include <shlobj.h>
#include <winternl.h>

#include <algorithm>
#include <cwctype>

namespace hostsim {
namespace {

ModalResponder* g_responder = nullptr;
constexpr UINT kPollMs = 20;
constexpr int kMessageBoxTextId = 0xFFFF;

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    return name;
}

std::wstring TextOf(HWND hwnd) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(hwnd, text, 1024);
    return text;
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam) {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> ThreadWindows() {
    std::vector<HWND> windows;
    ::EnumThreadWindows(::GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    ::EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

wchar_t MnemonicOf(const std::wstring& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == L'&' && text[i + 1] != L'&') return static_cast<wchar_t>(std::towlower(text[i + 1]));
    }
    return 0;
}

// A message box holds its text in static 0xFFFF and has nothing but statics
// and buttons; a dialog may use that id for a label too.
bool IsMessageBox(HWND hwnd) {
    if (!::GetDlgItem(hwnd, kMessageBoxTextId)) return false;
    for (HWND child : Children(hwnd)) {
        const std::wstring cls = ClassOf(child);
        if (cls != L"Static" && cls != L"Button") return false;
    }
    return true;
}

// Message boxes show the system's shared icons: compare the handles.
UINT IconStyleOf(HWND box) {
    for (HWND child : Children(box)) {
        if (ClassOf(child) != L"Static" || (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        const HICON icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        const struct {
            LPCWSTR resource;
            UINT style;
        } kinds[] = {{IDI_HAND, MB_ICONERROR},
                     {IDI_QUESTION, MB_ICONQUESTION},
                     {IDI_EXCLAMATION, MB_ICONWARNING},
                     {IDI_ASTERISK, MB_ICONINFORMATION}};
        for (const auto& kind : kinds) {
            if (icon && icon == ::LoadIconW(nullptr, kind.resource)) return kind.style;
        }
    }
    return 0;
}

LPARAM PointParam(POINT pt) {
    return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(pt.x)), static_cast<WORD>(static_cast<SHORT>(pt.y)));
}

void SetCursorTo(HWND hwnd, POINT client) {
    POINT screen = client;
    ::ClientToScreen(hwnd, &screen);
    ::SetCursorPos(screen.x, screen.y);
}

// Keys of the navigation block, which a keyboard reports as extended keys.
bool IsExtendedKey(UINT vk) {
    switch (vk) {
    case VK_UP: case VK_DOWN: case VK_LEFT: case VK_RIGHT: case VK_HOME: case VK_END:
    case VK_PRIOR: case VK_NEXT: case VK_INSERT: case VK_DELETE:
        return true;
    default:
        return false;
    }
}

// Holds modifier keys down for GetKeyState while a key is handled.
class HeldModifiers {
public:
    HeldModifiers(bool alt, bool ctrl, bool shift) {
        ::GetKeyboardState(m_saved);
        BYTE state[256];
        ::GetKeyboardState(state);
        if (alt) state[VK_MENU] = state[VK_LMENU] = 0x80;
        if (ctrl) state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
        if (shift) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
        ::SetKeyboardState(state);
    }
    ~HeldModifiers() { ::SetKeyboardState(m_saved); }

private:
    BYTE m_saved[256];
};

}  // namespace

bool ModalResponder::Menu::IsGrayed(UINT id) const {
    const MenuItem* item = Find(id);
    return item && item->grayed;
}

const ModalResponder::MenuItem* ModalResponder::Menu::Find(UINT id) const {
    for (const MenuItem& item : items) {
        if (item.id == id && !item.separator) return &item;
    }
    return nullptr;
}

ModalResponder::ModalResponder() {
    g_responder = this;
    m_timer = ::SetTimer(nullptr, 0, kPollMs, &ModalResponder::OnTimer);
}

ModalResponder::~ModalResponder() {
    ::KillTimer(nullptr, m_timer);
    if (g_responder == this) g_responder = nullptr;
}

void CALLBACK ModalResponder::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_responder && !g_responder->m_bInPoll) g_responder->Poll();
}

void ModalResponder::Poll() {
    m_bInPoll = true;
    std::set<HWND> alive;
    for (HWND hwnd : ThreadWindows()) {
        if (!::IsWindowVisible(hwnd)) continue;
        const std::wstring cls = ClassOf(hwnd);
        if (cls != L"#32770" && cls != L"#32768") continue;
        alive.insert(hwnd);
        if (m_handled.count(hwnd)) continue;
        m_handled.insert(hwnd);
        if (m_onModal) {
            auto action = std::move(m_onModal);
            m_onModal = nullptr;
            action();
            if (!::IsWindow(hwnd)) continue;
        }
        if (cls == L"#32768") {
            AnswerMenu(hwnd);
        } else if (IsMessageBox(hwnd)) {
            AnswerMessageBox(hwnd);
        } else {
            AnswerDialog(hwnd);
        }
    }
    // Window handles are reused: forget the ones that are gone.
    for (auto it = m_handled.begin(); it != m_handled.end();) {
        it = alive.count(*it) ? std::next(it) : m_handled.erase(it);
    }
    m_bInPoll = false;
}

void ModalResponder::AnswerMessageBox(HWND box) {
    Box seen;
    seen.text = TextOf(::GetDlgItem(box, kMessageBoxTextId));
    seen.caption = TextOf(box);
    seen.owner = ::GetWindow(box, GW_OWNER);
    seen.icon = IconStyleOf(box);
    for (HWND child : Children(box)) {
        if (ClassOf(child) != L"Button") continue;
        const int id = ::GetDlgCtrlID(child);
        seen.buttons.push_back(id);
        if ((::GetWindowLongW(child, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) seen.defaultButton = id;
    }
    m_boxes.push_back(seen);
    int answer = seen.defaultButton ? seen.defaultButton : (seen.buttons.empty() ? IDOK : seen.buttons.front());
    if (!m_boxAnswers.empty()) {
        answer = m_boxAnswers.front();
        m_boxAnswers.pop_front();
    }
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, answer)));
}

void ModalResponder::AnswerDialog(HWND dialog) {
    m_dialogs.push_back({dialog, TextOf(dialog), ::GetWindow(dialog, GW_OWNER)});
    if (m_dialogHandlers.empty()) {
        ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    auto handler = std::move(m_dialogHandlers.front());
    m_dialogHandlers.pop_front();
    handler(dialog);
}

void ModalResponder::AnswerMenu(HWND menuWindow) {
    HMENU menu = reinterpret_cast<HMENU>(::SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    Menu seen;
    ::GetWindowRect(menuWindow, &seen.rect);
    const int count = menu ? ::GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 256;
        ::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        MenuItem item;
        item.id = info.wID;
        item.text = text;
        item.separator = (info.fType & MFT_SEPARATOR) != 0;
        item.grayed = (info.fState & MFS_GRAYED) != 0;
        item.checked = (info.fState & MFS_CHECKED) != 0;
        seen.items.push_back(item);
    }
    m_menus.push_back(seen);
    UINT choice = 0;
    if (!m_menuAnswers.empty()) {
        choice = m_menuAnswers.front();
        m_menuAnswers.pop_front();
    }
    if (!choice || !ChooseItem(menuWindow, seen, choice)) ::EndMenu();
}

// The menu's own loop reads keys from the queue, whatever window they are
// for. A mnemonic that two items share would only select the first.
bool ModalResponder::ChooseItem(HWND menuWindow, const Menu& menu, UINT id) {
    const MenuItem* target = menu.Find(id);
    if (!target) return false;
    const wchar_t mnemonic = MnemonicOf(target->text);
    const auto sharing = std::count_if(menu.items.begin(), menu.items.end(),
                                       [mnemonic](const MenuItem& item) { return MnemonicOf(item.text) == mnemonic; });
    if (mnemonic && sharing == 1) {
        ::PostMessageW(menuWindow, WM_CHAR, mnemonic, 0);
        return true;
    }
    ::PostMessageW(menuWindow, WM_KEYDOWN, VK_HOME, 0);
    for (const MenuItem& item : menu.items) {
        if (&item == target) break;
        if (!item.separator) ::PostMessageW(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
    }
    ::PostMessageW(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
    return true;
}

void Focus(HWND hwnd) {
    ::SetForegroundWindow(::GetAncestor(hwnd, GA_ROOT));
    ::SetFocus(hwnd);
}

void PressKey(Host& host, HWND target, UINT vk, bool alt, bool ctrl, bool shift) {
    HWND hwnd = target ? target : ::GetFocus();
    HeldModifiers held(alt, ctrl, shift);
    const UINT scan = ::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16) | (IsExtendedKey(vk) ? (1 << 24) : 0) |
                        (alt ? (1 << 29) : 0);
    const LPARAM up = static_cast<LPARAM>(static_cast<DWORD>(down) | 0xC0000000u);  // was down, going up
    ::PostMessageW(hwnd, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, down);
    ::PostMessageW(hwnd, alt ? WM_SYSKEYUP : WM_KEYUP, vk, up);
    host.Pump();
}

void TypeText(Host& host, HWND target, const std::wstring& text) {
    HWND hwnd = target ? target : ::GetFocus();
    for (wchar_t c : text) ::PostMessageW(hwnd, WM_CHAR, c, 1);
    host.Pump();
}

void Click(Host& host, HWND hwnd, POINT client) {
    SetCursorTo(hwnd, client);
    ::PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, PointParam(client));
    ::PostMessageW(hwnd, WM_LBUTTONUP, 0, PointParam(client));
    host.Pump();
}

void DoubleClick(Host& host, HWND hwnd, POINT client) {
    SetCursorTo(hwnd, client);
    ::PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, PointParam(client));
    ::PostMessageW(hwnd, WM_LBUTTONUP, 0, PointParam(client));
    ::PostMessageW(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, PointParam(client));
    ::PostMessageW(hwnd, WM_LBUTTONUP, 0, PointParam(client));
    host.Pump();
}

void RightClick(Host& host, HWND hwnd, POINT client) {
    SetCursorTo(hwnd, client);
    ::PostMessageW(hwnd, WM_RBUTTONDOWN, MK_RBUTTON, PointParam(client));
    ::PostMessageW(hwnd, WM_RBUTTONUP, 0, PointParam(client));
    host.Pump();
}

void StartDrag(Host& host, HWND hwnd, POINT from) {
    // The tree starts a drag when the pointer leaves the drag rectangle while
    // it tracks the button: the move must be queued before the press.
    SetCursorTo(hwnd, from);
    POINT away = {from.x + 2 * ::GetSystemMetrics(SM_CXDRAG) + 2, from.y + 2 * ::GetSystemMetrics(SM_CYDRAG) + 2};
    ::PostMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, PointParam(away));
    ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, PointParam(from));
    host.Pump();
}

void DragMove(Host& host, HWND hwnd, POINT to) {
    SetCursorTo(hwnd, to);
    ::PostMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, PointParam(to));
    host.Pump();
}

void DragRelease(Host& host, HWND hwnd, POINT at) {
    ::PostMessageW(hwnd, WM_LBUTTONUP, 0, PointParam(at));
    host.Pump();
}

void Drag(Host& host, HWND hwnd, POINT from, POINT to, int steps) {
    StartDrag(host, hwnd, from);
    for (int i = 1; i <= steps; ++i) {
        DragMove(host, hwnd, {from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
    }
    DragRelease(host, hwnd, to);
}

void DropFiles(Host& host, HWND target, POINT screen, const std::vector<std::wstring>& paths) {
    size_t chars = 1;
    for (const std::wstring& p : paths) chars += p.size() + 1;
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    POINT client = screen;
    ::ScreenToClient(target, &client);
    drop->pt = client;
    wchar_t* out = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES));
    for (const std::wstring& p : paths) {
        std::copy(p.begin(), p.end(), out);
        out += p.size() + 1;
    }
    ::GlobalUnlock(memory);
    // The message's point is the cursor position when it is posted.
    ::SetCursorPos(screen.x, screen.y);
    ::PostMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    host.Pump();
}

RECT ItemRect(HWND tree, HTREEITEM item, bool textOnly) {
    RECT rc = {};
    TreeView_GetItemRect(tree, item, &rc, textOnly ? TRUE : FALSE);
    return rc;
}

RECT ItemRow(HWND tree, HTREEITEM item) {
    return ItemRect(tree, item, false);
}

POINT ItemCentre(HWND tree, HTREEITEM item) {
    RECT rc = {};
    TreeView_GetItemRect(tree, item, &rc, TRUE);
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

POINT ItemPoint(HWND tree, HTREEITEM item, int yWithinRow) {
    RECT text = {};
    TreeView_GetItemRect(tree, item, &text, TRUE);
    return {(text.left + text.right) / 2, ItemRow(tree, item).top + yWithinRow};
}

namespace {

void CollectItems(HWND tree, HTREEITEM first, int depth, std::vector<TreeItem>& items) {
    for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tree, item)) {
        wchar_t text[1024] = {};
        TVITEMW tv = {};
        tv.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_STATE;
        tv.hItem = item;
        tv.pszText = text;
        tv.cchTextMax = 1024;
        tv.stateMask = TVIS_EXPANDED;
        ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
        items.push_back(TreeItem{text, tv.iImage, depth, (tv.state & TVIS_EXPANDED) != 0, item});
        CollectItems(tree, TreeView_GetChild(tree, item), depth + 1, items);
    }
}

}  // namespace

std::vector<TreeItem> TreeSnapshot(HWND tree) {
    std::vector<TreeItem> items;
    if (tree) CollectItems(tree, TreeView_GetRoot(tree), 1, items);
    return items;
}

HTREEITEM FindItem(HWND tree, const std::wstring& label) {
    for (const TreeItem& item : TreeSnapshot(tree)) {
        if (item.label == label) return item.handle;
    }
    return nullptr;
}

HTREEITEM Selected(HWND tree) {
    return TreeView_GetSelection(tree);
}

namespace {

// Wine answers GetGuiResources with 0. Its GDI handle table, which the PEB
// points to as on Windows, has one 24-byte entry per handle with the object
// type in byte 14 (0 when free); it holds this process's objects only.
DWORD CountWineGdiHandles() {
    if (!::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) return 0;
    constexpr size_t kTableOffsetInPeb = sizeof(void*) == 4 ? 0x94 : 0xF8;
    constexpr size_t kEntrySize = 24;
    constexpr size_t kTypeOffset = 14;
    constexpr size_t kMaxHandles = 0x10000;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"  // GCC misreads the TEB access
#endif
    const BYTE* peb = reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + kTableOffsetInPeb);
    if (!table) return 0;
    DWORD count = 0;
    for (size_t i = 0; i < kMaxHandles; ++i) {
        if (table[i * kEntrySize + kTypeOffset]) ++count;
    }
    return count;
}

BOOL CALLBACK CountWindowAndChildren(HWND hwnd, LPARAM lParam) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    // The input method's window comes and goes with the first and last top-level window.
    if (process != ::GetCurrentProcessId() || ClassOf(hwnd) == L"IME") return TRUE;
    auto* count = reinterpret_cast<DWORD*>(lParam);
    *count += 1 + static_cast<DWORD>(Children(hwnd).size());
    return TRUE;
}

// Under Wine: this process's windows (top-level, message-only and children,
// but not the input method's) and menus. Menus are found by their handle index, which Wine accepts
// without the upper word.
DWORD CountWineUserObjects() {
    if (!::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) return 0;
    DWORD count = 0;
    ::EnumWindows(CountWindowAndChildren, reinterpret_cast<LPARAM>(&count));
    for (HWND hwnd = ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); hwnd;
         hwnd = ::FindWindowExW(HWND_MESSAGE, hwnd, nullptr, nullptr)) {
        CountWindowAndChildren(hwnd, reinterpret_cast<LPARAM>(&count));
    }
    constexpr UINT_PTR kFirstUserHandle = 0x20;
    constexpr UINT_PTR kUserHandleSlots = 0x8000;
    for (UINT_PTR i = 0; i < kUserHandleSlots; ++i) {
        if (::IsMenu(reinterpret_cast<HMENU>(kFirstUserHandle + 2 * i))) ++count;
    }
    return count;
}

}  // namespace

DWORD GdiObjects() {
    const DWORD reported = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    return reported ? reported : CountWineGdiHandles();
}

DWORD UserObjects() {
    const DWORD reported = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    return reported ? reported : CountWineUserObjects();
}

}  // namespace hostsim
