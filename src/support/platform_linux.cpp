// Linux: the engine has loaded its base library before it loads this one, under one of the
// names its server builds give that file. The library finds it among the loaded objects, never
// loading a second copy, and takes its exports from it as it starts. A shared object cannot
// refuse its own load; without the base library, or with no allocator behind its g_pMemAlloc,
// the library only starts up as one that offers nothing (BaseLibraryStarted).
//
// The loader's functions are taken at their oldest versions, so that the library loads on the
// glibc of old server distributions although it is linked against a newer one; the library
// needs libdl.so.2, where glibc kept them before 2.34.
#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <cstring>

#include "support/platform.h"

__asm__(".symver dlopen,dlopen@GLIBC_2.1");
__asm__(".symver dlsym,dlsym@GLIBC_2.0");
__asm__(".symver dlclose,dlclose@GLIBC_2.0");
__asm__(".symver dladdr,dladdr@GLIBC_2.0");

// The C library's own allocator: this library's objects are linked with their malloc and free
// wrapped into the engine's allocator (allocation_entry_points_linux.cpp).
extern "C" void* __real_malloc(std::size_t size);
extern "C" void __real_free(void* block);

namespace {

// The names the engine's server builds give the base library.
constexpr const char* kBaseLibraryNames[] = {"libtier0.so", "libtier0_srv.so"};

struct BaseLibrary {
    void* handle = nullptr;
    AllocatorInterface** allocator = nullptr;  // its g_pMemAlloc
    const CPUInformation* (*processorInformation)() = nullptr;
    void (*checkWritePointer)(void* pointer, int byteCount) = nullptr;
    void (*checkStringPointer)(const char* text, int maximumLength) = nullptr;
};

constinit BaseLibrary s_BaseLibrary;
constinit bool s_bStarted = false;

// Any static item of this library lies inside its own file's image.
constinit const char s_chModuleMarker = 0;

const char* BaseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

// The path of the first loaded object whose file has one of the base library's names, in
// order of loading; empty when there is none. The file's own name counts, not its soname, so
// that a base library loaded by path is found too.
struct LoadedPath {
    char path[4096];
};

int NoteBaseLibrary(dl_phdr_info* object, std::size_t, void* found) {
    const char* name = object->dlpi_name;
    if (name == nullptr) return 0;
    for (const char* wanted : kBaseLibraryNames) {
        if (std::strcmp(BaseName(name), wanted) != 0) continue;
        LoadedPath& loaded = *static_cast<LoadedPath*>(found);
        if (std::strlen(name) >= sizeof(loaded.path)) return 0;
        std::strcpy(loaded.path, name);
        return 1;
    }
    return 0;
}

// The loaded base library, with a reference of the library's own; null when the process has
// not loaded it.
void* LoadedBaseLibrary() {
    static LoadedPath found;
    found.path[0] = '\0';
    dl_iterate_phdr(NoteBaseLibrary, &found);
    return found.path[0] != '\0' ? dlopen(found.path, RTLD_LAZY | RTLD_NOLOAD) : nullptr;
}

template <typename Export>
Export Exported(void* handle, const char* name) {
    return reinterpret_cast<Export>(dlsym(handle, name));
}

void LetGoOfBaseLibrary() {
    if (s_BaseLibrary.handle != nullptr) dlclose(s_BaseLibrary.handle);
    s_BaseLibrary = {};
    g_ppEngineAllocator = &kNoEngineAllocator;
}

// Before every other initialiser of the library, which may already allocate. Its at-exit
// registration is the library's first, so the base library is let go after the library's
// static objects have given their memory back.
[[gnu::constructor(101)]] void StartWithBaseLibrary() {
    void* handle = LoadedBaseLibrary();
    if (handle == nullptr) return;
    BaseLibrary found{handle, Exported<AllocatorInterface**>(handle, "g_pMemAlloc"),
                      Exported<const CPUInformation* (*)()>(handle, "GetCPUInformation"),
                      Exported<void (*)(void*, int)>(handle, "_AssertValidWritePtr"),
                      Exported<void (*)(const char*, int)>(handle, "AssertValidStringPtr")};
    const bool complete = found.allocator != nullptr && *found.allocator != nullptr &&
                          found.processorInformation != nullptr &&
                          found.checkWritePointer != nullptr && found.checkStringPointer != nullptr;
    if (!complete || std::atexit(LetGoOfBaseLibrary) != 0) {
        dlclose(handle);
        return;
    }
    s_BaseLibrary = found;
    g_ppEngineAllocator = found.allocator;
    s_bStarted = true;
}

}  // namespace

constinit AllocatorInterface* const* g_ppEngineAllocator = &kNoEngineAllocator;

bool BaseLibraryStarted() {
    return s_bStarted;
}

const CPUInformation* EngineProcessorInformation() {
    return s_BaseLibrary.processorInformation();
}

void EngineCheckWritePointer(void* pointer, int byteCount) {
    if (s_BaseLibrary.checkWritePointer != nullptr)
        s_BaseLibrary.checkWritePointer(pointer, byteCount);
}

void EngineCheckStringPointer(const char* text, int maximumLength) {
    if (s_BaseLibrary.checkStringPointer != nullptr) {
        s_BaseLibrary.checkStringPointer(text, maximumLength);
    }
}

char* TakeTagBuffer(std::uint32_t size) {
    return static_cast<char*>(__real_malloc(size));
}

void GiveBackTagBuffer(char* buffer) {
    __real_free(buffer);
}

bool QueryOwnModuleFileName(char* buffer, std::uint32_t size) {
    Dl_info where{};
    if (dladdr(&s_chModuleMarker, &where) == 0 || where.dli_fname == nullptr) return false;
    const std::size_t length = std::strlen(where.dli_fname);
    // A name cut short would give a wrong tag.
    if (length >= size) return false;
    std::memcpy(buffer, where.dli_fname, length + 1);
    return true;
}

char ModulePathSeparator() {
    return '/';
}
