// Dragging an item inside the tree, and files dropped from the shell.
#include "bar/frame.h"

#include <shlwapi.h>

// Ends the image drag, gives the mouse back if this tree holds it and
// forgets the drag's items. Safe in any state, also while the bar goes.
void CMyFrame::EndDrag() {
    if (m_drag.Active()) {
        m_drag.End();
        if (IsBarOpen()) {
            TreeView tree = Tree();
            tree.SetInsertMark(nullptr, false);
            tree.SetDropTarget(nullptr);
        }
    }
    m_hDragItem = nullptr;
    m_hDropTarget = nullptr;
    m_bInsertAfter = false;
    m_bDropInto = false;
}

// Called before a subtree leaves the tree: a drag never keeps a handle of it.
// Losing the dragged item ends the drag with no move; losing the target
// leaves no target.
void CMyFrame::ForgetDeletedSubtree(HTREEITEM hRoot) {
    const TreeView tree = Tree();
    if (m_hDragItem && tree.IsInSubtree(m_hDragItem, hRoot)) {
        EndDrag();
    } else if (m_hDropTarget && tree.IsInSubtree(m_hDropTarget, hRoot)) {
        m_hDropTarget = nullptr;
    }
}

void CMyFrame::OnBeginDrag(NMTREEVIEWW* pInfo) {
    if (!IsBarOpen()) return;
    // A drag still flagged (its capture lost on the way) gives way to this one.
    EndDrag();
    TreeView tree = Tree();
    m_hDragItem = pInfo->itemNew.hItem;
    UniqueImageList dragImage(tree.CreateDragImage(m_hDragItem));
    m_drag.Begin(dragImage.get(), m_hwndTree);
}

void CMyFrame::OnDragMove(int x, int y) {
    if (!m_drag.Active() || !IsBarOpen()) return;
    TreeView tree = Tree();
    const int h = tree.ItemHeight();
    ::ImageList_DragMove(x, y);
    m_bInsertAfter = false;
    m_bDropInto = false;
    m_hDropTarget = tree.HitTest(POINT{x, y});
    if (m_hDropTarget) {
        RECT rc = {};
        if (tree.ItemRect(m_hDropTarget, false, rc)) {
            const int top = rc.top;
            if (y > top + h / 2 && !tree.HasChildren(m_hDropTarget)) m_bInsertAfter = true;
            if (y >= top + h / 4 && y < top + 3 * h / 4 && tree.IsFolder(m_hDropTarget)) m_bDropInto = true;
        }
    } else {
        m_hDropTarget = tree.HitTest(POINT{x, y - h});
        if (m_hDropTarget) m_bInsertAfter = true;
    }

    ::ImageList_DragShowNolock(FALSE);
    if (m_hDropTarget && tree.IsInSubtree(m_hDropTarget, m_hDragItem)) {
        // Dropping an item onto itself or into its own subtree is refused:
        // such a place is no target at all.
        m_hDropTarget = nullptr;
        tree.SetInsertMark(nullptr, false);
        tree.SetDropTarget(nullptr);
    } else if (m_hDropTarget && m_bDropInto) {
        tree.SetDropTarget(m_hDropTarget);
        tree.SetInsertMark(nullptr, false);
    } else if (m_hDropTarget) {
        tree.SetInsertMark(m_hDropTarget, m_bInsertAfter);
        tree.SetDropTarget(nullptr);
    } else {
        tree.ScrollLine(y < 0);
    }
    ::ImageList_DragShowNolock(TRUE);
}

void CMyFrame::OnEndDrag() {
    if (!m_drag.Active()) return;
    const HTREEITEM hSource = m_hDragItem;
    const HTREEITEM hTarget = m_hDropTarget;
    const bool bAfter = m_bInsertAfter;
    const bool bInto = m_bDropInto;
    EndDrag();
    if (IsBarOpen() && hSource && hTarget) MoveSubtree(hSource, hTarget, bAfter, bInto);
}

namespace {

// The whole path: a favourite cut to a fixed buffer would name another file.
std::wstring DroppedPath(HDROP hDrop, UINT index) {
    const UINT length = ::DragQueryFileW(hDrop, index, nullptr, 0);
    if (length == 0) return {};
    std::wstring path(length + 1, L'\0');
    const UINT copied = ::DragQueryFileW(hDrop, index, path.data(), length + 1);
    path.resize(copied < length ? copied : length);
    return path;
}

}  // namespace

void CMyFrame::OnDropFiles(HTREEITEM hDropFolder, HDROP hDrop) {
    // Taken from the host's loop, so nobody else would release the drop.
    UniqueDrop drop(hDrop);
    const UINT count = ::DragQueryFileW(hDrop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count && IsBarOpen(); ++i) {
        const std::wstring path = DroppedPath(hDrop, i);
        if (path.empty()) continue;
        NewItemInfo info;
        info.bFolder = ::PathIsDirectoryW(path.c_str()) != FALSE;
        info.strTitle = ::PathFindFileNameW(path.c_str());
        // An empty title would make the item take the host's current document.
        if (info.strTitle.empty()) info.strTitle = path;
        if (!info.bFolder) info.strPath = path;
        InsertNewItem(hDropFolder, info);
    }
}
