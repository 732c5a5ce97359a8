#pragma once

#include <stdint.h>

// What the library imports from the engine's base library, tier0.dll.

// A stand-in's own object file may define these plainly and export them by its .def file.
#if defined(TIER0_API)
#elif defined(_WIN32) && defined(TIER0_BUILDING_STANDIN)
#define TIER0_API __declspec(dllexport)
#elif defined(_WIN32)
#define TIER0_API __declspec(dllimport)
#else
#define TIER0_API
#endif

// The engine's allocator object; only these seven operations are called.
class AllocatorInterface {
public:
    virtual void* AllocateTagged(uint32_t size, const char* tag, int line) = 0;
    virtual void* Allocate(uint32_t size) = 0;
    virtual void* ReallocateTagged(void* block, uint32_t size, const char* tag, int line) = 0;
    virtual void* Reallocate(void* block, uint32_t size) = 0;
    virtual void Release(void* block) = 0;
    virtual uint32_t BlockSize(void* block) = 0;
    virtual bool WantsAllocationTags() = 0;

protected:
    ~AllocatorInterface() = default;
};

// The processor record; the library reads only the feature byte at offset 4.
struct CPUInformation {
    int32_t m_nSize;
    uint8_t m_nFeatureBits;
};

inline constexpr uint8_t kCpuFeatureSSE = 0x08;
inline constexpr uint8_t kCpuFeatureSSE2 = 0x10;
inline constexpr uint8_t kCpuFeature3DNow = 0x20;
inline constexpr uint8_t kCpuFeature40 = 0x40;

extern "C" {
TIER0_API extern AllocatorInterface* g_pMemAlloc;
TIER0_API const CPUInformation* GetCPUInformation();
TIER0_API void AssertValidStringPtr(const char* text, int maximumLength);
TIER0_API void _AssertValidWritePtr(void* pointer, int byteCount);
}
