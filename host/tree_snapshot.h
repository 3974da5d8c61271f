// The tree view as a person sees it: each item's label, icon, level and
// whether it is open, in pre-order.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace hostsim {

// One tree item as a person sees it; depth 1 for top-level items.
struct TreeItem {
    std::wstring label;
    int image = -1;
    int depth = 0;
    bool expanded = false;
    HTREEITEM handle = nullptr;
};
std::vector<TreeItem> TreeSnapshot(HWND tree);  // in pre-order
HTREEITEM FindItem(HWND tree, const std::wstring& label);  // the first in pre-order, or null
HTREEITEM Selected(HWND tree);

}  // namespace hostsim
