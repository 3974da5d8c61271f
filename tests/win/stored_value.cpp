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
