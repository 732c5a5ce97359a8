#pragma once

#include <cstddef>
#include <cstdint>

// Every block the library obtains, resizes or gives back goes to the engine's allocator
// (g_pMemAlloc, read afresh on every call). A failure comes back as null.
void* RoutedAlloc(std::size_t size);
void RoutedFree(void* block);
void* RoutedAllocZeroed(std::size_t size);
void* RoutedAllocArrayZeroed(std::size_t count, std::size_t elementSize);
void* RoutedRealloc(void* block, std::size_t size);
std::size_t RoutedBlockSize(void* block);
int HostAllocatorPresent();
