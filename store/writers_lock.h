// The writers' lock of a plug-in key: a named mutex that every writer of the
// key (each window's bar, another editor process, favtool) holds from its
// look at what is stored to its write, so that no write falls in between.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"
#include "store/stored_values.h"

namespace favstore {

// The name of the writers' lock of a key, given its path under
// HKEY_CURRENT_USER: the same for every process of the user's session and
// for every spelling of the path that names the same key.
std::wstring WritersLockName(const wchar_t* pszKeyPath);

// From now on every try of this module's locks is over at once: the module
// is going under the loader lock, where nothing may wait on another process.
void NeverWaitForWriters();

class WritersLock {
public:
    // How long a try may wait for another writer. The plug-in runs on the
    // editor's thread and only tries (a few tens of ms; after a try that
    // found the lock held, tries wait not at all for a while that doubles
    // up to a few seconds, until one succeeds); favtool, a console tool,
    // waits a few seconds.
    enum class Patience { Brief, Long };

    explicit WritersLock(std::wstring name, Patience patience = Patience::Brief)
        : m_name(std::move(name)), m_patience(patience) {}
    ~WritersLock();
    WritersLock(const WritersLock&) = delete;
    WritersLock& operator=(const WritersLock&) = delete;

    // Taken again by its holder, it nests.
    LockOutcome Lock();
    void Unlock();

private:
    std::wstring m_name;
    Patience m_patience;
    HANDLE m_hLock = nullptr;      // the mutex, while held
    UniqueKernelHandle m_ownLock;  // one opened for this holder alone
    int m_depth = 0;
};

}  // namespace favstore
