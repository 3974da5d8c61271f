#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "store/favorites_format.h"
#include "store/parent_table.h"

using favfmt::DecodeStatus;
using favfmt::Record;

namespace {

const std::vector<std::uint8_t> kWorkedExample = {
    0x08, 0x0F, 0xEF, 0x00, 0x02, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x00, 0x00, 0x46, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00,
    0x01, 0x00, 0x00, 0x00, 0x78, 0x00, 0x04, 0x00, 0x00, 0x00, 0x63, 0x00, 0x3A, 0x00, 0x5C, 0x00, 0x78, 0x00,
    0x02, 0x00, 0x00, 0x00};

const std::vector<Record> kWorkedRecords = {{u"F", u"", 1, true, true}, {u"x", u"c:\\x", 2, false, false}};

favfmt::DecodeResult DecodeBytes(const std::vector<std::uint8_t>& value, bool withExpandedByte = true) {
    return favfmt::Decode(value.data(), value.size(), withExpandedByte);
}

void SetU32(std::vector<std::uint8_t>& value, size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) value[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

TEST(FavoritesFormat, WorkedExampleIsFortyFiveBytesBothWays) {
    EXPECT_EQ(kWorkedExample, favfmt::Encode(kWorkedRecords));
    auto decoded = DecodeBytes(kWorkedExample);
    EXPECT_TRUE(decoded.complete);
    EXPECT_EQ(kWorkedRecords, decoded.records);
}

TEST(FavoritesFormat, OldLayoutFoldersHaveNoExpandedByte) {
    std::vector<std::uint8_t> old = kWorkedExample;
    old.erase(old.begin() + 20);  // the folder's expanded byte
    auto decoded = DecodeBytes(old, false);
    ASSERT_TRUE(decoded.complete);
    ASSERT_EQ(2u, decoded.records.size());
    EXPECT_FALSE(decoded.records[0].expanded);
    EXPECT_EQ(u"c:\\x", decoded.records[1].path);
    // Read with the wrong layout the same bytes do not fit.
    EXPECT_FALSE(DecodeBytes(old, true).complete);
}

TEST(FavoritesFormat, HostileValuesStayInsideTheBytes) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> value;
        DecodeStatus status;
        size_t records;
    };
    std::vector<std::uint8_t> hugeCount = kWorkedExample;
    SetU32(hugeCount, 4, 0x7FFFFFFF);
    std::vector<std::uint8_t> hugeLabel = kWorkedExample;
    SetU32(hugeLabel, 23, 0xFFFFFFFF);  // second record's L
    std::vector<std::uint8_t> hugePath = kWorkedExample;
    SetU32(hugePath, 29, 0x80000000);  // second record's P
    std::vector<std::uint8_t> wrongTag = kWorkedExample;
    wrongTag[3] = 1;
    std::vector<std::uint8_t> trailing = kWorkedExample;
    trailing.push_back(0);
    std::vector<std::uint8_t> negative = kWorkedExample;
    SetU32(negative, 4, 0xFFFFFFFE);
    std::vector<std::uint8_t> cutFiller(kWorkedExample.begin(), kWorkedExample.end() - 1);
    const std::vector<Case> cases = {
        {"empty", {}, DecodeStatus::Truncated, 0},
        {"short header", {0x08, 0x0F, 0xEF, 0x00, 0x01}, DecodeStatus::Truncated, 0},
        {"wrong tag", wrongTag, DecodeStatus::BadTag, 0},
        {"huge count", hugeCount, DecodeStatus::Truncated, 2},
        {"huge label length", hugeLabel, DecodeStatus::Truncated, 1},
        {"huge path length", hugePath, DecodeStatus::Truncated, 1},
        {"cut filler", cutFiller, DecodeStatus::Truncated, 1},
        {"trailing byte", trailing, DecodeStatus::TrailingBytes, 2},
        {"negative count with records", negative, DecodeStatus::TrailingBytes, 0},
    };
    for (const Case& c : cases) {
        auto decoded = DecodeBytes(c.value);
        EXPECT_EQ(c.status, decoded.status) << c.name;
        EXPECT_FALSE(decoded.complete) << c.name;
        EXPECT_EQ(c.records, decoded.records.size()) << c.name;
    }
    const std::vector<std::uint8_t> emptyTree = {0x08, 0x0F, 0xEF, 0x00, 0, 0, 0, 0};
    EXPECT_TRUE(DecodeBytes(emptyTree).complete);
}

TEST(FavoritesFormat, DepthZeroEndsTheRecordsButOnlyLosesDataBeforeTheLast) {
    std::vector<Record> records = {{u"a", u"p", 1}, {u"z", u"", 0}, {u"b", u"q", 1}};
    auto middle = DecodeBytes(favfmt::Encode(records));
    EXPECT_EQ(DecodeStatus::DepthZero, middle.status);
    EXPECT_EQ(1u, middle.records.size());
    records.pop_back();
    auto last = DecodeBytes(favfmt::Encode(records));
    EXPECT_TRUE(last.complete);
    EXPECT_EQ(1u, last.records.size());
}

TEST(FavoritesFormat, NonzeroFlagsReadAsTrueAndRoundTripsKeepEverything) {
    std::vector<std::uint8_t> odd = kWorkedExample;
    odd[19] = 7;   // folder flag
    odd[20] = 9;   // expanded
    auto decoded = DecodeBytes(odd);
    ASSERT_TRUE(decoded.complete);
    EXPECT_TRUE(decoded.records[0].folder);
    EXPECT_TRUE(decoded.records[0].expanded);

    std::vector<Record> tree = {{u"", u"", 1, true, false}, {u"\u65e5\u672c", u"C:\\\u30d5.txt", 2},
                                {u"deep", u"", 150, true, true}, {u"z", std::u16string(1000, u'p'), 3}};
    auto again = DecodeBytes(favfmt::Encode(tree));
    EXPECT_TRUE(again.complete);
    EXPECT_EQ(tree, again.records);
}

TEST(FavoritesFormat, WriterRefusesToOverrunItsBuffer) {
    std::vector<std::uint8_t> buffer(favfmt::kHeaderSize + favfmt::RecordSize(1, 0, false));
    favfmt::Writer writer(buffer.data(), buffer.size());
    EXPECT_TRUE(writer.WriteHeader(2));
    EXPECT_FALSE(writer.WriteRecord(u"a", 1, u"", 0, 1, true, false));  // one byte too many
    EXPECT_TRUE(writer.WriteRecord(u"a", 1, u"", 0, 1, false, false));
    EXPECT_FALSE(writer.WriteRecord(u"b", 1, u"", 0, 1, false, false));
    EXPECT_EQ(buffer.size(), writer.Written());
}

TEST(ParentTable, JumpsHangUnderTheLatestItemAndDeepDepthsStayInTheTable) {
    ParentTable<int> table;
    table.Reset(0);
    EXPECT_EQ(0, table.ParentFor(1));
    table.Inserted(1, 10);
    EXPECT_EQ(10, table.ParentFor(3));  // depths 1, 3: under the depth-1 item
    table.Inserted(3, 30);
    EXPECT_EQ(10, table.ParentFor(2));
    EXPECT_EQ(30, table.ParentFor(4));
    table.Inserted(100, 1000);
    EXPECT_EQ(1000, table.ParentFor(101));
    EXPECT_EQ(1000, table.ParentFor(250));
    table.Inserted(101, 1010);           // nothing hangs under depth 101
    EXPECT_EQ(1000, table.ParentFor(255));
    table.Inserted(2, 20);
    EXPECT_EQ(20, table.ParentFor(101));
    EXPECT_EQ(10, table.ParentFor(2));
}
