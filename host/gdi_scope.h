// Owners for the GDI resources the host draws with: each is given back when
// its owner goes out of scope.
#pragma once

#include <windows.h>

namespace hostsim {

class WindowDc {
public:
    explicit WindowDc(HWND hwnd) : m_hwnd(hwnd), m_dc(::GetWindowDC(hwnd)) {}
    ~WindowDc() {
        if (m_dc) ::ReleaseDC(m_hwnd, m_dc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return m_dc; }

private:
    HWND m_hwnd;
    HDC m_dc;
};

class MemoryDc {
public:
    MemoryDc() : m_dc(::CreateCompatibleDC(nullptr)) {}
    ~MemoryDc() {
        if (m_dc) ::DeleteDC(m_dc);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC Get() const { return m_dc; }

private:
    HDC m_dc;
};

// A pen, brush, bitmap or font the host created.
template <class Handle>
class GdiObject {
public:
    explicit GdiObject(Handle handle) : m_handle(handle) {}
    ~GdiObject() {
        if (m_handle) ::DeleteObject(m_handle);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    Handle Get() const { return m_handle; }

private:
    Handle m_handle;
};

// Selects an object into a DC and puts the previous one back.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(object ? ::SelectObject(dc, object) : nullptr) {}
    ~Selection() {
        if (m_old) ::SelectObject(m_dc, m_old);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

}  // namespace hostsim
