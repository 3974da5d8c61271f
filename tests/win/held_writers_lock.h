// Another writer of a key holding its writers' lock, on a thread of its own
// (a mutex belongs to the thread that took it), until Release.
#pragma once

#include <windows.h>

#include <string>
#include <thread>

#include "common/handles.h"
#include "store/writers_lock.h"

class HeldWritersLock {
public:
    // keyPath: the key's path under HKEY_CURRENT_USER. Returns once it is held.
    explicit HeldWritersLock(const std::wstring& keyPath)
        : m_name(favstore::WritersLockName(keyPath.c_str())),
          m_release(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_taken(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_holder([this] {
              const UniqueKernelHandle lock(::CreateMutexW(nullptr, TRUE, m_name.c_str()));
              ::SetEvent(m_taken.get());
              ::WaitForSingleObject(m_release.get(), INFINITE);
              ::ReleaseMutex(lock.get());
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

private:
    std::wstring m_name;
    UniqueKernelHandle m_release;
    UniqueKernelHandle m_taken;
    std::thread m_holder;
};
