#pragma once

#include <cstdint>

#include "tier0.h"

// Extra exports of the stand-in tier0.dll that let tests and the demo server see and steer
// what the engine's base library would do. The product never calls these.

struct Tier0AllocatorCounters {
    std::int32_t allocations;          // Allocate
    std::int32_t taggedAllocations;    // AllocateTagged
    std::int32_t reallocations;        // Reallocate
    std::int32_t taggedReallocations;  // ReallocateTagged
    std::int32_t releases;             // Release, null included
    std::int32_t blockSizeQueries;     // BlockSize
    std::int32_t tagQuestions;         // WantsAllocationTags
    std::int32_t liveBlocks;           // blocks handed out and not yet released
};

// One call of the allocator, as the stand-in saw it.
enum Tier0AllocatorOperation : std::int32_t {
    kTier0AllocateTagged = 1,
    kTier0Allocate = 2,
    kTier0ReallocateTagged = 3,
    kTier0Reallocate = 4,
    kTier0Release = 5,
    kTier0BlockSize = 6,
    kTier0WantsAllocationTags = 7,
};

struct Tier0AllocationRecord {
    std::int32_t operation;        // a Tier0AllocatorOperation
    std::uint32_t size;            // requested size (allocations and reallocations)
    std::int32_t line;             // line argument of the tagged operations, else 0
    std::int32_t tagged;           // 1 when a tagged operation received a non-null tag
    std::int32_t injectedFailure;  // 1 when the stand-in refused this request on purpose
    void* block;                   // block passed in (reallocation, release, block size)
    void* result;                  // block handed out (null on failure)
    char tag[64];                  // the tag text, cut to fit; "" when none
};

// How many calls the record keeps; later calls are counted but not kept.
inline constexpr std::int32_t kTier0RecordCapacity = 16384;

// Set (to any value) in the environment of a process before tier0.dll loads, this name
// makes the stand-in publish a null g_pMemAlloc, as an engine without its allocator would.
inline constexpr char kTier0NoAllocatorVariable[] = "TIER0_STANDIN_NO_ALLOCATOR";

extern "C" {
TIER0_API void Tier0Test_ReadCounters(Tier0AllocatorCounters* counters);
// Copies the tag of the last tagged call kept in the record ("" when none) into buffer,
// NUL-terminated.
TIER0_API void Tier0Test_LastTag(char* buffer, int size);
// Zeroes the counters (live blocks excepted) and empties the record.
TIER0_API void Tier0Test_ResetCounters();
TIER0_API void Tier0Test_SetWantsAllocationTags(int wanted);
// Replaces the processor's feature byte in GetCPUInformation; a negative value restores it.
TIER0_API void Tier0Test_OverrideFeatureBits(int bits);
TIER0_API std::int32_t Tier0Test_ValidityCheckCalls();

// Number of allocator calls since the last reset, kept or not.
TIER0_API std::int32_t Tier0Test_RecordCount();
// Copies the index-th call since the last reset; 0 when it was not kept.
TIER0_API int Tier0Test_ReadRecord(std::int32_t index, Tier0AllocationRecord* record);
// Makes the n-th allocation request from now (allocation or reallocation, tagged or not)
// fail with null; 0 or less cancels a pending failure.
TIER0_API void Tier0Test_FailAllocation(std::int32_t n);
// Refuses requests by a pattern counted from now: the k-th request (k from 1 to 32) is
// refused when bit k-1 of pattern is set; later requests are granted. 0 cancels.
TIER0_API void Tier0Test_FailAllocationPattern(std::uint32_t pattern);
// Number of requests refused on purpose since the last reset.
TIER0_API std::int32_t Tier0Test_InjectedFailures();
// Publishes the allocator in g_pMemAlloc (1) or a null pointer (0).
TIER0_API void Tier0Test_PublishAllocator(int published);
// While keep is not 0, a release is counted and recorded but the block is not given to the
// heap, so that a test can let the library release memory it never allocated (a static
// object through its deleting destructor).
TIER0_API void Tier0Test_KeepReleasedBlocks(int keep);
}
