#include "host/screenshot.h"

#include <algorithm>
#include <vector>

namespace hostsim {
namespace {

// Each window is read from its own device context: Wine draws into window
// surfaces that reach the X screen only a little later, so a copy of the
// screen can miss what was painted last.
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

// A 24-bit bottom-up DIB selected into a memory DC, as a BMP file stores it.
class Canvas {
public:
    Canvas(int width, int height) {
        m_info.biSize = sizeof(m_info);
        m_info.biWidth = width;
        m_info.biHeight = height;
        m_info.biPlanes = 1;
        m_info.biBitCount = 24;
        m_info.biCompression = BI_RGB;
        m_info.biSizeImage = ((static_cast<DWORD>(width) * 3 + 3) / 4 * 4) * static_cast<DWORD>(height);
        m_dc = ::CreateCompatibleDC(nullptr);
        m_bitmap = ::CreateDIBSection(m_dc, reinterpret_cast<BITMAPINFO*>(&m_info), DIB_RGB_COLORS, &m_bits, nullptr, 0);
        if (m_bitmap) m_old = ::SelectObject(m_dc, m_bitmap);
    }
    ~Canvas() {
        if (m_old) ::SelectObject(m_dc, m_old);
        if (m_bitmap) ::DeleteObject(m_bitmap);
        if (m_dc) ::DeleteDC(m_dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool Valid() const { return m_dc && m_bitmap && m_bits; }
    void Draw(HWND hwnd, POINT at) {
        RECT rc = {};
        ::GetWindowRect(hwnd, &rc);
        WindowDc source(hwnd);
        if (source.Get()) ::BitBlt(m_dc, at.x, at.y, rc.right - rc.left, rc.bottom - rc.top, source.Get(), 0, 0, SRCCOPY);
    }
    bool Save(const std::wstring& path) {
        ::GdiFlush();
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;  // "BM"
        file.bfOffBits = sizeof(file) + sizeof(m_info);
        file.bfSize = file.bfOffBits + m_info.biSizeImage;
        HANDLE out = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (out == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        const bool ok = ::WriteFile(out, &file, sizeof(file), &written, nullptr) &&
                        ::WriteFile(out, &m_info, sizeof(m_info), &written, nullptr) &&
                        ::WriteFile(out, m_bits, m_info.biSizeImage, &written, nullptr);
        ::CloseHandle(out);
        return ok;
    }

private:
    BITMAPINFOHEADER m_info = {};
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    void* m_bits = nullptr;
};

struct FrontWindows {
    HWND target;
    std::vector<HWND> above;  // front-most first
};

// Top-level windows come in z-order, front-most first, down to the target.
BOOL CALLBACK CollectFrontWindows(HWND hwnd, LPARAM lParam) {
    auto* front = reinterpret_cast<FrontWindows*>(lParam);
    if (hwnd == front->target) return FALSE;
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    if (process == ::GetCurrentProcessId() && ::IsWindowVisible(hwnd)) front->above.push_back(hwnd);
    return TRUE;
}

}  // namespace

bool SaveWindowBitmap(HWND hwnd, const std::wstring& path) {
    RECT rc = {};
    if (!::GetWindowRect(hwnd, &rc) || rc.right <= rc.left || rc.bottom <= rc.top) return false;
    FrontWindows front = {hwnd, {}};
    ::EnumWindows(CollectFrontWindows, reinterpret_cast<LPARAM>(&front));
    std::reverse(front.above.begin(), front.above.end());

    Canvas canvas(rc.right - rc.left, rc.bottom - rc.top);
    if (!canvas.Valid()) return false;
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    canvas.Draw(hwnd, {0, 0});
    for (HWND window : front.above) {
        RECT at = {};
        ::GetWindowRect(window, &at);
        RECT overlap = {};
        if (!::IntersectRect(&overlap, &at, &rc)) continue;
        ::UpdateWindow(window);
        canvas.Draw(window, {at.left - rc.left, at.top - rc.top});
    }
    return canvas.Save(path);
}

}  // namespace hostsim
