#pragma once

#include <bit>
#include <cstdint>
#include <limits>

// Single-precision constants of the fast routines, written as exact hexadecimal values.
// Constants only: this header is shared by files built for different instruction sets.
namespace fast_math {

inline constexpr float kLengthEpsilon = 0x1p-23f;
inline constexpr float kHalf = 0.5f;
inline constexpr float kThree = 3.0f;
inline constexpr float kOne = 1.0f;
inline constexpr float kTwoOverPi = 0x1.45f306p-1f;
inline constexpr float kHalfPi = 0x1.921fb6p+0f;

// The quarter-wave polynomial P(t) = t·(c0 + t²·(c1 + t²·(c2 + t²·c3))): the first four
// Taylor coefficients of sin(π·t/2), which it approximates on 0 ≤ t ≤ 1 within 1.6e-4.
inline constexpr float kC0 = 0x1.921fb6p+0f;
inline constexpr float kC1 = -0x1.4abbcep-1f;
inline constexpr float kC2 = 0x1.466bc6p-4f;
inline constexpr float kC3 = -0x1.32d2ccp-8f;

inline constexpr std::uint32_t kAbsoluteValueMask = 0x7FFFFFFF;
inline constexpr std::uint32_t kSignMask = 0x80000000;

// A quarter count of 2^31 or more does not fit the 32-bit conversion. Every float that
// large is a multiple of 256 quarters, so it is taken as 0 quarters and fraction 0: the
// result the count would give if it had no limit.
inline constexpr float kQuarterCountLimit = 0x1p31f;
inline constexpr float kInfinity = std::numeric_limits<float>::infinity();
// What an infinite or NaN angle gives, in every form alike: it has no quarter count.
inline constexpr float kNoAngleResult = std::numeric_limits<float>::quiet_NaN();

static_assert(std::bit_cast<std::uint32_t>(kLengthEpsilon) == 0x34000000);
static_assert(std::bit_cast<std::uint32_t>(kTwoOverPi) == 0x3F22F983);
static_assert(std::bit_cast<std::uint32_t>(kHalfPi) == 0x3FC90FDB);
static_assert(std::bit_cast<std::uint32_t>(kC1) == 0xBF255DE7);
static_assert(std::bit_cast<std::uint32_t>(kC2) == 0x3DA335E3);
static_assert(std::bit_cast<std::uint32_t>(kC3) == 0xBB996966);
static_assert(std::bit_cast<std::uint32_t>(kNoAngleResult) == 0x7FC00000);

}  // namespace fast_math
