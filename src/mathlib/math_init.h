#pragma once

// Brings the math library up once per process: routine selection by processor features,
// the sine table and the gamma tables. Later calls change nothing.
void InitMathSupport(float gamma, float textureGamma, float brightness, int overbrightFactor,
                     bool permit3DNow, bool permitSSE, bool permitSSE2, bool permitFeature40);
