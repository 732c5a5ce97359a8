// The escape conversion tables: the two instances built at load, and the lookup rules of
// the base class.
#include "support/escape_conversion.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

TEST(EscapeConversion, LookupsOfTheBuiltSetsAndOfThePlainConversion) {
    const ConversionPair two[] = {{'\n', "n"}, {'"', "\""}}, twice[] = {{'A', "x"}, {'A', "yy"}};
    // 0xFF has no slot in the 255-entry tables; an empty replacement would make the
    // terminating NUL stand for a character.
    const ConversionPair odd[] = {{'\xff', "z"}, {'q', ""}, {'w', "\xff"}, {'e', "E"}};
    CUtlCharConversion plain('\\', "\"", 2, two), none('\\', "\"", 0, two),
        repeated('\\', "''", 2, twice);
    CUtlCStringConversion unescape('\\', "\"", 4, odd);
    std::vector<ConversionPair> many(300, ConversionPair{'m', "M"});  // more than the tables hold
    CUtlCharConversion crowded('\\', "\"", static_cast<int>(many.size()), many.data());
    CUtlCharConversion *const cString = &s_CStringEscapeSet, *const noEscape = &s_NoEscapeSet;
    // Only the first character counts in the C-string set; the plain conversion matches whole
    // replacement texts, and of a character given twice the later text. Misses give 0, 0.
    const std::tuple<CUtlCharConversion*, const char*, char, int> lookups[] = {
        {cString, "nabc", '\n', 1}, {&plain, "n", '\n', 1},  {&repeated, "yy", 'A', 2},
        {&unescape, "E", 'e', 1},   {&crowded, "M", 'm', 1}, {cString, "x", 0, 0},
        {cString, "\x80", 0, 0},    {cString, "\xff", 0, 0}, {noEscape, "", 0, 0},
        {noEscape, "n", 0, 0},      {&plain, "nabc", 0, 0},  {&none, "n", 0, 0},
        {&repeated, "x", 0, 0},     {&unescape, "", 0, 0},   {&unescape, "z", 0, 0},
        {&unescape, "\xff", 0, 0}};
    for (auto [set, text, expected, expectedLength] : lookups) {
        int length = -1;
        EXPECT_TRUE(set->LookUpConversion(text, &length) == expected && length == expectedLength)
            << '"' << text << '"';
    }
    // Every escape of the C-string set, both ways, and what the built sets report.
    const std::string escaped = "ntvbrfa\\?'\"", unescaped = "\n\t\v\b\r\f\a\\?'\"";
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        int length = 0;
        EXPECT_EQ(s_CStringEscapeSet.LookUpConversion(&escaped[i], &length), unescaped[i]);
        EXPECT_EQ(s_CStringEscapeSet.GetConversionString(unescaped[i]), escaped.substr(i, 1));
    }
    EXPECT_STREQ(s_CStringEscapeSet.GetDelimiter(), "\"");
    EXPECT_TRUE(s_CStringEscapeSet.GetEscapeChar() == '\\' &&
                s_NoEscapeSet.GetEscapeChar() == 0x7f);
    EXPECT_TRUE(s_CStringEscapeSet.MaxConversionLength() == 1 && none.MaxConversionLength() == 0);
    EXPECT_TRUE(repeated.MaxConversionLength() == 2 && repeated.GetDelimiterLength() == 2);
    EXPECT_EQ(unescape.GetConversionString('\xff'), nullptr);
}
