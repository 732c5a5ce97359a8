#pragma once

// Small helpers shared by the math library's unit tests.

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

#include "mathlib/math_routines.h"

namespace math_test {

// The eight entries of a routine table as plain addresses, in table order.
inline std::array<std::uintptr_t, 8> Entries(const MathRoutineTable& t) {
    const auto address = [](auto routine) { return reinterpret_cast<std::uintptr_t>(routine); };
    return {address(t.squareRoot),
            address(t.inverseSquareRoot),
            address(t.inverseSquareRootEstimate),
            address(t.normalizeAndLength),
            address(t.normalizeOnly),
            address(t.inverseLengthSquaredClamped),
            address(t.sineCosine),
            address(t.cosine)};
}

inline std::uint32_t Bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

inline double RelativeError(double actual, double expected) {
    return std::fabs(actual - expected) / std::fabs(expected);
}

// A reproducible spread of inputs in [low, high) (xorshift).
class Inputs {
public:
    explicit Inputs(std::uint32_t seed) : m_nState(seed) {}
    std::uint32_t NextBits() {
        m_nState ^= m_nState << 13;
        m_nState ^= m_nState >> 17;
        m_nState ^= m_nState << 5;
        return m_nState;
    }
    float Uniform(float low, float high) {
        return low + (high - low) * static_cast<float>(NextBits() >> 8) * 0x1p-24f;
    }
    // Over many binades, 2^-range to 2^range.
    float Magnitude(int range) { return std::exp2(Uniform(-float(range), float(range))); }

private:
    std::uint32_t m_nState;
};

}  // namespace math_test
