// Editing the favourites: new items and folders, renaming, deleting, and
// moving an item one step up or down.
#include "bar/frame.h"

#include <shlwapi.h>

#include "common/module.h"
#include "res/resource.h"
#include "store/favorites_format.h"

namespace {

// A new folder may stand at this level at most.
constexpr int kMaxFolderLevel = 99;

}  // namespace

void CMyFrame::InsertNewItem(HTREEITEM hTarget, const NewItemInfo& info) {
    if (!IsBarOpen()) return;
    HTREEITEM hParent = nullptr;
    if (hTarget) hParent = Tree().IsFolder(hTarget) ? hTarget : Tree().Parent(hTarget);
    const int level = Tree().LevelOf(hParent) + 1;
    // Nothing is created deeper than the store reloads in place.
    if (level > static_cast<int>(favfmt::kMaxDepth) || (info.bFolder && level > kMaxFolderLevel)) return;

    std::wstring strTitle = info.strTitle;
    std::wstring strPath = info.strPath;
    if (strTitle.empty()) {
        // Asking the host for its document runs host code.
        const BarWatch watch(*this);
        if (!GetNewItemNames(info.bFolder, strTitle, strPath) || !watch.StillOpen()) return;
    }

    // An insert-after item that is not a child of the parent appends the item.
    TreeView tree = Tree();
    HTREEITEM hNew = tree.InsertTreeItem(hParent, hTarget ? hTarget : TVI_LAST, strTitle, info.bFolder);
    if (!hNew) return;
    m_mapItems.AddItem(hNew, strTitle, strPath, info.bFolder);
    if (hParent) tree.ExpandItem(hParent);
    tree.Select(hNew);
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
    // Kept whole: favourites hold paths of any length, and a path cut short
    // would name another file.
    return path;
}

void CMyFrame::DeleteItem(HTREEITEM hItem) {
    if (!hItem || !IsBarOpen()) return;
    wchar_t question[kTextBufferChars] = {};
    wchar_t caption[kNameBufferChars] = {};
    const UINT idQuestion = Tree().HasChildren(hItem) ? IDS_DELETE_FOLDER : IDS_DELETE_ITEM;
    ::LoadStringW(g_hInstance, idQuestion, question, kTextBufferChars);
    ::LoadStringW(g_hInstance, IDS_NAME, caption, kNameBufferChars);
    const BarWatch watch(*this);
    const int answer = ::MessageBoxW(m_hwndTree, question, caption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    // The question ran a message loop: the bar, or the frame, may be gone.
    if (!watch.StillOpen() || answer != IDYES) return;
    // Until the tree's deletion notices have been seen to arrive, the
    // records go by a walk over the subtree while it is still there.
    if (!m_bTreeReportsDeletions) m_mapItems.RemoveItem(Tree(), hItem);
    ForgetDeletedSubtree(hItem);
    Tree().DeleteItem(hItem);
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
        label = Tree().ItemLabel(hItem);  // cancelled: the label it had
    }
    m_mapItems.SetItemTitle(hItem, label);
    m_bModified = true;
    return TRUE;
}

void CMyFrame::OnItemDeleted(HTREEITEM hItem) {
    // The drag has already let go of the subtree (ForgetDeletedSubtree).
    m_mapItems.EraseItem(hItem);
    m_bTreeReportsDeletions = true;
}

void CMyFrame::FinishLabelEdit() {
    if (!IsBarOpen() || !Tree().IsEditingLabel()) return;
    // Ends as Enter would: the tree reports the end, and OnEndLabelEdit takes
    // the typed text as the label.
    Tree().EndLabelEditNow();
}

void CMyFrame::MoveItemUpDown(HTREEITEM hItem, bool bDown) {
    if (!hItem || !IsBarOpen()) return;
    TreeView tree = Tree();
    if (!bDown) {
        HTREEITEM hAbove = tree.Next(hItem, TVGN_PREVIOUSVISIBLE);
        if (!hAbove) return;
        HTREEITEM hPrevSibling = tree.Next(hItem, TVGN_PREVIOUS);
        const bool bAfter = hPrevSibling && hPrevSibling != hAbove;
        MoveSubtree(hItem, hAbove, bAfter, false);
        return;
    }
    tree.Collapse(hItem);
    HTREEITEM hNext = tree.Next(hItem, TVGN_NEXTVISIBLE);
    if (!hNext) return;
    HTREEITEM hAfterNext = tree.Next(hNext, TVGN_NEXTVISIBLE);
    if (hAfterNext && (tree.NextSibling(hNext) || hAfterNext == tree.FirstChild(hNext))) {
        const bool bNextIsSibling = tree.NextSibling(hItem) == hNext;
        MoveSubtree(hItem, bNextIsSibling ? hAfterNext : hNext, false, false);
    } else {
        MoveSubtree(hItem, hNext, true, false);
    }
}
