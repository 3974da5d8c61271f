#include "tool/json_document.h"

#include <cstdint>
#include <iterator>
#include <vector>

#include <nlohmann/json.hpp>

#include "store/item_model.h"
#include "tool/registry.h"
#include "tool/text.h"

namespace {

// The bar reads labels back into buffers of this size, terminator included.
constexpr std::size_t kMaxLabelUnits = kTextBufferChars - 1;
// A document nests an object and an array per level; anything far deeper is
// refused while parsing, before it can cost memory or stack.
constexpr std::size_t kMaxContainerDepth = 2 * favfmt::kMaxDepth + 8;
// UTF-8's byte order mark, which the parser skips at the start of a document.
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

// ---- Export

nlohmann::ordered_json ItemsJson(const Tree& items);

std::string Exact(const std::wstring& text, const Item& item, const char* what) {
    std::string out;
    if (!ToUtf8Exact(text, out)) {
        throw ToolError("record " + std::to_string(item.record) + ": its " + what +
                        " holds a lone surrogate, which a document cannot carry; nothing exported");
    }
    return out;
}

nlohmann::ordered_json ItemJson(const Item& item) {
    std::string problem = LabelProblem(item.label);
    if (problem.empty()) problem = PathProblem(item.path, item.folder);
    if (!problem.empty()) {
        throw ToolError("record " + std::to_string(item.record) + " (\"" + ToUtf8(item.label) + "\"): " + problem +
                        "; import would refuse it, so nothing was exported");
    }
    nlohmann::ordered_json json;
    json["label"] = Exact(item.label, item, "label");
    if (item.folder) {
        json["folder"] = true;
        json["expanded"] = item.expanded;
        json["items"] = ItemsJson(item.children);
    } else {
        json["path"] = Exact(item.path, item, "path");
        // Only values written by hand put items below a favourite; the bar keeps them there.
        if (!item.children.empty()) json["items"] = ItemsJson(item.children);
    }
    return json;
}

nlohmann::ordered_json ItemsJson(const Tree& items) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const Item& item : items) array.push_back(ItemJson(item));
    return array;
}

// ---- Parsing, with the byte offset of every value

struct JsonMember;

struct JsonNode {
    enum class Kind { Null, Boolean, Integer, OtherNumber, String, Array, Object };
    Kind kind = Kind::Null;
    std::size_t offset = 0;  // of the value's first byte
    bool boolean = false;
    std::int64_t integer = 0;
    std::string text;
    std::vector<JsonNode> elements;
    std::vector<JsonMember> members;
};

struct JsonMember {
    std::string key;
    std::size_t keyOffset = 0;
    JsonNode value;
};

struct ProblemAt {
    std::size_t offset;
    std::string message;
};

// Input iterator for the parser that publishes how far the parser has read,
// so each event can be placed in the text.
class TrackingIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    TrackingIterator(const char* at, const char** readUpTo) : m_at(at), m_readUpTo(readUpTo) {}
    reference operator*() const { return *m_at; }
    TrackingIterator& operator++() {
        ++m_at;
        if (m_readUpTo) *m_readUpTo = m_at;
        return *this;
    }
    TrackingIterator operator++(int) {
        TrackingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const TrackingIterator& o) const { return m_at == o.m_at; }
    bool operator!=(const TrackingIterator& o) const { return m_at != o.m_at; }

private:
    const char* m_at;
    const char** m_readUpTo;
};

// Builds JsonNodes from the parser's events. Between two tokens JSON has only
// white space, ':' and ',', so a value starts at the first other byte after
// the previous event. The parser reads one byte past a number; that byte is
// one of those separators or a closing bracket, whose event comes next.
class NodeBuilder {
public:
    using json = nlohmann::json;

    explicit NodeBuilder(const std::string& text) : m_text(text), m_readUpTo(text.data()) {
        if (text.compare(0, 3, kByteOrderMark) == 0) m_lastEnd = 3;
    }

    const char** ReadUpTo() { return &m_readUpTo; }
    JsonNode& Root() { return m_root; }
    const ProblemAt& Problem() const { return m_problem; }

    bool null() { return Add(JsonNode{}); }
    bool boolean(bool value) {
        JsonNode node;
        node.kind = JsonNode::Kind::Boolean;
        node.boolean = value;
        return Add(std::move(node));
    }
    bool number_integer(json::number_integer_t value) {
        JsonNode node;
        node.kind = JsonNode::Kind::Integer;
        node.integer = value;
        return Add(std::move(node));
    }
    bool number_unsigned(json::number_unsigned_t value) {
        JsonNode node;
        node.kind = value <= static_cast<std::uint64_t>(INT64_MAX) ? JsonNode::Kind::Integer : JsonNode::Kind::OtherNumber;
        node.integer = static_cast<std::int64_t>(value);
        return Add(std::move(node));
    }
    bool number_float(json::number_float_t, const json::string_t&) {
        JsonNode node;
        node.kind = JsonNode::Kind::OtherNumber;
        return Add(std::move(node));
    }
    bool string(json::string_t& value) {
        JsonNode node;
        node.kind = JsonNode::Kind::String;
        node.text = std::move(value);
        return Add(std::move(node));
    }
    bool binary(json::binary_t&) { return false; }  // not produced by JSON text
    bool start_object(std::size_t) { return Open(JsonNode::Kind::Object); }
    bool start_array(std::size_t) { return Open(JsonNode::Kind::Array); }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool key(json::string_t& name) {
        JsonMember member;
        member.key = std::move(name);
        member.keyOffset = NextValueStart();
        m_open.back()->members.push_back(std::move(member));
        EventDone();
        return true;
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) {
        // position counts the bytes read, the offending one (or the end) included.
        m_problem = {position ? position - 1 : 0, ParserMessage(e.what())};
        return false;
    }

private:
    static std::string ParserMessage(const std::string& what) {
        // "[json.exception.parse_error.101] parse error at line 1, column 2: syntax error ..."
        const std::size_t column = what.find("column ");
        const std::size_t colon = column == std::string::npos ? column : what.find(": ", column);
        return colon == std::string::npos ? what : what.substr(colon + 2);
    }

    std::size_t NextValueStart() const {
        std::size_t at = m_lastEnd;
        while (at < m_text.size() && std::string_view(" \t\r\n:,").find(m_text[at]) != std::string_view::npos) ++at;
        return at;
    }
    void EventDone() { m_lastEnd = static_cast<std::size_t>(m_readUpTo - m_text.data()); }

    // Places a value in the open container (or as the root); returns where it went.
    JsonNode* Place(JsonNode node) {
        node.offset = NextValueStart();
        if (m_open.empty()) {
            m_root = std::move(node);
            return &m_root;
        }
        JsonNode& parent = *m_open.back();
        if (parent.kind == JsonNode::Kind::Array) {
            parent.elements.push_back(std::move(node));
            return &parent.elements.back();
        }
        parent.members.back().value = std::move(node);
        return &parent.members.back().value;
    }
    bool Add(JsonNode node) {
        Place(std::move(node));
        EventDone();
        return true;
    }
    // The containers below an open one never move while it is open: only the
    // innermost container grows.
    bool Open(JsonNode::Kind kind) {
        JsonNode node;
        node.kind = kind;
        JsonNode* placed = Place(std::move(node));
        if (m_open.size() >= kMaxContainerDepth) {
            m_problem = {placed->offset, "nested far deeper than the bar's " + std::to_string(favfmt::kMaxDepth) +
                                             " levels"};
            return false;
        }
        m_open.push_back(placed);
        EventDone();
        return true;
    }
    bool Close() {
        m_open.pop_back();
        EventDone();
        return true;
    }

    const std::string& m_text;
    const char* m_readUpTo;
    std::size_t m_lastEnd = 0;
    JsonNode m_root;
    std::vector<JsonNode*> m_open;
    ProblemAt m_problem{0, "the document ended early"};
};

// ---- Checking the document and building the tree

class DocumentReader {
public:
    Tree ReadDocument(const JsonNode& root) {
        Expect(root, JsonNode::Kind::Object, "the document must be an object");
        const Members members = Check(root, {"version", "favorites"});
        const JsonNode& version = Required(root, members[0], "version");
        if (version.kind != JsonNode::Kind::Integer) Fail(version, "\"version\" must be a whole number");
        if (version.integer != kDocumentVersion) {
            Fail(version, "unsupported version " + std::to_string(version.integer) + "; this favtool reads version " +
                              std::to_string(kDocumentVersion));
        }
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
    static std::wstring Text(const JsonNode* node, const char* name) {
        if (node->kind != JsonNode::Kind::String) Fail(*node, std::string("\"") + name + "\" must be a string");
        return FromUtf8(node->text);
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
        item.label = Text(&Required(node, m[kLabel], "label"), "label");
        if (const std::string problem = LabelProblem(item.label); !problem.empty()) Fail(*m[kLabel], problem);
        item.folder = Flag(m[kFolder], "folder");
        if (item.folder) {
            if (m[kPath]) item.path = Text(m[kPath], "path");
            item.expanded = Flag(m[kExpanded], "expanded");
        } else {
            if (!m[kPath]) Fail(node, "missing \"path\" (or \"folder\": true)");
            item.path = Text(m[kPath], "path");
            if (m[kExpanded]) Fail(*m[kExpanded], "only folders have \"expanded\"");
        }
        if (const std::string problem = PathProblem(item.path, item.folder); !problem.empty()) Fail(*m[kPath], problem);
        if (m[kItems]) {
            Expect(*m[kItems], JsonNode::Kind::Array, "\"items\" must be an array");
            item.children = ReadItems(*m[kItems], level + 1);
        }
        return item;
    }
};

// Line and column (in characters) of a byte offset.
std::pair<std::size_t, std::size_t> LineAndColumn(const std::string& text, std::size_t offset) {
    std::size_t line = 1;
    std::size_t column = 1;
    const std::size_t start = text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;  // editors do not count it
    for (std::size_t i = start; i < offset && i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n') {
            ++line;
            column = 1;
        } else if ((byte & 0xC0) != 0x80) {
            ++column;
        }
    }
    return {line, column};
}

}  // namespace

std::string LabelProblem(const std::wstring& label) {
    if (label.find(L'\0') != std::wstring::npos) return "\"label\" holds a NUL character";
    if (label.size() > kMaxLabelUnits) {
        return "\"label\" is " + std::to_string(label.size()) + " UTF-16 units long; the bar holds at most " +
               std::to_string(kMaxLabelUnits);
    }
    return {};
}

std::string PathProblem(const std::wstring& path, bool folder) {
    if (path.find(L'\0') != std::wstring::npos) return "\"path\" holds a NUL character";
    if (folder && !path.empty()) return "\"path\" must be empty for a folder";
    return {};
}

std::string ExportDocument(const Tree& tree) {
    nlohmann::ordered_json document;
    document["version"] = kDocumentVersion;
    document["favorites"] = ItemsJson(tree);
    return document.dump(2) + "\n";
}

Tree ImportDocument(const std::string& text) {
    try {
        NodeBuilder builder(text);
        const char* const begin = text.data();
        const char* const end = begin + text.size();
        if (!nlohmann::json::sax_parse(TrackingIterator(begin, builder.ReadUpTo()), TrackingIterator(end, nullptr),
                                       &builder)) {
            // NOLINTNEXTLINE(cert-err60-cpp,cert-err61-cpp): a copy of the builder's record, caught just below
            throw builder.Problem();
        }
        return DocumentReader().ReadDocument(builder.Root());
    } catch (const ProblemAt& problem) {
        const auto [line, column] = LineAndColumn(text, problem.offset);
        throw DocumentError(line, column, problem.message);
    }
}
