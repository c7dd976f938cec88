#include "map/core/event_markers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "map/core/map_script.h"
#include "map/core/track_array.h"

namespace trivexa::map {

MarkerIcon IconOf(EventCategory category, const AccelEntry& entry) {
    switch (category) {
        case EventCategory::ShockX:
        case EventCategory::ShockXAlt:
            return MarkerIcon::kShockSteering;
        case EventCategory::ShockY:
            return entry.y > 0.0 ? MarkerIcon::kShockAcceleration : MarkerIcon::kShockBraking;
        case EventCategory::ShockZ:
        case EventCategory::ShockZAlt:
            return entry.z > 0.0 ? MarkerIcon::kShockRise : MarkerIcon::kShockDescent;
        case EventCategory::Manual:
            return MarkerIcon::kManual;
        case EventCategory::EmergencyStop:
            return MarkerIcon::kEmergencyStop;
        case EventCategory::ParkingShock:
            return MarkerIcon::kParking;
        case EventCategory::Overspeed:
            return MarkerIcon::kOverspeed;
        case EventCategory::ApproachingVehicle:
            return MarkerIcon::kApproachingVehicle;
        case EventCategory::SuddenSteering:
            return MarkerIcon::kAssistSteering;
        case EventCategory::SuddenAcceleration:
            return MarkerIcon::kAssistAcceleration;
        case EventCategory::SuddenBraking:
            return MarkerIcon::kAssistBraking;
        case EventCategory::None:
            break;
    }
    return MarkerIcon::kShockBraking;
}

namespace {

// A value the page can take: the page refuses a whole call with a value that
// is not a number, so such a value travels as 0.
double Finite(double v) { return std::isfinite(v) ? v : 0.0; }

}  // namespace

std::string AddCrashPosCall(const EventMarker& m) {
    std::string call = "cplist.AddCrashPos(";
    const auto integer = [&](int v) {
        call += std::to_string(v);
        call += ',';
    };
    const auto real = [&](double v) {
        call += FormatFixed6(v);
        call += ',';
    };
    integer(m.icon);
    real(m.levelx);
    real(m.levely);
    real(m.levelz);
    integer(m.ifile);
    integer(m.igrid);
    integer(m.ipos);
    real(m.latitude);
    real(m.longitude);
    integer(m.valid);
    real(m.speed);
    call += FormatFixed6(m.direction);
    call += ')';
    return call;
}

bool IsCategoryShown(EventCategory category, const SeriesFlags& listed) {
    if (category == EventCategory::None) return false;
    const int series = GatingSeries(category);
    return series < 0 || (series < kGraphSeriesCount && listed[static_cast<std::size_t>(series)]);
}

std::vector<EventMarker> EventMarkers(const GraphEventList& events, const SensorView& view,
                                      const SeriesFlags& listed, int igrid) {
    std::vector<EventMarker> markers;
    for (auto it = events.rbegin(); it != events.rend(); ++it) {
        if (!IsCategoryShown(it->category, listed)) continue;
        if (it->entry < 0 || static_cast<std::size_t>(it->entry) >= view.accels.size()) break;
        const AccelEntry& accel = view.accels[static_cast<std::size_t>(it->entry)];
        const PositionEntry* position = view.PositionOf(accel);
        if (position == nullptr) break;
        if (position->latitude == 0.0 && position->longitude == 0.0) continue;
        if (!IsMapCoordinate(position->latitude, position->longitude)) continue;
        EventMarker m;
        m.icon = static_cast<int>(IconOf(it->category, accel));
        m.levelx = Finite(accel.x);
        m.levely = Finite(accel.y);
        m.levelz = Finite(accel.z);
        m.ifile = 0;
        m.igrid = igrid;
        // Where a click seeks: the frame that starts the event's run, as the
        // graph's jumps do; the entry's own frame number lies one frame
        // before the first frame that shows its record.
        m.ipos = static_cast<int>(
            std::clamp<std::int64_t>(it->frame, 0, std::numeric_limits<std::int32_t>::max()));
        m.latitude = position->latitude;
        m.longitude = position->longitude;
        m.valid = position->valid ? 1 : 0;
        m.speed = Finite(position->speed);
        m.direction = Finite(position->reserved);
        markers.push_back(m);
    }
    return markers;
}

}  // namespace trivexa::map
