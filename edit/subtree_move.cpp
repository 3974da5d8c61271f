// Moving an item with everything below it: the subtree is flattened, removed
// and rebuilt at the destination through the parent table.
#include "bar/frame.h"

#include "store/favorites_format.h"
#include "store/parent_table.h"

namespace {

// The deepest level the store can save and load again.
constexpr int kMaxStoredLevel = static_cast<int>(favfmt::kMaxDepth);

unsigned DeepestLevel(const FlatList& list) {
    unsigned deepest = 0;
    for (const FlatEntry& entry : list) deepest = entry.nDepth > deepest ? entry.nDepth : deepest;
    return deepest;
}

}  // namespace

bool CMyFrame::IsInSubtree(HTREEITEM hItem, HTREEITEM hRoot) const {
    for (; hItem; hItem = TreeNext(m_hwndTree, hItem, TVGN_PARENT)) {
        if (hItem == hRoot) return true;
    }
    return false;
}

void CMyFrame::MoveSubtree(HTREEITEM hSource, HTREEITEM hTarget, bool bAfter, bool bInto) {
    if (hSource == hTarget || !hSource || !hTarget || !IsBarOpen()) return;
    // A subtree cannot move into itself.
    if (IsInSubtree(hTarget, hSource)) return;

    FlatList list;
    unsigned depth = 1;
    CollectSubtree(hSource, list, depth);
    if (list.empty()) return;
    HTREEITEM hDestParent = bInto ? hTarget : TreeNext(m_hwndTree, hTarget, TVGN_PARENT);
    if (LevelOf(hDestParent) + static_cast<int>(DeepestLevel(list)) > kMaxStoredLevel) return;

    // The records are taken over before the items go: deleting them drops
    // their records too.
    FavoriteItemMap moved;
    for (const FlatEntry& entry : list) {
        moved[entry.hItem] = GetItem(entry.hItem);
        m_mapItems.erase(entry.hItem);
    }
    ForgetDeletedSubtree(hSource);
    ::SendMessageW(m_hwndTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(hSource));

    HTREEITEM hInsertAfter = hTarget;
    if (!bInto && !bAfter) {
        HTREEITEM hPrevious = TreeNext(m_hwndTree, hTarget, TVGN_PREVIOUS);
        hInsertAfter = hPrevious ? hPrevious : TVI_FIRST;
    }

    ::SendMessageW(m_hwndTree, WM_SETREDRAW, FALSE, 0);
    ParentTable<HTREEITEM> parents;
    parents.Reset(hDestParent);
    HTREEITEM hFirst = nullptr;
    for (const FlatEntry& entry : list) {
        FavoriteItem& record = moved[entry.hItem];
        HTREEITEM hParent = parents.ParentFor(entry.nDepth);
        HTREEITEM hNew = InsertTreeItem(hParent, hInsertAfter, entry.strLabel, entry.bFolder != 0);
        if (!hNew) continue;
        AddItem(hNew, std::move(record.strTitle), std::move(record.strPath), record.bFolder);
        // Every parent that receives an item opens; once, at its first child.
        if (hParent && (!hFirst || hParent == hInsertAfter)) {
            ::SendMessageW(m_hwndTree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(hParent));
        }
        parents.Inserted(entry.nDepth, hNew);
        hInsertAfter = hNew;
        if (!hFirst) hFirst = hNew;
    }
    ::SendMessageW(m_hwndTree, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_hwndTree, nullptr, TRUE);
    if (hFirst) ::SendMessageW(m_hwndTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hFirst));
    m_bModified = true;
}
