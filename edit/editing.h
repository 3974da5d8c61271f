// Editing the favourites on the bar's tree and its records: new items,
// renaming, deleting, moves and drag and drop. Each operation gets the bar
// as an EditSite (edit/edit_site.h).
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "edit/edit_site.h"

struct NewItemInfo {
    bool bFolder = false;
    std::wstring strTitle;  // empty: derive the names from the host's current document
    std::wstring strPath;
};

namespace edit {

// New items, renaming, deleting, and a move one step up or down
// (edit/item_editing.cpp).
void InsertNewItem(EditSite& site, HTREEITEM hTarget, const NewItemInfo& info);
bool GetNewItemNames(EditSite& site, bool bFolder, std::wstring& strTitle, std::wstring& strPath);
std::wstring GetCurrentDocPath(HWND hwndHost);
void DeleteItem(EditSite& site, HTREEITEM hItem);
// What a delete does once its question is answered Yes.
void DeleteAnswered(EditSite& site, HTREEITEM hItem);
BOOL OnEndLabelEdit(EditSite& site, NMTVDISPINFOW* pInfo);
// Ends a label edit that is still running and accepts its text.
void FinishLabelEdit(EditSite& site);
void MoveItemUpDown(EditSite& site, HTREEITEM hItem, bool bDown);

// An item with everything below it (edit/subtree_move.cpp).
void MoveSubtree(EditSite& site, HTREEITEM hSource, HTREEITEM hTarget, bool bAfter, bool bInto);

// Drag and drop (edit/drag_drop.cpp).
void OnBeginDrag(EditSite& site, NMTREEVIEWW* pInfo);
void OnDragMove(EditSite& site, int x, int y);
void OnEndDrag(EditSite& site);
void OnDropFiles(EditSite& site, HTREEITEM hDropFolder, HDROP hDrop);

}  // namespace edit
