// The escape conversion tables: the two instances built at load, and the lookup rules of
// the base class.
#include "support/escape_conversion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Answer {
    int plain;
    int length;
    bool operator==(const Answer&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Answer& answer) {
    return out << "{plain " << answer.plain << ", length " << answer.length << "}";
}

Answer LookUp(CUtlCharConversion& conversion, const char* text) {
    int length = -1;
    const char plain = conversion.LookUpConversion(text, &length);
    return {static_cast<unsigned char>(plain), length};
}

const ConversionPair kElevenPairs[] = {
    {'\n', "n"}, {'\t', "t"},  {'\v', "v"}, {'\b', "b"}, {'\r', "r"}, {'\f', "f"},
    {'\a', "a"}, {'\\', "\\"}, {'?', "?"},  {'\'', "'"}, {'"', "\""},
};

}  // namespace

TEST(EscapeConversion, CStringSetUnescapesByTheFirstCharacterOnly) {
    CUtlCharConversion& set = s_CStringEscapeSet;
    const std::vector<std::pair<const char*, int>> expected = {
        {"n", 0x0A}, {"t", 0x09},  {"v", 0x0B}, {"b", 0x08}, {"r", 0x0D},  {"f", 0x0C},
        {"a", 0x07}, {"\\", 0x5C}, {"?", 0x3F}, {"'", 0x27}, {"\"", 0x22}, {"nabc", 0x0A},
    };
    for (const auto& [text, plain] : expected) EXPECT_EQ(LookUp(set, text), (Answer{plain, 1}));
    for (const char* text : {"x", "", "N", "\x80", "\xfe", "\xff"}) {
        EXPECT_EQ(LookUp(set, text), (Answer{0, 0})) << '"' << text << '"';
    }
    EXPECT_EQ(set.GetEscapeChar(), '\\');
    EXPECT_STREQ(set.GetDelimiter(), "\"");
    EXPECT_EQ(set.GetDelimiterLength(), 1);
    EXPECT_EQ(set.MaxConversionLength(), 1);
    EXPECT_STREQ(set.GetConversionString('\n'), "n");
}

TEST(EscapeConversion, NoEscapeSetNeverConverts) {
    CUtlCharConversion& set = s_NoEscapeSet;
    for (const char* text : {"", "\x7f", "n", "\""}) EXPECT_EQ(LookUp(set, text), (Answer{0, 0}));
    EXPECT_EQ(set.GetEscapeChar(), '\x7f');
    EXPECT_EQ(set.MaxConversionLength(), 0);
    EXPECT_STREQ(set.GetConversionString('\x7f'), "");
}

TEST(EscapeConversion, BaseLookupMatchesWholeReplacementTexts) {
    CUtlCharConversion eleven('\\', "\"", 11, kElevenPairs);
    EXPECT_EQ(LookUp(eleven, "n"), (Answer{0x0A, 1}));
    EXPECT_EQ(LookUp(eleven, "\""), (Answer{0x22, 1}));
    EXPECT_EQ(LookUp(eleven, "nabc"), (Answer{0, 0}));
    EXPECT_EQ(LookUp(eleven, ""), (Answer{0, 0}));

    CUtlCharConversion none('\\', "\"", 0, kElevenPairs);
    EXPECT_EQ(LookUp(none, "n"), (Answer{0, 0}));
    EXPECT_EQ(none.MaxConversionLength(), 0);

    // A character given twice keeps the later text.
    const ConversionPair twice[] = {{'A', "x"}, {'A', "yy"}};
    CUtlCharConversion repeated('\\', "''", 2, twice);
    EXPECT_EQ(LookUp(repeated, "yy"), (Answer{'A', 2}));
    EXPECT_EQ(LookUp(repeated, "x"), (Answer{0, 0}));
    EXPECT_EQ(repeated.MaxConversionLength(), 2);
    EXPECT_EQ(repeated.GetDelimiterLength(), 2);
}

TEST(EscapeConversion, CharactersOutsideTheTablesAndTooManyPairsAreIgnoredSafely) {
    // 0xFF has no slot in the 255-entry tables; an empty replacement would make the
    // terminating NUL stand for a character.
    const ConversionPair odd[] = {{'\xff', "z"}, {'q', ""}, {'w', "\xff"}, {'e', "E"}};
    CUtlCStringConversion unescape('\\', "\"", 4, odd);
    EXPECT_EQ(LookUp(unescape, ""), (Answer{0, 0}));
    EXPECT_EQ(LookUp(unescape, "z"), (Answer{0, 0}));
    EXPECT_EQ(LookUp(unescape, "\xff"), (Answer{0, 0}));
    EXPECT_EQ(LookUp(unescape, "E"), (Answer{'e', 1}));
    EXPECT_EQ(unescape.GetConversionString('\xff'), nullptr);

    std::vector<ConversionPair> many(300, ConversionPair{'m', "M"});
    CUtlCharConversion crowded('\\', "\"", static_cast<int>(many.size()), many.data());
    EXPECT_EQ(LookUp(crowded, "M"), (Answer{'m', 1}));
}
