#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "text/UpperCase.h"
#include "text/Utf8.h"

namespace orvane::site::internal::text {
namespace {

TEST(UnicodeUpperCase, MapsAsciiAndLeavesEverythingElseOfAsciiAlone) {
  EXPECT_EQ(toUpperCase("eating_drinking"), "EATING_DRINKING");
  EXPECT_EQ(toUpperCase("Mixed Case 123-_/!"), "MIXED CASE 123-_/!");
  EXPECT_EQ(toUpperCase(""), "");
  // Locale-independent: the Turkish dotless/dotted rules never apply.
  EXPECT_EQ(toUpperCase("istanbul"), "ISTANBUL");
}

// Each input holds a family of alike cases, one word apiece.
TEST(UnicodeUpperCase, MapsLatinGreekCyrillicAndOtherScriptsOneToOne) {
  // Latin-1 (micro sign to Greek capital mu, signs left alone), Latin Extended-A and -B (dotless
  // i, long s, digraphs with their title case), Latin Extended Additional.
  EXPECT_EQ(toUpperCase("provençal_restaurant àéîõüÿþ µ ÷× āăąćłńőœšźżž ıſ ǆǅǳ việt"),
            "PROVENÇAL_RESTAURANT ÀÉÎÕÜŸÞ Μ ÷× ĀĂĄĆŁŃŐŒŠŹŻŽ IS ǄǄǱ VIỆT");
  // Greek with final sigma; Cyrillic in and beyond the basic block; Armenian.
  EXPECT_EQ(toUpperCase("αβγδωάέήίόύώϊϋ ς привет ёж ђ ѣҗӝԁ բարև"),
            "ΑΒΓΔΩΆΈΉΊΌΎΏΪΫ Σ ПРИВЕТ ЁЖ Ђ ѢҖӜԀ ԲԱՐԵՒ");
  // Full width, circled letters, Roman numerals, outside the BMP (Deseret).
  EXPECT_EQ(toUpperCase("ａｂｃ ⓐⅰ 𐐨"), "ＡＢＣ ⒶⅠ 𐐀");
}

TEST(UnicodeUpperCase, UsesFullMappingsThatChangeLength) {
  EXPECT_EQ(toUpperCase("straße ŉ ǰ ΐ ΰ և ﬁﬂﬃ ᾳ"),
            "STRASSE ʼN J\u030C \u0399\u0308\u0301 \u03A5\u0308\u0301 ԵՒ FIFLFFI ΑΙ");
}

TEST(UnicodeUpperCase, CopiesBytesThatAreNotUtf8Unchanged) {
  EXPECT_EQ(toUpperCase("a\xFFz"), "A\xFFZ");                // never a UTF-8 byte
  EXPECT_EQ(toUpperCase("\xC3"), "\xC3");                    // truncated sequence at the end
  EXPECT_EQ(toUpperCase("\xC3(b"), "\xC3(B");                // lead byte without continuation
  EXPECT_EQ(toUpperCase("\x80x"), "\x80X");                  // stray continuation byte
  EXPECT_EQ(toUpperCase("\xC0\xA1q"), "\xC0\xA1Q");          // overlong form of '!'
  EXPECT_EQ(toUpperCase("\xED\xA0\x80s"), "\xED\xA0\x80S");  // encoded surrogate
  EXPECT_EQ(toUpperCase("\xF4\x90\x80\x80t"), "\xF4\x90\x80\x80T");  // above U+10FFFF
  EXPECT_EQ(toUpperCase(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(Utf8, ValidatesAndCounts) {
  EXPECT_TRUE(isValidUtf8("çß東🍕"));
  // Stray and truncated bytes, encoded surrogates, overlong forms, scalars past U+10FFFF.
  for (const char* bad : {"ok\xFF", "\xE6\x9D", "\xED\xA0\x80", "\xED\xBF\xBF", "\xC0\xAF",
                          "\xE0\x80\xAF", "\xF4\x90\x80\x80"}) {
    EXPECT_FALSE(isValidUtf8(bad)) << bad;
  }
  EXPECT_TRUE(isValidUtf8("\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF"));  // their neighbours
  const std::vector<std::size_t> counts = {countScalars(""), countScalars("ab"), countScalars("é"),
                                           countScalars("🍕"), countScalars("\xFF\xFE")};
  EXPECT_EQ(counts, (std::vector<std::size_t>{0, 2, 1, 1, 2}));
}

}  // namespace
}  // namespace orvane::site::internal::text
