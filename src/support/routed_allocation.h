#pragma once

#include <cstddef>
#include <cstdint>

// Every block the library obtains, resizes or gives back goes to the engine's allocator
// (g_pMemAlloc, read afresh on every call), tagged with the module's base name when the
// allocator asks for tags. A failure comes back as null; so does a request the allocator's
// 32-bit sizes cannot express.
void* RoutedAlloc(std::size_t size);
// Always untagged; null is passed on, the allocator accepts it.
void RoutedFree(void* block);
// The first size bytes of the block are 0.
void* RoutedAllocZeroed(std::size_t size);
// count × elementSize zeroed bytes; null when the product overflows 32 bits.
void* RoutedAllocArrayZeroed(std::size_t count, std::size_t elementSize);
void* RoutedRealloc(void* block, std::size_t size);
std::size_t RoutedBlockSize(void* block);
// 1 when the engine has published its allocator, else 0; the library refuses to start
// without it.
int HostAllocatorPresent();
