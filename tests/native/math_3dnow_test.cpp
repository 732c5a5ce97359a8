// The 3DNow! routines. They need a processor with 3DNow!; the test run provides one through
// qemu's user-mode emulator (-cpu phenom). On a processor without it these tests are not
// registered at all, so they neither run nor count there.
#include <cpuid.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "mathlib/math_routines.h"
#include "native/math_test_support.h"

namespace {

using math_test::Bits;
using math_test::RelativeError;

const MathRoutineTable& amd = k3DNowMathRoutines;

// The estimate instructions give at least 14 correct bits; a product adds one rounding.
constexpr double kEstimateBound = 0x1p-14 + 0x1p-24;

bool ProcessorHas3DNow() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx) != 0 && (edx & bit_3DNOW) != 0;
}

// The x87 tag word: 0xFFFF when every register is empty, as the caller must find it.
std::uint16_t X87TagWord() {
    struct {
        std::uint32_t control, status, tag, rest[4];
    } environment;
    asm volatile("fnstenv %0" : "=m"(environment));
    return static_cast<std::uint16_t>(environment.tag);
}

void SquareRoots() {
    EXPECT_EQ(amd.inverseSquareRoot, amd.inverseSquareRootEstimate);
    math_test::Inputs inputs(11);
    for (int n = 0; n < 100000; ++n) {
        const float x = inputs.Magnitude(60);
        const double root = std::sqrt(double(x));
        ASSERT_LE(RelativeError(amd.squareRoot(x), root), kEstimateBound) << x;
        // The division on the x87 unit adds one more rounding.
        ASSERT_LE(RelativeError(amd.inverseSquareRoot(x), 1 / root), kEstimateBound + 0x1p-24) << x;
    }
}

void NormalizeLeavesZeroVectorsAlone() {
    for (Vec3f zero : {Vec3f{0.0f, 0.0f, 0.0f}, Vec3f{-0.0f, 0.0f, -0.0f}}) {
        const Vec3f before = zero;
        EXPECT_EQ(amd.normalizeAndLength(zero), 0.0f);
        amd.normalizeOnly(zero);
        EXPECT_EQ(Bits(zero.x), Bits(before.x));
        EXPECT_EQ(Bits(zero.z), Bits(before.z));
    }
    Vec3f v{3.0f, 4.0f, 0.0f};
    EXPECT_NEAR(amd.normalizeAndLength(v), 5.0, 5 * kEstimateBound);
    EXPECT_NEAR(v.x, 0.6, 0.6 * kEstimateBound);
    EXPECT_NEAR(v.y, 0.8, 0.8 * kEstimateBound);
    EXPECT_EQ(v.z, 0.0f);

    math_test::Inputs inputs(12);
    for (int n = 0; n < 100000; ++n) {
        Vec3f w{inputs.Uniform(-50, 50), inputs.Uniform(-50, 50), inputs.Uniform(-50, 50)};
        const double length = std::sqrt(double(w.x) * w.x + double(w.y) * w.y + double(w.z) * w.z);
        const Vec3f before = w;
        // s rounds three times; the estimate and the products add theirs.
        const double bound = kEstimateBound + 0x1p-22;
        ASSERT_LE(RelativeError(amd.normalizeAndLength(w), length), bound) << length;
        ASSERT_LE(RelativeError(w.y, before.y / length), bound) << length;
    }
}

void InverseLengthSquaredIsClamped() {
    math_test::Inputs inputs(13);
    for (int n = 0; n < 100000; ++n) {
        const Vec3f v{inputs.Uniform(-3, 3), inputs.Uniform(-3, 3), inputs.Uniform(-3, 3)};
        const double s = double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z;
        ASSERT_LE(RelativeError(amd.inverseLengthSquaredClamped(&v), 1 / std::max(s, 1.0)),
                  kEstimateBound + 0x1p-23)
            << s;
    }
}

void TheX87UnitIsLeftEmpty() {
    Vec3f v{1.0f, 2.0f, 3.0f};
    const Vec3f* constant = &v;
    volatile float sink = amd.squareRoot(2.0f);
    EXPECT_EQ(X87TagWord(), 0xFFFF);
    sink = amd.normalizeAndLength(v);
    EXPECT_EQ(X87TagWord(), 0xFFFF);
    sink = amd.inverseLengthSquaredClamped(constant);
    EXPECT_EQ(X87TagWord(), 0xFFFF);
    sink = amd.inverseSquareRoot(4.0f);
    EXPECT_EQ(X87TagWord(), 0xFFFF);
    static_cast<void>(sink);
    // And the unit computes normally afterwards.
    volatile long double a = 3.0L;
    EXPECT_EQ(std::sqrt(a * a + 16.0L), 5.0L);
}

class ThreeDNowCase : public testing::Test {
public:
    explicit ThreeDNowCase(void (*body)()) : m_pBody(body) {}
    void TestBody() override { m_pBody(); }

private:
    void (*m_pBody)();
};

struct Case {
    const char* name;
    void (*body)();
};

const Case kCases[] = {
    {"SquareRoots", SquareRoots},
    {"NormalizeLeavesZeroVectorsAlone", NormalizeLeavesZeroVectorsAlone},
    {"InverseLengthSquaredIsClamped", InverseLengthSquaredIsClamped},
    {"TheX87UnitIsLeftEmpty", TheX87UnitIsLeftEmpty},
};

[[maybe_unused]] const bool kRegistered = [] {
    if (!ProcessorHas3DNow()) return false;
    for (const Case& test : kCases) {
        testing::RegisterTest("ThreeDNowRoutines", test.name, nullptr, nullptr, __FILE__, __LINE__,
                              [body = test.body] { return new ThreeDNowCase(body); });
    }
    return true;
}();

}  // namespace
