#include <climits>
#include <cstddef>
#include <cstring>

#include "convar/command_registration.h"
#include "convar/value_conversion.h"
#include "plugin/engine_connection.h"
#include "support/bounded_format.h"
#include "support/routed_allocation.h"
#include "support/single_precision.h"

namespace {

// Room for the "%f" and "%d" forms of a value; longer forms are cut.
constexpr int kFormattedSize = 32;

// Old texts up to this long are copied into the change's own storage; only a longer one
// goes to the heap, so a change that keeps its buffer makes no allocator call.
constexpr std::size_t kOldTextInPlace = 4096;

// The value text of a variable whose buffer could not be had: a valid empty text with
// capacity 0, so it is never written to and never freed.
constinit char s_szNoValueText[1] = {};

void FreeValueText(char* text) {
    if (text != nullptr && text != s_szNoValueText) RoutedFree(text);
}

// After ReplaceString: true when the text of this size was not stored, because the buffer
// could not grow. The setter then puts the float and integer back, so that the three forms
// keep describing one value, the old one, as if the change had not been asked.
bool TextRefused(const ConVar& variable, std::size_t size) {
    return size > static_cast<std::size_t>(variable.TextCapacity());
}

// A copy of the old value text that outlives the overwriting of the buffer.
class OldTextCopy {
public:
    OldTextCopy() = default;
    OldTextCopy(const OldTextCopy&) = delete;
    OldTextCopy& operator=(const OldTextCopy&) = delete;
    ~OldTextCopy() {
        if (m_pszHeap != nullptr) RoutedFree(m_pszHeap);
    }

    const char* Take(const char* text, int capacity) {
        std::size_t length = 0;
        if (text != nullptr && capacity > 0) {
            const void* end = std::memchr(text, '\0', static_cast<std::size_t>(capacity));
            length = end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - text)
                                    : static_cast<std::size_t>(capacity);
        }
        char* copy = m_szInPlace;
        if (length > kOldTextInPlace) {
            m_pszHeap = static_cast<char*>(RoutedAlloc(length + 1));
            if (m_pszHeap != nullptr) {
                copy = m_pszHeap;
            } else {
                // No heap to be had: the listeners get the old text cut to what fits here.
                length = kOldTextInPlace;
            }
        }
        if (length > 0) std::memcpy(copy, text, length);
        copy[length] = '\0';
        return copy;
    }

private:
    char* m_pszHeap = nullptr;
    char m_szInPlace[kOldTextInPlace + 1];
};

}  // namespace

ConVar::ConVar(const char* name, const char* defaultText, int flags, const char* description,
               bool hasLowerBound, float lowerBound, bool hasUpperBound, float upperBound,
               VariableChangedFn onChange) {
    ConVar::SetUpVariable(name, defaultText, flags, description, hasLowerBound, lowerBound,
                          hasUpperBound, upperBound, onChange);
}

ConVar::~ConVar() {
    FreeValueText(m_pszValueText);
    m_pszValueText = nullptr;
}

bool ConVar::IsCommandEntry() const {
    return false;
}

bool ConVar::HasAnyFlag(int mask) const {
    return (m_pPrimary->m_nFlagBits & mask) != 0;
}

void ConVar::SetFlagBits(int mask) {
    m_pPrimary->m_nFlagBits |= mask;
}

const char* ConVar::Name() const {
    return m_pPrimary->m_pszEntryName;
}

const char* ConVar::Description() const {
    return m_pPrimary->m_pszDescription;
}

bool ConVar::IsAttached() const {
    return m_pPrimary->m_bAttached;
}

void ConVar::ApplyString(const char* text) {
    if (text == nullptr) text = "";
    const float oldFloat = m_flAsFloat;
    const int oldInt = m_nAsInt;
    float value = RoundedToSingle(ParseNumber(text));
    char formatted[kFormattedSize];
    const char* stored = text;
    if (ClampToBounds(value)) {
        BoundedFormat(formatted, kFormattedSize, "%f", static_cast<double>(value));
        stored = formatted;
    }
    m_flAsFloat = value;
    m_nAsInt = TruncateToInt(value);
    if ((m_nFlagBits & COMMAND_FLAG_KEEP_STRING) != 0) return;
    const std::size_t size = std::strlen(stored) + 1;
    ReplaceString(stored, oldFloat);
    if (TextRefused(*this, size)) {
        m_flAsFloat = oldFloat;
        m_nAsInt = oldInt;
    }
}

void ConVar::ApplyFloat(float value) {
    if (value == m_flAsFloat) return;
    ClampToBounds(value);
    const float oldFloat = m_flAsFloat;
    const int oldInt = m_nAsInt;
    m_flAsFloat = value;
    m_nAsInt = TruncateToInt(value);
    if ((m_nFlagBits & COMMAND_FLAG_KEEP_STRING) != 0) return;
    char formatted[kFormattedSize];
    BoundedFormat(formatted, kFormattedSize, "%f", static_cast<double>(value));
    ReplaceString(formatted, oldFloat);
    if (TextRefused(*this, std::strlen(formatted) + 1)) {
        m_flAsFloat = oldFloat;
        m_nAsInt = oldInt;
    }
}

void ConVar::ApplyInt(int value) {
    if (value == m_nAsInt) return;
    float asFloat = RoundedToSingle(value);
    if (ClampToBounds(asFloat)) value = TruncateToInt(asFloat);
    const float oldFloat = m_flAsFloat;
    const int oldInt = m_nAsInt;
    m_nAsInt = value;
    m_flAsFloat = asFloat;
    if ((m_nFlagBits & COMMAND_FLAG_KEEP_STRING) != 0) return;
    char formatted[kFormattedSize];
    BoundedFormat(formatted, kFormattedSize, "%d", value);
    ReplaceString(formatted, oldFloat);
    if (TextRefused(*this, std::strlen(formatted) + 1)) {
        m_flAsFloat = oldFloat;
        m_nAsInt = oldInt;
    }
}

bool ConVar::ClampToBounds(float& value) {
    if (m_bHasLowerBound && value < m_flLowerBound) {
        value = m_flLowerBound;
        return true;
    }
    if (m_bHasUpperBound && value > m_flUpperBound) {
        value = m_flUpperBound;
        return true;
    }
    return false;
}

void ConVar::ReplaceString(const char* newText, float oldFloat) {
    if (newText == nullptr) newText = "";
    const std::size_t size = std::strlen(newText) + 1;
    OldTextCopy copy;
    const char* oldText = nullptr;
    // When the buffer grows, the old one serves as the old text until the listeners are done.
    char* retired = nullptr;
    if (size > static_cast<std::size_t>(m_nTextCapacity)) {
        char* grown = size <= INT_MAX ? static_cast<char*>(RoutedAlloc(size)) : nullptr;
        // Without a new buffer the old text stays, and as it did not change nobody is told.
        if (grown == nullptr) return;
        std::memcpy(grown, newText, size);
        retired = m_pszValueText;
        oldText = retired != nullptr ? retired : "";
        m_pszValueText = grown;
        m_nTextCapacity = static_cast<int>(size);
    } else {
        oldText = copy.Take(m_pszValueText, m_nTextCapacity);
        // The new text may be the variable's own text.
        std::memmove(m_pszValueText, newText, size);
    }

    if (m_pfnOnChange != nullptr) m_pfnOnChange(this, oldText, oldFloat);
    // A change made while no console is connected has nobody to tell.
    if (g_pCVar != nullptr) g_pCVar->NotifyValueChanged(this, oldText, oldFloat);
    FreeValueText(retired);
}

void ConVar::SetUpVariable(const char* name, const char* defaultText, int flags,
                           const char* description, bool hasLowerBound, float lowerBound,
                           bool hasUpperBound, float upperBound, VariableChangedFn onChange) {
    m_pPrimary = this;
    m_pszDefaultText = defaultText != nullptr ? defaultText : "";
    const std::size_t size = std::strlen(m_pszDefaultText) + 1;
    char* text = size <= INT_MAX ? static_cast<char*>(RoutedAlloc(size)) : nullptr;
    // A second set-up replaces the buffer of the first.
    FreeValueText(m_pszValueText);
    if (text != nullptr) {
        std::memcpy(text, m_pszDefaultText, size);
        m_pszValueText = text;
        m_nTextCapacity = static_cast<int>(size);
    } else {
        // No buffer to be had: the variable stays usable with the empty text (value 0).
        m_pszValueText = s_szNoValueText;
        m_nTextCapacity = 0;
    }
    m_bHasLowerBound = hasLowerBound;
    m_flLowerBound = lowerBound;
    m_bHasUpperBound = hasUpperBound;
    m_flUpperBound = upperBound;
    m_pfnOnChange = onChange;

    // Not clamped: the default stands as given.
    const double parsed = ParseNumber(m_pszValueText);
    m_flAsFloat = RoundedToSingle(parsed);
    m_nAsInt = TruncateToInt(parsed);

    // Last, so the variable is complete before an accessor in force sees it.
    ConCommandBase::SetUpEntry(name, description, flags);
}

void ConVar::AssignInt(int value) {
    m_pPrimary->ApplyInt(value);
}

void ConVar::AssignFloat(float value) {
    m_pPrimary->ApplyFloat(value);
}

void ConVar::AssignString(const char* text) {
    m_pPrimary->ApplyString(text);
}
