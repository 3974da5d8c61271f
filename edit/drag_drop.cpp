// Dragging an item inside the tree, and files dropped from the shell.
#include <shlwapi.h>

#include "edit/drag_state.h"
#include "edit/editing.h"

void DragState::End(TreeView tree) {
    if (m_drag.Active()) {
        m_drag.End();
        if (tree.Window()) {
            tree.SetInsertMark(nullptr, false);
            tree.SetDropTarget(nullptr);
        }
    }
    m_hDragItem = nullptr;
    m_hDropTarget = nullptr;
    m_bInsertAfter = false;
    m_bDropInto = false;
}

void DragState::ForgetDeletedSubtree(const TreeView& tree, HTREEITEM hRoot) {
    if (m_hDragItem && tree.IsInSubtree(m_hDragItem, hRoot)) {
        End(tree);
    } else if (m_hDropTarget && tree.IsInSubtree(m_hDropTarget, hRoot)) {
        m_hDropTarget = nullptr;
    }
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

namespace edit {

void OnBeginDrag(EditSite& site, NMTREEVIEWW* pInfo) {
    if (!site.IsBarOpen()) return;
    DragState& drag = site.Drag();
    TreeView tree = site.Tree();
    // A drag still flagged (its capture lost on the way) gives way to this one.
    drag.End(tree);
    drag.m_hDragItem = pInfo->itemNew.hItem;
    UniqueImageList dragImage(tree.CreateDragImage(drag.m_hDragItem));
    drag.m_drag.Begin(dragImage.get(), tree.Window());
}

// The mouse at (x, y) in the tree: the target, the insert mark or the drop
// highlight, or a scroll at the tree's edge.
void OnDragMove(EditSite& site, int x, int y) {
    DragState& drag = site.Drag();
    if (!drag.m_drag.Active() || !site.IsBarOpen()) return;
    TreeView tree = site.Tree();
    const int h = tree.ItemHeight();
    ::ImageList_DragMove(x, y);
    drag.m_bInsertAfter = false;
    drag.m_bDropInto = false;
    HTREEITEM& hTarget = drag.m_hDropTarget;
    hTarget = tree.HitTest(POINT{x, y});
    if (hTarget) {
        RECT rc = {};
        if (tree.ItemRect(hTarget, false, rc)) {
            const int top = rc.top;
            if (y > top + h / 2 && !tree.HasChildren(hTarget)) drag.m_bInsertAfter = true;
            if (y >= top + h / 4 && y < top + 3 * h / 4 && tree.IsFolderItem(hTarget)) drag.m_bDropInto = true;
        }
    } else {
        hTarget = tree.HitTest(POINT{x, y - h});
        if (hTarget) drag.m_bInsertAfter = true;
    }

    ::ImageList_DragShowNolock(FALSE);
    if (hTarget && tree.IsInSubtree(hTarget, drag.m_hDragItem)) {
        // Dropping an item onto itself or into its own subtree is refused:
        // such a place is no target at all.
        hTarget = nullptr;
        tree.SetInsertMark(nullptr, false);
        tree.SetDropTarget(nullptr);
    } else if (hTarget && drag.m_bDropInto) {
        tree.SetDropTarget(hTarget);
        tree.SetInsertMark(nullptr, false);
    } else if (hTarget) {
        tree.SetInsertMark(hTarget, drag.m_bInsertAfter);
        tree.SetDropTarget(nullptr);
    } else {
        tree.ScrollLine(y < 0);
    }
    ::ImageList_DragShowNolock(TRUE);
}

void OnEndDrag(EditSite& site) {
    DragState& drag = site.Drag();
    if (!drag.m_drag.Active()) return;
    const HTREEITEM hSource = drag.m_hDragItem;
    const HTREEITEM hTarget = drag.m_hDropTarget;
    const bool bAfter = drag.m_bInsertAfter;
    const bool bInto = drag.m_bDropInto;
    drag.End(site.Tree());
    if (site.IsBarOpen() && hSource && hTarget) MoveSubtree(site, hSource, hTarget, bAfter, bInto);
}

void OnDropFiles(EditSite& site, HTREEITEM hDropFolder, HDROP hDrop) {
    // Taken from the host's loop, so nobody else would release the drop.
    UniqueDrop drop(hDrop);
    const UINT count = ::DragQueryFileW(hDrop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count && site.IsBarOpen(); ++i) {
        const std::wstring path = DroppedPath(hDrop, i);
        if (path.empty()) continue;
        NewItemInfo info;
        info.bFolder = ::PathIsDirectoryW(path.c_str()) != FALSE;
        info.strTitle = ::PathFindFileNameW(path.c_str());
        // An empty title would make the item take the host's current document.
        if (info.strTitle.empty()) info.strTitle = path;
        if (!info.bFolder) info.strPath = path;
        InsertNewItem(site, hDropFolder, info);
    }
}

}  // namespace edit
