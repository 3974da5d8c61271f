// The writers' lock of a plug-in key: a named mutex that every writer of the
// key (each window's bar, another editor process, favtool) holds from its
// look at what is stored to its write, so that no write falls in between.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"

namespace favstore {

// The name of the writers' lock of a key, given its path under
// HKEY_CURRENT_USER: the same for every process of the user's session and
// for every spelling of the path that names the same key.
std::wstring WritersLockName(const wchar_t* pszKeyPath);

class WritersLock {
public:
    explicit WritersLock(std::wstring name) : m_name(std::move(name)) {}
    ~WritersLock();
    WritersLock(const WritersLock&) = delete;
    WritersLock& operator=(const WritersLock&) = delete;

    // Taken again by its holder, it nests; false when another writer kept
    // it too long.
    bool Lock();
    void Unlock();

private:
    std::wstring m_name;
    HANDLE m_hLock = nullptr;      // the mutex, while held
    UniqueKernelHandle m_ownLock;  // one opened for this holder alone
    int m_depth = 0;
};

}  // namespace favstore
