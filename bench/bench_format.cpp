// Encode and decode throughput of the stored favourites format.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "store/favorites_format.h"

int main() {
    std::vector<favfmt::Record> records;
    for (int i = 0; i < 10000; ++i) {
        favfmt::Record r;
        r.folder = i % 5 == 0;
        r.depth = static_cast<std::uint8_t>(1 + i % 4);
        r.label = u"favourite " + std::u16string(static_cast<size_t>(8 + i % 7), u'x');
        if (!r.folder) r.path = u"C:\\Users\\someone\\Documents\\projects\\src\\module\\" + std::u16string(20, u'f');
        records.push_back(r);
    }
    using Clock = std::chrono::steady_clock;
    const int rounds = 50;
    std::vector<std::uint8_t> value;
    auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) value = favfmt::Encode(records);
    const double encodeSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    size_t decoded = 0;
    start = Clock::now();
    for (int i = 0; i < rounds; ++i) decoded += favfmt::Decode(value.data(), value.size(), true).records.size();
    const double decodeSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double megabytes = static_cast<double>(value.size()) * rounds / 1e6;
    std::printf("value of %zu records, %zu bytes: encode %.0f MB/s, decode %.0f MB/s (%zu records decoded)\n",
                records.size(), value.size(), megabytes / encodeSeconds, megabytes / decodeSeconds, decoded);
    return 0;
}
