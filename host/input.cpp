#include "host/input.h"

#include <shlobj.h>

#include <algorithm>

namespace hostsim {
namespace {

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

}  // namespace hostsim
