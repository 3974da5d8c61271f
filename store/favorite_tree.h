// What the store needs of the tree that shows the favourites: walk it, read
// an item, fill it. The bar's tree view implements it; the store never sees
// a window.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

class FavoriteTree {
public:
    // Whether the tree's window still exists: without it every walk is empty.
    virtual bool Exists() const = 0;
    // The first child of an item; of null, the first top-level item.
    virtual HTREEITEM FirstChild(HTREEITEM hParent) const = 0;
    virtual HTREEITEM NextSibling(HTREEITEM hItem) const = 0;
    // One read of an item: its label (at most 259 characters), whether its
    // image is not the document image, and whether it is expanded.
    virtual bool ReadItem(HTREEITEM hItem, std::wstring& strLabel, bool& bFolder, bool& bExpanded) const = 0;
    virtual HTREEITEM InsertItem(HTREEITEM hParent, HTREEITEM hInsertAfter, const std::wstring& strLabel,
                                 bool bFolder) = 0;
    virtual void ExpandItem(HTREEITEM hItem) = 0;
    virtual void DeleteAllItems() = 0;
    virtual void SetRedraw(bool bRedraw) = 0;

protected:
    ~FavoriteTree() = default;
};
