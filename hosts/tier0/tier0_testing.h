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

extern "C" {
TIER0_API void Tier0Test_ReadCounters(Tier0AllocatorCounters* counters);
// Copies the tag of the last tagged call ("" when none) into buffer, NUL-terminated.
TIER0_API void Tier0Test_LastTag(char* buffer, int size);
TIER0_API void Tier0Test_ResetCounters();
TIER0_API void Tier0Test_SetWantsAllocationTags(int wanted);
// Replaces the processor's feature byte in GetCPUInformation; a negative value restores it.
TIER0_API void Tier0Test_OverrideFeatureBits(int bits);
TIER0_API std::int32_t Tier0Test_ValidityCheckCalls();
}
