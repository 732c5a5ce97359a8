// The stand-in engine allocator: a real one, on the process heap, that counts and records
// every call so tests can see what the library asks, and can be told to refuse a request
// or to be missing altogether. The object the library calls is engine_allocator.cpp's.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "host_platform.h"
#include "recording_allocator.h"
#include "tier0_testing.h"

namespace {

using host::HeapBlockSize;
using host::HeapGive;
using host::HeapResize;
using host::HeapTake;

struct Counters {
    std::atomic<std::int32_t> allocations{0};
    std::atomic<std::int32_t> taggedAllocations{0};
    std::atomic<std::int32_t> reallocations{0};
    std::atomic<std::int32_t> taggedReallocations{0};
    std::atomic<std::int32_t> releases{0};
    std::atomic<std::int32_t> blockSizeQueries{0};
    std::atomic<std::int32_t> tagQuestions{0};
    std::atomic<std::int32_t> liveBlocks{0};
    std::atomic<std::int32_t> injectedFailures{0};
};

constinit Counters s_Counters;
constinit std::atomic<bool> s_bWantsTags{true};
constinit std::atomic<bool> s_bKeepReleasedBlocks{false};
// Each call claims its own slot, so calls from several threads never share one.
constinit Tier0AllocationRecord s_Records[kTier0RecordCapacity] = {};
constinit std::atomic<std::int32_t> s_nRecords{0};

// Requests left before the one to refuse; 0 when none is to be refused.
constinit std::atomic<std::int32_t> s_nRequestsBeforeFailure{0};

// Refusals by pattern: bit k-1 refuses the k-th request since the pattern was set.
constexpr std::uint32_t kPatternRequests = 32;
constinit std::atomic<std::uint32_t> s_RefusalPattern{0};
constinit std::atomic<std::uint32_t> s_nPatternRequests{0};

void CopyTag(char* destination, std::size_t size, const char* tag) {
    std::size_t length = 0;
    if (tag != nullptr) {
        while (length + 1 < size && tag[length] != '\0') {
            destination[length] = tag[length];
            ++length;
        }
    }
    destination[length] = '\0';
}

Tier0AllocationRecord* Record(Tier0AllocatorOperation operation, void* block, std::uint32_t size) {
    const std::int32_t index = s_nRecords.fetch_add(1);
    if (index >= kTier0RecordCapacity) return nullptr;
    Tier0AllocationRecord& record = s_Records[index];
    record = Tier0AllocationRecord{};
    record.operation = operation;
    record.block = block;
    record.size = size;
    return &record;
}

void NoteTag(Tier0AllocationRecord* record, const char* tag, int line) {
    if (record == nullptr) return;
    record->tagged = tag != nullptr ? 1 : 0;
    record->line = line;
    CopyTag(record->tag, sizeof(record->tag), tag);
}

bool RefusedByCountdown() {
    std::int32_t left = s_nRequestsBeforeFailure.load();
    while (left > 0) {
        if (s_nRequestsBeforeFailure.compare_exchange_weak(left, left - 1)) return left == 1;
    }
    return false;
}

bool RefusedByPattern() {
    const std::uint32_t pattern = s_RefusalPattern.load();
    if (pattern == 0) return false;
    const std::uint32_t request = ++s_nPatternRequests;
    return request <= kPatternRequests && ((pattern >> (request - 1)) & 1u) != 0;
}

// True for a request that a test asked to refuse.
bool RefuseThisRequest(Tier0AllocationRecord* record) {
    // Both are asked, so that each counts every request.
    const bool byCountdown = RefusedByCountdown();
    const bool byPattern = RefusedByPattern();
    if (!byCountdown && !byPattern) return false;
    ++s_Counters.injectedFailures;
    if (record != nullptr) record->injectedFailure = 1;
    return true;
}

void* NoteResult(Tier0AllocationRecord* record, void* result) {
    if (record != nullptr) record->result = result;
    return result;
}

void* Take(std::uint32_t size) {
    void* block = HeapTake(size);
    if (block != nullptr) ++s_Counters.liveBlocks;
    return block;
}

void* Resize(void* block, std::uint32_t size) {
    if (block == nullptr) return Take(size);
    return HeapResize(block, size);
}

}  // namespace

// The operations of the engine's allocator object (engine_allocator.cpp) land here.
void* RecordingAllocator_AllocateTagged(uint32_t size, const char* tag, int line) {
    ++s_Counters.taggedAllocations;
    Tier0AllocationRecord* record = Record(kTier0AllocateTagged, nullptr, size);
    NoteTag(record, tag, line);
    return NoteResult(record, RefuseThisRequest(record) ? nullptr : Take(size));
}

void* RecordingAllocator_Allocate(uint32_t size) {
    ++s_Counters.allocations;
    Tier0AllocationRecord* record = Record(kTier0Allocate, nullptr, size);
    return NoteResult(record, RefuseThisRequest(record) ? nullptr : Take(size));
}

void* RecordingAllocator_ReallocateTagged(void* block, uint32_t size, const char* tag, int line) {
    ++s_Counters.taggedReallocations;
    Tier0AllocationRecord* record = Record(kTier0ReallocateTagged, block, size);
    NoteTag(record, tag, line);
    return NoteResult(record, RefuseThisRequest(record) ? nullptr : Resize(block, size));
}

void* RecordingAllocator_Reallocate(void* block, uint32_t size) {
    ++s_Counters.reallocations;
    Tier0AllocationRecord* record = Record(kTier0Reallocate, block, size);
    return NoteResult(record, RefuseThisRequest(record) ? nullptr : Resize(block, size));
}

void RecordingAllocator_Release(void* block) {
    ++s_Counters.releases;
    Record(kTier0Release, block, 0);
    if (block == nullptr) return;
    --s_Counters.liveBlocks;
    if (!s_bKeepReleasedBlocks) HeapGive(block);
}

uint32_t RecordingAllocator_BlockSize(void* block) {
    ++s_Counters.blockSizeQueries;
    Record(kTier0BlockSize, block, 0);
    return block == nullptr ? 0 : HeapBlockSize(block);
}

bool RecordingAllocator_WantsAllocationTags() {
    ++s_Counters.tagQuestions;
    Record(kTier0WantsAllocationTags, nullptr, 0);
    return s_bWantsTags;
}

namespace {

bool NoAllocatorRequested() {
    return host::EnvironmentHas(kTier0NoAllocatorVariable);
}

// Runs when tier0 loads, before any library that imports it starts.
const bool s_bAllocatorWithheld = [] {
    if (!NoAllocatorRequested()) return false;
    g_pMemAlloc = nullptr;
    return true;
}();
}  // namespace

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
    const char* tag = "";
    const std::int32_t kept = std::min(s_nRecords.load(), kTier0RecordCapacity);
    for (std::int32_t index = kept; index-- > 0;) {
        const Tier0AllocationRecord& record = s_Records[index];
        if (record.tagged != 0) {
            tag = record.tag;
            break;
        }
    }
    CopyTag(buffer, static_cast<std::size_t>(size), tag);
}

void Tier0Test_ResetCounters() {
    s_Counters.allocations = 0;
    s_Counters.taggedAllocations = 0;
    s_Counters.reallocations = 0;
    s_Counters.taggedReallocations = 0;
    s_Counters.releases = 0;
    s_Counters.blockSizeQueries = 0;
    s_Counters.tagQuestions = 0;
    s_Counters.injectedFailures = 0;
    s_nRecords = 0;
}

void Tier0Test_SetWantsAllocationTags(int wanted) {
    s_bWantsTags = wanted != 0;
}

std::int32_t Tier0Test_RecordCount() {
    return s_nRecords;
}

int Tier0Test_ReadRecord(std::int32_t index, Tier0AllocationRecord* record) {
    if (index < 0 || index >= s_nRecords || index >= kTier0RecordCapacity) return 0;
    *record = s_Records[index];
    return 1;
}

void Tier0Test_FailAllocation(std::int32_t n) {
    s_nRequestsBeforeFailure = n > 0 ? n : 0;
}

void Tier0Test_FailAllocationPattern(std::uint32_t pattern) {
    s_RefusalPattern = 0;
    s_nPatternRequests = 0;
    s_RefusalPattern = pattern;
}

std::int32_t Tier0Test_InjectedFailures() {
    return s_Counters.injectedFailures;
}

void Tier0Test_KeepReleasedBlocks(int keep) {
    s_bKeepReleasedBlocks = keep != 0;
}

void Tier0Test_PublishAllocator(int published) {
    g_pMemAlloc = published != 0 ? Tier0StandIn_EngineAllocator() : nullptr;
}
