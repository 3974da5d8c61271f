// Whole values to and from record lists, for favtool, the tests and the
// fuzzer. Apart from the record reader and writer, so that the plug-in, which
// reads and writes one record at a time, does not carry them.
#include "store/favorites_format.h"

namespace favfmt {

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
    result.count = reader.Count();
    const bool hasHeader = reader.HasTag();
    RecordView view;
    std::size_t read = 0;
    for (;;) {
        const std::size_t start = reader.Offset();
        if (!reader.Next(view)) break;
        ++read;
        if (view.depth == 0) {
            result.stopRecord = read;
            result.stopOffset = start;
            break;
        }
        Record r;
        r.label = ReadText<std::u16string>(view.label, view.labelLen);
        r.path = ReadText<std::u16string>(view.path, view.pathLen);
        r.depth = view.depth;
        r.folder = view.folder;
        r.expanded = view.expanded;
        result.records.push_back(std::move(r));
    }
    result.status = reader.Status();
    result.complete = result.status == DecodeStatus::Ok;
    switch (result.status) {
    case DecodeStatus::Truncated:
        // A header too short to hold its count stops at record 0.
        result.stopRecord = hasHeader ? read + 1 : 0;
        result.stopOffset = hasHeader ? reader.Offset() : 0;
        break;
    case DecodeStatus::TrailingBytes:
        result.stopRecord = read;
        result.stopOffset = reader.Offset();
        break;
    default:
        break;
    }
    return result;
}

}  // namespace favfmt
