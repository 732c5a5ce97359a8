// The C++ allocation operators of the library, for its own code and the statically linked C++
// runtime alike: every block comes from the engine's allocator. Part of the product only; test
// programs that link the library's objects keep their own.
#include <cstddef>
#include <cstdint>
#include <new>

#include "support/routed_allocation.h"

namespace {

// The engine's allocator promises no particular alignment, so an over-aligned request
// takes room for the alignment plus the address of the block it lies in, which sits just
// before the aligned address.
void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t extra = align - 1 + sizeof(void*);
    if (size > SIZE_MAX - extra) return nullptr;
    void* block = RoutedAlloc(size + extra);
    if (block == nullptr) return nullptr;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block) + sizeof(void*);
    const std::uintptr_t aligned = (start + align - 1) & ~(std::uintptr_t{align} - 1);
    reinterpret_cast<void**>(aligned)[-1] = block;
    return reinterpret_cast<void*>(aligned);
}

void FreeAligned(void* pointer) {
    if (pointer != nullptr) RoutedFree(static_cast<void**>(pointer)[-1]);
}

}  // namespace

// A failed allocation yields null here too; the library is built to check for it.
void* operator new(std::size_t size) {
    return RoutedAlloc(size);
}
void* operator new[](std::size_t size) {
    return RoutedAlloc(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return RoutedAlloc(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return RoutedAlloc(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, alignment);
}

void operator delete(void* block) noexcept {
    RoutedFree(block);
}
void operator delete[](void* block) noexcept {
    RoutedFree(block);
}
void operator delete(void* block, std::size_t) noexcept {
    RoutedFree(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    RoutedFree(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    RoutedFree(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    RoutedFree(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    FreeAligned(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    FreeAligned(block);
}
