// The favourites tree as a JSON document:
//
//   { "version": 1,
//     "favorites": [ { "label": "Docs", "folder": true, "expanded": true, "items": [ ... ] },
//                    { "label": "todo.txt", "path": "C:\\todo.txt" } ] }
//
// An optional top-level "meta" object is accepted and ignored, so that later
// versions can add fields. Export writes everything the stored value holds;
// texts that UTF-8 cannot carry (unpaired surrogates) are written as \u
// escapes, which import reads back.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tool/json_text.h"
#include "tool/stored_tree.h"

constexpr int kDocumentVersion = 1;
// Far beyond any real tree; larger files are refused before they are read.
constexpr std::size_t kMaxDocumentBytes = 64u * 1024 * 1024;

// ---- Writing documents

// The items in the document's shape.
nlohmann::ordered_json ItemsJson(const Tree& items);
// The whole document, with a final newline.
std::string ExportDocument(const Tree& tree, bool asciiOnly = false);

// How the bar shows or keeps this item differently from what the document
// holds, one phrase each; empty when it shows it as it is.
struct BarDifference {
    bool inPath;       // about the item's path rather than its label
    std::string text;  // "its label is ..."
};
std::vector<BarDifference> BarDifferences(const Item& item);

// ---- Reading documents

// The first problem of a document; line and column count from 1, the column
// in characters.
class DocumentError : public std::runtime_error {
public:
    DocumentError(std::size_t line, std::size_t column, const std::string& message)
        : std::runtime_error(message), line(line), column(column) {}
    std::size_t line;
    std::size_t column;
};

// Something import accepts but the bar will show or keep differently.
struct DocumentNote {
    std::size_t line;
    std::size_t column;
    std::string message;
};

struct ImportedDocument {
    Tree tree;
    std::vector<DocumentNote> notes;
    std::size_t slashedPaths = 0;  // paths whose "/" became "\"
};

// Reads and checks the whole document (UTF-8, with or without a byte order
// mark, or UTF-16 with one) before returning its tree. Throws DocumentError.
ImportedDocument ImportDocument(const std::string& bytes);

// A path as import keeps it: "/" becomes "\", as the bar writes paths,
// except after \\?\.
std::wstring PathAsImported(std::wstring path);

// Why import would not give back this tree from the document export wrote of
// it (paths taken as PathAsImported keeps them); nullopt when it would.
std::optional<std::string> RoundTripProblem(const Tree& tree, const std::string& document);
