#pragma once

// What both math benchmarks time, the native one and the i686 one under Wine: the same
// inputs from the same generator and seed, the same empty routines for the floor, and the
// same loop of calls through a routine table.

#include <cmath>

#include "mathlib/math_routines.h"

namespace math_bench {

inline constexpr int kInputCount = 1024;

struct Inputs {
    float positive[kInputCount];  // 1e-3 to 1e3, spread over the binades
    float angles[kInputCount];    // −10 to 10 radians
    Vec3f vectors[kInputCount];   // components −100 to 100
};

// Calls use(positive, angle, vector) count times with inputs from the generator seeded with
// seed, spread as the fields of Inputs say.
template <typename Use>
void ForEachInput(int count, unsigned seed, Use use) {
    unsigned state = seed;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(state >> 8) * 0x1p-24f;
    };
    for (int i = 0; i < count; ++i) {
        const float positive = std::pow(10.0f, next() * 6 - 3);
        const float angle = next() * 20 - 10;
        const Vec3f vector{next() * 200 - 100, next() * 200 - 100, next() * 200 - 100};
        use(positive, angle, vector);
    }
}

inline Inputs MakeInputs() {
    Inputs inputs{};
    int i = 0;
    ForEachInput(kInputCount, 2024, [&](float positive, float angle, const Vec3f& vector) {
        inputs.positive[i] = positive;
        inputs.angles[i] = angle;
        inputs.vectors[i] = vector;
        ++i;
    });
    return inputs;
}

inline const Inputs g_Inputs = MakeInputs();

// Results go to arrays, so that no call waits for the one before: a loop measures what the
// calls cost, not a chain of additions.
inline float g_Results[kInputCount];
inline float g_SecondResults[kInputCount];
inline Vec3f g_Vectors[kInputCount];

// The floor: routines that do nothing, on the table's signatures.
inline float EmptyScalar(float x) {
    return x;
}
inline float EmptyNormalizeAndLength(Vec3f& v) {
    return v.x;
}
inline void EmptyNormalizeOnly(Vec3f&) {}
inline float EmptyInverseLengthSquared(const Vec3f* v) {
    return v->x;
}
inline void EmptySineCosine(float angle, float* sine, float* cosine) {
    *sine = angle;
    *cosine = angle;
}
inline const MathRoutineTable kEmptyRoutines{EmptyScalar,        EmptyScalar,
                                             EmptyScalar,        EmptyNormalizeAndLength,
                                             EmptyNormalizeOnly, EmptyInverseLengthSquared,
                                             EmptySineCosine,    EmptyScalar};

inline const char* const kEntryNames[] = {"squareRoot",
                                          "inverseSquareRoot",
                                          "inverseSquareRootEstimate",
                                          "normalizeAndLength",
                                          "normalizeOnly",
                                          "inverseLengthSquaredClamped",
                                          "sineCosine",
                                          "cosine"};

// One pass over the inputs through entry kEntry of table. The entry is read afresh for
// every call (the call is opaque to the compiler): exactly one indirect call per input.
template <int kEntry>
inline void CallOverInputs(const MathRoutineTable& table) {
    const Inputs& in = g_Inputs;
    for (int i = 0; i < kInputCount; ++i) {
        if constexpr (kEntry == 0) {
            g_Results[i] = table.squareRoot(in.positive[i]);
        } else if constexpr (kEntry == 1) {
            g_Results[i] = table.inverseSquareRoot(in.positive[i]);
        } else if constexpr (kEntry == 2) {
            g_Results[i] = table.inverseSquareRootEstimate(in.positive[i]);
        } else if constexpr (kEntry == 3) {
            g_Vectors[i] = in.vectors[i];
            g_Results[i] = table.normalizeAndLength(g_Vectors[i]);
        } else if constexpr (kEntry == 4) {
            g_Vectors[i] = in.vectors[i];
            table.normalizeOnly(g_Vectors[i]);
        } else if constexpr (kEntry == 5) {
            g_Results[i] = table.inverseLengthSquaredClamped(&in.vectors[i]);
        } else if constexpr (kEntry == 6) {
            table.sineCosine(in.angles[i], &g_Results[i], &g_SecondResults[i]);
        } else {
            g_Results[i] = table.cosine(in.angles[i]);
        }
    }
}

}  // namespace math_bench
