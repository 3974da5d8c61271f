// Text laid out for a console, where a full-width (Japanese) character takes
// two columns and an ASCII character one, and Japanese sentences spaced as
// Japanese is written. Window-free.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace display {

// Whether the code point takes two columns: kana, kanji, full-width forms
// and the other East Asian wide characters.
bool IsWide(char32_t c);

// The columns the UTF-8 text takes on one line.
std::size_t Columns(std::string_view utf8);

// The text wrapped to lines of at most width columns. Lines break at spaces
// (each space one break, as English is written) and between Japanese
// characters, which need none; never inside an ASCII word, never before
// closing punctuation (、。）」 and the like) nor after an opening bracket.
// A piece that cannot break and is wider than a line stands alone on its
// line. "\n" in the text ends a line.
std::string Wrap(std::string_view text, std::size_t width);

// Japanese text has a half-width space between a Japanese word and an ASCII
// word or number, and none between two Japanese words. A Japanese sentence
// built around names, numbers and phrases made elsewhere cannot know how
// each piece begins or ends, so Spaced puts that space where two pieces meet
// and it belongs: "FavoriteArray" "を" gives "FavoriteArray を", "件" "を"
// gives "件を". Punctuation (、。「」 and ASCII separators) takes none.
std::string Spaced(std::initializer_list<std::string_view> pieces);

}  // namespace display
