#include "store/writers_lock.h"

#include <cstdint>

namespace favstore {

std::wstring WritersLockName(const wchar_t* pszKeyPath) {
    // Key names ignore case; a hash keeps the name within the length a
    // kernel object's name may have, whatever the path's.
    std::wstring upper(pszKeyPath);
    if (!upper.empty()) {
        ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, pszKeyPath, static_cast<int>(upper.size()), &upper[0],
                       static_cast<int>(upper.size()));
    }
    std::uint64_t hash = 14695981039346656037ULL;  // 64-bit FNV-1a over the UTF-16 bytes
    for (const wchar_t unit : upper) {
        hash = (hash ^ (static_cast<std::uint16_t>(unit) & 0xFFu)) * 1099511628211ULL;
        hash = (hash ^ (static_cast<std::uint16_t>(unit) >> 8)) * 1099511628211ULL;
    }
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring name = L"Local\\FavoritesWriters-";
    for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(hash >> shift) & 0xF];
    return name;
}

namespace {

// Opening a named mutex is a trip to the system. The few locks a process
// uses (the plug-in's key, the one favtool works on) stay open until the
// module goes, shared by every holder: a mutex is owned by the thread that
// waited for it, whichever handle it waited on.
class OpenLocks {
public:
    // The mutex of name, open for the module's life; null when it cannot be
    // opened or no slot is left (the caller then opens one of its own).
    HANDLE Get(const std::wstring& name) {
        const CriticalSectionLock lock(m_guard);
        for (Slot& slot : m_slots) {
            if (slot.handle && slot.name == name) return slot.handle.get();
        }
        for (Slot& slot : m_slots) {
            if (slot.handle) continue;
            slot.handle.reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
            if (!slot.handle) return nullptr;
            slot.name = name;
            return slot.handle.get();
        }
        return nullptr;
    }

private:
    struct Slot {
        std::wstring name;
        UniqueKernelHandle handle;
    };
    CriticalSection m_guard;
    Slot m_slots[4];
};

OpenLocks& ModuleLocks() {
    static OpenLocks locks;
    return locks;
}

}  // namespace

WritersLock::~WritersLock() {
    if (m_depth > 0) ::ReleaseMutex(m_hLock);
}

bool WritersLock::Lock() {
    // A writer holds the lock only while it reads and writes a few values;
    // one that keeps it longer is stuck, and this save fails rather than
    // stopping the window with it.
    constexpr DWORD kWaitMs = 5000;
    if (m_depth > 0) {
        ++m_depth;
        return true;
    }
    HANDLE mutex = ModuleLocks().Get(m_name);
    if (!mutex) {
        m_ownLock.reset(::CreateMutexW(nullptr, FALSE, m_name.c_str()));
        mutex = m_ownLock.get();
        if (!mutex) return false;
    }
    // Abandoned: its holder ended while writing one value or another; each
    // value was written whole or not at all, and the keeper's rules hold.
    const DWORD wait = ::WaitForSingleObject(mutex, kWaitMs);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        m_ownLock.reset();
        return false;
    }
    m_hLock = mutex;
    m_depth = 1;
    return true;
}

void WritersLock::Unlock() {
    if (m_depth == 0 || --m_depth > 0) return;
    ::ReleaseMutex(m_hLock);
    m_hLock = nullptr;
    m_ownLock.reset();
}

}  // namespace favstore
