// Bounded string copy into fixed character buffers. Window-free, so it is
// unit-tested natively.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bounded {

constexpr std::uint32_t kOk = 0;
constexpr std::uint32_t kTruncated = 0x8007007A;        // the text did not fit
constexpr std::uint32_t kInvalidArgument = 0x80070057;  // no room even for the NUL

// Copies src into dst[capacity], always ending with a NUL when capacity > 0.
// A capacity of 0 writes nothing.
template <class Char>
std::uint32_t Copy(Char* dst, std::size_t capacity, const Char* src) {
    if (capacity == 0 || dst == nullptr) return kInvalidArgument;
    std::size_t i = 0;
    for (; i + 1 < capacity && src[i] != Char(); ++i) dst[i] = src[i];
    dst[i] = Char();
    return src[i] == Char() ? kOk : kTruncated;
}

// Appends src to the NUL-terminated text already in dst[capacity].
template <class Char>
std::uint32_t Append(Char* dst, std::size_t capacity, const Char* src) {
    if (capacity == 0 || dst == nullptr) return kInvalidArgument;
    std::size_t used = 0;
    while (used < capacity && dst[used] != Char()) ++used;
    if (used == capacity) return kInvalidArgument;
    return Copy(dst + used, capacity - used, src);
}

}  // namespace bounded
