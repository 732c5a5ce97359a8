#include "support/routed_allocation.h"

#include <cstring>
#include <limits>

#include "support/owner_tag.h"
#include "support/platform.h"

namespace {

// Allocation (zeroing included) and reallocation each ask the allocator once, at their
// first use, whether it wants tags.
constinit OwnerTagCache s_pszAllocTag;
constinit OwnerTagCache s_pszReallocTag;

constexpr std::uint32_t kLargestRequest = std::numeric_limits<std::uint32_t>::max();

// The allocator's sizes are 32-bit; a larger request (possible only in a 64-bit test
// build) must not be cut down to a smaller block.
constexpr bool FitsRequest(std::size_t size) {
    if constexpr (sizeof(std::size_t) > sizeof(std::uint32_t)) {
        return size <= kLargestRequest;
    } else {
        return true;
    }
}

// The line the tagged operations carry: the library has no source lines to report.
constexpr int kTagLine = 0;

}  // namespace

void* RoutedAlloc(std::size_t size) {
    if (!FitsRequest(size)) return nullptr;
    const char* tag = s_pszAllocTag.Tag(ModuleAllocationTag);
    AllocatorInterface* allocator = EngineAllocator();
    // Only a library that did not start has none; its static objects then go without.
    if (allocator == nullptr) return nullptr;
    const auto request = static_cast<std::uint32_t>(size);
    return tag != nullptr ? allocator->AllocateTagged(request, tag, kTagLine)
                          : allocator->Allocate(request);
}

void RoutedFree(void* block) {
    if (AllocatorInterface* allocator = EngineAllocator()) allocator->Release(block);
}

void* RoutedAllocZeroed(std::size_t size) {
    void* block = RoutedAlloc(size);
    if (block != nullptr) std::memset(block, 0, size);
    return block;
}

void* RoutedAllocArrayZeroed(std::size_t count, std::size_t elementSize) {
    if (elementSize != 0 && count > kLargestRequest / elementSize) return nullptr;
    return RoutedAllocZeroed(count * elementSize);
}

void* RoutedRealloc(void* block, std::size_t size) {
    // The block stays valid and untouched, as with any failed reallocation.
    if (!FitsRequest(size)) return nullptr;
    const char* tag = s_pszReallocTag.Tag(ModuleAllocationTag);
    AllocatorInterface* allocator = EngineAllocator();
    if (allocator == nullptr) return nullptr;
    const auto request = static_cast<std::uint32_t>(size);
    return tag != nullptr ? allocator->ReallocateTagged(block, request, tag, kTagLine)
                          : allocator->Reallocate(block, request);
}

std::size_t RoutedBlockSize(void* block) {
    AllocatorInterface* allocator = EngineAllocator();
    return allocator != nullptr ? allocator->BlockSize(block) : 0;
}

int HostAllocatorPresent() {
    return EngineAllocator() != nullptr ? 1 : 0;
}
