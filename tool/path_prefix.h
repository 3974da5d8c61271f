// Moving favourites from one folder to another: path prefixes compared as
// Windows compares file names.
#pragma once

#include <optional>
#include <string>

class PathPrefix {
public:
    // Trailing separators of both are ignored: "C:\Proj\" is "C:\Proj".
    PathPrefix(const std::wstring& from, const std::wstring& to);

    bool Empty() const { return m_from.empty(); }
    // The path with its prefix replaced, when it is the old path itself or
    // lies below it; case is ignored, and a match ends at a separator, so
    // "C:\Proj" takes in "c:\proj\a.txt" but not "C:\Project\a.txt".
    std::optional<std::wstring> Relocate(const std::wstring& path) const;

private:
    std::wstring m_from;
    std::wstring m_to;
};
