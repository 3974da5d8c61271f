#include "tool/json_text.h"

#include <cstdio>

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

namespace {

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
