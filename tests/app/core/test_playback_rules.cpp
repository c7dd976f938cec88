// The playback commands' rules by table: rate codes and labels, the end
// margin, faster and slower, seeking, the buttons and their enabling, the
// context menu, and the zoom of a screen.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "app/core/control_buttons.h"
#include "app/core/layout_scale.h"
#include "app/core/playback_rules.h"
#include "app/core/screen_zoom.h"
#include "app/core/ui_strings.h"
#include "app/core/video_menu.h"
#include "controls/core/skin_table.h"

namespace trivexa {
namespace {

using RC = RateCode;

TEST(PlaybackRules, SpeedLabels) {
    EXPECT_EQ(SpeedLabelId(RC::kNormal), 57);
    EXPECT_EQ(SpeedLabelId(RC::kDouble), 58);
    EXPECT_EQ(SpeedLabelId(RC::kQuadruple), 59);
    EXPECT_EQ(SpeedLabelId(RC::kHalf), 60);
    EXPECT_EQ(SpeedLabelId(RC::kQuarter), 61);
    EXPECT_FALSE(SpeedLabelId(RC::kBackward).has_value());
    EXPECT_FALSE(SpeedLabelId(static_cast<RC>(3)).has_value());
    EXPECT_EQ(SpeedLabelText(RC::kHalf), UiString(60));
    EXPECT_EQ(SpeedLabelText(static_cast<RC>(7)), "");
}

TEST(PlaybackRules, TimeLapseRecordingsStartAtHalfSpeed) {
    EXPECT_EQ(DefaultRateCode("A___-230715-081522-000001F.AVI", "A___-230715-081522-000001R.AVI"),
              RC::kNormal);
    EXPECT_EQ(DefaultRateCode("T___-230715-081522-000001F.AVI", ""), RC::kHalf);
    EXPECT_EQ(DefaultRateCode("", "/card/Parking/Rear/P_T_-230715-081522-000001R.AVI"), RC::kHalf);
    EXPECT_EQ(DefaultRateCode("", ""), RC::kNormal);
}

TEST(PlaybackRules, EndMargin) {
    // int(o · 1000 / 29.1 / f): 20 frames of a 33.3 ms clip at normal speed.
    EXPECT_EQ(EndMarginFrames(RC::kNormal, 33.333f), 20);
    EXPECT_EQ(EndMarginFrames(RC::kDouble, 33.333f), 41);
    EXPECT_EQ(EndMarginFrames(RC::kQuadruple, 33.333f), 82);
    EXPECT_EQ(EndMarginFrames(RC::kHalf, 66.67f), 10);
    // No interval: the recorder's usual 34.36426 ms, just over 1000 / 29.1.
    EXPECT_EQ(EndMarginFrames(RC::kNormal, 0.0f), 19);
    EXPECT_EQ(EndMarginFrames(RC::kNormal, std::nanf("")), 19);
    EXPECT_EQ(EndMarginFrames(RC::kNormal, 1e-30f), 1000000000);  // no overflow

    EXPECT_FALSE(WithinEndMargin(PlayState::kPlaying, 879, 900, RC::kNormal, 33.333f));
    EXPECT_TRUE(WithinEndMargin(PlayState::kPlaying, 880, 900, RC::kNormal, 33.333f));
    // Stopped or paused recordings never reach it.
    EXPECT_FALSE(WithinEndMargin(PlayState::kPaused, 899, 900, RC::kNormal, 33.333f));
    EXPECT_FALSE(WithinEndMargin(PlayState::kClosed, 899, 900, RC::kNormal, 33.333f));
}

TEST(PlaybackRules, NextRateCodeTables) {
    const RC codes[] = {RC::kQuadruple, RC::kDouble, RC::kNormal,
                        RC::kBackward,  RC::kHalf,   RC::kQuarter};
    // Columns: faster forward-only, faster backwards, slower MF, slower DS.
    const RC expected[][4] = {
        {RC::kQuadruple, RC::kQuadruple, RC::kDouble, RC::kDouble},
        {RC::kDouble, RC::kQuadruple, RC::kNormal, RC::kNormal},
        {RC::kDouble, RC::kDouble, RC::kBackward, RC::kBackward},
        {RC::kNormal, RC::kNormal, RC::kHalf, RC::kHalf},
        {RC::kNormal, RC::kBackward, RC::kHalf, RC::kQuarter},
        {RC::kHalf, RC::kHalf, RC::kNormal, RC::kQuarter},
    };
    const auto mf = PlaybackEngine::kMediaFoundation;
    const auto ds = PlaybackEngine::kDirectShow;
    for (size_t i = 0; i < std::size(codes); ++i) {
        EXPECT_EQ(NextRateCode(RateStep::kFaster, codes[i], true, false, mf), expected[i][0]) << i;
        EXPECT_EQ(NextRateCode(RateStep::kFaster, codes[i], true, true, mf), expected[i][1]) << i;
        EXPECT_EQ(NextRateCode(RateStep::kSlower, codes[i], true, false, mf), expected[i][2]) << i;
        EXPECT_EQ(NextRateCode(RateStep::kSlower, codes[i], true, false, ds), expected[i][3]) << i;
    }
    EXPECT_EQ(NextRateCode(RateStep::kFaster, static_cast<RC>(3), true, true, ds), RC::kNormal);
    // Not playing: both commands go to normal speed.
    EXPECT_EQ(NextRateCode(RateStep::kFaster, RC::kDouble, false, true, mf), RC::kNormal);
    EXPECT_EQ(NextRateCode(RateStep::kSlower, RC::kHalf, false, true, mf), RC::kNormal);
}

TEST(PlaybackRules, Seeking) {
    const SeekRange range{0, 900};
    EXPECT_EQ(PlanSeek(450, range, RC::kNormal), (SeekPlan{450, 450}));
    // Beyond the end margin the players stop short of it; the panels show p.
    EXPECT_EQ(PlanSeek(890, range, RC::kNormal), (SeekPlan{880, 890}));
    EXPECT_EQ(PlanSeek(890, range, RC::kQuadruple), (SeekPlan{820, 890}));
    EXPECT_EQ(PlanSeek(5000, range, RC::kDouble), (SeekPlan{860, 899}));
    EXPECT_EQ(PlanSeek(-3, range, RC::kNormal), (SeekPlan{0, 0}));
    // A recording shorter than the margin never sends the players before 0.
    EXPECT_EQ(PlanSeek(5, SeekRange{0, 12}, RC::kNormal), (SeekPlan{0, 5}));
    EXPECT_EQ(ClampToSeekRange(900, range), 899);

    // After a seek to 300 on a 900-frame clip the window is ± 30.
    EXPECT_TRUE(AcceptPolledPosition(100, -1, 900));
    EXPECT_FALSE(AcceptPolledPosition(0, -1, 900));
    EXPECT_FALSE(AcceptPolledPosition(100, 300, 900));
    EXPECT_FALSE(AcceptPolledPosition(270, 300, 900));
    EXPECT_TRUE(AcceptPolledPosition(271, 300, 900));
    EXPECT_TRUE(AcceptPolledPosition(329, 300, 900));
    EXPECT_FALSE(AcceptPolledPosition(330, 300, 900));
    EXPECT_TRUE(AcceptPolledPosition(331, 300, 2000));  // d / 1000 widens it
}

TEST(PlaybackRules, SmallRules) {
    EXPECT_EQ(VolumeFromSlider(-5), 0);
    EXPECT_EQ(VolumeFromSlider(30000), 30000);
    EXPECT_EQ(VolumeFromSlider(70000), kVolumeMax);
    EXPECT_TRUE(FullScreenRefused(false, 890, 900));
    EXPECT_FALSE(FullScreenRefused(false, 889, 900));
    EXPECT_FALSE(FullScreenRefused(true, 899, 900));  // leaving is always allowed
    EXPECT_TRUE(DoubleClickTogglesFullScreen(false, false, 3, true));
    EXPECT_FALSE(DoubleClickTogglesFullScreen(true, false, 3, true));
    EXPECT_FALSE(DoubleClickTogglesFullScreen(false, true, 3, true));
    EXPECT_FALSE(DoubleClickTogglesFullScreen(false, false, 0, true));
    EXPECT_FALSE(DoubleClickTogglesFullScreen(false, false, 3, false));
    EXPECT_EQ(SwapScreens(0), (ScreenAssignment{1, 0, 145}));
    EXPECT_EQ(SwapScreens(1), (ScreenAssignment{0, 1, 146}));
    EXPECT_TRUE(ShorterThanTwoSeconds(59, 33.333f));
    EXPECT_FALSE(ShorterThanTwoSeconds(61, 33.333f));
}

TEST(ControlButtons, TableAndFaces) {
    const auto buttons = ControlButtons();
    std::set<int> commands;
    for (int i = 0; i < kControlButtonCount; ++i) {
        EXPECT_EQ(buttons[i].index, i);
        EXPECT_EQ(static_cast<int>(buttons[i].command), 38000 + i);
        EXPECT_NE(FindSkinPicture(buttons[i].picture), nullptr) << i;
        EXPECT_STRNE(UiString(buttons[i].tooltip), "") << i;
        commands.insert(static_cast<int>(buttons[i].command));
    }
    EXPECT_EQ(buttons[button::kSwapScreens].picture, 356);
    EXPECT_EQ(buttons[button::kMirror].tooltip, 169);
    EXPECT_TRUE(buttons[button::kZoomMode].toggles);
    EXPECT_TRUE(buttons[button::kMapWindow].toggles);
    EXPECT_EQ(PlayButtonFace(false), (ButtonFace{148, 12}));
    EXPECT_EQ(PlayButtonFace(true), (ButtonFace{147, 11}));
    const auto captions = CaptionButtons();
    EXPECT_EQ(captions[0].picture, 155);
    EXPECT_EQ(captions[1].picture, 157);
    EXPECT_EQ(captions[2].picture, 156);
    EXPECT_EQ(static_cast<int>(captions[2].command), 18);
}

std::string Enabled(const ButtonEnabling& e) {
    std::string s;
    for (bool b : e.controls) s += b ? '1' : '0';
    return s;
}

TEST(ControlButtons, Enabling) {
    EnablingInput in;
    in.browserExists = false;
    EXPECT_FALSE(EnableButtons(in).apply);

    in.browserExists = true;
    in.csvUnavailable = true;
    ButtonEnabling e = EnableButtons(in);  // no rows: browse only
    EXPECT_TRUE(e.apply);
    EXPECT_TRUE(e.captionButtons);
    EXPECT_EQ(Enabled(e), "0000000000010000");
    in.csvUnavailable = false;
    EXPECT_EQ(Enabled(EnableButtons(in)), "0000000000010010");

    // An SD card with three rows, the middle one stopped.
    in.rowCount = 3;
    in.currentRow = 1;
    in.sdCardSource = true;
    in.rearPresent = true;
    in.dataCameraExists = true;
    in.dataState = PlayState::kStopped;
    //                                     0123456789012345
    EXPECT_EQ(Enabled(EnableButtons(in)), "0110011111111111");
    in.dataState = PlayState::kPaused;
    EXPECT_EQ(Enabled(EnableButtons(in)), "1110011111111111");
    in.dataState = PlayState::kPlaying;
    EXPECT_EQ(Enabled(EnableButtons(in)), "1111111111111111");
    in.rate = RC::kDouble;  // faster stops at ×2
    EXPECT_EQ(Enabled(EnableButtons(in)), "1111011111111111");
    in.rate = RC::kHalf;  // slower stops below −1
    EXPECT_EQ(Enabled(EnableButtons(in)), "1110111111111111");

    // The first of several rows of a folder source, nothing opened, no rear
    // player: no previous, no join, no zoom, no mirror, no CSV.
    in = EnablingInput{};
    in.rowCount = 2;
    in.currentRow = 0;
    in.csvUnavailable = true;
    EXPECT_EQ(Enabled(EnableButtons(in)), "0000010000111101");
    // A single file: nothing to delete, no neighbours.
    in.rowCount = 1;
    in.singleFileSource = true;
    EXPECT_EQ(Enabled(EnableButtons(in)), "0000000000110101");
}

TEST(VideoMenu, ItemsByStateAndMode) {
    auto commands = [](const std::vector<VideoMenuItem>& items) {
        std::vector<int> out;
        for (const auto& i : items) out.push_back(i.separator ? 0 : static_cast<int>(i.command));
        return out;
    };
    VideoMenuInput in;
    in.state = PlayState::kStopped;
    std::vector<VideoMenuItem> m = BuildVideoMenu(in);
    EXPECT_EQ(commands(m), (std::vector<int>{38002, 0, 38006, 38013, 0, 38009, 38015, 0, 38011}));
    EXPECT_EQ(m[0].text, 83);
    EXPECT_EQ(m[8].text, 81);

    in.state = PlayState::kPlaying;
    in.rate = RC::kDouble;
    in.rearMirrored = true;
    m = BuildVideoMenu(in);
    EXPECT_EQ(commands(m), (std::vector<int>{38002, 38000, 38004, 38003, 0, 38006, 38013, 0, 38009,
                                             38015, 0, 38011}));
    EXPECT_EQ(m[0].text, 82);
    EXPECT_FALSE(m[2].enabled);  // faster at ×2
    EXPECT_TRUE(m[3].enabled);
    EXPECT_TRUE(m[8].checked);
    EXPECT_TRUE(m[8].enabled);
    in.rate = RC::kHalf;
    m = BuildVideoMenu(in);
    EXPECT_TRUE(m[2].enabled);
    EXPECT_FALSE(m[3].enabled);  // slower below 0

    in.state = PlayState::kPaused;
    in.fullScreen = true;
    in.primaryKeepsAspect = false;
    in.onFrontSurface = true;
    m = BuildVideoMenu(in);
    EXPECT_EQ(commands(m), (std::vector<int>{38002, 38000, 38200, 0, 38009, 38015}));
    EXPECT_EQ(m[0].text, 83);
    EXPECT_EQ(m[2].text, 88);    // stretching: offer keeping the aspect
    EXPECT_FALSE(m[4].enabled);  // never mirror the front camera
    in.primaryKeepsAspect = true;
    EXPECT_EQ(BuildVideoMenu(in)[2].text, 89);

    EXPECT_TRUE(VideoMenuRefused(true, false));
    EXPECT_TRUE(VideoMenuRefused(false, true));
    EXPECT_FALSE(VideoMenuRefused(false, false));
    EXPECT_EQ(VideoMenuItemSize(true, 1.0f), (FrameSize{220, 20}));
    EXPECT_EQ(VideoMenuItemSize(false, 1.5f), (FrameSize{105, 30}));
    EXPECT_EQ(VideoMenuItemColours(true, true), (MenuItemColours{false, 0x0000FF, 0xFFFFFF}));
    EXPECT_EQ(VideoMenuItemColours(true, false), (MenuItemColours{false, 0xC3C3FF, 0x7F7F7F}));
    EXPECT_EQ(VideoMenuItemColours(false, false), (MenuItemColours{true, 0, 0x7F7F7F}));
}

// The menu opens on the right button's press with its corner under the
// pointer: the release of that press is no choice, a drag or a fresh press is.
TEST(VideoMenu, ReleaseChoosesOnlyAfterAPressOrADrag) {
    MenuReleaseRule r;
    r.Opened({500, 300});
    EXPECT_FALSE(r.Released());  // the plain right click
    r.Moved({520, 330}, false, 10);  // moving without a button is no drag
    EXPECT_FALSE(r.Released());
    r.Pressed();  // a click on an item
    EXPECT_TRUE(r.Released());
    EXPECT_FALSE(r.Released());  // each choice needs its own press

    // Held and dragged onto an item: beyond the distance, not within it.
    r.Opened({500, 300});
    r.Moved({504, 305}, true, 10);
    EXPECT_FALSE(r.Released());
    r.Opened({500, 300});
    r.Moved({496, 307}, true, 10);
    r.Moved({490, 299}, true, 10);  // 10 + 1 away
    EXPECT_TRUE(r.Released());
    // A new menu starts afresh.
    r.Pressed();
    r.Opened({0, 0});
    EXPECT_FALSE(r.Released());
}

// Where the player shows unzoomed client x after its layout (growth about
// the zoom point, then the pan offset).
double Shown(double x, const ZoomArguments& a, bool vertical = false) {
    const double c = vertical ? a.zoomY : a.zoomX;
    const double pan = vertical ? a.panY : a.panX;
    return a.factor * x - (a.factor - 1.0) * c + pan;
}

TEST(ScreenZoom, CentresAndReset) {
    const VideoArea video{656, 369};
    EXPECT_EQ(ZoomCentre(0, video, 1.0f), (FramePoint{328, 184}));
    EXPECT_EQ(ZoomCentre(1, video, 1.0f), (FramePoint{226, 127}));  // 9/32 of 452
    ZoomRecord r;
    r.factor = 3.0f;
    r.offsetX = 7;
    ResetZoom(r, 1, video, 1.0f);
    EXPECT_EQ(r.factor, 1.0f);
    EXPECT_EQ(r.previousFactor, 1.0f);
    EXPECT_EQ(r.offsetX, 0);
    EXPECT_EQ(r.zoomPoint, (FramePoint{226, 127}));
}

TEST(ScreenZoom, ClicksCycleAndKeepThePointUnderThePointer) {
    const VideoArea video{656, 369};
    const FrameRect client{0, 0, 656, 371};
    ZoomRecord r;
    ResetZoom(r, 0, video, 1.0f);
    // Two clicks at different points; after each, the picture point that was
    // under the pointer is still there (within the truncation of a pixel).
    const FramePoint first{500, 100};
    const double picture1x = first.x;  // unzoomed: the picture is the client
    ASSERT_TRUE(ZoomAtPoint(r, 0, client, first, video, 1.0f));
    EXPECT_EQ(r.factor, 2.0f);
    EXPECT_EQ(r.previousFactor, 1.0f);
    EXPECT_NEAR(Shown(picture1x, ZoomArgumentsOf(r)), first.x, 1.0);
    EXPECT_NEAR(Shown(first.y, ZoomArgumentsOf(r), true), first.y, 1.0);

    const FramePoint second{200, 300};
    // The picture point now under `second`.
    const ZoomArguments before = ZoomArgumentsOf(r);
    const double picture2x =
        (second.x + (before.factor - 1) * before.zoomX - before.panX) / before.factor;
    const double picture2y =
        (second.y + (before.factor - 1) * before.zoomY - before.panY) / before.factor;
    ASSERT_TRUE(ZoomAtPoint(r, 0, client, second, video, 1.0f));
    EXPECT_EQ(r.factor, 3.0f);
    EXPECT_NEAR(Shown(picture2x, ZoomArgumentsOf(r)), second.x, 2.0);
    EXPECT_NEAR(Shown(picture2y, ZoomArgumentsOf(r), true), second.y, 2.0);

    // The third click returns to 1×, centred.
    ASSERT_TRUE(ZoomAtPoint(r, 0, client, {10, 10}, video, 1.0f));
    EXPECT_EQ(r.factor, 1.0f);
    EXPECT_EQ(ZoomArgumentsOf(r), (ZoomArguments{328, 184, 0, 0, 1.0f}));

    // Each player gets its own screen's zoom.
    ZoomRecord other;
    ResetZoom(other, 1, video, 1.0f);
    ASSERT_TRUE(ZoomAtPoint(other, 1, {0, 0, 444, 250}, {100, 50}, video, 1.0f));
    const auto rects = VideoRectangles({r, other});
    EXPECT_EQ(rects[0], ZoomArgumentsOf(r));
    EXPECT_EQ(rects[1].factor, 2.0f);

    // A surface without width ignores the click.
    EXPECT_FALSE(ZoomAtPoint(r, 0, FrameRect{0, 0, 0, 371}, {10, 10}, video, 1.0f));
    EXPECT_EQ(r.factor, 1.0f);
}

}  // namespace
}  // namespace trivexa
