#include <gtest/gtest.h>

#include <string>

#include "plugin/plugin_queries.h"
#include "store/bounded_copy.h"

TEST(BitmapChoice, EveryRowOfTheTable) {
    struct Row { unsigned wParam, id; };
    const Row rows[] = {
        {0x000, 101}, {0x300, 101},                 // 16 colours, small
        {0x110, 109}, {0x320, 109},                 // 24-bit small, greyed wins over hot
        {0x010, 110}, {0x020, 110},                 // 24-bit small, normal
        {0x210, 111},                               // 24-bit small, hot
        {0x001, 115}, {0x301, 115},                 // 16 colours, large
        {0x111, 112}, {0x331, 112},                 // 24-bit large, greyed
        {0x011, 113}, {0x021, 113},                 // 24-bit large, normal
        {0x211, 114},                               // 24-bit large, hot
    };
    for (const Row& row : rows) EXPECT_EQ(row.id, queries::BitmapIdFor(row.wParam)) << std::hex << row.wParam;
}

TEST(BitmapChoice, ModeAndRequirements) {
    EXPECT_EQ(-1, queries::BitmapModeFor(0x10));
    EXPECT_EQ(-1, queries::BitmapModeFor(0x21));
    EXPECT_EQ(0, queries::BitmapModeFor(0x100));
    EXPECT_EQ(0, queries::BitmapModeFor(0x301));
    const long expected[] = {0, 1, 6000, 6000, 1, 1, 1, 0, 0};
    for (unsigned w = 0; w < sizeof(expected) / sizeof(expected[0]); ++w) {
        EXPECT_EQ(expected[w], queries::RequirementFor(w)) << w;
    }
    EXPECT_EQ(0, queries::RequirementFor(0xFFFFFFFFu));
}

TEST(BoundedCopy, CutsAtCapacityAndAlwaysTerminates) {
    char16_t buf[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(bounded::kTruncated, bounded::Copy(buf, 4, u"abcdef"));
    EXPECT_EQ(std::u16string(u"abc"), std::u16string(buf));
    EXPECT_EQ(bounded::kOk, bounded::Copy(buf, 4, u"abc"));
    EXPECT_EQ(bounded::kOk, bounded::Copy(buf, 4, u""));
    EXPECT_EQ(u'\0', buf[0]);
}

TEST(BoundedCopy, ZeroCapacityWritesNothing) {
    char buf[2] = {'x', 'y'};
    EXPECT_EQ(bounded::kInvalidArgument, bounded::Copy(buf, 0, "abc"));
    EXPECT_EQ('x', buf[0]);
    EXPECT_EQ(bounded::kInvalidArgument, bounded::Copy<char>(nullptr, 5, "abc"));
}

TEST(BoundedCopy, AppendKeepsTheWholeWithinCapacity) {
    wchar_t buf[8] = L"abc";
    EXPECT_EQ(bounded::kTruncated, bounded::Append(buf, 8, L"defghij"));
    EXPECT_EQ(std::wstring(L"abcdefg"), std::wstring(buf));
    wchar_t full[3] = {L'a', L'b', L'c'};  // no terminator within capacity
    EXPECT_EQ(bounded::kInvalidArgument, bounded::Append(full, 3, L"d"));
}
