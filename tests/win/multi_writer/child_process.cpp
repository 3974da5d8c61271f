#include "tests/win/multi_writer/child_process.h"

namespace multiwriter {

namespace {

// Quotes one argument so that the C runtime's parser gives it back unchanged.
std::wstring Quote(const std::wstring& arg) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

}  // namespace

bool ChildProcess::Start(const std::wstring& exe, const std::vector<std::wstring>& args,
                         const std::wstring& outputFile) {
    End();
    std::wstring commandLine = Quote(exe);
    for (const std::wstring& arg : args) commandLine += L" " + Quote(arg);
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
