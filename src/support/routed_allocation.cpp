#include "support/routed_allocation.h"

#include <cstring>

#include "interfaces/tier0.h"

// Untagged routing; the owner tag arrives with the tag caches.

void* RoutedAlloc(std::size_t size) {
    return g_pMemAlloc->Allocate(static_cast<std::uint32_t>(size));
}

void RoutedFree(void* block) {
    g_pMemAlloc->Release(block);
}

void* RoutedAllocZeroed(std::size_t size) {
    void* block = RoutedAlloc(size);
    if (block != nullptr) std::memset(block, 0, size);
    return block;
}

void* RoutedAllocArrayZeroed(std::size_t count, std::size_t elementSize) {
    return RoutedAllocZeroed(count * elementSize);
}

void* RoutedRealloc(void* block, std::size_t size) {
    return g_pMemAlloc->Reallocate(block, static_cast<std::uint32_t>(size));
}

std::size_t RoutedBlockSize(void* block) {
    return g_pMemAlloc->BlockSize(block);
}

int HostAllocatorPresent() {
    return g_pMemAlloc != nullptr ? 1 : 0;
}
