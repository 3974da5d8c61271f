// Moving an item with everything below it: the subtree is flattened, removed
// and rebuilt at the destination through the parent table.
#include "edit/drag_state.h"
#include "edit/editing.h"
#include "store/favorites_format.h"
#include "store/parent_table.h"

namespace {

int DeepestLevel(const FlatList& list) {
    int deepest = 0;
    for (const FlatEntry& entry : list) deepest = entry.nDepth > deepest ? entry.nDepth : deepest;
    return deepest;
}

}  // namespace

namespace edit {

void MoveSubtree(EditSite& site, HTREEITEM hSource, HTREEITEM hTarget, bool bAfter, bool bInto) {
    if (hSource == hTarget || !hSource || !hTarget || !site.IsBarOpen()) return;
    TreeView tree = site.Tree();
    // A subtree cannot move into itself.
    if (tree.IsInSubtree(hTarget, hSource)) return;

    FlatList list;
    unsigned depth = 1;
    CollectSubtree(tree, hSource, list, depth);
    if (list.empty()) return;
    HTREEITEM hDestParent = bInto ? hTarget : tree.Parent(hTarget);
    // The store reloads levels 1 to 101 in place; a move may not go deeper.
    if (tree.LevelOf(hDestParent) + DeepestLevel(list) > static_cast<int>(favfmt::kMaxDepth)) return;

    // The records are taken over before the items go: deleting them drops
    // their records too.
    FavoriteItemMap& items = site.Records();
    std::vector<FavoriteItem> records;
    records.reserve(list.size());
    for (const FlatEntry& entry : list) records.push_back(items.TakeItem(entry.hItem));
    site.Drag().ForgetDeletedSubtree(tree, hSource);
    tree.DeleteItem(hSource);

    HTREEITEM hInsertAfter = hTarget;
    if (!bInto && !bAfter) {
        HTREEITEM hPrevious = tree.Next(hTarget, TVGN_PREVIOUS);
        hInsertAfter = hPrevious ? hPrevious : TVI_FIRST;
    }

    tree.SetRedraw(false);
    ParentTable<HTREEITEM> parents;
    parents.Reset(hDestParent);
    HTREEITEM hFirst = nullptr;
    for (size_t i = 0; i < list.size(); ++i) {
        const FlatEntry& entry = list[i];
        FavoriteItem& record = records[i];
        HTREEITEM hParent = parents.ParentFor(entry.nDepth);
        HTREEITEM hNew = tree.InsertItem(hParent, hInsertAfter, entry.strLabel, entry.bFolder != 0);
        if (!hNew) continue;
        items.AddItem(hNew, std::move(record.strTitle), std::move(record.strPath), record.bFolder);
        // Every parent that receives an item opens; once, at its first child.
        if (hParent && (!hFirst || hParent == hInsertAfter)) tree.ExpandItem(hParent);
        parents.Inserted(entry.nDepth, hNew);
        hInsertAfter = hNew;
        if (!hFirst) hFirst = hNew;
    }
    tree.SetRedraw(true);
    ::InvalidateRect(tree.Window(), nullptr, TRUE);
    if (hFirst) tree.Select(hFirst);
    site.MarkModified();
}

}  // namespace edit
