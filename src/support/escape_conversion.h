#pragma once

#include <cstdint>

// How characters are escaped inside delimited text: an escape character, a delimiter, and
// for each converted character the text that stands for it after the escape character.

// One conversion, as given at construction. The replacement text is not copied.
struct ConversionPair {
    char m_chPlain;
    const char* m_pszReplacement;
};

struct ReplacementEntry {
    std::int32_t m_nLen;
    const char* m_pszText;  // null when the character has no conversion
};

// Tables are indexed by character value and hold 255 entries; a character outside them
// (0xFF, and anything a signed char makes negative) never has a conversion.
inline constexpr int kConversionTableSize = 255;

class CUtlCharConversion {
public:
    // At most kConversionTableSize conversions are kept; texts must outlive the object.
    CUtlCharConversion(char escape, const char* delimiter, int count, const ConversionPair* pairs);

    // Which plain character the text after an escape character stands for: the one whose
    // replacement equals the whole text. Stores the characters consumed through length
    // and returns the plain character, or 0 (length 0) when none matches.
    virtual char LookUpConversion(const char* text, int* length);

    char GetEscapeChar() const { return m_chEscape; }
    const char* GetDelimiter() const { return m_pszDelimiter; }
    int GetDelimiterLength() const { return m_nDelimiterLen; }
    int MaxConversionLength() const { return m_nLongestReplacement; }
    // The replacement text of c, or null when c has none.
    const char* GetConversionString(char c) const;
    int GetConversionLength(char c) const;

protected:
    // The table index of c, or -1 when c lies outside the tables.
    static int TableIndex(char c);

    char m_chEscape;
    const char* m_pszDelimiter;
    std::int32_t m_nDelimiterLen;
    std::int32_t m_nConversions;
    std::int32_t m_nLongestReplacement;
    char m_ConvertedChars[kConversionTableSize];
    ReplacementEntry m_ReplacementTable[kConversionTableSize];
};

// The backslash escapes of quoted string literals: only the first character after the
// backslash counts.
class CUtlCStringConversion : public CUtlCharConversion {
public:
    CUtlCStringConversion(char escape, const char* delimiter, int count,
                          const ConversionPair* pairs);

    char LookUpConversion(const char* text, int* length) override;

private:
    char m_UnescapeTable[kConversionTableSize];
};

// Text without escapes: nothing ever converts.
class CUtlNoEscConversion : public CUtlCharConversion {
public:
    CUtlNoEscConversion(char escape, const char* delimiter, int count, const ConversionPair* pairs);

    char LookUpConversion(const char* text, int* length) override;
};

// Built when the library is loaded and never destroyed.
extern CUtlCStringConversion s_CStringEscapeSet;
extern CUtlNoEscConversion s_NoEscapeSet;
