// The framework base of a frame: one object per host main window, bound to
// its concrete class.
#pragma once

#include <windows.h>

template <class T>
class CQorFrame {
public:
    // Runs the plug-in's command for this window; the concrete frame decides.
    virtual void OnCommand(HWND hwnd) = 0;
    HWND m_hWnd = nullptr;  // the host main window; set once by the frame registry

protected:
    // Frames are owned and destroyed as their concrete class.
    ~CQorFrame() = default;
};
