#include "store/stored_values.h"

namespace favstore {

StoredValue DwordValue(std::uint32_t value) {
    StoredValue out{kDwordType, std::vector<std::uint8_t>(sizeof(value))};
    for (std::size_t i = 0; i < sizeof(value); ++i) out.bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return out;
}

bool StoredValues::WriteFavorites(std::vector<std::uint8_t>& bytes) {
    StoredValue value{kBinaryType, std::move(bytes)};
    const bool written = Write(Value::Favorites, value);
    bytes = std::move(value.bytes);
    return written;
}

bool StoredValues::MarkCurrentLayout() { return Write(Value::Marker, DwordValue(kMarkerCurrentLayout)); }

}  // namespace favstore
