// SSE2 forms of sineCosine and cosine: the SSE computation with the quarter logic on packed
// integer lanes instead of a table lookup through a general register. The sine and the
// cosine of sineCosine share one pass, in lanes 0 and 1 (the cosine one quarter further on).
//
// Where the SSE forms take f = a − q and then t = f for an even count and 1 − f for an odd
// one, these subtract from a the count rounded up to even: that is f itself, or f − 1, the
// negated t. Below 2^24 quarters a − q is exact and below 1 (so the SSE forms' min(f, 1)
// changes nothing), and a − (q + 1) rounds the same number as 1 − f: the magnitude is the
// SSE forms' t, bit for bit. Only its sign differs, and the sign bits undo that: bit 1 of
// count + 1 where the SSE forms take bit 1 of the count is that bit flipped exactly for an
// odd count. One subtraction and no selection shorten the path through each call, which is
// what makes these the fastest forms where a processor has them.
//
// Intrinsics only (always inlined) and internal-linkage helpers: nothing here may be merged
// into plain-i686 code.
#include <emmintrin.h>

#include <bit>
#include <cstdint>

#include "mathlib/fast_math_constants.h"
#include "mathlib/math_routines.h"
#include "mathlib/packed_quarter_wave.h"

namespace {

using namespace fast_math;

__m128i LoadIntegers(const Lanes& lanes) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.bits));
}

constexpr Lanes kTwoOverPis{kTwoOverPi};
constexpr Lanes kParityBits{1u, 1u};
constexpr Lanes kSignBits{kSignMask, kSignMask};
// The cosine follows the sine's quarter logic one quarter further on.
constexpr Lanes kCosineQuarter{0u, 1u};

// From 2^24 quarters on every float is a whole number of quarters, and q + 1 need not be
// a float: there the fraction is 0, and t is taken from the lane's parity alone.
constexpr float kWholeQuarters = 0x1p24f;

struct Quarters {
    __m128i count;     // q
    __m128i base;      // what a is measured from: q, or 0 where the fraction is 0
    __m128 magnitude;  // a, or 0 where the fraction is 0
};

// Lane 0 of a is the angle's magnitude in quarter periods. As in the SSE forms, a count of
// 2^31 or more is taken as 0 quarters and fraction 0; false for an infinite or NaN angle.
bool SplitIntoQuarters(__m128 a, Quarters& quarters) {
    const float magnitude = _mm_cvtss_f32(a);
    if (magnitude < kWholeQuarters) [[likely]] {
        const __m128i count = _mm_cvttps_epi32(a);
        quarters = {count, count, a};
        return true;
    }
    const __m128i count =
        magnitude < kQuarterCountLimit ? _mm_cvttps_epi32(a) : _mm_setzero_si128();
    quarters = {count, _mm_setzero_si128(), _mm_setzero_ps()};
    return magnitude < kInfinity;
}

struct SignedT {
    __m128 t;         // t, negated where the lane's count is odd
    __m128 signBits;  // the flip that gives the result its sign
};

// t and its sign flip for each lane's count (q, or q + 1 in the cosine lane of sineCosine).
SignedT QuarterLogic(const Quarters& quarters, __m128i counts) {
    const __m128i even =
        _mm_add_epi32(quarters.base, _mm_and_si128(counts, LoadIntegers(kParityBits)));
    const __m128 t = _mm_sub_ps(quarters.magnitude, _mm_cvtepi32_ps(even));
    // Bit 1 of count + 1, shifted into the sign bit.
    const __m128i sign =
        _mm_and_si128(_mm_slli_epi32(_mm_add_epi32(counts, LoadIntegers(kParityBits)), 30),
                      LoadIntegers(kSignBits));
    return {t, _mm_castsi128_ps(sign)};
}

void SineCosine(float angle, float* sine, float* cosine) {
    const __m128 alpha = _mm_set1_ps(angle);
    const __m128 a = _mm_and_ps(_mm_mul_ps(alpha, Load(kTwoOverPis)), Load(kMagnitude));
    Quarters quarters;
    if (!SplitIntoQuarters(a, quarters)) [[unlikely]] {
        *sine = *cosine = kNoAngleResult;
        return;
    }
    const SignedT signedT =
        QuarterLogic(quarters, _mm_add_epi32(quarters.count, LoadIntegers(kCosineQuarter)));
    // The sine's sign is further flipped for a negative angle.
    const __m128 signBits = _mm_xor_ps(signedT.signBits, _mm_and_ps(alpha, Load(kSineSign)));
    const __m128 result = QuarterWave(signedT.t, signBits);
    _mm_store_ss(sine, result);
    _mm_store_ss(cosine, _mm_shuffle_ps(result, result, _MM_SHUFFLE(1, 1, 1, 1)));
}

float Cosine(float angle) {
    // Clearing lanes 1 to 3 keeps whatever they held out of the packed steps.
    const __m128 magnitude = _mm_and_ps(InRegister(angle), Load(kFirstMagnitude));
    const __m128 shifted = _mm_add_ss(magnitude, _mm_set_ss(kHalfPi));
    Quarters quarters;
    if (!SplitIntoQuarters(_mm_mul_ss(shifted, _mm_set_ss(kTwoOverPi)), quarters)) [[unlikely]] {
        return kNoAngleResult;
    }
    const SignedT signedT = QuarterLogic(quarters, quarters.count);
    return _mm_cvtss_f32(QuarterWave(signedT.t, signedT.signBits));
}

}  // namespace

constinit const MathRoutineTable kSSE2MathRoutines{
    .squareRoot = nullptr,
    .inverseSquareRoot = nullptr,
    .inverseSquareRootEstimate = nullptr,
    .normalizeAndLength = nullptr,
    .normalizeOnly = nullptr,
    .inverseLengthSquaredClamped = nullptr,
    .sineCosine = SineCosine,
    .cosine = Cosine,
};
