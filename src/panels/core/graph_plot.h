#pragma once
// The acceleration graph's plot as data: the axis polylines, the overspeed
// band and the event markers of one paint, computed from the sensor data and
// the panel's fields; and the event query the main window builds its event
// list with. CGSensorDlg draws what PlotGraph and LayoutMarkers return.
//
// Pure functions of their arguments; the caller uses the view only inside the
// SensorSource::Read that handed it out.

#include <array>
#include <cstdint>
#include <vector>

#include "panels/core/graph_rules.h"
#include "panels/core/sensor_view.h"

namespace trivexa {

struct GraphPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const GraphPoint&, const GraphPoint&) = default;
};

// An event found while plotting: its column and category.
struct GraphMark {
    int x = 0;
    EventCategory category = EventCategory::None;
    friend bool operator==(const GraphMark&, const GraphMark&) = default;
};

// Columns [x, x + width) of the overspeed band.
struct GraphSpan {
    int x = 0;
    int width = 0;
    friend bool operator==(const GraphSpan&, const GraphSpan&) = default;
};

// The panel's state that the plot depends on.
struct GraphPlotInput {
    float s = 1.0f;  // layout scale
    int clientWidth = 0;
    int clientHeight = 0;
    int leftMargin = 0;
    int scaleMode = 1;
    int cursorPosition = 0;
    SeriesFlags shown = kAllSeries;
};

struct GraphPlot {
    GraphGeometry geometry;
    // The polyline of each axis series; empty for a hidden series. Runs of
    // equal offsets are one horizontal segment.
    std::array<std::vector<GraphPoint>, kGraphAxisCount> lines;
    // The overspeed band: disjoint column spans, left to right, inside the
    // plot; each column is blended once.
    std::vector<GraphSpan> band;
    int bandTop = 0;
    int bandHeight = 0;
    // Events per series, in plotting order.
    std::array<std::vector<GraphMark>, kGraphSeriesCount> events;
    // Steps that drew a new entry (for tests and benchmarks).
    int entriesDrawn = 0;
};

// *Drawing a frame of the plot* for every step of the window of time shown.
// Nothing is plotted without frames, without entries or without plot width;
// the plot ends at a frame whose map slot names no entry of the list.
GraphPlot PlotGraph(const GraphPlotInput& in, const SensorView& view);

// One event marker as drawn: the vertical line in the category's pen from the
// bottom of the plot to its top, and the label (text or icon) whose left edge
// is labelX and whose bottom edge is labelBottom.
struct GraphMarker {
    int x = 0;
    EventCategory category = EventCategory::None;
    int lineTop = 0;
    int lineBottom = 0;
    int labelX = 0;
    int labelBottom = 0;
};
// *Event markers*: every recorded event at or right of the left margin, series
// 0 to 8 in order.
std::vector<GraphMarker> LayoutMarkers(const GraphPlot& plot, int leftMargin, float s,
                                       float dpiFactor);

// One entry of the main window's event list.
struct GraphEvent {
    std::uint32_t recordIndex = 0;  // record index of the frame's acceleration entry
    EventCategory category = EventCategory::None;
    int series = 0;
    int entry = 0;           // index of that acceleration entry in the reader
    std::int64_t frame = 0;  // the frame that starts the run (where a jump seeks to)
    friend bool operator==(const GraphEvent&, const GraphEvent&) = default;
};
using GraphEventList = std::vector<GraphEvent>;

// The event query: whether the caller goes on to the next series for this
// frame. No category (also for a frame outside the map): appends nothing,
// true. A category: false, and one event is appended when the frame starts a
// run of that result and the category's gating series is listed. Without a
// per-frame map: nothing, false.
bool QueryGraphEvent(const SensorView& view, const SeriesFlags& listed, GraphEventList& list,
                     std::int64_t frame, int series);

// The main window's rebuild of its event list: every frame, series 0 to 8
// while the query says go on.
GraphEventList BuildGraphEventList(const SensorView& view, const SeriesFlags& listed);

}  // namespace trivexa
