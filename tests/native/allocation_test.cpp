// Allocation routing to the engine's allocator: the owner tag, its one-time caches, and
// what reaches the allocator for each routed call.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "interfaces/tier0.h"
#include "support/module_file_name.h"
#include "support/owner_tag.h"
#include "support/routed_allocation.h"

namespace {

// An allocator that logs every call and hands out one block filled with a marker byte, so
// a test sees both the request and whether the library touched the block.
class LoggingAllocator final : public AllocatorInterface {
public:
    struct Call {
        std::uint32_t size;
        void* block;
    };

    void* AllocateTagged(std::uint32_t size, const char*, int) override {
        return Hand({size, nullptr});
    }
    void* Allocate(std::uint32_t size) override { return Hand({size, nullptr}); }
    void* ReallocateTagged(void* block, std::uint32_t size, const char*, int) override {
        return Hand({size, block});
    }
    void* Reallocate(void* block, std::uint32_t size) override { return Hand({size, block}); }
    void Release(void* block) override { calls.push_back({0, block}); }
    std::uint32_t BlockSize(void*) override { return 0; }
    bool WantsAllocationTags() override {
        ++questions;
        return wantsTags;
    }

    std::vector<Call> calls;
    int questions = 0;
    bool wantsTags = true;
    bool refuse = false;
    unsigned char storage[256] = {};

private:
    void* Hand(Call call) {
        calls.push_back(call);
        if (refuse || call.size > sizeof(storage)) return nullptr;
        std::memset(storage, 0xAB, sizeof(storage));
        return storage;
    }
};

// Publishes an allocator in g_pMemAlloc for one test, as the engine would.
class ScopedAllocator {
public:
    explicit ScopedAllocator(AllocatorInterface* allocator) : m_pSaved(g_pMemAlloc) {
        g_pMemAlloc = allocator;
    }
    ~ScopedAllocator() { g_pMemAlloc = m_pSaved; }
    ScopedAllocator(const ScopedAllocator&) = delete;
    ScopedAllocator& operator=(const ScopedAllocator&) = delete;

private:
    AllocatorInterface* m_pSaved;
};

std::string TagOf(const char* path) {
    char buffer[kOwnerTagBufferSize] = {};
    std::strncpy(buffer, path, sizeof(buffer) - 1);
    const char* tag = OwnerTagFromModulePath(buffer);
    EXPECT_GE(tag, buffer);
    EXPECT_LT(tag, buffer + sizeof(buffer));
    return tag;
}

}  // namespace

TEST(OwnerTag, IsTheBaseNameCutAtTheLastDotWhenThePathHasADirectory) {
    EXPECT_EQ(TagOf("D:\\srv\\addons\\bin\\example.dll"), "example");
    EXPECT_EQ(TagOf("C:\\game\\bin\\mount_plugin.x86.dll"), "mount_plugin.x86");
    // A '.' only in the directory part cuts the directory, not the file name.
    EXPECT_EQ(TagOf("D:\\srv\\tools.old\\bin\\example"), "example");
    EXPECT_EQ(TagOf("D:\\srv\\bin\\example"), "D:\\srv\\bin\\example");
    EXPECT_EQ(TagOf("example.dll"), "example.dll");
    EXPECT_EQ(TagOf(""), "");
}

TEST(OwnerTag, ComesFromTheModuleOnlyWhenTheAllocatorWantsIt) {
    LoggingAllocator allocator;
    ScopedAllocator published(&allocator);

    SetNativeModuleFileName("D:\\srv\\addons\\bin\\example.dll");
    allocator.wantsTags = false;
    EXPECT_EQ(ModuleAllocationTag(), nullptr);
    allocator.wantsTags = true;
    // Kept, as the library keeps every tag for the life of the process.
    static const char* tag = ModuleAllocationTag();
    ASSERT_NE(tag, nullptr);
    EXPECT_STREQ(tag, "example");
    EXPECT_EQ(allocator.questions, 2);
    EXPECT_TRUE(allocator.calls.empty()) << "the tag buffer must not come from the allocator";

    // Any failing step leaves the tag absent rather than wrong.
    SetNativeModuleFileName(nullptr);
    EXPECT_EQ(ModuleAllocationTag(), nullptr);
    SetNativeModuleFileName("D:\\srv\\addons\\bin\\example.dll", true);
    EXPECT_EQ(ModuleAllocationTag(), nullptr);
    SetNativeModuleFileName((std::string("C:\\") + std::string(300, 'x') + ".dll").c_str());
    EXPECT_EQ(ModuleAllocationTag(), nullptr);
    SetNativeModuleFileName("C:\\server\\bin\\mount_plugin.dll");
}

namespace {
std::atomic<int> g_nSourceCalls{0};
const char* g_pszSourceAnswer = nullptr;
const char* CountingSource() {
    ++g_nSourceCalls;
    return g_pszSourceAnswer;
}
}  // namespace

TEST(OwnerTag, CacheAsksOnceAndKeepsTheAnswerEvenWhenItIsNoTag) {
    g_nSourceCalls = 0;
    OwnerTagCache untagged;
    g_pszSourceAnswer = nullptr;
    EXPECT_EQ(untagged.Tag(CountingSource), nullptr);
    g_pszSourceAnswer = "example";
    EXPECT_EQ(untagged.Tag(CountingSource), nullptr);
    EXPECT_EQ(g_nSourceCalls, 1);

    OwnerTagCache tagged;
    EXPECT_STREQ(tagged.Tag(CountingSource), "example");
    g_pszSourceAnswer = nullptr;
    EXPECT_STREQ(tagged.Tag(CountingSource), "example");
    EXPECT_EQ(g_nSourceCalls, 2);
}

namespace {
const char* SlowSource() {
    ++g_nSourceCalls;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return "example";
}
}  // namespace

TEST(OwnerTag, ConcurrentFirstUseComputesOnceAndNoCallSeesAHalfFilledCache) {
    g_nSourceCalls = 0;
    OwnerTagCache cache;
    std::atomic<bool> go{false};
    std::atomic<int> tagged{0};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            while (!go) {
            }
            for (int i = 0; i < 1000; ++i) {
                const char* tag = cache.Tag(SlowSource);
                if (tag == nullptr) continue;  // raced with the filling: untagged is valid
                ++tagged;
                if (std::strcmp(tag, "example") != 0) ++wrong;
            }
        });
    }
    go = true;
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(g_nSourceCalls, 1);
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(tagged, 0);
    EXPECT_STREQ(cache.Tag(SlowSource), "example");
}

TEST(RoutedAllocation, RoutesFromSeveralThreadsAtOnce) {
    // The process's own caches, filled by whichever call comes first.
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                void* block = RoutedAlloc(32);
                void* grown = RoutedRealloc(block, 64);
                if (block == nullptr || grown == nullptr) ++failures;
                RoutedFree(grown);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures, 0);
}

TEST(RoutedAllocation, PassesBlocksAndNullResultsThroughUnchanged) {
    LoggingAllocator allocator;
    ScopedAllocator published(&allocator);
    int block = 0;
    RoutedFree(&block);
    RoutedFree(nullptr);
    ASSERT_EQ(allocator.calls.size(), 2u);
    EXPECT_EQ(allocator.calls[0].block, &block);
    EXPECT_EQ(allocator.calls[1].block, nullptr);
    allocator.refuse = true;
    EXPECT_EQ(RoutedRealloc(&block, 16), nullptr);
    EXPECT_EQ(RoutedAlloc(16), nullptr);
}

TEST(RoutedAllocation, ZeroesExactlyTheRequestedBytesOfABlockItGot) {
    LoggingAllocator allocator;
    ScopedAllocator published(&allocator);
    for (void* block : {RoutedAllocZeroed(100), RoutedAllocArrayZeroed(25, 4)}) {
        ASSERT_EQ(block, allocator.storage);
        for (int i = 0; i < 100; ++i) ASSERT_EQ(allocator.storage[i], 0) << i;
        EXPECT_EQ(allocator.storage[100], 0xAB);
    }
    EXPECT_EQ(allocator.calls[1].size, 100u);

    allocator.refuse = true;
    EXPECT_EQ(RoutedAllocZeroed(100), nullptr);
    EXPECT_EQ(RoutedAllocArrayZeroed(25, 4), nullptr);
}

TEST(RoutedAllocation, RefusesRequestsThatDoNotFitThirtyTwoBits) {
    LoggingAllocator allocator;
    ScopedAllocator published(&allocator);
    EXPECT_EQ(RoutedAllocArrayZeroed(0x10000, 0x10000), nullptr);
    EXPECT_EQ(RoutedAllocArrayZeroed(0x80000000u, 2), nullptr);
    EXPECT_EQ(RoutedAllocArrayZeroed(3, 0x55555556u), nullptr);
    EXPECT_TRUE(allocator.calls.empty()) << "an overflowing product reached the allocator";

    // The largest products that fit still go through, and zero elements are no overflow.
    RoutedAllocArrayZeroed(0xFFFFFFFFu, 1);
    RoutedAllocArrayZeroed(0, 0xFFFFFFFFu);
    ASSERT_EQ(allocator.calls.size(), 2u);
    EXPECT_EQ(allocator.calls[0].size, 0xFFFFFFFFu);
    EXPECT_EQ(allocator.calls[1].size, 0u);

    if constexpr (sizeof(std::size_t) > 4) {
        allocator.calls.clear();
        EXPECT_EQ(RoutedAlloc(std::size_t{1} << 32), nullptr);
        EXPECT_EQ(RoutedRealloc(allocator.storage, std::size_t{1} << 32), nullptr);
        EXPECT_TRUE(allocator.calls.empty()) << "a 64-bit size was cut to 32 bits";
    }
}
