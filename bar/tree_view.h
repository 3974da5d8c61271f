// The bar's tree view: every message the plug-in sends to the control goes
// through here. A light value over the window handle, so any operation can
// make one on the spot.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "store/favorite_tree.h"

class TreeView final : public FavoriteTree {
public:
    explicit TreeView(HWND hwnd = nullptr) : m_hwnd(hwnd) {}
    HWND Window() const { return m_hwnd; }

    // What the store needs.
    bool Exists() const override;
    HTREEITEM FirstChild(HTREEITEM hParent) const override;
    HTREEITEM NextSibling(HTREEITEM hItem) const override;
    bool ReadItem(HTREEITEM hItem, std::wstring& strLabel, bool& bFolder, bool& bExpanded) const override;
    HTREEITEM InsertItem(HTREEITEM hParent, HTREEITEM hInsertAfter, const std::wstring& strLabel,
                         bool bFolder) override {
        return InsertTreeItem(hParent, hInsertAfter, strLabel, bFolder);
    }
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
    bool IsExpanded(HTREEITEM hItem) const;
    // Whether hItem is hRoot or lies below it.
    bool IsInSubtree(HTREEITEM hItem, HTREEITEM hRoot) const;

    // Reading items.
    std::wstring ItemLabel(HTREEITEM hItem) const;  // at most 259 characters
    // Every item whose image is not the document image counts as a folder;
    // an item that cannot be read does not.
    bool IsFolder(HTREEITEM hItem) const;
    bool ItemRect(HTREEITEM hItem, bool bTextOnly, RECT& rc) const;
    int ItemHeight() const;
    HTREEITEM HitTest(POINT ptClient) const;
    HTREEITEM HitTestScreen(POINT ptScreen) const;

    // Changing items.
    // A label with the folder's or the document's image. An insert-after item
    // that is not a child of the parent appends the item.
    HTREEITEM InsertTreeItem(HTREEITEM hParent, HTREEITEM hInsertAfter, const std::wstring& strLabel, bool bFolder);
    void DeleteItem(HTREEITEM hItem);
    void Collapse(HTREEITEM hItem);
    void Select(HTREEITEM hItem);
    void SetFirstVisible(HTREEITEM hItem);  // scrolls it to the top
    void SetImageList(HIMAGELIST himl);
    // The notices come in their Unicode form, whichever form the parent of
    // the moment asks for: the bar reads every one of them as wide.
    void UseUnicodeNotices();

    // Label editing.
    void EditLabel(HTREEITEM hItem);
    bool IsEditingLabel() const;
    void EndLabelEditNow();  // as Enter ends it

    // Drag feedback.
    HIMAGELIST CreateDragImage(HTREEITEM hItem);
    void SetInsertMark(HTREEITEM hItem, bool bAfter);  // null: none
    void SetDropTarget(HTREEITEM hItem);               // null: none
    void ScrollLine(bool bUp);

private:
    HWND m_hwnd;
};

// The tree's window procedure replaced by the bar's for as long as this
// lives. The previous procedure of every subclassed tree is known by window,
// so messages the bar leaves alone go straight on without finding a frame.
//
// Restoring puts the previous procedure back only while the bar's is the one
// installed. When someone subclassed the tree after the bar, taking the bar's
// out would cut them out of the chain: the bar's procedure then stays in it,
// passing every message on, until the window's last message.
class TreeSubclass {
public:
    TreeSubclass() = default;
    ~TreeSubclass() { Restore(); }
    TreeSubclass(const TreeSubclass&) = delete;
    TreeSubclass& operator=(const TreeSubclass&) = delete;

    void Install(HWND hwnd, WNDPROC pfnProc);
    void Restore();
    WNDPROC Previous() const { return m_pfnOldTreeProc; }

    // The previous procedure of a tree the bar subclassed, or null
    // once it is restored.
    static WNDPROC PreviousOf(HWND hwnd);
    // The window's last message (WM_NCDESTROY) has reached the bar's
    // procedure: its previous procedure is no longer needed.
    static void WindowGone(HWND hwnd);

private:
    HWND m_hwnd = nullptr;
    WNDPROC m_pfnProc = nullptr;  // the bar's, as installed
    WNDPROC m_pfnOldTreeProc = nullptr;
};
