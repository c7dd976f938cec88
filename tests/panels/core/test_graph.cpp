// The acceleration graph's rules and plot as tables: scale mode, classifiers,
// geometry and the edge clamp, the sliding window, markers and their rows, the
// overspeed band, the event query and the tiles and cursor.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "graph_data.h"
#include "panels/core/graph_plot.h"
#include "panels/core/graph_rules.h"

namespace trivexa {
namespace {

using test::GraphData;

TEST(GraphRules, ScaleModeFollowsThePeak) {
    const struct {
        double peak;
        int mode;
    } cases[] = {{0.0, 0},
                 {0.49, 0},
                 {0.5, 1},
                 {0.99, 1},
                 {1.0, 2},
                 {1.49, 2},
                 {1.5, 3},
                 {7.0, 3},
                 {-3.0, 0},
                 {std::nan(""), 0},
                 {std::numeric_limits<double>::infinity(), 3}};
    for (const auto& c : cases) EXPECT_EQ(ScaleModeFor(c.peak), c.mode) << c.peak;
    EXPECT_EQ(LegendPicture(0), 163);
    EXPECT_EQ(LegendPicture(1), 162);
    EXPECT_EQ(LegendPicture(2), 188);
    EXPECT_EQ(LegendPicture(3), 189);
    EXPECT_EQ(LegendPicture(9), 163);
}

TEST(GraphRules, ClassifiersAndTheSwitchesThatGateThem) {
    AccelEntry e;
    e.axis = 2;
    e.event = 6;
    e.overspeedMark = 8;
    e.approachMark = 1;  // marks count only with their own numbers
    using C = EventCategory;
    const C expected[] = {C::None, C::ShockY,    C::None, C::None, C::EmergencyStop,
                          C::None, C::Overspeed, C::None, C::None};
    for (int s = 0; s < kGraphSeriesCount; ++s) EXPECT_EQ(ClassifyEntry(s, e), expected[s]) << s;
    e.event = 12;
    EXPECT_EQ(ClassifyEntry(kSeriesDriveSupport, e), C::SuddenBraking);
    EXPECT_EQ(ClassifyEntry(kSeriesEmergencyStop, e), C::None);
    EXPECT_EQ(ClassifyEntry(9, e), C::None);

    // UM_EVENT_DISPLAY switches 0..4 address series 8, 4, 5, 6, 7.
    const int series[] = {8, 4, 5, 6, 7, -1};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(SeriesForEventDisplay(i), series[i]);
}

TEST(GraphRules, GeometryAndTheEdgeClamp) {
    // The graph of a 1120 × 697 window: 656 wide, legend 143 high.
    const GraphMargins m = GraphMarginsFor(1.0f);
    EXPECT_EQ(m.leftMargin, 40);
    EXPECT_EQ(m.tileStep, 96 - 7 - 40);

    const int amplitude[] = {137, 68, 45, 34};
    for (int mode = 0; mode < 4; ++mode) {
        const GraphGeometry g = ComputeGraphGeometry(1.0f, 656, 40, mode, 1000);
        EXPECT_EQ(g.height, 143);
        EXPECT_EQ(g.centre, 71);
        EXPECT_EQ(g.edge, 66);
        EXPECT_EQ(g.amplitude, amplitude[mode]);
        EXPECT_EQ(g.plotWidth, 615);
        EXPECT_TRUE(g.Slides());
        EXPECT_DOUBLE_EQ(g.step, 1.0);
        // +2.7 G and -3.0 G sit at the edge, c - 5 s from the centre line.
        EXPECT_EQ(AxisOffset(g, 2.7), 66);
        EXPECT_EQ(AxisOffset(g, -3.0), -66);
        EXPECT_EQ(AxisOffset(g, std::nan("")), 0);
        EXPECT_EQ(AxisOffset(g, -std::numeric_limits<double>::infinity()), -66);
    }
    EXPECT_EQ(AxisOffset(ComputeGraphGeometry(1.0f, 656, 40, 0, 10), 0.25), 34);
    EXPECT_EQ(AxisOffset(ComputeGraphGeometry(1.0f, 656, 40, 3, 10), -0.5), -17);

    const GraphGeometry big = ComputeGraphGeometry(1.5f, 984, 60, 1, 100);
    EXPECT_EQ(big.height, 214);
    EXPECT_EQ(big.edge, 107 - 7);
    EXPECT_EQ(big.plotWidth, 984 - 1 - 60);
    EXPECT_FALSE(big.Slides());
    EXPECT_DOUBLE_EQ(big.step, 9.23);
}

TEST(GraphRules, WindowOfTimeShown) {
    // Fewer frames than pixels: frame k at step k.
    const GraphGeometry fits = ComputeGraphGeometry(1.0f, 141, 40, 1, 10);
    EXPECT_EQ(FrameAtStep(fits, 7, 500), 7);
    // More frames than pixels: one frame per pixel, sliding with the cursor.
    const GraphGeometry slides = ComputeGraphGeometry(1.0f, 141, 40, 1, 1000);
    EXPECT_DOUBLE_EQ(slides.rawStep, 0.1);
    EXPECT_EQ(FrameAtStep(slides, 0, 0), 0);
    EXPECT_EQ(FrameAtStep(slides, 99, 0), 99);
    EXPECT_EQ(FrameAtStep(slides, 0, 500), 450);
    EXPECT_EQ(FrameAtStep(slides, 99, 1000), 999);  // the last step shows the last frame
    EXPECT_EQ(FrameAtStep(slides, 0, -5000), -1);
}

TEST(GraphRules, TilesCursorAndLabelRows) {
    const std::vector<int> tiles = LegendTileXs(656, 49, 1.0f);
    ASSERT_EQ(tiles.size(), 14u);
    EXPECT_EQ(tiles.front(), 655);
    EXPECT_EQ(tiles[1], 605);
    EXPECT_EQ(tiles.back(), 15);
    for (int x : tiles) EXPECT_EQ(x % 5, 0);
    EXPECT_EQ(LegendTileXs(656, 73, 1.5f).front(), 651);  // multiples of truncate(7.5) = 7
    EXPECT_TRUE(LegendTileXs(656, 0, 1.0f).empty());
    EXPECT_TRUE(LegendTileXs(656, -49, 1.0f).empty());

    EXPECT_EQ(CursorX(656, 40, 0, 1000), 40);
    EXPECT_EQ(CursorX(656, 40, 500, 1000), 40 + 308);
    EXPECT_EQ(CursorX(656, 40, 1000, 1000), 655);  // kept inside the panel
    EXPECT_EQ(CursorX(656, 40, 5000, 1000), 655);
    EXPECT_EQ(CursorX(656, 40, -3, 1000), 40);
    EXPECT_EQ(CursorX(656, 40, 5, 0), std::nullopt);

    for (int row = 0; row <= 6; ++row) {
        EXPECT_EQ(MarkerLabelBottom(143, row, 1.0f, 1.0f), 138 + row);
        EXPECT_EQ(MarkerLabelBottom(286, row, 2.0f, 1.0f), 276 + 3 * row);
        EXPECT_EQ(MarkerLabelBottom(214, row, 1.5f, 1.5f), 214 - 7 + row);
    }
}

// A 141-wide panel: W = 100; with 10 frames a frame every 10 pixels.
GraphPlotInput SmallPanel() {
    GraphPlotInput in;
    in.clientWidth = 141;
    in.clientHeight = 143;
    in.leftMargin = 40;
    in.scaleMode = 0;
    return in;
}

TEST(GraphPlot, LinesAreClampedAndRunsAreOneSegment) {
    GraphData d;
    for (int i = 0; i < 10; ++i) d.Add(2.7, -3.0, i < 5 ? 0.0 : 0.25);
    d.MapEvenly(1);
    const GraphPlot plot = PlotGraph(SmallPanel(), d.View());
    EXPECT_EQ(plot.entriesDrawn, 10);
    // X at the top edge, Y at the bottom edge, each one segment to the final x.
    EXPECT_EQ(plot.lines[0], (std::vector<GraphPoint>{{40, 5}, {130, 5}}));
    EXPECT_EQ(plot.lines[1], (std::vector<GraphPoint>{{40, 137}, {130, 137}}));
    EXPECT_EQ(plot.lines[2], (std::vector<GraphPoint>{{40, 71}, {80, 71}, {90, 37}, {130, 37}}));
    EXPECT_TRUE(plot.band.empty());
}

TEST(GraphPlot, ShockRunGivesOneMarkerAndAtMostOnePerFrame) {
    GraphData d;
    d.Fill(10);
    d.accels[3].axis = 1;  // two consecutive X-shock frames
    d.accels[4].axis = 1;
    d.accels[6].axis = 2;  // a Y shock and a manual mark on one frame
    d.accels[6].event = 5;
    d.accels[8].event = 5;  // a manual mark with overspeed
    d.accels[8].overspeedMark = 8;
    const GraphPlot plot = PlotGraph(SmallPanel(), d.View());
    EXPECT_EQ(plot.events[kSeriesX], (std::vector<GraphMark>{{70, EventCategory::ShockX}}));
    EXPECT_EQ(plot.events[kSeriesY], (std::vector<GraphMark>{{100, EventCategory::ShockY}}));
    EXPECT_EQ(plot.events[kSeriesManual], (std::vector<GraphMark>{{120, EventCategory::Manual}}));
    EXPECT_EQ(plot.events[kSeriesOverspeed],
              (std::vector<GraphMark>{{120, EventCategory::Overspeed}}));

    // With the Y series hidden, its shock neither marks nor blocks the manual mark.
    GraphPlotInput in = SmallPanel();
    in.shown[kSeriesY] = false;
    const GraphPlot hidden = PlotGraph(in, d.View());
    EXPECT_TRUE(hidden.lines[kSeriesY].empty());
    EXPECT_TRUE(hidden.events[kSeriesY].empty());
    EXPECT_EQ(hidden.events[kSeriesManual],
              (std::vector<GraphMark>{{100, EventCategory::Manual}, {120, EventCategory::Manual}}));

    // Markers: series order, line over the plot, label rows at the bottom.
    const std::vector<GraphMarker> markers = LayoutMarkers(plot, 40, 1.0f, 1.0f);
    ASSERT_EQ(markers.size(), 4u);
    EXPECT_EQ(markers[0].category, EventCategory::ShockX);
    EXPECT_EQ(markers[0].labelX, 71);
    EXPECT_EQ(markers[0].labelBottom, 139);
    EXPECT_EQ(markers[0].lineBottom, 142);
    EXPECT_EQ(markers[1].labelBottom, 138);  // Y shocks in row 0
    EXPECT_EQ(markers[2].category, EventCategory::Manual);
    EXPECT_EQ(markers[3].category, EventCategory::Overspeed);
}

TEST(GraphPlot, OverspeedBandCoversItsRun) {
    GraphData d;
    d.Fill(10);
    for (int i = 2; i <= 5; ++i) d.accels[i].overspeedMark = 8;
    const GraphPlot plot = PlotGraph(SmallPanel(), d.View());
    EXPECT_EQ(plot.band, (std::vector<GraphSpan>{{60, 41}}));
    EXPECT_EQ(plot.bandTop, 143 - 29);
    EXPECT_EQ(plot.bandHeight, 29);
    EXPECT_EQ(plot.events[kSeriesOverspeed].size(), 1u);

    // A band to the last frame runs on to the end of the plot, inside the panel.
    for (int i = 7; i < 10; ++i) d.accels[i].overspeedMark = 8;
    const GraphPlot tail = PlotGraph(SmallPanel(), d.View());
    ASSERT_EQ(tail.band.size(), 2u);
    EXPECT_EQ(tail.band[1], (GraphSpan{110, 31}));

    // Hidden series 6: no band, no '#'.
    GraphPlotInput in = SmallPanel();
    in.shown[kSeriesOverspeed] = false;
    const GraphPlot off = PlotGraph(in, d.View());
    EXPECT_TRUE(off.band.empty());
    EXPECT_TRUE(off.events[kSeriesOverspeed].empty());
}

TEST(GraphPlot, SlidingWindowFollowsTheCursor) {
    GraphData d;
    d.Fill(1000);
    d.accels[50].event = 5;
    d.accels[950].event = 5;
    GraphPlotInput in = SmallPanel();
    in.cursorPosition = 0;
    const GraphPlot start = PlotGraph(in, d.View());
    EXPECT_EQ(start.entriesDrawn, 100);
    EXPECT_EQ(start.events[kSeriesManual], (std::vector<GraphMark>{{90, EventCategory::Manual}}));
    in.cursorPosition = 999;  // frames 899..998
    const GraphPlot end = PlotGraph(in, d.View());
    EXPECT_EQ(end.entriesDrawn, 100);
    EXPECT_EQ(end.events[kSeriesManual], (std::vector<GraphMark>{{91, EventCategory::Manual}}));
    for (const auto& line : end.lines)
        for (const GraphPoint& p : line) {
            EXPECT_GE(p.x, 40);
            EXPECT_LT(p.x, 141);
        }
}

TEST(GraphPlot, EntriesOverSeveralFramesAreDrawnOnce) {
    GraphData d;
    for (int i = 0; i < 5; ++i) d.Add(0.1 * i);
    d.MapEvenly(2);  // 10 frames, 2 per entry
    d.accels[2].event = 5;
    const GraphPlot plot = PlotGraph(SmallPanel(), d.View());
    EXPECT_EQ(plot.entriesDrawn, 5);
    EXPECT_EQ(plot.events[kSeriesManual], (std::vector<GraphMark>{{80, EventCategory::Manual}}));
    // The last entry holds its level to the last step drawn.
    EXPECT_EQ(plot.lines[0].back(), (GraphPoint{130, 71 - 54}));
}

TEST(GraphPlot, BadDataDrawsNothingOrStopsInside) {
    GraphData none;
    EXPECT_EQ(PlotGraph(SmallPanel(), none.View()).entriesDrawn, 0);
    GraphData d;
    d.Fill(10);
    // No room for a plot.
    GraphPlotInput narrow = SmallPanel();
    narrow.clientWidth = 30;
    EXPECT_EQ(PlotGraph(narrow, d.View()).entriesDrawn, 0);
    // A frame map shorter than the clip, and one whose slot names no entry:
    // the plot ends there.
    d.frameMap[6] = 99;
    EXPECT_EQ(PlotGraph(SmallPanel(), d.View()).entriesDrawn, 6);
    d.frameMap[6] = sensor::kNoLink;
    EXPECT_EQ(PlotGraph(SmallPanel(), d.View()).entriesDrawn, 6);
    // Not-a-number and huge values stay between the edges.
    GraphData odd;
    odd.Add(std::nan(""), 1e300, -1e300);
    odd.Add(100.0, -100.0, std::numeric_limits<double>::infinity());
    odd.MapEvenly(3);
    const GraphPlot plot = PlotGraph(SmallPanel(), odd.View());
    for (const auto& line : plot.lines)
        for (const GraphPoint& p : line) {
            EXPECT_GE(p.y, 5);
            EXPECT_LE(p.y, 137);
        }
}

TEST(GraphEvents, QueryListsRunStartsOfListedCategories) {
    GraphData d;
    d.Fill(8);
    d.accels[1].axis = 1;
    d.accels[2].axis = 1;
    d.accels[4].event = 6;  // emergency stop, gated by series 4
    d.accels[6].event = 5;  // manual, never gated
    SeriesFlags listed = kAllSeries;
    GraphEventList list;
    // No category: nothing, go on.
    EXPECT_TRUE(QueryGraphEvent(d.View(), listed, list, 0, kSeriesX));
    // Start of an X run: listed, stop.
    EXPECT_FALSE(QueryGraphEvent(d.View(), listed, list, 1, kSeriesX));
    // The run goes on: nothing, but still stop.
    EXPECT_FALSE(QueryGraphEvent(d.View(), listed, list, 2, kSeriesX));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], (GraphEvent{1, EventCategory::ShockX, kSeriesX, 1, 1}));
    // A gated category whose series is not listed: stop without an event.
    listed[kSeriesEmergencyStop] = false;
    EXPECT_FALSE(QueryGraphEvent(d.View(), listed, list, 4, kSeriesEmergencyStop));
    EXPECT_EQ(list.size(), 1u);
    listed[kSeriesManual] = false;  // category 5 ignores the flag
    EXPECT_FALSE(QueryGraphEvent(d.View(), listed, list, 6, kSeriesManual));
    EXPECT_EQ(list.size(), 2u);
    // Outside the map: go on; without a map: stop.
    EXPECT_TRUE(QueryGraphEvent(d.View(), listed, list, 99, kSeriesX));
    EXPECT_TRUE(QueryGraphEvent(d.View(), listed, list, -1, kSeriesX));
    GraphData empty;
    EXPECT_FALSE(QueryGraphEvent(empty.View(), listed, list, 0, kSeriesX));
    EXPECT_EQ(list.size(), 2u);
}

TEST(GraphEvents, RebuiltListTakesTheFirstSeriesOfEachFrame) {
    GraphData d;
    d.Fill(6);
    d.MapEvenly(3);  // 18 frames
    d.accels[1].axis = 2;
    d.accels[1].event = 5;  // Y shock stops the frame before the manual series
    d.accels[3].event = 11;
    d.accels[4].approachMark = 9;
    const GraphEventList all = BuildGraphEventList(d.View(), kAllSeries);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], (GraphEvent{1, EventCategory::ShockY, kSeriesY, 1, 3}));
    EXPECT_EQ(all[1],
              (GraphEvent{3, EventCategory::SuddenAcceleration, kSeriesDriveSupport, 3, 9}));
    EXPECT_EQ(all[2],
              (GraphEvent{4, EventCategory::ApproachingVehicle, kSeriesApproaching, 4, 12}));
    SeriesFlags listed = kAllSeries;
    listed[kSeriesDriveSupport] = false;
    EXPECT_EQ(BuildGraphEventList(d.View(), listed).size(), 2u);
}

}  // namespace
}  // namespace trivexa
