#include "support/bounded_format.h"

#include <cstdarg>
#include <cstdio>

#include "support/platform.h"

namespace {
constexpr int kLongestCheckedFormat = 0xFFFFFF;
}

int BoundedFormat(char* buffer, int size, const char* format, ...) {
    EngineCheckWritePointer(buffer, size);
    EngineCheckStringPointer(format, kLongestCheckedFormat);
    // Not provided for by callers; refused rather than written out of bounds.
    if (buffer == nullptr || size < 1) return 0;
    if (format == nullptr) {
        buffer[0] = '\0';
        return 0;
    }

    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(buffer, static_cast<std::size_t>(size), format, arguments);
    va_end(arguments);
    if (length >= 0 && length < size) return length;
    buffer[size - 1] = '\0';
    return size;
}
