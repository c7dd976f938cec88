#include "panels/core/graph_plot.h"

#include <algorithm>
#include <cmath>

#include "app/core/layout_scale.h"

namespace trivexa {

namespace {

constexpr int kBandDesignHeight = 29;

// Adds columns [x, x + width) to the band, kept inside [left, right).
void AddBand(std::vector<GraphSpan>& band, int x, int width, int left, int right) {
    int begin = std::max(x, left);
    int end = std::min(x + width, right);
    if (end <= begin) return;
    if (!band.empty()) {
        GraphSpan& last = band.back();
        if (begin <= last.x + last.width) {
            last.width = std::max(last.x + last.width, end) - last.x;
            return;
        }
    }
    band.push_back({begin, end - begin});
}

// Appends a polyline point; a run of equal offsets stays one segment.
void AddPoint(std::vector<GraphPoint>& line, GraphPoint p) {
    const std::size_t n = line.size();
    if (n >= 1 && line[n - 1].x == p.x && line[n - 1].y == p.y) return;
    if (n >= 2 && line[n - 1].y == p.y && line[n - 2].y == p.y) {
        line[n - 1].x = p.x;
        return;
    }
    line.push_back(p);
}

int StepX(double k, double q) { return static_cast<int>(k * q); }

}  // namespace

GraphPlot PlotGraph(const GraphPlotInput& in, const SensorView& view) {
    GraphPlot out;
    const int frames =
        static_cast<int>(std::min<std::size_t>(view.frameMap.size(), sensor::kMaxFrameCount));
    const GraphGeometry g =
        ComputeGraphGeometry(in.s, in.clientWidth, in.leftMargin, in.scaleMode, frames);
    out.geometry = g;
    out.bandHeight = Units(kBandDesignHeight, in.s);
    out.bandTop = in.clientHeight - out.bandHeight;
    if (g.plotWidth <= 0 || g.frameCount <= 0 || view.accels.empty()) return out;

    const int left = in.leftMargin;
    const int right = in.clientWidth;
    const double q = g.step;
    const double limit = g.plotWidth / q;
    const bool bandShown = in.shown[kSeriesOverspeed];

    const AccelEntry* prev = nullptr;
    int prevIndex = -1;
    int prevX = 0;
    bool bandOpen = false;  // the last drawn entry lies in the band
    int bandX = 0;
    int lastK = -1;
    int k = 0;
    for (; k < limit; ++k) {
        const std::int64_t frame = FrameAtStep(g, k, in.cursorPosition);
        if (frame < 0 || frame >= g.frameCount) break;
        const int index = view.EntryIndexAt(frame);
        if (index < 0) break;
        lastK = k;
        if (index == prevIndex) continue;
        const AccelEntry& e = view.accels[static_cast<std::size_t>(index)];
        const int x = StepX(k, q) + left;

        // The band category of this entry and whether it starts its run.
        const EventCategory band =
            bandShown ? ClassifyEntry(kSeriesOverspeed, e) : EventCategory::None;
        const bool bandRunStart = prev == nullptr || ClassifyEntry(kSeriesOverspeed, *prev) != band;

        // 1. Columns skipped since the previous entry carry the band on.
        if (prev != nullptr && x - prevX >= 2 && band == EventCategory::Overspeed && !bandRunStart)
            AddBand(out.band, prevX, x - prevX, left, right);

        // 2. Axis lines.
        for (int axis = 0; axis < kGraphAxisCount; ++axis) {
            if (!in.shown[axis]) continue;
            AddPoint(out.lines[axis], {x, g.centre - AxisOffset(g, AxisValue(e, axis))});
        }

        // 3. Events: the band series first, then at most one other marker.
        if (band != EventCategory::None) {
            if (bandRunStart) out.events[kSeriesOverspeed].push_back({x, band});
            AddBand(out.band, x, static_cast<int>(q + 1.0), left, right);
        }
        bandOpen = band == EventCategory::Overspeed;
        bandX = x;
        for (int series = 0; series < kGraphSeriesCount; ++series) {
            if (series == kSeriesOverspeed || !in.shown[series]) continue;
            const EventCategory c = ClassifyEntry(series, e);
            if (c == EventCategory::None) continue;
            if (prev == nullptr || ClassifyEntry(series, *prev) != c)
                out.events[series].push_back({x, c});
            break;
        }

        ++out.entriesDrawn;
        prev = &e;
        prevIndex = index;
        prevX = x;
    }

    if (lastK >= 0) {
        // The lines end level at the last step drawn; the band runs on to the
        // end of that step.
        const int finalX = StepX(lastK, q) + left;
        for (auto& line : out.lines)
            if (!line.empty() && line.back().x < finalX) AddPoint(line, {finalX, line.back().y});
        if (bandOpen) {
            const int endX = StepX(lastK + 1, q) + left;
            AddBand(out.band, bandX, endX - bandX + 1, left, right);
        }
    }
    return out;
}

std::vector<GraphMarker> LayoutMarkers(const GraphPlot& plot, int leftMargin, float s,
                                       float dpiFactor) {
    std::vector<GraphMarker> markers;
    const int height = plot.geometry.height;
    for (const auto& list : plot.events) {
        for (const GraphMark& m : list) {
            if (m.x < leftMargin) continue;
            GraphMarker g;
            g.x = m.x;
            g.category = m.category;
            g.lineTop = 0;
            g.lineBottom = std::max(height - 1, 0);
            g.labelX = m.x + 1;
            g.labelBottom = MarkerLabelBottom(height, LabelRow(m.category), s, dpiFactor);
            markers.push_back(g);
        }
    }
    return markers;
}

bool QueryGraphEvent(const SensorView& view, const SeriesFlags& listed, GraphEventList& list,
                     std::int64_t frame, int series) {
    if (view.frameMap.empty()) return false;
    const int index = view.EntryIndexAt(frame);
    if (index < 0) return true;
    const AccelEntry& e = view.accels[static_cast<std::size_t>(index)];
    const EventCategory c = ClassifyEntry(series, e);
    if (c == EventCategory::None) return true;

    bool runStart = frame == 0;
    if (!runStart) {
        const AccelEntry* before = view.EntryAt(frame - 1);
        runStart = before == nullptr || ClassifyEntry(series, *before) != c;
    }
    const int gate = GatingSeries(c);
    if (runStart && (gate < 0 || listed[static_cast<std::size_t>(gate)]))
        list.push_back({e.index, c, series, index, frame});
    return false;
}

GraphEventList BuildGraphEventList(const SensorView& view, const SeriesFlags& listed) {
    GraphEventList list;
    const std::int64_t frames = static_cast<std::int64_t>(view.frameMap.size());
    for (std::int64_t f = 0; f < frames; ++f)
        for (int series = 0; series < kGraphSeriesCount; ++series)
            if (!QueryGraphEvent(view, listed, list, f, series)) break;
    return list;
}

}  // namespace trivexa
