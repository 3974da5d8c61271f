// The item records of a frame, kept in step with its tree view.
#include "bar/frame.h"

FavoriteItem& CMyFrame::GetItem(HTREEITEM hItem) {
    return m_mapItems[hItem];
}

const std::wstring& CMyFrame::PathOf(HTREEITEM hItem) const {
    static const std::wstring kNoPath;
    const auto it = m_mapItems.find(hItem);
    return it == m_mapItems.end() ? kNoPath : it->second.strPath;
}

void CMyFrame::AddItem(HTREEITEM hItem, std::wstring strTitle, std::wstring strPath, bool bFolder) {
    // An existing record stays as it is. New items mostly get higher handles:
    // hinting at the end spares a bulk load a search per item.
    m_mapItems.emplace_hint(m_mapItems.end(), hItem, FavoriteItem{std::move(strTitle), std::move(strPath), bFolder});
}

void CMyFrame::SetItemTitle(HTREEITEM hItem, const std::wstring& strTitle) {
    GetItem(hItem).strTitle = strTitle;
}

void CMyFrame::RemoveItem(HTREEITEM hItem) {
    // Only the handles of the subtree matter here: no labels are read.
    m_mapItems.erase(hItem);
    for (HTREEITEM hChild = TreeNext(m_hwndTree, hItem, TVGN_CHILD); hChild;
         hChild = TreeNext(m_hwndTree, hChild, TVGN_NEXT)) {
        RemoveItem(hChild);
    }
}

void CMyFrame::ClearItems() {
    m_mapItems.clear();
}

void CMyFrame::CollectSubtree(HTREEITEM hItem, FlatList& list, unsigned& nDepth) const {
    wchar_t text[kTextBufferChars] = {};
    TVITEMW item = {};
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_STATE;
    item.stateMask = TVIS_EXPANDED;
    item.hItem = hItem;
    item.pszText = text;
    item.cchTextMax = kTextBufferChars;
    if (::SendMessageW(m_hwndTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
        text[kTextBufferChars - 1] = L'\0';
        list.push_back(FlatEntry{text, static_cast<BYTE>(nDepth), static_cast<BYTE>(item.iImage != kImageDocument),
                                 hItem, (item.state & TVIS_EXPANDED) != 0});
    }
    ++nDepth;
    for (HTREEITEM hChild = TreeNext(m_hwndTree, hItem, TVGN_CHILD); hChild;
         hChild = TreeNext(m_hwndTree, hChild, TVGN_NEXT)) {
        CollectSubtree(hChild, list, nDepth);
    }
    --nDepth;
}

void CMyFrame::CollectTree(FlatList& list) const {
    unsigned depth = 1;
    for (HTREEITEM hItem = TreeNext(m_hwndTree, nullptr, TVGN_ROOT); hItem;
         hItem = TreeNext(m_hwndTree, hItem, TVGN_NEXT)) {
        CollectSubtree(hItem, list, depth);
    }
}
