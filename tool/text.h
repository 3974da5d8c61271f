// Text at the tool's edges: UTF-16 inside (as Windows and the stored value
// hold it), UTF-8 in documents and in arguments handed to the option parser.
#pragma once

#include <string>
#include <string_view>

// Lone surrogates become U+FFFD: for messages and listings only.
std::string ToUtf8(std::wstring_view text);
// False for text holding a lone surrogate, which UTF-8 cannot carry.
bool ToUtf8Exact(std::wstring_view text, std::string& out);
std::wstring FromUtf8(std::string_view text);

// Whether the bytes read as Shift_JIS (code page 932) without a fault and
// hold at least one character beyond ASCII.
bool LooksLikeShiftJis(std::string_view bytes);
