#include <cstdlib>
#include <cstring>

#include "support/module_file_name.h"

namespace {
// A native test process is no module of its own; until a test chooses otherwise it
// answers like the DLL installed in an ordinary server.
char s_szChosenPath[512];
const char* s_pszPath = "C:\\server\\bin\\mount_plugin.dll";  // null: the query fails
bool s_bFailTagBuffer = false;
}  // namespace

void SetNativeModuleFileName(const char* path, bool failTagBuffer) {
    s_pszPath = nullptr;
    if (path != nullptr) {
        std::strncpy(s_szChosenPath, path, sizeof(s_szChosenPath) - 1);
        s_pszPath = s_szChosenPath;
    }
    s_bFailTagBuffer = failTagBuffer;
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
