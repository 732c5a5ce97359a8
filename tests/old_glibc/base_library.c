/* A minimal stand-in of the engine's base library in C, built on the old distribution itself:
   an allocator object laid out as GCC lays out a C++ object of seven virtual operations (the
   table pointer first, `this` the first argument of each), counting what it is asked. */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

struct Allocator {
    void* const* table;
};

int g_nAllocations, g_nTagged, g_nReleases, g_nLive;
char g_szLastTag[64];

static void* AllocateTagged(struct Allocator* self, uint32_t size, const char* tag, int line) {
    (void)self;
    (void)line;
    ++g_nAllocations;
    ++g_nTagged;
    strncpy(g_szLastTag, tag != NULL ? tag : "", sizeof(g_szLastTag) - 1);
    ++g_nLive;
    return malloc(size ? size : 1);
}
static void* Allocate(struct Allocator* self, uint32_t size) {
    (void)self;
    ++g_nAllocations;
    ++g_nLive;
    return malloc(size ? size : 1);
}
static void* ReallocateTagged(struct Allocator* self, void* block, uint32_t size, const char* tag,
                              int line) {
    (void)self;
    (void)tag;
    (void)line;
    if (block == NULL) ++g_nLive;
    return realloc(block, size ? size : 1);
}
static void* Reallocate(struct Allocator* self, void* block, uint32_t size) {
    return ReallocateTagged(self, block, size, NULL, 0);
}
static void Release(struct Allocator* self, void* block) {
    (void)self;
    ++g_nReleases;
    if (block != NULL) --g_nLive;
    free(block);
}
static uint32_t BlockSize(struct Allocator* self, void* block) {
    (void)self;
    (void)block;
    return 0;
}
static int WantsAllocationTags(struct Allocator* self) {
    (void)self;
    return 1;
}

static void* const kTable[] = {(void*)AllocateTagged,     (void*)Allocate, (void*)ReallocateTagged,
                               (void*)Reallocate,         (void*)Release,  (void*)BlockSize,
                               (void*)WantsAllocationTags};
static struct Allocator s_Allocator = {kTable};
struct Allocator* g_pMemAlloc = &s_Allocator;

struct CPUInformation {
    int32_t size;
    uint8_t features;
};
static struct CPUInformation s_Processor = {sizeof(struct CPUInformation), 0x18};
const struct CPUInformation* GetCPUInformation(void) {
    return &s_Processor;
}
void AssertValidStringPtr(const char* text, int length) {
    (void)text;
    (void)length;
}
void _AssertValidWritePtr(void* pointer, int count) {
    (void)pointer;
    (void)count;
}
