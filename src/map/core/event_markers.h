#pragma once
// The event markers the map host sends for the current recording: one
// "cplist.AddCrashPos(...)" call per event of the main window's event list
// whose category is on display, from the last event to the first.
//
// Pure functions over the caller's views; the caller holds the locks that
// keep the views valid (the event list's and the players').

#include <cstdint>
#include <string>
#include <vector>

#include "container/sensor_reader.h"
#include "panels/core/graph_plot.h"
#include "panels/core/graph_rules.h"
#include "panels/core/sensor_view.h"

namespace trivexa::map {

// The map page's event icons (its icon table, by index).
enum class MarkerIcon : int {
    kShockSteering = 0,      // X axis
    kShockAcceleration = 1,  // Y axis, forward
    kShockBraking = 2,       // Y axis, backward; also any other shock
    kShockDescent = 3,       // Z axis, down
    kShockRise = 4,          // Z axis, up
    kManual = 5,
    kEmergencyStop = 6,
    kParking = 7,
    kOverspeed = 8,
    kSpeedCamera = 9,
    kRadar = 10,
    kApproachingVehicle = 11,
    kAssistSteering = 12,
    kAssistAcceleration = 13,
    kAssistBraking = 14,
};

// The icon of an event of `category` whose acceleration entry is `entry`.
// A Y-axis shock with a positive Y value is an acceleration, otherwise a
// braking; a Z-axis shock with a positive Z value is a rise, otherwise a
// descent. Categories without an icon of their own take the default shock.
MarkerIcon IconOf(EventCategory category, const AccelEntry& entry);

// The twelve arguments of AddCrashPos, in order.
struct EventMarker {
    int icon = 0;
    double levelx = 0.0, levely = 0.0, levelz = 0.0;
    int ifile = 0;
    int igrid = 0;
    int ipos = 0;  // the frame that starts the event (where a click seeks to)
    double latitude = 0.0, longitude = 0.0;
    int valid = 0;
    double speed = 0.0;
    double direction = 0.0;
    friend bool operator==(const EventMarker&, const EventMarker&) = default;
};

// "cplist.AddCrashPos(%d,%f,%f,%f,%d,%d,%d,%f,%f,%d,%f,%f)" in the "C" locale.
std::string AddCrashPosCall(const EventMarker& marker);

// Whether events of `category` are on display: shocks and manual recordings
// always; the others while the graph series that lists them is set in
// `listed` (the event display switches).
bool IsCategoryShown(EventCategory category, const SeriesFlags& listed);

// The markers of `events` (the main window's event list over `view`), last
// event first. Events whose category is not shown are passed over, and so
// are events at latitude and longitude 0 and events whose position is no
// place on earth (see IsMapCoordinate). An event whose acceleration entry or
// linked position entry is missing ends the walk. A level, speed or
// direction that is not a number travels as 0 (the page would refuse the
// whole call).
std::vector<EventMarker> EventMarkers(const GraphEventList& events, const SensorView& view,
                                      const SeriesFlags& listed, int igrid);

}  // namespace trivexa::map
