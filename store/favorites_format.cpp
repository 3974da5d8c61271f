#include "store/favorites_format.h"

namespace favfmt {

std::size_t RecordSize(std::size_t labelLen, std::size_t pathLen, bool folder) {
    return 12 + 2 * labelLen + 2 * pathLen + (folder ? 1 : 0);
}

void Writer::PutU32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) m_buffer[m_pos++] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Writer::PutText(const char16_t* text, std::size_t len) {
    for (std::size_t i = 0; i < len; ++i) {
        m_buffer[m_pos++] = static_cast<std::uint8_t>(text[i]);
        m_buffer[m_pos++] = static_cast<std::uint8_t>(text[i] >> 8);
    }
}

bool Writer::WriteHeader(std::int32_t count) {
    if (m_pos != 0 || !Room(kHeaderSize)) return false;
    PutU32(kMagic);
    PutU32(static_cast<std::uint32_t>(count));
    return true;
}

bool Writer::WriteRecord(const char16_t* label, std::size_t labelLen, const char16_t* path, std::size_t pathLen,
                         std::uint8_t depth, bool folder, bool expanded) {
    if (labelLen > UINT32_MAX / 2 || pathLen > UINT32_MAX / 2) return false;
    if (!Room(RecordSize(labelLen, pathLen, folder))) return false;
    PutU32(static_cast<std::uint32_t>(labelLen));
    PutText(label, labelLen);
    PutU32(static_cast<std::uint32_t>(pathLen));
    PutText(path, pathLen);
    m_buffer[m_pos++] = depth;
    m_buffer[m_pos++] = folder ? 1 : 0;
    if (folder) m_buffer[m_pos++] = expanded ? 1 : 0;
    for (std::size_t i = 0; i < kFillerSize; ++i) m_buffer[m_pos++] = 0;
    return true;
}

Reader::Reader(const std::uint8_t* data, std::size_t size, bool withExpandedByte)
    : m_data(data), m_size(size), m_withExpandedByte(withExpandedByte) {
    std::uint32_t tag = 0;
    std::uint32_t count = 0;
    m_pos = 0;
    if (!ReadU32(tag)) {
        m_status = DecodeStatus::Truncated;
    } else if (tag != kMagic) {
        m_status = DecodeStatus::BadTag;
    } else if (!ReadU32(count)) {
        m_status = DecodeStatus::Truncated;
    } else {
        m_count = static_cast<std::int32_t>(count);
    }
    if (m_status != DecodeStatus::Ok) m_stopped = true;
}

bool Reader::ReadU32(std::uint32_t& v) {
    if (m_size - m_pos < 4) return false;
    v = static_cast<std::uint32_t>(m_data[m_pos]) | (static_cast<std::uint32_t>(m_data[m_pos + 1]) << 8) |
        (static_cast<std::uint32_t>(m_data[m_pos + 2]) << 16) | (static_cast<std::uint32_t>(m_data[m_pos + 3]) << 24);
    m_pos += 4;
    return true;
}

bool Reader::ReadText(const std::uint8_t*& text, std::uint32_t len) {
    // 64-bit arithmetic: 2 * len cannot overflow.
    const std::uint64_t bytes = 2ull * len;
    if (bytes > m_size - m_pos) return false;
    text = m_data + m_pos;
    m_pos += static_cast<std::size_t>(bytes);
    return true;
}

bool Reader::Next(RecordView& record) {
    if (m_stopped || m_read >= m_count) return false;
    RecordView r;
    std::uint8_t flags[3] = {};
    const std::size_t start = m_pos;
    bool ok = ReadU32(r.labelLen) && ReadText(r.label, r.labelLen) && ReadU32(r.pathLen) &&
              ReadText(r.path, r.pathLen) && m_size - m_pos >= 2;
    if (ok) {
        flags[0] = m_data[m_pos++];
        flags[1] = m_data[m_pos++];
        r.depth = flags[0];
        r.folder = flags[1] != 0;
        if (r.folder && m_withExpandedByte) {
            ok = m_size - m_pos >= 1;
            if (ok) r.expanded = m_data[m_pos++] != 0;
        }
        ok = ok && m_size - m_pos >= kFillerSize;
        if (ok) m_pos += kFillerSize;
    }
    if (!ok) {
        m_pos = start;
        m_stopped = true;
        m_status = DecodeStatus::Truncated;
        return false;
    }
    ++m_read;
    if (r.depth == 0) {
        m_stopped = true;
        if (m_read < m_count) m_status = DecodeStatus::DepthZero;
    }
    record = r;
    return true;
}

DecodeStatus Reader::Status() const {
    if (m_status != DecodeStatus::Ok) return m_status;
    if (m_read < m_count && !m_stopped) return DecodeStatus::Truncated;  // not read to the end yet
    if (m_pos != m_size) return DecodeStatus::TrailingBytes;
    return DecodeStatus::Ok;
}

std::vector<std::uint8_t> Encode(const std::vector<Record>& records) {
    std::size_t size = kHeaderSize;
    for (const Record& r : records) size += RecordSize(r.label.size(), r.path.size(), r.folder);
    std::vector<std::uint8_t> out(size);
    Writer writer(out.data(), out.size());
    writer.WriteHeader(static_cast<std::int32_t>(records.size()));
    for (const Record& r : records) {
        writer.WriteRecord(r.label.data(), r.label.size(), r.path.data(), r.path.size(), r.depth, r.folder,
                           r.expanded);
    }
    return out;
}

DecodeResult Decode(const std::uint8_t* data, std::size_t size, bool withExpandedByte) {
    DecodeResult result;
    Reader reader(data, size, withExpandedByte);
    RecordView view;
    while (reader.Next(view)) {
        if (view.depth == 0) break;
        Record r;
        r.label = ReadText<std::u16string>(view.label, view.labelLen);
        r.path = ReadText<std::u16string>(view.path, view.pathLen);
        r.depth = view.depth;
        r.folder = view.folder;
        r.expanded = view.expanded;
        result.records.push_back(std::move(r));
    }
    result.status = reader.Status();
    result.complete = reader.Complete();
    return result;
}

}  // namespace favfmt
