// Writing a long text in pieces: consoles refuse single writes past about
// 64 KB on older Windows, and any write may take fewer units than offered.
// Window-free: the write itself is the caller's.
#pragma once

#include <algorithm>
#include <cstddef>

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

}  // namespace output
