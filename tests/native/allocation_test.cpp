// Allocation routing to the engine's allocator: the owner tag, its one-time caches, and
// what reaches the allocator for each routed call.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "interfaces/tier0.h"
#include "support/owner_tag.h"
#include "support/platform_linked.h"
#include "support/routed_allocation.h"

namespace {

// Stands in g_pMemAlloc while it lives; logs requests and hands out one block of marker bytes.
struct LoggingAllocator final : AllocatorInterface {
    using Size = std::uint32_t;
    LoggingAllocator() { g_pMemAlloc = this; }
    ~LoggingAllocator() { g_pMemAlloc = saved; }
    void* AllocateTagged(Size n, const char*, int) override { return Allocate(n); }
    void* Allocate(Size n) override {
        sizes.push_back(n);
        return refuse || n > sizeof(block) ? nullptr : std::memset(block, 0xAB, sizeof(block));
    }
    void* ReallocateTagged(void*, Size n, const char*, int) override { return Allocate(n); }
    void* Reallocate(void*, Size n) override { return Allocate(n); }
    void Release(void* freed) override { released = freed; }
    Size BlockSize(void*) override { return 0; }
    bool WantsAllocationTags() override { return ++questions, wantsTags; }
    AllocatorInterface* saved = g_pMemAlloc;
    std::vector<Size> sizes;
    void* released = nullptr;
    int questions = 0;
    bool wantsTags = false, refuse = false;
    unsigned char block[256];
};

}  // namespace

TEST(OwnerTag, IsTheModulesBaseNameCutAtTheLastDotWhenTheAllocatorWantsIt) {
    LoggingAllocator allocator;
    EXPECT_EQ(ModuleAllocationTag(), nullptr);
    allocator.wantsTags = true;
    // A '.' in a directory cuts nothing. The library keeps every tag for the process's life.
    // On Linux the same rules hold with the slash, and a backslash is just a character.
    struct Case {
        const char* path;
        char separator;
        const char* tag;
    };
    static const char* kept[9];
    for (int i = 0; auto [path, separator, tag] :
                    {Case{"example.dll", '\\', "example.dll"},
                     {"D:\\srv\\addons\\bin\\example.dll", '\\', "example"},
                     {"C:\\game\\bin\\mount_plugin.x86.dll", '\\', "mount_plugin.x86"},
                     {"D:\\srv\\tools.old\\bin\\example", '\\', "example"},
                     {"D:\\srv\\bin\\example", '\\', "D:\\srv\\bin\\example"},
                     {"/srv/game/bin/mount_plugin.so", '/', "mount_plugin"},
                     {"/srv/tools.old/bin/mount_plugin", '/', "mount_plugin"},
                     {"mount_plugin.so", '/', "mount_plugin.so"},
                     {"/srv/a\\b/mount\\plugin.so", '/', "mount\\plugin"}}) {
        SetLinkedModuleFileName(path, separator);
        EXPECT_STREQ(kept[i++] = ModuleAllocationTag(), tag) << path;
    }
    EXPECT_EQ(allocator.questions, 10);
    EXPECT_TRUE(allocator.sizes.empty()) << "tag buffers must not come from the allocator";
    // A failing file-name query or buffer request leaves the tag absent rather than wrong.
    SetLinkedModuleFileName(nullptr);
    EXPECT_EQ(ModuleAllocationTag(), nullptr);
    SetLinkedModuleFileName("D:\\srv\\addons\\bin\\example.dll", '\\', true);
    EXPECT_EQ(ModuleAllocationTag(), nullptr);
}

// Each cache asks once, even when threads race to fill it (a call racing with the filling goes
// untagged), and keeps its answer, no tag included. Routed calls fill the process's caches.
TEST(OwnerTag, ConcurrentOrNotTheFirstUseAsksOnceAndTheAnswerHolds) {
    static std::atomic<int> calls{0};
    static const char* answer = "example";
    calls = 0;
    const OwnerTagCache::TagSource source = [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // widens any race
        return ++calls, answer;
    };
    OwnerTagCache tagged, untagged;
    std::atomic<int> seen{0}, wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i) {
                const char* tag = tagged.Tag(source);
                if (tag != nullptr) ++seen, wrong += std::strcmp(tag, "example") != 0;
                void* block = RoutedRealloc(RoutedAlloc(32), 64);
                wrong += block == nullptr;
                RoutedFree(block);
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_TRUE(calls == 1 && wrong == 0 && seen > 0);
    answer = nullptr;
    EXPECT_STREQ(tagged.Tag(source), "example");
    EXPECT_EQ(untagged.Tag(source), nullptr);
    answer = "example";
    EXPECT_EQ(untagged.Tag(source), nullptr);
    EXPECT_EQ(calls, 2);
}

TEST(RoutedAllocation, PassesBlocksThroughZeroesAndRefusesWhatDoesNotFitThirtyTwoBits) {
    LoggingAllocator allocator;
    const unsigned char* const block = allocator.block;
    RoutedFree(allocator.block);
    EXPECT_EQ(allocator.released, block);
    for (void* (*zeroing)() :  // zeroing covers exactly the requested bytes
         {+[] { return RoutedAllocZeroed(100); }, +[] { return RoutedAllocArrayZeroed(25, 4); }}) {
        EXPECT_TRUE(zeroing() == block && std::count(block, block + 101, 0) == 100 && block[100]);
    }
    // Overflowing products and 64-bit sizes never reach the allocator; the largest that fit do.
    for (auto [count, size] : {std::pair{0x10000u, 0x10000u}, {0x80000000u, 2u}, {3u, 0x55555556u}})
        EXPECT_EQ(RoutedAllocArrayZeroed(count, size), nullptr) << count << " × " << size;
    if constexpr (sizeof(std::size_t) > sizeof(std::uint32_t)) {
        const std::size_t beyond = std::size_t{0xFFFFFFFFu} + 1;
        EXPECT_TRUE(RoutedAlloc(beyond) == nullptr &&
                    RoutedRealloc(allocator.block, beyond) == nullptr);
    }
    RoutedAllocArrayZeroed(0xFFFFFFFFu, 1);
    RoutedAllocArrayZeroed(0, 0xFFFFFFFFu);
    EXPECT_EQ(allocator.sizes, (std::vector<LoggingAllocator::Size>{100, 100, 0xFFFFFFFFu, 0}));
    allocator.refuse = true;  // a null result comes back as it is, and nothing is zeroed
    EXPECT_TRUE(RoutedRealloc(allocator.block, 16) == nullptr && RoutedAllocZeroed(100) == nullptr);
}
