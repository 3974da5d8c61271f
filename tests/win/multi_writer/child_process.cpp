#include "tests/win/multi_writer/child_process.h"

#include "tests/win/command_line.h"

namespace multiwriter {

bool ChildProcess::Start(const std::wstring& exe, const std::vector<std::wstring>& args,
                         const std::wstring& outputFile) {
    End();
    std::wstring commandLine = QuoteArgument(exe);
    for (const std::wstring& arg : args) commandLine += L" " + QuoteArgument(arg);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    UniqueFile output;
    if (!outputFile.empty()) {
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        output.reset(::CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                                   nullptr));
        if (!output) return false;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = output.get();
        si.hStdError = output.get();
    }
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, output ? TRUE : FALSE, DETACHED_PROCESS,
                          nullptr, nullptr, &si, &pi)) {
        return false;
    }
    m_process.reset(pi.hProcess);
    m_thread.reset(pi.hThread);
    return true;
}

bool ChildProcess::Running() const {
    return m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT;
}

bool ChildProcess::Wait(DWORD ms, DWORD& exitCode) const {
    if (!m_process || ::WaitForSingleObject(m_process.get(), ms) != WAIT_OBJECT_0) return false;
    return ::GetExitCodeProcess(m_process.get(), &exitCode) != FALSE;
}

void ChildProcess::Kill() const {
    if (!Running()) return;
    ::TerminateProcess(m_process.get(), 9);
    ::WaitForSingleObject(m_process.get(), INFINITE);
}

void ChildProcess::End() {
    Kill();
    m_thread.reset();
    m_process.reset();
}

}  // namespace multiwriter
