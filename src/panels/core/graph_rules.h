#pragma once
// The acceleration graph's rules, free of any display: its nine series with
// their classifiers, the event categories with their pens, labels and label
// rows, the scale mode, the plot geometry, the window of time shown, the
// legend tiles and the cursor. CGSensorDlg (panels/gsensor_dlg.h) only paints
// what these compute; the main window uses the series mapping of its event
// display switches.
//
// Every size is a design size times the layout scale s, truncated (the unit
// rule of app/core/layout_scale.h). All functions are pure and thread-safe.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "container/sensor_reader.h"

namespace trivexa {

// Event categories (the numbers are the graph's and the event list's). 1 and
// 4 are drawn like X and Z shocks but no classifier produces them.
enum class EventCategory : int {
    None = -1,
    ShockX = 0,
    ShockXAlt = 1,
    ShockY = 2,
    ShockZ = 3,
    ShockZAlt = 4,
    Manual = 5,
    EmergencyStop = 6,
    ParkingShock = 7,
    Overspeed = 8,
    ApproachingVehicle = 9,
    SuddenSteering = 10,
    SuddenAcceleration = 11,
    SuddenBraking = 12,
};
inline constexpr int kEventCategoryCount = 13;

// The series, in their fixed order; the main window addresses them by index.
enum GraphSeries : int {
    kSeriesX = 0,              // X axis line and X-axis shocks
    kSeriesY = 1,              // Y axis line and Y-axis shocks
    kSeriesZ = 2,              // Z axis line and Z-axis shocks
    kSeriesManual = 3,         // event 5
    kSeriesEmergencyStop = 4,  // event 6
    kSeriesParkingShock = 5,   // event 7
    kSeriesOverspeed = 6,      // mark 8: band and events
    kSeriesApproaching = 7,    // mark 9
    kSeriesDriveSupport = 8,   // events 10, 11, 12
};
inline constexpr int kGraphSeriesCount = 9;
inline constexpr int kGraphAxisCount = 3;  // series 0..2 draw lines

using SeriesFlags = std::array<bool, kGraphSeriesCount>;
// Both flags of every series are on after construction.
inline constexpr SeriesFlags kAllSeries = {true, true, true, true, true, true, true, true, true};

// The category series `series` finds in `entry`, EventCategory::None when it
// finds none (also for a series outside 0..8).
EventCategory ClassifyEntry(int series, const AccelEntry& entry);

// The acceleration in G along axis `axis` (0 X, 1 Y, 2 Z) of the entry.
double AxisValue(const AccelEntry& entry, int axis);

// Colours as the panels draw them.
struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
// Line pen of the axis series 0..2.
Rgb SeriesPen(int axis);
// Pen of the vertical marker line of a category (white for None).
Rgb CategoryPen(EventCategory category);
inline constexpr Rgb kCursorPen{255, 255, 255};
inline constexpr Rgb kLabelColour{255, 255, 255};
// The overspeed band: this colour blended at constant alpha 127 of 255.
inline constexpr Rgb kBandColour{170, 0, 0};
inline constexpr int kBandAlpha = 127;

// A category's label: a text (UTF-8), or the icon picture for category 10.
struct CategoryLabel {
    std::string_view text;  // empty for the icon and for None
    bool icon = false;
};
CategoryLabel LabelOf(EventCategory category);
// The row (0..6) a category's label is drawn in; -1 for None.
int LabelRow(EventCategory category);

// The series whose listed flag must be set for the event query to list a
// category (series 4..8 for categories 6, 7, 8, 9 and 10..12); -1 when the
// category is always listed (0, 2, 3, 5).
int GatingSeries(EventCategory category);

// The series an event display switch controls (UM_EVENT_DISPLAY wParam
// 0 -> 8, 1 -> 4, 2 -> 5, 3 -> 6, 4 -> 7); -1 for any other switch.
int SeriesForEventDisplay(std::int64_t displaySwitch);

// *Scale mode*: 3 from 1.5 G, 2 from 1.0 G, 1 from 0.5 G, else 0 (also for a
// peak that is not a number).
int ScaleModeFor(double peak);
// The legend picture of a scale mode (modes outside 0..3 count as 0).
int LegendPicture(int scaleMode);
// Design size of the legend pictures (all four are equal).
int LegendDesignWidth();
int LegendDesignHeight();

// The two fields the main window sets from the scale: the left margin
// truncate(40 s) and the tile step truncate(legend width × s) − truncate(7 s)
// − left margin.
struct GraphMargins {
    int leftMargin = 0;
    int tileStep = 0;
};
GraphMargins GraphMarginsFor(float s);

// *Geometry* for one paint.
struct GraphGeometry {
    int height = 0;      // H: the legend height × s
    int centre = 0;      // c = H / 2
    int amplitude = 0;   // A: pixels per G, (H − 6) / d
    int edge = 0;        // the offsets are limited to ±edge = ±(c − truncate(5 s))
    int plotWidth = 0;   // W = client width − int(s) − left margin
    int frameCount = 0;  // N: frames in the per-frame map
    double rawStep = 0;  // r = W / N
    double step = 0;     // q = max(r, 1): pixels per frame
    bool Slides() const { return rawStep < 1.0; }
};
GraphGeometry ComputeGraphGeometry(float s, int clientWidth, int leftMargin, int scaleMode,
                                   int frameCount);

// The frame drawn at step k: k when the clip fits, otherwise the window of W
// frames that slides with the cursor, truncate(k + (1 − r) × cursor).
std::int64_t FrameAtStep(const GraphGeometry& g, int k, int cursorPosition);

// The offset from the centre line of a value in G: limited to ±2 G, times A,
// truncated, limited to ±edge. A value that is not a number is drawn on the
// centre line.
int AxisOffset(const GraphGeometry& g, double valueG);

// Left edges of the legend tiles, right to left: (client width − i × step)
// rounded down to a multiple of truncate(5 s), for i = 0, 1, ... while
// i × step < client width. None for a step that is not positive.
std::vector<int> LegendTileXs(int clientWidth, int tileStep, float s);

// The cursor's column: left margin + truncate(position × W' ÷ count) with
// W' = client width − left margin, kept inside the panel; nothing when the
// count is not positive.
std::optional<int> CursorX(int clientWidth, int leftMargin, std::int64_t position,
                           std::int64_t count);

// Bottom edge of a marker label in row `row`: H − truncate(5 s) + row × u,
// u = truncate(truncate(10 s) ÷ f) ÷ 6, f the display's dpi factor.
int MarkerLabelBottom(int height, int row, float s, float dpiFactor);

}  // namespace trivexa
