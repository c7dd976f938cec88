#include "map/core/track_array.h"

#include <cmath>
#include <limits>

namespace trivexa::map {

std::int32_t TrackArray::CountElement() const {
    constexpr std::size_t kMax = std::numeric_limits<std::int32_t>::max();
    const std::size_t n = points.size() > kMax / 3 ? kMax : points.size() * 3;
    return static_cast<std::int32_t>(n);
}

std::vector<double> TrackArray::Flat() const {
    std::vector<double> flat;
    flat.reserve(points.size() * 3 + 1);
    for (const TrackPoint& p : points) {
        flat.push_back(p.latitude);
        flat.push_back(p.longitude);
        flat.push_back(p.frame);
    }
    flat.push_back(CountElement());
    return flat;
}

bool IsMapCoordinate(double latitude, double longitude) {
    return std::isfinite(latitude) && std::isfinite(longitude) && std::fabs(latitude) <= 90.0 &&
           std::fabs(longitude) <= 180.0;
}

TrackArray BuildTrackArray(std::span<const PositionEntry> entries) {
    TrackArray track;
    for (const PositionEntry& e : entries) {
        if (!e.valid || !IsMapCoordinate(e.latitude, e.longitude)) continue;
        track.points.push_back({e.latitude, e.longitude, FrameOrRecordMs(e)});
    }
    return track;
}

}  // namespace trivexa::map
