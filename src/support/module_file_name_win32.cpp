#include <windows.h>

#include "support/module_file_name.h"

namespace {
// Any static item of this library lies inside its module's image.
constinit const char s_chModuleMarker = 0;
}  // namespace

char* TakeTagBuffer(std::uint32_t size) {
    return static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
}

void GiveBackTagBuffer(char* buffer) {
    HeapFree(GetProcessHeap(), 0, buffer);
}

bool QueryOwnModuleFileName(char* buffer, std::uint32_t size) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(&s_chModuleMarker, &region, sizeof(region)) == 0) return false;
    auto module = static_cast<HMODULE>(region.AllocationBase);
    if (module == nullptr) return false;
    const DWORD length = GetModuleFileNameA(module, buffer, size);
    // A length of size means the name was cut (and, on older systems, left unterminated).
    return length != 0 && length < size;
}
