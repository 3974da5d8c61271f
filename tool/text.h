// Text at the tool's edges: UTF-16 inside (as Windows and the stored value
// hold it), UTF-8 in documents, arguments handed to the option parser and
// everything the tool prints.
#pragma once

#include <string>
#include <string_view>

// Lone surrogates become U+FFFD: for messages and listings only.
std::string ToUtf8(std::wstring_view text);
// False for text holding a lone surrogate, which UTF-8 cannot carry.
bool ToUtf8Exact(std::wstring_view text, std::string& out);
std::wstring FromUtf8(std::string_view text);

// Writes UTF-8 text as it is to standard output or error. A console gets the
// same characters through the console's wide-character interface, so no
// code page is involved either way.
void PrintOut(std::string_view text);
void PrintErr(std::string_view text);
