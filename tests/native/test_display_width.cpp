// favtool's help wrapped for a console: full-width characters take two
// columns, Japanese breaks between characters, English only at spaces.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tool/display_width.h"

namespace {

std::string LongestLine(const std::string& text, std::size_t& columns) {
    std::istringstream lines(text);
    std::string line;
    std::string longest;
    columns = 0;
    while (std::getline(lines, line)) {
        if (display::Columns(line) > columns) {
            columns = display::Columns(line);
            longest = line;
        }
    }
    return longest;
}

TEST(FavtoolDisplayWidth, CountsFullWidthCharactersAsTwoColumns) {
    EXPECT_EQ(0u, display::Columns(""));
    EXPECT_EQ(5u, display::Columns("favor"));
    EXPECT_EQ(10u, display::Columns("お気に入り"));
    EXPECT_EQ(15u, display::Columns("お気に入り 4 件"));
    EXPECT_EQ(4u, display::Columns("（）")) << "full-width brackets";
    EXPECT_EQ(3u, display::Columns("ｶﾅ-")) << "half-width kana take one column";
    EXPECT_EQ(2u, display::Columns("é\xC3")) << "a broken sequence counts one column a byte";
    EXPECT_TRUE(display::IsWide(U'漢'));
    EXPECT_TRUE(display::IsWide(U'、'));
    EXPECT_FALSE(display::IsWide(U'a'));
    EXPECT_FALSE(display::IsWide(U'…'));
}

TEST(FavtoolDisplayWidth, WrapsEnglishAtSpacesAsBefore) {
    EXPECT_EQ("", display::Wrap("", 10));
    EXPECT_EQ("print the\ntree, one\nfavourite\na line", display::Wrap("print the tree, one favourite a line", 10));
    // A word longer than a line stands alone on one, unbroken.
    EXPECT_EQ("a\nFavoriteArrayBackup\nb", display::Wrap("a FavoriteArrayBackup b", 10));
    EXPECT_EQ("exactly10c\nnext", display::Wrap("exactly10c next", 10)) << "a line may be filled to the column";
    EXPECT_EQ("a b", display::Wrap("a b ", 10)) << "a trailing space separates nothing";
    EXPECT_EQ("one\ntwo three", display::Wrap("one\ntwo three", 10));
}

TEST(FavtoolDisplayWidth, WrapsJapaneseBetweenCharactersWithinTheColumns) {
    const std::string text = "お気に入りのファイルが存在しないか確認できないものを一覧にします";
    const std::string wrapped = display::Wrap(text, 20);
    std::size_t columns = 0;
    const std::string longest = LongestLine(wrapped, columns);
    EXPECT_LE(columns, 20u) << longest;
    EXPECT_GE(columns, 18u) << "lines are filled, not broken early: " << wrapped;
    std::string joined;
    for (char c : wrapped) {
        if (c != '\n') joined += c;
    }
    EXPECT_EQ(text, joined) << "breaks between characters add no space";
}

TEST(FavtoolDisplayWidth, KeepsClosingPunctuationAndAsciiWordsWhole) {
    // 。 and ） would start the second line; they stay with what they close.
    EXPECT_EQ("あいう。\nえお", display::Wrap("あいう。えお", 8));
    EXPECT_EQ("あいう）\nえお", display::Wrap("あいう）えお", 8));
    EXPECT_EQ("あいう\n（えお）", display::Wrap("あいう（えお）", 8)) << "an opening bracket goes with what follows";
    EXPECT_EQ("あいう、\nえお", display::Wrap("あいう、えお", 8));
    // An ASCII word next to Japanese is never split, with or without a space.
    EXPECT_EQ("値を\nFavoriteArrayに", display::Wrap("値をFavoriteArrayに", 16));
    EXPECT_EQ("値を\nFavoriteArray\nに書き込みます", display::Wrap("値を FavoriteArray に書き込みます", 14));
    const std::string mixed = display::Wrap("既定値は Windows の表示言語です。--lang ja で日本語、--lang en で英語", 20);
    EXPECT_NE(std::string::npos, mixed.find("--lang")) << mixed;
    for (std::size_t at = mixed.find('\n'); at != std::string::npos; at = mixed.find('\n', at + 1)) {
        const std::string next = mixed.substr(at + 1, 3);
        EXPECT_NE("、", next) << mixed;
        EXPECT_NE("。", next) << mixed;
    }
}

// A Japanese sentence is built around pieces made elsewhere: the space
// between Japanese and ASCII goes where they meet, and nowhere else.
TEST(JapaneseSpacing, SpacesJapaneseFromAsciiWordsWhereverPiecesMeet) {
    using display::Spaced;
    EXPECT_EQ("FavoriteArray を", Spaced({"FavoriteArray", "を"}));
    EXPECT_EQ("お気に入り 4 件を", Spaced({"お気に入り 4 件", "を"}));
    EXPECT_EQ("を 4 と 2 に", Spaced({"を", "4 と 2", "に"}));
    EXPECT_EQ("履歴 3 (10:00) の値", Spaced({"履歴 3 (10:00)", "の値"}));
    EXPECT_EQ("には、\"C:\\x\" と", Spaced({"には、", "\"C:\\x\"", "と"}));
    // Punctuation, a space already there and an opening bracket take none.
    EXPECT_EQ("ありません。何も", Spaced({"ありません", "。何も"}));
    EXPECT_EQ("U+0007。", Spaced({"U+0007", "。"}));
    EXPECT_EQ("import: お気に入り", Spaced({"import: ", "お気に入り"}));
    EXPECT_EQ("FavoriteArray (モジュール x) の", Spaced({"FavoriteArray", " (", "モジュール", "x", ")", "の"}));
    EXPECT_EQ("ab", Spaced({"a", "", "b"}));
}

}  // namespace
