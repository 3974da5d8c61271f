#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "store/favorites_format.h"

using favfmt::DecodeStatus;
using favfmt::Record;
using Bytes = std::vector<std::uint8_t>;

namespace {

// An expanded folder F holding a text item x with path c:\x.
const Bytes kWorkedExample = {
    0x08, 0x0F, 0xEF, 0x00, 0x02, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x00, 0x00, 0x46, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00,
    0x01, 0x00, 0x00, 0x00, 0x78, 0x00, 0x04, 0x00, 0x00, 0x00, 0x63, 0x00, 0x3A, 0x00, 0x5C, 0x00, 0x78, 0x00,
    0x02, 0x00, 0x00, 0x00};
const std::vector<Record> kWorkedRecords = {{u"F", u"", 1, true, true}, {u"x", u"c:\\x", 2, false, false}};

// Offsets into the worked example.
constexpr size_t kCountAt = 4;
constexpr size_t kFolderLabelLenAt = 8;
constexpr size_t kFolderFlagAt = 19;
constexpr size_t kFolderExpandedAt = 20;
constexpr size_t kItemLabelLenAt = 23;
constexpr size_t kItemPathLenAt = 29;
constexpr size_t kItemDepthAt = 41;

favfmt::DecodeResult DecodeBytes(const Bytes& value, bool withExpandedByte = true) {
    return favfmt::Decode(value.data(), value.size(), withExpandedByte);
}

Bytes WithU32(Bytes value, size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) value[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return value;
}

Bytes WithByte(Bytes value, size_t at, std::uint8_t b) {
    value[at] = b;
    return value;
}

Bytes Cut(const Bytes& value, size_t size) { return Bytes(value.begin(), value.begin() + size); }

Bytes ReadSeed(const char* name) {
    std::ifstream in(std::string(FAVORITES_FUZZ_CORPUS) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(FavoritesEncode, WorkedExampleIsExactlyItsFortyFiveBytes) {
    EXPECT_EQ(15u, favfmt::RecordSize(1, 0, true));
    EXPECT_EQ(22u, favfmt::RecordSize(1, 4, false));
    const Bytes value = favfmt::Encode(kWorkedRecords);
    EXPECT_EQ(45u, value.size());
    EXPECT_EQ(kWorkedExample, value);
}

TEST(FavoritesEncode, WriterTakesAnySixteenBitTextAndZeroesTheFillerOfADirtyBuffer) {
    // Windows hands over wchar_t text; a 16-bit type other than char16_t stands in for it.
    const std::uint16_t label[] = {'F'};
    const std::uint16_t item[] = {'x'};
    const std::uint16_t path[] = {'c', ':', '\\', 'x'};
    Bytes buffer(kWorkedExample.size(), 0xCC);
    favfmt::Writer writer(buffer.data(), buffer.size());
    ASSERT_TRUE(writer.WriteHeader(2));
    ASSERT_TRUE(writer.WriteRecord(label, 1, path, 0, 1, true, true));
    ASSERT_TRUE(writer.WriteRecord(item, 1, path, 4, 2, false, true));  // expanded is not stored for text items
    EXPECT_EQ(buffer.size(), writer.Written());
    EXPECT_EQ(kWorkedExample, buffer);
}

TEST(FavoritesEncode, WriterRefusesWhatDoesNotFitAndWritesNothingOfIt) {
    Bytes buffer(favfmt::kHeaderSize + favfmt::RecordSize(1, 0, false) + 1, 0xCC);
    favfmt::Writer writer(buffer.data(), buffer.size() - 1);
    EXPECT_TRUE(writer.WriteHeader(2));
    EXPECT_FALSE(writer.WriteHeader(2));                                   // only at the start
    EXPECT_FALSE(writer.WriteRecord(u"a", 1, u"", 0, 1, true, false));     // one byte too many
    EXPECT_EQ(favfmt::kHeaderSize, writer.Written());
    // Lengths whose byte counts wrap around a size_t must not pass as small.
    volatile size_t hugeLength = static_cast<size_t>(-1) / 2 + 1;  // opaque to the optimiser
    const size_t wraps = hugeLength;
    EXPECT_FALSE(writer.WriteRecord(u"a", wraps, u"", wraps, 1, false, false));
    EXPECT_TRUE(writer.WriteRecord(u"a", 1, u"", 0, 1, false, false));
    EXPECT_FALSE(writer.WriteRecord(u"", 0, u"", 0, 1, false, false));
    EXPECT_EQ(buffer.size() - 1, writer.Written());
    EXPECT_EQ(0xCC, buffer.back());
}

TEST(FavoritesDecode, WorkedExampleGivesBackItsTreeThroughViewsIntoTheValue) {
    const auto decoded = DecodeBytes(kWorkedExample);
    EXPECT_EQ(DecodeStatus::Ok, decoded.status);
    EXPECT_TRUE(decoded.complete);
    EXPECT_EQ(kWorkedRecords, decoded.records);

    favfmt::Reader reader(kWorkedExample.data(), kWorkedExample.size(), true);
    EXPECT_TRUE(reader.HasTag());
    EXPECT_EQ(2, reader.Count());
    favfmt::RecordView view;
    ASSERT_TRUE(reader.Next(view));
    EXPECT_EQ(kWorkedExample.data() + 12, view.label);
    EXPECT_EQ(0u, view.pathLen);
    ASSERT_TRUE(reader.Next(view));
    EXPECT_EQ(kWorkedExample.data() + 33, view.path);
    EXPECT_EQ(u"c:\\x", favfmt::ReadText<std::u16string>(view.path, view.pathLen));
    EXPECT_FALSE(view.expanded);
    EXPECT_FALSE(reader.Next(view));
    EXPECT_TRUE(reader.Complete());
}

TEST(FavoritesDecode, OldLayoutFoldersHaveNoExpandedByteAndLoadCollapsed) {
    Bytes old = kWorkedExample;
    old.erase(old.begin() + kFolderExpandedAt);
    const auto decoded = DecodeBytes(old, false);
    EXPECT_TRUE(decoded.complete);
    ASSERT_EQ(2u, decoded.records.size());
    EXPECT_TRUE(decoded.records[0].folder);
    EXPECT_FALSE(decoded.records[0].expanded);
    EXPECT_EQ(kWorkedRecords[1], decoded.records[1]);
    // Each layout misreads the other's folders.
    EXPECT_FALSE(DecodeBytes(old, true).complete);
    EXPECT_FALSE(DecodeBytes(kWorkedExample, false).complete);
}

TEST(FavoritesDecode, AnyNonzeroFlagReadsAsTrue) {
    const auto decoded = DecodeBytes(WithByte(WithByte(kWorkedExample, kFolderFlagAt, 0x80), kFolderExpandedAt, 7));
    ASSERT_TRUE(decoded.complete);
    EXPECT_TRUE(decoded.records[0].folder);
    EXPECT_TRUE(decoded.records[0].expanded);
}

TEST(FavoritesDecode, HostileValuesAreReadOnlyWithinTheirBytes) {
    struct Case {
        const char* name;
        Bytes value;
        DecodeStatus status;
        size_t records;
    };
    Bytes trailing = kWorkedExample;
    trailing.push_back(0);
    const std::vector<Case> cases = {
        {"empty", {}, DecodeStatus::Truncated, 0},
        {"shorter than a tag", Cut(kWorkedExample, 3), DecodeStatus::Truncated, 0},
        {"header without count", Cut(kWorkedExample, 7), DecodeStatus::Truncated, 0},
        {"wrong tag", WithByte(kWorkedExample, 3, 1), DecodeStatus::BadTag, 0},
        {"wrong tag, short", {0x09, 0x0F, 0xEF, 0x00}, DecodeStatus::BadTag, 0},
        {"huge count", WithU32(kWorkedExample, kCountAt, 0x7FFFFFFF), DecodeStatus::Truncated, 2},
        {"one record too many", WithU32(kWorkedExample, kCountAt, 3), DecodeStatus::Truncated, 2},
        {"label length all ones", WithU32(kWorkedExample, kFolderLabelLenAt, 0xFFFFFFFF), DecodeStatus::Truncated,
         0},
        {"label length doubling to 0", WithU32(kWorkedExample, kItemLabelLenAt, 0x80000000),
         DecodeStatus::Truncated, 1},
        {"path length all ones", WithU32(kWorkedExample, kItemPathLenAt, 0xFFFFFFFF), DecodeStatus::Truncated, 1},
        {"expanded byte cut", Cut(kWorkedExample, kFolderExpandedAt), DecodeStatus::Truncated, 0},
        {"filler cut", Cut(kWorkedExample, 44), DecodeStatus::Truncated, 1},
        {"trailing byte", trailing, DecodeStatus::TrailingBytes, 2},
        {"fewer counted than stored", WithU32(kWorkedExample, kCountAt, 1), DecodeStatus::TrailingBytes, 1},
        {"zero count with records", WithU32(kWorkedExample, kCountAt, 0), DecodeStatus::TrailingBytes, 0},
        {"negative count with records", WithU32(kWorkedExample, kCountAt, 0xFFFFFFFE), DecodeStatus::TrailingBytes,
         0},
    };
    for (const Case& c : cases) {
        const auto decoded = DecodeBytes(c.value);
        EXPECT_EQ(c.status, decoded.status) << c.name;
        EXPECT_FALSE(decoded.complete) << c.name;
        EXPECT_EQ(c.records, decoded.records.size()) << c.name;
    }
}

TEST(FavoritesDecode, HeaderAloneIsAnEmptyTreeThatLostNothing) {
    const Bytes header = Cut(kWorkedExample, favfmt::kHeaderSize);
    for (std::uint32_t count : {0u, 0xFFFFFFFFu}) {
        const auto decoded = DecodeBytes(WithU32(header, kCountAt, count));
        EXPECT_TRUE(decoded.complete) << count;
        EXPECT_TRUE(decoded.records.empty()) << count;
    }
}

TEST(FavoritesDecode, DepthZeroEndsTheRecordsAndNeverLoadsCompletely) {
    const Record a{u"a", u"C:\\a", 1};
    const Record zero{u"z", u"", 0, true, true};
    const Record b{u"b", u"C:\\b", 1};

    const auto first = DecodeBytes(favfmt::Encode({zero, a, b}));
    EXPECT_EQ(DecodeStatus::DepthZero, first.status);
    EXPECT_TRUE(first.records.empty());

    const auto middle = DecodeBytes(favfmt::Encode({a, zero, b}));
    EXPECT_EQ(DecodeStatus::DepthZero, middle.status);
    EXPECT_FALSE(middle.complete);
    EXPECT_EQ(std::vector<Record>{a}, middle.records);

    // Also as the last record: its label and path are stored and would be lost.
    const auto last = DecodeBytes(favfmt::Encode({a, b, zero}));
    EXPECT_EQ(DecodeStatus::DepthZero, last.status);
    EXPECT_FALSE(last.complete);
    EXPECT_EQ((std::vector<Record>{a, b}), last.records);

    // Stored bytes whose last record has depth 0.
    EXPECT_FALSE(DecodeBytes(WithByte(kWorkedExample, kItemDepthAt, 0)).complete);
}

TEST(FavoritesRoundTrip, KeepsTextsKindsDepthsAndExpandedFolders) {
    const std::vector<Record> tree = {
        {u"", u"", 1, true, false},
        {u"\u65e5\u672c\u8a9e", u"C:\\\u30c7\u30fc\u30bf\\\u30e1\u30e2.txt", 2},
        {u"emoji \U0001F600", u"D:\\\U0001F600.txt", 2},
        {std::u16string(259, u'L'), std::u16string(1000, u'p'), 1},
        {u"open", u"", 1, true, true},
        {u"deep", u"", 101, true, true},
        {u"deeper", u"", 150, true, false},
        {u"deepest", u"E:\\x", 255},
        {u"\uFFFF\u0100\u00FF", u"\u0001", 3},
    };
    const auto decoded = DecodeBytes(favfmt::Encode(tree));
    EXPECT_TRUE(decoded.complete);
    EXPECT_EQ(tree, decoded.records);
    EXPECT_TRUE(DecodeBytes(favfmt::Encode({})).complete);
}

TEST(FavoritesRoundTrip, CommittedFuzzSeedsAreWhatTheirNamesSay) {
    EXPECT_EQ(kWorkedExample, ReadSeed("worked-example"));

    const Bytes old = ReadSeed("old-layout");
    const auto oldDecoded = DecodeBytes(old, false);
    EXPECT_TRUE(oldDecoded.complete);
    EXPECT_FALSE(DecodeBytes(old, true).complete);
    bool hasFolder = false;
    for (const Record& r : oldDecoded.records) hasFolder = hasFolder || r.folder;
    EXPECT_TRUE(hasFolder);

    const Bytes nested = ReadSeed("nested-tree");
    const auto nestedDecoded = DecodeBytes(nested);
    ASSERT_TRUE(nestedDecoded.complete);
    unsigned maxDepth = 0;
    bool hasExpanded = false;
    for (const Record& r : nestedDecoded.records) {
        maxDepth = std::max<unsigned>(maxDepth, r.depth);
        hasExpanded = hasExpanded || r.expanded;
    }
    EXPECT_EQ(4u, maxDepth);
    EXPECT_TRUE(hasExpanded);
    EXPECT_EQ(nested, favfmt::Encode(nestedDecoded.records));
}

// Reports on damaged values name the record and byte offset where reading
// stopped; the offsets are those of the worked example's records.
TEST(FavoritesDecode, ReportsWhereAndWhyReadingStopped) {
    const struct {
        const char* name;
        Bytes value;
        DecodeStatus status;
        size_t stopRecord;
        size_t stopOffset;
    } cases[] = {
        {"complete", kWorkedExample, DecodeStatus::Ok, 0, 0},
        {"short header", Cut(kWorkedExample, 5), DecodeStatus::Truncated, 0, 0},
        {"bad tag", WithByte(kWorkedExample, 0, 0x09), DecodeStatus::BadTag, 0, 0},
        {"second record cut", Cut(kWorkedExample, kItemLabelLenAt + 6), DecodeStatus::Truncated, 2, kItemLabelLenAt},
        {"first record cut", Cut(kWorkedExample, kFolderLabelLenAt + 3), DecodeStatus::Truncated, 1, kFolderLabelLenAt},
        {"depth 0", WithByte(kWorkedExample, kItemDepthAt, 0), DecodeStatus::DepthZero, 2, kItemLabelLenAt},
        {"trailing bytes", [] { Bytes v = kWorkedExample; v.push_back(0); return v; }(), DecodeStatus::TrailingBytes, 2,
         kWorkedExample.size()},
        {"count 0 with records", WithU32(kWorkedExample, kCountAt, 0), DecodeStatus::TrailingBytes, 0,
         favfmt::kHeaderSize},
    };
    for (const auto& c : cases) {
        const favfmt::DecodeResult result = DecodeBytes(c.value);
        EXPECT_EQ(c.status, result.status) << c.name;
        EXPECT_EQ(c.stopRecord, result.stopRecord) << c.name;
        EXPECT_EQ(c.stopOffset, result.stopOffset) << c.name;
    }
    EXPECT_EQ(2, DecodeBytes(kWorkedExample).count);
}
