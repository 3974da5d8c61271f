// Input of the favourites tree: the subclassing procedure of the tree view and
// the pre-translation of the host's queued messages.
#include "bar/frame.h"

namespace {

// The frame of a tree view, looked up in the registry for every message. The
// tree's host window is remembered between messages: finding it costs a
// round trip to the window server on some platforms, and a tree stays in
// its window while it is subclassed.
CMyFrame* FrameOfTree(HWND hwndTree) {
    thread_local HWND s_hwndTree = nullptr;
    thread_local HWND s_hwndMain = nullptr;
    if (hwndTree == s_hwndTree) {
        CMyFrame* frame = GetFrame(s_hwndMain);
        if (frame && frame->TreeWindow() == hwndTree) return frame;
    }
    s_hwndTree = hwndTree;
    s_hwndMain = ::GetAncestor(hwndTree, GA_ROOTOWNER);
    // A tree the bar has let go of, its procedure left under another one,
    // is no frame's business.
    CMyFrame* frame = GetFrame(s_hwndMain);
    return frame && frame->TreeWindow() == hwndTree ? frame : nullptr;
}

// The tree's previous procedure, known by window while it is subclassed (a
// tree beyond the table's slots is found through its frame); null once the
// bar has gone, when a handler may have closed it.
WNDPROC PreviousProcedure(HWND hwndTree) {
    if (WNDPROC pfn = TreeSubclass::PreviousOf(hwndTree)) return pfn;
    const CMyFrame* frame = FrameOfTree(hwndTree);
    return frame && frame->TreeWindow() == hwndTree ? frame->PreviousTreeProcedure() : nullptr;
}

LRESULT PassOn(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    WNDPROC pfnPrevious = PreviousProcedure(hwnd);
    return pfnPrevious ? ::CallWindowProcW(pfnPrevious, hwnd, uMsg, wParam, lParam) : 0;
}

// The messages the bar acts on; every other one goes straight on.
bool IsBarMessage(UINT uMsg) {
    return uMsg == WM_CONTEXTMENU || uMsg == WM_MOUSEMOVE || uMsg == WM_LBUTTONUP || uMsg == WM_REFLECTED_NOTIFY;
}

void OnTreeKeyDown(CMyFrame& frame, WORD wVKey) {
    switch (wVKey) {
    case VK_INSERT:
        edit::InsertNewItem(frame.Edits(), frame.GetSelectedItem(), NewItemInfo{});
        break;
    case VK_DELETE:
        edit::DeleteItem(frame.Edits(), frame.GetSelectedItem());
        break;
    case VK_F2:
        frame.EditLabel(frame.GetSelectedItem());
        break;
    case VK_F5:
        frame.RunMacro(frame.GetSelectedItem());
        break;
    default:
        break;
    }
}

// Returns true when the notification is answered here and must not reach the
// tree view's own procedure.
bool OnReflectedNotify(CMyFrame& frame, NMHDR* pHdr, LRESULT& result) {
    switch (pHdr->code) {
    case TVN_DELETEITEMW:
        // A deleted item drops its record; nothing else runs, so the notice
        // goes on to the tree as any other does.
        frame.OnItemDeleted(reinterpret_cast<NMTREEVIEWW*>(pHdr)->itemOld.hItem);
        break;
    case TVN_ITEMEXPANDEDW:
        frame.OnItemToggled(reinterpret_cast<NMTREEVIEWW*>(pHdr)->itemNew.hItem);
        break;
    case TVN_ENDLABELEDITW:
        edit::OnEndLabelEdit(frame.Edits(), reinterpret_cast<NMTVDISPINFOW*>(pHdr));
        result = TRUE;
        return true;
    case TVN_BEGINDRAGW:
        edit::OnBeginDrag(frame.Edits(), reinterpret_cast<NMTREEVIEWW*>(pHdr));
        break;
    case TVN_KEYDOWN:
        OnTreeKeyDown(frame, reinterpret_cast<NMTVKEYDOWN*>(pHdr)->wVKey);
        break;
    case NM_RCLICK:
        frame.ShowContextMenu(true);
        break;
    case NM_RETURN:
    case NM_DBLCLK:
        frame.OpenItem(frame.GetSelectedItem());
        break;
    default:
        break;
    }
    return false;
}

bool IsTreeOrDescendant(HWND hwndTree, HWND hwnd) {
    return hwnd && (hwnd == hwndTree || ::IsChild(hwndTree, hwnd));
}

// The main window itself, a window inside it, or one it owns (a dialog).
bool IsInMainWindow(HWND hwndMain, HWND hwnd) {
    return hwnd && (hwnd == hwndMain || ::IsChild(hwndMain, hwnd) || ::GetAncestor(hwnd, GA_ROOTOWNER) == hwndMain);
}

bool ContainsInclusive(const RECT& rc, POINT pt) {
    return pt.x >= rc.left && pt.x <= rc.right && pt.y >= rc.top && pt.y <= rc.bottom;
}

}  // namespace

LRESULT CALLBACK CMyFrame::TreeWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (!IsBarMessage(uMsg)) {
        if (uMsg == WM_NOTIFYFORMAT && lParam == NF_REQUERY) {
            // Asked to ask its parent again, the tree would take an ANSI
            // parent's form: it keeps the wide one the bar reads.
            PassOn(hwnd, uMsg, wParam, lParam);
            TreeView(hwnd).UseUnicodeNotices();
            return NFR_UNICODE;
        }
        if (uMsg != WM_NCDESTROY) return PassOn(hwnd, uMsg, wParam, lParam);
        // The window's last message: passed on, then nothing of it is kept.
        WNDPROC pfnPrevious = PreviousProcedure(hwnd);
        TreeSubclass::WindowGone(hwnd);
        return pfnPrevious ? ::CallWindowProcW(pfnPrevious, hwnd, uMsg, wParam, lParam) : 0;
    }
    if (CMyFrame* frame = FrameOfTree(hwnd)) {
        switch (uMsg) {
        case WM_CONTEXTMENU:
            frame->ShowContextMenu(false);
            break;
        case WM_MOUSEMOVE:
            edit::OnDragMove(frame->Edits(), static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
            break;
        case WM_LBUTTONUP:
            edit::OnEndDrag(frame->Edits());
            break;
        case WM_REFLECTED_NOTIFY: {
            auto* pHdr = reinterpret_cast<NMHDR*>(lParam);
            LRESULT result = 0;
            if (pHdr && OnReflectedNotify(*frame, pHdr, result)) return result;
            // Opening an item or a menu command may have had the host close
            // the bar or the window: the tree is gone while its own notice
            // is still being answered. "Handled" keeps the control from its
            // default work (a double-click's toggle) on what it freed.
            if (!::IsWindow(hwnd)) return TRUE;
            break;
        }
        default:
            break;
        }
    }
    return PassOn(hwnd, uMsg, wParam, lParam);
}

BOOL CMyFrame::PreTranslateMessage(MSG* pMsg) {
    if (!pMsg) return FALSE;
    HWND hwndFocus = ::GetFocus();
    if (IsBarOpen() && IsTreeOrDescendant(m_hwndTree, hwndFocus)) {
        if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_RETURN)) {
            ::SendMessageW(hwndFocus, WM_KEYDOWN, pMsg->wParam, pMsg->lParam);
            return TRUE;
        }
        if (pMsg->message == WM_SYSKEYDOWN && hwndFocus == m_hwndTree &&
            (pMsg->wParam == VK_UP || pMsg->wParam == VK_DOWN) && ::GetKeyState(VK_MENU) < 0) {
            edit::MoveItemUpDown(m_edits, GetSelectedItem(), pMsg->wParam == VK_DOWN);
            return TRUE;
        }
        if (::IsDialogMessageW(m_hwndTree, pMsg)) return TRUE;
    }
    // A host with one loop for several windows may offer a drop on another
    // window through this one: only drops addressed to this frame's window
    // (or a window in it or owned by it) are the bar's.
    if (pMsg->message == WM_DROPFILES && IsBarOpen() && IsInMainWindow(MainWindow(), pMsg->hwnd)) {
        RECT rcTree = {};
        ::GetWindowRect(m_hwndTree, &rcTree);
        if (ContainsInclusive(rcTree, pMsg->pt)) {
            edit::OnDropFiles(m_edits, DropFolderAt(pMsg->pt), reinterpret_cast<HDROP>(pMsg->wParam));
            return TRUE;
        }
    }
    return FALSE;
}

HTREEITEM CMyFrame::DropFolderAt(POINT ptScreen) const {
    const TreeView tree = Tree();
    HTREEITEM hItem = tree.HitTestScreen(ptScreen);
    if (!hItem) return nullptr;
    return tree.IsFolderItem(hItem) ? hItem : tree.Parent(hItem);
}

