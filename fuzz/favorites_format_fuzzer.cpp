// Decodes arbitrary bytes as a stored favourites value, in both layouts, under
// AddressSanitizer and UndefinedBehaviorSanitizer, and checks:
// - whatever decodes, in either layout, encodes to a value that decodes
//   completely to the same records;
// - a value that decodes completely in the current layout, every counted
//   record included, encodes back to its own bytes once its filler is zeroed
//   and its flag bytes are made 0 or 1.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "store/favorites_format.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Fail(const char* what) {
    std::fprintf(stderr, "favorites format: %s\n", what);
    std::abort();
}

void CheckReencodes(const favfmt::DecodeResult& decoded) {
    const Bytes value = favfmt::Encode(decoded.records);
    const favfmt::DecodeResult again = favfmt::Decode(value.data(), value.size(), true);
    if (!again.complete) Fail("an encoded value does not decode completely");
    if (!(again.records == decoded.records)) Fail("an encoded value decodes to other records");
}

// The value as the encoder writes it: filler 0, folder flag 1 for any
// nonzero, a folder's expanded byte likewise.
Bytes Normalised(const std::uint8_t* data, size_t size) {
    Bytes out(data, data + size);
    favfmt::Reader reader(data, size, true);
    favfmt::RecordView view;
    while (reader.Next(view)) {
        size_t pos = static_cast<size_t>(view.path - data) + 2 * static_cast<size_t>(view.pathLen);
        ++pos;  // depth
        out[pos++] = view.folder ? 1 : 0;
        if (view.folder) out[pos++] = view.expanded ? 1 : 0;
        for (size_t i = 0; i < favfmt::kFillerSize; ++i) out[pos++] = 0;
    }
    return out;
}

bool EveryCountedRecordDecoded(const std::uint8_t* data, size_t size, const favfmt::DecodeResult& decoded) {
    // Not so for a negative count.
    const favfmt::Reader reader(data, size, true);
    return reader.Count() >= 0 && static_cast<size_t>(reader.Count()) == decoded.records.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    CheckReencodes(favfmt::Decode(data, size, false));
    const favfmt::DecodeResult decoded = favfmt::Decode(data, size, true);
    CheckReencodes(decoded);
    if (!decoded.complete || !EveryCountedRecordDecoded(data, size, decoded)) return 0;
    if (favfmt::Encode(decoded.records) != Normalised(data, size)) Fail("a complete value does not re-encode to itself");
    return 0;
}
