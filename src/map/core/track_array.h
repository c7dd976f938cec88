#pragma once
// The track arrays the map page draws: the recording group's track and the
// current recording's. The page receives a flat array of numbers, a triple
// (latitude, longitude, frame number) per point followed by one element
// holding the count of the numbers before it; an array of only that count
// (0) has no points.
//
// Points come from position entries with a GPS fix. An entry whose
// coordinates are no place on earth (the 720.0 marker of a field without
// digits, a value that is not a number, a latitude beyond ±90 or a longitude
// beyond ±180) is left out even when it claims a fix: the page would draw a
// line to it or fail on it.
//
// Pure functions; any thread.

#include <cstdint>
#include <span>
#include <vector>

#include "container/sensor_reader.h"

namespace trivexa::map {

struct TrackPoint {
    double latitude = 0.0;
    double longitude = 0.0;
    std::int32_t frame = 0;  // the entry's time field: its frame number once the frame map is built
    friend bool operator==(const TrackPoint&, const TrackPoint&) = default;
};

struct TrackArray {
    std::vector<TrackPoint> points;
    // The last element of the flat array: three numbers per point.
    std::int32_t CountElement() const;
    // The flat array as numbers (frame numbers and the count are integers).
    std::vector<double> Flat() const;
    friend bool operator==(const TrackArray&, const TrackArray&) = default;
};

// A latitude and longitude that name a place: both finite, |latitude| <= 90,
// |longitude| <= 180.
bool IsMapCoordinate(double latitude, double longitude);

// The points of the entries with a fix (valid != 0) and map coordinates, in
// order.
TrackArray BuildTrackArray(std::span<const PositionEntry> entries);

}  // namespace trivexa::map
