#include "tool/path_prefix.h"

#include <windows.h>

#include <string_view>

#include "tool/file_probe.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (!path.empty() && IsSeparator(path.back())) path.pop_back();
    return path;
}

std::wstring WithBackslashes(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

bool EqualIgnoringCase(const wchar_t* a, const wchar_t* b, std::size_t n) {
    const std::wstring left = WithBackslashes(std::wstring(a, n));
    const std::wstring right = WithBackslashes(std::wstring(b, n));
    return ::CompareStringOrdinal(left.data(), static_cast<int>(n), right.data(), static_cast<int>(n), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace

PathPrefix::PathPrefix(const std::wstring& from, const std::wstring& to)
    : m_from(WithoutTrailingSeparators(from)), m_to(WithoutTrailingSeparators(WithBarSeparators(to))) {}

std::optional<std::wstring> PathPrefix::Relocate(const std::wstring& path) const {
    const std::size_t n = m_from.size();
    if (n == 0 || path.size() < n) return std::nullopt;
    if (path.size() > n && !IsSeparator(path[n])) return std::nullopt;
    if (!EqualIgnoringCase(path.data(), m_from.data(), n)) return std::nullopt;
    if (path.size() == n && (m_to.empty() || m_to.back() == L':')) return m_to + L'\\';  // a drive's root, not its current folder
    return m_to + path.substr(n);
}

bool SamePathIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && EqualIgnoringCase(a.data(), b.data(), a.size());
}

bool IsAbsolutePath(const std::wstring& path) {
    if (path.size() == 2 && path[1] == L':' && iswalpha(path[0])) return true;  // a drive, taken as its root
    return !probe::PathRoot(path).empty();
}

std::wstring WithBarSeparators(std::wstring path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    return WithBackslashes(std::move(path));
}

std::optional<wchar_t> ImpossiblePathCharacter(const std::wstring& path) {
    std::size_t start = 0;
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == L'?' || path[2] == L'.') &&
        IsSeparator(path[3])) {
        start = 4;
    }
    for (std::size_t i = start; i < path.size(); ++i) {
        const wchar_t c = path[i];
        if (c < 0x20 || std::wstring_view(L"<>\"|?*").find(c) != std::wstring_view::npos) return c;
        if (c == L':' && !(i == start + 1 && iswalpha(path[start]))) return c;
    }
    return std::nullopt;
}
