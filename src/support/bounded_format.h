#pragma once

// printf-style formatting into a fixed buffer of size bytes, always NUL-terminated within
// them. Returns the number of characters stored when the whole output fits, and size when
// it was cut (or the formatter failed). The buffer and format are first shown to the
// engine's validity checks.
[[gnu::format(printf, 3, 4)]] int BoundedFormat(char* buffer, int size, const char* format, ...);
