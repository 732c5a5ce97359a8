#include "mathlib/gamma_tables.h"

#include <cmath>

#include "support/single_precision.h"

constinit std::uint8_t g_TextureLevelToDisplay[kLevelCount] = {};
constinit std::int32_t g_LinearToDisplayLevel[kLinearLevelCount] = {};
constinit float g_TextureLevelToLinear[kLevelCount] = {};
constinit float g_LinearToGamma22[kLevelCount] = {};
constinit float g_Gamma22ToLinear[kLevelCount] = {};
constinit std::int32_t g_LinearToTextureLevel[kLinearLevelCount] = {};
constinit float g_OverbrightLinearScale[kOverbrightLevelCount] = {};
constinit std::uint8_t g_OverbrightDisplayLevel[kOverbrightLevelCount] = {};

namespace {

constexpr float kGammaCeiling = 3.0f;
// 1/255 in single precision lies slightly above 1/255, so 255·i·step never falls below i.
constexpr float kLevelStep = 0x1.010102p-8f;
constexpr double kLinearStep = 1.0 / 1023;
constexpr double kOverbrightStep = 1.0 / 1024;
constexpr float kKneeAtOrBelowZero = 0.125f;
constexpr float kKneeAboveOne = 0.05f;
constexpr double kKneeSlope = 0.075;
constexpr float kLowerSegmentHeight = 0.125f;
constexpr double kUpperSegmentOffset = 0.125;
constexpr double kUpperSegmentHeight = 0.875;
constexpr double kOutputScale = 255.0;
constexpr float kFixedGamma = 2.2f;
constexpr float kFixedInverseGamma = 1.0f / kFixedGamma;

// Linear levels up to the knee t map onto 0..0.125 before the power is applied; t is 0.125
// for no brightness and falls to 0.05 at brightness 1.
float Knee(float brightness) {
    if (brightness <= 0.0f) return kKneeAtOrBelowZero;
    if (brightness > 1.0f) return kKneeAboveOne;
    const double squared = static_cast<double>(brightness) * brightness;
    return RoundedToSingle(kKneeAtOrBelowZero - kKneeSlope * squared);
}

double Shaped(double f, float knee) {
    if (f <= knee) return (f / knee) * kLowerSegmentHeight;
    return kUpperSegmentOffset + ((f - knee) / (1.0 - knee)) * kUpperSegmentHeight;
}

float OverbrightMultiplier(int overbrightFactor) {
    if (overbrightFactor == 2) return 0.5f;
    if (overbrightFactor == 4) return 0.25f;
    return 1.0f;
}

// Truncates toward zero into 0..255. Only arguments outside the tables' use (a gamma of
// zero or below) give values out of range or NaN; they are clamped, NaN to 0, rather than
// converted out of the integer's range.
std::int32_t TruncatedLevel(double value) {
    if (!(value >= 0.0)) return 0;
    if (value >= 255.0) return 255;
    return static_cast<std::int32_t>(value);
}

// Rounds to the nearest level, ties to even, independently of the unit's rounding mode.
std::uint8_t RoundedLevel(float value) {
    if (!(value >= 0.0f)) return 0;
    if (value >= 255.0f) return 255;
    const auto whole = static_cast<std::int32_t>(value);
    const double rest = static_cast<double>(value) - whole;  // exact
    const bool up = rest > 0.5 || (rest == 0.5 && (whole & 1) != 0);
    return static_cast<std::uint8_t>(up ? whole + 1 : whole);
}

}  // namespace

void MakeGammaLookups(float gamma, float textureGamma, float brightness, int overbrightFactor) {
    // The ceiling applies to tables 1 and 2 only; tables 7 and 8 use the gamma as given.
    const float g = gamma > kGammaCeiling ? kGammaCeiling : gamma;
    // Values rounded to single precision go through memory: on i686 a conversion alone
    // may leave the x87 unit's extra bits in place.
    const double inverseG = RoundedToSingle(1.0 / g);
    const double textureExponent = RoundedToSingle(textureGamma * (1.0 / g));
    const float knee = Knee(brightness);

    for (int i = 0; i < kLevelCount; ++i) {
        const double level = i * static_cast<double>(kLevelStep);
        g_TextureLevelToDisplay[i] = static_cast<std::uint8_t>(
            TruncatedLevel(kOutputScale * std::pow(level, textureExponent)));
    }

    for (int j = 0; j < kLinearLevelCount; ++j) {
        double f = j * kLinearStep;
        if (brightness > 1.0f) f = f * brightness;
        f = Shaped(f, knee);
        g_LinearToDisplayLevel[j] = TruncatedLevel(kOutputScale * std::pow(f, inverseG));
    }

    for (int k = 0; k < kLevelCount; ++k) {
        // Table 3 takes the level at full precision (entry 255 lies just above 1); tables 4
        // and 5 take it rounded to single precision.
        const double u = k * static_cast<double>(kLevelStep);
        const double us = RoundedToSingle(u);
        g_TextureLevelToLinear[k] =
            static_cast<float>(std::pow(u, static_cast<double>(textureGamma)));
        g_LinearToGamma22[k] =
            static_cast<float>(std::pow(us, static_cast<double>(kFixedInverseGamma)));
        g_Gamma22ToLinear[k] = static_cast<float>(std::pow(us, static_cast<double>(kFixedGamma)));
    }

    const double inverseTextureGamma = RoundedToSingle(1.0 / textureGamma);
    for (int l = 0; l < kLinearLevelCount; ++l) {
        g_LinearToTextureLevel[l] =
            TruncatedLevel(kOutputScale * std::pow(l * kLinearStep, inverseTextureGamma));
    }

    const double inverseGamma = RoundedToSingle(1.0 / gamma);
    const double multiplier = OverbrightMultiplier(overbrightFactor);
    for (int l = 0; l < kOverbrightLevelCount; ++l) {
        const double w = std::pow(l * kOverbrightStep, inverseGamma) * multiplier;
        g_OverbrightLinearScale[l] = w > 1.0 ? 1.0f : static_cast<float>(w);
        g_OverbrightDisplayLevel[l] = RoundedLevel(RoundedToSingle(w * kOutputScale));
    }
}
