// The stand-in processor query: answers from CPUID, unless a test has overridden the
// feature byte to pretend to be another processor.
#include <cpuid.h>

#include <atomic>

#include "tier0_testing.h"

namespace {

std::uint8_t FeatureBitsFromProcessor() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    std::uint8_t bits = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0) {
        if ((edx & bit_SSE) != 0) bits |= kCpuFeatureSSE;
        if ((edx & bit_SSE2) != 0) bits |= kCpuFeatureSSE2;
        // The engine leaves the meaning of 0x40 open; this stand-in reports SSE3 there.
        if ((ecx & bit_SSE3) != 0) bits |= kCpuFeature40;
    }
    if (__get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx) != 0 && (edx & bit_3DNOW) != 0) {
        bits |= kCpuFeature3DNow;
    }
    return bits;
}

constinit std::atomic<int> s_nFeatureOverride{-1};
constinit CPUInformation s_Information{static_cast<std::int32_t>(sizeof(CPUInformation)), 0};

}  // namespace

const CPUInformation* GetCPUInformation() {
    const int forced = s_nFeatureOverride;
    s_Information.m_nFeatureBits =
        forced >= 0 ? static_cast<std::uint8_t>(forced) : FeatureBitsFromProcessor();
    return &s_Information;
}

void Tier0Test_OverrideFeatureBits(int bits) {
    s_nFeatureOverride = bits;
}
