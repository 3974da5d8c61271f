// How the bar finds the frame of a window. The frame registry of the plug-in
// answers; the bar only asks, so it depends on nothing above it.
#pragma once

#include <windows.h>

class CMyFrame;

// The frame registered for a host main window, or null.
CMyFrame* GetFrame(HWND hwndMain);
// The frame of the root owner of any window (a tree view, a dialog), or null.
CMyFrame* GetFrameFromWindow(HWND hwnd);
