#include "mathlib/math_init.h"

#include "mathlib/gamma_tables.h"
#include "mathlib/math_routines.h"
#include "mathlib/sine_table.h"
#include "support/platform.h"

constinit MathRoutineTable g_MathRoutines{};

constinit bool g_MathReady = false;
constinit bool g_3DNowUsable = false;
constinit bool g_SSEUsable = false;
constinit bool g_SSE2Usable = false;
constinit bool g_Feature40Usable = false;

void SelectMathRoutines(std::uint8_t featureBits, bool permit3DNow, bool permitSSE, bool permitSSE2,
                        bool permitFeature40) {
    MathRoutineTable& table = g_MathRoutines;
    table = kDefaultMathRoutines;

    g_Feature40Usable = permitFeature40 && (featureBits & kCpuFeature40) != 0;

    g_3DNowUsable = permit3DNow && (featureBits & kCpuFeature3DNow) != 0;
    if (g_3DNowUsable) {
        const MathRoutineTable& amd = k3DNowMathRoutines;
        table.squareRoot = amd.squareRoot;
        table.inverseSquareRoot = amd.inverseSquareRoot;
        table.inverseSquareRootEstimate = amd.inverseSquareRootEstimate;
        table.normalizeAndLength = amd.normalizeAndLength;
        table.normalizeOnly = amd.normalizeOnly;
        table.inverseLengthSquaredClamped = amd.inverseLengthSquaredClamped;
    }

    g_SSEUsable = permitSSE && (featureBits & kCpuFeatureSSE) != 0;
    if (g_SSEUsable) {
        const MathRoutineTable& sse = kSSEMathRoutines;
        table.squareRoot = sse.squareRoot;
        table.inverseSquareRoot = sse.inverseSquareRoot;
        table.inverseSquareRootEstimate = sse.inverseSquareRootEstimate;
        // There is no SSE form; an SSE processor keeps the default even over a 3DNow! one.
        table.normalizeAndLength = kDefaultMathRoutines.normalizeAndLength;
        table.normalizeOnly = sse.normalizeOnly;
        table.inverseLengthSquaredClamped = sse.inverseLengthSquaredClamped;
        table.sineCosine = sse.sineCosine;
        table.cosine = sse.cosine;
    }

    // Independent of the SSE step: SSE2 without SSE permission still gets these two.
    g_SSE2Usable = permitSSE2 && (featureBits & kCpuFeatureSSE2) != 0;
    if (g_SSE2Usable) {
        table.sineCosine = kSSE2MathRoutines.sineCosine;
        table.cosine = kSSE2MathRoutines.cosine;
    }
}

void InitMathSupport(float gamma, float textureGamma, float brightness, int overbrightFactor,
                     bool permit3DNow, bool permitSSE, bool permitSSE2, bool permitFeature40) {
    // The plugin may be loaded again in the same process; only the first call counts.
    if (g_MathReady) return;
    const CPUInformation* processor = EngineProcessorInformation();
    SelectMathRoutines(processor->m_nFeatureBits, permit3DNow, permitSSE, permitSSE2,
                       permitFeature40);
    g_MathReady = true;
    FillSineSamples();
    MakeGammaLookups(gamma, textureGamma, brightness, overbrightFactor);
}
