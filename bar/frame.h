// CMyFrame: the favourites bar of one host main window, with its tree view,
// image list, item records, settings and pending work.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "plugin/frame_registry.h"
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
    // Releases the bar without the host: used when the frame goes away while
    // its bar is still open, so no window keeps a procedure into freed code.
    void DestroyBarWindows();

    // Item records.
    FavoriteItem& GetItem(HTREEITEM hItem);
    void AddItem(HTREEITEM hItem, std::wstring strTitle, std::wstring strPath, bool bFolder);
    void SetItemTitle(HTREEITEM hItem, const std::wstring& strTitle);
    void RemoveItem(HTREEITEM hItem);
    void ClearItems();
    void CollectSubtree(HTREEITEM hItem, FlatList& list, unsigned& nDepth) const;
    void CollectTree(FlatList& list) const;

    // Stored favourites.
    void LoadFavorites();
    void SaveFavorites();

    // Opening and macros.
    void OpenItem(HTREEITEM hItem);
    void OpenFolderItems(HTREEITEM hItem, UINT nDepthLimit);
    void OpenItems(HTREEITEM hFirst, UINT nDepthLimit, UINT nDepth);
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
    void MoveItemUpDown(HTREEITEM hItem, bool bDown);
    void MoveSubtree(HTREEITEM hSource, HTREEITEM hTarget, bool bAfter, bool bInto);

    // Drag and drop.
    void OnBeginDrag(NMTREEVIEWW* pInfo);
    void OnDragMove(int x, int y);
    void OnEndDrag();
    void OnDropFiles(HTREEITEM hDropFolder, HDROP hDrop);

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
    // The bytes of a stored value that did not load completely; the first
    // save after such a load copies them aside before replacing them.
    std::vector<BYTE> m_vecIncompleteValue;
    // The host reflects the tree's deletion notices to it, so deleted items
    // drop their records as they go and no walk over a subtree is needed.
    bool m_bDeleteNotified = false;

private:
    void OpenBar();
    void CloseBarFromHost(const BAR_EVENT_INFO* pInfo);
    bool CreateTreeView();
    void LoadImageList();
    void SendOpenFile(const std::wstring& strPath);
    void SaveFavoritesIfModified();
    bool LoadFromValue(HKEY hKey, const std::vector<BYTE>& value);
    void KeepIncompleteValue(HKEY hKey);
    int LevelOf(HTREEITEM hItem) const;
    int SubtreeHeight(HTREEITEM hItem) const;
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
