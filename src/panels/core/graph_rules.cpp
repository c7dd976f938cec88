#include "panels/core/graph_rules.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/core/layout_scale.h"
#include "controls/core/skin_table.h"

namespace trivexa {

namespace {

constexpr double kAxisLimitG = 2.0;
constexpr int kLegendDesignWidth = 96;
constexpr int kLegendDesignHeight = 143;

// Truncates a double into int range (NaN and out-of-range values are pinned,
// never converted with undefined behaviour).
int TruncToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

}  // namespace

EventCategory ClassifyEntry(int series, const AccelEntry& e) {
    switch (series) {
        case kSeriesX:
            return e.axis == 1 ? EventCategory::ShockX : EventCategory::None;
        case kSeriesY:
            return e.axis == 2 ? EventCategory::ShockY : EventCategory::None;
        case kSeriesZ:
            return e.axis == 3 ? EventCategory::ShockZ : EventCategory::None;
        case kSeriesManual:
            return e.event == 5 ? EventCategory::Manual : EventCategory::None;
        case kSeriesEmergencyStop:
            return e.event == 6 ? EventCategory::EmergencyStop : EventCategory::None;
        case kSeriesParkingShock:
            return e.event == 7 ? EventCategory::ParkingShock : EventCategory::None;
        case kSeriesOverspeed:
            return e.overspeedMark == 8 ? EventCategory::Overspeed : EventCategory::None;
        case kSeriesApproaching:
            return e.approachMark == 9 ? EventCategory::ApproachingVehicle : EventCategory::None;
        case kSeriesDriveSupport:
            if (e.event == 10) return EventCategory::SuddenSteering;
            if (e.event == 11) return EventCategory::SuddenAcceleration;
            if (e.event == 12) return EventCategory::SuddenBraking;
            return EventCategory::None;
        default:
            return EventCategory::None;
    }
}

double AxisValue(const AccelEntry& e, int axis) {
    switch (axis) {
        case 0:
            return e.x;
        case 1:
            return e.y;
        case 2:
            return e.z;
        default:
            return 0.0;
    }
}

Rgb SeriesPen(int axis) {
    switch (axis) {
        case 0:
            return {0, 255, 0};
        case 1:
            return {255, 0, 0};
        case 2:
            return {128, 128, 255};
        default:
            return {255, 255, 255};
    }
}

Rgb CategoryPen(EventCategory category) {
    switch (category) {
        case EventCategory::ShockX:
        case EventCategory::ShockXAlt:
            return {0, 255, 0};
        case EventCategory::ShockY:
            return {255, 0, 0};
        case EventCategory::ShockZ:
        case EventCategory::ShockZAlt:
            return {128, 128, 255};
        case EventCategory::SuddenSteering:
            return {255, 255, 0};
        case EventCategory::SuddenAcceleration:
            return {255, 0, 255};
        case EventCategory::SuddenBraking:
            return {0, 255, 255};
        default:
            return {255, 255, 255};
    }
}

CategoryLabel LabelOf(EventCategory category) {
    switch (category) {
        case EventCategory::ShockX:
        case EventCategory::ShockXAlt:
        case EventCategory::ShockY:
        case EventCategory::ShockZ:
        case EventCategory::ShockZAlt:
            return {"G"};
        case EventCategory::Manual:
            return {"M"};
        case EventCategory::EmergencyStop:
            return {"\u203B"};  // ※
        case EventCategory::ParkingShock:
            return {"P"};
        case EventCategory::Overspeed:
            return {"#"};
        case EventCategory::ApproachingVehicle:
            return {"D"};
        case EventCategory::SuddenSteering:
            return {"", true};
        case EventCategory::SuddenAcceleration:
            return {"\u25B2"};  // ▲
        case EventCategory::SuddenBraking:
            return {"\u25BC"};  // ▼
        default:
            return {};
    }
}

int LabelRow(EventCategory category) {
    switch (category) {
        case EventCategory::ShockY:
            return 0;
        case EventCategory::ShockX:
        case EventCategory::ShockXAlt:
            return 1;
        case EventCategory::ShockZ:
        case EventCategory::ShockZAlt:
            return 2;
        case EventCategory::Manual:
        case EventCategory::EmergencyStop:
        case EventCategory::ParkingShock:
        case EventCategory::Overspeed:
        case EventCategory::ApproachingVehicle:
            return 3;
        case EventCategory::SuddenSteering:
            return 4;
        case EventCategory::SuddenAcceleration:
            return 5;
        case EventCategory::SuddenBraking:
            return 6;
        default:
            return -1;
    }
}

int GatingSeries(EventCategory category) {
    switch (category) {
        case EventCategory::EmergencyStop:
            return kSeriesEmergencyStop;
        case EventCategory::ParkingShock:
            return kSeriesParkingShock;
        case EventCategory::Overspeed:
            return kSeriesOverspeed;
        case EventCategory::ApproachingVehicle:
            return kSeriesApproaching;
        case EventCategory::SuddenSteering:
        case EventCategory::SuddenAcceleration:
        case EventCategory::SuddenBraking:
            return kSeriesDriveSupport;
        default:
            return -1;
    }
}

int SeriesForEventDisplay(std::int64_t displaySwitch) {
    switch (displaySwitch) {
        case 0:
            return kSeriesDriveSupport;
        case 1:
            return kSeriesEmergencyStop;
        case 2:
            return kSeriesParkingShock;
        case 3:
            return kSeriesOverspeed;
        case 4:
            return kSeriesApproaching;
        default:
            return -1;
    }
}

int ScaleModeFor(double peak) {
    if (peak >= 1.5) return 3;
    if (peak >= 1.0) return 2;
    if (peak >= 0.5) return 1;
    return 0;
}

int LegendPicture(int scaleMode) {
    if (scaleMode < 0 || scaleMode > 3) scaleMode = 0;
    return skin::kGraphLegends[scaleMode];
}

int LegendDesignWidth() {
    const SkinPictureInfo* info = FindSkinPicture(skin::kGraphLegends[0]);
    return info != nullptr ? info->width : kLegendDesignWidth;
}

int LegendDesignHeight() {
    const SkinPictureInfo* info = FindSkinPicture(skin::kGraphLegends[0]);
    return info != nullptr ? info->height : kLegendDesignHeight;
}

GraphMargins GraphMarginsFor(float s) {
    GraphMargins m;
    m.leftMargin = Units(40, s);
    m.tileStep = Units(LegendDesignWidth(), s) - Units(7, s) - m.leftMargin;
    return m;
}

GraphGeometry ComputeGraphGeometry(float s, int clientWidth, int leftMargin, int scaleMode,
                                   int frameCount) {
    GraphGeometry g;
    g.height = Units(LegendDesignHeight(), s);
    g.centre = g.height / 2;
    const int divisor = std::clamp(scaleMode, 0, 3) + 1;
    g.amplitude = std::max(g.height - 6, 0) / divisor;
    g.edge = std::max(g.centre - Units(5, s), 0);
    g.plotWidth = clientWidth - static_cast<int>(s) - leftMargin;
    g.frameCount = std::max(frameCount, 0);
    if (g.plotWidth > 0 && g.frameCount > 0) {
        g.rawStep = static_cast<double>(g.plotWidth) / g.frameCount;
        g.step = std::max(g.rawStep, 1.0);
    }
    return g;
}

std::int64_t FrameAtStep(const GraphGeometry& g, int k, int cursorPosition) {
    if (!g.Slides()) return k;
    const double frame = k + (1.0 - g.rawStep) * cursorPosition;
    if (!(frame > -1.0)) return -1;
    if (frame >= static_cast<double>(std::numeric_limits<std::int64_t>::max() / 2))
        return std::numeric_limits<std::int64_t>::max() / 2;
    return static_cast<std::int64_t>(frame);
}

int AxisOffset(const GraphGeometry& g, double valueG) {
    if (!(valueG == valueG)) valueG = 0.0;
    valueG = std::clamp(valueG, -kAxisLimitG, kAxisLimitG);
    const int y = TruncToInt(g.amplitude * valueG);
    return std::clamp(y, -g.edge, g.edge);
}

std::vector<int> LegendTileXs(int clientWidth, int tileStep, float s) {
    std::vector<int> xs;
    if (tileStep <= 0 || clientWidth <= 0) return xs;
    const int grid = std::max(Units(5, s), 1);
    for (std::int64_t i = 0; i * tileStep < clientWidth; ++i) {
        const int x = clientWidth - static_cast<int>(i * tileStep);
        xs.push_back(x - x % grid);
    }
    return xs;
}

std::optional<int> CursorX(int clientWidth, int leftMargin, std::int64_t position,
                           std::int64_t count) {
    if (count <= 0) return std::nullopt;
    const std::int64_t span = std::max(clientWidth - leftMargin, 0);
    const std::int64_t p = std::clamp<std::int64_t>(position, 0, count);
    const std::int64_t x = leftMargin + p * span / count;
    return static_cast<int>(std::clamp<std::int64_t>(x, 0, std::max(clientWidth - 1, 0)));
}

int MarkerLabelBottom(int height, int row, float s, float dpiFactor) {
    if (!(dpiFactor > 0.0f)) dpiFactor = 1.0f;
    const int rowUnit = static_cast<int>(static_cast<float>(Units(10, s)) / dpiFactor) / 6;
    return height - Units(5, s) + std::max(row, 0) * rowUnit;
}

}  // namespace trivexa
