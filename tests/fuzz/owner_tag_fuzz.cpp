// The owner-tag path rules on arbitrary module paths, with the Windows and the Linux folder
// separator (chosen by the first byte): the tag always lies inside the buffer, is terminated
// there, and never holds the separator once a directory was cut off.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_input.h"
#include "support/owner_tag.h"

void FuzzFailure(const char* what) {
    std::fprintf(stderr, "owner tag: %s\n", what);
    std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const char separator = (data[0] & 1) != 0 ? '/' : '\\';
    ++data;
    --size;
    // The file-name query fills at most the buffer, NUL included.
    char buffer[kOwnerTagBufferSize];
    const std::size_t length = size < sizeof(buffer) - 1 ? size : sizeof(buffer) - 1;
    std::memcpy(buffer, data, length);
    buffer[length] = '\0';
    char original[kOwnerTagBufferSize];
    std::memcpy(original, buffer, sizeof(buffer));

    const char* tag = OwnerTagFromModulePath(buffer, separator);
    if (tag < buffer || tag >= buffer + sizeof(buffer)) FuzzFailure("tag outside the buffer");
    if (std::memchr(tag, '\0', static_cast<std::size_t>(buffer + sizeof(buffer) - tag)) ==
        nullptr) {
        FuzzFailure("tag not terminated inside the buffer");
    }
    const char* lastDot = std::strrchr(original, '.');
    const char* lastSlash = std::strrchr(original, separator);
    if (lastDot == nullptr || lastSlash == nullptr) {
        if (tag != buffer || std::strcmp(buffer, original) != 0) {
            FuzzFailure("a path without '.' or separator must stay whole");
        }
    } else {
        if (tag != buffer + (lastSlash - original) + 1)
            FuzzFailure("tag does not follow the last separator");
        if (buffer[lastDot - original] != '\0') FuzzFailure("last '.' not cut");
    }
    return 0;
}
