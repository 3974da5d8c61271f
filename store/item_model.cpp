// The item records of a frame, kept in step with its tree view.
#include "store/item_model.h"

const FavoriteItem* FavoriteItemMap::FindItem(HTREEITEM hItem) const {
    const auto it = m_items.find(hItem);
    return it == m_items.end() ? nullptr : &it->second;
}

void FavoriteItemMap::AddItem(HTREEITEM hItem, std::wstring strTitle, std::wstring strPath, bool bFolder) {
    m_items.emplace(hItem, FavoriteItem{std::move(strTitle), std::move(strPath), bFolder});
}

void FavoriteItemMap::SetItemTitle(HTREEITEM hItem, const std::wstring& strTitle) {
    GetItem(hItem).strTitle = strTitle;
}

void FavoriteItemMap::RemoveItem(const FavoriteTree& tree, HTREEITEM hItem) {
    // Only the handles of the subtree matter here: no labels are read.
    m_items.erase(hItem);
    for (HTREEITEM hChild = tree.FirstChild(hItem); hChild; hChild = tree.NextSibling(hChild)) {
        RemoveItem(tree, hChild);
    }
}

FavoriteItem FavoriteItemMap::TakeItem(HTREEITEM hItem) {
    const auto it = m_items.find(hItem);
    if (it == m_items.end()) return FavoriteItem{};
    FavoriteItem item = std::move(it->second);
    m_items.erase(it);
    return item;
}

void CollectSubtree(const FavoriteTree& tree, HTREEITEM hItem, FlatList& list, unsigned& nDepth) {
    FlatEntry entry;
    bool bFolder = false;
    bool bExpanded = false;  // a moved folder opens as its first child arrives
    if (tree.ReadItem(hItem, entry.strLabel, bFolder, bExpanded)) {
        entry.nDepth = static_cast<BYTE>(nDepth);
        entry.bFolder = bFolder ? 1 : 0;
        entry.hItem = hItem;
        list.push_back(std::move(entry));
    }
    ++nDepth;
    for (HTREEITEM hChild = tree.FirstChild(hItem); hChild; hChild = tree.NextSibling(hChild)) {
        CollectSubtree(tree, hChild, list, nDepth);
    }
    --nDepth;
}
