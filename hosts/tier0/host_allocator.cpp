// The stand-in engine allocator: a real one, on the process heap, that counts what it is
// asked so tests can see every call the library makes.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "tier0_testing.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <malloc.h>
#endif

namespace {

void* HeapTake(std::uint32_t size) {
#if defined(_WIN32)
    return HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
#else
    return std::malloc(size == 0 ? 1 : size);
#endif
}

void* HeapResize(void* block, std::uint32_t size) {
#if defined(_WIN32)
    return HeapReAlloc(GetProcessHeap(), 0, block, size == 0 ? 1 : size);
#else
    return std::realloc(block, size == 0 ? 1 : size);
#endif
}

void HeapGive(void* block) {
#if defined(_WIN32)
    HeapFree(GetProcessHeap(), 0, block);
#else
    std::free(block);
#endif
}

std::uint32_t HeapBlockSize(void* block) {
#if defined(_WIN32)
    return static_cast<std::uint32_t>(HeapSize(GetProcessHeap(), 0, block));
#else
    return static_cast<std::uint32_t>(malloc_usable_size(block));
#endif
}

struct Counters {
    std::atomic<std::int32_t> allocations{0};
    std::atomic<std::int32_t> taggedAllocations{0};
    std::atomic<std::int32_t> reallocations{0};
    std::atomic<std::int32_t> taggedReallocations{0};
    std::atomic<std::int32_t> releases{0};
    std::atomic<std::int32_t> blockSizeQueries{0};
    std::atomic<std::int32_t> tagQuestions{0};
    std::atomic<std::int32_t> liveBlocks{0};
};

constinit Counters s_Counters;
constinit std::atomic<bool> s_bWantsTags{true};
constinit char s_szLastTag[260] = {};

void RememberTag(const char* tag) {
    if (tag == nullptr) tag = "";
    std::strncpy(s_szLastTag, tag, sizeof(s_szLastTag) - 1);
}

class HostAllocator final : public AllocatorInterface {
public:
    void* AllocateTagged(std::uint32_t size, const char* tag, int) override {
        ++s_Counters.taggedAllocations;
        RememberTag(tag);
        return Take(size);
    }
    void* Allocate(std::uint32_t size) override {
        ++s_Counters.allocations;
        return Take(size);
    }
    void* ReallocateTagged(void* block, std::uint32_t size, const char* tag, int) override {
        ++s_Counters.taggedReallocations;
        RememberTag(tag);
        return Resize(block, size);
    }
    void* Reallocate(void* block, std::uint32_t size) override {
        ++s_Counters.reallocations;
        return Resize(block, size);
    }
    void Release(void* block) override {
        ++s_Counters.releases;
        if (block == nullptr) return;
        --s_Counters.liveBlocks;
        HeapGive(block);
    }
    std::uint32_t BlockSize(void* block) override {
        ++s_Counters.blockSizeQueries;
        return block == nullptr ? 0 : HeapBlockSize(block);
    }
    bool WantsAllocationTags() override {
        ++s_Counters.tagQuestions;
        return s_bWantsTags;
    }

private:
    static void* Take(std::uint32_t size) {
        void* block = HeapTake(size);
        if (block != nullptr) ++s_Counters.liveBlocks;
        return block;
    }
    static void* Resize(void* block, std::uint32_t size) {
        if (block == nullptr) return Take(size);
        return HeapResize(block, size);
    }
};

HostAllocator s_HostAllocator;

}  // namespace

AllocatorInterface* g_pMemAlloc = &s_HostAllocator;

void Tier0Test_ReadCounters(Tier0AllocatorCounters* counters) {
    counters->allocations = s_Counters.allocations;
    counters->taggedAllocations = s_Counters.taggedAllocations;
    counters->reallocations = s_Counters.reallocations;
    counters->taggedReallocations = s_Counters.taggedReallocations;
    counters->releases = s_Counters.releases;
    counters->blockSizeQueries = s_Counters.blockSizeQueries;
    counters->tagQuestions = s_Counters.tagQuestions;
    counters->liveBlocks = s_Counters.liveBlocks;
}

void Tier0Test_LastTag(char* buffer, int size) {
    if (size <= 0) return;
    std::strncpy(buffer, s_szLastTag, static_cast<std::size_t>(size) - 1);
    buffer[size - 1] = '\0';
}

void Tier0Test_ResetCounters() {
    s_Counters.allocations = 0;
    s_Counters.taggedAllocations = 0;
    s_Counters.reallocations = 0;
    s_Counters.taggedReallocations = 0;
    s_Counters.releases = 0;
    s_Counters.blockSizeQueries = 0;
    s_Counters.tagQuestions = 0;
    s_szLastTag[0] = '\0';
}

void Tier0Test_SetWantsAllocationTags(int wanted) {
    s_bWantsTags = wanted != 0;
}
