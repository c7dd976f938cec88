// The player's arithmetic: frame units, rate codes, volume rule, layout.
#include <gtest/gtest.h>

#include "playback/player_rules.h"

namespace trivexa {
namespace {

TEST(PlayerRules, FrameUnitsRoundTripAtCameraRates) {
    // Every frame of a 30 fps and a 27.5 fps clip converts to media time and
    // back to itself, so a seek shows and reports the frame asked for.
    for (float interval : {1000.0f / 30.0f, 2000.0f / 55.0f, 100.0f / 3.0f}) {
        for (std::int64_t f = 0; f < 20000; ++f) {
            const std::int64_t t = FramesToMediaTime(interval, f);
            ASSERT_EQ(MediaTimeToFrames(interval, t), f) << interval << " frame " << f;
        }
    }
    EXPECT_EQ(FramesToMediaTime(40.0f, 25), 10'000'000);
    EXPECT_EQ(MediaTimeToFrames(0.0f, 123456), 0);
}

TEST(PlayerRules, RateTableWithoutBackwardsPlayback) {
    EXPECT_EQ(RateForCode(1, 2, false).rate, 1.0f);
    EXPECT_EQ(RateForCode(2, 1, false).rate, 2.0f);
    EXPECT_EQ(RateForCode(4, 1, false).rate, 4.0f);
    EXPECT_EQ(RateForCode(-2, 1, false).rate, 0.5f);
    EXPECT_EQ(RateForCode(-2, 1, false).code, -2);
    EXPECT_EQ(RateForCode(-4, 1, false).rate, 0.25f);
    // -1 toggles between normal and half speed: 1 -> -2 -> 1.
    RateChoice c = RateForCode(-1, 1, false);
    EXPECT_EQ(c.code, -2);
    EXPECT_EQ(c.rate, 0.5f);
    c = RateForCode(-1, c.code, false);
    EXPECT_EQ(c.code, 1);
    EXPECT_EQ(c.rate, 1.0f);
    // From a fast rate, -1 returns to normal speed.
    EXPECT_EQ(RateForCode(-1, 4, false).rate, 1.0f);
    EXPECT_EQ(RateForCode(7, 2, false).rate, 1.0f);
    // With backwards playback the negative codes run backwards.
    EXPECT_EQ(RateForCode(-2, 1, true).rate, -2.0f);
    EXPECT_EQ(RateForCode(-1, 1, true).rate, -1.0f);
}

TEST(PlayerRules, OnlyNormalSpeedIsAudible) {
    EXPECT_EQ(AppliedVolume(40000, 1), 40000);
    for (int code : {2, 4, -1, -2, -4}) EXPECT_EQ(AppliedVolume(65535, code), 0) << code;
    EXPECT_EQ(VolumeGain(0), 0.0f);
    EXPECT_EQ(VolumeGain(65535), 1.0f);
    EXPECT_EQ(VolumeGain(70000), 1.0f);
}

PictureGeometry Geometry(int w, int h, float zoom, int zx, int zy, bool letterbox = false) {
    PictureGeometry g;
    g.clientWidth = w;
    g.clientHeight = h;
    g.zoomFactor = zoom;
    g.zoomX = zx;
    g.zoomY = zy;
    g.letterbox = letterbox;
    g.nativeWidth = 1920;
    g.nativeHeight = 1080;
    return g;
}

TEST(PlayerRules, ZoomAboutThePoint) {
    LayoutRect r;
    ASSERT_TRUE(LayoutPicture(Geometry(640, 480, 1.0f, 123, 77), r));
    EXPECT_EQ(r, (LayoutRect{0, 0, 640, 480}));
    ASSERT_TRUE(LayoutPicture(Geometry(640, 480, 2.0f, 320, 240), r));
    EXPECT_EQ(r, (LayoutRect{-320, -240, 960, 720}));
    // Zoom at the top-left corner keeps that corner in place.
    ASSERT_TRUE(LayoutPicture(Geometry(640, 480, 2.0f, 0, 0), r));
    EXPECT_EQ(r, (LayoutRect{0, 0, 1280, 960}));
    // The pan offset moves the zoomed rectangle.
    PictureGeometry g = Geometry(640, 480, 2.0f, 320, 240);
    g.panX = 15;
    g.panY = -5;
    ASSERT_TRUE(LayoutPicture(g, r));
    EXPECT_EQ(r, (LayoutRect{-305, -245, 975, 715}));
}

TEST(PlayerRules, RefusedLayouts) {
    LayoutRect r{1, 2, 3, 4};
    EXPECT_FALSE(LayoutPicture(Geometry(640, 480, 0.0f, 0, 0), r));
    // A factor below zero turns the rectangle inside out.
    EXPECT_FALSE(LayoutPicture(Geometry(640, 480, -1.5f, 320, 240), r));
    // No client area: nothing to lay out (and no division by zero).
    EXPECT_FALSE(LayoutPicture(Geometry(0, 480, 1.0f, 0, 0), r));
    EXPECT_EQ(r, (LayoutRect{1, 2, 3, 4}));
}

TEST(PlayerRules, LetterboxCentresThePicture) {
    LayoutRect r;
    // 16:9 picture in a 4:3 client: full width, bands above and below.
    ASSERT_TRUE(LayoutPicture(Geometry(640, 480, 1.0f, 0, 0, true), r));
    EXPECT_EQ(r, (LayoutRect{0, 60, 640, 421}));
    // In a wide client: full height, bands left and right.
    ASSERT_TRUE(LayoutPicture(Geometry(1000, 360, 1.0f, 0, 0, true), r));
    EXPECT_EQ(r, (LayoutRect{180, 0, 820, 361}));
    // Without a native size the picture fills the rectangle.
    PictureGeometry g = Geometry(640, 480, 1.0f, 0, 0, true);
    g.nativeWidth = 0;
    ASSERT_TRUE(LayoutPicture(g, r));
    EXPECT_EQ(r, (LayoutRect{0, 0, 640, 480}));
}

}  // namespace
}  // namespace trivexa
