// Math initialisation: routine selection for every processor and permission combination,
// the one-time guard, the sine table, and the default x87 routines.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "mathlib/gamma_tables.h"
#include "mathlib/math_init.h"
#include "mathlib/math_routines.h"
#include "mathlib/sine_table.h"
#include "native/math_test_support.h"
#include "plugin/server_plugin.h"
#include "tier0_testing.h"

namespace {

using math_test::Bits;
using math_test::Entries;

enum class Variant { kKeep, kDefault, k3DNow, kSSE, kSSE2 };

// What each selection step writes into entries 0 to 7, as the selection rules lay it out.
constexpr Variant D = Variant::kDefault, A = Variant::k3DNow, S = Variant::kSSE,
                  S2 = Variant::kSSE2, _ = Variant::kKeep;
constexpr std::array<Variant, 8> kDefaultStep{D, D, D, D, D, D, D, D};
constexpr std::array<Variant, 8> k3DNowStep{A, A, A, A, A, A, _, _};
constexpr std::array<Variant, 8> kSSEStep{S, S, S, D, S, S, S, S};
constexpr std::array<Variant, 8> kSSE2Step{_, _, _, _, _, _, S2, S2};

std::uintptr_t Implementation(Variant variant, int entry) {
    switch (variant) {
        case Variant::k3DNow:
            return Entries(k3DNowMathRoutines)[entry];
        case Variant::kSSE:
            return Entries(kSSEMathRoutines)[entry];
        case Variant::kSSE2:
            return Entries(kSSE2MathRoutines)[entry];
        default:
            return Entries(kDefaultMathRoutines)[entry];
    }
}

std::array<std::uintptr_t, 8> Expected(bool amd, bool sse, bool sse2) {
    std::array<std::uintptr_t, 8> expected{};
    for (int entry = 0; entry < 8; ++entry) {
        for (const auto* step : {&kDefaultStep, amd ? &k3DNowStep : nullptr,
                                 sse ? &kSSEStep : nullptr, sse2 ? &kSSE2Step : nullptr}) {
            if (step != nullptr && (*step)[entry] != Variant::kKeep) {
                expected[entry] = Implementation((*step)[entry], entry);
            }
        }
    }
    return expected;
}

void* NothingFactory(const char*, int* returnCode) {
    if (returnCode != nullptr) *returnCode = 1;
    return nullptr;
}

TEST(MathSelection, EveryFeatureByteAndPermissionCombination) {
    for (int bits = 0; bits < 256; ++bits) {
        for (int permissions = 0; permissions < 16; ++permissions) {
            const bool permit3DNow = (permissions & 1) != 0, permitSSE = (permissions & 2) != 0,
                       permitSSE2 = (permissions & 4) != 0,
                       permitFeature40 = (permissions & 8) != 0;
            SelectMathRoutines(static_cast<std::uint8_t>(bits), permit3DNow, permitSSE, permitSSE2,
                               permitFeature40);
            const bool amd = permit3DNow && (bits & 0x20) != 0;
            const bool sse = permitSSE && (bits & 0x08) != 0;
            const bool sse2 = permitSSE2 && (bits & 0x10) != 0;
            SCOPED_TRACE(testing::Message() << "bits " << bits << " permissions " << permissions);
            ASSERT_EQ(Entries(g_MathRoutines), Expected(amd, sse, sse2));
            ASSERT_EQ(g_3DNowUsable, amd);
            ASSERT_EQ(g_SSEUsable, sse);
            ASSERT_EQ(g_SSE2Usable, sse2);
            ASSERT_EQ(g_Feature40Usable, permitFeature40 && (bits & 0x40) != 0);
        }
    }
}

TEST(MathSelection, NamedProcessors) {
    // Everything present and permitted: SSE over 3DNow!, the default normalizeAndLength,
    // SSE2 trigonometry, and 3DNow! still recorded as usable.
    SelectMathRoutines(0x78, true, true, true, true);
    const auto all = Entries(g_MathRoutines);
    EXPECT_EQ(all[3], Entries(kDefaultMathRoutines)[3]);
    EXPECT_EQ(all[0], Entries(kSSEMathRoutines)[0]);
    EXPECT_EQ(all[6], Entries(kSSE2MathRoutines)[6]);
    EXPECT_TRUE(g_3DNowUsable && g_SSEUsable && g_SSE2Usable && g_Feature40Usable);

    // 3DNow! alone: entries 1 and 2 share one routine, trigonometry stays on the x87.
    SelectMathRoutines(0x20, true, true, true, true);
    EXPECT_EQ(g_MathRoutines.inverseSquareRoot, g_MathRoutines.inverseSquareRootEstimate);
    EXPECT_EQ(g_MathRoutines.normalizeAndLength, k3DNowMathRoutines.normalizeAndLength);
    EXPECT_EQ(g_MathRoutines.cosine, kDefaultMathRoutines.cosine);

    // SSE2 with SSE withheld: SSE2 trigonometry over 3DNow! square roots.
    SelectMathRoutines(0x38, true, false, true, false);
    EXPECT_EQ(g_MathRoutines.squareRoot, k3DNowMathRoutines.squareRoot);
    EXPECT_EQ(g_MathRoutines.sineCosine, kSSE2MathRoutines.sineCosine);
    EXPECT_FALSE(g_SSEUsable);
}

TEST(MathInit, NothingBeforeTheFirstCall) {
    EXPECT_FALSE(g_MathReady || g_3DNowUsable || g_SSEUsable || g_SSE2Usable || g_Feature40Usable);
    EXPECT_EQ(g_MathRoutines.cosine, nullptr);
    EXPECT_EQ(g_SineSamples[64], 0.0f);
    EXPECT_EQ(g_TextureLevelToDisplay[255], 0);
}

TEST(MathInit, SelectsAsTheProcessorQueryAnswersAndFillsTheTables) {
    Tier0Test_OverrideFeatureBits(0x20 | 0x08);  // 3DNow! and SSE, no SSE2
    InitMathSupport(2.2f, 2.2f, 0.0f, 2, true, true, true, true);
    EXPECT_TRUE(g_MathReady);
    EXPECT_EQ(Entries(g_MathRoutines), Expected(true, true, false));
    EXPECT_EQ(g_SineSamples[64], 1.0f);
    EXPECT_EQ(g_TextureLevelToDisplay[255], 255);
    EXPECT_EQ(g_OverbrightDisplayLevel[1024], 128);
}

template <typename Table>
std::vector<unsigned char> Snapshot(const Table& table) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&table);
    return {bytes, bytes + sizeof table};
}

TEST(MathInit, OnlyTheFirstCallCounts) {
    Tier0Test_OverrideFeatureBits(0x08);
    InitMathSupport(2.2f, 2.2f, 0.0f, 2, true, true, true, true);
    const auto routines = Snapshot(g_MathRoutines);
    const auto sine = Snapshot(g_SineSamples);
    const auto display = Snapshot(g_LinearToDisplayLevel);
    const auto overbright = Snapshot(g_OverbrightLinearScale);

    Tier0Test_OverrideFeatureBits(0x30);
    InitMathSupport(4.0f, 1.0f, 2.0f, 4, true, false, true, true);
    EXPECT_EQ(Snapshot(g_MathRoutines), routines);
    EXPECT_EQ(Snapshot(g_SineSamples), sine);
    EXPECT_EQ(Snapshot(g_LinearToDisplayLevel), display);
    EXPECT_EQ(Snapshot(g_OverbrightLinearScale), overbright);
    EXPECT_TRUE(g_SSEUsable);
    EXPECT_FALSE(g_3DNowUsable || g_SSE2Usable);
    Tier0Test_OverrideFeatureBits(-1);
}

TEST(MathInit, PluginLoadInitialisesWithItsFixedArguments) {
    Tier0Test_OverrideFeatureBits(0x78);
    ASSERT_TRUE(g_ServerPlugin.AttachToEngine(NothingFactory, NothingFactory));
    EXPECT_TRUE(g_MathReady && g_3DNowUsable && g_SSEUsable && g_SSE2Usable && g_Feature40Usable);
    EXPECT_EQ(g_MathRoutines.sineCosine, kSSE2MathRoutines.sineCosine);
    // Gamma 2.2 and texture gamma 2.2 make table 1 the identity; factor 2 halves table 7.
    EXPECT_EQ(g_TextureLevelToDisplay[100], 100);
    EXPECT_EQ(g_OverbrightLinearScale[1024], 0.5f);
    g_ServerPlugin.DetachFromEngine();
    EXPECT_TRUE(g_MathReady);  // unload leaves the math library as it is
    Tier0Test_OverrideFeatureBits(-1);
}

TEST(SineTable, OnePeriodRoundedFromTheX87Sine) {
    FillSineSamples();
    EXPECT_EQ(Bits(g_SineSamples[0]), 0u);
    EXPECT_EQ(g_SineSamples[64], 1.0f);
    EXPECT_EQ(g_SineSamples[192], -1.0f);
    EXPECT_EQ(g_SineSamples[32], 0.70710677f);
    // sin of the double nearest π: tiny and positive, not zero.
    EXPECT_GT(g_SineSamples[128], 0.0f);
    EXPECT_LT(g_SineSamples[128], 1e-15f);
    for (int i = 0; i < kSineSampleCount; ++i) {
        const double exact = std::sin(i * (2 * M_PI / 256));
        EXPECT_NEAR(g_SineSamples[i], exact, 6e-8) << i;  // within one rounding to float
    }
}

const MathRoutineTable& x87 = kDefaultMathRoutines;

TEST(DefaultRoutines, SquareRootsAreCorrectlyRounded) {
    math_test::Inputs inputs(1);
    for (int n = 0; n < 200000; ++n) {
        const float x = inputs.Magnitude(120);
        ASSERT_EQ(x87.squareRoot(x), static_cast<float>(std::sqrt(static_cast<double>(x)))) << x;
        ASSERT_LE(math_test::RelativeError(x87.inverseSquareRoot(x), 1 / std::sqrt(double(x))),
                  0x1p-24)
            << x;
    }
    EXPECT_EQ(x87.inverseSquareRoot(0.0f), std::numeric_limits<float>::infinity());
    EXPECT_EQ(x87.inverseSquareRootEstimate, x87.inverseSquareRoot);
}

TEST(DefaultRoutines, NormalizeAddsTheEpsilonToTheLength) {
    Vec3f v{3.0f, 4.0f, 0.0f};
    EXPECT_EQ(x87.normalizeAndLength(v), 5.0f);
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.y, 0.8f);
    EXPECT_EQ(v.z, 0.0f);
    // 2^-23 on a length of 2^-20 is visible: the result is 8/9 of a unit vector.
    v = {0x1p-20f, 0.0f, 0.0f};
    EXPECT_EQ(x87.normalizeAndLength(v), 0x1p-20f);
    EXPECT_FLOAT_EQ(v.x, 8.0f / 9.0f);

    Vec3f zero{0.0f, 0.0f, 0.0f};
    EXPECT_EQ(x87.normalizeAndLength(zero), 0.0f);
    x87.normalizeOnly(zero);
    EXPECT_TRUE(zero.x == 0.0f && zero.y == 0.0f && zero.z == 0.0f);
    Vec3f w{0.0f, -2.0f, 0.0f};
    x87.normalizeOnly(w);
    EXPECT_FLOAT_EQ(w.y, -1.0f);
}

TEST(DefaultRoutines, InverseLengthSquaredIsClampedToOne) {
    const Vec3f zero{0, 0, 0}, small{0.5f, 0.5f, 0.5f}, unit{1, 0, 0}, two{2, 0, 0};
    EXPECT_EQ(x87.inverseLengthSquaredClamped(&zero), 1.0f);
    EXPECT_EQ(x87.inverseLengthSquaredClamped(&small), 1.0f);
    EXPECT_EQ(x87.inverseLengthSquaredClamped(&unit), 1.0f);
    EXPECT_EQ(x87.inverseLengthSquaredClamped(&two), 0.25f);
}

TEST(DefaultRoutines, TrigonometryWithinARoundingOfTheTruth) {
    math_test::Inputs inputs(2);
    for (int n = 0; n < 200000; ++n) {
        const float angle = inputs.Uniform(-1000.0f, 1000.0f);
        float s = 0, c = 0;
        x87.sineCosine(angle, &s, &c);
        ASSERT_NEAR(s, std::sin(static_cast<double>(angle)), 6e-8) << angle;
        ASSERT_NEAR(c, std::cos(static_cast<double>(angle)), 6e-8) << angle;
        ASSERT_NEAR(x87.cosine(angle), c, 6e-8) << angle;
    }
}

TEST(DefaultRoutines, AnglesOutsideTheInstructionsRange) {
    // fsincos refuses 2^63 and above; such angles are reduced first, and still give a sine
    // and cosine of one angle. Infinite and NaN angles give NaN.
    for (float angle : {0x1p63f, -0x1p70f, 1e30f, std::numeric_limits<float>::max()}) {
        float s = 2, c = 2;
        x87.sineCosine(angle, &s, &c);
        EXPECT_NEAR(double(s) * s + double(c) * c, 1.0, 1e-6) << angle;
        EXPECT_NEAR(x87.cosine(angle), c, 1e-6) << angle;
    }
    for (float angle :
         {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
          std::numeric_limits<float>::quiet_NaN()}) {
        float s = 0, c = 0;
        x87.sineCosine(angle, &s, &c);
        EXPECT_TRUE(std::isnan(s) && std::isnan(c));
        EXPECT_TRUE(std::isnan(x87.cosine(angle)));
    }
}

}  // namespace
