#pragma once

// The eight math operations, reached through one process-wide table of routine pointers
// that start-up fills with the best implementation the processor allows.

struct Vec3f {
    float x;
    float y;
    float z;
};

struct MathRoutineTable {
    float (*squareRoot)(float x);
    float (*inverseSquareRoot)(float x);
    // May be less accurate than inverseSquareRoot.
    float (*inverseSquareRootEstimate)(float x);
    // Scales v to unit length in place and returns the length it had.
    float (*normalizeAndLength)(Vec3f& v);
    void (*normalizeOnly)(Vec3f& v);
    // 1 / max(x² + y² + z², 1).
    float (*inverseLengthSquaredClamped)(const Vec3f* v);
    void (*sineCosine)(float angle, float* sine, float* cosine);
    float (*cosine)(float angle);
};

// Filled once by InitMathSupport; read-only afterwards.
extern MathRoutineTable g_MathRoutines;

// Every implementation of each processor variant, each set in the file built for its
// instruction set. An operation a variant has no form of is null there.
extern const MathRoutineTable kDefaultMathRoutines;  // x87, runs on every i686
extern const MathRoutineTable k3DNowMathRoutines;    // entries 0 to 5
extern const MathRoutineTable kSSEMathRoutines;      // every entry but normalizeAndLength
extern const MathRoutineTable kSSE2MathRoutines;     // sineCosine and cosine
