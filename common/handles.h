// Owners for the Win32 resources the plug-in must release: one owner each,
// released on every path.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

template <class Handle, class Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : m_h(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const { return m_h; }
    explicit operator bool() const { return m_h != Traits::invalid(); }
    Handle release() {
        Handle h = m_h;
        m_h = Traits::invalid();
        return h;
    }
    void reset(Handle h = Traits::invalid()) {
        if (m_h != Traits::invalid()) Traits::close(m_h);
        m_h = h;
    }

private:
    Handle m_h = Traits::invalid();
};

struct RegKeyTraits {
    static HKEY invalid() { return nullptr; }
    static void close(HKEY h) { ::RegCloseKey(h); }
};
struct MenuTraits {
    static HMENU invalid() { return nullptr; }
    static void close(HMENU h) { ::DestroyMenu(h); }
};
struct ImageListTraits {
    static HIMAGELIST invalid() { return nullptr; }
    static void close(HIMAGELIST h) { ::ImageList_Destroy(h); }
};
struct DropTraits {
    static HDROP invalid() { return nullptr; }
    static void close(HDROP h) { ::DragFinish(h); }
};

// Files and other kernel objects whose "no handle" is INVALID_HANDLE_VALUE
// (CreateFileW) or null (CreatePipe, processes, threads).
struct FileTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { ::CloseHandle(h); }
};
struct KernelHandleTraits {
    static HANDLE invalid() { return nullptr; }
    static void close(HANDLE h) { ::CloseHandle(h); }
};

// Memory the system handed out with LocalAlloc (a security descriptor or a
// SID in text form, say).
struct LocalMemoryTraits {
    static HLOCAL invalid() { return nullptr; }
    static void close(HLOCAL h) { ::LocalFree(h); }
};

using UniqueRegKey = UniqueHandle<HKEY, RegKeyTraits>;
using UniqueFile = UniqueHandle<HANDLE, FileTraits>;
using UniqueKernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using UniqueMenu = UniqueHandle<HMENU, MenuTraits>;
using UniqueImageList = UniqueHandle<HIMAGELIST, ImageListTraits>;
using UniqueDrop = UniqueHandle<HDROP, DropTraits>;
using UniqueLocalMemory = UniqueHandle<HLOCAL, LocalMemoryTraits>;

// A critical section that lives as long as its owner; initialised before any
// export can run when it is a module global.
class CriticalSection {
public:
    CriticalSection() noexcept { ::InitializeCriticalSection(&m_cs); }
    ~CriticalSection() { ::DeleteCriticalSection(&m_cs); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter() { ::EnterCriticalSection(&m_cs); }
    void Leave() { ::LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
    ~CriticalSectionLock() { m_cs.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& m_cs;
};

// An image-list drag over a window that holds the mouse. Ending it ends the
// image drag and gives the mouse back if the window still holds it; the
// owner going away ends it too.
class ImageDrag {
public:
    ImageDrag() = default;
    ~ImageDrag() { End(); }
    ImageDrag(const ImageDrag&) = delete;
    ImageDrag& operator=(const ImageDrag&) = delete;

    // The drag keeps its own copy of the image: the caller still owns himl.
    void Begin(HIMAGELIST himl, HWND hwnd) {
        End();
        if (himl) ::ImageList_BeginDrag(himl, 0, 0, 0);
        ::ImageList_DragEnter(hwnd, 0, 0);
        ::SetCapture(hwnd);
        m_hwnd = hwnd;
    }
    void End() {
        if (!m_hwnd) return;
        ::ImageList_EndDrag();
        if (::GetCapture() == m_hwnd) ::ReleaseCapture();
        m_hwnd = nullptr;
    }
    bool Active() const { return m_hwnd != nullptr; }

private:
    HWND m_hwnd = nullptr;
};
