#include "settings/core/event_display.h"

#include <limits>

#include "panels/core/graph_rules.h"

namespace trivexa {

bool HandleEventDisplay(EventDisplayOwner& owner, std::uintptr_t category, std::intptr_t state) {
    if (category > static_cast<std::uintptr_t>(std::numeric_limits<std::int64_t>::max()))
        return false;
    const int series = SeriesForEventDisplay(static_cast<std::int64_t>(category));
    if (series < 0) return false;
    owner.SetGraphSeries(series, state != 0);
    owner.RebuildEventList();
    owner.RebuildMapMarkers();
    return true;
}

}  // namespace trivexa
