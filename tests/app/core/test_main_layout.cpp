// The main window's geometry by table: sizes, children, frame, presentation
// changes, the work-area fit, the scale re-check, the detached windows and the
// nine-slice background.
#include <gtest/gtest.h>

#include <vector>

#include "app/core/layout_scale.h"
#include "app/core/main_layout.h"

namespace trivexa {
namespace {

FrameRect R(int l, int t, int r, int b) { return {l, t, r, b}; }

TEST(MainLayout, SizesAtScaleOneAndOneAndAHalf) {
    EXPECT_EQ(MainWindowSizes(1120, 697, 1.0f), (VideoArea{656, 369}));
    EXPECT_EQ(InitialVideoArea(1.0f), (VideoArea{656, 370}));
    EXPECT_EQ(MainBaseSize(1.0f), (FrameSize{1120, 697}));
    // 1.5: 6·s = 9, 440·s = 660, 27·s = 40, 105·s = 157, 697·s = 1045.
    EXPECT_EQ(MainWindowSizes(1680, 1045, 1.5f), (VideoArea{1680 - 36 - 660, 1045 - 491}));
    EXPECT_EQ(MainBaseSize(1.5f), (FrameSize{1680, 1045}));
    // A stored SCALEX of 1.5 makes the window 1680 wide at s = 1.
    EXPECT_EQ(MainWindowRect({30, 40}, 1.0f, 1.5f, 1.0f), R(30, 40, 30 + 1680, 40 + 697));
    EXPECT_EQ(MainWindowRect({0, 0}, 1.0f, 1.25f, 1.1f), R(0, 0, 1400, 766));
}

TEST(MainLayout, VideoSurfaceBeforeAndAfterTheFactors) {
    // 656 × 372 until the factors are loaded, then 656 × 371.
    EXPECT_EQ(PlaceVideoArea(InitialVideoArea(1.0f), 1.0f), R(6, 27, 662, 27 + 372));
    EXPECT_EQ(PlaceVideoArea(MainWindowSizes(1120, 697, 1.0f), 1.0f), R(6, 27, 662, 27 + 371));
}

TEST(MainLayout, ChildrenAtScaleOne) {
    const MainLayout l = LayOutChildren({1120, 697}, MainWindowSizes(1120, 697, 1.0f), 1.0f);
    ASSERT_TRUE(l.valid);
    EXPECT_EQ(l.videoRect, R(6, 26, 662, 398));
    EXPECT_EQ(l.seekSlider, R(6, 398, 662, 408));
    EXPECT_EQ(l.tripPanel, R(6, 408, 662, 513));
    EXPECT_EQ(l.graph, R(6, 513, 662, 656));
    // The browser runs from the video's right edge to 6 pixels before the
    // window's right edge: 452 wide.
    EXPECT_EQ(l.browser, R(662, 27, 1114, 656));
    EXPECT_EQ(l.browser.Width(), 452);
    EXPECT_EQ(l.controlButtons[0], R(20, 661, 52, 693));
    EXPECT_EQ(l.controlButtons[10], R(450, 661, 482, 693));
    EXPECT_EQ(l.controlButtons[11], R(523, 661, 555, 693));  // 30 further apart
    EXPECT_EQ(l.controlButtons[15], R(695, 661, 727, 693));
    // Close, maximise, minimise touch each other and end 10 from the edge.
    EXPECT_EQ(l.captionButtons[0], R(1064, 0, 1110, 18));
    EXPECT_EQ(l.captionButtons[1], R(1038, 0, 1064, 18));
    EXPECT_EQ(l.captionButtons[2], R(1012, 0, 1038, 18));
    EXPECT_EQ(l.volumeSlider, R(1000, 667, 1100, 687));
}

TEST(MainLayout, ChildrenAtScaleOneAndAHalfStayInsideAndDoNotOverlap) {
    const float s = 1.5f;
    const FrameSize client{1680, 1045};
    const MainLayout l = LayOutChildren(client, MainWindowSizes(1680, 1045, s), s);
    ASSERT_TRUE(l.valid);
    EXPECT_EQ(l.browser.Width(), 660 + 18);
    EXPECT_EQ(l.browser.right, client.width - 9);
    EXPECT_EQ(l.seekSlider.top, l.videoRect.bottom);
    EXPECT_EQ(l.tripPanel.top, l.seekSlider.bottom);
    EXPECT_EQ(l.graph.top, l.tripPanel.bottom);
    EXPECT_GT(l.graph.Height(), 0);
    EXPECT_LE(l.graph.bottom, l.controlButtons[0].top);
    for (int i = 1; i < kControlButtonCount; ++i)
        EXPECT_LT(l.controlButtons[i - 1].right, l.controlButtons[i].left) << i;
    EXPECT_LT(l.controlButtons[15].right, l.volumeSlider.left);
    EXPECT_EQ(l.captionButtons[0].right, client.width - 15);
    EXPECT_EQ(l.captionButtons[0].Height(), 27);
}

TEST(MainLayout, NothingMovesWithoutWidth) {
    EXPECT_FALSE(LayOutChildren({0, 697}, {656, 369}, 1.0f).valid);
    EXPECT_FALSE(LayOutChildren({1120, 697}, {0, 369}, 1.0f).valid);
    EXPECT_EQ(ControlButtonRect(0, {0, 697}, 1.0f), FrameRect{});
    EXPECT_EQ(ControlButtonRect(16, {1120, 697}, 1.0f), FrameRect{});
    EXPECT_EQ(VolumeSliderRect({0, 697}, 1.0f), FrameRect{});
}

TEST(MainLayout, MaximiseTooltip) {
    EXPECT_EQ(MaximiseTooltipId(false, false), 177);
    EXPECT_EQ(MaximiseTooltipId(true, false), 178);
    EXPECT_EQ(MaximiseTooltipId(true, true), 177);
}

TEST(MainLayout, HitTestOfTheFrame) {
    const FrameRect w = R(100, 100, 1220, 797);
    struct Case {
        FramePoint p;
        bool fullScreen, maximised;
        HitZone zone;
    } cases[] = {
        {{106, 106}, false, false, HitZone::kCaption},
        {{105, 106}, false, false, HitZone::kClient},  // left of the band
        {{106, 105}, false, false, HitZone::kClient},  // above it
        {{1213, 126}, false, false, HitZone::kCaption},
        {{1214, 126}, false, false, HitZone::kClient},
        {{500, 127}, false, false, HitZone::kClient},  // below the 27·s band
        {{500, 110}, false, true, HitZone::kClient},   // maximised: the window drags itself
        {{500, 110}, true, false, HitZone::kClient},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MainWindowHitTest(w, c.p, 1.0f, c.fullScreen, c.maximised), c.zone)
            << c.p.x << "," << c.p.y;
    EXPECT_FALSE(DragLeavesMaximised({10, 10}, {14, 6}, 1.0f));
    EXPECT_TRUE(DragLeavesMaximised({10, 10}, {15, 10}, 1.0f));
    EXPECT_TRUE(DragLeavesMaximised({10, 10}, {10, 5}, 1.0f));
    EXPECT_FALSE(DragLeavesMaximised({10, 10}, {16, 10}, 1.5f));  // 4·s = 6
}

TEST(MainLayout, PresentationChanges) {
    const PresentationFlags normal{false, false, true};
    const PresentationFlags maximised{true, false, true};
    const PresentationFlags minimised{false, true, false};

    SizeChangeActions a = OnSizeChanged(SizeType::kMinimised, maximised);
    EXPECT_TRUE(a.minimiseMap);
    EXPECT_TRUE(a.minimiseSecondary);
    EXPECT_EQ(a.after, (PresentationFlags{false, true, true}));

    a = OnSizeChanged(SizeType::kMaximised, normal);
    EXPECT_FALSE(a.restoreSecondary);
    EXPECT_EQ(a.tripWidthFactor, kTripWidthMaximised);
    EXPECT_TRUE(a.resetPrimaryZoom);
    EXPECT_TRUE(a.fitToWorkArea);
    EXPECT_TRUE(a.after.maximised);

    a = OnSizeChanged(SizeType::kMaximised, maximised);  // already maximised: nothing
    EXPECT_FALSE(a.fitToWorkArea);
    EXPECT_FALSE(a.tripWidthFactor.has_value());

    a = OnSizeChanged(SizeType::kMaximised, minimised);  // back from the task bar
    EXPECT_TRUE(a.restoreSecondary);
    EXPECT_FALSE(a.restoreMap);  // the map was off
    EXPECT_EQ(a.after, (PresentationFlags{true, false, false}));

    a = OnSizeChanged(SizeType::kRestored, maximised);
    EXPECT_EQ(a.tripWidthFactor, kTripWidthNormal);
    EXPECT_TRUE(a.returnToRestoreRect);
    EXPECT_TRUE(a.updateMaximiseTooltip);
    EXPECT_TRUE(a.raiseMap);
    EXPECT_TRUE(a.raiseSecondary);
    EXPECT_FALSE(a.restoreSecondary);
    EXPECT_EQ(a.after, (PresentationFlags{false, false, true}));

    a = OnSizeChanged(SizeType::kRestored, normal);  // nothing to undo
    EXPECT_FALSE(a.returnToRestoreRect);
    EXPECT_FALSE(a.raiseSecondary);

    a = OnSizeChanged(SizeType::kOther, maximised);
    EXPECT_EQ(a.after, (PresentationFlags{false, false, true}));
}

TEST(MainLayout, WindowMoved) {
    EXPECT_EQ(OnWindowMoved(true, false, false, false, DragDirection::kNone).rememberPosition,
              false);
    MoveActions a = OnWindowMoved(false, true, false, true, DragDirection::kNone);
    EXPECT_TRUE(a.fitToWorkArea);  // a maximised window springs back
    EXPECT_FALSE(a.takeTargetRect);
    a = OnWindowMoved(false, true, false, false, DragDirection::kNone);
    EXPECT_FALSE(a.fitToWorkArea);
    a = OnWindowMoved(false, false, false, false, DragDirection::kNone);
    EXPECT_TRUE(a.rememberPosition);
    EXPECT_TRUE(a.takeTargetRect);
    EXPECT_FALSE(OnWindowMoved(false, false, false, true, DragDirection::kLeft).takeTargetRect);
    EXPECT_TRUE(OnWindowMoved(false, false, false, true, DragDirection::kNone).takeTargetRect);
    EXPECT_FALSE(OnWindowMoved(false, false, true, false, DragDirection::kNone).takeTargetRect);
}

TEST(MainLayout, FitToTheWorkArea) {
    const FrameRect monitor = R(0, 0, 1920, 1080);
    const FrameRect work = R(0, 0, 1920, 1040);
    EXPECT_EQ(FitToWorkArea(work, monitor, std::nullopt), work);
    // An auto-hidden bar leaves a one-pixel gap on its edge.
    EXPECT_EQ(FitToWorkArea(monitor, monitor, AutoHideTaskbar{R(0, 0, 2, 1080)}),
              R(1, 0, 1920, 1080));
    EXPECT_EQ(FitToWorkArea(monitor, monitor, AutoHideTaskbar{R(0, 0, 1920, 2)}),
              R(0, 1, 1920, 1080));
    EXPECT_EQ(FitToWorkArea(monitor, monitor, AutoHideTaskbar{R(1918, 0, 1920, 1080)}),
              R(0, 0, 1919, 1080));
    EXPECT_EQ(FitToWorkArea(monitor, monitor, AutoHideTaskbar{R(0, 1078, 1920, 1080)}),
              R(0, 0, 1920, 1079));
}

TEST(MainLayout, RecheckingTheScaleFollowsTheWorkArea) {
    const FrameRect tall = R(0, 0, 1920, 1040);
    EXPECT_FALSE(RecheckScale(-1.0f, 1.0f, tall, R(0, 0, 1, 1)).rescale);  // base unset
    EXPECT_FALSE(RecheckScale(1.0f, 1.0f, tall, tall).rescale);            // unchanged
    ScaleRecheck r = RecheckScale(1.0f, 1.0f, tall, R(0, 0, 1920, 1000));
    EXPECT_TRUE(r.storeWorkArea);
    EXPECT_TRUE(r.rescale);
    EXPECT_EQ(r.scale, 1.0f);

    // The task bar grows until the work area is lower than the window: the
    // intermediate scale shrinks with it, and *Scale and fonts* then settles
    // on 0.9 × 650 / truncate(697 × intermediate), about 0.9.
    const FrameRect low = R(0, 0, 1920, 650);
    r = RecheckScale(1.0f, 1.0f, low, tall);
    ASSERT_TRUE(r.rescale);
    EXPECT_FLOAT_EQ(r.scale, 650.0f / 697.0f);
    ScaleInputs in;
    in.currentScale = r.scale;
    in.workAreaHeight = low.Height();
    const float settled = ComputeScaleAndFonts(in).scale;
    EXPECT_NEAR(settled, 0.9 * 650 / Units(697, r.scale), 1e-5);
    EXPECT_NEAR(settled, 0.9, 0.002);

    // Back to a tall work area: the base scale returns, and with it s = 1.
    r = RecheckScale(1.0f, settled, R(0, 0, 1920, 800), low);
    ASSERT_TRUE(r.rescale);
    EXPECT_EQ(r.scale, 1.0f);
    in.currentScale = r.scale;
    in.workAreaHeight = 800;
    EXPECT_EQ(ComputeScaleAndFonts(in).scale, 1.0f);

    // A screen that reports a work area without height keeps the base scale.
    EXPECT_EQ(RecheckScale(1.0f, 1.0f, R(0, 0, 0, 0), tall).scale, 1.0f);
}

TEST(MainLayout, ScreenChangesPlanTheRescale) {
    const FrameRect tall = R(0, 0, 1920, 1040);
    const FrameRect low = R(0, 0, 1920, 650);
    struct Row {
        const char* what;
        ScreenChangeInput in;
        ScreenChangePlan want;
    };
    auto input = [&](bool full, bool max, float d, const FrameRect& area) {
        ScreenChangeInput in;
        in.fullScreen = full;
        in.maximised = max;
        in.baseScale = 1.0f;
        in.scale = 1.0f;
        in.dpiFactor = 1.0f;
        in.screenDpiFactor = d;
        in.workArea = area;
        in.storedWorkArea = tall;
        return in;
    };
    const Row rows[] = {
        {"full screen ignores everything", input(true, false, 1.5f, low), {}},
        {"nothing changed", input(false, false, 1.0f, tall), {}},
        {"lower work area re-checks",
         input(false, false, 1.0f, low),
         {true, true, 650.0f / 697.0f, false, false}},
        {"maximised window is fitted again",
         input(false, true, 1.0f, low),
         {false, false, 1.0f, false, true}},
        {"maximised, same work area", input(false, true, 1.0f, tall), {}},
        {"dpi change re-scales from 1 with a new base",
         input(false, false, 1.5f, tall),
         {true, true, 1.0f, true, false}},
        {"dpi change while maximised also fits",
         input(false, true, 2.0f, tall),
         {true, true, 1.0f, true, true}},
        {"a screen without dpi is no dpi change", input(false, false, 0.0f, tall), {}},
    };
    // At 144 dpi (d = 1.5, base 1.5) the re-checked s goes to *Scale and
    // fonts* without d: a tall work area gives back 1, which it turns into 1.5
    // again, the scale of the start-up.
    const FrameRect taller = R(0, 0, 2560, 1400);
    ScreenChangeInput high = input(false, false, 1.5f, taller);
    high.baseScale = 1.5f;
    high.scale = 1.35f;
    high.dpiFactor = 1.5f;
    high.storedWorkArea = low;
    ScreenChangePlan p = PlanScreenChange(high);
    ASSERT_TRUE(p.rescale);
    EXPECT_FLOAT_EQ(p.scale, 1.0f);
    EXPECT_FALSE(p.takeBaseScale);
    ScaleInputs back;
    back.currentScale = p.scale;
    back.dpiX = back.dpiY = 144;
    back.workAreaHeight = taller.Height();
    EXPECT_FLOAT_EQ(ComputeScaleAndFonts(back).scale, 1.5f);
    for (const Row& row : rows) {
        const ScreenChangePlan got = PlanScreenChange(row.in);
        EXPECT_EQ(got.storeWorkArea, row.want.storeWorkArea) << row.what;
        EXPECT_EQ(got.rescale, row.want.rescale) << row.what;
        if (row.want.rescale) {
            EXPECT_FLOAT_EQ(got.scale, row.want.scale) << row.what;
        }
        EXPECT_EQ(got.takeBaseScale, row.want.takeBaseScale) << row.what;
        EXPECT_EQ(got.fitToWorkArea, row.want.fitToWorkArea) << row.what;
    }
    // Base scale unset (before the window's start): no re-check.
    ScreenChangeInput early = input(false, false, 1.0f, low);
    early.baseScale = -1.0f;
    EXPECT_FALSE(PlanScreenChange(early).rescale);
}

TEST(MainLayout, SmallScreensMaximiseTheWindow) {
    // 1024 x 600 at 96 dpi: *Scale and fonts* from s = 1 settles on a scale
    // whose window fits; the fit at that scale is 1 and the window is
    // narrower than the screen, so it stays normal.
    ScaleInputs in;
    in.workAreaHeight = 600;
    const float s = ComputeScaleAndFonts(in).scale;
    const FrameSize at{Units(1120, s), Units(697, s)};
    EXPECT_LT(at.height, 600);
    EXPECT_FALSE(MaximiseToFit(WorkAreaFit(s, 1.0f, 600), at, R(0, 0, 1024, 600)));
    // The same scale on a work area that shrank below the window's height.
    EXPECT_TRUE(MaximiseToFit(WorkAreaFit(s, 1.0f, 500), at, R(0, 0, 1024, 500)));
    EXPECT_TRUE(MaximiseToFit(1.0f, at, R(0, 0, 1024, 500)));
    // 800 x 600: the window at that scale is wider than the screen.
    EXPECT_TRUE(MaximiseToFit(WorkAreaFit(s, 1.0f, 600), at, R(0, 0, 800, 600)));
    // A narrow (portrait) screen: tall enough for s = 1, too narrow for 1120.
    EXPECT_TRUE(MaximiseToFit(WorkAreaFit(1.0f, 1.0f, 1280), {1120, 697}, R(0, 0, 800, 1280)));
    EXPECT_FALSE(MaximiseToFit(1.0f, {1120, 697}, R(0, 0, 1920, 1040)));
    // No work area known: only the fit decides.
    EXPECT_FALSE(MaximiseToFit(1.0f, {1120, 697}, R(0, 0, 0, 0)));
    EXPECT_TRUE(MaximiseToFit(0.9f, {1120, 697}, R(0, 0, 0, 0)));
}

TEST(MainLayout, FullScreenCoversTheMonitor) {
    const FullScreenPlacement p = PlaceFullScreen(R(1920, 0, 3840, 1200));
    EXPECT_EQ(p.window, R(1920, 0, 3840, 1200));
    EXPECT_EQ(p.surface, R(0, 0, 1920, 1200));
}

TEST(MainLayout, DetachedWindowSizes) {
    const DetachedBaseSizes b = DeriveDetachedBaseSizes(1.0f);
    EXPECT_EQ(b.main, (FrameSize{1120, 697}));
    EXPECT_EQ(b.map, (FrameSize{452, 393}));
    EXPECT_EQ(b.secondary, (FrameSize{452, 274}));
    EXPECT_EQ(b.settings, (FrameSize{460, 315}));
    EXPECT_EQ(InitialMapWindowSize(1.0f), (FrameSize{452, 369}));
    EXPECT_EQ(InitialSecondaryWindowSize(1.0f), (FrameSize{656, 370}));
    const DetachedBaseSizes big = DeriveDetachedBaseSizes(1.5f);
    EXPECT_EQ(big.map.width, 678);
    EXPECT_EQ(big.secondary.width, 678);
}

TEST(MainLayout, DetachedWindowsStartOverTheBrowser) {
    const float s = 1.0f;
    const MainLayout l = LayOutChildren({1120, 697}, MainWindowSizes(1120, 697, s), s);
    const FramePoint origin{100, 50};
    const DetachedBaseSizes b = DeriveDetachedBaseSizes(s);
    DetachedPlaces p = DetachedFirstPlaces(origin, l.videoRect, l.browser, s, b, {}, {});
    // The map at the browser's top-left corner, the secondary window with its
    // bottom on the browser's bottom.
    EXPECT_EQ(p.map, R(100 + 662, 50 + 27, 100 + 662 + 452, 50 + 27 + 393));
    EXPECT_EQ(p.secondary.left, 100 + l.browser.left);
    EXPECT_EQ(p.secondary.bottom, 50 + l.browser.bottom);
    EXPECT_EQ(p.secondary.Height(), 274);
    p = DetachedFirstPlaces(origin, l.videoRect, l.browser, s, b, {1.5f, 1.2f}, {1.25f, 2.0f});
    EXPECT_EQ(p.map.Width(), 678);
    EXPECT_EQ(p.map.Height(), 471);
    EXPECT_EQ(p.secondary.Width(), 565);
    EXPECT_EQ(p.secondary.Height(), 548);
    EXPECT_EQ(p.secondary.top, 50 + l.browser.bottom - 274);  // the top stays

    EXPECT_EQ(DetachedContentRect({452, 274}, 1.0f), R(4, 20, 448, 270));
    EXPECT_EQ(DetachedContentRect({5, 10}, 1.0f), R(4, 20, 4, 20));  // nothing fits
}

// Marks every target pixel the cells cover; all must be covered.
bool CoversAll(const std::vector<SliceCell>& cells, FrameSize target) {
    std::vector<char> hit(static_cast<size_t>(target.width) * target.height, 0);
    for (const SliceCell& c : cells)
        for (int y = std::max(c.target.top, 0); y < std::min(c.target.bottom, target.height); ++y)
            for (int x = std::max(c.target.left, 0); x < std::min(c.target.right, target.width);
                 ++x)
                hit[static_cast<size_t>(y) * target.width + x] = 1;
    for (char h : hit)
        if (!h) return false;
    return true;
}

TEST(MainLayout, NineSliceCells) {
    const FrameSize picture{96, 96};
    std::vector<SliceCell> cells = NineSliceCells(picture, {1120, 697}, 1.0f);
    // 1120 / 32 → columns 0..35; 697 / 32 → rows 0..21.
    ASSERT_EQ(cells.size(), 36u * 22u);
    // Edge cells are drawn 1:1 at s = 1 and end on the window's edges; inner
    // cells overlap their neighbours by a pixel.
    EXPECT_EQ(cells.front(), (SliceCell{R(0, 0, 32, 32), R(0, 0, 32, 32)}));
    EXPECT_EQ(cells[35], (SliceCell{R(64, 0, 96, 32), R(1088, 0, 1120, 32)}));
    EXPECT_EQ(cells[36 * 3 + 5], (SliceCell{R(32, 32, 64, 64), R(160, 96, 193, 129)}));
    EXPECT_EQ(cells[36 * 3 + 35].target, R(1088, 96, 1120, 129));
    EXPECT_EQ(cells.back().source, R(64, 64, 96, 96));
    EXPECT_EQ(cells.back().target, R(1088, 665, 1120, 697));

    struct Case {
        FrameSize target;
        float s;
    } cases[] = {{{1120, 697}, 1.0f}, {{1680, 1045}, 1.5f}, {{1301, 906}, 1.3f}, {{40, 20}, 1.0f}};
    for (const Case& c : cases)
        EXPECT_TRUE(CoversAll(NineSliceCells(picture, c.target, c.s), c.target)) << c.s;

    EXPECT_TRUE(NineSliceCells({2, 2}, {100, 100}, 1.0f).empty());  // too small to slice
    EXPECT_TRUE(NineSliceCells(picture, {0, 100}, 1.0f).empty());
    EXPECT_EQ(TitleRect(1.0f), R(10, 4, 400, 30));
    EXPECT_EQ(TitleRect(1.5f), R(15, 6, 600, 45));
}

}  // namespace
}  // namespace trivexa
