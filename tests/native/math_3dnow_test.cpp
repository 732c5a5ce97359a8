// The 3DNow! routines. They need a processor with 3DNow!; the test run provides one through
// qemu's user-mode emulator (-cpu phenom). Elsewhere these tests are not registered at all,
// so they neither run nor count.
#include <cpuid.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "native/math_test_support.h"

namespace {

using math_test::Bits;
using math_test::RelativeError;

const MathRoutineTable& amd = k3DNowMathRoutines;

// The estimate instructions give at least 14 correct bits; each product adds a rounding.
constexpr double kBound = 0x1p-14 + 0x1p-22;

// The x87 tag word: 0xFFFF when every register is empty, as a caller must find it.
int X87TagWord() {
    struct {
        std::uint32_t control, status, tag, rest[4];
    } environment;
    asm volatile("fnstenv %0" : "=m"(environment));
    return static_cast<int>(environment.tag & 0xFFFF);
}

void WithinTheEstimatesBounds() {
    EXPECT_EQ(amd.inverseSquareRoot, amd.inverseSquareRootEstimate);
    math_test::Inputs inputs(11);
    for (int n = 0; n < 100000; ++n) {
        const float x = inputs.Magnitude(60);
        ASSERT_LE(RelativeError(amd.squareRoot(x), std::sqrt(double(x))), kBound) << x;
        ASSERT_LE(RelativeError(amd.inverseSquareRoot(x), 1 / std::sqrt(double(x))), kBound);

        Vec3f v{inputs.Uniform(-50, 50), inputs.Uniform(-50, 50), inputs.Uniform(-50, 50)};
        const double squared = double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z;
        ASSERT_LE(RelativeError(amd.inverseLengthSquaredClamped(&v), 1 / std::max(squared, 1.0)),
                  kBound);
        const float before = v.y;
        ASSERT_LE(RelativeError(amd.normalizeAndLength(v), std::sqrt(squared)), kBound);
        if (before != 0) {
            ASSERT_LE(RelativeError(v.y, before / std::sqrt(squared)), kBound);
        }
    }
}

void ZeroVectorsAreLeftAlone() {
    for (Vec3f zero : {Vec3f{0.0f, 0.0f, 0.0f}, Vec3f{-0.0f, 0.0f, -0.0f}}) {
        const Vec3f before = zero;
        EXPECT_EQ(amd.normalizeAndLength(zero), 0.0f);
        amd.normalizeOnly(zero);
        EXPECT_TRUE(Bits(zero.x) == Bits(before.x) && Bits(zero.z) == Bits(before.z));
    }
    Vec3f v{3.0f, 4.0f, 0.0f};
    EXPECT_NEAR(amd.normalizeAndLength(v), 5.0, 5 * kBound);
    EXPECT_NEAR(v.x, 0.6, 0.6 * kBound);
    EXPECT_NEAR(v.y, 0.8, 0.8 * kBound);
}

void TheX87UnitIsLeftEmpty() {
    Vec3f v{1.0f, 2.0f, 3.0f};
    volatile float sink = amd.squareRoot(2.0f);
    EXPECT_EQ(X87TagWord(), 0xFFFF);
    sink = amd.normalizeAndLength(v);
    EXPECT_EQ(X87TagWord(), 0xFFFF);
    sink = amd.inverseLengthSquaredClamped(&v);
    EXPECT_EQ(X87TagWord(), 0xFFFF);
    sink = amd.inverseSquareRoot(4.0f);
    EXPECT_EQ(X87TagWord(), 0xFFFF);
    static_cast<void>(sink);
}

class ThreeDNowCase : public testing::Test {
public:
    explicit ThreeDNowCase(void (*body)()) : m_pBody(body) {}
    void TestBody() override { m_pBody(); }

private:
    void (*m_pBody)();
};

[[maybe_unused]] const bool kRegistered = [] {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx) == 0 || (edx & bit_3DNOW) == 0) {
        return false;
    }
    const std::pair<const char*, void (*)()> cases[] = {
        {"WithinTheEstimatesBounds", WithinTheEstimatesBounds},
        {"ZeroVectorsAreLeftAlone", ZeroVectorsAreLeftAlone},
        {"TheX87UnitIsLeftEmpty", TheX87UnitIsLeftEmpty},
    };
    for (const auto& [name, body] : cases) {
        testing::RegisterTest("ThreeDNowRoutines", name, nullptr, nullptr, __FILE__, __LINE__,
                              [body] { return new ThreeDNowCase(body); });
    }
    return true;
}();

}  // namespace
