#include "bar/tree_subclass.h"

#include <atomic>

namespace {

// The trees subclassed in this process, one per open bar. Every message of a
// tree arrives on the thread that made it, and the bar subclasses, restores
// and forgets a tree on that thread too: a slot holding a window is written
// only on that window's thread, so finding one's own slot needs no lock, and
// only taking a free slot must be atomic. Not thread_local: that costs a call
// per message where the compiler emulates it, and every message the bar
// leaves alone looks its tree up here. Plain values only, so the table needs
// no destruction at exit; bars beyond the slots are found through their
// frames.
struct SubclassSlot {
    std::atomic<HWND> hwnd;
    std::atomic<WNDPROC> pfnPrevious;
};
constexpr int kSubclassSlots = 16;
SubclassSlot g_subclassed[kSubclassSlots];

// False when every slot is taken.
bool Remember(HWND hwnd, WNDPROC pfnPrevious) {
    for (SubclassSlot& slot : g_subclassed) {
        if (slot.hwnd.load(std::memory_order_relaxed) == hwnd) {
            slot.pfnPrevious.store(pfnPrevious, std::memory_order_relaxed);
            return true;
        }
    }
    for (SubclassSlot& slot : g_subclassed) {
        HWND free = nullptr;
        if (slot.hwnd.load(std::memory_order_relaxed) == nullptr &&
            slot.hwnd.compare_exchange_strong(free, hwnd, std::memory_order_relaxed)) {
            slot.pfnPrevious.store(pfnPrevious, std::memory_order_relaxed);
            return true;
        }
    }
    return false;
}

void Forget(HWND hwnd) {
    for (SubclassSlot& slot : g_subclassed) {
        if (slot.hwnd.load(std::memory_order_relaxed) == hwnd) {
            slot.pfnPrevious.store(nullptr, std::memory_order_relaxed);
            slot.hwnd.store(nullptr, std::memory_order_relaxed);
        }
    }
}

}  // namespace

void TreeSubclass::Install(HWND hwnd, WNDPROC pfnProc) {
    Restore();
    m_hwnd = hwnd;
    m_pfnProc = pfnProc;
    m_pfnOldTreeProc =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnProc)));
    Remember(hwnd, m_pfnOldTreeProc);
}

void TreeSubclass::Restore() {
    if (!m_hwnd) return;
    const HWND hwnd = m_hwnd;
    const WNDPROC pfnOld = m_pfnOldTreeProc;
    const WNDPROC pfnProc = m_pfnProc;
    m_hwnd = nullptr;
    m_pfnProc = nullptr;
    m_pfnOldTreeProc = nullptr;
    if (!pfnOld || !::IsWindow(hwnd)) {
        Forget(hwnd);
        return;
    }
    const auto pfnCurrent = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    // Under another procedure the bar's stays, and its previous one must stay
    // known by window for as long; with no slot left for it, putting the
    // previous one back is the lesser harm (the other procedure misses the
    // rest, the control still sees its own destruction).
    if (pfnCurrent != pfnProc && Remember(hwnd, pfnOld)) return;
    Forget(hwnd);
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnOld));
}

void TreeSubclass::WindowGone(HWND hwnd) {
    Forget(hwnd);
}

WNDPROC TreeSubclass::PreviousOf(HWND hwnd) {
    for (const SubclassSlot& slot : g_subclassed) {
        if (slot.hwnd.load(std::memory_order_relaxed) == hwnd) return slot.pfnPrevious.load(std::memory_order_relaxed);
    }
    return nullptr;
}
