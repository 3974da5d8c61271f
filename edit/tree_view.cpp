#include "edit/tree_view.h"

#include <cstring>

#include "store/item_model.h"

bool TreeView::Exists() const {
    return m_hwnd && ::IsWindow(m_hwnd);
}

HTREEITEM TreeView::Next(HTREEITEM hItem, UINT nCode) const {
    return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, nCode, ItemParam(hItem)));
}

HTREEITEM TreeView::FirstChild(HTREEITEM hParent) const {
    return hParent ? Next(hParent, TVGN_CHILD) : Next(nullptr, TVGN_ROOT);
}

HTREEITEM TreeView::NextSibling(HTREEITEM hItem) const {
    return Next(hItem, TVGN_NEXT);
}

bool TreeView::ReadItem(HTREEITEM hItem, std::wstring& strLabel, bool& bFolder, bool& bExpanded) const {
    // Read for every item of a save or a move: only the first and the last
    // character need a terminator, the control writes the rest.
    wchar_t text[kTextBufferChars];
    text[0] = L'\0';
    TVITEMW item = {};
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_STATE;
    item.stateMask = TVIS_EXPANDED;
    item.hItem = hItem;
    item.pszText = text;
    item.cchTextMax = kTextBufferChars;
    if (!Send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return false;
    text[kTextBufferChars - 1] = L'\0';
    strLabel = text;
    bFolder = IsFolderImage(item.iImage);
    bExpanded = (item.state & TVIS_EXPANDED) != 0;
    return true;
}

void TreeView::ExpandItem(HTREEITEM hItem) {
    Send(TVM_EXPAND, TVE_EXPAND, ItemParam(hItem));
}

void TreeView::DeleteAllItems() {
    DeleteItem(TVI_ROOT);
}

void TreeView::DeleteItem(HTREEITEM hItem) {
    Send(TVM_DELETEITEM, 0, ItemParam(hItem));
}

void TreeView::SetRedraw(bool bRedraw) {
    Send(WM_SETREDRAW, bRedraw ? TRUE : FALSE);
}

int TreeView::LevelOf(HTREEITEM hItem) const {
    int level = 0;
    for (; hItem; hItem = Parent(hItem)) ++level;
    return level;
}

bool TreeView::IsInSubtree(HTREEITEM hItem, HTREEITEM hRoot) const {
    for (; hItem; hItem = Parent(hItem)) {
        if (hItem == hRoot) return true;
    }
    return false;
}

std::wstring TreeView::ItemLabel(HTREEITEM hItem) const {
    std::wstring label;
    bool bFolder = false;
    bool bExpanded = false;
    ReadItem(hItem, label, bFolder, bExpanded);
    return label;
}

bool TreeView::IsFolderItem(HTREEITEM hItem) const {
    TVITEMW item = {};
    item.mask = TVIF_IMAGE;
    item.hItem = hItem;
    return Send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) && IsFolderImage(item.iImage);
}

bool TreeView::ItemRect(HTREEITEM hItem, bool bTextOnly, RECT& rc) const {
    // The message takes the item in the rectangle it fills.
    std::memcpy(&rc, &hItem, sizeof(hItem));  // NOLINT(bugprone-sizeof-expression): the handle, not what it names
    return Send(TVM_GETITEMRECT, bTextOnly, reinterpret_cast<LPARAM>(&rc)) != FALSE;
}

HTREEITEM TreeView::HitTest(POINT ptClient) const {
    TVHITTESTINFO hit = {};
    hit.pt = ptClient;
    return reinterpret_cast<HTREEITEM>(Send(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

HTREEITEM TreeView::HitTestScreen(POINT ptScreen) const {
    ::ScreenToClient(m_hwnd, &ptScreen);
    return HitTest(ptScreen);
}

HTREEITEM TreeView::InsertItem(HTREEITEM hParent, HTREEITEM hInsertAfter, const std::wstring& strLabel,
                               bool bFolder) {
    TVINSERTSTRUCTW insert = {};
    insert.hParent = hParent;
    insert.hInsertAfter = hInsertAfter;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<wchar_t*>(strLabel.c_str());
    insert.item.iImage = ImageFor(bFolder);
    insert.item.iSelectedImage = ImageFor(bFolder);
    return reinterpret_cast<HTREEITEM>(Send(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void TreeView::SetInsertMark(HTREEITEM hItem, bool bAfter) {
    Send(TVM_SETINSERTMARK, bAfter ? TRUE : FALSE, ItemParam(hItem));
}

void TreeView::SetDropTarget(HTREEITEM hItem) {
    Send(TVM_SELECTITEM, TVGN_DROPHILITE, ItemParam(hItem));
}

