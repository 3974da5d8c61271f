#include "tool/stored_tree.h"

#include <algorithm>
#include <cstdio>

#include "store/parent_table.h"

namespace {

constexpr int kTopLevel = -1;

Item ItemFrom(const favfmt::Record& record, std::size_t index) {
    Item item;
    item.label.assign(record.label.begin(), record.label.end());
    item.path.assign(record.path.begin(), record.path.end());
    item.folder = record.folder;
    item.expanded = record.folder && record.expanded;
    item.record = index + 1;
    return item;
}

Item BuildItem(const std::vector<favfmt::Record>& records, const std::vector<std::vector<int>>& children, int index) {
    Item item = ItemFrom(records[static_cast<std::size_t>(index)], static_cast<std::size_t>(index));
    for (int child : children[static_cast<std::size_t>(index)]) item.children.push_back(BuildItem(records, children, child));
    return item;
}

void FlattenInto(const Tree& items, std::uint8_t depth, std::vector<favfmt::Record>& out) {
    for (const Item& item : items) {
        favfmt::Record record;
        record.label.assign(item.label.begin(), item.label.end());
        record.path.assign(item.path.begin(), item.path.end());
        record.depth = depth;
        record.folder = item.folder;
        record.expanded = item.folder && item.expanded;
        out.push_back(std::move(record));
        FlattenInto(item.children, static_cast<std::uint8_t>(depth + 1), out);
    }
}

void CountInto(const Tree& items, unsigned level, TreeCounts& counts) {
    for (const Item& item : items) {
        ++(item.folder ? counts.folders : counts.favorites);
        counts.deepest = std::max(counts.deepest, level);
        CountInto(item.children, level + 1, counts);
    }
}

std::string Hex(const std::uint8_t* bytes, std::size_t n) {
    std::string out;
    char buffer[4];
    for (std::size_t i = 0; i < n; ++i) {
        (void)std::snprintf(buffer, sizeof(buffer), "%02X", bytes[i]);
        out += (i ? " " : "") + std::string(buffer);
    }
    return out;
}

}  // namespace

Tree BuildTree(const std::vector<favfmt::Record>& records) {
    // Parents first, by index, with the bar's own table; then the nesting.
    ParentTable<int> parents;
    parents.Reset(kTopLevel);
    std::vector<std::vector<int>> children(records.size());
    std::vector<int> topLevel;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const int parent = parents.ParentFor(records[i].depth);
        (parent == kTopLevel ? topLevel : children[static_cast<std::size_t>(parent)]).push_back(static_cast<int>(i));
        parents.Inserted(records[i].depth, static_cast<int>(i));
    }
    Tree tree;
    for (int index : topLevel) tree.push_back(BuildItem(records, children, index));
    return tree;
}

std::vector<favfmt::Record> Flatten(const Tree& tree) {
    std::vector<favfmt::Record> out;
    FlattenInto(tree, 1, out);
    return out;
}

TreeCounts Count(const Tree& tree) {
    TreeCounts counts;
    CountInto(tree, 1, counts);
    return counts;
}

Inspection Inspect(const std::vector<std::uint8_t>& value, bool withExpandedByte) {
    Inspection out;
    out.size = value.size();
    std::copy_n(value.begin(), std::min<std::size_t>(value.size(), sizeof(out.tag)), out.tag);
    favfmt::DecodeResult decoded = favfmt::Decode(value.data(), value.size(), withExpandedByte);
    out.records = std::move(decoded.records);
    out.status = decoded.status;
    out.count = decoded.count;
    out.stopRecord = decoded.stopRecord;
    out.stopOffset = decoded.stopOffset;
    for (const favfmt::Record& record : out.records) out.deepestStored = std::max<unsigned>(out.deepestStored, record.depth);
    return out;
}

std::string Inspection::StopReason() const { return StopReason(SpokenLanguage()); }

std::string Inspection::StopReason(Language language) const {
    using favfmt::DecodeStatus;
    const auto say = [language](std::string english, std::string japanese) {
        return language == Language::Japanese ? std::move(japanese) : std::move(english);
    };
    const std::string record = std::to_string(stopRecord);
    const std::string counted = std::to_string(count);
    const std::string offset = std::to_string(stopOffset);
    const std::string bytes = std::to_string(size);
    // English: "record 3 of 6 (byte offset 40)"; Japanese: "レコード 3 (全 6 件中、バイト位置 40)".
    const std::string which = say("record " + record + " of " + counted + " (byte offset " + offset + ")",
                                  "レコード " + record + " (全 " + counted + " 件中、バイト位置 " + offset + ")");
    switch (status) {
    case DecodeStatus::Ok:
        return {};
    case DecodeStatus::BadTag: {
        const std::string tagBytes = Hex(tag, sizeof(tag));
        return say("not a favourites value: it starts with " + tagBytes + ", not 08 0F EF 00",
                   "お気に入りの値ではありません: 先頭が 08 0F EF 00 ではなく " + tagBytes + " です");
    }
    case DecodeStatus::Truncated:
        if (stopRecord == 0) {
            return say("the value is " + bytes + " bytes, shorter than its 8-byte header",
                       "値は " + bytes + " バイトしかなく、8 バイトのヘッダーより短いです");
        }
        return say(which + " runs past the end of the value (" + bytes + " bytes)",
                   which + " が値の終わり (" + bytes + " バイト) を越えています");
    case DecodeStatus::DepthZero:
        return say(which + " has depth 0, which ends the tree early",
                   which + " の深さが 0 で、ツリーがそこで途切れています");
    case DecodeStatus::TrailingBytes: {
        const std::string following = std::to_string(size - stopOffset);
        if (stopRecord == 0) {
            return say(following + " bytes follow a header that counts " + counted + " records (byte offset " +
                           offset + ")",
                       "レコード " + counted + " 件と数えるヘッダーのあとに " + following +
                           " バイトが続いています (バイト位置 " + offset + ")");
        }
        return say(following + " bytes follow the last counted record, " + which,
                   "数えた最後のレコード、" + which + " のあとに " + following + " バイトが続いています");
    }
    }
    return {};
}
