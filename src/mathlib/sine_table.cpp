#include "mathlib/sine_table.h"

#include "mathlib/x87_instructions.h"

constinit float g_SineSamples[kSineSampleCount] = {};

void FillSineSamples() {
    // The double nearest 2π/256; product and sine are taken at the x87 unit's precision
    // and rounded only when stored, so entry 128 is sin(double π): tiny, not zero.
    constexpr double kStep = 0.024543692606170259;
    for (int i = 0; i < kSineSampleCount; ++i) {
        const long double angle = static_cast<long double>(i) * kStep;
        g_SineSamples[i] = static_cast<float>(x87::Sine(angle));
    }
}
