// The favourites bar of one host main window: opening it in a host custom bar,
// closing it when the host says so, and the frame's share of host events.
#include "bar/frame.h"

#include <algorithm>

#include "common/module.h"
#include "res/resource.h"

namespace {

constexpr DWORD kTreeStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TVS_HASBUTTONS |
                             TVS_HASLINES | TVS_LINESATROOT | TVS_EDITLABELS | TVS_SHOWSELALWAYS;
static_assert(kTreeStyle == 0x5600002F, "the bar's tree view style");
constexpr UINT kTreeControlId = 100;
constexpr UINT kMinimumHostVersion = 6000;
constexpr COLORREF kImageMaskColour = RGB(255, 0, 255);

}  // namespace

// An item by the labels on its way from the top, each with how many siblings
// before it carry the same label, so that it is found again in a reloaded tree.
ShownItem ShownItem::Of(const TreeView& tree, HTREEITEM hItem) {
    ShownItem shown;
    for (; hItem; hItem = tree.Parent(hItem)) {
        const std::wstring label = tree.ItemLabel(hItem);
        unsigned same = 0;
        for (HTREEITEM h = tree.FirstChild(tree.Parent(hItem)); h && h != hItem; h = tree.NextSibling(h)) {
            if (tree.ItemLabel(h) == label) ++same;
        }
        shown.m_steps.insert(shown.m_steps.begin(), Step{label, same});
    }
    return shown;
}

HTREEITEM ShownItem::Walk(const TreeView& tree, std::size_t& nSteps) const {
    HTREEITEM hFound = nullptr;
    nSteps = 0;
    for (const Step& step : m_steps) {
        HTREEITEM hMatch = nullptr;
        unsigned same = 0;
        for (HTREEITEM h = tree.FirstChild(hFound); h; h = tree.NextSibling(h)) {
            if (tree.ItemLabel(h) == step.label && same++ == step.nSameBefore) {
                hMatch = h;
                break;
            }
        }
        if (!hMatch) break;
        hFound = hMatch;
        ++nSteps;
    }
    return hFound;
}

HTREEITEM ShownItem::FindIn(const TreeView& tree) const {
    std::size_t nSteps = 0;
    return Walk(tree, nSteps);
}

HTREEITEM ShownItem::FindExactIn(const TreeView& tree) const {
    std::size_t nSteps = 0;
    HTREEITEM hFound = Walk(tree, nSteps);
    return nSteps == m_steps.size() ? hFound : nullptr;
}

CMyFrame::~CMyFrame() {
    ReleaseBar();
}

void CMyFrame::OnCommand(HWND) {
    if (IsBarOpen()) {
        // Tear-down waits for the host's close event, whoever closes the bar.
        ::SendMessageW(MainWindow(), HM_CLOSE_CUSTOM_BAR, static_cast<WPARAM>(m_nBarID), 0);
        return;
    }
    OpenBar();
}

void CMyFrame::OpenBar() {
    wchar_t title[kNameBufferChars] = {};
    ::LoadStringW(g_hInstance, IDS_NAME, title, kNameBufferChars);

    const UINT version = static_cast<UINT>(::SendMessageW(MainWindow(), HM_GET_VERSION, 0, 0));
    if (version < kMinimumHostVersion) {
        wchar_t message[kTextBufferChars] = {};
        ::LoadStringW(g_hInstance, IDS_HOST_TOO_OLD, message, kTextBufferChars);
        ::MessageBoxW(MainWindow(), message, title, MB_ICONERROR);
        return;
    }
    if (!CreateTreeView()) return;

    BAR_OPEN_INFO info = {sizeof(BAR_OPEN_INFO), 0, m_hwndTree, title, m_settings.nBarPos};
    const HWND hwndMain = MainWindow();
    m_bDocking = true;
    m_closedWhileDocking.clear();
    const int nBarID =
        static_cast<int>(::SendMessageW(hwndMain, HM_OPEN_CUSTOM_BAR, 0, reinterpret_cast<LPARAM>(&info)));
    // The host may have closed the window while docking the bar, and the
    // frame went with it.
    if (GetFrame(hwndMain) != this) return;
    m_bDocking = false;
    if (!BarSurvivedDocking(nBarID)) return;
    m_nBarID = nBarID;

    if (!m_himl) LoadImageList();
    TreeView tree = Tree();
    // Docking may have had the tree ask its new parent again.
    tree.UseUnicodeNotices();
    tree.SetImageList(m_himl.get());
    LoadTree();
}

template <class Load>
bool CMyFrame::LoadWithoutProcedure(Load&& load) {
    m_subclass.Restore();
    const BarWatch watch(*this);
    load();
    if (!watch.StillOpen()) return false;
    m_subclass.Install(m_hwndTree, &CMyFrame::TreeWndProc);
    return true;
}

void CMyFrame::LoadTree() {
    TreeView tree = Tree();
    LoadWithoutProcedure([&] { m_store.Load(tree); });
    CloseAsTheHostAskedDuringTheLoad();
}

// The host closed the bar, or is destroying the window, in answer to a
// notice of the tree while a load fills it. Its windows go at once, and the
// tree with them as their child: the tree leaves them (hidden, a message-only
// window until the load has returned), and the close is carried out then.
void CMyFrame::DeferCloseUntilLoaded() {
    if (!IsBarOpen() || !::IsWindow(m_hwndTree)) return;
    ::ShowWindow(m_hwndTree, SW_HIDE);
    ::SetParent(m_hwndTree, HWND_MESSAGE);
}

void CMyFrame::CloseAsTheHostAskedDuringTheLoad() {
    if (m_store.Loading()) return;
    if (m_bCloseAfterLoad) {
        m_bCloseAfterLoad = false;
        const BAR_EVENT_INFO info = m_closeAfterLoad;
        CloseBarFromHost(&info);
    }
    // A window that went meanwhile: the frame registry lets the frame go
    // (saving as any frame that goes) once the call that started the load
    // has returned.
}

bool CMyFrame::BarSurvivedDocking(int nBarID) {
    // A close event that came while docking could not name this bar yet: it
    // is this bar's when it carries the id the host answered with.
    std::vector<BAR_EVENT_INFO> closed;
    closed.swap(m_closedWhileDocking);
    for (const BAR_EVENT_INFO& info : closed) {
        if (static_cast<int>(info.nBarID) == nBarID) {
            CloseBarFromHost(&info);
            return false;
        }
    }
    if (!IsBarOpen()) return false;
    // 0 names no bar: the host docked nothing it would ever report or close,
    // and a tree kept for it would hold the command at a close nobody hears.
    if (nBarID != 0 && ::IsWindow(m_hwndTree)) return true;
    // Or the host destroyed the tree without closing a bar: nothing is
    // docked, and the command is to open the bar again.
    ReleaseBar();
    return false;
}

bool CMyFrame::CreateTreeView() {
    m_hwndTree = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, nullptr, kTreeStyle, 0, 0, 0, 0, MainWindow(),
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kTreeControlId)), nullptr, nullptr);
    if (!m_hwndTree) return false;
    // A host whose windows are ANSI ones would get the ANSI notices.
    Tree().UseUnicodeNotices();
    return true;
}

void CMyFrame::LoadImageList() {
    m_himl.reset(::ImageList_LoadImageW(g_hInstance, MAKEINTRESOURCEW(IDB_TREE_IMAGES), 16, 0, kImageMaskColour,
                                        IMAGE_BITMAP, 0));
    if (m_himl) ::ImageList_SetBkColor(m_himl.get(), CLR_NONE);
}

bool CMyFrame::IsThisBar(const BAR_EVENT_INFO* pInfo) const {
    // While docking, the bar's id is not known yet; its tree is still empty
    // and has nothing to save.
    return IsBarOpen() && !m_bDocking && pInfo && static_cast<int>(pInfo->nBarID) == m_nBarID;
}

void CMyFrame::OnEvents(HWND hwnd, UINT nEvent, LPARAM lParam) {
    const auto* pBar = reinterpret_cast<const BAR_EVENT_INFO*>(lParam);
    if (nEvent & EV_WINDOW_CREATED) {
        ReadSettings(m_settings);
        if (m_settings.bOpenStartup) OnCommand(hwnd);
    }
    // While a load fills the tree, what it shows is neither the stored
    // value nor the user's: a save event writes nothing, and a close waits
    // for the load.
    if ((nEvent & EV_BAR_SAVE) && IsThisBar(pBar) && !m_store.Loading()) {
        edit::FinishLabelEdit(m_edits);
        m_bSaveEventFailed = !SaveTree();
    }
    if ((nEvent & EV_BAR_CLOSED) && IsThisBar(pBar) && m_store.Loading()) {
        m_bCloseAfterLoad = true;
        m_closeAfterLoad = *pBar;
        DeferCloseUntilLoaded();
    } else if ((nEvent & EV_BAR_CLOSED) && IsThisBar(pBar)) {
        CloseBarFromHost(pBar);
    }
    if ((nEvent & EV_WINDOW_DESTROY) && m_store.Loading()) {
        m_bLeaveAfterLoad = true;
        DeferCloseUntilLoaded();
    }
    if ((nEvent & EV_BAR_CLOSED) && m_bDocking && pBar) m_closedWhileDocking.push_back(*pBar);
    if (nEvent & EV_FLUSH) {
        // Cleared before the host hears of it: files opened while it runs
        // the command are announced at the next flush.
        const bool bOpened = m_bOpened;
        m_bOpened = false;
        // A close after this flush tries its own save again.
        m_bSaveEventFailed = false;
        if (IsBarOpen()) {
            SaveFavoritesIfModified();
            FollowStoredFavorites();
            CloseAsTheHostAskedDuringTheLoad();
            // The host may close the bar or the window in answer; nothing of
            // the frame is touched after it.
            if (bOpened && IsBarOpen()) ::SendMessageW(MainWindow(), HM_EXEC_COMMAND, CMD_AFTER_OPEN, 0);
        } else {
            // What a closed bar could not save is written now.
            m_store.SavePending();
        }
    }
}

bool CMyFrame::MayFollowStore() const {
    // Nothing the user is in the middle of is taken away: an edit being
    // typed, a drag, a menu or question about an item, a request to the host.
    return IsBarOpen() && m_nNestedLoops == 0 && !m_dragState.Busy() && !Tree().IsEditingLabel();
}

// Whether the bar follows at all is the store's rule: only while it has no
// edits of its own.
void CMyFrame::FollowStoredFavorites() {
    StoredChange change;
    if (!MayFollowStore() || !m_store.ChangeToFollow(change)) return;
    TreeView tree = Tree();
    const ShownItem selected = ShownItem::Of(tree, tree.Selected());
    const ShownItem firstVisible = ShownItem::Of(tree, tree.FirstVisible());
    const std::vector<FolderOpenedHere> opened = FoldersOpenedHere(tree);
    m_toggledHere.clear();
    if (!LoadWithoutProcedure([&] { m_store.Follow(tree, change); })) return;
    RestoreFoldersOpenedHere(tree, opened);
    if (HTREEITEM hItem = selected.FindIn(tree)) tree.Select(hItem);
    if (HTREEITEM hItem = firstVisible.FindIn(tree)) tree.SetFirstVisible(hItem);
}

void CMyFrame::OnItemToggled(HTREEITEM hItem) {
    if (hItem && std::find(m_toggledHere.begin(), m_toggledHere.end(), hItem) == m_toggledHere.end()) {
        m_toggledHere.push_back(hItem);
    }
}

void CMyFrame::ForgetToggled(HTREEITEM hItem) {
    m_toggledHere.erase(std::remove(m_toggledHere.begin(), m_toggledHere.end(), hItem), m_toggledHere.end());
}

// Only the folders the user toggled are looked at: a reload costs nothing
// more for a tree nobody opened or closed anything in.
std::vector<FolderOpenedHere> CMyFrame::FoldersOpenedHere(const TreeView& tree) const {
    std::vector<FolderOpenedHere> folders;
    for (HTREEITEM hItem : m_toggledHere) {
        const bool bOpen = tree.IsExpanded(hItem);
        const bool bStoredOpen = m_store.LoadedOpen(hItem);
        if (bOpen != bStoredOpen) folders.push_back({ShownItem::Of(tree, hItem), bOpen, bStoredOpen});
    }
    return folders;
}

// A folder whose stored state changed since this window loaded it follows
// the stored value; the others keep what this window made of them.
void CMyFrame::RestoreFoldersOpenedHere(TreeView& tree, const std::vector<FolderOpenedHere>& folders) {
    for (const FolderOpenedHere& folder : folders) {
        HTREEITEM hItem = folder.where.FindExactIn(tree);
        if (!hItem || m_store.LoadedOpen(hItem) != folder.bStoredOpen) continue;
        if (folder.bOpen) {
            tree.ExpandItem(hItem);
        } else {
            tree.Collapse(hItem);
        }
        m_toggledHere.push_back(hItem);
    }
}

void CMyFrame::SaveBeforeLeaving() {
    if (IsBarOpen() && ::IsWindow(m_hwndTree)) {
        edit::FinishLabelEdit(m_edits);
        if (m_store.Modified() && !SaveTree()) m_store.KeepUnsaved(Tree());
    } else {
        m_store.SavePending();
    }
    // What still cannot be written goes with the frame into the history.
    m_store.KeepUnsavedInHistory();
}

void CMyFrame::CloseBarFromHost(const BAR_EVENT_INFO* pInfo) {
    // A host that closes the bar without the save event first does not make
    // the edits since the last flush go with it; after a save event whose
    // save just failed, they are not tried again now. Edits not saved stay
    // with the frame, to be written at a later flush.
    const bool bSaveFailed = m_bSaveEventFailed;
    m_bSaveEventFailed = false;
    if (IsBarOpen() && ::IsWindow(m_hwndTree)) {
        edit::FinishLabelEdit(m_edits);
        if (m_store.Modified() && (bSaveFailed || !SaveTree())) m_store.KeepUnsaved(Tree());
    }
    ReleaseBar();
    // A close the properties dialog caused writes nothing: the dialog wrote
    // the side, and the OpenStartup this frame read when its window opened
    // may be stale (another window's bar may have closed since).
    const bool bSideChange = m_bKeepOpenStartup;
    m_bKeepOpenStartup = false;
    if (bSideChange) return;
    m_settings.bOpenStartup = (pInfo->nFlags & BAR_FLAG_OPEN_STARTUP) != 0;
    WriteSettings(m_settings);
}

void CMyFrame::ReopenBar() {
    if (!IsBarOpen()) return;
    const HWND hwndMain = MainWindow();
    // The move closes the bar. Edits that cannot be saved now (another
    // writer keeps the lock) keep it on its side with them still to save,
    // rather than going with the closed tree; the side chosen is stored and
    // applies at its next opening.
    edit::FinishLabelEdit(m_edits);
    if (GetFrame(hwndMain) != this || !IsBarOpen()) return;
    if (m_store.Modified() && !SaveTree()) return;
    m_bKeepOpenStartup = true;
    OnCommand(nullptr);  // the host closes the bar before this returns
    if (GetFrame(hwndMain) != this) return;  // and took the window with it
    m_bKeepOpenStartup = false;
    if (!IsBarOpen()) OnCommand(nullptr);
}

void CMyFrame::FinishSideChoice(int nBarPos) {
    // With no side chosen the frame keeps the one it had rather than
    // docking nowhere.
    if (nBarPos >= 0) {
        m_settings.nBarPos = nBarPos;
        WriteBarPosition(nBarPos);
    }
    if (m_settings.nBarPos != m_nOldBarPos) ReopenBar();
}

void CMyFrame::ReleaseBar() {
    m_dragState.End(Tree());
    m_subclass.Restore();
    HWND hwndTree = m_hwndTree;
    m_hwndTree = nullptr;
    m_nBarID = 0;
    if (hwndTree) ::DestroyWindow(hwndTree);
    m_himl.reset();
    m_toggledHere.clear();
    m_store.Forget();
}

TreeView BarEditSite::Tree() const {
    return m_frame.Tree();
}

FavoriteItemMap& BarEditSite::Records() {
    return m_frame.m_store.Records();
}

DragState& BarEditSite::Drag() {
    return m_frame.m_dragState;
}

void BarEditSite::MarkModified() {
    m_frame.m_store.MarkModified();
}

bool BarEditSite::TreeReportsDeletions() const {
    return m_frame.m_bTreeReportsDeletions;
}

HWND BarEditSite::HostWindow() const {
    return m_frame.MainWindow();
}

FavoriteItem CMyFrame::RecordOf(HTREEITEM hItem) const {
    const FavoriteItem* record = m_store.Records().FindItem(hItem);
    return record ? *record : FavoriteItem{};
}

bool BarEditSite::StillOpenAfter(void (*run)(void*), void* context) {
    const BarWatch watch(m_frame);
    run(context);
    return watch.StillOpen();
}

