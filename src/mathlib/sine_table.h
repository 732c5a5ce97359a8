#pragma once

inline constexpr int kSineSampleCount = 256;

// One full period: entry i = sin(i · 2π/256), filled once at start-up.
extern float g_SineSamples[kSineSampleCount];

void FillSineSamples();
