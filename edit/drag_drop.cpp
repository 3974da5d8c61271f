// Dragging an item inside the tree, and files dropped from the shell.
#include "bar/frame.h"

#include <shlwapi.h>

#include "plugin/handles.h"

// Ends the image drag, gives the mouse back if this tree holds it and
// forgets the drag's items. Safe in any state, also while the bar goes.
void CMyFrame::EndDrag() {
    if (m_bDragging) {
        ::ImageList_EndDrag();
        if (m_hwndTree && ::GetCapture() == m_hwndTree) ::ReleaseCapture();
        if (IsBarOpen()) {
            ::SendMessageW(m_hwndTree, TVM_SETINSERTMARK, FALSE, 0);
            ::SendMessageW(m_hwndTree, TVM_SELECTITEM, TVGN_DROPHILITE, 0);
        }
    }
    m_bDragging = false;
    m_hDragItem = nullptr;
    m_hDropTarget = nullptr;
    m_bInsertAfter = false;
    m_bDropInto = false;
}

// Called before a subtree leaves the tree: a drag never keeps a handle of it.
// Losing the dragged item ends the drag with no move; losing the target
// leaves no target.
void CMyFrame::ForgetDeletedSubtree(HTREEITEM hRoot) {
    if (m_hDragItem && IsInSubtree(m_hDragItem, hRoot)) {
        EndDrag();
    } else if (m_hDropTarget && IsInSubtree(m_hDropTarget, hRoot)) {
        m_hDropTarget = nullptr;
    }
}

void CMyFrame::OnItemDeleted(HTREEITEM hItem) {
    m_mapItems.erase(hItem);
    m_bDeleteNotified = true;
    if (hItem == m_hDragItem) {
        EndDrag();
    } else if (hItem == m_hDropTarget) {
        m_hDropTarget = nullptr;
    }
}

void CMyFrame::OnBeginDrag(NMTREEVIEWW* pInfo) {
    if (!IsBarOpen()) return;
    // A drag still flagged (its capture lost on the way) gives way to this one.
    EndDrag();
    m_hDragItem = pInfo->itemNew.hItem;
    HIMAGELIST himlDrag = reinterpret_cast<HIMAGELIST>(
        ::SendMessageW(m_hwndTree, TVM_CREATEDRAGIMAGE, 0, reinterpret_cast<LPARAM>(m_hDragItem)));
    if (himlDrag) {
        ::ImageList_BeginDrag(himlDrag, 0, 0, 0);
        // The drag keeps its own copy of the image.
        ::ImageList_Destroy(himlDrag);
    }
    ::ImageList_DragEnter(m_hwndTree, 0, 0);
    ::SetCapture(m_hwndTree);
    m_bDragging = true;
}

void CMyFrame::OnDragMove(int x, int y) {
    if (!m_bDragging || !IsBarOpen()) return;
    const int h = static_cast<int>(::SendMessageW(m_hwndTree, TVM_GETITEMHEIGHT, 0, 0));
    ::ImageList_DragMove(x, y);
    m_bInsertAfter = false;
    m_bDropInto = false;
    m_hDropTarget = TreeHitTest(m_hwndTree, POINT{x, y});
    if (m_hDropTarget) {
        RECT rc = {};
        if (TreeItemRect(m_hwndTree, m_hDropTarget, false, rc)) {
            const int top = rc.top;
            wchar_t text[kTextBufferChars];
            if (y > top + h / 2 && !TreeHasChildren(m_hwndTree, m_hDropTarget)) m_bInsertAfter = true;
            if (y >= top + h / 4 && y < top + 3 * h / 4 && IsFolderItem(m_hDropTarget, text)) m_bDropInto = true;
        }
    } else {
        m_hDropTarget = TreeHitTest(m_hwndTree, POINT{x, y - h});
        if (m_hDropTarget) m_bInsertAfter = true;
    }
    // Dropping an item onto itself or into its own subtree is refused: such a
    // place is no target at all.
    if (m_hDropTarget && IsInSubtree(m_hDropTarget, m_hDragItem)) {
        m_hDropTarget = nullptr;
        ::ImageList_DragShowNolock(FALSE);
        ::SendMessageW(m_hwndTree, TVM_SETINSERTMARK, FALSE, 0);
        ::SendMessageW(m_hwndTree, TVM_SELECTITEM, TVGN_DROPHILITE, 0);
        ::ImageList_DragShowNolock(TRUE);
        return;
    }

    ::ImageList_DragShowNolock(FALSE);
    if (m_hDropTarget && m_bDropInto) {
        ::SendMessageW(m_hwndTree, TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(m_hDropTarget));
        ::SendMessageW(m_hwndTree, TVM_SETINSERTMARK, FALSE, 0);
    } else if (m_hDropTarget) {
        ::SendMessageW(m_hwndTree, TVM_SETINSERTMARK, m_bInsertAfter, reinterpret_cast<LPARAM>(m_hDropTarget));
        ::SendMessageW(m_hwndTree, TVM_SELECTITEM, TVGN_DROPHILITE, 0);
    } else {
        ::SendMessageW(m_hwndTree, WM_VSCROLL, y < 0 ? SB_LINEUP : SB_LINEDOWN, 0);
    }
    ::ImageList_DragShowNolock(TRUE);
}

void CMyFrame::OnEndDrag() {
    if (!m_bDragging) return;
    const HTREEITEM hSource = m_hDragItem;
    const HTREEITEM hTarget = m_hDropTarget;
    const bool bAfter = m_bInsertAfter;
    const bool bInto = m_bDropInto;
    EndDrag();
    if (IsBarOpen() && hSource && hTarget) MoveSubtree(hSource, hTarget, bAfter, bInto);
}

void CMyFrame::OnDropFiles(HTREEITEM hDropFolder, HDROP hDrop) {
    // Taken from the host's loop, so nobody else would release the drop.
    UniqueDrop drop(hDrop);
    const UINT count = ::DragQueryFileW(hDrop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count && IsBarOpen(); ++i) {
        wchar_t path[kTextBufferChars] = {};
        if (!::DragQueryFileW(hDrop, i, path, kTextBufferChars)) continue;
        NewItemInfo info;
        info.bFolder = ::PathIsDirectoryW(path) != FALSE;
        info.strTitle = ::PathFindFileNameW(path);
        // An empty title would make the item take the host's current document.
        if (info.strTitle.empty()) info.strTitle = path;
        if (!info.bFolder) info.strPath = path;
        InsertNewItem(hDropFolder, info);
    }
}
