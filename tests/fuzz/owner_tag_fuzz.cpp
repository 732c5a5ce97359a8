// The owner-tag path rules on arbitrary module paths: the tag always lies inside the
// buffer, is terminated there, and never holds a backslash once a directory was cut off.
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
    // The file-name query fills at most the buffer, NUL included.
    char buffer[kOwnerTagBufferSize];
    const std::size_t length = size < sizeof(buffer) - 1 ? size : sizeof(buffer) - 1;
    std::memcpy(buffer, data, length);
    buffer[length] = '\0';
    char original[kOwnerTagBufferSize];
    std::memcpy(original, buffer, sizeof(buffer));

    const char* tag = OwnerTagFromModulePath(buffer);
    if (tag < buffer || tag >= buffer + sizeof(buffer)) FuzzFailure("tag outside the buffer");
    if (std::memchr(tag, '\0', static_cast<std::size_t>(buffer + sizeof(buffer) - tag)) ==
        nullptr) {
        FuzzFailure("tag not terminated inside the buffer");
    }
    const char* lastDot = std::strrchr(original, '.');
    const char* lastSlash = std::strrchr(original, '\\');
    if (lastDot == nullptr || lastSlash == nullptr) {
        if (tag != buffer || std::strcmp(buffer, original) != 0) {
            FuzzFailure("a path without '.' or backslash must stay whole");
        }
    } else {
        if (tag != buffer + (lastSlash - original) + 1)
            FuzzFailure("tag does not follow the last backslash");
        if (buffer[lastDot - original] != '\0') FuzzFailure("last '.' not cut");
    }
    return 0;
}
