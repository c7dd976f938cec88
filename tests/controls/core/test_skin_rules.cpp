// State pictures, list check cycle, progress and slider arithmetic, message
// box sizes and the picture table, without a display.
#include <gtest/gtest.h>

#include <set>

#include "controls/core/skin_rules.h"
#include "controls/core/skin_table.h"

namespace trivexa {
namespace {

struct ButtonCase {
    const char* name;
    ButtonState state;
    bool draw;
    StatePicture picture;
    bool pressedAfter;
};

ButtonState Make(std::initializer_list<const char*> flags) {
    ButtonState s;
    for (std::string f : flags) {
        if (f == "hidden") s.hidden = true;
        if (f == "greyed") s.greyed = true;
        if (f == "disabled") s.enabled = false;
        if (f == "down") s.down = true;
        if (f == "checked") s.checked = true;
        if (f == "latched") s.latched = true;
        if (f == "hovered") s.hovered = true;
        if (f == "pressed") s.pressedFlag = true;
    }
    return s;
}

class ButtonTable : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(ButtonTable, PicksThePicture) {
    const ButtonCase& c = GetParam();
    const ButtonPaint p = PaintButton(c.state);
    EXPECT_EQ(p.draw, c.draw);
    if (c.draw) {
        EXPECT_EQ(p.picture, c.picture);
    }
    EXPECT_EQ(p.pressedFlag, c.pressedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    States, ButtonTable,
    ::testing::Values(
        ButtonCase{"normal", Make({}), true, StatePicture::kNormal, false},
        ButtonCase{"hidden", Make({"hidden", "hovered"}), false, StatePicture::kNormal, false},
        ButtonCase{"hover", Make({"hovered"}), true, StatePicture::kHot, false},
        ButtonCase{"down", Make({"down", "hovered"}), true, StatePicture::kPressed, true},
        ButtonCase{"latched", Make({"latched"}), true, StatePicture::kPressed, false},
        // A latched button does not light up under the mouse.
        ButtonCase{"latched_hover", Make({"latched", "hovered"}), true, StatePicture::kPressed,
                   false},
        ButtonCase{"checked_hover", Make({"checked", "hovered"}), true, StatePicture::kPressed,
                   false},
        ButtonCase{"disabled", Make({"disabled", "hovered"}), true, StatePicture::kDisabled, false},
        ButtonCase{"disabled_latched", Make({"disabled", "latched"}), true, StatePicture::kDisabled,
                   false},
        ButtonCase{"greyed", Make({"greyed", "latched"}), true, StatePicture::kHot, false},
        // The pressed flag is cleared by the next normal drawing.
        ButtonCase{"pressed_flag_cleared", Make({"pressed"}), true, StatePicture::kNormal, false},
        ButtonCase{"pressed_flag_kept_by_latch", Make({"pressed", "latched"}), true,
                   StatePicture::kPressed, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ListItems, ClickCycle) {
    EXPECT_EQ(ListStateAfterClick(kListUnchecked), kListChecked);
    EXPECT_EQ(ListStateAfterClick(kListHot), kListChecked);
    EXPECT_EQ(ListStateAfterClick(kListChecked), kListUnchecked);
    EXPECT_EQ(ListStateAfterClick(kListNoState), kListUnchecked);
    EXPECT_EQ(ListStateAfterClick(9), kListUnchecked);
    // Clicked twice: back to unchecked.
    EXPECT_EQ(ListStateAfterClick(ListStateAfterClick(kListUnchecked)), kListUnchecked);
}

TEST(ListItems, HotTrackingTouchesOnlyUncheckedRows) {
    EXPECT_EQ(ListStateOnEnter(kListUnchecked), kListHot);
    EXPECT_EQ(ListStateOnEnter(kListChecked), kListChecked);
    EXPECT_EQ(ListStateOnLeave(kListHot), kListUnchecked);
    EXPECT_EQ(ListStateOnLeave(kListChecked), kListChecked);
}

TEST(Progress, SplitAndText) {
    const ProgressPaint half = PaintProgress(400, 0, 100, 50, 1.0f);
    EXPECT_EQ(half.splitX, 200);
    EXPECT_EQ(half.text, "50 %");
    EXPECT_EQ(half.barHeight, 22);
    EXPECT_EQ(half.textWidth, 100);
    EXPECT_EQ(half.textLeft, 150);
    EXPECT_EQ(PaintProgress(400, 0, 100, 33, 1.5f).splitX, 132);  // truncate(132.0)
    EXPECT_EQ(PaintProgress(401, 0, 3, 1, 1.0f).splitX, 133);     // truncate(133.67)
    EXPECT_EQ(PaintProgress(400, 0, 100, 33, 1.5f).barHeight, 33);
    // A span below 1 shows nothing done; the text still shows the value.
    const ProgressPaint empty = PaintProgress(400, 5, 5, 7, 1.0f);
    EXPECT_EQ(empty.splitX, 0);
    EXPECT_EQ(empty.text, "7 %");
    // Beyond the range the bar stays inside the control.
    EXPECT_EQ(PaintProgress(400, 0, 100, 250, 1.0f).splitX, 400);
    EXPECT_EQ(PaintProgress(400, 0, 100, -20, 1.0f).splitX, 0);
    EXPECT_EQ(PaintProgress(400, 0, 100, -20, 1.0f).text, "-20 %");
}

SliderGeometry Slider(int width, int thumb, int minimum, int maximum, float s = 1.0f) {
    SliderGeometry g;
    g.width = width;
    g.thumbWidth = thumb;
    g.minimum = minimum;
    g.maximum = maximum;
    g.scale = s;
    return g;
}

TEST(SliderGeometry, PositionsToPixels) {
    const SliderGeometry g = Slider(656, 10, 0, 99);  // n = 100
    EXPECT_EQ(SliderSplitX(g, 0), 0);
    EXPECT_EQ(SliderSplitX(g, 50), 328);
    EXPECT_EQ(SliderSplitX(g, 99), 649);
    EXPECT_EQ(SliderThumbX(g, 0), 0);
    EXPECT_EQ(SliderThumbX(g, 50), 323);  // 50 × 646 / 100
    EXPECT_EQ(SliderThumbX(g, 99), 639);
    EXPECT_EQ(SliderThumbDrawWidth(g), 11);
    EXPECT_EQ(SliderThumbDrawWidth(Slider(656, 15, 0, 99, 1.5f)), 16);
    // Positions outside the range are drawn at its ends.
    EXPECT_EQ(SliderThumbX(g, 500), 639);
    EXPECT_EQ(SliderThumbX(g, -3), 0);
    // The volume range 0..65535 on 100 pixels does not overflow.
    const SliderGeometry v = Slider(100, 6, 0, 65535);
    EXPECT_EQ(SliderSplitX(v, 65535), 99);
    EXPECT_EQ(SliderThumbX(v, 65535), 93);
}

TEST(SliderGeometry, PixelsToPositions) {
    const SliderGeometry g = Slider(656, 10, 0, 99);
    EXPECT_EQ(SliderPositionAt(g, 0), 0);
    EXPECT_EQ(SliderPositionAt(g, 328), 50);
    EXPECT_EQ(SliderPositionAt(g, 655), 99);
    EXPECT_EQ(SliderPositionAt(g, 700), 99);  // clamped
    EXPECT_EQ(SliderPositionAt(g, -5), 0);
    // More positions than pixels (a long clip): every pixel still maps.
    const SliderGeometry longClip = Slider(656, 10, 0, 17999);
    EXPECT_EQ(SliderPositionAt(longClip, 328), 9000);
    EXPECT_EQ(SliderPositionAt(longClip, 655), 17972);
    // A range of 0..0 maps every press to 0.
    const SliderGeometry single = Slider(656, 10, 0, 0);
    for (int x : {-10, 0, 1, 300, 655, 666}) EXPECT_EQ(SliderPositionAt(single, x), 0) << x;
    EXPECT_EQ(SliderThumbX(single, 0), 0);
    // No width: the minimum, no division by zero.
    EXPECT_EQ(SliderPositionAt(Slider(0, 10, 3, 9), 5), 3);
    // A range that does not start at 0.
    EXPECT_EQ(SliderPositionAt(Slider(100, 6, 10, 19), 55), 15);
}

TEST(SliderGeometry, PressBandReachesTenUnitsBeyondTheEnds) {
    const SliderGeometry g = Slider(656, 10, 0, 99);
    EXPECT_TRUE(SliderInPressBand(g, -10));
    EXPECT_FALSE(SliderInPressBand(g, -11));
    EXPECT_TRUE(SliderInPressBand(g, 666));
    EXPECT_FALSE(SliderInPressBand(g, 667));
    const SliderGeometry scaled = Slider(656, 15, 0, 99, 1.5f);
    EXPECT_TRUE(SliderInPressBand(scaled, -15));
    EXPECT_FALSE(SliderInPressBand(scaled, -16));
    EXPECT_TRUE(SliderRangeValid(Slider(10, 1, 0, 0)));
    EXPECT_FALSE(SliderRangeValid(Slider(10, 1, 1, 0)));
}

TEST(MsgBox, SizesFollowTheText) {
    const MsgBoxLayout m = LayOutMsgBox(300, 40, 1.0f);
    EXPECT_EQ(m.width, 380);
    EXPECT_EQ(m.height, 180);
    EXPECT_EQ(m.text, (MsgBoxRect{40, 30, 340, 70}));
    EXPECT_EQ(m.rightSlot, (MsgBoxRect{265, 135, 100, 30}));
    EXPECT_EQ(m.leftSlot, (MsgBoxRect{150, 135, 100, 30}));
    const MsgBoxLayout big = LayOutMsgBox(300, 40, 1.5f);
    EXPECT_EQ(big.width, 420);
    EXPECT_EQ(big.height, 250);
    EXPECT_EQ(big.rightSlot, (MsgBoxRect{420 - 22 - 150, 250 - 22 - 45, 150, 45}));
}

TEST(MsgBox, BoundsKeepTheButtonsAndTheScreen) {
    // Two buttons need 15 + 2 × (100 + 15) = 245 of box width: 165 of text.
    EXPECT_EQ(MsgBoxMinTextWidth(MsgBoxType::kYesNo, 1.0f), 165);
    EXPECT_EQ(MsgBoxMinTextWidth(MsgBoxType::kOk, 1.0f), 50);
    const MsgBoxLayout m = LayOutMsgBox(MsgBoxMinTextWidth(MsgBoxType::kYesNo, 1.0f), 20, 1.0f);
    EXPECT_GE(m.leftSlot.x, 15);
    EXPECT_EQ(MsgBoxMaxTextWidth(1920, 1.0f), 1840);
    EXPECT_EQ(MsgBoxMaxTextWidth(100, 1.0f), 215);  // never narrower than the buttons
    EXPECT_EQ(MsgBoxMaxTextHeight(1040, 1.0f), 900);
    EXPECT_EQ(MsgBoxMaxTextHeight(0, 1.0f), 40);
}

TEST(MsgBox, CentredOverTheOwnerAndKeptOnTheWorkArea) {
    const MsgBoxRect work{0, 0, 1920, 1040};
    EXPECT_EQ(CentreBox(400, 200, {100, 100, 1120, 697}, work), (MsgBoxPoint{460, 348}));
    // An owner near the edge: the box is moved back inside.
    EXPECT_EQ(CentreBox(400, 200, {1800, 950, 200, 100}, work), (MsgBoxPoint{1520, 840}));
    EXPECT_EQ(CentreBox(400, 200, {-300, -300, 100, 100}, work), (MsgBoxPoint{0, 0}));
    // No work area known: centred as it is.
    EXPECT_EQ(CentreBox(400, 200, {0, 0, 1000, 1000}, {}), (MsgBoxPoint{300, 400}));
}

TEST(SkinTable, NumbersAreUniqueAndTheSetsAreComplete) {
    std::set<int> numbers;
    for (const SkinPictureInfo& row : SkinPictureTable()) {
        EXPECT_TRUE(numbers.insert(row.number).second) << row.number;
        EXPECT_TRUE(row.frames == 1 || row.frames == 4) << row.number;
        EXPECT_GT(row.width, 0) << row.number;
        EXPECT_GT(row.height, 0) << row.number;
    }
    for (int n : SkinImageSetOrder()) EXPECT_NE(FindSkinPicture(n), nullptr) << n;
    for (int n : SkinEventIconOrder()) EXPECT_NE(FindSkinPicture(n), nullptr) << n;
    EXPECT_EQ(SkinImageSetOrder().size(), 46u);
    EXPECT_EQ(SkinEventIconOrder().size(), 17u);  // 348, 331 to 345, 349
    EXPECT_EQ(FindSkinPicture(4242), nullptr);
}

TEST(SkinTable, PicturesOfOneRoleShareTheirSize) {
    const auto sizeOf = [](int n) {
        const SkinPictureInfo* p = FindSkinPicture(n);
        return p ? std::pair(p->width, p->height) : std::pair(0, 0);
    };
    for (int n : skin::kBadges) EXPECT_EQ(sizeOf(n), sizeOf(skin::kBadges[0])) << n;
    for (int n : skin::kGraphLegends) EXPECT_EQ(sizeOf(n), sizeOf(skin::kGraphLegends[0])) << n;
    for (int n : skin::kDigits) EXPECT_EQ(sizeOf(n), sizeOf(skin::kDigits[0])) << n;
    for (int n : skin::kEventIcons) EXPECT_EQ(sizeOf(n), std::pair(16, 16)) << n;
    for (int n : {skin::kCategoryManual, skin::kCategoryShock, skin::kCategoryParkingShock,
                  skin::kCategoryParking, skin::kCategorySpeedCamera, skin::kCategoryApproaching})
        EXPECT_EQ(sizeOf(n), sizeOf(skin::kCategoryBase)) << n;
    // The control buttons are four-state strips of 32 × 32.
    for (int n :
         {skin::kToStart, skin::kPrevious, skin::kPlay, skin::kPause, skin::kSlower, skin::kFaster,
          skin::kNext, skin::kStill, skin::kJoin, skin::kZoom, skin::kMirror, skin::kMap,
          skin::kOpenSource, skin::kDelete, skin::kSettings, skin::kCsv, skin::kSwapScreens}) {
        EXPECT_EQ(sizeOf(n), std::pair(32, 32)) << n;
        EXPECT_EQ(FindSkinPicture(n)->frames, 4) << n;
    }
    EXPECT_EQ(sizeOf(skin::kCaptionClose), std::pair(46, 18));
    EXPECT_EQ(sizeOf(skin::kCaptionMaximise), std::pair(26, 18));
    EXPECT_EQ(sizeOf(skin::kDialogClose), std::pair(13, 12));
    EXPECT_EQ(sizeOf(skin::kCheckBox), std::pair(12, 12));
}

}  // namespace
}  // namespace trivexa
