// BoundedFormat with arbitrary sizes and values against the C library's own formatting:
// the kept text, the terminator, the result rule, and not one byte written past size.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_input.h"
#include "support/bounded_format.h"

void FuzzFailure(const char* what) {
    std::fprintf(stderr, "bounded format: %s\n", what);
    std::abort();
}

namespace {

constexpr unsigned char kGuard = 0xA5;
constexpr int kSlack = 16;

// Formats into an exactly sized heap buffer (ASan sees any overrun) followed by guard bytes.
template <typename... Values>
void CheckOne(int size, const char* format, Values... values) {
    char reference[1024];
    const int full = std::snprintf(reference, sizeof(reference), format, values...);
    if (full < 0 || full >= static_cast<int>(sizeof(reference))) return;

    std::vector<unsigned char> storage(static_cast<std::size_t>(size + kSlack), kGuard);
    char* buffer = reinterpret_cast<char*>(storage.data());
    const int result = BoundedFormat(buffer, size, format, values...);

    for (int i = size; i < size + kSlack; ++i) {
        if (storage[static_cast<std::size_t>(i)] != kGuard) FuzzFailure("wrote past size");
    }
    if (full < size) {
        if (result != full) FuzzFailure("whole output: result is not its length");
        if (std::strcmp(buffer, reference) != 0) FuzzFailure("whole output differs");
    } else {
        if (result != size) FuzzFailure("cut output: result is not size");
        if (buffer[size - 1] != '\0') FuzzFailure("cut output not terminated in the last byte");
        if (std::strncmp(buffer, reference, static_cast<std::size_t>(size - 1)) != 0 ||
            std::strlen(buffer) != static_cast<std::size_t>(size - 1)) {
            FuzzFailure("cut output is not the first size-1 characters");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    while (!input.Empty()) {
        const int bufferSize = 1 + input.Byte() % 96;
        switch (input.Byte() % 6) {
            case 0:
                CheckOne(bufferSize, "%d", input.Take<int>());
                break;
            case 1:
                // How a console variable formats its float form.
                CheckOne(bufferSize, "%f", static_cast<double>(input.Take<float>()));
                break;
            case 2: {
                const std::string text = input.Text(200);
                CheckOne(bufferSize, "%s", text.c_str());
                break;
            }
            case 3:
                CheckOne(bufferSize, "[%x|%-12d|%+.3e]", input.Take<unsigned>(), input.Take<int>(),
                         input.Take<double>());
                break;
            case 4:
                CheckOne(bufferSize, "%.*f", input.Byte() % 40, input.Take<double>());
                break;
            default:
                CheckOne(bufferSize, "%s", "");
                break;
        }
    }
    return 0;
}
