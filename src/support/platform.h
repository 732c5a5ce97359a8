#pragma once

#include <cstdint>

#include "interfaces/tier0.h"

// Every service the library takes from the operating system, and the engine's base library as
// the system joins it to the library. One file per system stands behind this header
// (platform_win32.cpp, platform_linux.cpp); programs that link the library's objects straight
// in, with the stand-in base library beside them, use platform_linked.cpp.

// ---- The engine's base library

// True when the library found the engine's base library, with an allocator behind its
// g_pMemAlloc, as it started. Without it the library offers nothing: no interface, no script
// function.
bool BaseLibraryStarted();

// Where the engine's base library keeps the pointer to its allocator (its g_pMemAlloc), as
// the library found it when it started. Before, and without the base library, it points at
// kNoEngineAllocator, so that it can always be read.
extern AllocatorInterface* const* g_ppEngineAllocator;
inline constexpr AllocatorInterface* kNoEngineAllocator = nullptr;

// g_pMemAlloc, read afresh on every call; null while there is no allocator. Inline: every
// routed allocation asks.
inline AllocatorInterface* EngineAllocator() {
    return *g_ppEngineAllocator;
}
// GetCPUInformation().
const CPUInformation* EngineProcessorInformation();
// _AssertValidWritePtr and AssertValidStringPtr.
void EngineCheckWritePointer(void* pointer, int byteCount);
void EngineCheckStringPointer(const char* text, int maximumLength);

// ---- The library's own module file, for the allocation owner tag

// A buffer from the C library's or the system's heap, never from the engine's allocator;
// null on failure.
char* TakeTagBuffer(std::uint32_t size);
// Returns a buffer that did not end up holding a tag.
void GiveBackTagBuffer(char* buffer);
// Writes the full path of the module holding this code into buffer, NUL-terminated. False
// when the module or its name cannot be found, or the name does not fit.
bool QueryOwnModuleFileName(char* buffer, std::uint32_t size);
// What separates the folders of that path.
char ModulePathSeparator();
