// A drag of an item inside the tree: the image drag with the mouse, the
// dragged item and where it would land.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "common/handles.h"
#include "edit/tree_view.h"

class EditSite;

namespace edit {
void OnBeginDrag(EditSite& site, NMTREEVIEWW* pInfo);
void OnDragMove(EditSite& site, int x, int y);
void OnEndDrag(EditSite& site);
}  // namespace edit

// Kept by the bar; the drag operations of edit/editing.h run it.
class DragState {
public:
    // A drag is running or still holds its item: the tree is not reloaded
    // under it.
    bool Busy() const { return m_drag.Active() || m_hDragItem; }

    // Ends the image drag, gives the mouse back if this tree holds it and
    // forgets the drag's items. Safe in any state, also while the bar goes
    // (a tree without a window is left alone).
    void End(TreeView tree);
    // Called before a subtree leaves the tree: a drag never keeps a handle
    // of it. Losing the dragged item ends the drag with no move; losing the
    // target leaves no target.
    void ForgetDeletedSubtree(const TreeView& tree, HTREEITEM hRoot);

private:
    friend void edit::OnBeginDrag(EditSite& site, NMTREEVIEWW* pInfo);
    friend void edit::OnDragMove(EditSite& site, int x, int y);
    friend void edit::OnEndDrag(EditSite& site);

    ImageDrag m_drag;
    HTREEITEM m_hDropTarget = nullptr;
    HTREEITEM m_hDragItem = nullptr;
    bool m_bInsertAfter = false;
    bool m_bDropInto = false;
};
