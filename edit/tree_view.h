// The bar's tree view: every message the plug-in sends to the control goes
// through here. A light value over the window handle, so any operation can
// make one on the spot. Below the bar, so that the edits and the bar both
// work on it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "store/favorite_tree.h"

// Images of the tree's image list (res/, in this order). The image is what
// makes an item a folder in the tree: every image but the document's.
constexpr int kImageFolder = 0;
constexpr int kImageDocument = 2;
inline int ImageFor(bool bFolder) { return bFolder ? kImageFolder : kImageDocument; }
inline bool IsFolderImage(int image) { return image != kImageDocument; }

class TreeView final : public FavoriteTree {
public:
    explicit TreeView(HWND hwnd = nullptr) : m_hwnd(hwnd) {}
    HWND Window() const { return m_hwnd; }

    // What the store needs.
    bool Exists() const override;
    HTREEITEM FirstChild(HTREEITEM hParent) const override;
    HTREEITEM NextSibling(HTREEITEM hItem) const override;
    bool ReadItem(HTREEITEM hItem, std::wstring& strLabel, bool& bFolder, bool& bExpanded) const override;
    // A label with the folder's or the document's image. An insert-after
    // item that is not a child of the parent appends the item.
    HTREEITEM InsertItem(HTREEITEM hParent, HTREEITEM hInsertAfter, const std::wstring& strLabel,
                         bool bFolder) override;
    void ExpandItem(HTREEITEM hItem) override;
    void DeleteAllItems() override;
    void SetRedraw(bool bRedraw) override;

    // Navigation (TVM_GETNEXTITEM); null when there is no such item.
    HTREEITEM Next(HTREEITEM hItem, UINT nCode) const;
    HTREEITEM Parent(HTREEITEM hItem) const { return Next(hItem, TVGN_PARENT); }
    HTREEITEM Selected() const { return Next(nullptr, TVGN_CARET); }
    HTREEITEM FirstVisible() const { return Next(nullptr, TVGN_FIRSTVISIBLE); }
    bool HasChildren(HTREEITEM hItem) const { return FirstChild(hItem) != nullptr; }
    // Level of an item: 1 at the top, 0 for none (the invisible root).
    int LevelOf(HTREEITEM hItem) const;
    bool IsExpanded(HTREEITEM hItem) const {
        return (Send(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(hItem), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    }
    // Whether hItem is hRoot or lies below it.
    bool IsInSubtree(HTREEITEM hItem, HTREEITEM hRoot) const;

    // Reading items.
    std::wstring ItemLabel(HTREEITEM hItem) const;  // at most 259 characters
    // The one folder test for code that holds only a tree item: every item
    // whose image is not the document image counts as a folder; an item that
    // cannot be read does not.
    bool IsFolderItem(HTREEITEM hItem) const;
    bool ItemRect(HTREEITEM hItem, bool bTextOnly, RECT& rc) const;
    int ItemHeight() const { return static_cast<int>(Send(TVM_GETITEMHEIGHT)); }
    HTREEITEM HitTest(POINT ptClient) const;
    HTREEITEM HitTestScreen(POINT ptScreen) const;

    // Changing items (and InsertItem above).
    void DeleteItem(HTREEITEM hItem);
    void Collapse(HTREEITEM hItem) { Send(TVM_EXPAND, TVE_COLLAPSE, ItemParam(hItem)); }
    void Select(HTREEITEM hItem) { Send(TVM_SELECTITEM, TVGN_CARET, ItemParam(hItem)); }
    void SetFirstVisible(HTREEITEM hItem) { Send(TVM_SELECTITEM, TVGN_FIRSTVISIBLE, ItemParam(hItem)); }  // to the top
    void SetImageList(HIMAGELIST himl) { Send(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(himl)); }
    // The notices come in their Unicode form, whichever form the parent of
    // the moment asks for: the bar reads every one of them as wide.
    void UseUnicodeNotices() { Send(TVM_SETUNICODEFORMAT, TRUE); }

    // Label editing.
    void EditLabel(HTREEITEM hItem) { Send(TVM_EDITLABELW, 0, ItemParam(hItem)); }
    bool IsEditingLabel() const { return Send(TVM_GETEDITCONTROL) != 0; }
    void EndLabelEditNow() { Send(TVM_ENDEDITLABELNOW, FALSE); }  // as Enter ends it

    // Drag feedback.
    HIMAGELIST CreateDragImage(HTREEITEM hItem) {
        return reinterpret_cast<HIMAGELIST>(Send(TVM_CREATEDRAGIMAGE, 0, ItemParam(hItem)));
    }
    void SetInsertMark(HTREEITEM hItem, bool bAfter);  // null: none
    void SetDropTarget(HTREEITEM hItem);               // null: none
    void ScrollLine(bool bUp) { Send(WM_VSCROLL, bUp ? SB_LINEUP : SB_LINEDOWN); }

private:
    LRESULT Send(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hwnd, uMsg, wParam, lParam);
    }
    static LPARAM ItemParam(HTREEITEM hItem) { return reinterpret_cast<LPARAM>(hItem); }

    HWND m_hwnd;
};
