// Stored favourites values built by hand, independently of the plug-in's own
// encoder, for tests and the benchmark.
#pragma once

#include <windows.h>

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
