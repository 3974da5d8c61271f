#include "tool/json_document.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "store/tree_limits.h"
#include "tool/json_parser.h"
#include "tool/json_text.h"
#include "tool/text.h"

namespace {

// A document nests an object and an array per level; anything far deeper is
// refused while parsing, before it can cost memory or stack.
constexpr std::size_t kMaxContainerDepth = 2 * favfmt::kMaxDepth + 8;

nlohmann::ordered_json ItemJson(const Item& item) {
    nlohmann::ordered_json json;
    json["label"] = ToWtf8(item.label);
    // A folder's path is kept by the bar though it never uses it: so is it here.
    if (!item.folder || !item.path.empty()) json["path"] = ToWtf8(item.path);
    if (item.folder) {
        json["folder"] = true;
        json["expanded"] = item.expanded;
        json["items"] = ItemsJson(item.children);
    } else if (!item.children.empty()) {
        // Only values written by hand put items below a favourite; the bar keeps them there.
        json["items"] = ItemsJson(item.children);
    }
    return json;
}

// A UTF-16 document (it starts with a byte order mark) as UTF-8.
std::string FromUtf16Document(const std::string& bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) {
        throw DocumentError(1, 1, "the file starts as UTF-16 but has an odd number of bytes; save it as UTF-8");
    }
    std::wstring wide;
    wide.reserve(bytes.size() / 2 - 1);
    for (std::size_t i = 2; i < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        wide += static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    if (const auto lone = FirstLoneSurrogate(wide)) {
        const auto [line, column] = WideLineAndColumn(wide, *lone);
        throw DocumentError(line, column, "the UTF-16 file holds an unpaired surrogate outside a \\u escape");
    }
    std::string text;
    ToUtf8Exact(wide, text);
    return text;
}

// ---- Checking the document and building the tree

class DocumentReader {
public:
    DocumentReader(const LoneSurrogates& surrogates, std::vector<ProblemAt>& notes, std::size_t& slashedPaths)
        : m_surrogates(surrogates), m_notes(notes), m_slashedPaths(slashedPaths) {}

    Tree ReadDocument(const JsonNode& root) {
        Expect(root, JsonNode::Kind::Object, "the document must be an object");
        const Members members = Check(root, {"version", "favorites", "meta"});
        const JsonNode& version = Required(root, members[0], "version");
        if (version.kind != JsonNode::Kind::Integer) Fail(version, "\"version\" must be a whole number");
        if (version.integer != kDocumentVersion) {
            Fail(version, "unsupported version " + std::to_string(version.integer) + "; this favtool reads version " +
                              std::to_string(kDocumentVersion));
        }
        // Whatever later versions describe the document with; nothing of it is used.
        if (members[2]) Expect(*members[2], JsonNode::Kind::Object, "\"meta\" must be an object");
        const JsonNode& favorites = Required(root, members[1], "favorites");
        Expect(favorites, JsonNode::Kind::Array, "\"favorites\" must be an array");
        return ReadItems(favorites, 1);
    }

private:
    using Members = std::vector<const JsonNode*>;  // by the position of their key in the allowed list

    [[noreturn]] static void Fail(std::size_t offset, const std::string& message) { throw ProblemAt{offset, message}; }
    [[noreturn]] static void Fail(const JsonNode& at, const std::string& message) { Fail(at.offset, message); }
    static void Expect(const JsonNode& node, JsonNode::Kind kind, const std::string& message) {
        if (node.kind != kind) Fail(node, message);
    }

    // The object's members in the order of the allowed keys; unknown and repeated keys are problems.
    static Members Check(const JsonNode& object, const std::vector<const char*>& allowed) {
        Members found(allowed.size(), nullptr);
        for (const JsonMember& member : object.members) {
            std::size_t i = 0;
            while (i < allowed.size() && member.key != allowed[i]) ++i;
            if (i == allowed.size()) Fail(member.keyOffset, "unknown key \"" + member.key + "\"");
            if (found[i]) Fail(member.keyOffset, "\"" + member.key + "\" appears twice");
            found[i] = &member.value;
        }
        return found;
    }
    static const JsonNode& Required(const JsonNode& object, const JsonNode* member, const char* name) {
        if (!member) Fail(object, std::string("missing \"") + name + "\"");
        return *member;
    }
    std::wstring Text(const JsonNode* node, const char* name) const {
        if (node->kind != JsonNode::Kind::String) Fail(*node, std::string("\"") + name + "\" must be a string");
        return m_surrogates.Restore(FromUtf8(node->text));
    }
    static bool Flag(const JsonNode* node, const char* name) {
        if (!node) return false;
        if (node->kind != JsonNode::Kind::Boolean) Fail(*node, std::string("\"") + name + "\" must be true or false");
        return node->boolean;
    }

    Tree ReadItems(const JsonNode& array, unsigned level) {
        Tree items;
        for (const JsonNode& element : array.elements) items.push_back(ReadItem(element, level));
        return items;
    }

    Item ReadItem(const JsonNode& node, unsigned level) {
        enum { kLabel, kPath, kFolder, kExpanded, kItems };
        Expect(node, JsonNode::Kind::Object, "an item must be an object");
        if (level > favfmt::kMaxDepth) {
            Fail(node, "this item is " + std::to_string(level) + " levels deep; the bar holds at most " +
                           std::to_string(favfmt::kMaxDepth));
        }
        const Members m = Check(node, {"label", "path", "folder", "expanded", "items"});
        Item item;
        // Control characters (escaped: JSON holds none raw) are kept as the value held them: export
        // writes whatever the value holds, and what it writes comes back whole.
        item.label = Text(&Required(node, m[kLabel], "label"), "label");
        item.folder = Flag(m[kFolder], "folder");
        if (item.folder) {
            if (m[kPath]) item.path = Text(m[kPath], "path");
            item.expanded = Flag(m[kExpanded], "expanded");
        } else {
            if (!m[kPath]) Fail(node, "missing \"path\" (or \"folder\": true)");
            item.path = Text(m[kPath], "path");
            if (m[kExpanded]) Fail(*m[kExpanded], "only folders have \"expanded\"");
        }
        const std::wstring asImported = PathAsImported(item.path);
        if (asImported != item.path) {
            item.path = asImported;
            ++m_slashedPaths;
        }
        for (const BarDifference& difference : BarDifferences(item)) {
            m_notes.push_back({(difference.inPath ? m[kPath] : m[kLabel])->offset, difference.text});
        }
        if (m[kItems]) {
            Expect(*m[kItems], JsonNode::Kind::Array, "\"items\" must be an array");
            item.children = ReadItems(*m[kItems], level + 1);
        }
        return item;
    }

    const LoneSurrogates& m_surrogates;
    std::vector<ProblemAt>& m_notes;
    std::size_t& m_slashedPaths;
};


}  // namespace

nlohmann::ordered_json ItemsJson(const Tree& items) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const Item& item : items) array.push_back(ItemJson(item));
    return array;
}

std::string ExportDocument(const Tree& tree, bool asciiOnly) {
    nlohmann::ordered_json document;
    document["version"] = kDocumentVersion;
    document["favorites"] = ItemsJson(tree);
    return DumpJson(document, asciiOnly) + "\n";
}

std::vector<BarDifference> BarDifferences(const Item& item) {
    std::vector<BarDifference> differences;
    if (item.label.size() > kTreeLabelUnits) {
        differences.push_back({false, "its label is " + std::to_string(item.label.size()) +
                                          " UTF-16 units long; the bar shows it whole but keeps only the first " +
                                          std::to_string(kTreeLabelUnits) + " when it saves"});
    }
    if (const auto lone = FirstLoneSurrogate(item.label)) {
        differences.push_back({false, "its label holds an unpaired surrogate (\\u" +
                                          Hex4(static_cast<std::uint16_t>(item.label[*lone])) +
                                          "), which shows as no character"});
    }
    if (const auto control = FirstControlCharacter(item.label)) {
        differences.push_back({false, "its label holds the control character " +
                                          CodePointName(static_cast<std::uint16_t>(*control)) +
                                          ", which the bar shows as no character or a box"});
    }
    if (item.path.find(L'\0') != std::wstring::npos) {
        differences.push_back({true, "its path holds a NUL character, which no file name holds"});
    }
    if (item.folder && !item.path.empty()) {
        differences.push_back({true, "it is a folder with a path, which the bar keeps but never uses"});
    }
    return differences;
}

std::wstring PathAsImported(std::wstring path) {
    // Windows takes "/" for "\" in file names; the bar's own paths use "\". Paths
    // starting with \\?\ are passed on unparsed, so there "/" is a character.
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

std::optional<std::string> RoundTripProblem(const Tree& tree, const std::string& document) {
    std::vector<favfmt::Record> expected = Flatten(tree);
    for (favfmt::Record& record : expected) {
        const std::wstring path = PathAsImported(std::wstring(record.path.begin(), record.path.end()));
        record.path.assign(path.begin(), path.end());
    }
    std::vector<favfmt::Record> read;
    try {
        if (document.size() > kMaxDocumentBytes) return "the document is larger than import reads";
        read = Flatten(ImportDocument(document).tree);
    } catch (const DocumentError& e) {
        return "import would refuse the document at " + std::to_string(e.line) + ":" + std::to_string(e.column) +
               ": " + e.what();
    }
    const std::size_t common = std::min(expected.size(), read.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (!(expected[i] == read[i])) return "record " + std::to_string(i + 1) + " would not come back as it is";
    }
    if (expected.size() != read.size()) {
        return "import would read " + std::to_string(read.size()) + " records, not " + std::to_string(expected.size());
    }
    return std::nullopt;
}

ImportedDocument ImportDocument(const std::string& bytes) {
    std::string text;
    if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) {
        text = FromUtf16Document(bytes, bytes[0] == '\xFE');
    } else {
        text = bytes;
        if (const std::optional<std::size_t> bad = FirstInvalidUtf8(text)) {
            const auto [line, column] = LineAndColumn(text, *bad);
            if (LooksLikeShiftJis(text)) {
                throw DocumentError(line, column,
                                    "the file is not UTF-8; it reads as Shift_JIS: save it as UTF-8 (in Notepad: "
                                    "File, Save As, Encoding UTF-8) and import it again");
            }
            char byte[8];
            (void)std::snprintf(byte, sizeof(byte), "0x%02X", static_cast<unsigned char>(text[*bad]));
            throw DocumentError(line, column,
                                std::string("byte ") + byte + " is not UTF-8: save the file as UTF-8 and import it again");
        }
    }
    ImportedDocument imported;
    std::vector<ProblemAt> notes;
    try {
        const LoneSurrogates surrogates(text);
        const JsonNode root = ParseJson(
            text, kMaxContainerDepth, "nested far deeper than the bar's " + std::to_string(favfmt::kMaxDepth) + " levels");
        imported.tree = DocumentReader(surrogates, notes, imported.slashedPaths).ReadDocument(root);
    } catch (const ProblemAt& problem) {
        const auto [line, column] = LineAndColumn(text, problem.offset);
        throw DocumentError(line, column, problem.message);
    }
    for (const ProblemAt& note : notes) {
        const auto [line, column] = LineAndColumn(text, note.offset);
        imported.notes.push_back({line, column, note.message});
    }
    return imported;
}
