// Moving favourites from one folder to another: path prefixes compared as
// Windows compares file names, "/" and "\" alike.
#pragma once

#include <optional>
#include <string>

class PathPrefix {
public:
    // Trailing separators of both are ignored: "C:\Proj\" is "C:\Proj". The
    // new prefix is written with the separators the bar writes (WithBarSeparators).
    PathPrefix(const std::wstring& from, const std::wstring& to);

    bool Empty() const { return m_from.empty(); }
    // The path with its prefix replaced, when it is the old path itself or
    // lies below it; case is ignored, "/" matches "\", and a match ends at a
    // separator, so "C:\Proj" takes in "c:/proj/a.txt" but not "C:\Project\a.txt".
    std::optional<std::wstring> Relocate(const std::wstring& path) const;

private:
    std::wstring m_from;
    std::wstring m_to;
};

// Whether two paths name the same file as Windows compares names: they
// differ at most in case and in "/" against "\".
bool SamePathIgnoringCase(const std::wstring& a, const std::wstring& b);

// Whether a path starts at a drive's root or a share ("C:\x", "C:", "\\server\share").
bool IsAbsolutePath(const std::wstring& path);

// The path with "/" written as "\", as the bar writes paths; a path that
// starts with \\?\ is passed on unparsed by Windows, so there "/" stays.
std::wstring WithBarSeparators(std::wstring path);

// The first character no file name can hold (control characters, < > " | ? *,
// and a colon anywhere but after a drive letter); a path may start with the
// \\?\ or \\.\ prefix. nullopt when there is none.
std::optional<wchar_t> ImpossiblePathCharacter(const std::wstring& path);
