// The item records of a frame, kept in step with its tree view.
#include "store/item_model.h"

const FavoriteItem* FavoriteItemMap::FindItem(HTREEITEM hItem) const {
    const auto it = m_items.find(hItem);
    return it == m_items.end() ? nullptr : &it->second;
}

namespace {
const std::wstring kNoPath;
}  // namespace

void FavoriteItemMap::PathsOf(const FlatList& list, std::vector<const std::wstring*>& paths) const {
    auto next = m_items.end();
    for (const FlatEntry& entry : list) {
        if (next == m_items.end() || next->first != entry.hItem) next = m_items.find(entry.hItem);
        if (next == m_items.end()) {
            paths.push_back(&kNoPath);
            continue;
        }
        paths.push_back(&next->second.strPath);
        ++next;
    }
}

void FavoriteItemMap::AddItem(HTREEITEM hItem, std::wstring strTitle, std::wstring strPath, bool bFolder) {
    // New items mostly get higher handles: hinting at the end spares a bulk
    // load a search per item.
    m_items.emplace_hint(m_items.end(), hItem, FavoriteItem{std::move(strTitle), std::move(strPath), bFolder});
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
    if (tree.ReadItem(hItem, entry.strLabel, bFolder, entry.bExpanded)) {
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

void CollectTree(const FavoriteTree& tree, FlatList& list) {
    unsigned depth = 1;
    for (HTREEITEM hItem = tree.FirstChild(nullptr); hItem; hItem = tree.NextSibling(hItem)) {
        CollectSubtree(tree, hItem, list, depth);
    }
}
