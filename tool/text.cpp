#include "tool/text.h"

#include <windows.h>

namespace {

std::string WideToUtf8(std::wstring_view text, DWORD flags) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = ::WideCharToMultiByte(CP_UTF8, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, flags, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

void Print(DWORD stdHandle, std::string_view text) {
    HANDLE h = ::GetStdHandle(stdHandle);
    if (h == nullptr || h == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0;
    if (::GetConsoleMode(h, &mode)) {
        const std::wstring wide = FromUtf8(text);
        DWORD written = 0;
        ::WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    while (!text.empty()) {
        DWORD written = 0;
        if (!::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) || written == 0) return;
        text.remove_prefix(written);
    }
}

}  // namespace

std::string ToUtf8(std::wstring_view text) { return WideToUtf8(text, 0); }

bool ToUtf8Exact(std::wstring_view text, std::string& out) {
    out = WideToUtf8(text, WC_ERR_INVALID_CHARS);
    return text.empty() || !out.empty();
}

std::wstring FromUtf8(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), n);
    return out;
}

void PrintOut(std::string_view text) { Print(STD_OUTPUT_HANDLE, text); }
void PrintErr(std::string_view text) { Print(STD_ERROR_HANDLE, text); }
