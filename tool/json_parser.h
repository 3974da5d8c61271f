// JSON text parsed into nodes that know the byte offset of every value, so
// that each problem of a document is reported at its line and column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A problem at a byte offset of the text.
struct ProblemAt {
    std::size_t offset;
    std::string message;
};

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

// The parser refuses escapes of unpaired surrogates, which exported labels
// and paths may hold. Each such escape is replaced by an escape of the same
// length of a private-use character that the document holds nowhere else,
// so every offset stays where it was; Restore maps them back.
class LoneSurrogates {
public:
    // Throws ProblemAt when the private-use characters run out.
    explicit LoneSurrogates(std::string& text);
    std::wstring Restore(std::wstring text) const;

private:
    std::map<wchar_t, wchar_t> m_back;
};

// The text's values, containers nested deeper than maxDepth refused with the
// problem tooDeep. Throws ProblemAt.
JsonNode ParseJson(const std::string& text, std::size_t maxDepth, const std::string& tooDeep);
