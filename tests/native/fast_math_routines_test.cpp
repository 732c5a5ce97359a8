// The SSE and SSE2 routines: the exact values at the listed points, SSE2 matching SSE bit for
// bit, and error sweeps against a double-precision reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "mathlib/math_routines.h"
#include "native/math_test_support.h"

namespace {

using math_test::Bits;
using math_test::RelativeError;

const MathRoutineTable& sse = kSSEMathRoutines;
const MathRoutineTable& sse2 = kSSE2MathRoutines;

constexpr double kEstimateBound = 1.5 * 0x1p-12;  // the hardware estimates' stated accuracy
// One Newton-Raphson step squares the estimate's error (times 3/2); four single-precision
// roundings follow.
constexpr double kRefinedBound = 1.5 * kEstimateBound * kEstimateBound + 4 * 0x1p-24;
// The polynomial's own error (largest at a quarter period, where P(1) = 0.99984318), plus the
// rounding of the angle to quarter periods, which grows with the angle.
double TrigonometryBound(float angle) {
    return 1.5683e-4 + std::fabs(angle) * 0x1p-23 + 0x1p-22;
}

constexpr float kQuarterPeak = 0.99984318f;  // P(1)
constexpr float kInfinity = std::numeric_limits<float>::infinity();

void SineCosine(const MathRoutineTable& table, float angle, float& s, float& c) {
    table.sineCosine(angle, &s, &c);
}

TEST(SSERoutines, SineCosineAtTheListedPoints) {
    for (const MathRoutineTable* table : {&sse, &sse2}) {
        float s, c;
        SineCosine(*table, 0.0f, s, c);
        EXPECT_EQ(Bits(s), 0u);
        EXPECT_EQ(c, kQuarterPeak);
        SineCosine(*table, 1.57079637f, s, c);
        EXPECT_EQ(s, kQuarterPeak);
        EXPECT_EQ(Bits(c), 0x80000000u);  // −0
        SineCosine(*table, 3.14159274f, s, c);
        EXPECT_EQ(Bits(s), 0x80000000u);
        EXPECT_EQ(c, -kQuarterPeak);
        SineCosine(*table, 1.0f, s, c);
        EXPECT_EQ(s, 0.841468275f);
        EXPECT_EQ(c, 0.540302336f);
        SineCosine(*table, -1.0f, s, c);
        EXPECT_EQ(s, -0.841468275f);
        EXPECT_EQ(c, 0.540302336f);
        // π/2 is added in single precision first, hence the last places differ from above.
        EXPECT_EQ(table->cosine(0.0f), kQuarterPeak);
        EXPECT_EQ(table->cosine(1.0f), 0.540302217f);
    }
}

// The same bits, or both NaN: which NaN a product of two NaNs gives depends on the order
// of its operands, which the compiler may swap.
bool Same(float a, float b) {
    return Bits(a) == Bits(b) || (std::isnan(a) && std::isnan(b));
}

TEST(SSERoutines, SSE2GivesTheSameBitsAsSSE) {
    math_test::Inputs inputs(3);
    for (int n = 0; n < 2000000; ++n) {
        // Every bit pattern is fair game: NaNs, infinities, denormals, huge angles.
        float angle = n % 2 == 0 ? std::bit_cast<float>(inputs.NextBits())
                                 : inputs.Uniform(-5000.0f, 5000.0f);
        if (n < 2) angle = n == 0 ? kInfinity : -kInfinity;
        float s1, c1, s2, c2;
        SineCosine(sse, angle, s1, c1);
        SineCosine(sse2, angle, s2, c2);
        ASSERT_TRUE(Same(s1, s2)) << angle;
        ASSERT_TRUE(Same(c1, c2)) << angle;
        ASSERT_TRUE(Same(sse.cosine(angle), sse2.cosine(angle))) << angle;
    }
}

TEST(SSERoutines, TrigonometryWithinThePolynomialsBound) {
    math_test::Inputs inputs(4);
    double worst = 0;
    for (int n = 0; n < 1000000; ++n) {
        const float angle = inputs.Uniform(-200.0f, 200.0f);
        float s, c;
        SineCosine(sse, angle, s, c);
        const double bound = TrigonometryBound(angle);
        ASSERT_NEAR(s, std::sin(double(angle)), bound) << angle;
        ASSERT_NEAR(c, std::cos(double(angle)), bound) << angle;
        ASSERT_NEAR(sse.cosine(angle), std::cos(double(angle)), bound) << angle;
        worst = std::max(worst, std::fabs(s - std::sin(double(angle))));
    }
    EXPECT_GT(worst, 1.5e-4);  // the sweep does reach the polynomial's peak error
}

TEST(SSERoutines, AnglesBeyondTheQuarterCount) {
    // 2^31 quarters and beyond count as whole periods: sine ±0, cosine P(1); the cosine
    // routine, shifted by a quarter, gives +0. Infinite and NaN angles give NaN.
    for (const MathRoutineTable* table : {&sse, &sse2}) {
        for (float angle : {3.4e9f, -1e20f, std::numeric_limits<float>::max()}) {
            float s, c;
            SineCosine(*table, angle, s, c);
            EXPECT_EQ(Bits(s), Bits(std::copysign(0.0f, angle))) << angle;
            EXPECT_EQ(c, kQuarterPeak) << angle;
            EXPECT_EQ(Bits(table->cosine(angle)), 0u) << angle;
        }
        for (float angle : {kInfinity, -kInfinity, std::numeric_limits<float>::quiet_NaN()}) {
            float s, c;
            SineCosine(*table, angle, s, c);
            EXPECT_TRUE(std::isnan(s) && std::isnan(c)) << angle;
            EXPECT_TRUE(std::isnan(table->cosine(angle))) << angle;
        }
    }
}

TEST(SSERoutines, SquareRootFamilyWithinItsBounds) {
    math_test::Inputs inputs(5);
    for (int n = 0; n < 1000000; ++n) {
        const float x = inputs.Magnitude(120);
        const double root = std::sqrt(double(x));
        ASSERT_EQ(sse.squareRoot(x), static_cast<float>(root)) << x;  // correctly rounded
        ASSERT_LE(RelativeError(sse.inverseSquareRoot(x), 1 / root), kRefinedBound) << x;
        ASSERT_LE(RelativeError(sse.inverseSquareRootEstimate(x), 1 / root), kEstimateBound) << x;
    }
    // The refinement turns the estimate's +∞ at 0 into ∞·0.
    EXPECT_TRUE(std::isnan(sse.inverseSquareRoot(0.0f)));
    EXPECT_EQ(sse.inverseSquareRootEstimate(0.0f), kInfinity);
}

TEST(SSERoutines, NormalizeOnlyAddsTheEpsilonToTheSquaredLength) {
    Vec3f zero{0.0f, 0.0f, 0.0f};
    sse.normalizeOnly(zero);
    EXPECT_TRUE(zero.x == 0.0f && zero.y == 0.0f && zero.z == 0.0f);
    Vec3f v{3.0f, 4.0f, 0.0f};
    sse.normalizeOnly(v);
    EXPECT_NEAR(v.x, 0.6, 0.6 * kRefinedBound);
    EXPECT_NEAR(v.y, 0.8, 0.8 * kRefinedBound);
    EXPECT_EQ(v.z, 0.0f);

    math_test::Inputs inputs(6);
    for (int n = 0; n < 200000; ++n) {
        Vec3f w{inputs.Uniform(-100, 100), inputs.Uniform(-100, 100), inputs.Uniform(-100, 100)};
        const double length = std::sqrt(double(w.x) * w.x + double(w.y) * w.y + double(w.z) * w.z);
        if (length < 1) continue;  // below, the epsilon of 2^-23 shows
        const Vec3f before = w;
        sse.normalizeOnly(w);
        ASSERT_LE(RelativeError(w.x, before.x / length), kRefinedBound + 0x1p-23) << before.x;
        ASSERT_LE(RelativeError(w.z, before.z / length), kRefinedBound + 0x1p-23) << before.z;
    }
}

TEST(SSERoutines, InverseLengthSquaredIsAnEstimateOfTheClampedReciprocal) {
    math_test::Inputs inputs(7);
    for (int n = 0; n < 200000; ++n) {
        const Vec3f v{inputs.Uniform(-3, 3), inputs.Uniform(-3, 3), inputs.Uniform(-3, 3)};
        const double s = double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z;
        const double expected = 1 / std::max(s, 1.0);
        ASSERT_LE(RelativeError(sse.inverseLengthSquaredClamped(&v), expected),
                  kEstimateBound + 0x1p-23)
            << s;
    }
    const Vec3f nan{std::numeric_limits<float>::quiet_NaN(), 0, 0};
    EXPECT_NEAR(sse.inverseLengthSquaredClamped(&nan), 1.0, kEstimateBound);
}

}  // namespace
