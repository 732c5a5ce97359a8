// The engine's allocator object. For Windows this file is compiled the engine's way, so the
// library calls an object laid out by the engine's compiler; each operation forwards to the
// recording allocator.
#include "recording_allocator.h"

namespace {

class EngineAllocator final : public AllocatorInterface {
public:
    constexpr EngineAllocator() = default;

    void* AllocateTagged(uint32_t size, const char* tag, int line) override {
        return RecordingAllocator_AllocateTagged(size, tag, line);
    }
    void* Allocate(uint32_t size) override { return RecordingAllocator_Allocate(size); }
    void* ReallocateTagged(void* block, uint32_t size, const char* tag, int line) override {
        return RecordingAllocator_ReallocateTagged(block, size, tag, line);
    }
    void* Reallocate(void* block, uint32_t size) override {
        return RecordingAllocator_Reallocate(block, size);
    }
    void Release(void* block) override { RecordingAllocator_Release(block); }
    uint32_t BlockSize(void* block) override { return RecordingAllocator_BlockSize(block); }
    bool WantsAllocationTags() override { return RecordingAllocator_WantsAllocationTags(); }
};

constinit EngineAllocator s_EngineAllocator;

}  // namespace

// Constant-initialised, so that static initialisers of a library linked with the stand-in
// find it whatever order they run in.
constinit AllocatorInterface* g_pMemAlloc = &s_EngineAllocator;

AllocatorInterface* Tier0StandIn_EngineAllocator() {
    return &s_EngineAllocator;
}
