#include "tool/json_document.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "store/tree_limits.h"
#include "tool/json_parser.h"
#include "tool/json_text.h"
#include "tool/language.h"
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
        throw DocumentError(1, 1, Say("the file starts as UTF-16 but has an odd number of bytes; save it as UTF-8",
                                      "このファイルは UTF-16 で始まっていますが、バイト数が奇数です。UTF-8 で保存して"
                                      "ください"));
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
        throw DocumentError(line, column,
                            Say("the UTF-16 file holds an unpaired surrogate outside a \\u escape",
                                "UTF-16 のファイルの \\u エスケープの外に、対になっていないサロゲートがあります"));
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
        Expect(root, JsonNode::Kind::Object,
               Say("the document must be an object", "JSON ファイル全体がオブジェクトでなければなりません"));
        const Members members = Check(root, {"version", "favorites", "meta"});
        const JsonNode& version = Required(root, members[0], "version");
        if (version.kind != JsonNode::Kind::Integer) {
            Fail(version, Say("\"version\" must be a whole number", "\"version\" は整数でなければなりません"));
        }
        if (version.integer != kDocumentVersion) {
            const std::string found = std::to_string(version.integer);
            const std::string read = std::to_string(kDocumentVersion);
            Fail(version, Say("unsupported version " + found + "; this favtool reads version " + read,
                              "バージョン " + found + " には対応していません。この favtool が読めるのはバージョン " +
                                  read + " です"));
        }
        // Whatever later versions describe the document with; nothing of it is used.
        if (members[2]) Expect(*members[2], JsonNode::Kind::Object, MustBe("meta", Kind::Object));
        const JsonNode& favorites = Required(root, members[1], "favorites");
        Expect(favorites, JsonNode::Kind::Array, MustBe("favorites", Kind::Array));
        return ReadItems(favorites, 1);
    }

private:
    using Members = std::vector<const JsonNode*>;  // by the position of their key in the allowed list
    enum class Kind { Object, Array, String, Boolean };

    // "\"items\" must be an array"
    static std::string MustBe(const std::string& name, Kind kind) {
        const std::string quoted = "\"" + name + "\"";
        switch (kind) {
        case Kind::Object: return Say(quoted + " must be an object", quoted + " はオブジェクトでなければなりません");
        case Kind::Array: return Say(quoted + " must be an array", quoted + " は配列でなければなりません");
        case Kind::String: return Say(quoted + " must be a string", quoted + " は文字列でなければなりません");
        case Kind::Boolean: break;
        }
        return Say(quoted + " must be true or false", quoted + " は true か false でなければなりません");
    }

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
            const std::string quoted = "\"" + member.key + "\"";
            if (i == allowed.size()) Fail(member.keyOffset, Say("unknown key " + quoted, "不明なキー " + quoted + " があります"));
            if (found[i]) Fail(member.keyOffset, Say(quoted + " appears twice", quoted + " が 2 回あります"));
            found[i] = &member.value;
        }
        return found;
    }
    static const JsonNode& Required(const JsonNode& object, const JsonNode* member, const char* name) {
        if (!member) {
            const std::string quoted = std::string("\"") + name + "\"";
            Fail(object, Say("missing " + quoted, quoted + " がありません"));
        }
        return *member;
    }
    std::wstring Text(const JsonNode* node, const char* name) const {
        if (node->kind != JsonNode::Kind::String) Fail(*node, MustBe(name, Kind::String));
        return m_surrogates.Restore(FromUtf8(node->text));
    }
    static bool Flag(const JsonNode* node, const char* name) {
        if (!node) return false;
        if (node->kind != JsonNode::Kind::Boolean) Fail(*node, MustBe(name, Kind::Boolean));
        return node->boolean;
    }

    Tree ReadItems(const JsonNode& array, unsigned level) {
        Tree items;
        for (const JsonNode& element : array.elements) items.push_back(ReadItem(element, level));
        return items;
    }

    Item ReadItem(const JsonNode& node, unsigned level) {
        enum { kLabel, kPath, kFolder, kExpanded, kItems };
        Expect(node, JsonNode::Kind::Object,
               Say("an item must be an object", "項目はオブジェクトでなければなりません"));
        if (level > favfmt::kMaxDepth) {
            const std::string deep = std::to_string(level);
            const std::string most = std::to_string(favfmt::kMaxDepth);
            Fail(node, Say("this item is " + deep + " levels deep; the bar holds at most " + most,
                           "この項目は " + deep + " 階層目にあります。バーが持てるのは " + most + " 階層までです"));
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
            if (!m[kPath]) {
                Fail(node, Say("missing \"path\" (or \"folder\": true)",
                               "\"path\" (または \"folder\": true) がありません"));
            }
            item.path = Text(m[kPath], "path");
            if (m[kExpanded]) {
                Fail(*m[kExpanded],
                     Say("only folders have \"expanded\"", "\"expanded\" を持てるのはフォルダーだけです"));
            }
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
            Expect(*m[kItems], JsonNode::Kind::Array, MustBe("items", Kind::Array));
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
        const std::string units = std::to_string(item.label.size());
        const std::string kept = std::to_string(kTreeLabelUnits);
        differences.push_back({false, Say("its label is " + units +
                                              " UTF-16 units long; the bar shows it whole but keeps only the first " +
                                              kept + " when it saves",
                                          "ラベルの長さが UTF-16 で " + units +
                                              " 単位あります。バーは全体を表示しますが、保存するときは最初の " + kept +
                                              " 単位だけを残します")});
    }
    if (const auto lone = FirstLoneSurrogate(item.label)) {
        const std::string escape = "\\u" + Hex4(static_cast<std::uint16_t>(item.label[*lone]));
        differences.push_back({false, Say("its label holds an unpaired surrogate (" + escape +
                                              "), which shows as no character",
                                          "ラベルに対になっていないサロゲート (" + escape +
                                              ") があり、文字としては表示されません")});
    }
    if (const auto control = FirstControlCharacter(item.label)) {
        const std::string code = CodePointName(static_cast<std::uint16_t>(*control));
        differences.push_back({false, Say("its label holds the control character " + code +
                                              ", which the bar shows as no character or a box",
                                          "ラベルに制御文字 " + code +
                                              " があり、バーでは何も表示されないか、四角で表示されます")});
    }
    if (item.path.find(L'\0') != std::wstring::npos) {
        differences.push_back({true, Say("its path holds a NUL character, which no file name holds",
                                         "パスに NUL 文字があります。NUL 文字を含むファイル名はありません")});
    }
    if (item.folder && !item.path.empty()) {
        differences.push_back({true, Say("it is a folder with a path, which the bar keeps but never uses",
                                         "パスを持つフォルダーです。バーはこのパスを残しますが、使いません")});
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
        if (document.size() > kMaxDocumentBytes) {
            return Say("the document is larger than import reads", "JSON ファイルが、import で読める大きさを超えます");
        }
        read = Flatten(ImportDocument(document).tree);
    } catch (const DocumentError& e) {
        const std::string at = std::to_string(e.line) + ":" + std::to_string(e.column);
        return Say("import would refuse the document at " + at + ": " + e.what(),
                   "import は " + at + " の位置でこの JSON ファイルを拒否します: " + e.what());
    }
    const std::size_t common = std::min(expected.size(), read.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (!(expected[i] == read[i])) {
            const std::string record = std::to_string(i + 1);
            return Say("record " + record + " would not come back as it is",
                       "レコード " + record + " が元のとおりに戻りません");
        }
    }
    if (expected.size() != read.size()) {
        const std::string got = std::to_string(read.size());
        const std::string wanted = std::to_string(expected.size());
        return Say("import would read " + got + " records, not " + wanted,
                   "import が読み込むのはレコード " + wanted + " 件ではなく、" + got + " 件です");
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
                // The steps in the names Notepad shows in each language.
                throw DocumentError(line, column,
                                    Say("the file is not UTF-8; it reads as Shift_JIS: save it as UTF-8 (in Notepad: "
                                        "File, Save As, Encoding UTF-8) and import it again",
                                        "このファイルは UTF-8 ではなく、Shift_JIS として読めます。メモ帳の [ファイル] "
                                        "メニューの [名前を付けて保存] で [文字コード] に [UTF-8] を選んで保存して"
                                        "から、もう一度読み込んでください"));
            }
            char byte[8];
            (void)std::snprintf(byte, sizeof(byte), "0x%02X", static_cast<unsigned char>(text[*bad]));
            throw DocumentError(line, column,
                                Say(std::string("byte ") + byte + " is not UTF-8: save the file as UTF-8 and import it again",
                                    std::string("バイト ") + byte +
                                        " は UTF-8 ではありません。ファイルを UTF-8 で保存してから、もう一度読み込んで"
                                        "ください"));
        }
    }
    ImportedDocument imported;
    std::vector<ProblemAt> notes;
    try {
        const LoneSurrogates surrogates(text);
        const std::string levels = std::to_string(favfmt::kMaxDepth);
        const JsonNode root = ParseJson(text, kMaxContainerDepth,
                                        Say("nested far deeper than the bar's " + levels + " levels",
                                            "入れ子が、バーの " + levels + " 階層よりはるかに深くなっています"));
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
