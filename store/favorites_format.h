// The stored favourites value: an 8-byte header (tag, record count) and one
// record per tree item in pre-order. Window-free: it builds and is tested and
// fuzzed natively; the plug-in reads and writes registry values with it.
//
// Record: L (u32), label (2L bytes UTF-16LE), P (u32), path (2P bytes),
// depth (u8), folder flag (u8), for folders in the current layout an
// expanded byte (u8), then 2 filler bytes. All numbers little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace favfmt {

// Where 16-bit units sit in memory as the value stores them (every Windows
// machine, and the machines the tests run on), texts are copied whole rather
// than a byte at a time.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ || defined(_WIN32)
constexpr bool kStoredByteOrder = true;
#else
constexpr bool kStoredByteOrder = false;
#endif

constexpr std::uint32_t kMagic = 0x00EF0F08;
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kFillerSize = 2;
constexpr unsigned kMaxDepth = 101;  // slots of the parent table; deeper items hang at this level

// Size of one record in the current layout: 12 + 2L + 2P, one more for a folder.
std::size_t RecordSize(std::size_t labelLen, std::size_t pathLen, bool folder);

// Writes a value into a buffer sized beforehand with kHeaderSize and
// RecordSize, so that saving needs one allocation. Never writes past the
// buffer: a header or record that does not fit is refused whole.
class Writer {
public:
    Writer(std::uint8_t* buffer, std::size_t size) : m_buffer(buffer), m_size(size) {}

    bool WriteHeader(std::int32_t count);

    // Char is any 16-bit character type (char16_t; wchar_t on Windows), so
    // wide strings are written without reinterpreting their storage.
    template <class Char>
    bool WriteRecord(const Char* label, std::size_t labelLen, const Char* path, std::size_t pathLen,
                     std::uint8_t depth, bool folder, bool expanded) {
        static_assert(sizeof(Char) == 2, "labels and paths are UTF-16");
        if (!BeginRecord(labelLen, pathLen, folder)) return false;
        PutU32(static_cast<std::uint32_t>(labelLen));
        PutText(label, labelLen);
        PutU32(static_cast<std::uint32_t>(pathLen));
        PutText(path, pathLen);
        EndRecord(depth, folder, expanded);
        return true;
    }

    std::size_t Written() const { return m_pos; }

private:
    bool Room(std::uint64_t n) const { return n <= m_size - m_pos; }
    bool BeginRecord(std::size_t labelLen, std::size_t pathLen, bool folder) const;
    void EndRecord(std::uint8_t depth, bool folder, bool expanded);
    void PutByte(std::uint8_t b) { m_buffer[m_pos++] = b; }
    void PutU32(std::uint32_t v);

    template <class Char>
    void PutText(const Char* text, std::size_t len) {
        std::uint8_t* out = m_buffer + m_pos;
        m_pos += 2 * len;
        if (kStoredByteOrder) {
            if (len != 0) std::memcpy(out, text, 2 * len);
            return;
        }
        for (std::size_t i = 0; i < len; ++i, out += 2) {
            const auto unit = static_cast<std::uint16_t>(text[i]);
            out[0] = static_cast<std::uint8_t>(unit & 0xFF);
            out[1] = static_cast<std::uint8_t>(unit >> 8);
        }
    }

    std::uint8_t* m_buffer;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// One record as it lies in the value; the texts point into the value and
// need not be aligned (read them with ReadText).
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
    Ok,             // every counted record read, ending exactly at the value's end
    BadTag,         // not a favourites value
    Truncated,      // the header or a counted record runs past the end
    DepthZero,      // a depth-0 record, which no tree can hold
    TrailingBytes,  // bytes after the last counted record
};

// Reads a value record by record, never outside it: the count and the text
// lengths come from storage and are not trusted.
class Reader {
public:
    // withExpandedByte: the current layout (marker 1); otherwise folder
    // records carry no expanded byte and read as collapsed.
    Reader(const std::uint8_t* data, std::size_t size, bool withExpandedByte);

    // Whether the value starts with a whole header carrying the tag.
    bool HasTag() const { return m_status != DecodeStatus::BadTag && m_status != DecodeStatus::Truncated; }
    std::int32_t Count() const { return m_count; }
    // Byte offset of the next record; after a record that ran past the end,
    // the offset at which that record starts.
    std::size_t Offset() const { return m_pos; }

    // The next record; false at the end of the counted records, and from the
    // record that would run past the value on. A depth-0 record is returned
    // and ends the reading.
    bool Next(RecordView& record);

    // Once Next has returned false: whether everything stored was read, so
    // that a save may replace the value without losing favourites.
    bool Complete() const { return Status() == DecodeStatus::Ok; }
    DecodeStatus Status() const;

private:
    bool ReadU32(std::uint32_t& v);
    bool ReadText(const std::uint8_t*& text, std::uint32_t len);
    bool ReadRecord(RecordView& record);

    const std::uint8_t* m_data;
    std::size_t m_size;
    bool m_withExpandedByte;
    std::size_t m_pos = 0;
    std::int32_t m_count = 0;
    std::int32_t m_read = 0;
    bool m_stopped = false;
    DecodeStatus m_status = DecodeStatus::Ok;
};

// Copies UTF-16LE bytes (any alignment) into a string of 16-bit characters.
// The bytes must hold 2 * units bytes, as a RecordView's texts do.
template <class Str>
Str ReadText(const std::uint8_t* bytes, std::uint32_t units) {
    using Char = typename Str::value_type;
    static_assert(sizeof(Char) == 2, "labels and paths are UTF-16");
    Str text(units, Char());
    if (kStoredByteOrder) {
        if (units != 0) std::memcpy(&text[0], bytes, 2u * units);
        return text;
    }
    for (std::size_t i = 0; i < units; ++i, bytes += 2) {
        text[i] = static_cast<Char>(static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)));
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
    std::vector<Record> records;  // up to, not including, the first depth-0 record
    bool complete = false;        // Status() == Ok
    DecodeStatus status = DecodeStatus::Ok;
    // Where and why reading stopped, for reports on a value that does not
    // load completely (all 0 for a complete one):
    std::int32_t count = 0;       // the header's record count
    std::size_t stopRecord = 0;   // 1-based record that stopped it; 0: the header, or
                                  // bytes after a header that counts no record
    std::size_t stopOffset = 0;   // byte offset of that record, or of the bytes
                                  // after the last counted record
};

// The value of these records in the current layout.
std::vector<std::uint8_t> Encode(const std::vector<Record>& records);
DecodeResult Decode(const std::uint8_t* data, std::size_t size, bool withExpandedByte);

}  // namespace favfmt
