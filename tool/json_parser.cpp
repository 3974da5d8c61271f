#include "tool/json_parser.h"

#include <cstdio>
#include <iterator>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

#include "tool/json_text.h"
#include "tool/language.h"

namespace {

// The unit of a \uXXXX escape at offset at, if there is one.
std::optional<std::uint32_t> EscapedUnit(const std::string& text, std::size_t at) {
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

}  // namespace

LoneSurrogates::LoneSurrogates(std::string& text) {
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
                throw ProblemAt{0, Say("the document holds too many different unpaired surrogates",
                                           "JSON ファイルに、対になっていないサロゲートの種類が多すぎます")};
            }
            it = standIn.emplace(unit, candidate++).first;
            m_back[static_cast<wchar_t>(it->second)] = static_cast<wchar_t>(unit);
        }
        text.replace(offset + 2, 4, Hex4(it->second));
    }
}

std::wstring LoneSurrogates::Restore(std::wstring text) const {
    if (m_back.empty()) return text;
    for (wchar_t& c : text) {
        const auto it = m_back.find(c);
        if (it != m_back.end()) c = it->second;
    }
    return text;
}

namespace {

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

    NodeBuilder(const std::string& text, std::size_t maxDepth, std::string tooDeep)
        : m_text(text), m_readUpTo(text.data()), m_maxDepth(maxDepth), m_tooDeep(std::move(tooDeep)) {
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
        if (at >= m_text.size()) {
            return Say("the document ends before it is complete (a bracket, brace or quote is not closed)",
                       "JSON ファイルが途中で終わっています (角かっこ、波かっこ、引用符のどれかが閉じていません)");
        }
        const auto byte = static_cast<unsigned char>(m_text[at]);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
            char code[8];
            (void)std::snprintf(code, sizeof(code), "%04X", byte);
            return Say(std::string("not valid JSON: the control character U+") + code + " must be written as \\u" +
                           code + " inside a string",
                       std::string("正しい JSON ではありません。文字列の中の制御文字 U+") + code + " は \\u" + code +
                           " と書く必要があります");
        }
        // The character the parser stopped at, whole.
        std::size_t end = at + 1;
        while (end < m_text.size() && (static_cast<unsigned char>(m_text[end]) & 0xC0) == 0x80) ++end;
        const std::string found = "\"" + m_text.substr(at, end - at) + "\"";
        return Say("not valid JSON: unexpected " + found, "正しい JSON ではありません。ここに " + found + " は書けません");
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
        if (m_open.size() >= m_maxDepth) {
            m_problem = {placed->offset, m_tooDeep};
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
    std::size_t m_maxDepth;
    std::string m_tooDeep;
    std::size_t m_lastEnd = 0;
    JsonNode m_root;
    std::vector<JsonNode*> m_open;
    ProblemAt m_problem{0, Say("the document ended early", "JSON ファイルが途中で終わっています")};
};

}  // namespace

JsonNode ParseJson(const std::string& text, std::size_t maxDepth, const std::string& tooDeep) {
    NodeBuilder builder(text, maxDepth, tooDeep);
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    if (!nlohmann::json::sax_parse(TrackingIterator(begin, builder.ReadUpTo()), TrackingIterator(end, nullptr),
                                   &builder)) {
        // NOLINTNEXTLINE(cert-err60-cpp,cert-err61-cpp): a copy of the builder's record, caught by the caller
        throw builder.Problem();
    }
    return std::move(builder.Root());
}
