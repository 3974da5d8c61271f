// CMyFrame: the favourites bar of one host main window, with its tree view,
// image list, item records, settings and pending work.
//
// The frame's operations live by subsystem: the bar's life and the host's
// events in bar/frame.cpp, input in bar/tree_input.cpp, the context menu in
// bar/context_menu.cpp, opening and macros in bar/open_items.cpp, editing,
// moves and drag and drop in edit/. The store (store/) sees the frame only
// as a FavoriteTree, a FavoriteItemMap and BarSettings.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "bar/frame_lookup.h"
#include "bar/tree_view.h"
#include "common/handles.h"
#include "common/host_interface.h"
#include "common/qor_frame.h"
#include "store/favorites_keeper.h"
#include "store/favorites_store.h"
#include "store/item_model.h"
#include "store/settings.h"

struct NewItemInfo {
    bool bFolder = false;
    std::wstring strTitle;  // empty: derive the names from the host's current document
    std::wstring strPath;
};

// An item of the bar as the user finds it: by the labels on its way from the
// top. Kept across a reload of the tree.
class ShownItem {
public:
    static ShownItem Of(const TreeView& tree, HTREEITEM hItem);
    // The item on the same way in the tree now, or the deepest shown item on
    // it; null when not even the first step is there.
    HTREEITEM FindIn(const TreeView& tree) const;

private:
    struct Step {
        std::wstring label;
        unsigned nSameBefore = 0;  // earlier siblings with the same label
    };
    std::vector<Step> m_steps;
};

class CMyFrame final : public CQorFrame<CMyFrame> {
public:
    CMyFrame() = default;
    ~CMyFrame();

    // Bar lifecycle.
    void OnCommand(HWND hwnd) override;
    void OnEvents(HWND hwnd, UINT nEvent, LPARAM lParam);
    // The image test of the item, with its label read into pszText (260
    // characters). Callers that need neither buffer use Tree().IsFolder.
    bool IsFolderItem(HTREEITEM hItem, wchar_t* pszText) const;
    bool IsBarOpen() const { return m_hwndTree != nullptr; }
    TreeView Tree() const { return TreeView(m_hwndTree); }
    // The one teardown of the bar, whoever closes it: drag ended, the tree's
    // own procedure back, the tree destroyed, the image list released.
    void ReleaseBar();
    // Before the frame goes away with its bar open (window destroyed, plug-in
    // unloaded): a label being typed is accepted and unsaved edits are saved.
    void SaveBeforeLeaving();
    // Closes the bar and opens it again (on a new side), keeping the
    // open-at-start-up setting that the close would otherwise rewrite.
    void ReopenBar();

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
    // The tree deleted an item: its record goes.
    void OnItemDeleted(HTREEITEM hItem);

    FavoriteItemMap m_mapItems;
    HWND m_hwndTree = nullptr;
    // The tree's own window procedure, kept while the bar's replaces it.
    TreeSubclass m_subclass;
    UniqueImageList m_himl;
    // Drag and drop: the drag itself (image and mouse) and its items.
    ImageDrag m_drag;
    HTREEITEM m_hDropTarget = nullptr;
    HTREEITEM m_hDragItem = nullptr;
    bool m_bInsertAfter = false;
    bool m_bDropInto = false;
    int m_nBarID = 0;
    // While the host docks the bar: the bar-closed events that came meanwhile,
    // matched against the id the host answers with.
    bool m_bDocking = false;
    std::vector<BAR_EVENT_INFO> m_closedWhileDocking;
    BarSettings m_settings;
    int m_nOldBarPos = 0;  // the side when the properties dialog opened
    bool m_bOpened = false;
    bool m_bModified = false;
    // Decides whether a save may replace or delete the stored value.
    favstore::FavoritesKeeper m_keeper;
    PlugInKey m_storeKey;  // open while the bar is
    // Set while the properties dialog moves the bar: that close is the
    // plug-in's own and writes no setting.
    bool m_bKeepOpenStartup = false;
    // Set once the tree's deletion notices are seen to come back through the
    // host: deleted items then drop their records as they go, and a delete
    // needs no walk over its subtree first.
    bool m_bTreeReportsDeletions = false;
    // Menus, message boxes and host requests of this frame that are running
    // (BarWatch counts them): the tree is not reloaded under them.
    mutable int m_nNestedLoops = 0;

private:
    void OpenBar();
    bool IsThisBar(const BAR_EVENT_INFO* pInfo) const;
    // False when the host closed the bar or destroyed its tree while docking
    // it, or answered 0 (no bar); the bar has then been released, so the
    // command opens it again.
    bool BarSurvivedDocking(int nBarID);
    void CloseBarFromHost(const BAR_EVENT_INFO* pInfo);
    bool CreateTreeView();
    void LoadImageList();
    bool SendOpenFile(const std::wstring& strPath);
    // Saves the tree as far as the keeper allows; false when nothing could
    // be secured and the edits stay pending.
    bool SaveTree();
    void SaveFavoritesIfModified();
    // An unchanged bar shows what another window or program stored since.
    bool MayFollowStore() const;
    void FollowStoredFavorites();
    void EndDrag();
    void ForgetDeletedSubtree(HTREEITEM hRoot);
    HTREEITEM DropFolderAt(POINT ptScreen) const;
};

// Taken before a nested message loop (a menu, a message box) or a request the
// host may answer with its own code: afterwards it tells whether the same
// frame still shows the same bar. It never touches the frame unless the
// registry still holds it.
class BarWatch {
public:
    explicit BarWatch(const CMyFrame& frame) : m_pFrame(&frame), m_hWnd(frame.m_hWnd), m_hwndTree(frame.m_hwndTree) {
        ++m_pFrame->m_nNestedLoops;
    }
    ~BarWatch() {
        if (FrameStillThere()) --m_pFrame->m_nNestedLoops;
    }
    BarWatch(const BarWatch&) = delete;
    BarWatch& operator=(const BarWatch&) = delete;
    bool StillOpen() const {
        return FrameStillThere() && m_pFrame->m_hwndTree == m_hwndTree && ::IsWindow(m_hwndTree);
    }

private:
    bool FrameStillThere() const { return GetFrame(m_hWnd) == m_pFrame; }

    const CMyFrame* m_pFrame;
    HWND m_hWnd;
    HWND m_hwndTree;
};
