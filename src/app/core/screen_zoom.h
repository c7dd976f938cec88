#pragma once
// The zoom of the two screens. Each screen (0 and 1, whichever window shows
// it) keeps a zoom record; a click in zoom mode steps its factor 1 → 2 → 3 → 1
// so that the clicked point of the picture stays under the pointer, and the
// record is handed to the screen's player as its zoom point, pan offset and
// factor (the player's picture layout: the client rectangle grows about the
// zoom point by the factor, then moves by the pan offset).
//
// Callers: the main window on the UI thread (zoom clicks, resets after layout
// changes, applying the video rectangles). Pure functions.

#include <array>

#include "app/core/main_layout.h"
#include "controls/core/frame_geometry.h"

namespace trivexa {

inline constexpr float kNoZoom = 1.0f;
inline constexpr float kLargestZoom = 3.0f;

struct ZoomRecord {
    FrameRect client;  // the surface's client rectangle at the last click
    FramePoint click;  // the last click, client coordinates
    int offsetX = 0;   // pan offset handed to the player
    int offsetY = 0;
    float previousFactor = kNoZoom;
    float factor = kNoZoom;
    FramePoint zoomPoint;  // the point the picture grows about
    bool operator==(const ZoomRecord&) const = default;
};

// The zoom centre of a screen after a reset: for screen 0, (W / 2, H / 2) of
// the main window's video area; for screen 1, (B / 2, 9/32 of B) with
// B = 440·s + 2·(6·s), the secondary window's width at factor 1. It depends on
// the screen's index, not on the window that shows it.
FramePoint ZoomCentre(int screen, VideoArea video, float s);

// *Reset the zoom of a screen*: factor and previous factor 1, offsets 0, the
// zoom point at the screen's centre. The click and client rectangle are kept.
void ResetZoom(ZoomRecord& record, int screen, VideoArea video, float s);

// *Zoom at point*: a click at `point` on a surface whose client rectangle is
// `client`. Returns false, changing nothing, when the client has no width.
// Otherwise the factor steps up by one (past 3 the screen's zoom is reset) and
// the zoom point and offsets are chosen so that the picture point under the
// pointer stays there.
bool ZoomAtPoint(ZoomRecord& record, int screen, const FrameRect& client, FramePoint point,
                 VideoArea video, float s);

// What the player is given for a screen (its Set zoom arguments).
struct ZoomArguments {
    int zoomX = 0;
    int zoomY = 0;
    int panX = 0;
    int panY = 0;
    float factor = kNoZoom;
    bool operator==(const ZoomArguments&) const = default;
};
ZoomArguments ZoomArgumentsOf(const ZoomRecord& record);

// *Apply the video rectangles*: each player gets its screen's zoom (player 0
// is bound to screen 0, player 1 to screen 1, whichever window shows the
// screen). Element i goes to player i's Set zoom, with repaint.
std::array<ZoomArguments, 2> VideoRectangles(const std::array<ZoomRecord, 2>& screens);

}  // namespace trivexa
