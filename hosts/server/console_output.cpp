#include "console_output.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

constexpr char kDetailIndent[] = "        ";
constexpr int kLabelWidth = 9;

std::string FormatList(const char* format, va_list arguments) {
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length <= 0) return {};
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

}  // namespace

std::string Format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatList(format, arguments);
    va_end(arguments);
    return text;
}

void PrintStep(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const std::string text = FormatList(format, arguments);
    va_end(arguments);
    std::printf("%s\n", text.c_str());
}

void PrintBlankLine() {
    std::putchar('\n');
}

void PrintDetail(const char* label, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const std::string text = FormatList(format, arguments);
    va_end(arguments);
    std::printf("%s%-*s", kDetailIndent, kLabelWidth, label);
    for (const char character : text) {
        if (character == '\n') {
            std::printf("\n%s%-*s", kDetailIndent, kLabelWidth, "");
        } else {
            std::putchar(character);
        }
    }
    std::putchar('\n');
}
