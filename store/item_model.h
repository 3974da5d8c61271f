// The records kept beside the tree view: one FavoriteItem per tree item, and
// the pre-order flattening through which subtrees are moved.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "store/favorite_tree.h"
#include "store/tree_limits.h"

struct FavoriteItem {
    std::wstring strTitle;  // the name given at creation or by the last rename
    std::wstring strPath;   // full path of a favourite file; empty for a folder
    bool bFolder = false;   // what makes a record a folder's
    bool bLoadedOpen = false;  // a folder the load opened: its stored value has it open
};

struct FlatEntry {
    std::wstring strLabel;  // the tree label, as read back (at most 259 characters)
    BYTE nDepth = 0;        // 1 for the first level of the flattening
    BYTE bFolder = 0;
    HTREEITEM hItem = nullptr;
};

using FlatList = std::vector<FlatEntry>;

// Labels, paths and messages are read into buffers of this many characters.
constexpr int kTextBufferChars = static_cast<int>(kTreeLabelUnits) + 1;
// Titles and names loaded from the string table.
constexpr int kNameBufferChars = 80;

// The records of one frame, keyed by tree item handle.
class FavoriteItemMap {
public:
    // The item's record for changing in place; a handle without one gets a
    // default record first. Reading goes through FindItem.
    FavoriteItem& GetItem(HTREEITEM hItem) { return m_items[hItem]; }
    // The item's record, or null; never adds one.
    const FavoriteItem* FindItem(HTREEITEM hItem) const;
    // An existing record stays as it is.
    void AddItem(HTREEITEM hItem, std::wstring strTitle, std::wstring strPath, bool bFolder);
    void SetItemTitle(HTREEITEM hItem, const std::wstring& strTitle);
    // Removes the records of the item and of everything below it, which
    // must still be in the tree.
    void RemoveItem(const FavoriteTree& tree, HTREEITEM hItem);
    // The record of one item, taken out of the map.
    FavoriteItem TakeItem(HTREEITEM hItem);
    void EraseItem(HTREEITEM hItem) { m_items.erase(hItem); }
    void ClearItems() { m_items.clear(); }
    std::size_t size() const { return m_items.size(); }

private:
    // Hashed, not ordered: a save looks up every item, and the control
    // hands out its handles in no order a walk of the tree keeps.
    std::unordered_map<HTREEITEM, FavoriteItem> m_items;
};

// Appends the item and everything below it to the list, in pre-order, with
// depths counted from nDepth.
void CollectSubtree(const FavoriteTree& tree, HTREEITEM hItem, FlatList& list, unsigned& nDepth);
