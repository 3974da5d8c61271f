// Stored favourites values built and read by hand, independently of the
// plug-in's own encoder and decoder, for tests and the benchmark.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

struct StoredRecord {
    std::wstring label;
    std::wstring path;
    int depth = 1;
    bool folder = false;
    bool expanded = false;
};

// The value in the current layout (folder records carry the expanded byte) or
// the old one; count < 0 writes the number of records.
std::vector<BYTE> StoredValue(const std::vector<StoredRecord>& records, bool withExpandedByte = true,
                              int count = -1);

// The records of a whole value in the given layout, filler ignored; nothing
// when it is not one: a wrong tag, a count other than the number of records,
// a record cut short, a depth of 0, or bytes after the last record.
std::optional<std::vector<StoredRecord>> ParseStoredValue(const std::vector<BYTE>& value,
                                                          bool withExpandedByte = true);
