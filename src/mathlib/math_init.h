#pragma once

#include <cstdint>

// Brings the math library up once per process: routine selection by processor features,
// the sine table and the gamma tables. Later calls change nothing.
void InitMathSupport(float gamma, float textureGamma, float brightness, int overbrightFactor,
                     bool permit3DNow, bool permitSSE, bool permitSSE2, bool permitFeature40);

// Fills g_MathRoutines and the four usable flags for a processor feature byte and the
// four permissions. InitMathSupport calls it once; tests call it for every combination.
void SelectMathRoutines(std::uint8_t featureBits, bool permit3DNow, bool permitSSE, bool permitSSE2,
                        bool permitFeature40);

// False until the first initialisation; a usable flag says the extension was permitted and
// present, not that any of its routines is in the table.
extern bool g_MathReady;
extern bool g_3DNowUsable;
extern bool g_SSEUsable;
extern bool g_SSE2Usable;
extern bool g_Feature40Usable;
