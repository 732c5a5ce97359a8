#pragma once

// The x87 unit's own square root and trigonometric instructions, on values at the unit's
// working precision. Only for files built for plain i686: inline functions here must not be
// merged with code built for a raised instruction set.

#include "support/single_precision.h"

namespace x87 {

inline long double SquareRoot(long double x) {
    long double result;
    asm("fsqrt" : "=t"(result) : "0"(x));
    return result;
}

// fsin, fcos and fsincos refuse operands of magnitude 2^63 and above (they set C2 and leave
// the operand unchanged). fprem1 reduces such an angle modulo 2π, up to 63 binary places
// per pass, until it no longer reports the reduction incomplete (C2).
inline long double IntoTrigonometricRange(long double angle) {
    constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;
    constexpr long double kLimit = 0x1p63L;
    if (angle > -kLimit && angle < kLimit) return angle;
    asm("1:\n\t"
        "fprem1\n\t"
        "fnstsw %%ax\n\t"
        "testw $0x400, %%ax\n\t"
        "jnz 1b"
        : "+t"(angle)
        : "u"(kTwoPi)
        : "ax", "cc");
    return angle;
}

// Finite angles only.
inline long double Sine(long double angle) {
    long double result;
    asm("fsin" : "=t"(result) : "0"(IntoTrigonometricRange(angle)));
    return result;
}

inline long double Cosine(long double angle) {
    long double result;
    asm("fcos" : "=t"(result) : "0"(IntoTrigonometricRange(angle)));
    return result;
}

inline void SineCosine(long double angle, long double& sine, long double& cosine) {
    asm("fsincos" : "=t"(cosine), "=u"(sine) : "0"(IntoTrigonometricRange(angle)));
}

}  // namespace x87
