// The unit rule and the computation of the layout scale and the shared fonts.
#include <gtest/gtest.h>

#include "app/core/layout_scale.h"

namespace trivexa {
namespace {

TEST(LayoutUnits, ProductsAreTruncatedOneByOne) {
    EXPECT_EQ(Units(6, 1.0f), 6);
    EXPECT_EQ(Units(6, 1.343f), 8);        // 8.058
    EXPECT_EQ(4 * Units(6, 1.343f), 32);   // 4·(6·s), not 4 × 6 × s = 32.2 by chance
    EXPECT_EQ(Units(1120, 1.343f), 1504);  // 1504.16
    EXPECT_EQ(Units(697, 0.9f), 627);      // 627.3
    EXPECT_EQ(Units(-7, 1.5f), -10);       // toward zero, not down
    EXPECT_EQ(Units(10, 0.0f), 0);
}

TEST(LayoutUnits, FractionsAreIntegerArithmetic) {
    // 9/16 of 652 (the video width less two borders at s = 1).
    EXPECT_EQ(Fraction(652, 9, 16), 366);
    EXPECT_EQ(Fraction(-17, 9, 16), -9);  // toward zero
    EXPECT_EQ(Fraction(100, 9, 0), 0);
    EXPECT_EQ(Fraction(2'000'000'000, 9, 16), 1'125'000'000);  // no overflow in the product
}

TEST(LayoutUnits, MulDivRoundsHalfAwayFromZero) {
    EXPECT_EQ(MulDiv(10, 96, 72), 13);  // 13.33
    EXPECT_EQ(MulDiv(9, 96, 72), 12);   // 12.0
    EXPECT_EQ(MulDiv(3, 1, 2), 2);      // 1.5
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(5, 7, 0), -1);
}

struct ScaleCase {
    const char* name;
    ScaleInputs in;
    bool ok;
    float scale;
    float fit;
    int font2Height;
};

class ScaleAndFonts : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleAndFonts, MatchesTheTable) {
    const ScaleCase& c = GetParam();
    const ScaleOutcome out = ComputeScaleAndFonts(c.in);
    EXPECT_EQ(out.ok, c.ok);
    EXPECT_NEAR(out.scale, c.scale, 0.0005);
    EXPECT_NEAR(out.fit, c.fit, 0.0005);
    if (c.ok) {
        EXPECT_EQ(out.fontHeights[1], c.font2Height);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScaleAndFonts,
    ::testing::Values(
        // 96 dpi on a work area of at least 775: d = 1, s = 1, font 2 is −13.
        ScaleCase{"dpi96_tall", {1.0f, 96, 96, 1040}, true, 1.0f, 1.0f, -13},
        ScaleCase{"dpi96_exactly775", {1.0f, 96, 96, 775}, true, 1.0f, 1.0f, -13},
        // 144 dpi on 1040: b = 1045.5 > c = 936, s = 936 / 1045.5 × 1.5.
        ScaleCase{"dpi144_1040", {1.0f, 144, 144, 1040}, true, 1.34290f, 0.89526f, -16},
        // A short work area fits the window: 0.9 × 600 / 697.
        ScaleCase{"dpi96_short", {1.0f, 96, 96, 600}, true, 0.77475f, 0.77475f, -9},
        // The fit uses the s in force: 697·0.9 = 627, c = 936 > 627 × 1 → fit 1, s = d.
        ScaleCase{"rerun_from_0_9", {0.9f, 96, 96, 1040}, true, 1.0f, 1.0f, -13},
        // No dpi: nothing changes, no fonts.
        ScaleCase{"dpi0", {1.25f, 0, 96, 1040}, false, 1.25f, 1.0f, 0},
        ScaleCase{"dpi_negative", {1.0f, -96, 96, 1040}, false, 1.0f, 1.0f, 0},
        // No work area: nothing to fit into, so no shrinking to zero.
        ScaleCase{"no_work_area", {1.0f, 96, 96, 0}, true, 1.0f, 1.0f, -13},
        // No vertical dpi: fonts as at 96 rather than height 0.
        ScaleCase{"no_dpi_y", {1.0f, 96, 0, 1040}, true, 1.0f, 1.0f, -13}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScaleAndFonts, EveryFontFollowsTheHeightRule) {
    const ScaleOutcome out = ComputeScaleAndFonts({1.0f, 96, 96, 1040});
    // −MulDiv(N, 96, 72) for 9, 10, 13, 17, 22, 12, 15 points.
    const std::array<int, 7> expected = {-12, -13, -17, -23, -29, -16, -20};
    EXPECT_EQ(out.fontHeights, expected);
}

TEST(ScaleAndFonts, FitIsBelowOneOnlyWhenTheWindowDoesNotFit) {
    EXPECT_FLOAT_EQ(WorkAreaFit(1.0f, 1.0f, 775), 1.0f);  // 697.5 ≥ 697
    EXPECT_LT(WorkAreaFit(1.0f, 1.0f, 774), 1.0f);        // 696.6 < 697
    EXPECT_FLOAT_EQ(WorkAreaFit(1.0f, 1.0f, -5), 1.0f);
    EXPECT_FLOAT_EQ(WorkAreaFit(0.0f, 1.0f, 800), 1.0f);  // b = 0 cannot be divided by
}

}  // namespace
}  // namespace trivexa
