#include "support/owner_tag.h"

#include <cstring>

#include "support/platform.h"

char* OwnerTagFromModulePath(char* path, char separator) {
    char* lastDot = std::strrchr(path, '.');
    if (lastDot == nullptr) return path;
    char* lastSeparator = std::strrchr(path, separator);
    if (lastSeparator == nullptr) return path;
    *lastDot = '\0';
    return lastSeparator + 1;
}

const char* ModuleAllocationTag() {
    AllocatorInterface* allocator = EngineAllocator();
    if (allocator == nullptr || !allocator->WantsAllocationTags()) return nullptr;
    char* buffer = TakeTagBuffer(kOwnerTagBufferSize);
    if (buffer == nullptr) return nullptr;
    if (!QueryOwnModuleFileName(buffer, kOwnerTagBufferSize)) {
        // A path we could not read whole would give a wrong tag; none is better.
        GiveBackTagBuffer(buffer);
        return nullptr;
    }
    return OwnerTagFromModulePath(buffer, ModulePathSeparator());
}
