// 3DNow! forms of the square-root and vector routines: the instruction set's reciprocal and
// reciprocal-square-root estimates, none of them refined. 3DNow! works in the MMX registers,
// which share the x87 register stack; each routine empties it with femms before and after,
// so the caller finds the x87 unit free. Written in inline assembly so that no compiler-
// scheduled x87 instruction can fall between the two femms; the file itself is built for
// plain i686, so the compiler emits no MMX or 3DNow! instruction of its own here. The
// MMX registers are the x87 registers under other names: each block declares the whole
// x87 stack clobbered, which covers them.
#include <cstdint>
#include <cstring>

#include "mathlib/math_routines.h"
#include "mathlib/x87_instructions.h"

namespace {

std::uint32_t BitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float FloatOf(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

constexpr std::uint32_t kOneBits = 0x3F800000;

float SquareRoot(float x) {
    std::uint32_t bits = BitsOf(x);
    asm volatile(
        "femms\n\t"
        "movd %[bits], %%mm0\n\t"
        "pfrsqrt %%mm0, %%mm1\n\t"  // r ≈ 1/√x
        "pfmul %%mm1, %%mm0\n\t"    // x·r
        "movd %%mm0, %[bits]\n\t"
        "femms"
        : [bits] "+r"(bits)
        :
        : "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)");
    return FloatOf(bits);
}

float InverseSquareRoot(float x) {
    // The division is the x87 unit's, at its working precision, rounded once on return.
    return RoundedToSingle(1.0L / SquareRoot(x));
}

float NormalizeAndLength(Vec3f& v) {
    // A zero vector (negative zeros count as zero, a NaN does not) is left alone.
    if (v.x == 0.0f && v.y == 0.0f && v.z == 0.0f) return 0.0f;
    std::uint32_t length;
    asm volatile(
        "femms\n\t"
        "movq (%[v]), %%mm0\n\t"   // x | y
        "movd 8(%[v]), %%mm1\n\t"  // z | 0
        "movq %%mm0, %%mm2\n\t"
        "pfmul %%mm2, %%mm2\n\t"  // x·x | y·y
        "pfacc %%mm2, %%mm2\n\t"  // x·x + y·y
        "movq %%mm1, %%mm3\n\t"
        "pfmul %%mm3, %%mm3\n\t"    // z·z
        "pfadd %%mm3, %%mm2\n\t"    // s = (x·x + y·y) + z·z
        "pfrsqrt %%mm2, %%mm3\n\t"  // r ≈ 1/√s, no epsilon
        "pfmul %%mm3, %%mm0\n\t"
        "pfmul %%mm3, %%mm1\n\t"
        "pfmul %%mm3, %%mm2\n\t"  // s·r, the estimated length
        "movq %%mm0, (%[v])\n\t"
        "movd %%mm1, 8(%[v])\n\t"
        "movd %%mm2, %[length]\n\t"
        "femms"
        : [length] "=&r"(length), "+m"(v)
        : [v] "r"(&v)
        : "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)");
    return FloatOf(length);
}

void NormalizeOnly(Vec3f& v) {
    NormalizeAndLength(v);
}

float InverseLengthSquaredClamped(const Vec3f* v) {
    std::uint32_t result;
    asm volatile(
        "femms\n\t"
        "movq (%[v]), %%mm0\n\t"   // x | y
        "movd 8(%[v]), %%mm1\n\t"  // z | 0
        "pfmul %%mm0, %%mm0\n\t"
        "pfacc %%mm0, %%mm0\n\t"  // x·x + y·y
        "pfmul %%mm1, %%mm1\n\t"
        "pfadd %%mm1, %%mm0\n\t"  // s
        "movd %[one], %%mm1\n\t"
        "pfmax %%mm1, %%mm0\n\t"  // max(s, 1)
        "pfrcp %%mm0, %%mm0\n\t"
        "movd %%mm0, %[result]\n\t"
        "femms"
        : [result] "=&r"(result)
        : [v] "r"(v), [one] "r"(kOneBits), "m"(*v)
        : "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)");
    return FloatOf(result);
}

}  // namespace

constinit const MathRoutineTable k3DNowMathRoutines{
    .squareRoot = SquareRoot,
    .inverseSquareRoot = InverseSquareRoot,
    .inverseSquareRootEstimate = InverseSquareRoot,
    .normalizeAndLength = NormalizeAndLength,
    .normalizeOnly = NormalizeOnly,
    .inverseLengthSquaredClamped = InverseLengthSquaredClamped,
    .sineCosine = nullptr,
    .cosine = nullptr,
};
