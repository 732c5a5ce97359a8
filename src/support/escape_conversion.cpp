#include "support/escape_conversion.h"

#include <cstring>

CUtlCharConversion::CUtlCharConversion(char escape, const char* delimiter, int count,
                                       const ConversionPair* pairs)
    : m_chEscape(escape),
      m_pszDelimiter(delimiter),
      m_nDelimiterLen(static_cast<std::int32_t>(std::strlen(delimiter))),
      m_nConversions(0),
      m_nLongestReplacement(0),
      m_ConvertedChars{},
      m_ReplacementTable{} {
    // The list has room for one entry per table slot; more would run past its end.
    const int kept = count < kConversionTableSize ? count : kConversionTableSize;
    for (int i = 0; i < kept; ++i) {
        const ConversionPair& pair = pairs[i];
        const int index = TableIndex(pair.m_chPlain);
        if (index < 0 || pair.m_pszReplacement == nullptr) continue;
        m_ConvertedChars[m_nConversions++] = pair.m_chPlain;
        ReplacementEntry& entry = m_ReplacementTable[index];
        entry.m_pszText = pair.m_pszReplacement;
        entry.m_nLen = static_cast<std::int32_t>(std::strlen(pair.m_pszReplacement));
        if (entry.m_nLen > m_nLongestReplacement) m_nLongestReplacement = entry.m_nLen;
    }
}

int CUtlCharConversion::TableIndex(char c) {
    const int value = static_cast<unsigned char>(c);
    return value < kConversionTableSize ? value : -1;
}

char CUtlCharConversion::LookUpConversion(const char* text, int* length) {
    for (int i = 0; i < m_nConversions; ++i) {
        const char plain = m_ConvertedChars[i];
        const ReplacementEntry& entry = m_ReplacementTable[TableIndex(plain)];
        if (std::strcmp(text, entry.m_pszText) == 0) {
            *length = entry.m_nLen;
            return plain;
        }
    }
    *length = 0;
    return 0;
}

const char* CUtlCharConversion::GetConversionString(char c) const {
    const int index = TableIndex(c);
    return index < 0 ? nullptr : m_ReplacementTable[index].m_pszText;
}

int CUtlCharConversion::GetConversionLength(char c) const {
    const int index = TableIndex(c);
    return index < 0 ? 0 : m_ReplacementTable[index].m_nLen;
}

CUtlCStringConversion::CUtlCStringConversion(char escape, const char* delimiter, int count,
                                             const ConversionPair* pairs)
    : CUtlCharConversion(escape, delimiter, count, pairs), m_UnescapeTable{} {
    const int kept = count < kConversionTableSize ? count : kConversionTableSize;
    for (int i = 0; i < kept; ++i) {
        const ConversionPair& pair = pairs[i];
        // Pairs the base left out stay out; an empty replacement would make the
        // terminating NUL stand for a character.
        if (pair.m_pszReplacement == nullptr || TableIndex(pair.m_chPlain) < 0) continue;
        const int index = TableIndex(pair.m_pszReplacement[0]);
        if (index <= 0) continue;
        m_UnescapeTable[index] = pair.m_chPlain;
    }
}

char CUtlCStringConversion::LookUpConversion(const char* text, int* length) {
    const int index = TableIndex(text[0]);
    const char plain = index < 0 ? '\0' : m_UnescapeTable[index];
    *length = plain != '\0' ? 1 : 0;
    return plain;
}

CUtlNoEscConversion::CUtlNoEscConversion(char escape, const char* delimiter, int count,
                                         const ConversionPair* pairs)
    : CUtlCharConversion(escape, delimiter, count, pairs) {}

char CUtlNoEscConversion::LookUpConversion(const char*, int* length) {
    *length = 0;
    return 0;
}

namespace {

constexpr ConversionPair kCStringEscapes[] = {
    {'\n', "n"}, {'\t', "t"},  {'\v', "v"}, {'\b', "b"}, {'\r', "r"}, {'\f', "f"},
    {'\a', "a"}, {'\\', "\\"}, {'?', "?"},  {'\'', "'"}, {'"', "\""},
};

constexpr ConversionPair kNoEscapes[] = {
    {'\x7f', ""},
};

}  // namespace

CUtlCStringConversion s_CStringEscapeSet('\\', "\"", 11, kCStringEscapes);
CUtlNoEscConversion s_NoEscapeSet('\x7f', "\"", 1, kNoEscapes);
