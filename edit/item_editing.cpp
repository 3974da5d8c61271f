// Editing the favourites: new items and folders, renaming, deleting, and
// moving an item one step up or down.
#include <shlwapi.h>

#include "common/host_interface.h"
#include "common/module.h"
#include "edit/drag_state.h"
#include "edit/editing.h"
#include "res/resource.h"
#include "store/favorites_format.h"

namespace {

// A new folder may stand at this level at most.
constexpr int kMaxFolderLevel = 99;

}  // namespace

namespace edit {

void InsertNewItem(EditSite& site, HTREEITEM hTarget, const NewItemInfo& info) {
    if (!site.IsBarOpen()) return;
    TreeView tree = site.Tree();
    HTREEITEM hParent = nullptr;
    if (hTarget) hParent = tree.IsFolderItem(hTarget) ? hTarget : tree.Parent(hTarget);
    const int level = tree.LevelOf(hParent) + 1;
    // Nothing is created deeper than the store reloads in place.
    if (level > static_cast<int>(favfmt::kMaxDepth) || (info.bFolder && level > kMaxFolderLevel)) return;

    std::wstring strTitle = info.strTitle;
    std::wstring strPath = info.strPath;
    if (strTitle.empty()) {
        // Asking the host for its document runs host code.
        bool bNamed = false;
        auto name = [&] { bNamed = GetNewItemNames(site, info.bFolder, strTitle, strPath); };
        const bool bOpen = StillOpenAfter(site, name);
        if (!bNamed || !bOpen) return;
    }

    // An insert-after item that is not a child of the parent appends the item.
    HTREEITEM hNew = tree.InsertItem(hParent, hTarget ? hTarget : TVI_LAST, strTitle, info.bFolder);
    if (!hNew) return;
    site.Records().AddItem(hNew, strTitle, strPath, info.bFolder);
    if (hParent) tree.ExpandItem(hParent);
    tree.Select(hNew);
    tree.EditLabel(hNew);
}

bool GetNewItemNames(EditSite& site, bool bFolder, std::wstring& strTitle, std::wstring& strPath) {
    if (bFolder) {
        strTitle = L"New Folder";
        strPath.clear();
        return true;
    }
    strPath = GetCurrentDocPath(site.HostWindow());
    if (strPath.empty()) return false;
    strTitle = ::PathFindFileNameW(strPath.c_str());
    return true;
}

std::wstring GetCurrentDocPath(HWND hwndHost) {
    // The buffer holds what the message announces, so a host that trusts it
    // stays inside. Cleared first: a host that writes nothing leaves an empty
    // path, not stale memory.
    wchar_t path[HOST_DOC_PATH_PARAM] = {};
    ::SendMessageW(hwndHost, HM_GET_DOC_PATH, HOST_DOC_PATH_PARAM, reinterpret_cast<LPARAM>(path));
    path[HOST_DOC_PATH_PARAM - 1] = L'\0';
    // Kept whole: favourites hold paths of any length, and a path cut short
    // would name another file.
    return path;
}

void DeleteItem(EditSite& site, HTREEITEM hItem) {
    if (!hItem || !site.IsBarOpen()) return;
    wchar_t question[kTextBufferChars] = {};
    wchar_t caption[kNameBufferChars] = {};
    const TreeView tree = site.Tree();
    const UINT idQuestion = tree.HasChildren(hItem) ? IDS_DELETE_FOLDER : IDS_DELETE_ITEM;
    ::LoadStringW(g_hInstance, idQuestion, question, kTextBufferChars);
    ::LoadStringW(g_hInstance, IDS_NAME, caption, kNameBufferChars);
    int answer = IDNO;
    auto ask = [&] {
        answer = ::MessageBoxW(tree.Window(), question, caption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    };
    const bool bOpen = StillOpenAfter(site, ask);
    // The question ran a message loop: the bar, or the frame, may be gone.
    if (!bOpen || answer != IDYES) return;
    DeleteAnswered(site, hItem);
}

void DeleteAnswered(EditSite& site, HTREEITEM hItem) {
    TreeView tree = site.Tree();
    // Until the tree's deletion notices have been seen to arrive, the
    // records go by a walk over the subtree while it is still there.
    if (!site.TreeReportsDeletions()) site.Records().RemoveItem(tree, hItem);
    site.Drag().ForgetDeletedSubtree(tree, hItem);
    tree.DeleteItem(hItem);
    site.MarkModified();
}

BOOL OnEndLabelEdit(EditSite& site, NMTVDISPINFOW* pInfo) {
    HTREEITEM hItem = pInfo->item.hItem;
    std::wstring label;
    if (pInfo->item.pszText) {
        // The confirmed text becomes the label once this returns TRUE.
        label = pInfo->item.pszText;
        if (label.size() >= kTextBufferChars) label.resize(kTextBufferChars - 1);
    } else {
        label = site.Tree().ItemLabel(hItem);  // cancelled: the label it had
    }
    site.Records().SetItemTitle(hItem, label);
    site.MarkModified();
    return TRUE;
}

void FinishLabelEdit(EditSite& site) {
    if (!site.IsBarOpen() || !site.Tree().IsEditingLabel()) return;
    // Ends as Enter would: the tree reports the end, and OnEndLabelEdit takes
    // the typed text as the label.
    site.Tree().EndLabelEditNow();
}

void MoveItemUpDown(EditSite& site, HTREEITEM hItem, bool bDown) {
    if (!hItem || !site.IsBarOpen()) return;
    TreeView tree = site.Tree();
    if (!bDown) {
        HTREEITEM hAbove = tree.Next(hItem, TVGN_PREVIOUSVISIBLE);
        if (!hAbove) return;
        HTREEITEM hPrevSibling = tree.Next(hItem, TVGN_PREVIOUS);
        const bool bAfter = hPrevSibling && hPrevSibling != hAbove;
        MoveSubtree(site, hItem, hAbove, bAfter, false);
        return;
    }
    tree.Collapse(hItem);
    HTREEITEM hNext = tree.Next(hItem, TVGN_NEXTVISIBLE);
    if (!hNext) return;
    HTREEITEM hAfterNext = tree.Next(hNext, TVGN_NEXTVISIBLE);
    if (hAfterNext && (tree.NextSibling(hNext) || hAfterNext == tree.FirstChild(hNext))) {
        const bool bNextIsSibling = tree.NextSibling(hItem) == hNext;
        MoveSubtree(site, hItem, bNextIsSibling ? hAfterNext : hNext, false, false);
    } else {
        MoveSubtree(site, hItem, hNext, true, false);
    }
}

}  // namespace edit
