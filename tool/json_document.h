// The favourites tree as a JSON document:
//
//   { "version": 1,
//     "favorites": [ { "label": "Docs", "folder": true, "expanded": true, "items": [ ... ] },
//                    { "label": "todo.txt", "path": "C:\\todo.txt" } ] }
//
// Only what the bar can hold is accepted: labels of at most 259 UTF-16 units,
// at most 101 levels, folders without paths, no NUL characters.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

#include "tool/stored_tree.h"

constexpr int kDocumentVersion = 1;

// Pretty-printed UTF-8 with a final newline. Throws ToolError, naming the
// stored record, for a tree that a document cannot carry back.
std::string ExportDocument(const Tree& tree);

// The first problem of a document; line and column count from 1, the column
// in characters.
class DocumentError : public std::runtime_error {
public:
    DocumentError(std::size_t line, std::size_t column, const std::string& message)
        : std::runtime_error(message), line(line), column(column) {}
    std::size_t line;
    std::size_t column;
};

// Reads and checks the whole document before returning its tree.
Tree ImportDocument(const std::string& text);

// Why the bar cannot hold this label or path as it is; empty when it can.
std::string LabelProblem(const std::wstring& label);
std::string PathProblem(const std::wstring& path, bool folder);
