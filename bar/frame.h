// CMyFrame: the favourites bar of one host main window, with its tree view,
// image list, store (item records, keeper, key), settings and pending work.
//
// The frame's operations live by subsystem: the bar's life and the host's
// events in bar/frame.cpp, input in bar/tree_input.cpp, the context menu in
// bar/context_menu.cpp, opening and macros in bar/open_items.cpp. Editing,
// moves and drag and drop are edit/'s, a layer below, which sees the frame
// only as an EditSite; the store (store/) sees the tree only as a
// FavoriteTree.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "bar/frame_lookup.h"
#include "bar/tree_subclass.h"
#include "common/handles.h"
#include "common/host_frame.h"
#include "common/host_interface.h"
#include "edit/drag_state.h"
#include "edit/edit_site.h"
#include "edit/editing.h"
#include "edit/tree_view.h"
#include "store/favorites_store.h"
#include "store/item_model.h"
#include "store/settings.h"

// An item of the bar as the user finds it: by the labels on its way from the
// top. Kept across a reload of the tree.
class ShownItem {
public:
    static ShownItem Of(const TreeView& tree, HTREEITEM hItem);
    // The item on the same way in the tree now, inside closed folders too,
    // or the deepest item on it; null when not even the first step is there.
    HTREEITEM FindIn(const TreeView& tree) const;
    // The item on the same way, or null when it is not there.
    HTREEITEM FindExactIn(const TreeView& tree) const;

private:
    struct Step {
        std::wstring label;
        unsigned nSameBefore = 0;  // earlier siblings with the same label
    };
    // The deepest item found on the way, and how many steps it took.
    HTREEITEM Walk(const TreeView& tree, std::size_t& nSteps) const;
    std::vector<Step> m_steps;
};

// A folder this window opened or closed itself, away from what the stored
// value says: kept across a reload while the stored value still says the same.
struct FolderOpenedHere {
    ShownItem where;
    bool bOpen = false;
    bool bStoredOpen = false;  // what the value it was loaded from said
};

class CMyFrame;

// The bar as its edits (edit/) see it.
class BarEditSite final : public EditSite {
public:
    explicit BarEditSite(CMyFrame& frame) : m_frame(frame) {}
    TreeView Tree() const override;
    FavoriteItemMap& Records() override;
    DragState& Drag() override;
    void MarkModified() override;
    bool TreeReportsDeletions() const override;
    HWND HostWindow() const override;
    bool StillOpenAfter(void (*run)(void*), void* context) override;

private:
    CMyFrame& m_frame;
};

class CMyFrame final : public HostFrame {
public:
    CMyFrame() = default;
    ~CMyFrame();

    // Bar lifecycle.
    void OnCommand(HWND hwnd);
    void OnEvents(HWND hwnd, UINT nEvent, LPARAM lParam);
    bool IsBarOpen() const { return m_hwndTree != nullptr; }
    TreeView Tree() const { return TreeView(m_hwndTree); }
    HWND TreeWindow() const { return m_hwndTree; }
    // The one teardown of the bar, whoever closes it: drag ended, the tree's
    // own procedure back, the tree destroyed, the image list released.
    void ReleaseBar();
    // Before the frame goes away (window destroyed, plug-in unloaded or
    // freed): a label being typed is accepted and unsaved edits are saved;
    // those that cannot be are kept in the history.
    void SaveBeforeLeaving();
    // Whether the frame's window went while a load filled the tree: the
    // frame registry unregisters it once the load has returned.
    bool LeavesAfterLoad() const { return m_bLeaveAfterLoad; }
    bool Loading() const { return m_store.Loading(); }
    // Closes the bar and opens it again (on a new side), keeping the
    // open-at-start-up setting that the close would otherwise rewrite.
    void ReopenBar();
    // Fills the tree from the store as the bar's opening does: before the
    // bar's procedure goes in (nothing a load makes an empty tree send is the
    // bar's business), which goes in afterwards while the bar is still open.
    void LoadTree();

    // The docking side, as the properties dialog chooses it: the side when
    // the dialog opened is kept; a side chosen (-1: none, for a stored side
    // outside the list) is written, and the bar moves there.
    int BarPosition() const { return m_settings.nBarPos; }
    void StartSideChoice() { m_nOldBarPos = m_settings.nBarPos; }
    void FinishSideChoice(int nBarPos);

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
    void EditLabel(HTREEITEM hItem) {
        if (hItem) Tree().EditLabel(hItem);
    }
    HTREEITEM GetSelectedItem() const { return Tree().Selected(); }
    // The tree deleted an item: its record goes. The drag has already let
    // go of the subtree (DragState::ForgetDeletedSubtree).
    void OnItemDeleted(HTREEITEM hItem) {
        m_store.Records().EraseItem(hItem);
        m_bTreeReportsDeletions = true;
        if (!m_toggledHere.empty()) ForgetToggled(hItem);
    }
    // The user opened or closed a folder (the tree reports only the user's).
    void OnItemToggled(HTREEITEM hItem);
    // The tree's own window procedure, while the bar's replaces it.
    WNDPROC PreviousTreeProcedure() const { return m_subclass.Previous(); }
    // The bar for the edit operations (edit/editing.h).
    EditSite& Edits() { return m_edits; }

private:
    friend class BarWatch;
    friend class BarEditSite;

    void OpenBar();
    bool IsThisBar(const BAR_EVENT_INFO* pInfo) const;
    // False when the host closed the bar or destroyed its tree while docking
    // it, or answered 0 (no bar); the bar has then been released, so the
    // command opens it again.
    bool BarSurvivedDocking(int nBarID);
    void CloseBarFromHost(const BAR_EVENT_INFO* pInfo);
    void DeferCloseUntilLoaded();
    void CloseAsTheHostAskedDuringTheLoad();
    bool CreateTreeView();
    void LoadImageList();
    bool SendOpenFile(const std::wstring& strPath);
    // A copy of the item's record (opening runs host code, which may change
    // the records); an empty one for an item without a record, which is not
    // added.
    FavoriteItem RecordOf(HTREEITEM hItem) const;
    // Saves the tree as far as the keeper allows; false when nothing could
    // be secured and the edits stay pending.
    bool SaveTree() { return IsBarOpen() && m_store.Save(Tree()); }
    void SaveFavoritesIfModified() {
        if (m_store.Modified()) SaveTree();
    }
    // Runs a load of the tree with the bar's procedure out: it is no second
    // window procedure for each of the load's messages to pass, and the
    // deletions the load makes are the store's to forget at once, not one
    // notice at a time. False when the host closed the bar in answer to a
    // notice of the tree meanwhile; otherwise the procedure is back in.
    template <class Load>
    bool LoadWithoutProcedure(Load&& load);
    // Nothing the user is in the middle of is taken away by a reload.
    bool MayFollowStore() const;
    void FollowStoredFavorites();
    // The folders this window opened or closed against the stored value, and
    // after a reload the same again where the stored value did not change them.
    std::vector<FolderOpenedHere> FoldersOpenedHere(const TreeView& tree) const;
    void RestoreFoldersOpenedHere(TreeView& tree, const std::vector<FolderOpenedHere>& folders);
    void ForgetToggled(HTREEITEM hItem);
    HTREEITEM DropFolderAt(POINT ptScreen) const;

    HWND m_hwndTree = nullptr;
    // The tree's own window procedure, kept while the bar's replaces it.
    TreeSubclass m_subclass;
    UniqueImageList m_himl;
    DragState m_dragState;
    int m_nBarID = 0;
    // While the host docks the bar: the bar-closed events that came meanwhile,
    // matched against the id the host answers with.
    bool m_bDocking = false;
    std::vector<BAR_EVENT_INFO> m_closedWhileDocking;
    BarSettings m_settings;
    int m_nOldBarPos = 0;  // the side when the properties dialog opened
    bool m_bOpened = false;
    // The records, the keeper, the edits still to save and the key.
    BarStore m_store;
    // Whether the host's last save event found the edits could not be saved.
    bool m_bSaveEventFailed = false;
    // A close (its event's record) and the window's end that came during a
    // load, carried out once it has returned.
    bool m_bCloseAfterLoad = false;
    BAR_EVENT_INFO m_closeAfterLoad = {};
    bool m_bLeaveAfterLoad = false;
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
    // Folders the user opened or closed since the tree was loaded.
    std::vector<HTREEITEM> m_toggledHere;
    BarEditSite m_edits{*this};
};

// Taken before a nested message loop (a menu, a message box) or a request the
// host may answer with its own code: afterwards it tells whether the same
// frame still shows the same bar. It never touches the frame unless the
// registry still holds it.
class BarWatch {
public:
    explicit BarWatch(const CMyFrame& frame)
        : m_pFrame(&frame), m_hWnd(frame.MainWindow()), m_hwndTree(frame.TreeWindow()) {
        ++m_pFrame->m_nNestedLoops;
    }
    ~BarWatch() {
        if (FrameStillThere()) --m_pFrame->m_nNestedLoops;
    }
    BarWatch(const BarWatch&) = delete;
    BarWatch& operator=(const BarWatch&) = delete;
    bool StillOpen() const {
        return FrameStillThere() && m_pFrame->TreeWindow() == m_hwndTree && ::IsWindow(m_hwndTree);
    }

private:
    bool FrameStillThere() const { return GetFrame(m_hWnd) == m_pFrame; }

    const CMyFrame* m_pFrame;
    HWND m_hWnd;
    HWND m_hwndTree;
};
