#include "store/favorites_format.h"

namespace favfmt {

namespace {

// Both length fields, depth, folder flag and filler; a folder's expanded byte comes on top.
constexpr std::size_t kRecordFixedSize = 4 + 4 + 1 + 1 + kFillerSize;

// Whether a length fits the 32-bit length field; shifted in two steps so the
// test is also valid (and silent) where size_t has 32 bits.
bool FitsU32(std::size_t n) { return (n >> 16 >> 16) == 0; }

}  // namespace

std::size_t RecordSize(std::size_t labelLen, std::size_t pathLen, bool folder) {
    return kRecordFixedSize + 2 * labelLen + 2 * pathLen + (folder ? 1 : 0);
}

void Writer::PutU32(std::uint32_t v) {
    std::uint8_t* out = m_buffer + m_pos;
    m_pos += 4;
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool Writer::WriteHeader(std::int32_t count) {
    if (m_pos != 0 || !Room(kHeaderSize)) return false;
    PutU32(kMagic);
    PutU32(static_cast<std::uint32_t>(count));
    return true;
}

bool Writer::BeginRecord(std::size_t labelLen, std::size_t pathLen, bool folder) const {
    if (!FitsU32(labelLen) || !FitsU32(pathLen)) return false;
    // In 64 bits so that huge lengths cannot wrap into a small size.
    const std::uint64_t size = kRecordFixedSize + 2 * static_cast<std::uint64_t>(labelLen) +
                               2 * static_cast<std::uint64_t>(pathLen) + (folder ? 1 : 0);
    return Room(size);
}

void Writer::EndRecord(std::uint8_t depth, bool folder, bool expanded) {
    PutByte(depth);
    PutByte(folder ? 1 : 0);
    if (folder) PutByte(expanded ? 1 : 0);
    std::memset(m_buffer + m_pos, 0, kFillerSize);
    m_pos += kFillerSize;
}

Reader::Reader(const std::uint8_t* data, std::size_t size, bool withExpandedByte)
    : m_data(data), m_size(size), m_withExpandedByte(withExpandedByte) {
    std::uint32_t tag = 0;
    std::uint32_t count = 0;
    if (!ReadU32(tag)) {  // NOLINT(bugprone-branch-clone): a short read before or after the tag alike
        m_status = DecodeStatus::Truncated;
    } else if (tag != kMagic) {
        m_status = DecodeStatus::BadTag;
    } else if (!ReadU32(count)) {
        m_status = DecodeStatus::Truncated;
    } else {
        m_count = static_cast<std::int32_t>(count);
    }
    m_stopped = m_status != DecodeStatus::Ok;
}

bool Reader::ReadU32(std::uint32_t& v) {
    if (m_size - m_pos < 4) return false;
    const std::uint8_t* p = m_data + m_pos;
    v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    m_pos += 4;
    return true;
}

bool Reader::ReadText(const std::uint8_t*& text, std::uint32_t len) {
    // In 64 bits: 2 * len must not wrap on a 32-bit size_t.
    const std::uint64_t bytes = 2 * static_cast<std::uint64_t>(len);
    if (bytes > m_size - m_pos) return false;
    text = m_data + m_pos;
    m_pos += static_cast<std::size_t>(bytes);
    return true;
}

// Reads the record at the cursor; on failure the cursor may be anywhere.
bool Reader::ReadRecord(RecordView& r) {
    if (!ReadU32(r.labelLen) || !ReadText(r.label, r.labelLen)) return false;
    if (!ReadU32(r.pathLen) || !ReadText(r.path, r.pathLen)) return false;
    if (m_size - m_pos < 2) return false;
    r.depth = m_data[m_pos++];
    r.folder = m_data[m_pos++] != 0;
    if (r.folder && m_withExpandedByte) {
        if (m_size - m_pos < 1) return false;
        r.expanded = m_data[m_pos++] != 0;
    }
    if (m_size - m_pos < kFillerSize) return false;
    m_pos += kFillerSize;
    return true;
}

bool Reader::Next(RecordView& record) {
    if (m_stopped || m_read >= m_count) return false;
    const std::size_t start = m_pos;
    RecordView r;
    if (!ReadRecord(r)) {
        m_pos = start;
        m_stopped = true;
        m_status = DecodeStatus::Truncated;
        return false;
    }
    ++m_read;
    if (r.depth == 0) {
        // Whatever the record holds cannot be placed in a tree, also as the
        // last one: the value does not load completely.
        m_stopped = true;
        m_status = DecodeStatus::DepthZero;
    }
    record = r;
    return true;
}

DecodeStatus Reader::Status() const {
    if (m_status != DecodeStatus::Ok) return m_status;
    if (!m_stopped && m_read < m_count) return DecodeStatus::Truncated;  // not read to the end yet
    if (m_pos != m_size) return DecodeStatus::TrailingBytes;
    return DecodeStatus::Ok;
}

}  // namespace favfmt
