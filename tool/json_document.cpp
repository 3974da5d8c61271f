#include "tool/json_document.h"

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <vector>

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

bool IsHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

std::string Hex4(std::uint32_t unit) {
    char text[8];
    (void)std::snprintf(text, sizeof(text), "%04x", static_cast<unsigned>(unit & 0xFFFF));
    return text;
}

std::string CodePointName(std::uint32_t unit) {
    char text[12];
    (void)std::snprintf(text, sizeof(text), "U+%04X", static_cast<unsigned>(unit));
    return text;
}

// ---- Writing

// The next code point of UTF-8 that may hold surrogates; advances at. An
// invalid byte reads as U+FFFD.
std::uint32_t NextCodePoint(const std::string& text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size()) {
        ++at;
        return 0xFFFD;
    }
    std::uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) {
            ++at;
            return 0xFFFD;
        }
        cp = (cp << 6) | (byte(at + k) & 0x3F);
    }
    at += length;
    return cp;
}

void AppendEscaped(const std::string& text, bool asciiOnly, std::string& out) {
    out += '"';
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        const std::uint32_t cp = NextCodePoint(text, at);
        switch (cp) {
        case '"': out += "\\\""; continue;
        case '\\': out += "\\\\"; continue;
        case '\b': out += "\\b"; continue;
        case '\f': out += "\\f"; continue;
        case '\n': out += "\\n"; continue;
        case '\r': out += "\\r"; continue;
        case '\t': out += "\\t"; continue;
        default: break;
        }
        if (cp < 0x20 || IsHighSurrogate(cp) || IsLowSurrogate(cp) || (asciiOnly && cp >= 0x7F)) {
            if (cp > 0xFFFF) {
                out += "\\u" + Hex4(0xD800 + ((cp - 0x10000) >> 10)) + "\\u" + Hex4(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                out += "\\u" + Hex4(cp);
            }
        } else if (cp == 0xFFFD && text.compare(start, 3, "\xEF\xBF\xBD") != 0) {
            out += "\\ufffd";
        } else {
            out.append(text, start, at - start);
        }
    }
    out += '"';
}

void AppendJson(const nlohmann::ordered_json& value, bool asciiOnly, std::size_t indent, std::string& out) {
    using value_t = nlohmann::ordered_json::value_t;
    switch (value.type()) {
    case value_t::object:
    case value_t::array: {
        const bool object = value.is_object();
        if (value.empty()) {
            out += object ? "{}" : "[]";
            return;
        }
        out += object ? "{\n" : "[\n";
        std::size_t i = 0;
        for (auto it = value.begin(); it != value.end(); ++it, ++i) {
            if (i) out += ",\n";
            out.append(indent + 2, ' ');
            if (object) {
                AppendEscaped(it.key(), asciiOnly, out);
                out += ": ";
            }
            AppendJson(*it, asciiOnly, indent + 2, out);
        }
        out += "\n";
        out.append(indent, ' ');
        out += object ? "}" : "]";
        return;
    }
    case value_t::string:
        AppendEscaped(value.get_ref<const std::string&>(), asciiOnly, out);
        return;
    default:
        out += value.dump();  // numbers, booleans, null
        return;
    }
}

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

std::optional<std::wstring::size_type> FirstLoneSurrogate(const std::wstring& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint32_t unit = static_cast<std::uint16_t>(text[i]);
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(static_cast<std::uint16_t>(text[i + 1]))) {
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<wchar_t> FirstControlCharacter(const std::wstring& text) {
    for (wchar_t c : text) {
        if (c < 0x20 || c == 0x7F) return c;
    }
    return std::nullopt;
}

// ---- Reading: encodings

std::optional<std::size_t> FirstInvalidUtf8(const std::string& text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = byte(i);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return i;
        const unsigned char second = byte(i + 1);
        // No overlong forms, no surrogates, nothing beyond U+10FFFF.
        if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second > 0x9F) || (c == 0xF0 && second < 0x90) ||
            (c == 0xF4 && second > 0x8F)) {
            return i;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80) return i;
        }
        i += length;
    }
    return std::nullopt;
}

// Line and column of a position in UTF-16 text.
std::pair<std::size_t, std::size_t> WideLineAndColumn(const std::wstring& text, std::size_t at) {
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < at && i < text.size(); ++i) {
        if (text[i] == L'\n') {
            ++line;
            column = 1;
        } else if (!IsLowSurrogate(static_cast<std::uint16_t>(text[i]))) {
            ++column;
        }
    }
    return {line, column};
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

// The parser refuses escapes of unpaired surrogates, which exported labels
// and paths may hold. Each such escape is replaced by an escape of the same
// length of a private-use character that the document holds nowhere else,
// so every offset stays where it was; Restore maps them back.
class LoneSurrogates {
public:
    explicit LoneSurrogates(std::string& text) {
        std::vector<std::pair<std::size_t, std::uint32_t>> lone;
        std::set<std::uint32_t> used;
        bool inString = false;
        for (std::size_t i = 0; i < text.size();) {
            const char c = text[i];
            if (!inString || c == '"') {
                inString = inString ? false : c == '"';
                ++i;
            } else if (c == '\\') {
                const std::optional<std::uint32_t> unit = EscapedUnit(text, i);
                if (!unit) {
                    i += 2;
                    continue;
                }
                const std::optional<std::uint32_t> next = EscapedUnit(text, i + 6);
                if (IsHighSurrogate(*unit) && next && IsLowSurrogate(*next)) {
                    i += 12;
                    continue;
                }
                if (IsHighSurrogate(*unit) || IsLowSurrogate(*unit)) {
                    lone.emplace_back(i, *unit);
                } else {
                    used.insert(*unit);
                }
                i += 6;
            } else {
                const auto lead = static_cast<unsigned char>(c);
                if (lead >= 0xE0 && lead <= 0xEF && i + 2 < text.size()) {
                    used.insert(((lead & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                                (static_cast<unsigned char>(text[i + 2]) & 0x3Fu));
                }
                ++i;
            }
        }
        std::map<std::uint32_t, std::uint32_t> standIn;  // surrogate -> private-use character
        std::uint32_t candidate = 0xE000;
        for (const auto& [offset, unit] : lone) {
            auto it = standIn.find(unit);
            if (it == standIn.end()) {
                while (candidate <= 0xF8FF && used.count(candidate)) ++candidate;
                if (candidate > 0xF8FF) {
                    throw DocumentError(1, 1, "the document holds too many different unpaired surrogates");
                }
                it = standIn.emplace(unit, candidate++).first;
                m_back[static_cast<wchar_t>(it->second)] = static_cast<wchar_t>(unit);
            }
            text.replace(offset + 2, 4, Hex4(it->second));
        }
    }

    std::wstring Restore(std::wstring text) const {
        if (m_back.empty()) return text;
        for (wchar_t& c : text) {
            const auto it = m_back.find(c);
            if (it != m_back.end()) c = it->second;
        }
        return text;
    }

private:
    // The unit of a \uXXXX escape at offset at, if there is one.
    static std::optional<std::uint32_t> EscapedUnit(const std::string& text, std::size_t at) {
        if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return std::nullopt;
        std::uint32_t unit = 0;
        for (std::size_t k = 2; k < 6; ++k) {
            const char h = text[at + k];
            const int digit = h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
            if (digit < 0) return std::nullopt;
            unit = unit * 16 + static_cast<std::uint32_t>(digit);
        }
        return unit;
    }

    std::map<wchar_t, wchar_t> m_back;
};

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
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) {
        // position counts the bytes read, the offending one (or the end) included.
        const std::size_t at = position ? position - 1 : 0;
        m_problem = {at, SyntaxProblem(at)};
        return false;
    }

private:
    // In the tool's own words, from what the parser read: its wording is its own.
    std::string SyntaxProblem(std::size_t at) const {
        if (at >= m_text.size()) return "the document ends before it is complete (a bracket, brace or quote is not closed)";
        const auto byte = static_cast<unsigned char>(m_text[at]);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
            char code[8];
            (void)std::snprintf(code, sizeof(code), "%04X", byte);
            return std::string("not valid JSON: the control character U+") + code + " must be written as \\u" + code +
                   " inside a string";
        }
        // The character the parser stopped at, whole.
        std::size_t end = at + 1;
        while (end < m_text.size() && (static_cast<unsigned char>(m_text[end]) & 0xC0) == 0x80) ++end;
        return "not valid JSON: unexpected \"" + m_text.substr(at, end - at) + "\"";
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
        item.label = Text(&Required(node, m[kLabel], "label"), "label");
        if (const std::optional<wchar_t> control = FirstControlCharacter(item.label)) {
            Fail(*m[kLabel], "\"label\" holds the control character " + CodePointName(static_cast<std::uint16_t>(*control)) +
                                 ", which labels cannot hold");
        }
        item.folder = Flag(m[kFolder], "folder");
        if (item.folder) {
            if (m[kPath]) item.path = Text(m[kPath], "path");
            item.expanded = Flag(m[kExpanded], "expanded");
        } else {
            if (!m[kPath]) Fail(node, "missing \"path\" (or \"folder\": true)");
            item.path = Text(m[kPath], "path");
            if (m[kExpanded]) Fail(*m[kExpanded], "only folders have \"expanded\"");
        }
        if (item.path.find(L'\0') != std::wstring::npos) Fail(*m[kPath], "\"path\" holds a NUL character");
        // Windows takes "/" for "\" in file names; the bar's own paths use "\". Paths
        // starting with \\?\ are passed on unparsed, so there "/" is a character.
        if (item.path.rfind(L"\\\\?\\", 0) != 0 && item.path.find(L'/') != std::wstring::npos) {
            for (wchar_t& c : item.path) {
                if (c == L'/') c = L'\\';
            }
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

std::string ToWtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = static_cast<std::uint16_t>(text[i]);
        if (IsHighSurrogate(cp) && i + 1 < text.size() && IsLowSurrogate(static_cast<std::uint16_t>(text[i + 1]))) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<std::uint16_t>(text[++i]) - 0xDC00);
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string DumpJson(const nlohmann::ordered_json& value, bool asciiOnly) {
    std::string out;
    AppendJson(value, asciiOnly, 0, out);
    return out;
}

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
    if (item.label.size() > kMaxLabelUnits) {
        differences.push_back({false, "its label is " + std::to_string(item.label.size()) +
                                          " UTF-16 units long; the bar shows it whole but keeps only the first " +
                                          std::to_string(kMaxLabelUnits) + " when it saves"});
    }
    if (const auto lone = FirstLoneSurrogate(item.label)) {
        differences.push_back({false, "its label holds an unpaired surrogate (\\u" +
                                          Hex4(static_cast<std::uint16_t>(item.label[*lone])) +
                                          "), which shows as no character"});
    }
    if (const auto control = FirstControlCharacter(item.label)) {
        differences.push_back({false, "its label holds the control character " +
                                          CodePointName(static_cast<std::uint16_t>(*control)) +
                                          ", which import refuses: remove it from the document before importing"});
    }
    if (item.folder && !item.path.empty()) {
        differences.push_back({true, "it is a folder with a path, which the bar keeps but never uses"});
    }
    return differences;
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
        NodeBuilder builder(text);
        const char* const begin = text.data();
        const char* const end = begin + text.size();
        if (!nlohmann::json::sax_parse(TrackingIterator(begin, builder.ReadUpTo()), TrackingIterator(end, nullptr),
                                       &builder)) {
            // NOLINTNEXTLINE(cert-err60-cpp,cert-err61-cpp): a copy of the builder's record, caught just below
            throw builder.Problem();
        }
        imported.tree = DocumentReader(surrogates, notes, imported.slashedPaths).ReadDocument(builder.Root());
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
