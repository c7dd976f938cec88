#pragma once
// The main window's handling of UM_EVENT_DISPLAY, the message the settings
// dialog posts when the user switches an event category on or off: the
// acceleration graph shows and lists that category's series or not, and the
// event list and the map's event markers are built again for it.
//
// Callers: the main window's message table, on the UI thread, with itself as
// the owner.

#include <cstdint>

namespace trivexa {

// What the handling needs from the main window.
class EventDisplayOwner {
public:
    virtual ~EventDisplayOwner() = default;
    // Sets both flags (shown, listed) of graph series `series` (4..8) and
    // repaints the graph.
    virtual void SetGraphSeries(int series, bool on) = 0;
    // Builds the event list of the open recording again, under the event
    // list's lock (nothing when no recording is open).
    virtual void RebuildEventList() = 0;
    // Sends the event markers of the rebuilt list to the map again (nothing
    // while the map page is not ready).
    virtual void RebuildMapMarkers() = 0;
};

// UM_EVENT_DISPLAY with `category` (wParam, 0..4) and `state` (lParam,
// non-zero on): the graph series of the category (0 -> 8, 1 -> 4, 2 -> 5,
// 3 -> 6, 4 -> 7) follows the state, then the event list and the markers are
// rebuilt, in that order. Any other category is ignored; returns whether the
// message was taken.
bool HandleEventDisplay(EventDisplayOwner& owner, std::uintptr_t category, std::intptr_t state);

}  // namespace trivexa
