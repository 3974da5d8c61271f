#include "host/object_counts.h"

#include <winternl.h>

#include "host/window_query.h"

namespace hostsim {
namespace {

// Wine answers GetGuiResources with 0. Its GDI handle table, which the PEB
// points to as on Windows, has one 24-byte entry per handle with the object
// type in byte 14 (0 when free); it holds this process's objects only.
DWORD CountWineGdiHandles() {
    if (!::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) return 0;
    constexpr size_t kTableOffsetInPeb = sizeof(void*) == 4 ? 0x94 : 0xF8;
    constexpr size_t kEntrySize = 24;
    constexpr size_t kTypeOffset = 14;
    constexpr size_t kMaxHandles = 0x10000;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"  // GCC misreads the TEB access
#endif
    const BYTE* peb = reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + kTableOffsetInPeb);
    if (!table) return 0;
    DWORD count = 0;
    for (size_t i = 0; i < kMaxHandles; ++i) {
        if (table[i * kEntrySize + kTypeOffset]) ++count;
    }
    return count;
}

BOOL CALLBACK CountWindowAndChildren(HWND hwnd, LPARAM lParam) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    // The input method's window comes and goes with the first and last top-level window.
    if (process != ::GetCurrentProcessId() || ClassOf(hwnd) == L"IME") return TRUE;
    auto* count = reinterpret_cast<DWORD*>(lParam);
    *count += 1 + static_cast<DWORD>(Children(hwnd).size());
    return TRUE;
}

// Under Wine: this process's windows (top-level, message-only and children,
// but not the input method's) and menus. Menus are found by their handle index, which Wine accepts
// without the upper word.
DWORD CountWineUserObjects() {
    if (!::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) return 0;
    DWORD count = 0;
    ::EnumWindows(CountWindowAndChildren, reinterpret_cast<LPARAM>(&count));
    for (HWND hwnd = ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); hwnd;
         hwnd = ::FindWindowExW(HWND_MESSAGE, hwnd, nullptr, nullptr)) {
        CountWindowAndChildren(hwnd, reinterpret_cast<LPARAM>(&count));
    }
    constexpr UINT_PTR kFirstUserHandle = 0x20;
    constexpr UINT_PTR kUserHandleSlots = 0x8000;
    for (UINT_PTR i = 0; i < kUserHandleSlots; ++i) {
        if (::IsMenu(reinterpret_cast<HMENU>(kFirstUserHandle + 2 * i))) ++count;
    }
    return count;
}

}  // namespace

DWORD GdiObjects() {
    const DWORD reported = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    return reported ? reported : CountWineGdiHandles();
}

DWORD UserObjects() {
    const DWORD reported = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    return reported ? reported : CountWineUserObjects();
}

}  // namespace hostsim
