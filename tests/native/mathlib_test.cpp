// Math initialisation: routine selection for every processor and permission combination,
// the one-time guard, the sine table, and the default x87 routines.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "mathlib/gamma_tables.h"
#include "mathlib/math_init.h"
#include "mathlib/sine_table.h"
#include "native/math_test_support.h"
#include "plugin/server_plugin.h"
#include "tier0_testing.h"

namespace {

using math_test::Bits;
using math_test::Entries;

// What each selection step writes into entries 0 to 7 (D default, A 3DNow!, S SSE, 2 SSE2,
// '-' unchanged); the last step that ran decides.
constexpr const char* kDefaultStep = "DDDDDDDD";
constexpr const char* k3DNowStep = "AAAAAA--";
constexpr const char* kSSEStep = "SSSDSSSS";
constexpr const char* kSSE2Step = "------22";

std::array<std::uintptr_t, 8> Expected(bool amd, bool sse, bool sse2) {
    std::array<std::uintptr_t, 8> expected{};
    for (const char* step :
         {kDefaultStep, amd ? k3DNowStep : "", sse ? kSSEStep : "", sse2 ? kSSE2Step : ""}) {
        for (int entry = 0; entry < 8 && step[0] != '\0'; ++entry) {
            const char v = step[entry];
            if (v == '-') continue;
            expected[entry] = Entries(v == 'A'   ? k3DNowMathRoutines
                                      : v == 'S' ? kSSEMathRoutines
                                      : v == '2' ? kSSE2MathRoutines
                                                 : kDefaultMathRoutines)[entry];
        }
    }
    return expected;
}

TEST(MathSelection, EveryFeatureByteAndPermissionCombination) {
    for (int bits = 0; bits < 256; ++bits) {
        for (int permit = 0; permit < 16; ++permit) {
            const bool p3DNow = permit & 1, pSSE = permit & 2, pSSE2 = permit & 4, p40 = permit & 8;
            SelectMathRoutines(static_cast<std::uint8_t>(bits), p3DNow, pSSE, pSSE2, p40);
            const bool amd = p3DNow && (bits & 0x20), sse = pSSE && (bits & 0x08),
                       sse2 = pSSE2 && (bits & 0x10);
            SCOPED_TRACE(testing::Message() << "bits " << bits << " permissions " << permit);
            ASSERT_EQ(Entries(g_MathRoutines), Expected(amd, sse, sse2));
            ASSERT_EQ(g_3DNowUsable, amd);  // even where SSE replaced all its routines
            ASSERT_EQ(g_SSEUsable, sse);
            ASSERT_EQ(g_SSE2Usable, sse2);
            ASSERT_EQ(g_Feature40Usable, p40 && (bits & 0x40));
        }
    }
}

TEST(MathInit, FollowsTheProcessorQueryAndPassesTheGammaArgumentsInOrder) {
    EXPECT_FALSE(g_MathReady);
    Tier0Test_OverrideFeatureBits(0x20 | 0x08);  // 3DNow! and SSE, no SSE2
    InitMathSupport(4.0f, 2.2f, 2.0f, 4, true, true, true, true);
    Tier0Test_OverrideFeatureBits(-1);
    EXPECT_TRUE(g_MathReady);
    EXPECT_EQ(Entries(g_MathRoutines), Expected(true, true, false));
    EXPECT_EQ(g_SineSamples[64], 1.0f);
    EXPECT_EQ(g_TextureLevelToDisplay[1], 4);       // gamma 4, held at 3, texture gamma 2.2
    EXPECT_EQ(g_LinearToDisplayLevel[1], 43);       // and brightness 2
    EXPECT_EQ(g_OverbrightDisplayLevel[1024], 64);  // overbright factor 4
}

TEST(MathInit, OnlyTheFirstCallCounts) {
    Tier0Test_OverrideFeatureBits(0x08);
    InitMathSupport(2.2f, 2.2f, 0.0f, 2, true, true, true, true);
    MathRoutineTable routines = g_MathRoutines;
    std::int32_t display[kLinearLevelCount];
    std::memcpy(display, g_LinearToDisplayLevel, sizeof display);

    Tier0Test_OverrideFeatureBits(0x30);
    InitMathSupport(4.0f, 1.0f, 2.0f, 4, true, false, true, true);
    Tier0Test_OverrideFeatureBits(-1);
    EXPECT_EQ(Entries(g_MathRoutines), Entries(routines));
    EXPECT_EQ(std::memcmp(display, g_LinearToDisplayLevel, sizeof display), 0);
    EXPECT_TRUE(g_SSEUsable && !g_SSE2Usable && !g_3DNowUsable);
}

void* NothingFactory(const char*, int* returnCode) {
    if (returnCode != nullptr) *returnCode = 1;
    return nullptr;
}

TEST(MathInit, PluginLoadInitialisesWithItsFixedArguments) {
    Tier0Test_OverrideFeatureBits(0x78);
    ASSERT_TRUE(g_ServerPlugin.AttachToEngine(NothingFactory, NothingFactory));
    Tier0Test_OverrideFeatureBits(-1);
    EXPECT_TRUE(g_3DNowUsable && g_SSEUsable && g_SSE2Usable && g_Feature40Usable);
    EXPECT_EQ(g_TextureLevelToDisplay[100], 100);    // gamma and texture gamma 2.2
    EXPECT_EQ(g_OverbrightLinearScale[1024], 0.5f);  // factor 2
    g_ServerPlugin.DetachFromEngine();
    EXPECT_TRUE(g_MathReady);  // unload leaves the math library as it is
}

TEST(SineTable, OnePeriodRoundedFromTheX87Sine) {
    FillSineSamples();
    EXPECT_EQ(Bits(g_SineSamples[0]), 0u);
    EXPECT_EQ(g_SineSamples[64], 1.0f);
    EXPECT_EQ(g_SineSamples[192], -1.0f);
    EXPECT_EQ(g_SineSamples[32], 0.70710677f);
    EXPECT_GT(g_SineSamples[128], 0.0f);  // sin of the double nearest π: tiny, not zero
    EXPECT_LT(g_SineSamples[128], 1e-15f);
    for (int i = 0; i < kSineSampleCount; ++i) {
        EXPECT_NEAR(g_SineSamples[i], std::sin(i * (std::numbers::pi / 128)), 6e-8) << i;
    }
}

const MathRoutineTable& x87 = kDefaultMathRoutines;

TEST(DefaultRoutines, ListedPoints) {
    Vec3f v{3.0f, 4.0f, 0.0f};
    EXPECT_EQ(x87.normalizeAndLength(v), 5.0f);
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.y, 0.8f);
    v = {0x1p-20f, 0.0f, 0.0f};  // the epsilon goes onto the length: 2^-20 / (9·2^-23)
    x87.normalizeOnly(v);
    EXPECT_FLOAT_EQ(v.x, 8.0f / 9.0f);
    Vec3f zero{0.0f, 0.0f, 0.0f};
    EXPECT_EQ(x87.normalizeAndLength(zero), 0.0f);
    EXPECT_TRUE(zero.x == 0.0f && zero.y == 0.0f && zero.z == 0.0f);

    const Vec3f small{0.5f, 0.5f, 0.5f}, unit{1, 0, 0}, two{2, 0, 0};
    EXPECT_EQ(x87.inverseLengthSquaredClamped(&zero), 1.0f);
    EXPECT_EQ(x87.inverseLengthSquaredClamped(&small), 1.0f);
    EXPECT_EQ(x87.inverseLengthSquaredClamped(&unit), 1.0f);
    EXPECT_EQ(x87.inverseLengthSquaredClamped(&two), 0.25f);
    EXPECT_EQ(x87.inverseSquareRoot(0.0f), std::numeric_limits<float>::infinity());
    EXPECT_EQ(x87.inverseSquareRootEstimate, x87.inverseSquareRoot);
}

TEST(DefaultRoutines, WithinARoundingOfTheTruth) {
    math_test::Inputs inputs(1);
    for (int n = 0; n < 200000; ++n) {
        const float x = inputs.Magnitude(120);
        ASSERT_EQ(x87.squareRoot(x), static_cast<float>(std::sqrt(double(x)))) << x;
        ASSERT_LE(math_test::RelativeError(x87.inverseSquareRoot(x), 1 / std::sqrt(double(x))),
                  0x1p-24)
            << x;
        const float angle = inputs.Uniform(-1000.0f, 1000.0f);
        float s, c;
        x87.sineCosine(angle, &s, &c);
        ASSERT_NEAR(s, std::sin(double(angle)), 6e-8) << angle;
        ASSERT_NEAR(c, std::cos(double(angle)), 6e-8) << angle;
        ASSERT_NEAR(x87.cosine(angle), c, 6e-8) << angle;
    }
}

TEST(DefaultRoutines, AnglesOutsideTheInstructionsRange) {
    // fsincos refuses 2^63 and above: such angles are reduced first and still give the sine
    // and cosine of one angle. Infinite and NaN angles give NaN.
    for (float angle : {0x1p63f, -0x1p70f, std::numeric_limits<float>::max()}) {
        float s = 2, c = 2;
        x87.sineCosine(angle, &s, &c);
        EXPECT_NEAR(double(s) * s + double(c) * c, 1.0, 1e-6) << angle;
        EXPECT_NEAR(x87.cosine(angle), c, 1e-6) << angle;
    }
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    for (float angle : {kInfinity, -kInfinity, std::numeric_limits<float>::quiet_NaN()}) {
        float s = 0, c = 0;
        x87.sineCosine(angle, &s, &c);
        EXPECT_TRUE(std::isnan(s) && std::isnan(c) && std::isnan(x87.cosine(angle)));
    }
}

}  // namespace
