// Handing favourite files to the host: opening them, and running one as a macro.
#include "bar/frame.h"

#include "store/registry_key.h"

namespace {

// The host's macro slot takes the text; the key is the host's and is never
// created here.
bool SetHostString(const wchar_t* pszKeyPath, const wchar_t* pszName, const std::wstring& strText) {
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, pszKeyPath, KEY_ALL_ACCESS);
    if (!key) return false;
    // The host reads the value by its byte count, without a terminator.
    // NOLINTNEXTLINE(bugprone-misplaced-widening-cast): size_t and DWORD are both 32 bits on this target
    const DWORD cb = static_cast<DWORD>(strText.size() * sizeof(wchar_t));
    return key.Write(pszName, REG_SZ, strText.c_str(), cb) == ERROR_SUCCESS;
}

}  // namespace

// The host may close the bar, or the window, while it opens the file: the
// flag is set before, and the frame is touched afterwards only when the
// result says the bar is still there.
bool CMyFrame::SendOpenFile(const std::wstring& strPath) {
    OPEN_FILE_INFO info = {sizeof(OPEN_FILE_INFO), {0, 1, 0, 1, 1, 1}};
    m_bOpened = true;
    const BarWatch watch(*this);
    ::SendMessageW(MainWindow(), HM_OPEN_FILE, reinterpret_cast<WPARAM>(&info),
                   reinterpret_cast<LPARAM>(strPath.c_str()));
    return watch.StillOpen();
}

void CMyFrame::OpenItem(HTREEITEM hItem) {
    if (!hItem) return;
    const FavoriteItem item = RecordOf(hItem);
    if (item.bFolder) return;
    SendOpenFile(item.strPath);
}

void CMyFrame::OpenFolderItems(HTREEITEM hItem, UINT nDepthLimit) {
    HTREEITEM hFolder = nullptr;
    const TreeView tree = Tree();
    if (hItem) hFolder = RecordOf(hItem).bFolder ? hItem : tree.Parent(hItem);
    HTREEITEM hFirst = tree.FirstChild(hFolder);
    // The walk holds item handles across requests to the host.
    const BarWatch watch(*this);
    OpenItems(hFirst, nDepthLimit, 0);
}

bool CMyFrame::OpenItems(HTREEITEM hFirst, UINT nDepthLimit, UINT nDepth) {
    for (HTREEITEM hItem = hFirst; hItem; hItem = Tree().NextSibling(hItem)) {
        // A copy: opening sends a message to the host, which may call back in.
        const FavoriteItem item = RecordOf(hItem);
        if (!item.bFolder && !SendOpenFile(item.strPath)) return false;
        if (nDepthLimit > nDepth && !OpenItems(Tree().FirstChild(hItem), nDepthLimit, nDepth + 1)) {
            return false;
        }
    }
    return true;
}

void CMyFrame::RunMacro(HTREEITEM hItem) {
    if (!hItem) return;
    const FavoriteItem item = RecordOf(hItem);
    if (item.bFolder) return;
    SetHostString(HOST_MACRO_KEY, HOST_FIRST_MACRO_VALUE, item.strPath);
    // The macro may close the bar or the window: nothing follows it.
    ::SendMessageW(MainWindow(), HM_EXEC_COMMAND, CMD_RUN_FIRST_MACRO, 0);
}
