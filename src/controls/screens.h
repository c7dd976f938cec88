#pragma once
// Monitor queries of the skinned windows: the monitor nearest a point, its
// whole rectangle and its work area (without panels and task bars), in the
// toolkit's logical pixels.
//
// Callers: windows on the UI thread. Requires a QGuiApplication; with no
// screen at all (a display that went away) the rectangles are empty.

#include <QPoint>
#include <QRect>

class QScreen;

namespace trivexa {

// The screen that holds `global`, else the one whose rectangle is nearest.
QScreen* NearestScreen(QPoint global);
QRect MonitorRect(QPoint global);
QRect WorkArea(QPoint global);

}  // namespace trivexa
