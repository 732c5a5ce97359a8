// The SSE and SSE2 routines: the values at the listed points, SSE2 matching SSE bit for bit,
// the inputs left open, and error sweeps against a double-precision reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "native/math_test_support.h"

namespace {

using math_test::Bits;
using math_test::RelativeError;

const MathRoutineTable& sse = kSSEMathRoutines;
const MathRoutineTable& sse2 = kSSE2MathRoutines;

constexpr double kEstimateBound = 1.5 * 0x1p-12;  // the hardware estimates' accuracy
// One Newton-Raphson step leaves 3/2 of the estimate's error squared, plus four roundings.
constexpr double kRefinedBound = 1.5 * kEstimateBound * kEstimateBound + 4 * 0x1p-24;
constexpr float kQuarterPeak = 0.99984318f;  // P(1)
constexpr float kInfinity = std::numeric_limits<float>::infinity();

TEST(SSERoutines, ListedPoints) {
    for (const MathRoutineTable* table : {&sse, &sse2}) {
        const auto check = [table](float angle, float sine, float cosine) {
            float s, c;
            table->sineCosine(angle, &s, &c);
            EXPECT_EQ(Bits(s), Bits(sine)) << angle;
            EXPECT_EQ(Bits(c), Bits(cosine)) << angle;
        };
        check(0.0f, 0.0f, kQuarterPeak);
        check(1.57079637f, kQuarterPeak, -0.0f);
        check(3.14159274f, -0.0f, -kQuarterPeak);
        check(1.0f, 0.841468275f, 0.540302336f);
        check(-1.0f, -0.841468275f, 0.540302336f);
        EXPECT_EQ(table->cosine(0.0f), kQuarterPeak);
        EXPECT_EQ(table->cosine(1.0f), 0.540302217f);  // π/2 added in single precision first
    }
    EXPECT_TRUE(std::isnan(sse.inverseSquareRoot(0.0f)));  // ∞ · 0 in the refinement
    EXPECT_EQ(sse.inverseSquareRootEstimate(0.0f), kInfinity);
    Vec3f zero{0.0f, 0.0f, 0.0f}, v{3.0f, 4.0f, 0.0f};
    sse.normalizeOnly(zero);
    EXPECT_TRUE(zero.x == 0.0f && zero.y == 0.0f && zero.z == 0.0f);
    sse.normalizeOnly(v);
    EXPECT_NEAR(v.x, 0.6, 0.6 * kRefinedBound);
    EXPECT_NEAR(v.y, 0.8, 0.8 * kRefinedBound);
    const Vec3f nan{std::numeric_limits<float>::quiet_NaN(), 0, 0};
    EXPECT_NEAR(sse.inverseLengthSquaredClamped(&nan), 1.0, kEstimateBound);
}

TEST(SSERoutines, SSE2GivesTheSameResultsAsSSE) {
    // Bit for bit; a product of two NaNs may give either one, so NaN only matches NaN.
    const auto same = [](float a, float b) {
        return Bits(a) == Bits(b) || (std::isnan(a) && std::isnan(b));
    };
    math_test::Inputs inputs(3);
    for (int n = 0; n < 2000000; ++n) {
        float angle = n % 2 == 0 ? std::bit_cast<float>(inputs.NextBits())  // any bits at all
                                 : inputs.Uniform(-5000.0f, 5000.0f);
        if (n < 2) angle = n == 0 ? kInfinity : -kInfinity;
        float s1, c1, s2, c2;
        sse.sineCosine(angle, &s1, &c1);
        sse2.sineCosine(angle, &s2, &c2);
        ASSERT_TRUE(same(s1, s2) && same(c1, c2)) << angle;
        ASSERT_TRUE(same(sse.cosine(angle), sse2.cosine(angle))) << angle;
    }
}

TEST(SSERoutines, AnglesBeyondTheQuarterCount) {
    // 2^31 quarters and more count as whole periods: sine ±0, cosine P(1); the cosine
    // routine, a quarter further on, gives +0. Infinite and NaN angles give NaN.
    for (const MathRoutineTable* table : {&sse, &sse2}) {
        for (float angle : {3.4e9f, -1e20f, std::numeric_limits<float>::max()}) {
            float s, c;
            table->sineCosine(angle, &s, &c);
            EXPECT_EQ(Bits(s), Bits(std::copysign(0.0f, angle))) << angle;
            EXPECT_EQ(c, kQuarterPeak) << angle;
            EXPECT_EQ(Bits(table->cosine(angle)), 0u) << angle;
        }
        for (float angle : {kInfinity, -kInfinity, std::numeric_limits<float>::quiet_NaN()}) {
            float s, c;
            table->sineCosine(angle, &s, &c);
            EXPECT_TRUE(std::isnan(s) && std::isnan(c) && std::isnan(table->cosine(angle)));
        }
    }
}

TEST(SSERoutines, WithinTheirErrorBounds) {
    math_test::Inputs inputs(4);
    double worstSine = 0;
    for (int n = 0; n < 1000000; ++n) {
        const float x = inputs.Magnitude(120);
        const double root = std::sqrt(double(x));
        ASSERT_EQ(sse.squareRoot(x), static_cast<float>(root)) << x;  // correctly rounded
        ASSERT_LE(RelativeError(sse.inverseSquareRoot(x), 1 / root), kRefinedBound) << x;
        ASSERT_LE(RelativeError(sse.inverseSquareRootEstimate(x), 1 / root), kEstimateBound);

        // The polynomial's 1.6e-4, plus the angle's rounding to quarter periods.
        const float angle = inputs.Uniform(-200.0f, 200.0f);
        const double bound = 1.5683e-4 + std::fabs(angle) * 0x1p-23 + 0x1p-22;
        float s, c;
        sse.sineCosine(angle, &s, &c);
        ASSERT_NEAR(s, std::sin(double(angle)), bound) << angle;
        ASSERT_NEAR(c, std::cos(double(angle)), bound) << angle;
        ASSERT_NEAR(sse.cosine(angle), std::cos(double(angle)), bound) << angle;
        worstSine = std::max(worstSine, std::fabs(s - std::sin(double(angle))));

        Vec3f v{inputs.Uniform(-3, 3), inputs.Uniform(-3, 3), inputs.Uniform(-3, 3)};
        const double squared = double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z;
        ASSERT_LE(RelativeError(sse.inverseLengthSquaredClamped(&v), 1 / std::max(squared, 1.0)),
                  kEstimateBound + 0x1p-23);
        const float before = v.y;
        if (squared < 1 || before == 0) continue;  // below 1 the epsilon of 2^-23 shows
        sse.normalizeOnly(v);
        ASSERT_LE(RelativeError(v.y, before / std::sqrt(squared)), kRefinedBound + 0x1p-23);
    }
    EXPECT_GT(worstSine, 1.5e-4);  // the sweep did reach the polynomial's peak error
}

}  // namespace
