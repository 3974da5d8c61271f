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

bool LooksLikeShiftJis(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return false;
    bool beyondAscii = false;
    for (char c : bytes) beyondAscii = beyondAscii || (static_cast<unsigned char>(c) & 0x80) != 0;
    return beyondAscii && ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                                nullptr, 0) > 0;
}
