#include "tool/path_prefix.h"

#include <windows.h>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (!path.empty() && IsSeparator(path.back())) path.pop_back();
    return path;
}

}  // namespace

PathPrefix::PathPrefix(const std::wstring& from, const std::wstring& to)
    : m_from(WithoutTrailingSeparators(from)), m_to(WithoutTrailingSeparators(to)) {}

std::optional<std::wstring> PathPrefix::Relocate(const std::wstring& path) const {
    const std::size_t n = m_from.size();
    if (n == 0 || path.size() < n) return std::nullopt;
    if (path.size() > n && !IsSeparator(path[n])) return std::nullopt;
    if (::CompareStringOrdinal(path.data(), static_cast<int>(n), m_from.data(), static_cast<int>(n), TRUE) !=
        CSTR_EQUAL) {
        return std::nullopt;
    }
    if (path.size() == n && (m_to.empty() || m_to.back() == L':')) return m_to + L'\\';  // a drive's root, not its current folder
    return m_to + path.substr(n);
}
