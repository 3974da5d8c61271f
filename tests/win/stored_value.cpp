#include "tests/win/stored_value.h"

namespace {

void PutU32(std::vector<BYTE>& out, UINT32 v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
}

void PutText(std::vector<BYTE>& out, const std::wstring& text) {
    PutU32(out, static_cast<UINT32>(text.size()));
    for (wchar_t c : text) {
        out.push_back(static_cast<BYTE>(c));
        out.push_back(static_cast<BYTE>(c >> 8));
    }
}

// Reads the value front to back; every read fails once past the end.
class ValueReader {
public:
    explicit ValueReader(const std::vector<BYTE>& value) : m_value(value) {}
    bool AtEnd() const { return m_at == m_value.size(); }
    bool Byte(BYTE& b) {
        if (m_at >= m_value.size()) return false;
        b = m_value[m_at++];
        return true;
    }
    bool U32(UINT32& v) {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            BYTE b = 0;
            if (!Byte(b)) return false;
            v |= static_cast<UINT32>(b) << (8 * i);
        }
        return true;
    }
    bool Text(std::wstring& text) {
        UINT32 length = 0;
        if (!U32(length) || length > (m_value.size() - m_at) / 2) return false;
        text.clear();
        for (UINT32 i = 0; i < length; ++i) {
            text += static_cast<wchar_t>(m_value[m_at] | (m_value[m_at + 1] << 8));
            m_at += 2;
        }
        return true;
    }

private:
    const std::vector<BYTE>& m_value;
    size_t m_at = 0;
};

}  // namespace

std::vector<BYTE> StoredValue(const std::vector<StoredRecord>& records, bool withExpandedByte, int count) {
    std::vector<BYTE> out = {0x08, 0x0F, 0xEF, 0x00};
    PutU32(out, static_cast<UINT32>(count < 0 ? static_cast<int>(records.size()) : count));
    for (const StoredRecord& r : records) {
        PutText(out, r.label);
        PutText(out, r.path);
        out.push_back(static_cast<BYTE>(r.depth));
        out.push_back(r.folder ? 1 : 0);
        if (r.folder && withExpandedByte) out.push_back(r.expanded ? 1 : 0);
        out.push_back(0);
        out.push_back(0);
    }
    return out;
}

std::optional<std::vector<StoredRecord>> ParseStoredValue(const std::vector<BYTE>& value, bool withExpandedByte) {
    ValueReader in(value);
    UINT32 tag = 0;
    UINT32 count = 0;
    if (!in.U32(tag) || tag != 0x00EF0F08 || !in.U32(count)) return std::nullopt;
    std::vector<StoredRecord> records;
    while (!in.AtEnd()) {
        StoredRecord r;
        BYTE depth = 0;
        BYTE folder = 0;
        BYTE expanded = 0;
        BYTE filler = 0;
        if (!in.Text(r.label) || !in.Text(r.path) || !in.Byte(depth) || !in.Byte(folder)) return std::nullopt;
        r.depth = depth;
        r.folder = folder != 0;
        if (r.folder && withExpandedByte && !in.Byte(expanded)) return std::nullopt;
        r.expanded = expanded != 0;
        if (!in.Byte(filler) || !in.Byte(filler) || depth == 0) return std::nullopt;
        records.push_back(r);
    }
    if (records.size() != count) return std::nullopt;
    return records;
}
