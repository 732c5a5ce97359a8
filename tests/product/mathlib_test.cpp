// The math library in the i686 build, through the test twin of the plugin (the product's
// objects, math internals offered): selection, the tables, and single-precision results in st(0).
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <tuple>

#include "harness.h"
#include "probe_lookup.h"
#include "tier0_testing.h"

using harness::Check;

namespace {

// Square root, inverse square root and estimate, normalize and length, normalize, clamped
// inverse squared length, sine-cosine, cosine. A Vec3f goes by address, as three floats.
using Routines = std::array<void (*)(), 8>;

// Calls a float routine, reading st(0) as a long double: extra bits show it was not rounded.
template <typename... Arguments>
long double RawResult(void (*routine)(), Arguments... arguments) {
    return reinterpret_cast<long double (*)(Arguments...)>(routine)(arguments...);
}

// A fresh copy of the library, initialised twice for a feature byte: the first call counts.
class Probe {
public:
    explicit Probe(int featureBits, bool permit = true) {
        Tier0Test_OverrideFeatureBits(featureBits);
        m_hModule = host::LoadModule(host::kProbeFile);
        using Init = void (*)(float, float, float, int, bool, bool, bool, bool);
        const auto init = reinterpret_cast<Init>(ProbeInternal(m_hModule, "InitMathSupport"));
        if (!Check(init != nullptr, "InitMathSupport")) return;
        init(2.2f, 2.2f, 0.0f, 2, permit, permit, permit, permit);
        init(4.0f, 1.0f, 2.0f, 4, true, true, true, true);
    }
    ~Probe() { host::UnloadModule(m_hModule); }

    // Element `index` of an exported variable; a missing one fails the test and reads as 0.
    template <typename T>
    T At(const char* name, int index = 0) const {
        const void* address = ProbeInternal(m_hModule, name);
        return Check(address != nullptr, name) ? static_cast<const T*>(address)[index] : T{};
    }

private:
    host::Module m_hModule;
};

const harness::Test kMath("selection, single-precision results and the tables filled", [] {
    const char* kTable[] = {"kDefaultMathRoutines", "k3DNowMathRoutines", "kSSEMathRoutines",
                            "kSSE2MathRoutines"};
    const char* kFlag[] = {"g_3DNowUsable", "g_SSEUsable", "g_SSE2Usable", "g_Feature40Usable"};
    // Routine entries: D default, A 3DNow!, S SSE, 2 SSE2; flags in the order of kFlag.
    for (auto [bits, permit, entries, flags] : {std::tuple{0x08, true, "SSSDSSSS", "0100"},
                                                {0x30, true, "AAAAAA22", "1010"},
                                                {0x78, true, "SSSDSS22", "1111"},
                                                {0xFF, false, "DDDDDDDD", "0000"}}) {
        const Probe probe(bits, permit);
        Routines expected{};
        for (int i = 0; i < 8; ++i)
            expected[i] = probe.At<Routines>(kTable[std::strchr("DAS2", entries[i]) - "DAS2"])[i];
        Check(probe.At<Routines>("g_MathRoutines") == expected, entries);
        for (int i = 0; i < 4; ++i) Check(probe.At<bool>(kFlag[i]) == (flags[i] == '1'), kFlag[i]);
    }
    const Probe probe(0x18);
    const auto x87 = probe.At<Routines>("kDefaultMathRoutines");
    const auto sse = probe.At<Routines>("kSSEMathRoutines");
    const auto sse2 = probe.At<Routines>("kSSE2MathRoutines");
    float v[3] = {1.0f, 1.0f, 1.0f}, three[3] = {3.0f, 0.0f, 0.0f};
    for (auto [what, raw, expected] : {std::tuple{"x87 √2", RawResult(x87[0], 2.0f), 1.41421354f},
                                       {"x87 1/√3", RawResult(x87[1], 3.0f), 0.577350259f},
                                       {"x87 |(1, 1, 1)|", RawResult(x87[3], v), 1.73205078f},
                                       {"x87 1/|(3, 0, 0)|²", RawResult(x87[5], three), 1 / 9.0f},
                                       {"x87 cos 1", RawResult(x87[7], 1.0f), 0.540302277f},
                                       {"SSE cos 1", RawResult(sse[7], 1.0f), 0.540302217f},
                                       {"SSE2 cos 1", RawResult(sse2[7], 1.0f), 0.540302217f}})
        Check(raw == expected, what);
    for (auto [table, angle, sine, cosine] : {std::tuple{sse, 1.0f, 0.841468275f, 0.540302336f},
                                              {sse2, 3.14159274f, -0.0f, -0.99984318f}}) {
        float s = 1, c = 0;
        reinterpret_cast<void (*)(float, float*, float*)>(table[6])(angle, &s, &c);
        Check(s == sine && std::signbit(s) == std::signbit(sine) && c == cosine, "sine-cosine");
    }
    // SSE2 gives SSE's bits for every angle: NaNs, infinities and the largest ones too.
    using SineCosine = void (*)(float, float*, float*);
    using Cosine = float (*)(float);
    int differ = 0;
    std::uint32_t bits = 1;
    for (int n = 0; n < 200000; ++n, bits = bits * 1664525u + 1013904223u) {
        const float angle =
            n < 4 ? std::array{INFINITY, -INFINITY, NAN, -NAN}[n] : std::bit_cast<float>(bits);
        float s1, c1, s2, c2;
        reinterpret_cast<SineCosine>(sse[6])(angle, &s1, &c1);
        reinterpret_cast<SineCosine>(sse2[6])(angle, &s2, &c2);
        const float k1 = reinterpret_cast<Cosine>(sse[7])(angle);
        const float k2 = reinterpret_cast<Cosine>(sse2[7])(angle);
        differ += std::memcmp(&s1, &s2, 4) != 0 || std::memcmp(&c1, &c2, 4) != 0 ||
                  std::memcmp(&k1, &k2, 4) != 0;
    }
    harness::CheckEqual(differ, 0, "angles where SSE2 differs from SSE");
    int offBy = 0, notIdentity = 0;  // a rounding off the sine; table 1 is the identity
    for (int i = 0; i < 256; ++i) {
        offBy += std::fabs(probe.At<float>("g_SineSamples", i) -
                           std::sin(i * 0.024543692606170259)) > 6e-8;
        notIdentity += probe.At<std::uint8_t>("g_TextureLevelToDisplay", i) != i;
    }
    Check(offBy == 0 && notIdentity == 0, "sine table and table 1");
    Check(probe.At<float>("g_TextureLevelToLinear", 255) == 1.00000012f, "table 3 entry 255");
    Check(probe.At<std::uint8_t>("g_OverbrightDisplayLevel", 1024) == 128, "table 8, ties to even");
    Check(probe.At<std::uint8_t>("g_OverbrightDisplayLevel", 4095) == 239, "table 8 entry 4095");
    // The exponent 1/gamma is rounded to single precision before the power: kept at the
    // unit's precision it gives 0.021411736 here.
    Check(probe.At<float>("g_OverbrightLinearScale", 1) == 0x1.5ecf56p-6f, "table 7 entry 1");
});

}  // namespace
