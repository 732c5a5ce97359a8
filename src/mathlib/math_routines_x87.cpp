// The default routines, for any i686: the x87 unit's square root, division and
// trigonometric instructions. Arithmetic is done on long double, which is the unit's
// working precision; a value is rounded to single precision only where it is stored or
// returned. Returned values go through RoundedToSingle: on i686 a float returned in st(0)
// would otherwise leave with the unit's extra bits.
#include <cmath>
#include <limits>

#include "mathlib/math_routines.h"
#include "mathlib/x87_instructions.h"

namespace {

// 2^-23: keeps the scale factor of a zero vector finite.
constexpr long double kLengthEpsilon = 0x1p-23;

float SquareRoot(float x) {
    return RoundedToSingle(x87::SquareRoot(x));
}

float InverseSquareRoot(float x) {
    return RoundedToSingle(1.0L / x87::SquareRoot(x));
}

long double LengthSquared(const Vec3f& v) {
    const long double x = v.x;
    const long double y = v.y;
    const long double z = v.z;
    return (x * x + y * y) + z * z;
}

float NormalizeAndLength(Vec3f& v) {
    const long double length = x87::SquareRoot(LengthSquared(v));
    const long double scale = 1.0L / (length + kLengthEpsilon);
    v.x = static_cast<float>(v.x * scale);
    v.y = static_cast<float>(v.y * scale);
    v.z = static_cast<float>(v.z * scale);
    return RoundedToSingle(length);
}

void NormalizeOnly(Vec3f& v) {
    NormalizeAndLength(v);
}

float InverseLengthSquaredClamped(const Vec3f* v) {
    const long double lengthSquared = LengthSquared(*v);
    if (lengthSquared < 1.0L) return 1.0f;
    return RoundedToSingle(1.0L / lengthSquared);
}

void SineCosine(float angle, float* sine, float* cosine) {
    // An infinite or NaN angle has no sine; the instruction would raise an invalid operation.
    if (!std::isfinite(angle)) {
        *sine = *cosine = std::numeric_limits<float>::quiet_NaN();
        return;
    }
    long double s;
    long double c;
    x87::SineCosine(angle, s, c);
    *sine = static_cast<float>(s);
    *cosine = static_cast<float>(c);
}

float Cosine(float angle) {
    if (!std::isfinite(angle)) return std::numeric_limits<float>::quiet_NaN();
    return RoundedToSingle(x87::Cosine(angle));
}

}  // namespace

constinit const MathRoutineTable kDefaultMathRoutines{
    .squareRoot = SquareRoot,
    .inverseSquareRoot = InverseSquareRoot,
    .inverseSquareRootEstimate = InverseSquareRoot,
    .normalizeAndLength = NormalizeAndLength,
    .normalizeOnly = NormalizeOnly,
    .inverseLengthSquaredClamped = InverseLengthSquaredClamped,
    .sineCosine = SineCosine,
    .cosine = Cosine,
};
