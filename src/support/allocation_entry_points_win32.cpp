// Inside the DLL every C allocation entry point resolves here, for the library's own code and
// for the statically linked runtimes alike, so that every block comes from the engine's
// allocator. The linker takes these definitions before the C library's. The C++ operators
// are allocation_operators.cpp's.
#include <cstddef>

#include "support/routed_allocation.h"

extern "C" {

void* malloc(std::size_t size) {
    return RoutedAlloc(size);
}

void free(void* block) {
    RoutedFree(block);
}

void* calloc(std::size_t count, std::size_t elementSize) {
    return RoutedAllocArrayZeroed(count, elementSize);
}

void* realloc(void* block, std::size_t size) {
    return RoutedRealloc(block, size);
}

std::size_t _msize(void* block) {
    return RoutedBlockSize(block);
}

}  // extern "C"
