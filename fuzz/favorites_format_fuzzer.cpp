// Decodes arbitrary bytes as a stored favourites value in both layouts. A
// value that decodes completely must encode back to the same bytes, filler
// aside and flag bytes taken as booleans.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "store/favorites_format.h"

namespace {

// The value with its filler zeroed and its flag bytes made 0 or 1.
std::vector<std::uint8_t> Normalised(const std::uint8_t* data, size_t size) {
    std::vector<std::uint8_t> out(data, data + size);
    size_t pos = favfmt::kHeaderSize;
    favfmt::Reader reader(data, size, true);
    favfmt::RecordView view;
    while (reader.Next(view)) {
        pos = static_cast<size_t>(view.path - data) + 2 * static_cast<size_t>(view.pathLen);
        out[pos + 1] = view.folder ? 1 : 0;
        pos += 2;
        if (view.folder) out[pos++] = view.expanded ? 1 : 0;
        out[pos] = out[pos + 1] = 0;
        pos += 2;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    favfmt::Decode(data, size, false);
    const favfmt::DecodeResult result = favfmt::Decode(data, size, true);
    if (!result.complete) return 0;
    for (const favfmt::Record& r : result.records) {
        if (r.depth == 0) return 0;
    }
    // A depth-0 last record is dropped by the decoder: nothing to compare.
    if (static_cast<size_t>(favfmt::Reader(data, size, true).Count()) != result.records.size()) return 0;
    if (favfmt::Encode(result.records) != Normalised(data, size)) std::abort();
    return 0;
}
