#include "store/writers_lock.h"

#include <sddl.h>

#include <cstdint>
#include <cwchar>

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

constexpr DWORD kWaitAndRelease = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// Whether tries may still wait (NeverWaitForWriters).
volatile LONG g_neverWait = 0;

// Who may use a lock this process makes: the user (an elevated process of
// the user would otherwise give it to the administrators alone), SYSTEM and
// the administrators may wait on it, release it and read who may; the low
// mandatory label lets the user's processes of any integrity do so too.
// Null when the descriptor cannot be built: the lock is made with the
// system's default then, as before.
UniqueLocalMemory WritersLockSecurity() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return UniqueLocalMemory();
    const UniqueKernelHandle owned(token);
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info = {};
    DWORD size = 0;
    LPWSTR user = nullptr;
    if (!::GetTokenInformation(token, TokenUser, &info, sizeof(info), &size) ||
        !::ConvertSidToStringSidW(info.user.User.Sid, &user)) {
        return UniqueLocalMemory();
    }
    const UniqueLocalMemory userOwner(user);
    // 0x120001: SYNCHRONIZE | READ_CONTROL | MUTEX_MODIFY_STATE.
    wchar_t sddl[320] = L"D:P(A;;0x120001;;;";
    if (std::wcslen(user) > 200) return UniqueLocalMemory();  // a SID's text is at most 184 characters
    std::wcscat(sddl, user);
    std::wcscat(sddl, L")(A;;0x120001;;;SY)(A;;0x120001;;;BA)S:(ML;;NW;;;LW)");
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) {
        // A system that knows no integrity labels gets the rest.
        *std::wcsstr(sddl, L"S:") = L'\0';
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr);
    }
    return UniqueLocalMemory(descriptor);
}

// The lock of name, made when no process has it yet, and asking only for the
// rights a writer needs when one has: whoever made it may have granted no
// more. Null when it cannot be opened (the name is another kind of object,
// or its maker grants this user nothing).
HANDLE OpenWritersMutex(const std::wstring& name) {
    const UniqueLocalMemory descriptor = WritersLockSecurity();
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
    return ::CreateMutexExW(descriptor ? &attributes : nullptr, name.c_str(), 0, kWaitAndRelease);
}

// After a try that found the lock held, the next tries wait not at all for
// a while, which doubles with each such try: a writer that keeps the lock
// costs the editor one short wait now and then, not one at every flush.
class BackOff {
public:
    DWORD WaitMs() const {
        constexpr DWORD kTryMs = 20;
        if (g_neverWait) return 0;
        return m_pauseMs != 0 && ::GetTickCount() - m_since < m_pauseMs ? 0 : kTryMs;
    }
    void Busy() {
        constexpr DWORD kFirstPauseMs = 100;
        constexpr DWORD kLongestPauseMs = 3200;
        m_pauseMs = m_pauseMs == 0 ? kFirstPauseMs : (m_pauseMs < kLongestPauseMs ? 2 * m_pauseMs : m_pauseMs);
        m_since = ::GetTickCount();
    }
    void Held() { m_pauseMs = 0; }

private:
    DWORD m_pauseMs = 0;
    DWORD m_since = 0;
};

// Opening a named mutex is a trip to the system. The few locks a process
// uses (the plug-in's key, the one favtool works on) stay open until the
// module goes, shared by every holder: a mutex is owned by the thread that
// waited for it, whichever handle it waited on.
class OpenLocks {
public:
    struct Slot {
        std::wstring name;
        UniqueKernelHandle handle;
        BackOff backOff;
    };

    // The slot of name's mutex, open for the module's life; null when it
    // cannot be opened or no slot is left (the caller then opens one of its
    // own).
    Slot* Get(const std::wstring& name) {
        const CriticalSectionLock lock(m_guard);
        for (Slot& slot : m_slots) {
            if (slot.handle && slot.name == name) return &slot;
        }
        for (Slot& slot : m_slots) {
            if (slot.handle) continue;
            slot.handle.reset(OpenWritersMutex(name));
            if (!slot.handle) return nullptr;
            slot.name = name;
            return &slot;
        }
        return nullptr;
    }
    // A slot's back-off is read and changed under the guard: windows of
    // several threads share it.
    DWORD BriefWaitMs(const Slot* slot) {
        const CriticalSectionLock lock(m_guard);
        return slot ? slot->backOff.WaitMs() : BackOff().WaitMs();
    }
    void Tried(Slot* slot, bool held) {
        if (!slot) return;
        const CriticalSectionLock lock(m_guard);
        if (held) {
            slot->backOff.Held();
        } else {
            slot->backOff.Busy();
        }
    }

private:
    CriticalSection m_guard;
    Slot m_slots[4];
};

OpenLocks& ModuleLocks() {
    static OpenLocks locks;
    return locks;
}

}  // namespace

void NeverWaitForWriters() {
    ::InterlockedExchange(&g_neverWait, 1);
}

WritersLock::~WritersLock() {
    if (m_depth > 0) ::ReleaseMutex(m_hLock);
}

LockOutcome WritersLock::Lock() {
    if (m_depth > 0) {
        ++m_depth;
        return LockOutcome::Held;
    }
    OpenLocks& locks = ModuleLocks();
    OpenLocks::Slot* slot = locks.Get(m_name);
    HANDLE mutex = slot ? slot->handle.get() : nullptr;
    if (!mutex) {
        m_ownLock.reset(OpenWritersMutex(m_name));
        mutex = m_ownLock.get();
        if (!mutex) return LockOutcome::Unavailable;
    }
    // A writer holds the lock only while it reads and writes a few values;
    // favtool waits for one that is slow, and gives up on one that is stuck.
    constexpr DWORD kLongWaitMs = 5000;
    const DWORD waitMs = m_patience == Patience::Long && !g_neverWait ? kLongWaitMs : locks.BriefWaitMs(slot);
    // Abandoned: its holder ended while writing one value or another; each
    // value was written whole or not at all, and the keeper's rules hold.
    const DWORD wait = ::WaitForSingleObject(mutex, waitMs);
    if (wait == WAIT_FAILED) {
        m_ownLock.reset();
        return LockOutcome::Unavailable;
    }
    const bool held = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    if (m_patience == Patience::Brief) locks.Tried(slot, held);
    if (!held) {
        m_ownLock.reset();
        return LockOutcome::Busy;
    }
    m_hLock = mutex;
    m_depth = 1;
    return LockOutcome::Held;
}
void WritersLock::Unlock() {
    if (m_depth == 0 || --m_depth > 0) return;
    ::ReleaseMutex(m_hLock);
    m_hLock = nullptr;
    m_ownLock.reset();
}

}  // namespace favstore
