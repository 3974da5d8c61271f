// The bar's context menu: find the item it is about, grey what does not
// apply, show it, and run the chosen command on the item.
#include "bar/frame.h"

#include "common/handles.h"
#include "common/module.h"
#include "res/resource.h"

namespace {

constexpr UINT kOpenAllLevels = 0xFFFFFFFF;

struct MenuPlacement {
    HTREEITEM hTarget = nullptr;
    POINT ptScreen = {};
};

MenuPlacement PlaceAtSelection(const TreeView& tree, HTREEITEM hSelected) {
    MenuPlacement placement;
    placement.hTarget = hSelected;
    placement.ptScreen = {4, 4};
    if (hSelected) {
        RECT rc = {};
        if (tree.ItemRect(hSelected, true, rc)) {
            placement.ptScreen = {rc.left, rc.bottom};
        }
    }
    ::ClientToScreen(tree.Window(), &placement.ptScreen);
    return placement;
}

}  // namespace

void CMyFrame::ShowContextMenu(bool bAtCursor) {
    if (!IsBarOpen()) return;
    UniqueMenu menu(::LoadMenuW(g_hInstance, MAKEINTRESOURCEW(IDR_CONTEXT_MENU)));
    if (!menu) return;
    HMENU hPopup = ::GetSubMenu(menu.get(), 0);
    if (!hPopup) return;

    MenuPlacement placement;
    if (bAtCursor) {
        ::GetCursorPos(&placement.ptScreen);
        placement.hTarget = Tree().HitTestScreen(placement.ptScreen);
    } else {
        placement = PlaceAtSelection(Tree(), GetSelectedItem());
    }

    if (!placement.hTarget) {
        ::EnableMenuItem(hPopup, ID_OPEN_FOLDER, MF_BYCOMMAND | MF_GRAYED);
        ::EnableMenuItem(hPopup, ID_OPEN_FOLDER_ALL, MF_BYCOMMAND | MF_GRAYED);
        ::EnableMenuItem(hPopup, ID_RUN_MACRO, MF_BYCOMMAND | MF_GRAYED);
    } else if (RecordOf(placement.hTarget).bFolder) {
        ::EnableMenuItem(hPopup, ID_RUN_MACRO, MF_BYCOMMAND | MF_GRAYED);
    } else {
        ::EnableMenuItem(hPopup, ID_OPEN_FOLDER, MF_BYCOMMAND | MF_GRAYED);
        ::EnableMenuItem(hPopup, ID_OPEN_FOLDER_ALL, MF_BYCOMMAND | MF_GRAYED);
    }

    const BarWatch watch(*this);
    const UINT nCommand = static_cast<UINT>(::TrackPopupMenu(hPopup, TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                                            placement.ptScreen.x, placement.ptScreen.y, 0,
                                                            m_hwndTree, nullptr));
    menu.reset();
    // The menu ran a message loop: the bar, or the frame, may be gone.
    if (!watch.StillOpen() || nCommand == 0) return;

    HTREEITEM hTarget =
        bAtCursor ? Tree().HitTestScreen(placement.ptScreen) : GetSelectedItem();
    switch (nCommand) {
    case ID_NEW_TEXT:
        edit::InsertNewItem(m_edits, hTarget, NewItemInfo{});
        break;
    case ID_NEW_FOLDER: {
        NewItemInfo info;
        info.bFolder = true;
        edit::InsertNewItem(m_edits, hTarget, info);
        break;
    }
    case ID_DELETE:
        edit::DeleteItem(m_edits, hTarget);
        break;
    case ID_RENAME:
        EditLabel(hTarget);
        break;
    case ID_MOVE_UP:
        edit::MoveItemUpDown(m_edits, hTarget, false);
        break;
    case ID_MOVE_DOWN:
        edit::MoveItemUpDown(m_edits, hTarget, true);
        break;
    case ID_OPEN_FOLDER:
        OpenFolderItems(hTarget, 0);
        break;
    case ID_OPEN_FOLDER_ALL:
        OpenFolderItems(hTarget, kOpenAllLevels);
        break;
    case ID_RUN_MACRO:
        RunMacro(hTarget);
        break;
    default:
        break;
    }
}
