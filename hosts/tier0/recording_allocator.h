#pragma once

#include <stdint.h>

#include "tier0.h"

// The two halves of the stand-in allocator. The object behind g_pMemAlloc is compiled the
// way the engine compiles it (engine_allocator.cpp) and hands each operation to the
// recording allocator (host_allocator.cpp) through these plain functions.
extern "C" {
void* RecordingAllocator_AllocateTagged(uint32_t size, const char* tag, int line);
void* RecordingAllocator_Allocate(uint32_t size);
void* RecordingAllocator_ReallocateTagged(void* block, uint32_t size, const char* tag, int line);
void* RecordingAllocator_Reallocate(void* block, uint32_t size);
void RecordingAllocator_Release(void* block);
uint32_t RecordingAllocator_BlockSize(void* block);
bool RecordingAllocator_WantsAllocationTags();

// The allocator object that g_pMemAlloc publishes.
AllocatorInterface* Tier0StandIn_EngineAllocator();
}
