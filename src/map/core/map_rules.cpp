#include "map/core/map_rules.h"

#include "map/core/map_script.h"
#include "map/core/track_array.h"

namespace trivexa::map {

std::string_view StatusText(MapPlayStatus status) {
    switch (status) {
        case MapPlayStatus::kPaused:
            return "pause";
        case MapPlayStatus::kStopped:
            return "stop";
        case MapPlayStatus::kPlaying:
            break;
    }
    return "";
}

std::string StateMessage(CJsonHolder& holder, double latitude, double longitude,
                         std::string_view status) {
    holder.Clear();
    holder.Insert("val_command", "update", ",");
    holder.Insert("map_lat", FormatFixed6(latitude), ",");
    holder.Insert("map_lng", FormatFixed6(longitude), ",");
    holder.Insert("map_status", std::string(status), ",");
    holder.Insert("val_end", "", "");
    return holder.Text();
}

bool AcceptsPosition(double latitude, double longitude) {
    return IsMapCoordinate(latitude, longitude);
}

ShowMapAction ShowMapActionFor(bool on, bool shownOnRequest, bool visible) {
    if (on) return !shownOnRequest && !visible ? ShowMapAction::kShow : ShowMapAction::kNone;
    return shownOnRequest && visible ? ShowMapAction::kHide : ShowMapAction::kNone;
}

MapViewChoice DecideMapView(const MapViewInputs& in) {
    MapViewChoice choice;
    choice.showMap = in.rowHasPositions && in.runtimePresent && in.coordinatesValid && in.connected;
    choice.logoNoMap = !in.coordinatesValid || !in.everReady || !in.connected;
    return choice;
}

}  // namespace trivexa::map
