#pragma once

// What the SSE and SSE2 forms of sineCosine and cosine share: packed constants, a float's
// register taken as a vector, and the quarter-wave polynomial evaluated lane by lane. Include only
// from files built with SSE: everything here has internal linkage, so none of it can be merged into
// plain-i686 code.
//
// Constants are loaded whole as memory operands. In sineCosine lane 0 carries the sine and
// lane 1 the cosine; lanes 2 and 3 are unused and hold zeros, which also keeps the compiler
// from building a constant by broadcasting a scalar instead of reading it.
#include <xmmintrin.h>

#include <bit>
#include <cstdint>

#include "mathlib/fast_math_constants.h"

namespace {

struct alignas(16) Lanes {
    constexpr explicit Lanes(float value) : Lanes(value, value) {}
    constexpr Lanes(float lane0, float lane1)
        : Lanes(std::bit_cast<std::uint32_t>(lane0), std::bit_cast<std::uint32_t>(lane1)) {}
    constexpr Lanes(std::uint32_t lane0, std::uint32_t lane1) : bits{lane0, lane1, 0, 0} {}
    std::uint32_t bits[4];
};

// The register that holds x, as a vector whose lanes above 0 are whatever they are: the
// scalar instructions read lane 0 only, and nothing here lets the other lanes reach a
// result. The intrinsics would clear those lanes, through an integer register and back.
__m128 InRegister(float x) {
#if defined(__clang__)
    // The fuzzing build's compiler cannot tie a float to a vector register; it keeps the
    // intrinsic cheap on its own.
    return _mm_set_ss(x);
#else
    __m128 vector;
    asm("" : "=x"(vector) : "0"(x));
    return vector;
#endif
}

__m128 Load(const Lanes& lanes) {
    return _mm_load_ps(reinterpret_cast<const float*>(lanes.bits));
}

constexpr Lanes kC0s{fast_math::kC0};
constexpr Lanes kC1s{fast_math::kC1};
constexpr Lanes kC2s{fast_math::kC2};
constexpr Lanes kC3s{fast_math::kC3};
constexpr Lanes kMagnitude{fast_math::kAbsoluteValueMask, fast_math::kAbsoluteValueMask};
constexpr Lanes kSineSign{fast_math::kSignMask, 0u};
constexpr Lanes kFirstMagnitude{fast_math::kAbsoluteValueMask, 0u};

// P(t) lane by lane, in single precision and in the fixed order, with signBits flipping the
// sign of t before the last product. The SSE forms hand in t, never negative, so that puts
// the sign bits in; the SSE2 forms hand in t negated where they must and flip accordingly.
// Either way t² and the product are those of the same magnitudes and signs.
__m128 QuarterWave(__m128 t, __m128 signBits) {
    const __m128 t2 = _mm_mul_ps(t, t);
    __m128 p = _mm_mul_ps(t2, Load(kC3s));
    p = _mm_add_ps(p, Load(kC2s));
    p = _mm_mul_ps(p, t2);
    p = _mm_add_ps(p, Load(kC1s));
    p = _mm_mul_ps(p, t2);
    p = _mm_add_ps(p, Load(kC0s));
    return _mm_mul_ps(_mm_xor_ps(t, signBits), p);
}

}  // namespace
