// SSE forms: the hardware square root, reciprocal and reciprocal-square-root estimates (with
// or without one Newton-Raphson step), and the quarter-wave polynomial in place of the x87
// sine and cosine. This file is built with SSE arithmetic for float, so each float
// operation below is one single-precision SSE instruction, in the order written.
//
// Helpers here have internal linkage and intrinsics are always inlined: an inline function
// shared with plain-i686 files could be merged by the linker into their code, which must
// run on processors without SSE.
#include <xmmintrin.h>

#include <bit>
#include <cstdint>

#include "mathlib/fast_math_constants.h"
#include "mathlib/math_routines.h"
#include "mathlib/packed_quarter_wave.h"

#if !defined(__SSE_MATH__)
#error "math_routines_sse.cpp must be built with SSE arithmetic for float"
#endif

namespace {

using namespace fast_math;

float ReciprocalSquareRootEstimate(float x) {
    return _mm_cvtss_f32(_mm_rsqrt_ss(InRegister(x)));
}

// A constant built from an immediate in the routine's own stack slot, not read from the
// library's data: position-independent code (the Linux library) would first have to find the
// library's base, a call that costs more than the refinement itself.
template <std::uint32_t kBits>
float Immediate() {
    std::uint32_t bits;
    asm("movl %1, %0" : "=r"(bits) : "i"(kBits));
    return std::bit_cast<float>(bits);
}

// One Newton-Raphson step on the estimate r of 1/√x.
float Refined(float x, float r) {
    constexpr std::uint32_t kHalfBits = std::bit_cast<std::uint32_t>(kHalf);
    constexpr std::uint32_t kThreeBits = std::bit_cast<std::uint32_t>(kThree);
    return (Immediate<kHalfBits>() * r) * (Immediate<kThreeBits>() - (x * r) * r);
}

float SquareRoot(float x) {
    return _mm_cvtss_f32(_mm_sqrt_ss(InRegister(x)));
}

float InverseSquareRoot(float x) {
    return Refined(x, ReciprocalSquareRootEstimate(x));
}

float InverseSquareRootEstimate(float x) {
    return ReciprocalSquareRootEstimate(x);
}

void NormalizeOnly(Vec3f& v) {
    // The squared length is summed on the x87 unit; the epsilon goes onto it (not onto the
    // length, as in the default), so a zero vector is scaled by about 2896 and stays zero.
    const long double x = v.x;
    const long double y = v.y;
    const long double z = v.z;
    const float d = static_cast<float>((x * x + y * y) + z * z + kLengthEpsilon);
    const float scale = Refined(d, ReciprocalSquareRootEstimate(d));
    v.x = v.x * scale;
    v.y = v.y * scale;
    v.z = v.z * scale;
}

float InverseLengthSquaredClamped(const Vec3f* v) {
    const float lengthSquared = (v->x * v->x + v->y * v->y) + v->z * v->z;
    // maxss answers its second operand when either is NaN, so a NaN length gives 1.
    const __m128 clamped = _mm_max_ss(InRegister(lengthSquared), _mm_set_ss(kOne));
    return _mm_cvtss_f32(_mm_rcp_ss(clamped));
}

// The quarter logic for q mod 4. Where q is even the sine takes t = f and the cosine
// t = 1 − f, where odd the other way round: t = |f − offset|, which for an offset of 1 is
// 1 − f rounded alike. The sine's sign bit is bit 1 of q (then flipped for a negative
// angle), the cosine's bit 1 of q + 1.
struct Quadrant {
    Lanes offset;
    Lanes sign;
};
constexpr Quadrant kSineCosineQuadrants[4] = {
    {{0.0f, 1.0f}, {0u, 0u}},
    {{1.0f, 0.0f}, {0u, kSignMask}},
    {{0.0f, 1.0f}, {kSignMask, kSignMask}},
    {{1.0f, 0.0f}, {kSignMask, 0u}},
};
// For cosine alone, in lane 0: t = f where q is even, the sign bit from bit 1 of q.
constexpr Quadrant kCosineQuadrants[4] = {
    {{0.0f, 0.0f}, {0u, 0u}},
    {{1.0f, 0.0f}, {0u, 0u}},
    {{0.0f, 0.0f}, {kSignMask, 0u}},
    {{1.0f, 0.0f}, {kSignMask, 0u}},
};

struct Quarters {
    std::uint32_t count;
    __m128 fraction;  // in lane 0
};

// Lane 0 of a is the angle's magnitude in quarter periods. A count of 2^31 or more does not
// fit the conversion: such an angle is taken as 0 quarters and fraction 0. False for an
// infinite or NaN angle, which has no quarters at all.
bool SplitIntoQuarters(__m128 a, Quarters& quarters) {
    const float magnitude = _mm_cvtss_f32(a);
    if (!(magnitude < kQuarterCountLimit)) [[unlikely]] {
        quarters = {0, _mm_setzero_ps()};
        return magnitude < kInfinity;
    }
    const int count = _mm_cvtt_ss2si(a);
    const __m128 whole = _mm_cvtsi32_ss(_mm_setzero_ps(), count);
    quarters = {static_cast<std::uint32_t>(count),
                _mm_min_ss(_mm_sub_ss(a, whole), _mm_set_ss(kOne))};
    return true;
}

void SineCosine(float angle, float* sine, float* cosine) {
    const __m128 alpha = InRegister(angle);
    const __m128 a = _mm_and_ps(_mm_mul_ss(alpha, _mm_set_ss(kTwoOverPi)), Load(kMagnitude));
    Quarters quarters;
    if (!SplitIntoQuarters(a, quarters)) [[unlikely]] {
        *sine = *cosine = kNoAngleResult;
        return;
    }
    const Quadrant& quadrant = kSineCosineQuadrants[quarters.count & 3];
    const __m128 f = _mm_shuffle_ps(quarters.fraction, quarters.fraction, 0);
    const __m128 t = _mm_and_ps(_mm_sub_ps(f, Load(quadrant.offset)), Load(kMagnitude));
    const __m128 signBits = _mm_xor_ps(Load(quadrant.sign), _mm_and_ps(alpha, Load(kSineSign)));
    const __m128 result = QuarterWave(t, signBits);
    _mm_store_ss(sine, result);
    _mm_store_ss(cosine, _mm_shuffle_ps(result, result, _MM_SHUFFLE(1, 1, 1, 1)));
}

float Cosine(float angle) {
    // Clearing lanes 1 to 3 keeps whatever they held out of the packed polynomial.
    const __m128 magnitude = _mm_and_ps(InRegister(angle), Load(kFirstMagnitude));
    const __m128 shifted = _mm_add_ss(magnitude, _mm_set_ss(kHalfPi));
    Quarters quarters;
    if (!SplitIntoQuarters(_mm_mul_ss(shifted, _mm_set_ss(kTwoOverPi)), quarters)) [[unlikely]] {
        return kNoAngleResult;
    }
    const Quadrant& quadrant = kCosineQuadrants[quarters.count & 3];
    const __m128 t =
        _mm_and_ps(_mm_sub_ss(quarters.fraction, Load(quadrant.offset)), Load(kMagnitude));
    return _mm_cvtss_f32(QuarterWave(t, Load(quadrant.sign)));
}

}  // namespace

constinit const MathRoutineTable kSSEMathRoutines{
    .squareRoot = SquareRoot,
    .inverseSquareRoot = InverseSquareRoot,
    .inverseSquareRootEstimate = InverseSquareRootEstimate,
    .normalizeAndLength = nullptr,
    .normalizeOnly = NormalizeOnly,
    .inverseLengthSquaredClamped = InverseLengthSquaredClamped,
    .sineCosine = SineCosine,
    .cosine = Cosine,
};
