#pragma once
// The map host's rules without a display: the play status the page is told,
// the position message it receives once a second, which positions the map
// takes, when the map window is shown on request, and whether the map host
// window shows the map or the logo.
//
// Pure functions; any thread.

#include <string>
#include <string_view>

#include "map/core/json_holder.h"

namespace trivexa::map {

// SetStatus's codes.
enum class MapPlayStatus : int {
    kPlaying = 0,
    kPaused = 1,
    kStopped = 2,
};
// "", "pause", "stop"; "" for a code outside 0..2.
std::string_view StatusText(MapPlayStatus status);

// The message the host posts when the page asks for the state, built in
// `holder` (emptied first):
// {"map_lat":"%f","map_lng":"%f","map_status":"...","val_command":"update","val_end":""}
std::string StateMessage(CJsonHolder& holder, double latitude, double longitude,
                         std::string_view status);

// Whether a latitude and longitude handed to the map dialog replace the ones
// it holds: only places on earth do (see IsMapCoordinate), so the page never
// receives "nan" or a field's 720.0 marker as the position.
bool AcceptsPosition(double latitude, double longitude);

// ShowMap(on): what becomes of the map window.
enum class ShowMapAction {
    kNone,
    kShow,  // show it and set the shown-on-request flag
    kHide,  // hide it and clear the flag
};
ShowMapAction ShowMapActionFor(bool on, bool shownOnRequest, bool visible);

// *Map updates*, visibility: the map host window shows the map when the
// current row has position data, the map runtime is present, the
// coordinates are valid and the map is connected; otherwise the logo, in its
// no-map variant when the coordinates are invalid, the map was never ready
// or it is not connected.
struct MapViewInputs {
    bool rowHasPositions = false;
    bool runtimePresent = false;
    bool coordinatesValid = false;
    bool connected = false;
    bool everReady = false;
};
struct MapViewChoice {
    bool showMap = false;
    bool logoNoMap = false;  // the logo's variant flag
    friend bool operator==(const MapViewChoice&, const MapViewChoice&) = default;
};
MapViewChoice DecideMapView(const MapViewInputs& in);

}  // namespace trivexa::map
