// The video windows' rules: clicks against double clicks, what an erase
// draws, which graph notices pass.
#include <gtest/gtest.h>

#include "panels/core/video_window_rules.h"

namespace trivexa {
namespace {

using Actions = ClickTracker::Actions;

TEST(ClickTracker, SingleClickIsReportedWhenThePressTimerFires) {
    ClickTracker t(0);
    Actions a = t.Press({10, 20});
    EXPECT_TRUE(a.startPressTimer);
    a = t.Release({11, 21});
    EXPECT_TRUE(a.startReleaseTimer);
    a = t.PressTimerFired();
    ASSERT_TRUE(a.zoomAt.has_value());
    EXPECT_EQ(*a.zoomAt, (ClickPoint{10, 20}));  // the press point, not the release
    EXPECT_TRUE(t.Pending());
    // Firing again reports nothing more; the release timer ends the click.
    EXPECT_FALSE(t.PressTimerFired().zoomAt.has_value());
    a = t.ReleaseTimerFired();
    EXPECT_TRUE(a.releaseCapture);
    EXPECT_FALSE(t.Pending());
    EXPECT_EQ(t.ReleasePoint(), (ClickPoint{11, 21}));
}

TEST(ClickTracker, DoubleClickSwallowsTheClickAndItsRelease) {
    ClickTracker t(1);
    t.Press({5, 5});
    t.Release({5, 5});
    Actions a = t.DoubleClick(/*primary=*/true, /*zoomMode=*/false);
    EXPECT_TRUE(a.stopTimers);
    EXPECT_TRUE(a.toggleFullScreen);
    EXPECT_TRUE(t.DoubleClickSeen());
    a = t.Release({5, 5});  // the release of the second press
    EXPECT_FALSE(a.startReleaseTimer);
    EXPECT_FALSE(t.DoubleClickSeen());
    // A press while a double click is still being seen does not start a click.
    t.DoubleClick(true, false);
    EXPECT_FALSE(t.Press({1, 1}).startPressTimer);

    EXPECT_FALSE(ClickTracker(1).DoubleClick(false, false).toggleFullScreen);  // not primary
    EXPECT_FALSE(ClickTracker(1).DoubleClick(true, true).toggleFullScreen);    // zoom mode
}

TEST(ClickTracker, OnlyFrontAndRearSurfacesReportClicks) {
    for (int camera : {kSurfaceUnassigned, kSurfaceDataCamera}) {
        ClickTracker t(camera);
        EXPECT_FALSE(t.Press({1, 1}).startPressTimer);
        EXPECT_FALSE(t.Release({1, 1}).startReleaseTimer);
        EXPECT_FALSE(t.PressTimerFired().zoomAt.has_value());
    }
}

TEST(VideoWindowRules, Erase) {
    const CameraClip none{true, false, false};
    const CameraClip open{true, true, false};
    const CameraClip playing{true, true, true};
    const CameraClip absent{false, false, false};
    struct Case {
        bool blank;
        int index;
        CameraClip front, rear, self;
        SurfaceErase erase;
    } cases[] = {
        {true, 0, open, open, open, SurfaceErase::kBlack},
        {false, 0, open, open, open, SurfaceErase::kPicture},
        {false, 0, playing, open, playing, SurfaceErase::kPicture},
        {false, 0, none, none, none, SurfaceErase::kBlack},
        // Only the front file: the rear surface says there is no rear video.
        {false, 1, playing, none, none, SurfaceErase::kNoRearVideo},
        {false, 0, none, playing, none, SurfaceErase::kNoFrontVideo},
        {false, 0, open, none, open, SurfaceErase::kPicture},
        {false, 1, none, absent, absent, SurfaceErase::kBlack},
        // The data camera's surface repaints even when there is none.
        {false, kSurfaceDataCamera, open, none, absent, SurfaceErase::kPicture},
        {false, kSurfaceDataCamera, playing, none, playing, SurfaceErase::kPicture},
    };
    for (const Case& c : cases) {
        EraseInput in;
        in.blank = c.blank;
        in.cameraIndex = c.index;
        in.front = c.front;
        in.rear = c.rear;
        in.self = c.self;
        EXPECT_EQ(EraseSurface(in), c.erase) << c.index << " " << c.blank;
    }
    EXPECT_EQ(EraseTextId(SurfaceErase::kNoRearVideo), 171);
    EXPECT_EQ(EraseTextId(SurfaceErase::kNoFrontVideo), 170);
    EXPECT_EQ(EraseTextId(SurfaceErase::kPicture), 0);
}

TEST(VideoWindowRules, GraphNoticesAndBorder) {
    EXPECT_TRUE(ForwardsGraphNotice(1, true));
    EXPECT_TRUE(ForwardsGraphNotice(0, false));
    EXPECT_FALSE(ForwardsGraphNotice(0, true));  // both hold clips: the rear speaks
    EXPECT_FALSE(ForwardsGraphNotice(2, false));
    EXPECT_EQ(MovieDialogBorderWidth(1.0f), 8);
    EXPECT_EQ(MovieDialogBorderWidth(1.3f), 10);  // 2 × truncate(5.2)
}

}  // namespace
}  // namespace trivexa
