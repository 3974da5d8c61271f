// CMyFrame: the favourites bar of one host main window, with its tree view,
// image list, item records, settings and pending work.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "plugin/frame_registry.h"
#include "store/favorites_keeper.h"
#include "store/item_model.h"

struct NewItemInfo {
    bool bFolder = false;
    std::wstring strTitle;  // empty: derive the names from the host's current document
    std::wstring strPath;
};

class CMyFrame : public CQorFrame<CMyFrame> {
public:
    CMyFrame() = default;
    ~CMyFrame();

    // Bar lifecycle.
    void OnCommand(HWND hwnd) override;
    void OnEvents(HWND hwnd, UINT nEvent, LPARAM lParam);
    bool IsFolderItem(HTREEITEM hItem, wchar_t* pszText) const;
    bool IsBarOpen() const { return m_hwndTree != nullptr; }
    // The one teardown of the bar, whoever closes it: drag ended, the tree's
    // own procedure back, the tree destroyed, the image list released.
    void ReleaseBar();
    // Before the frame goes away with its bar open (window destroyed, plug-in
    // unloaded): a label being typed is accepted and unsaved edits are saved.
    void SaveBeforeLeaving();
    // Closes the bar and opens it again (on a new side), keeping the
    // open-at-start-up setting that the close would otherwise rewrite.
    void ReopenBar();

    // Item records.
    FavoriteItem& GetItem(HTREEITEM hItem);
    const std::wstring& PathOf(HTREEITEM hItem) const;  // empty for an item without a record
    void AddItem(HTREEITEM hItem, std::wstring strTitle, std::wstring strPath, bool bFolder);
    void SetItemTitle(HTREEITEM hItem, const std::wstring& strTitle);
    void RemoveItem(HTREEITEM hItem);
    void ClearItems();
    void CollectSubtree(HTREEITEM hItem, FlatList& list, unsigned& nDepth) const;
    void CollectTree(FlatList& list) const;

    // Stored favourites. SaveFavorites: true when the stored value now holds the tree.
    void LoadFavorites();
    bool SaveFavorites();

    // Opening and macros.
    void OpenItem(HTREEITEM hItem);
    void OpenFolderItems(HTREEITEM hItem, UINT nDepthLimit);
    // False once the host has closed the bar (or the window) meanwhile.
    bool OpenItems(HTREEITEM hFirst, UINT nDepthLimit, UINT nDepth);
    void RunMacro(HTREEITEM hItem);

    // Input.
    static LRESULT CALLBACK TreeWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    BOOL PreTranslateMessage(MSG* pMsg);
    void ShowContextMenu(bool bAtCursor);
    void EditLabel(HTREEITEM hItem);
    HTREEITEM GetSelectedItem() const;

    // Editing.
    void InsertNewItem(HTREEITEM hTarget, const NewItemInfo& info);
    bool GetNewItemNames(bool bFolder, std::wstring& strTitle, std::wstring& strPath);
    std::wstring GetCurrentDocPath();
    void DeleteItem(HTREEITEM hItem);
    BOOL OnEndLabelEdit(NMTVDISPINFOW* pInfo);
    // Ends a label edit that is still running and accepts its text.
    void FinishLabelEdit();
    void MoveItemUpDown(HTREEITEM hItem, bool bDown);
    void MoveSubtree(HTREEITEM hSource, HTREEITEM hTarget, bool bAfter, bool bInto);

    // Drag and drop.
    void OnBeginDrag(NMTREEVIEWW* pInfo);
    void OnDragMove(int x, int y);
    void OnEndDrag();
    void OnDropFiles(HTREEITEM hDropFolder, HDROP hDrop);
    // The tree deleted an item: its record goes, and a drag holds none of it.
    void OnItemDeleted(HTREEITEM hItem);

    FavoriteItemMap m_mapItems;
    HWND m_hwndTree = nullptr;
    WNDPROC m_pfnOldTreeProc = nullptr;
    HIMAGELIST m_himl = nullptr;
    HTREEITEM m_hDropTarget = nullptr;
    HTREEITEM m_hDragItem = nullptr;
    int m_nBarID = 0;
    int m_nBarPos = 0;
    int m_nOldBarPos = 0;
    bool m_bSettingsLoaded = false;
    bool m_bOpenStartup = false;
    bool m_bOpened = false;
    bool m_bModified = false;
    bool m_bDragging = false;
    bool m_bInsertAfter = false;
    bool m_bDropInto = false;
    // Decides whether a save may replace or delete the stored value.
    favstore::FavoritesKeeper m_keeper;
    // Set while the properties dialog moves the bar: that close is the
    // plug-in's own and does not change OpenStartup.
    bool m_bKeepOpenStartup = false;
    // The host reflects the tree's deletion notices to it, so deleted items
    // drop their records as they go and no walk over a subtree is needed.
    bool m_bDeleteNotified = false;

private:
    void OpenBar();
    bool IsThisBar(const BAR_EVENT_INFO* pInfo) const;
    void CloseBarFromHost(const BAR_EVENT_INFO* pInfo);
    bool CreateTreeView();
    void LoadImageList();
    bool SendOpenFile(const std::wstring& strPath);
    void SaveFavoritesIfModified();
    bool LoadFromValue(HKEY hKey, const std::vector<BYTE>& value);
    bool EncodeTree(std::vector<BYTE>& encoded) const;
    favstore::SaveOutcome SaveFavoritesTo(favstore::StoredValues& values);
    void EndDrag();
    void ForgetDeletedSubtree(HTREEITEM hRoot);
    int LevelOf(HTREEITEM hItem) const;
    HTREEITEM InsertTreeItem(HTREEITEM hParent, HTREEITEM hInsertAfter, const std::wstring& strLabel, bool bFolder);
    bool IsInSubtree(HTREEITEM hItem, HTREEITEM hRoot) const;
    HTREEITEM DropFolderAt(POINT ptScreen) const;
};

// Taken before a nested message loop (a menu, a message box): afterwards it
// tells whether the same frame still shows the same bar. It never touches the
// frame unless the registry still holds it.
class BarWatch {
public:
    explicit BarWatch(const CMyFrame& frame) : m_pFrame(&frame), m_hWnd(frame.m_hWnd), m_hwndTree(frame.m_hwndTree) {}
    bool StillOpen() const {
        return GetFrame(m_hWnd) == m_pFrame && m_pFrame->m_hwndTree == m_hwndTree && ::IsWindow(m_hwndTree);
    }

private:
    const CMyFrame* m_pFrame;
    HWND m_hWnd;
    HWND m_hwndTree;
};

// Messages of the tree view, sent to m_hwndTree.
HTREEITEM TreeNext(HWND hwndTree, HTREEITEM hItem, UINT nCode);
bool TreeItemRect(HWND hwndTree, HTREEITEM hItem, bool bTextOnly, RECT& rc);
bool TreeHasChildren(HWND hwndTree, HTREEITEM hItem);
// The item at a point in the tree's client coordinates, or null.
HTREEITEM TreeHitTest(HWND hwndTree, POINT ptClient);
HTREEITEM TreeHitTestScreen(HWND hwndTree, POINT ptScreen);
