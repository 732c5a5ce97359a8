// SSE2 forms of sineCosine and cosine: the SSE computation with packed integer operations,
// the quarter count's parity turned into a selection mask and its bit 1 shifted into the
// sign bit. Every lane performs the same single-precision steps as the SSE forms, so the
// results are the same bits. The sine and the cosine of sineCosine share one pass, in lanes
// 0 and 1.
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

constexpr Lanes kOnes{kOne};
constexpr Lanes kTwoOverPis{kTwoOverPi};
constexpr Lanes kHalfPis{kHalfPi};
constexpr Lanes kParityBits{1u, 1u};
constexpr Lanes kHalfTurnBits{2u, 2u};
// The cosine follows the sine's quarter logic one quarter further on.
constexpr Lanes kCosineQuarter{0u, 1u};

struct Quarters {
    __m128i count;
    __m128 fraction;
};

// Lane 0 of a is the angle's magnitude in quarter periods. As in the SSE forms, a count of
// 2^31 or more is taken as 0 quarters and fraction 0; false for an infinite or NaN angle.
bool SplitIntoQuarters(__m128 a, Quarters& quarters) {
    const float magnitude = _mm_cvtss_f32(a);
    if (!(magnitude < kQuarterCountLimit)) [[unlikely]] {
        quarters = {_mm_setzero_si128(), _mm_setzero_ps()};
        return magnitude < kInfinity;
    }
    const __m128i count = _mm_cvttps_epi32(a);
    quarters = {count, _mm_min_ps(_mm_sub_ps(a, _mm_cvtepi32_ps(count)), Load(kOnes))};
    return true;
}

// t = fraction in lanes whose count is even, 1 − fraction where it is odd.
__m128 ChooseT(const Quarters& quarters) {
    const __m128i parity = _mm_and_si128(quarters.count, LoadIntegers(kParityBits));
    const __m128 even = _mm_castsi128_ps(_mm_cmpeq_epi32(parity, _mm_setzero_si128()));
    const __m128 rest = _mm_sub_ps(Load(kOnes), quarters.fraction);
    return _mm_or_ps(_mm_and_ps(even, quarters.fraction), _mm_andnot_ps(even, rest));
}

// Bit 1 of each count (an odd number of half periods), shifted into the sign bit.
__m128i HalfTurnSign(__m128i count) {
    return _mm_slli_epi32(_mm_and_si128(count, LoadIntegers(kHalfTurnBits)), 30);
}

void SineCosine(float angle, float* sine, float* cosine) {
    const __m128 alpha = _mm_set1_ps(angle);
    const __m128 a = _mm_and_ps(_mm_mul_ps(alpha, Load(kTwoOverPis)), Load(kMagnitude));
    Quarters quarters;
    if (!SplitIntoQuarters(a, quarters)) [[unlikely]] {
        *sine = *cosine = kNoAngleResult;
        return;
    }
    quarters.count = _mm_add_epi32(quarters.count, LoadIntegers(kCosineQuarter));
    const __m128i angleSign = _mm_and_si128(_mm_castps_si128(alpha), LoadIntegers(kSineSign));
    const __m128i signBits = _mm_xor_si128(HalfTurnSign(quarters.count), angleSign);
    const __m128 result = QuarterWave(ChooseT(quarters), _mm_castsi128_ps(signBits));
    _mm_store_ss(sine, result);
    _mm_store_ss(cosine, _mm_shuffle_ps(result, result, _MM_SHUFFLE(1, 1, 1, 1)));
}

float Cosine(float angle) {
    const __m128 magnitude = _mm_and_ps(_mm_set1_ps(angle), Load(kMagnitude));
    const __m128 shifted = _mm_add_ps(magnitude, Load(kHalfPis));
    Quarters quarters;
    if (!SplitIntoQuarters(_mm_mul_ps(shifted, Load(kTwoOverPis)), quarters)) [[unlikely]] {
        return kNoAngleResult;
    }
    return _mm_cvtss_f32(
        QuarterWave(ChooseT(quarters), _mm_castsi128_ps(HalfTurnSign(quarters.count))));
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
