// Writing a long text in pieces: consoles refuse single writes past about
// 64 KB on older Windows, and any write may take fewer units than offered.
// Window-free: the write itself is the caller's. And a message built of
// pieces, spaced as Japanese text wants it.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace output {

// Characters per console write: 16 KB of UTF-16, well below the limit.
constexpr std::size_t kConsoleChunkUnits = 8192;
// Bytes per file or pipe write.
constexpr std::size_t kFileChunkBytes = 65536;

inline bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// How many of the units at text to offer in one write: at most maxUnits, and
// for UTF-16 text never the first half of a surrogate pair alone, so that no
// write ends between the halves of one character.
template <class Char>
std::size_t ChunkSize(const Char* text, std::size_t size, std::size_t maxUnits) {
    std::size_t n = std::min(size, maxUnits);
    if constexpr (sizeof(Char) == 2) {
        if (n < size && n > 1 && IsHighSurrogate(static_cast<char16_t>(text[n - 1]))) --n;
    }
    return n;
}

// Offers the text to write(data, units, written) -> bool in chunks until all
// of it went out. False when a write fails or takes nothing: the rest of the
// text is not written then.
template <class Char, class Write>
bool WriteInChunks(const Char* text, std::size_t size, std::size_t maxUnits, Write write) {
    while (size > 0) {
        std::size_t written = 0;
        if (!write(text, ChunkSize(text, size, maxUnits), written) || written == 0) return false;
        written = std::min(written, size);
        text += written;
        size -= written;
    }
    return true;
}

// Japanese text has a half-width space between a Japanese word and an ASCII
// word or number, and none between two Japanese words. A Japanese sentence
// built around names, numbers and phrases made elsewhere cannot know how
// each piece begins or ends, so Spaced puts that space where two pieces meet
// and it belongs: "FavoriteArray" "を" gives "FavoriteArray を", "件" "を"
// gives "件を". Punctuation (、。「」 and ASCII separators) takes none.
namespace spacing {

enum class Edge { None, Ascii, Japanese };

// How the character whose first byte is at lead meets a neighbour.
inline Edge EdgeOf(std::string_view text, std::size_t lead, bool atEnd) {
    const auto c = static_cast<unsigned char>(text[lead]);
    if (c < 0x80) {
        if (std::isalnum(c)) return Edge::Ascii;
        // A name or quotation may end a piece or begin one; an opening
        // bracket ends none, a closing one begins none.
        const std::string_view word = atEnd ? ")]\"%.'" : "([\"'\\/";
        return word.find(static_cast<char>(c)) != std::string_view::npos ? Edge::Ascii : Edge::None;
    }
    // U+3000 to U+303F (、。「」 and the like) and the full-width forms
    // (（）：) are punctuation.
    const auto second = lead + 1 < text.size() ? static_cast<unsigned char>(text[lead + 1]) : 0;
    if ((c == 0xE3 && second == 0x80) || (c == 0xEF && (second == 0xBC || second == 0xBD))) return Edge::None;
    return Edge::Japanese;
}

inline Edge LastEdge(std::string_view text) {
    if (text.empty()) return Edge::None;
    std::size_t lead = text.size() - 1;
    while (lead > 0 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) --lead;
    return EdgeOf(text, lead, true);
}

inline Edge FirstEdge(std::string_view text) { return text.empty() ? Edge::None : EdgeOf(text, 0, false); }

}  // namespace spacing

inline std::string Spaced(std::initializer_list<std::string_view> pieces) {
    std::string out;
    for (const std::string_view piece : pieces) {
        const spacing::Edge before = spacing::LastEdge(out);
        const spacing::Edge after = spacing::FirstEdge(piece);
        if (before != spacing::Edge::None && after != spacing::Edge::None && before != after) out += ' ';
        out += piece;
    }
    return out;
}

}  // namespace output
