// Windows: tier0.dll's exports are the library's imports (base_library_imported.cpp); the loader
// refuses the library when its entry point finds no allocator (dll_entry_win32.cpp).
#include <windows.h>

#include "support/platform.h"

namespace {
// Any static item of this library lies inside its module's image.
constinit const char s_chModuleMarker = 0;
}  // namespace

// Set by the entry point, before anything else of the library runs (dll_entry_win32.cpp): the
// import is only there once the loader has bound it.
constinit AllocatorInterface* const* g_ppEngineAllocator = &kNoEngineAllocator;

bool BaseLibraryStarted() {
    // Code of the library runs only once its entry point has let the load go on.
    return true;
}

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

char ModulePathSeparator() {
    return '\\';
}
