// Inside the shared object every C allocation call resolves here, for the library's own code
// and for the statically linked runtimes alike: the library is linked with --wrap for each of
// these names, which turns the references of its own objects, and only those, into references
// to the __wrap_ functions. Nothing is exported, so the rest of the server process keeps the C
// library's allocator, and a block the C library allocates for itself never comes here. The
// C++ operators are allocation_operators.cpp's.
#include <cstddef>

#include "support/routed_allocation.h"

extern "C" {

void* __wrap_malloc(std::size_t size) {
    return RoutedAlloc(size);
}

void __wrap_free(void* block) {
    RoutedFree(block);
}

void* __wrap_calloc(std::size_t count, std::size_t elementSize) {
    return RoutedAllocArrayZeroed(count, elementSize);
}

void* __wrap_realloc(void* block, std::size_t size) {
    return RoutedRealloc(block, size);
}

}  // extern "C"
