// Another writer of a key holding its writers' lock, on a thread of its own
// (a mutex belongs to the thread that took it), until Release. The mutex is
// made without initial ownership and then waited for: when the plug-in has
// the mutex open already, a creation that asks for ownership would get the
// existing mutex without owning it.
#pragma once

#include <windows.h>
#include <sddl.h>

#include <string>
#include <thread>

#include "common/handles.h"
#include "store/writers_lock.h"

class HeldWritersLock {
public:
    // keyPath: the key's path under HKEY_CURRENT_USER. Returns once it is
    // held. holdAtMostMs: the holder lets go by itself after that long, as a
    // stuck writer that finally finishes does.
    explicit HeldWritersLock(const std::wstring& keyPath, DWORD holdAtMostMs = INFINITE)
        : m_name(favstore::WritersLockName(keyPath.c_str())),
          m_release(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_taken(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_released(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_holder([this, holdAtMostMs] {
              const UniqueKernelHandle lock(::CreateMutexW(nullptr, FALSE, m_name.c_str()));
              ::WaitForSingleObject(lock.get(), INFINITE);
              ::SetEvent(m_taken.get());
              ::WaitForSingleObject(m_release.get(), holdAtMostMs);
              ::ReleaseMutex(lock.get());
              ::SetEvent(m_released.get());
          }) {
        ::WaitForSingleObject(m_taken.get(), INFINITE);
    }
    ~HeldWritersLock() { Release(); }
    HeldWritersLock(const HeldWritersLock&) = delete;
    HeldWritersLock& operator=(const HeldWritersLock&) = delete;

    void Release() {
        if (!m_holder.joinable()) return;
        ::SetEvent(m_release.get());
        m_holder.join();
    }
    // Whether the holder still has it: not let go by Release, nor by itself
    // once its time was up.
    bool StillHeld() const { return ::WaitForSingleObject(m_released.get(), 0) == WAIT_TIMEOUT; }

private:
    std::wstring m_name;
    UniqueKernelHandle m_release;
    UniqueKernelHandle m_taken;
    UniqueKernelHandle m_released;
    std::thread m_holder;
};

// The lock's name taken first by a program of another user or elevation: a
// mutex that grants this user only waiting and releasing, or an object of
// another kind, which nobody may wait on as a lock.
enum class ForeignLock { WaitAndReleaseOnly, NotAMutex };

inline UniqueKernelHandle TakeWritersLockName(const std::wstring& keyPath, ForeignLock kind) {
    const std::wstring name = favstore::WritersLockName(keyPath.c_str());
    if (kind == ForeignLock::NotAMutex) return UniqueKernelHandle(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // SYNCHRONIZE | MUTEX_MODIFY_STATE for everyone, nothing more.
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100001;;;WD)", SDDL_REVISION_1,
                                                                &descriptor, nullptr)) {
        return UniqueKernelHandle();
    }
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    UniqueKernelHandle mutex(::CreateMutexW(&attributes, FALSE, name.c_str()));
    ::LocalFree(descriptor);
    return mutex;
}
