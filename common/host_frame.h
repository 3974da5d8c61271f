// The base of a frame: one object per host main window, bound to that window
// once by the frame registry.
#pragma once

#include <windows.h>

class HostFrame {
public:
    HWND MainWindow() const { return m_hWnd; }
    void BindTo(HWND hwndMain) { m_hWnd = hwndMain; }

protected:
    // Frames are owned and destroyed as their concrete class.
    ~HostFrame() = default;

private:
    HWND m_hWnd = nullptr;  // the host main window
};
