// Editing the favourites: new items and folders, renaming, deleting, and
// moving an item one step up or down.
#include "bar/frame.h"

#include <shlwapi.h>

#include "res/resource.h"
#include "store/favorites_format.h"

namespace {

// A new folder may stand at this level at most.
constexpr int kMaxFolderLevel = 99;
// No item is created deeper than the store loads in place.
constexpr int kMaxStoredLevel = static_cast<int>(favfmt::kMaxDepth);

}  // namespace

HTREEITEM CMyFrame::InsertTreeItem(HTREEITEM hParent, HTREEITEM hInsertAfter, const std::wstring& strLabel,
                                   bool bFolder) {
    TVINSERTSTRUCTW insert = {};
    insert.hParent = hParent;
    insert.hInsertAfter = hInsertAfter;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<wchar_t*>(strLabel.c_str());
    insert.item.iImage = ImageFor(bFolder);
    insert.item.iSelectedImage = ImageFor(bFolder);
    return reinterpret_cast<HTREEITEM>(::SendMessageW(m_hwndTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

int CMyFrame::LevelOf(HTREEITEM hItem) const {
    int level = 0;
    for (; hItem; hItem = TreeNext(m_hwndTree, hItem, TVGN_PARENT)) ++level;
    return level;
}

void CMyFrame::InsertNewItem(HTREEITEM hTarget, const NewItemInfo& info) {
    if (!IsBarOpen()) return;
    HTREEITEM hParent = nullptr;
    if (hTarget) {
        wchar_t text[kTextBufferChars];
        hParent = IsFolderItem(hTarget, text) ? hTarget : TreeNext(m_hwndTree, hTarget, TVGN_PARENT);
    }
    const int level = LevelOf(hParent) + 1;
    if (level > kMaxStoredLevel || (info.bFolder && level > kMaxFolderLevel)) return;

    std::wstring strTitle = info.strTitle;
    std::wstring strPath = info.strPath;
    if (strTitle.empty()) {
        // Asking the host for its document runs host code.
        const BarWatch watch(*this);
        if (!GetNewItemNames(info.bFolder, strTitle, strPath) || !watch.StillOpen()) return;
    }

    // An insert-after item that is not a child of the parent appends the item.
    HTREEITEM hNew = InsertTreeItem(hParent, hTarget ? hTarget : TVI_LAST, strTitle, info.bFolder);
    if (!hNew) return;
    AddItem(hNew, strTitle, strPath, info.bFolder);
    if (hParent) ::SendMessageW(m_hwndTree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(hParent));
    ::SendMessageW(m_hwndTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hNew));
    EditLabel(hNew);
}

bool CMyFrame::GetNewItemNames(bool bFolder, std::wstring& strTitle, std::wstring& strPath) {
    if (bFolder) {
        strTitle = L"New Folder";
        strPath.clear();
        return true;
    }
    strPath = GetCurrentDocPath();
    if (strPath.empty()) return false;
    strTitle = ::PathFindFileNameW(strPath.c_str());
    return true;
}

std::wstring CMyFrame::GetCurrentDocPath() {
    // The buffer holds what the message announces, so a host that trusts it
    // stays inside. Cleared first: a host that writes nothing leaves an empty
    // path, not stale memory.
    wchar_t path[HOST_DOC_PATH_PARAM] = {};
    ::SendMessageW(m_hWnd, HM_GET_DOC_PATH, HOST_DOC_PATH_PARAM, reinterpret_cast<LPARAM>(path));
    path[HOST_DOC_PATH_PARAM - 1] = L'\0';
    std::wstring strPath = path;
    // Paths are kept within the limit of every other path buffer.
    if (strPath.size() >= kTextBufferChars) strPath.resize(kTextBufferChars - 1);
    return strPath;
}

void CMyFrame::DeleteItem(HTREEITEM hItem) {
    if (!hItem || !IsBarOpen()) return;
    wchar_t question[kTextBufferChars] = {};
    wchar_t caption[kNameBufferChars] = {};
    const UINT idQuestion = TreeHasChildren(m_hwndTree, hItem) ? IDS_DELETE_FOLDER : IDS_DELETE_ITEM;
    ::LoadStringW(g_hInstance, idQuestion, question, kTextBufferChars);
    ::LoadStringW(g_hInstance, IDS_NAME, caption, kNameBufferChars);
    const BarWatch watch(*this);
    const int answer = ::MessageBoxW(m_hwndTree, question, caption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    // The question ran a message loop: the bar, or the frame, may be gone.
    if (!watch.StillOpen() || answer != IDYES) return;
    // Until the tree's deletion notices have been seen to arrive, the
    // records go by a walk over the subtree while it is still there.
    if (!m_bDeleteNotified) RemoveItem(hItem);
    ForgetDeletedSubtree(hItem);
    ::SendMessageW(m_hwndTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(hItem));
    m_bModified = true;
}

BOOL CMyFrame::OnEndLabelEdit(NMTVDISPINFOW* pInfo) {
    HTREEITEM hItem = pInfo->item.hItem;
    std::wstring label;
    if (pInfo->item.pszText) {
        // The confirmed text becomes the label once this returns TRUE.
        label = pInfo->item.pszText;
        if (label.size() >= kTextBufferChars) label.resize(kTextBufferChars - 1);
    } else {
        wchar_t text[kTextBufferChars];
        IsFolderItem(hItem, text);
        label = text;
    }
    SetItemTitle(hItem, label);
    m_bModified = true;
    return TRUE;
}

void CMyFrame::FinishLabelEdit() {
    if (!IsBarOpen() || !::SendMessageW(m_hwndTree, TVM_GETEDITCONTROL, 0, 0)) return;
    // Ends as Enter would: the tree reports the end, and OnEndLabelEdit takes
    // the typed text as the label.
    ::SendMessageW(m_hwndTree, TVM_ENDEDITLABELNOW, FALSE, 0);
}

void CMyFrame::MoveItemUpDown(HTREEITEM hItem, bool bDown) {
    if (!hItem || !IsBarOpen()) return;
    if (!bDown) {
        HTREEITEM hAbove = TreeNext(m_hwndTree, hItem, TVGN_PREVIOUSVISIBLE);
        if (!hAbove) return;
        HTREEITEM hPrevSibling = TreeNext(m_hwndTree, hItem, TVGN_PREVIOUS);
        const bool bAfter = hPrevSibling && hPrevSibling != hAbove;
        MoveSubtree(hItem, hAbove, bAfter, false);
        return;
    }
    ::SendMessageW(m_hwndTree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(hItem));
    HTREEITEM hNext = TreeNext(m_hwndTree, hItem, TVGN_NEXTVISIBLE);
    if (!hNext) return;
    HTREEITEM hAfterNext = TreeNext(m_hwndTree, hNext, TVGN_NEXTVISIBLE);
    if (hAfterNext && (TreeNext(m_hwndTree, hNext, TVGN_NEXT) ||
                       hAfterNext == TreeNext(m_hwndTree, hNext, TVGN_CHILD))) {
        const bool bNextIsSibling = TreeNext(m_hwndTree, hItem, TVGN_NEXT) == hNext;
        MoveSubtree(hItem, bNextIsSibling ? hAfterNext : hNext, false, false);
    } else {
        MoveSubtree(hItem, hNext, true, false);
    }
}
