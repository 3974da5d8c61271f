// What the edits need of the bar they work on. The bar implements it; edit/
// lies below bar/ and never calls into it.
#pragma once

#include <windows.h>

#include "edit/tree_view.h"
#include "store/item_model.h"

class DragState;

class EditSite {
public:
    // The bar's tree; one without a window once the bar is closed.
    virtual TreeView Tree() const = 0;
    bool IsBarOpen() const { return Tree().Window() != nullptr; }
    virtual FavoriteItemMap& Records() = 0;
    virtual DragState& Drag() = 0;
    // The tree now differs from what was last loaded or saved.
    virtual void MarkModified() = 0;
    // Whether deleted items drop their records as the tree reports them, so
    // a delete needs no walk over its subtree first.
    virtual bool TreeReportsDeletions() const = 0;
    // The host main window, which answers the current-document request.
    virtual HWND HostWindow() const = 0;
    // Runs run(context), which runs a nested message loop (a message box)
    // or host code; false when the bar (or its window) went meanwhile, and
    // nothing of it may be touched.
    virtual bool StillOpenAfter(void (*run)(void*), void* context) = 0;

protected:
    ~EditSite() = default;
};

// Runs work (any callable) through the site's watch.
template <class Work>
bool StillOpenAfter(EditSite& site, Work& work) {
    return site.StillOpenAfter([](void* context) { (*static_cast<Work*>(context))(); }, &work);
}
