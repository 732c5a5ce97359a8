#pragma once

#include <cstdint>

// Lookup tables between linear light, texture gamma, display gamma and the fixed gamma 2.2,
// with brightness and overbright scaling. Zero until the first InitMathSupport builds them.

inline constexpr int kLevelCount = 256;             // 8-bit levels
inline constexpr int kLinearLevelCount = 1024;      // linear levels l/1023
inline constexpr int kOverbrightLevelCount = 4096;  // linear levels l/1024, up to almost 4

extern std::uint8_t g_TextureLevelToDisplay[kLevelCount];
extern std::int32_t g_LinearToDisplayLevel[kLinearLevelCount];
extern float g_TextureLevelToLinear[kLevelCount];
extern float g_LinearToGamma22[kLevelCount];
extern float g_Gamma22ToLinear[kLevelCount];
extern std::int32_t g_LinearToTextureLevel[kLinearLevelCount];
extern float g_OverbrightLinearScale[kOverbrightLevelCount];
extern std::uint8_t g_OverbrightDisplayLevel[kOverbrightLevelCount];

// Builds all eight tables; InitMathSupport calls it once with its first four arguments.
void MakeGammaLookups(float gamma, float textureGamma, float brightness, int overbrightFactor);
