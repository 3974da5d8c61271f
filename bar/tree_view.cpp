#include "bar/tree_view.h"

#include <atomic>
#include <cstring>

#include "store/item_model.h"

namespace {

LRESULT Send(HWND hwnd, UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageW(hwnd, uMsg, wParam, lParam);
}

LPARAM ItemParam(HTREEITEM hItem) {
    return reinterpret_cast<LPARAM>(hItem);
}

}  // namespace

bool TreeView::Exists() const {
    return m_hwnd && ::IsWindow(m_hwnd);
}

HTREEITEM TreeView::Next(HTREEITEM hItem, UINT nCode) const {
    return reinterpret_cast<HTREEITEM>(Send(m_hwnd, TVM_GETNEXTITEM, nCode, ItemParam(hItem)));
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
    if (!Send(m_hwnd, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return false;
    text[kTextBufferChars - 1] = L'\0';
    strLabel = text;
    bFolder = item.iImage != kImageDocument;
    bExpanded = (item.state & TVIS_EXPANDED) != 0;
    return true;
}

void TreeView::ExpandItem(HTREEITEM hItem) {
    Send(m_hwnd, TVM_EXPAND, TVE_EXPAND, ItemParam(hItem));
}

void TreeView::Collapse(HTREEITEM hItem) {
    Send(m_hwnd, TVM_EXPAND, TVE_COLLAPSE, ItemParam(hItem));
}

void TreeView::DeleteAllItems() {
    DeleteItem(TVI_ROOT);
}

void TreeView::DeleteItem(HTREEITEM hItem) {
    Send(m_hwnd, TVM_DELETEITEM, 0, ItemParam(hItem));
}

void TreeView::SetRedraw(bool bRedraw) {
    Send(m_hwnd, WM_SETREDRAW, bRedraw ? TRUE : FALSE);
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

bool TreeView::IsFolder(HTREEITEM hItem) const {
    TVITEMW item = {};
    item.mask = TVIF_IMAGE;
    item.hItem = hItem;
    if (!Send(m_hwnd, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return false;
    return item.iImage != kImageDocument;
}

bool TreeView::ItemRect(HTREEITEM hItem, bool bTextOnly, RECT& rc) const {
    // The message takes the item in the rectangle it fills.
    std::memcpy(&rc, &hItem, sizeof(hItem));  // NOLINT(bugprone-sizeof-expression): the handle, not what it names
    return Send(m_hwnd, TVM_GETITEMRECT, bTextOnly, reinterpret_cast<LPARAM>(&rc)) != FALSE;
}

int TreeView::ItemHeight() const {
    return static_cast<int>(Send(m_hwnd, TVM_GETITEMHEIGHT));
}

HTREEITEM TreeView::HitTest(POINT ptClient) const {
    TVHITTESTINFO hit = {};
    hit.pt = ptClient;
    return reinterpret_cast<HTREEITEM>(Send(m_hwnd, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

HTREEITEM TreeView::HitTestScreen(POINT ptScreen) const {
    ::ScreenToClient(m_hwnd, &ptScreen);
    return HitTest(ptScreen);
}

HTREEITEM TreeView::InsertTreeItem(HTREEITEM hParent, HTREEITEM hInsertAfter, const std::wstring& strLabel,
                                   bool bFolder) {
    TVINSERTSTRUCTW insert = {};
    insert.hParent = hParent;
    insert.hInsertAfter = hInsertAfter;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<wchar_t*>(strLabel.c_str());
    insert.item.iImage = ImageFor(bFolder);
    insert.item.iSelectedImage = ImageFor(bFolder);
    return reinterpret_cast<HTREEITEM>(Send(m_hwnd, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void TreeView::SetFirstVisible(HTREEITEM hItem) {
    Send(m_hwnd, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, ItemParam(hItem));
}

bool TreeView::IsExpanded(HTREEITEM hItem) const {
    return (Send(m_hwnd, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(hItem), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

void TreeView::Select(HTREEITEM hItem) {
    Send(m_hwnd, TVM_SELECTITEM, TVGN_CARET, ItemParam(hItem));
}

void TreeView::SetImageList(HIMAGELIST himl) {
    Send(m_hwnd, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(himl));
}

void TreeView::UseUnicodeNotices() {
    TreeView_SetUnicodeFormat(m_hwnd, TRUE);
}

void TreeView::EditLabel(HTREEITEM hItem) {
    Send(m_hwnd, TVM_EDITLABELW, 0, ItemParam(hItem));
}

bool TreeView::IsEditingLabel() const {
    return Send(m_hwnd, TVM_GETEDITCONTROL) != 0;
}

void TreeView::EndLabelEditNow() {
    Send(m_hwnd, TVM_ENDEDITLABELNOW, FALSE);
}

HIMAGELIST TreeView::CreateDragImage(HTREEITEM hItem) {
    return reinterpret_cast<HIMAGELIST>(Send(m_hwnd, TVM_CREATEDRAGIMAGE, 0, ItemParam(hItem)));
}

void TreeView::SetInsertMark(HTREEITEM hItem, bool bAfter) {
    Send(m_hwnd, TVM_SETINSERTMARK, bAfter ? TRUE : FALSE, ItemParam(hItem));
}

void TreeView::SetDropTarget(HTREEITEM hItem) {
    Send(m_hwnd, TVM_SELECTITEM, TVGN_DROPHILITE, ItemParam(hItem));
}

void TreeView::ScrollLine(bool bUp) {
    Send(m_hwnd, WM_VSCROLL, bUp ? SB_LINEUP : SB_LINEDOWN);
}

namespace {

// The trees subclassed in this process, one per open bar. Every message of a
// tree arrives on the thread that made it, and the bar subclasses, restores
// and forgets a tree on that thread too: a slot holding a window is written
// only on that window's thread, so finding one's own slot needs no lock, and
// only taking a free slot must be atomic. Not thread_local: that costs a call
// per message where the compiler emulates it, and every message the bar
// leaves alone looks its tree up here. Plain values only, so the table needs
// no destruction at exit; bars beyond the slots are found through their
// frames.
struct SubclassSlot {
    std::atomic<HWND> hwnd;
    std::atomic<WNDPROC> pfnPrevious;
};
constexpr int kSubclassSlots = 16;
SubclassSlot g_subclassed[kSubclassSlots];

// False when every slot is taken.
bool Remember(HWND hwnd, WNDPROC pfnPrevious) {
    for (SubclassSlot& slot : g_subclassed) {
        if (slot.hwnd.load(std::memory_order_relaxed) == hwnd) {
            slot.pfnPrevious.store(pfnPrevious, std::memory_order_relaxed);
            return true;
        }
    }
    for (SubclassSlot& slot : g_subclassed) {
        HWND free = nullptr;
        if (slot.hwnd.load(std::memory_order_relaxed) == nullptr &&
            slot.hwnd.compare_exchange_strong(free, hwnd, std::memory_order_relaxed)) {
            slot.pfnPrevious.store(pfnPrevious, std::memory_order_relaxed);
            return true;
        }
    }
    return false;
}

void Forget(HWND hwnd) {
    for (SubclassSlot& slot : g_subclassed) {
        if (slot.hwnd.load(std::memory_order_relaxed) == hwnd) {
            slot.pfnPrevious.store(nullptr, std::memory_order_relaxed);
            slot.hwnd.store(nullptr, std::memory_order_relaxed);
        }
    }
}

}  // namespace

void TreeSubclass::Install(HWND hwnd, WNDPROC pfnProc) {
    Restore();
    m_hwnd = hwnd;
    m_pfnProc = pfnProc;
    m_pfnOldTreeProc =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnProc)));
    Remember(hwnd, m_pfnOldTreeProc);
}

void TreeSubclass::Restore() {
    if (!m_hwnd) return;
    const HWND hwnd = m_hwnd;
    const WNDPROC pfnOld = m_pfnOldTreeProc;
    const WNDPROC pfnProc = m_pfnProc;
    m_hwnd = nullptr;
    m_pfnProc = nullptr;
    m_pfnOldTreeProc = nullptr;
    if (!pfnOld || !::IsWindow(hwnd)) {
        Forget(hwnd);
        return;
    }
    const auto pfnCurrent = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    // Under another procedure the bar's stays, and its previous one must stay
    // known by window for as long; with no slot left for it, putting the
    // previous one back is the lesser harm (the other procedure misses the
    // rest, the control still sees its own destruction).
    if (pfnCurrent != pfnProc && Remember(hwnd, pfnOld)) return;
    Forget(hwnd);
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnOld));
}

void TreeSubclass::WindowGone(HWND hwnd) {
    Forget(hwnd);
}

WNDPROC TreeSubclass::PreviousOf(HWND hwnd) {
    for (const SubclassSlot& slot : g_subclassed) {
        if (slot.hwnd.load(std::memory_order_relaxed) == hwnd) return slot.pfnPrevious.load(std::memory_order_relaxed);
    }
    return nullptr;
}
