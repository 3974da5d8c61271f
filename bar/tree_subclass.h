// The bar's subclassing of its tree view.
#pragma once

#include <windows.h>

// The tree's window procedure replaced by the bar's for as long as this
// lives. The previous procedure of every subclassed tree is known by window,
// so messages the bar leaves alone go straight on without finding a frame.
//
// Restoring puts the previous procedure back only while the bar's is the one
// installed. When someone subclassed the tree after the bar, taking the bar's
// out would cut them out of the chain: the bar's procedure then stays in it,
// passing every message on, until the window's last message.
class TreeSubclass {
public:
    TreeSubclass() = default;
    ~TreeSubclass() { Restore(); }
    TreeSubclass(const TreeSubclass&) = delete;
    TreeSubclass& operator=(const TreeSubclass&) = delete;

    void Install(HWND hwnd, WNDPROC pfnProc);
    void Restore();
    WNDPROC Previous() const { return m_pfnOldTreeProc; }

    // The previous procedure of a tree the bar subclassed, or null
    // once it is restored.
    static WNDPROC PreviousOf(HWND hwnd);
    // The window's last message (WM_NCDESTROY) has reached the bar's
    // procedure: its previous procedure is no longer needed.
    static void WindowGone(HWND hwnd);

private:
    HWND m_hwnd = nullptr;
    WNDPROC m_pfnProc = nullptr;  // the bar's, as installed
    WNDPROC m_pfnOldTreeProc = nullptr;
};
