#include "tool/display_width.h"

#include <cctype>
#include <vector>

namespace display {

namespace {

struct Glyph {
    std::string_view bytes;
    char32_t code = 0;
};

// Bytes that do not decode count as one narrow character each: the text is
// ours, so this is only a guard.
std::vector<Glyph> Glyphs(std::string_view utf8) {
    std::vector<Glyph> glyphs;
    std::size_t at = 0;
    while (at < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length != 0 && at + length <= utf8.size();
        for (std::size_t i = 1; valid && i < length; ++i) {
            const auto next = static_cast<unsigned char>(utf8[at + i]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            glyphs.push_back({utf8.substr(at, 1), 0xFFFD});
            ++at;
            continue;
        }
        glyphs.push_back({utf8.substr(at, length), code});
        at += length;
    }
    return glyphs;
}

std::size_t ColumnsOf(char32_t c) { return IsWide(c) ? 2 : 1; }

bool IsAscii(char32_t c) { return c < 0x80; }

// Japanese and English punctuation that closes what comes before it.
bool StartsNoLine(char32_t c) {
    static constexpr std::u32string_view closing = U"、。，．・：；？！）」』】〕｝〉》ー…ぁぃぅぇぉっゃゅょァィゥェォッャュョ),.:;!?]}";
    return closing.find(c) != std::u32string_view::npos;
}

bool EndsNoLine(char32_t c) {
    static constexpr std::u32string_view opening = U"（「『【〔｛〈《([{";
    return opening.find(c) != std::u32string_view::npos;
}

// Whether a line may break between glyphs[i - 1] and glyphs[i] of one word.
bool BreaksBefore(const std::vector<Glyph>& glyphs, std::size_t i) {
    const char32_t before = glyphs[i - 1].code;
    const char32_t after = glyphs[i].code;
    if (IsAscii(before) && IsAscii(after)) return false;
    if (!IsWide(before) && !IsWide(after)) return false;
    return !StartsNoLine(after) && !EndsNoLine(before);
}

std::size_t ColumnsBetween(const std::vector<Glyph>& glyphs, std::size_t from, std::size_t to) {
    std::size_t columns = 0;
    for (std::size_t i = from; i < to; ++i) columns += ColumnsOf(glyphs[i].code);
    return columns;
}

class Wrapper {
public:
    explicit Wrapper(std::size_t width) : m_width(width) {}

    void EndLine() {
        m_out += '\n';
        m_line = 0;
    }

    // One word: what stands between two spaces.
    void Place(std::string_view word) {
        const std::vector<Glyph> glyphs = Glyphs(word);
        std::size_t start = 0;
        for (;;) {
            const std::size_t separator = m_line > 0 ? 1 : 0;
            const std::size_t rest = ColumnsBetween(glyphs, start, glyphs.size());
            if (m_line + separator + rest <= m_width) {
                Append(glyphs, start, glyphs.size(), separator);
                return;
            }
            const std::size_t room = m_line + separator < m_width ? m_width - m_line - separator : 0;
            if (const std::size_t cut = LongestFitting(glyphs, start, room); cut != start) {
                Append(glyphs, start, cut, separator);
                EndLine();
                start = cut;
                continue;
            }
            if (m_line > 0) {
                EndLine();
                continue;
            }
            // Nothing fits on an empty line: the first unbreakable piece overflows.
            std::size_t cut = start + 1;
            while (cut < glyphs.size() && !BreaksBefore(glyphs, cut)) ++cut;
            Append(glyphs, start, cut, 0);
            if (cut == glyphs.size()) return;
            EndLine();
            start = cut;
        }
    }

    std::string Text() && { return std::move(m_out); }

private:
    // The farthest break after start whose piece fits in room columns; start when none does.
    static std::size_t LongestFitting(const std::vector<Glyph>& glyphs, std::size_t start, std::size_t room) {
        std::size_t best = start;
        std::size_t columns = 0;
        for (std::size_t i = start + 1; i < glyphs.size(); ++i) {
            columns += ColumnsOf(glyphs[i - 1].code);
            if (columns > room) break;
            if (BreaksBefore(glyphs, i)) best = i;
        }
        return best;
    }

    void Append(const std::vector<Glyph>& glyphs, std::size_t from, std::size_t to, std::size_t separator) {
        if (separator) m_out += ' ';
        for (std::size_t i = from; i < to; ++i) m_out += glyphs[i].bytes;
        m_line += separator + ColumnsBetween(glyphs, from, to);
    }

    std::size_t m_width;
    std::size_t m_line = 0;
    std::string m_out;
};

// How Japanese and ASCII meet at a piece's edges, for Spaced.
enum class Edge { None, Ascii, Japanese };

// How the character whose first byte is at lead meets a neighbour.
Edge EdgeOf(std::string_view text, std::size_t lead, bool atEnd) {
    const auto c = static_cast<unsigned char>(text[lead]);
    if (c < 0x80) {
        if (std::isalnum(c)) return Edge::Ascii;
        // A name or quotation may end a piece or begin one; an opening
        // bracket ends none, a closing one begins none.
        const std::string_view word = atEnd ? ")]\"%.'" : "([\"'\\/";
        return word.find(static_cast<char>(c)) != std::string_view::npos ? Edge::Ascii : Edge::None;
    }
    // U+3000 to U+303F (、。「」 and the like) and the full-width forms
    // (（）：) are punctuation.
    const auto second = lead + 1 < text.size() ? static_cast<unsigned char>(text[lead + 1]) : 0;
    if ((c == 0xE3 && second == 0x80) || (c == 0xEF && (second == 0xBC || second == 0xBD))) return Edge::None;
    return Edge::Japanese;
}

Edge LastEdge(std::string_view text) {
    if (text.empty()) return Edge::None;
    std::size_t lead = text.size() - 1;
    while (lead > 0 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) --lead;
    return EdgeOf(text, lead, true);
}

Edge FirstEdge(std::string_view text) { return text.empty() ? Edge::None : EdgeOf(text, 0, false); }

}  // namespace

bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

std::size_t Columns(std::string_view utf8) {
    const std::vector<Glyph> glyphs = Glyphs(utf8);
    return ColumnsBetween(glyphs, 0, glyphs.size());
}

std::string Wrap(std::string_view text, std::size_t width) {
    Wrapper wrapper(width);
    std::size_t lineStart = 0;
    for (;;) {
        const std::size_t lineEnd = text.find('\n', lineStart);
        const std::string_view line = text.substr(lineStart, lineEnd == std::string_view::npos ? text.npos : lineEnd - lineStart);
        std::size_t at = 0;
        for (;;) {
            const std::size_t space = line.find(' ', at);
            wrapper.Place(line.substr(at, space == std::string_view::npos ? line.npos : space - at));
            // A space at the end of a line separates nothing.
            if (space == std::string_view::npos || space + 1 == line.size()) break;
            at = space + 1;
        }
        if (lineEnd == std::string_view::npos) break;
        wrapper.EndLine();
        lineStart = lineEnd + 1;
    }
    return std::move(wrapper).Text();
}

std::string Spaced(std::initializer_list<std::string_view> pieces) {
    std::string out;
    for (const std::string_view piece : pieces) {
        const Edge before = LastEdge(out);
        const Edge after = FirstEdge(piece);
        if (before != Edge::None && after != Edge::None && before != after) out += ' ';
        out += piece;
    }
    return out;
}

}  // namespace display
