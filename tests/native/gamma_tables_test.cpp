// The gamma and brightness tables for the plugin's arguments and for the other knobs.
#include "mathlib/gamma_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace {

template <typename Element, int N>
bool AllFrom(const Element (&table)[N], int first, Element value) {
    return std::all_of(table + first, table + N, [value](Element e) { return e == value; });
}

TEST(GammaTables, ThePluginsArguments) {
    MakeGammaLookups(2.2f, 2.2f, 0.0f, 2);
    // Exponent exactly 1, and the level step lies just above 1/255: nothing is lost.
    for (int i = 0; i < kLevelCount; ++i) ASSERT_EQ(g_TextureLevelToDisplay[i], i);
    const int start[] = {0, 10, 14, 18, 20, 22, 24, 26};
    const int overbrightStart[] = {0, 5, 7, 9, 10, 11, 12, 13};
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(g_LinearToDisplayLevel[j], start[j]) << j;
        EXPECT_EQ(g_LinearToTextureLevel[j], start[j]) << j;
        EXPECT_EQ(g_OverbrightDisplayLevel[j], overbrightStart[j]) << j;
    }
    EXPECT_TRUE(g_LinearToDisplayLevel[1023] == 255 && g_LinearToTextureLevel[1023] == 255);
    EXPECT_EQ(g_TextureLevelToLinear[0], 0.0f);
    EXPECT_EQ(g_TextureLevelToLinear[255], 1.00000012f);  // from the level just above 1
    EXPECT_TRUE(g_LinearToGamma22[255] == 1.0f && g_Gamma22ToLinear[255] == 1.0f);
    EXPECT_NEAR(g_LinearToGamma22[128], 0.73104, 1e-5);
    EXPECT_NEAR(g_Gamma22ToLinear[128], 0.21952, 1e-5);
    EXPECT_EQ(g_OverbrightLinearScale[0], 0.0f);
    EXPECT_EQ(g_OverbrightLinearScale[1024], 0.5f);
    EXPECT_NEAR(g_OverbrightLinearScale[4095], 0.93883, 1e-5);
    EXPECT_EQ(g_OverbrightDisplayLevel[1024], 128);  // 127.5, ties to even
    EXPECT_EQ(g_OverbrightDisplayLevel[4095], 239);
}

TEST(GammaTables, OverbrightFactors) {
    for (int factor : {1, 3, 0, -2}) {
        MakeGammaLookups(2.2f, 2.2f, 0.0f, factor);
        EXPECT_TRUE(AllFrom(g_OverbrightLinearScale, 1024, 1.0f)) << factor;
        EXPECT_TRUE(AllFrom(g_OverbrightDisplayLevel, 1024, std::uint8_t{255})) << factor;
        EXPECT_LT(g_OverbrightLinearScale[1023], 1.0f) << factor;
    }
    MakeGammaLookups(2.2f, 2.2f, 0.0f, 4);
    EXPECT_EQ(g_OverbrightDisplayLevel[1024], 64);
}

TEST(GammaTables, BrightnessMovesTheKneeOfTableTwoOnly) {
    MakeGammaLookups(2.2f, 2.2f, 2.0f, 2);  // knee 0.05 and levels doubled
    EXPECT_EQ(g_LinearToDisplayLevel[1], 22);
    EXPECT_LT(g_LinearToDisplayLevel[511], 255);
    EXPECT_TRUE(AllFrom(g_LinearToDisplayLevel, 512, 255));
    EXPECT_EQ(g_LinearToTextureLevel[1], 10);
    MakeGammaLookups(2.2f, 2.2f, 1.0f, 2);  // knee 0.05, no doubling
    EXPECT_EQ(g_LinearToDisplayLevel[1], 16);
    EXPECT_EQ(g_LinearToDisplayLevel[1022], 254);
    MakeGammaLookups(2.2f, 2.2f, 0.5f, 2);  // knee 0.125 − 0.075·0.25
    EXPECT_EQ(g_LinearToDisplayLevel[1], 11);
    MakeGammaLookups(2.2f, 2.2f, -3.0f, 2);  // as brightness 0
    EXPECT_EQ(g_LinearToDisplayLevel[1], 10);
}

TEST(GammaTables, TheCeilingOfThreeAppliesToTablesOneAndTwoOnly) {
    MakeGammaLookups(4.0f, 2.2f, 0.0f, 2);
    EXPECT_TRUE(g_TextureLevelToDisplay[1] == 4 && g_TextureLevelToDisplay[3] == 9);  // 2.2/3
    EXPECT_EQ(g_LinearToDisplayLevel[1], 25);                    // exponent 1/3
    EXPECT_FLOAT_EQ(g_OverbrightLinearScale[512], 0.42044821f);  // 0.5^(1/4) · 0.5
}

TEST(GammaTables, ArgumentsOutsideTheirUseStillGiveLevels) {
    // A gamma of zero or below makes pow infinite or undefined; the integer tables still
    // hold levels rather than out-of-range conversions.
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    for (float gamma : {0.0f, -1.0f, kNaN}) {
        MakeGammaLookups(gamma, gamma, kNaN, 2);
        for (int j = 0; j < kLinearLevelCount; ++j) {
            ASSERT_TRUE(g_LinearToDisplayLevel[j] >= 0 && g_LinearToDisplayLevel[j] <= 255);
            ASSERT_TRUE(g_LinearToTextureLevel[j] >= 0 && g_LinearToTextureLevel[j] <= 255);
        }
    }
}

}  // namespace
