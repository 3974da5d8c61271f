// The process-wide registry of frames: one CMyFrame per host main window.
#pragma once

#include <windows.h>

#include "plugin/host_interface.h"

extern HINSTANCE g_hInstance;

// The framework base of a frame, bound to its concrete class.
template <class T>
class CQorFrame {
public:
    // Runs the plug-in's command for this window; the concrete frame decides.
    virtual void OnCommand(HWND hwnd) = 0;
    HWND m_hWnd = nullptr;  // the host main window; set once by the registry

protected:
    // Frames are owned and destroyed as their concrete class.
    ~CQorFrame() = default;
};

class CMyFrame;

CMyFrame* GetFrame(HWND hwndMain);
CMyFrame* GetFrameFromWindow(HWND hwnd);
CMyFrame* CreateFrame();
void DispatchEvents(HWND hwnd, UINT nEvent, LPARAM lParam);
// The module is detached without the unload event: the frames go before the
// lock does.
void ReleaseFramesAtDetach(bool bProcessEnding);
