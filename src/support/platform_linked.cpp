// The platform of a test program that links the library's objects straight in: the stand-in
// base library is linked into the same program, and the module file is whatever a test chose.
#include "support/platform_linked.h"

#include <cstdlib>
#include <cstring>

#include "support/platform.h"

namespace {
// A test program is no module of its own; until a test chooses otherwise it answers like the
// DLL installed in an ordinary server.
char s_szChosenPath[512];
const char* s_pszPath = "C:\\server\\bin\\mount_plugin.dll";  // null: the query fails
char s_chSeparator = '\\';
bool s_bFailTagBuffer = false;
bool s_bStarted = true;
}  // namespace

void SetLinkedModuleFileName(const char* path, char separator, bool failTagBuffer) {
    s_pszPath = nullptr;
    if (path != nullptr) {
        std::strncpy(s_szChosenPath, path, sizeof(s_szChosenPath) - 1);
        s_pszPath = s_szChosenPath;
    }
    s_chSeparator = separator;
    s_bFailTagBuffer = failTagBuffer;
}

void SetLinkedBaseLibraryStarted(bool started) {
    s_bStarted = started;
}

// Linked in, the stand-in's pointer is there from the start.
constinit AllocatorInterface* const* g_ppEngineAllocator = &g_pMemAlloc;

bool BaseLibraryStarted() {
    return s_bStarted;
}

char* TakeTagBuffer(std::uint32_t size) {
    if (s_bFailTagBuffer) return nullptr;
    return static_cast<char*>(std::malloc(size));
}

void GiveBackTagBuffer(char* buffer) {
    std::free(buffer);
}

bool QueryOwnModuleFileName(char* buffer, std::uint32_t size) {
    if (s_pszPath == nullptr) return false;
    const std::size_t length = std::strlen(s_pszPath);
    if (length >= size) return false;
    std::memcpy(buffer, s_pszPath, length + 1);
    return true;
}

char ModulePathSeparator() {
    return s_chSeparator;
}
