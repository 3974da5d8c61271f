// The records kept beside the tree view: one FavoriteItem per tree item, and
// the pre-order flattening through which subtrees are saved and moved.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

struct FavoriteItem {
    std::wstring strTitle;  // the name given at creation or by the last rename
    std::wstring strPath;   // full path of a favourite file; empty for a folder
    bool bFolder = false;
};

struct FlatEntry {
    std::wstring strLabel;  // the tree label, as read back (at most 259 characters)
    BYTE nDepth = 0;        // 1 for the first level of the flattening
    BYTE bFolder = 0;
    HTREEITEM hItem = nullptr;
    // Read in the same call as the label, so saving needs no second pass
    // over the control.
    bool bExpanded = false;
};

using FlatList = std::vector<FlatEntry>;

// Tree item handles ordered as unsigned numbers.
struct TreeItemLess {
    bool operator()(HTREEITEM a, HTREEITEM b) const {
        return reinterpret_cast<UINT_PTR>(a) < reinterpret_cast<UINT_PTR>(b);
    }
};
using FavoriteItemMap = std::map<HTREEITEM, FavoriteItem, TreeItemLess>;

// Labels, paths and messages are read into buffers of this many characters.
constexpr int kTextBufferChars = 260;
// Titles and names loaded from the string table.
constexpr int kNameBufferChars = 80;

// Images of the tree's image list.
constexpr int kImageFolder = 0;
constexpr int kImageOpenFolder = 1;
constexpr int kImageDocument = 2;
inline int ImageFor(bool bFolder) { return bFolder ? kImageFolder : kImageDocument; }
