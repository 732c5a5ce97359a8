#include "support/owner_tag.h"

#include <cstring>

#include "interfaces/tier0.h"
#include "support/module_file_name.h"

char* OwnerTagFromModulePath(char* path) {
    char* lastDot = std::strrchr(path, '.');
    if (lastDot == nullptr) return path;
    char* lastBackslash = std::strrchr(path, '\\');
    if (lastBackslash == nullptr) return path;
    *lastDot = '\0';
    return lastBackslash + 1;
}

const char* ModuleAllocationTag() {
    if (!g_pMemAlloc->WantsAllocationTags()) return nullptr;
    char* buffer = TakeTagBuffer(kOwnerTagBufferSize);
    if (buffer == nullptr) return nullptr;
    if (!QueryOwnModuleFileName(buffer, kOwnerTagBufferSize)) {
        // A path we could not read whole would give a wrong tag; none is better.
        GiveBackTagBuffer(buffer);
        return nullptr;
    }
    return OwnerTagFromModulePath(buffer);
}
