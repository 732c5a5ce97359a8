// The math library: routine selection, the one-time guard, the sine and gamma tables, and
// each processor variant's routines at listed points and against double precision.
#include <cpuid.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include "mathlib/gamma_tables.h"
#include "mathlib/math_init.h"
#include "mathlib/math_routines.h"
#include "mathlib/sine_table.h"
#include "plugin/server_plugin.h"
#include "tier0_testing.h"

namespace {

const MathRoutineTable &x87 = kDefaultMathRoutines, &sse = kSSEMathRoutines,
                       &sse2 = kSSE2MathRoutines, &amd = k3DNowMathRoutines;
constexpr float kInfinity = INFINITY, kNaN = NAN;
constexpr float kQuarterPeak = 0.99984318f;         // P(1)
constexpr double kEstimate = 1.5 * 0x1p-12;         // the SSE estimates' accuracy
constexpr double kAmdEstimate = 0x1p-14 + 0x1p-22;  // 14 bits, and a rounding per product
// One Newton-Raphson step leaves 3/2 of the estimate's error squared, plus four roundings.
constexpr double kRefined = 1.5 * kEstimate * kEstimate + 4 * 0x1p-24;

std::mt19937 g_Random;
// Rounded to single precision for certain: in the i686 build a float can stay an x87 value
// with extra bits, and a reference computed from it would not be the routine's input.
float Uniform(float low, float high) {
    volatile float value = std::uniform_real_distribution<float>(low, high)(g_Random);
    return value;
}

using Entries = std::array<std::uintptr_t, 8>;
constexpr auto Of = [](const MathRoutineTable& table) { return std::bit_cast<Entries>(table); };

TEST(MathSelection, EveryFeatureByteAndPermissionCombination) {
    for (int bits = 0; bits < 256; ++bits)
        for (int permit = 0; permit < 16; ++permit) {
            const bool p3DNow = permit & 1, pSSE = permit & 2, pSSE2 = permit & 4, p40 = permit & 8;
            SelectMathRoutines(static_cast<std::uint8_t>(bits), p3DNow, pSSE, pSSE2, p40);
            const bool with3DNow = p3DNow && (bits & 0x20), withSSE = pSSE && (bits & 0x08),
                       withSSE2 = pSSE2 && (bits & 0x10);
            // The last step that ran decides: default, 3DNow! (0-5), SSE (all but 3), SSE2 (6, 7).
            for (int e = 0; e < 8; ++e) {
                const MathRoutineTable* from = with3DNow && e < 6 ? &amd : &x87;
                if (withSSE) from = e == 3 ? &x87 : &sse;
                if (withSSE2 && e >= 6) from = &sse2;
                ASSERT_EQ(Of(g_MathRoutines)[e], Of(*from)[e]) << bits << " " << permit << " " << e;
            }
            // 3DNow! counts as usable even where SSE replaced all its routines.
            ASSERT_EQ((std::array{g_3DNowUsable, g_SSEUsable, g_SSE2Usable, g_Feature40Usable}),
                      (std::array{with3DNow, withSSE, withSSE2, p40 && (bits & 0x40)}))
                << bits << " " << permit;
        }
}

TEST(MathInit, FirstCallFollowsTheProcessorAndItsArgumentsAndLaterCallsChangeNothing) {
    EXPECT_FALSE(g_MathReady);
    Tier0Test_OverrideFeatureBits(0x20 | 0x08);  // 3DNow! and SSE, no SSE2
    InitMathSupport(4.0f, 2.2f, 2.0f, 4, true, true, true, true);
    Tier0Test_OverrideFeatureBits(0x10);
    InitMathSupport(2.2f, 2.2f, 0.0f, 2, true, false, true, true);
    Tier0Test_OverrideFeatureBits(-1);
    EXPECT_TRUE(g_MathReady && g_3DNowUsable && g_SSEUsable && !g_SSE2Usable);
    // Gamma 4, held at 3 for tables 1 and 2 only, texture gamma 2.2, brightness 2, factor 4.
    EXPECT_TRUE(g_TextureLevelToDisplay[1] == 4 && g_TextureLevelToDisplay[3] == 9);
    EXPECT_EQ(g_LinearToDisplayLevel[1], 43);
    EXPECT_FLOAT_EQ(g_OverbrightLinearScale[512], 0.21022410f);  // 0.5^(1/4) · 0.25
    EXPECT_EQ(g_OverbrightDisplayLevel[1024], 64);
    // One period, rounded from the x87 sine; the sine of the double nearest π is not zero.
    EXPECT_EQ(std::bit_cast<std::uint32_t>(g_SineSamples[0]), 0u);
    EXPECT_TRUE(g_SineSamples[64] == 1 && g_SineSamples[192] == -1 &&
                g_SineSamples[32] == 0.70710677f);
    EXPECT_TRUE(g_SineSamples[128] > 0.0f && g_SineSamples[128] < 1e-15f);
    for (int i = 0; i < kSineSampleCount; ++i)
        EXPECT_NEAR(g_SineSamples[i], std::sin(i * 0.024543692606170259), 6e-8) << i;
}

// Gamma and texture gamma 2.2, brightness 0, overbright factor 2.
TEST(GammaTables, ThePluginsArgumentsFromItsLoad) {
    Tier0Test_OverrideFeatureBits(0x78);
    const InterfaceFactory nothing = [](const char*, int*) -> void* { return nullptr; };
    ASSERT_TRUE(g_ServerPlugin.AttachToEngine(nothing, nothing));
    Tier0Test_OverrideFeatureBits(-1);
    EXPECT_TRUE(g_3DNowUsable && g_SSEUsable && g_SSE2Usable && g_Feature40Usable);
    g_ServerPlugin.DetachFromEngine();
    EXPECT_TRUE(g_MathReady);  // unload leaves the math library as it is
    // Exponent exactly 1, and the level step lies just above 1/255: nothing is lost.
    for (int i = 0; i < kLevelCount; ++i) ASSERT_EQ(g_TextureLevelToDisplay[i], i);
    const int ramp[] = {0, 10, 14, 18, 20, 22, 24, 26}, over[] = {0, 5, 7, 9, 10, 11, 12, 13};
    for (int j = 0; j < 8; ++j) {
        EXPECT_TRUE(g_LinearToDisplayLevel[j] == ramp[j] && g_LinearToTextureLevel[j] == ramp[j]);
        EXPECT_EQ(g_OverbrightDisplayLevel[j], over[j]) << j;
    }
    EXPECT_TRUE(g_LinearToDisplayLevel[1023] == 255 && g_LinearToTextureLevel[1023] == 255);
    EXPECT_EQ(g_TextureLevelToLinear[0], 0.0f);
    EXPECT_EQ(g_TextureLevelToLinear[255], 1.00000012f);  // from the level just above 1
    EXPECT_TRUE(g_LinearToGamma22[255] == 1.0f && g_Gamma22ToLinear[255] == 1.0f);
    EXPECT_NEAR(g_LinearToGamma22[128], 0.73104, 1e-5);
    EXPECT_NEAR(g_Gamma22ToLinear[128], 0.21952, 1e-5);
    EXPECT_TRUE(g_OverbrightLinearScale[0] == 0.0f && g_OverbrightLinearScale[1024] == 0.5f);
    EXPECT_NEAR(g_OverbrightLinearScale[4095], 0.93883, 1e-5);
    EXPECT_TRUE(g_OverbrightDisplayLevel[1024] == 128 && g_OverbrightDisplayLevel[4095] == 239);
}

TEST(GammaTables, OtherArguments) {
    for (int factor : {1, 3, 0, -2}) {  // multiplier 1: saturated from linear level 1 on
        MakeGammaLookups(2.2f, 2.2f, 0.0f, factor);
        EXPECT_NEAR(g_OverbrightLinearScale[1023], 0.999556, 1e-6);
        for (int l = 1024; l < kOverbrightLevelCount; ++l)
            ASSERT_TRUE(g_OverbrightLinearScale[l] == 1.0f && g_OverbrightDisplayLevel[l] == 255);
    }
    // Brightness moves table 2's knee; above 1 it also multiplies the levels: saturated early.
    for (auto [brightness, first, saturated] :
         {std::tuple{2.0f, 22, 512}, {1.0f, 16, 1023}, {0.5f, 11, 1023}, {-3.0f, 10, 1023}}) {
        MakeGammaLookups(2.2f, 2.2f, brightness, 2);
        EXPECT_TRUE(g_LinearToDisplayLevel[1] == first && g_LinearToTextureLevel[1] == 10);
        EXPECT_LT(g_LinearToDisplayLevel[saturated - 1], 255) << brightness;
        for (int j = saturated; j < kLinearLevelCount; ++j)
            ASSERT_EQ(g_LinearToDisplayLevel[j], 255);
    }
    // Gamma 0 or below makes pow infinite or undefined: levels, not out-of-range conversions.
    for (float gamma : {0.0f, -1.0f, kNaN}) {
        MakeGammaLookups(gamma, gamma, kNaN, 2);
        for (const std::int32_t* table : {g_LinearToDisplayLevel, g_LinearToTextureLevel})
            EXPECT_TRUE(std::all_of(table, table + 1024, [](int v) { return v >= 0 && v <= 255; }));
    }
}

// Bit for bit, NaNs included.
bool Same(float a, float b) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

TEST(VectorAndRootRoutines, ListedPoints) {
    Vec3f v{3, 4, 0}, tiny{0x1p-20f, 0, 0}, zero{0, 0, 0}, sseV = v, sseZero = zero;
    EXPECT_EQ(x87.normalizeAndLength(v), 5.0f);
    EXPECT_TRUE(std::fabs(v.x - 0.6) < 1e-7 && std::fabs(v.y - 0.8) < 1e-7);
    x87.normalizeOnly(tiny);  // the epsilon goes onto the length: 2^-20 / (9·2^-23)
    EXPECT_FLOAT_EQ(tiny.x, 8.0f / 9.0f);
    EXPECT_EQ(x87.normalizeAndLength(zero), 0.0f);
    sse.normalizeOnly(sseZero);
    sse.normalizeOnly(sseV);
    EXPECT_TRUE(zero.x == 0 && sseZero.x == 0);  // left zero
    EXPECT_TRUE(std::fabs(sseV.x - 0.6) < kRefined && std::fabs(sseV.y - 0.8) < kRefined);
    const Vec3f two{2, 0, 0}, nan{kNaN, 0, 0};
    EXPECT_TRUE(x87.inverseLengthSquaredClamped(&zero) == 1 &&
                x87.inverseLengthSquaredClamped(&two) == 0.25f);
    EXPECT_NEAR(sse.inverseLengthSquaredClamped(&nan), 1.0, kEstimate);
    EXPECT_EQ(x87.inverseSquareRoot(0.0f), kInfinity);
    EXPECT_TRUE(std::isnan(sse.inverseSquareRoot(0.0f)));  // ∞ · 0 in the refinement
    EXPECT_EQ(sse.inverseSquareRootEstimate(0.0f), kInfinity);
    EXPECT_EQ(x87.inverseSquareRootEstimate, x87.inverseSquareRoot);
    for (float angle : {0x1p63f, -0x1p70f, 0x1p127f}) {  // fsincos refuses these: reduced first
        float s = 2, c = 2;
        x87.sineCosine(angle, &s, &c);
        EXPECT_TRUE(std::fabs(s * s + c * c - 1) < 1e-6f &&
                    std::fabs(x87.cosine(angle) - c) < 1e-6f);
    }
}

TEST(SineAndCosine, ListedPointsAndSSE2MatchingSSE) {
    // The cosine routine adds π/2 in single precision first. Non-finite angles give NaN.
    const struct {
        float angle, sine, cosine, shifted;
    } points[] = {{0, 0, kQuarterPeak, kQuarterPeak},
                  {1.57079637f, kQuarterPeak, -0.0f, -0.0f},
                  {3.14159274f, -0.0f, -kQuarterPeak, -kQuarterPeak},
                  {1, 0.841468275f, 0.540302336f, 0.540302217f},
                  {-1, -0.841468275f, 0.540302336f, 0.540302217f},
                  {kInfinity, kNaN, kNaN, kNaN},
                  {-kInfinity, kNaN, kNaN, kNaN},
                  {kNaN, kNaN, kNaN, kNaN}};
    for (const MathRoutineTable* table : {&sse, &sse2, &x87})
        for (const auto& p : points) {
            if (table == &x87 && std::isfinite(p.angle)) continue;
            float s, c;
            table->sineCosine(p.angle, &s, &c);
            EXPECT_TRUE(Same(s, p.sine) && Same(c, p.cosine)) << p.angle << ": " << s << " " << c;
            EXPECT_TRUE(Same(table->cosine(p.angle), p.shifted)) << p.angle;
        }
    // SSE2 gives the same bits as SSE for any angle at all: every NaN and infinity, and the
    // angles on either side of 2^24 quarters (whole numbers from there on) and of 2^31
    // quarters (beyond the count's range), besides random ones.
    std::vector<float> angles = {kInfinity, -kInfinity, kNaN, -kNaN, 0x1p-149f, -0.0f};
    for (std::uint32_t bits : {0x7FA00001u, 0xFFC12345u})  // signalling, with a payload
        angles.push_back(std::bit_cast<float>(bits));
    for (float edge : {0x1p24f * 1.57079637f, 0x1p31f * 1.57079637f, FLT_MAX}) {
        float angle = edge;
        for (int n = 0; n < 8; ++n) angle = std::nextafter(angle, 0.0f);
        for (int n = 0; n < 16 && std::isfinite(angle);
             ++n, angle = std::nextafter(angle, kInfinity))
            angles.insert(angles.end(), {angle, -angle});
    }
    for (int n = 0; n < 2000000; ++n) {
        angles.push_back(n % 2 == 0 ? std::bit_cast<float>(std::uint32_t(g_Random()))
                                    : Uniform(-5000, 5000));
    }
    for (const float angle : angles) {
        float s1, c1, s2, c2;
        sse.sineCosine(angle, &s1, &c1);
        sse2.sineCosine(angle, &s2, &c2);
        ASSERT_TRUE(Same(s2, s1) && Same(c2, c1) && Same(sse2.cosine(angle), sse.cosine(angle)))
            << std::hex << std::bit_cast<std::uint32_t>(angle);
    }
}

// Relative bounds (0: correctly rounded); for sine and cosine absolute, growing with the angle.
struct Bounds {
    double root, inverse, estimate, clamped, normalized, trig, trigPerRadian;
    int count;
};

// True when no x87 register is in use (tag word 0xFFFF). Called, never inlined: no value of
// the caller is on the x87 stack across a call, also where floats are x87 values (i686).
[[gnu::noinline]] bool NoX87RegisterInUse() {
    struct {
        std::uint32_t control, status, tag, rest[4];
    } environment;
    asm volatile("fnstenv %0" : "=m"(environment));
    return (environment.tag & 0xFFFF) == 0xFFFF;
}

// Called on a routine's result straight away: a routine that left x87 registers in use (the
// 3DNow! ones must empty the MMX state) is infinitely wrong.
[[gnu::noinline]] double RelativeError(double actual, double expected) {
    if (!NoX87RegisterInUse()) return INFINITY;
    return std::fabs(actual - expected) / std::fabs(expected);
}

void ExpectWithin(const MathRoutineTable& t, const Bounds& b) {
    for (int n = 0; n < b.count; ++n) {
        volatile float stored = std::exp2(Uniform(-120, 120));
        const float x = stored;
        const double root = std::sqrt(double(x));
        ASSERT_LE(RelativeError(t.squareRoot(x), static_cast<float>(root)), b.root) << x;
        ASSERT_LE(RelativeError(t.inverseSquareRoot(x), 1 / root), b.inverse) << x;
        ASSERT_LE(RelativeError(t.inverseSquareRootEstimate(x), 1 / root), b.estimate) << x;
        const Vec3f v{Uniform(-3, 3), Uniform(-3, 3), Uniform(-3, 3)};
        const double squared = double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z;
        ASSERT_LE(RelativeError(t.inverseLengthSquaredClamped(&v), 1 / std::max(squared, 1.0)),
                  b.clamped);
        Vec3f alone = v, normalized = v;
        t.normalizeOnly(alone);
        if (squared >= 1 && v.y != 0) {  // below 1 the epsilon of 2^-23 shows
            ASSERT_LE(RelativeError(alone.y, v.y / std::sqrt(squared)), b.normalized);
        }
        if (t.normalizeAndLength != nullptr) {
            ASSERT_LE(RelativeError(t.normalizeAndLength(normalized), std::sqrt(squared)),
                      b.normalized);
        }
        if (t.sineCosine == nullptr) continue;
        const float angle = Uniform(-1000, 1000);
        const double bound = b.trig + std::fabs(angle) * b.trigPerRadian;
        float s, c;
        t.sineCosine(angle, &s, &c);
        ASSERT_NEAR(s, std::sin(double(angle)), bound) << angle;
        ASSERT_NEAR(c, std::cos(double(angle)), bound) << angle;
        ASSERT_NEAR(t.cosine(angle), std::cos(double(angle)), bound) << angle;
    }
}

TEST(DefaultAndSSERoutines, WithinTheirErrorBounds) {
    ExpectWithin(x87, {0, 0x1p-24, 0x1p-24, 0x1p-24, 0x1p-22, 6e-8, 0, 200000});
    // The polynomial's 1.6e-4, plus the angle's rounding to quarter periods.
    ExpectWithin(sse, {0, kRefined, kEstimate, kEstimate + 0x1p-23, kRefined + 0x1p-23,
                       1.5683e-4 + 0x1p-22, 0x1p-23, 1000000});
}

// The 3DNow! routines need a processor with 3DNow!; the test run provides one through qemu
// (-cpu phenom). Elsewhere this test is not registered, so it neither runs nor counts.
class ThreeDNowRoutines : public testing::Test {
    void TestBody() override {
        EXPECT_EQ(amd.inverseSquareRoot, amd.inverseSquareRootEstimate);
        for (Vec3f zero : {Vec3f{0, 0, 0}, Vec3f{-0.0f, 0, -0.0f}}) {
            const Vec3f before = zero;
            EXPECT_EQ(amd.normalizeAndLength(zero), 0.0f);
            amd.normalizeOnly(zero);
            EXPECT_TRUE(Same(zero.x, before.x) && Same(zero.z, before.z));  // left alone
        }
        const double e = kAmdEstimate;
        ExpectWithin(amd, {e, e, e, e, e, 0, 0, 100000});
    }
};

[[maybe_unused]] const bool kRegistered = [] {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx) == 0 || (edx & bit_3DNOW) == 0)
        return false;
    testing::RegisterTest("ThreeDNowRoutines", "ListedPointsBoundsAndAnEmptyX87Unit", nullptr,
                          nullptr, __FILE__, __LINE__,
                          []() -> testing::Test* { return new ThreeDNowRoutines; });
    return true;
}();

}  // namespace
