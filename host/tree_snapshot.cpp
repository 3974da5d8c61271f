#include "host/tree_snapshot.h"

namespace hostsim {
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

}  // namespace hostsim
