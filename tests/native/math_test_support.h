#pragma once

// Small helpers shared by the math library's unit tests.

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "mathlib/math_routines.h"

namespace math_test {

// The eight entries of a routine table as plain addresses, in table order.
inline std::array<std::uintptr_t, 8> Entries(const MathRoutineTable& table) {
    return {reinterpret_cast<std::uintptr_t>(table.squareRoot),
            reinterpret_cast<std::uintptr_t>(table.inverseSquareRoot),
            reinterpret_cast<std::uintptr_t>(table.inverseSquareRootEstimate),
            reinterpret_cast<std::uintptr_t>(table.normalizeAndLength),
            reinterpret_cast<std::uintptr_t>(table.normalizeOnly),
            reinterpret_cast<std::uintptr_t>(table.inverseLengthSquaredClamped),
            reinterpret_cast<std::uintptr_t>(table.sineCosine),
            reinterpret_cast<std::uintptr_t>(table.cosine)};
}

inline std::uint32_t Bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

inline double RelativeError(double actual, double expected) {
    return std::fabs(actual - expected) / std::fabs(expected);
}

// A deterministic spread of inputs: xorshift, so failures reproduce.
class Inputs {
public:
    explicit Inputs(std::uint32_t seed) : m_nState(seed) {}
    std::uint32_t NextBits() {
        m_nState ^= m_nState << 13;
        m_nState ^= m_nState >> 17;
        m_nState ^= m_nState << 5;
        return m_nState;
    }
    // Uniform in [low, high).
    float Uniform(float low, float high) {
        return low + (high - low) * static_cast<float>(NextBits() >> 8) * 0x1p-24f;
    }
    // Spread over many binades: 2^(−exponentRange) to 2^exponentRange.
    float Magnitude(int exponentRange) {
        const float mantissa = Uniform(1.0f, 2.0f);
        const int exponent = static_cast<int>(NextBits() % (2 * exponentRange + 1)) - exponentRange;
        return std::ldexp(mantissa, exponent);
    }

private:
    std::uint32_t m_nState;
};

}  // namespace math_test
