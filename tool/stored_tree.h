// The favourites tree as the bar builds it from the stored records, and a
// stored value inspected record by record. Window-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "store/favorites_format.h"
#include "tool/language.h"

struct Item {
    std::wstring label;
    std::wstring path;
    bool folder = false;
    bool expanded = false;
    std::size_t record = 0;  // 1-based position among the stored records; 0 when read from a document
    std::vector<Item> children;
};
using Tree = std::vector<Item>;

// Nests records as the bar loads them: a jump of several levels lands under
// the latest item, and depths beyond the parent table hang at its last level.
Tree BuildTree(const std::vector<favfmt::Record>& records);
// Pre-order records with the depths the bar saves: 1 at the top level.
std::vector<favfmt::Record> Flatten(const Tree& tree);

struct TreeCounts {
    std::size_t favorites = 0;
    std::size_t folders = 0;
    unsigned deepest = 0;  // 1 for a tree of top-level items only
};
TreeCounts Count(const Tree& tree);

// What the bar loads from a stored value, and where and why reading stopped.
struct Inspection {
    std::vector<favfmt::Record> records;  // those the bar shows, in stored order
    favfmt::DecodeStatus status = favfmt::DecodeStatus::Ok;
    std::int32_t count = 0;       // the header's record count
    std::size_t size = 0;         // of the value
    std::size_t stopRecord = 0;   // 1-based record at which reading stopped; 0 for the header
    std::size_t stopOffset = 0;   // byte offset of that record, or of bytes after the last one
    unsigned deepestStored = 0;   // largest stored depth among the loaded records
    std::uint8_t tag[4] = {};

    bool Complete() const { return status == favfmt::DecodeStatus::Ok; }
    // Why reading stopped, in one phrase in the language spoken; empty for a
    // complete value. In Japanese a sentence of its own ("レコード 3 (全 6 件中、
    // バイト位置 40) が値の終わり (60 バイト) を越えています").
    std::string StopReason() const;
    // In the language given: documents give it in English whatever is spoken.
    std::string StopReason(Language language) const;
};
Inspection Inspect(const std::vector<std::uint8_t>& value, bool withExpandedByte);
