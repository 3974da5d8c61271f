// The stored favourites value: an 8-byte header (tag, record count) and one
// record per tree item in pre-order. Window-free: it builds and is tested and
// fuzzed natively; the plug-in reads and writes registry values with it.
//
// Record: L (u32), label (2L bytes UTF-16LE), P (u32), path (2P bytes),
// depth (u8), folder flag (u8), for folders in the current layout an
// expanded byte (u8), then 2 filler bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace favfmt {

constexpr std::uint32_t kMagic = 0x00EF0F08;
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kFillerSize = 2;

// Size of one record in the current layout.
std::size_t RecordSize(std::size_t labelLen, std::size_t pathLen, bool folder);

// Writes a value into a buffer sized with RecordSize beforehand: one
// allocation for the whole value. Never writes past the buffer.
class Writer {
public:
    Writer(std::uint8_t* buffer, std::size_t size) : m_buffer(buffer), m_size(size) {}
    bool WriteHeader(std::int32_t count);
    bool WriteRecord(const char16_t* label, std::size_t labelLen, const char16_t* path, std::size_t pathLen,
                     std::uint8_t depth, bool folder, bool expanded);
    std::size_t Written() const { return m_pos; }

private:
    bool Room(std::size_t n) const { return n <= m_size - m_pos; }
    void PutU32(std::uint32_t v);
    void PutText(const char16_t* text, std::size_t len);

    std::uint8_t* m_buffer;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// One record as it lies in the value; the texts point into the value.
struct RecordView {
    const std::uint8_t* label = nullptr;
    std::uint32_t labelLen = 0;
    const std::uint8_t* path = nullptr;
    std::uint32_t pathLen = 0;
    std::uint8_t depth = 0;
    bool folder = false;
    bool expanded = false;
};

enum class DecodeStatus {
    Ok,             // every record read, ending exactly at the value's end
    BadTag,         // not a favourites value
    Truncated,      // the header or a record runs past the end
    DepthZero,      // a depth-0 record before the last record
    TrailingBytes,  // bytes after the last record
};

// Reads a value record by record, never outside it: the count and the text
// lengths come from storage and are not trusted.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size, bool withExpandedByte);
    bool HasTag() const { return m_status != DecodeStatus::BadTag && m_status != DecodeStatus::Truncated; }
    std::int32_t Count() const { return m_count; }
    // The next record; false at the end, after a record that would run past
    // the value, and after a depth-0 record (which is returned first).
    bool Next(RecordView& record);
    // Whether everything stored has been read: only then may a save replace
    // the value without losing favourites.
    bool Complete() const { return Status() == DecodeStatus::Ok; }
    DecodeStatus Status() const;

private:
    bool ReadU32(std::uint32_t& v);
    bool ReadText(const std::uint8_t*& text, std::uint32_t len);

    const std::uint8_t* m_data;
    std::size_t m_size;
    bool m_withExpandedByte;
    std::size_t m_pos = kHeaderSize;
    std::int32_t m_count = 0;
    std::int32_t m_read = 0;
    bool m_stopped = false;
    DecodeStatus m_status = DecodeStatus::Ok;
};

// Copies UTF-16LE bytes into a string of 16-bit characters.
template <class Str>
Str ReadText(const std::uint8_t* bytes, std::uint32_t len) {
    Str text(len, typename Str::value_type());
    for (std::uint32_t i = 0; i < len; ++i) {
        text[i] = static_cast<typename Str::value_type>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return text;
}

struct Record {
    std::u16string label;
    std::u16string path;
    std::uint8_t depth = 1;
    bool folder = false;
    bool expanded = false;
    bool operator==(const Record& o) const {
        return label == o.label && path == o.path && depth == o.depth && folder == o.folder && expanded == o.expanded;
    }
};

struct DecodeResult {
    std::vector<Record> records;  // up to the first depth-0 record
    bool complete = false;
    DecodeStatus status = DecodeStatus::Ok;
};

std::vector<std::uint8_t> Encode(const std::vector<Record>& records);
DecodeResult Decode(const std::uint8_t* data, std::size_t size, bool withExpandedByte);

}  // namespace favfmt
