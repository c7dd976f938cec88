// Hit test, drag directions and the clamp of the resizable frame, by tables.
#include <gtest/gtest.h>

#include "controls/core/frame_geometry.h"

namespace trivexa {
namespace {

constexpr FrameRect kWin{100, 50, 1220, 747};  // 1120 × 697 at (100, 50)

struct HitCase {
    const char* name;
    FramePoint p;
    float s;
    bool fullScreen;
    bool maximised;
    HitZone zone;
};

class HitTestTable : public ::testing::TestWithParam<HitCase> {};

TEST_P(HitTestTable, FirstMatchWins) {
    const HitCase& c = GetParam();
    EXPECT_EQ(HitTest({kWin, c.p, c.s, c.fullScreen, c.maximised}), c.zone);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, HitTestTable,
    ::testing::Values(
        HitCase{"top_left_corner", {100, 50}, 1.0f, false, false, HitZone::kTopLeft},
        HitCase{"top_left_corner_inner", {103, 53}, 1.0f, false, false, HitZone::kTopLeft},
        HitCase{"top_edge_past_corner", {104, 53}, 1.0f, false, false, HitZone::kTop},
        HitCase{"top_right_corner", {1219, 50}, 1.0f, false, false, HitZone::kTopRight},
        HitCase{"bottom_left_corner", {100, 746}, 1.0f, false, false, HitZone::kBottomLeft},
        HitCase{"bottom_right_corner", {1216, 743}, 1.0f, false, false, HitZone::kBottomRight},
        HitCase{"left_edge", {102, 400}, 1.0f, false, false, HitZone::kLeft},
        HitCase{"left_edge_in_caption_rows", {101, 60}, 1.0f, false, false, HitZone::kLeft},
        HitCase{"right_edge", {1217, 400}, 1.0f, false, false, HitZone::kRight},
        HitCase{"bottom_edge", {600, 744}, 1.0f, false, false, HitZone::kBottom},
        HitCase{"caption", {600, 60}, 1.0f, false, false, HitZone::kCaption},
        HitCase{"caption_last_row", {600, 76}, 1.0f, false, false, HitZone::kCaption},
        HitCase{"below_caption", {600, 77}, 1.0f, false, false, HitZone::kClient},
        HitCase{"client", {600, 400}, 1.0f, false, false, HitZone::kClient},
        HitCase{"outside", {50, 20}, 1.0f, false, false, HitZone::kClient},
        // At s = 1.5 the edges are 6 wide and the caption band 40 high.
        HitCase{"scaled_edge", {105, 400}, 1.5f, false, false, HitZone::kLeft},
        HitCase{"scaled_caption", {600, 89}, 1.5f, false, false, HitZone::kCaption},
        HitCase{"scaled_client", {600, 90}, 1.5f, false, false, HitZone::kClient},
        // Full screen: all client.
        HitCase{"full_screen_edge", {100, 50}, 1.0f, true, false, HitZone::kClient},
        // Maximised: the whole top band, corners included, is the caption.
        HitCase{"maximised_corner", {100, 50}, 1.0f, false, true, HitZone::kCaption},
        HitCase{"maximised_top_edge", {600, 51}, 1.0f, false, true, HitZone::kCaption},
        HitCase{"maximised_left_edge", {101, 400}, 1.0f, false, true, HitZone::kLeft}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameDirections, ZonesMapToEdgesAndCursors) {
    struct Row {
        HitZone zone;
        DragDirection direction;
        ZoneCursor cursor;
    };
    const Row rows[] = {
        {HitZone::kLeft, DragDirection::kLeft, ZoneCursor::kSizeWE},
        {HitZone::kTop, DragDirection::kTop, ZoneCursor::kSizeNS},
        {HitZone::kRight, DragDirection::kRight, ZoneCursor::kSizeWE},
        {HitZone::kBottom, DragDirection::kBottom, ZoneCursor::kSizeNS},
        {HitZone::kTopLeft, DragDirection::kTopLeft, ZoneCursor::kSizeNWSE},
        {HitZone::kBottomRight, DragDirection::kBottomRight, ZoneCursor::kSizeNWSE},
        {HitZone::kBottomLeft, DragDirection::kBottomLeft, ZoneCursor::kSizeNESW},
        {HitZone::kTopRight, DragDirection::kTopRight, ZoneCursor::kSizeNESW},
        {HitZone::kCaption, DragDirection::kNone, ZoneCursor::kArrow},
        {HitZone::kClient, DragDirection::kNone, ZoneCursor::kArrow},
        {HitZone::kNone, DragDirection::kNone, ZoneCursor::kArrow},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(DirectionFromZone(r.zone), r.direction) << static_cast<int>(r.zone);
        EXPECT_EQ(CursorForZone(r.zone), r.cursor) << static_cast<int>(r.zone);
    }
}

constexpr FrameSize kBase{1120, 697};
constexpr FrameSize kMonitor{1920, 1080};

struct ClassifyCase {
    const char* name;
    FrameRect r;
    DragDirection d;
    int clampCase;
};

class ClassifyTable : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyTable, ChoosesTheClamp) {
    const ClassifyCase& c = GetParam();
    EXPECT_EQ(Classify(c.r, c.d, kBase, kMonitor).clampCase, c.clampCase);
}

// Widths: 1000 < base, 1500 inside, 2000 > monitor; heights 600 < base, 900 inside, 1200 > monitor.
INSTANTIATE_TEST_SUITE_P(
    Cases, ClassifyTable,
    ::testing::Values(
        ClassifyCase{"inside", {0, 0, 1500, 900}, DragDirection::kRight, 0},
        ClassifyCase{"none", {0, 0, 10, 10}, DragDirection::kNone, 0},
        // Single edges: height first.
        ClassifyCase{"edge_too_tall", {0, 0, 1000, 1200}, DragDirection::kBottom, 8},
        ClassifyCase{"edge_too_short", {0, 0, 1000, 600}, DragDirection::kTop, 7},
        ClassifyCase{"edge_too_narrow", {0, 0, 1000, 900}, DragDirection::kLeft, 5},
        ClassifyCase{"edge_too_wide", {0, 0, 2000, 900}, DragDirection::kRight, 6},
        // Corners: the combined cases first.
        ClassifyCase{"narrow_and_tall", {0, 0, 1000, 1200}, DragDirection::kBottomRight, 2},
        ClassifyCase{"wide_and_short", {0, 0, 2000, 600}, DragDirection::kTopLeft, 3},
        ClassifyCase{"narrow_and_short", {0, 0, 1000, 600}, DragDirection::kBottomLeft, 1},
        ClassifyCase{"wide_and_tall", {0, 0, 2000, 1200}, DragDirection::kTopRight, 4},
        ClassifyCase{"corner_tall", {0, 0, 1500, 1200}, DragDirection::kBottomRight, 8},
        ClassifyCase{"corner_short", {0, 0, 1500, 600}, DragDirection::kBottomRight, 7},
        ClassifyCase{"corner_narrow", {0, 0, 1000, 900}, DragDirection::kBottomRight, 5},
        ClassifyCase{"corner_wide", {0, 0, 2000, 900}, DragDirection::kBottomRight, 6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Classify, FactorsStayBetweenOneAndTheMonitor) {
    const ClassifyResult inside =
        Classify({0, 0, 1680, 697}, DragDirection::kRight, kBase, kMonitor);
    EXPECT_FLOAT_EQ(inside.factorX, 1.5f);
    EXPECT_FLOAT_EQ(inside.factorY, 1.0f);
    const ClassifyResult small = Classify({0, 0, 100, 100}, DragDirection::kRight, kBase, kMonitor);
    EXPECT_FLOAT_EQ(small.factorX, 1.0f);
    EXPECT_FLOAT_EQ(small.factorY, 1.0f);
    const ClassifyResult big = Classify({0, 0, 4000, 4000}, DragDirection::kRight, kBase, kMonitor);
    EXPECT_FLOAT_EQ(big.factorX, 1920.0f / 1120.0f);
    EXPECT_FLOAT_EQ(big.factorY, 1080.0f / 697.0f);
}

TEST(Classify, ZeroBaseDoesNotDivideByZero) {
    const ClassifyResult r = Classify({0, 0, 10, 10}, DragDirection::kRight, {0, 0}, kMonitor);
    EXPECT_FLOAT_EQ(r.factorX, 10.0f);
}

struct ConstrainCase {
    const char* name;
    DragDirection d;
    FramePoint cursor;
    FrameRect expected;
};

class ConstrainTable : public ::testing::TestWithParam<ConstrainCase> {};

TEST_P(ConstrainTable, ClampsAndAnchorsTheOppositeEdge) {
    const ConstrainCase& c = GetParam();
    const FrameRect start{100, 50, 1400, 850};  // 1300 × 800
    FramePoint memory{-1, -1};
    const ConstrainResult r =
        Constrain(PutDraggedEdges(start, c.d, c.cursor), {c.d, c.cursor, kBase, kMonitor}, memory);
    EXPECT_TRUE(r.changed);
    EXPECT_EQ(r.rect, c.expected);
    EXPECT_EQ(memory, c.cursor);
}

INSTANTIATE_TEST_SUITE_P(
    Drags, ConstrainTable,
    ::testing::Values(
        // Narrower than the base from the right: exactly the base width, left kept.
        ConstrainCase{"right_narrow", DragDirection::kRight, {900, 400}, {100, 50, 1220, 850}},
        // From the left: the right edge stays, also when clamped.
        ConstrainCase{"left_free", DragDirection::kLeft, {200, 400}, {200, 50, 1400, 850}},
        ConstrainCase{"left_narrow", DragDirection::kLeft, {600, 400}, {280, 50, 1400, 850}},
        ConstrainCase{"left_wide", DragDirection::kLeft, {-1000, 400}, {-520, 50, 1400, 850}},
        // Top: the bottom stays.
        ConstrainCase{"top_short", DragDirection::kTop, {500, 400}, {100, 153, 1400, 850}},
        // Bottom beyond the monitor: exactly the monitor's height.
        ConstrainCase{"bottom_tall", DragDirection::kBottom, {500, 2000}, {100, 50, 1400, 1130}},
        // The bottom-right corner beyond the monitor: exactly the monitor's size.
        ConstrainCase{
            "corner_beyond", DragDirection::kBottomRight, {3000, 3000}, {100, 50, 2020, 1130}},
        // Top-left corner too small: base size, anchored at the bottom right.
        ConstrainCase{
            "top_left_small", DragDirection::kTopLeft, {1300, 800}, {280, 153, 1400, 850}},
        // Bottom-left: narrow and inside in height; right and top stay.
        ConstrainCase{
            "bottom_left_narrow", DragDirection::kBottomLeft, {700, 900}, {280, 50, 1400, 900}},
        // Top-right: too tall, width free.
        ConstrainCase{
            "top_right_tall", DragDirection::kTopRight, {1600, -600}, {100, -230, 1600, 850}},
        // Within limits: the edges at the cursor as they are.
        ConstrainCase{"inside", DragDirection::kBottomRight, {1500, 900}, {100, 50, 1500, 900}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Constrain, AnUnmovedCursorChangesNothing) {
    const FrameRect r{0, 0, 900, 600};
    FramePoint memory{900, 600};
    const ConstrainResult out =
        Constrain(r, {DragDirection::kBottomRight, {900, 600}, kBase, kMonitor}, memory);
    EXPECT_FALSE(out.changed);
    EXPECT_EQ(out.rect, r);
    // ConstrainNow ignores the memory: a release where the last one ended is still clamped.
    const ConstrainResult now =
        ConstrainNow(r, {DragDirection::kBottomRight, {900, 600}, kBase, kMonitor});
    EXPECT_TRUE(now.changed);
    EXPECT_EQ(now.rect, (FrameRect{0, 0, 1120, 697}));
}

TEST(Constrain, CornerBeyondTheMonitorGivesMonitorFactors) {
    const ConstrainResult r = ConstrainNow(
        {0, 0, 1120, 697}, {DragDirection::kBottomRight, {5000, 5000}, kBase, kMonitor});
    EXPECT_FLOAT_EQ(r.factors.factorX, 1920.0f / 1120.0f);
    EXPECT_FLOAT_EQ(r.factors.factorY, 1080.0f / 697.0f);
    EXPECT_EQ(r.rect.Width(), 1920);
    EXPECT_EQ(r.rect.Height(), 1080);
}

TEST(SizeFactors, StoredValuesAreCheckedBeforeUse) {
    EXPECT_TRUE(IsUsableSizeFactor(1.0));
    EXPECT_TRUE(IsUsableSizeFactor(1.5));
    EXPECT_TRUE(IsUsableSizeFactor(kMaxSizeFactor));
    EXPECT_FALSE(IsUsableSizeFactor(0.0));
    EXPECT_FALSE(IsUsableSizeFactor(-2.0));
    EXPECT_FALSE(IsUsableSizeFactor(1e30));
    EXPECT_FALSE(IsUsableSizeFactor(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(IsUsableSizeFactor(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(ScaledExtent(1120, 1.5), 1680);
    EXPECT_EQ(ScaledExtent(1120, 0.0), 1);
    EXPECT_GT(ScaledExtent(1120, 1e30), 0);
}

}  // namespace
}  // namespace trivexa
