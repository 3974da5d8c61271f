#include "tool/console.h"

#include <windows.h>

#include "tool/language.h"
#include "tool/output_chunks.h"
#include "tool/registry.h"
#include "tool/text.h"

namespace {

OutputEncoding g_encoding = OutputEncoding::Automatic;
std::optional<std::string> g_outputFailure;

bool IsConsole(HANDLE h) {
    DWORD mode = 0;
    return ::GetConsoleMode(h, &mode) != 0;
}

bool HasConsole() {
    DWORD process = 0;
    return ::GetConsoleProcessList(&process, 1) != 0;
}

// The code page of text written to a file or pipe.
UINT RedirectedCodePage() {
    if (g_encoding == OutputEncoding::Utf8) return CP_UTF8;
    const UINT console = HasConsole() ? ::GetConsoleOutputCP() : 0;
    if (console != 0) return console;
    return g_encoding == OutputEncoding::Console ? ::GetOEMCP() : CP_UTF8;
}

std::string Encode(std::string_view utf8, UINT codePage) {
    if (codePage == CP_UTF8 || utf8.empty()) return std::string(utf8);
    const std::wstring wide = FromUtf8(utf8);
    const int n = ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                        nullptr);
    if (n <= 0) return std::string(utf8);  // a code page Windows cannot convert to: the bytes as they are
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

bool WriteConsoleText(HANDLE h, std::string_view utf8) {
    const std::wstring wide = FromUtf8(utf8);
    return output::WriteInChunks(wide.data(), wide.size(), output::kConsoleChunkUnits,
                                 [h](const wchar_t* data, std::size_t n, std::size_t& written) {
                                     DWORD done = 0;
                                     const BOOL ok = ::WriteConsoleW(h, data, static_cast<DWORD>(n), &done, nullptr);
                                     written = done;
                                     return ok != 0;
                                 });
}

bool WriteBytes(HANDLE h, const std::string& bytes) {
    return output::WriteInChunks(bytes.data(), bytes.size(), output::kFileChunkBytes,
                                 [h](const char* data, std::size_t n, std::size_t& written) {
                                     DWORD done = 0;
                                     const BOOL ok = ::WriteFile(h, data, static_cast<DWORD>(n), &done, nullptr);
                                     written = done;
                                     return ok != 0;
                                 });
}

// False when the handle exists and the text could not be written whole.
bool Print(DWORD stdHandle, std::string_view text) {
    HANDLE h = ::GetStdHandle(stdHandle);
    if (h == nullptr || h == INVALID_HANDLE_VALUE || text.empty()) return true;
    if (IsConsole(h)) return WriteConsoleText(h, text);
    return WriteBytes(h, Encode(text, RedirectedCodePage()));
}

}  // namespace

void ConfigureOutput(OutputEncoding encoding) { g_encoding = encoding; }

void PrintOut(std::string_view text) {
    if (!Print(STD_OUTPUT_HANDLE, text) && !g_outputFailure) g_outputFailure = SystemMessage(::GetLastError());
}

void PrintErr(std::string_view text) { Print(STD_ERROR_HANDLE, text); }

bool OutputCarriesUnicode() {
    HANDLE h = ::GetStdHandle(STD_OUTPUT_HANDLE);
    return IsConsole(h) || RedirectedCodePage() == CP_UTF8;
}

std::optional<std::string> OutputFailure() { return g_outputFailure; }

std::optional<std::string> ReadStandardInput(std::size_t limit) {
    HANDLE h = ::GetStdHandle(STD_INPUT_HANDLE);
    if (h == nullptr || h == INVALID_HANDLE_VALUE || IsConsole(h)) return std::nullopt;
    std::string bytes;
    std::string buffer(output::kFileChunkBytes, '\0');
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_BROKEN_PIPE) break;  // the writer has finished
            const std::string why = " (" + SystemMessage(error) + ")";
            throw ToolError(Say("cannot read standard input" + why, "標準入力を読めません" + why), kExitFailed);
        }
        if (n == 0) break;
        if (bytes.size() + n > limit) {
            const std::string mebibytes = std::to_string(limit / (1024 * 1024));
            throw ToolError(Say("standard input holds more than " + mebibytes +
                                    " MiB; favourites documents are far smaller, so nothing was read",
                                "標準入力が " + mebibytes +
                                    " MiB を超えています。お気に入りの JSON ファイルはずっと小さいので、何も読み込んでいません"));
        }
        bytes.append(buffer.data(), n);
    }
    return bytes;
}

bool AloneOnOwnConsole() {
    DWORD processes[2] = {};
    if (::GetConsoleProcessList(processes, 2) != 1 || !::GetConsoleWindow()) return false;
    return IsConsole(::GetStdHandle(STD_INPUT_HANDLE)) && IsConsole(::GetStdHandle(STD_OUTPUT_HANDLE));
}

void WaitForKey() {
    HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    ::FlushConsoleInputBuffer(in);
    for (;;) {
        INPUT_RECORD record = {};
        DWORD n = 0;
        if (!::ReadConsoleInputW(in, &record, 1, &n) || n == 0) return;
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
    }
}
