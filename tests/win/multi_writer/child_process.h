// A process the several-process test starts: one owner of its process and
// thread handles, which ends the process if it still runs when the owner
// goes (a failed check leaves no editor behind holding the plug-in's copy).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/handles.h"

namespace multiwriter {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { End(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&&) = default;
    ChildProcess& operator=(ChildProcess&&) = default;

    // exe with args, each quoted for the C runtime; standard output and
    // error go to outputFile when one is given. False if it did not start.
    bool Start(const std::wstring& exe, const std::vector<std::wstring>& args, const std::wstring& outputFile = {});
    HANDLE Process() const { return m_process.get(); }
    HANDLE Thread() const { return m_thread.get(); }
    bool Running() const;
    // Whether it ended within the time (a hang guard), and its exit code.
    bool Wait(DWORD ms, DWORD& exitCode) const;
    void Kill() const;  // TerminateProcess, and waits until it has gone
    void End();         // kills it if it still runs, then lets go of it

private:
    UniqueKernelHandle m_process;
    UniqueKernelHandle m_thread;
};

}  // namespace multiwriter
