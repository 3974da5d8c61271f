// JSON text at the tool's edges: UTF-16 written as UTF-8 that may carry
// unpaired surrogates, the pretty-printer, the checks a document's encoding
// gets, and positions counted as an editor counts them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

// UTF-8's byte order mark, which the parser skips at the start of a document.
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

inline bool IsHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool IsLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
std::string Hex4(std::uint32_t unit);           // "d800"
std::string CodePointName(std::uint32_t unit);  // "U+0007"

// UTF-16 as UTF-8, unpaired surrogates kept as their own 3-byte sequences
// (for strings of a JSON value that DumpJson writes).
std::string ToWtf8(std::wstring_view text);
// Indented by 2 as the library's dump(2) does, with those sequences written
// as \u escapes; asciiOnly escapes every character beyond ASCII too, for
// output in a code page that cannot carry them. No final newline.
std::string DumpJson(const nlohmann::ordered_json& value, bool asciiOnly);

std::optional<std::wstring::size_type> FirstLoneSurrogate(const std::wstring& text);
std::optional<wchar_t> FirstControlCharacter(const std::wstring& text);
// Where text stops being UTF-8: no overlong forms, no surrogates, nothing
// beyond U+10FFFF.
std::optional<std::size_t> FirstInvalidUtf8(const std::string& text);
// Line and column (in characters) of a byte offset of UTF-8 text.
std::pair<std::size_t, std::size_t> LineAndColumn(const std::string& text, std::size_t offset);
// Line and column of a position in UTF-16 text.
std::pair<std::size_t, std::size_t> WideLineAndColumn(const std::wstring& text, std::size_t at);
