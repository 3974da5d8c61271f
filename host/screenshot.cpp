#include "host/screenshot.h"

#include <algorithm>
#include <vector>

#include "host/gdi_scope.h"

namespace hostsim {
namespace {

// A 24-bit bottom-up DIB selected into a memory DC, as a BMP file stores it.
class Canvas {
public:
    Canvas(int width, int height) : m_info(InfoFor(width, height)), m_bitmap(CreateDib(m_info, &m_bits)),
                                    m_selected(m_dc.Get(), m_bitmap.Get()) {}

    bool Valid() const { return m_dc.Get() && m_bitmap.Get() && m_bits; }
    // Each window is read from its own device context: Wine draws into window
    // surfaces that reach the X screen a little later, so a copy of the screen
    // can miss what was painted last.
    void Draw(HWND hwnd, POINT at) {
        RECT rc = {};
        ::GetWindowRect(hwnd, &rc);
        WindowDc source(hwnd);
        if (source.Get()) {
            ::BitBlt(m_dc.Get(), at.x, at.y, rc.right - rc.left, rc.bottom - rc.top, source.Get(), 0, 0, SRCCOPY);
        }
    }
    bool Save(const std::wstring& path) const {
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
    static BITMAPINFOHEADER InfoFor(int width, int height) {
        BITMAPINFOHEADER info = {};
        info.biSize = sizeof(info);
        info.biWidth = width;
        info.biHeight = height;  // positive: bottom-up
        info.biPlanes = 1;
        info.biBitCount = 24;
        info.biCompression = BI_RGB;
        info.biSizeImage = ((static_cast<DWORD>(width) * 3 + 3) / 4 * 4) * static_cast<DWORD>(height);
        return info;
    }
    static HBITMAP CreateDib(BITMAPINFOHEADER& info, void** bits) {
        return ::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, bits, nullptr, 0);
    }

    MemoryDc m_dc;
    BITMAPINFOHEADER m_info;
    void* m_bits = nullptr;
    GdiObject<HBITMAP> m_bitmap;
    Selection m_selected;
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
