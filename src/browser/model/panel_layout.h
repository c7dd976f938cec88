#pragma once
// Where the browser panel puts its children, and how the folder tree places
// a node's text and category badge, as arithmetic on design units (every
// size n becomes n·s, truncated, app/core/layout_scale.h).
//
// The panel (452 × about 630 units beside the video) holds, from the top: the
// path-box row with the count strip at its right end and the two rows of
// filter buttons over it, then the folder tree (213 wide) and the recording
// list (228 wide) side by side down to 4 units above the bottom.
//
// Callers: the panel and the tree control while they lay out and paint (UI
// thread); tests. Pure functions.

#include <array>
#include <cstdint>
#include <vector>

#include "browser/model/browser_model.h"
#include "recordings/recording_name.h"

namespace trivexa {

struct PanelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PanelRect&) const = default;
};

struct PanelLayout {
    PanelRect pathBox;
    PanelRect countStrip;  // "%d個", right-aligned
    PanelRect tree;
    PanelRect list;
    std::array<PanelRect, kFilterCount> buttons;  // 12 × 12 units each
    std::array<PanelRect, kFilterCount> labels;   // 80 × 16 units, right of each button
};

// The layout for a panel client area of `width` × `height` pixels, with the
// panel's text font `fontHeight` pixels high, at layout scale `s`.
PanelLayout LayOutPanel(int width, int height, int fontHeight, float s);

// The box the zoom notice (UI string 180) is centred in: 180 × 100 units in
// the middle of the panel.
PanelRect ZoomNoticeBox(int width, int height, float s);

// --- folder tree rows -------------------------------------------------------

// Height of one tree row and the indentation of one level.
int TreeRowHeight(float s);
// Left edge of a node's text: row height × (level + 1) − 22 units, where
// level counts the node itself and its ancestors (1 for a top-level node).
int TreeTextX(int rowHeight, int depth, float s);
// The category badge of a node below the top level: it ends just left of
// the text, starting 26 units before it, vertically centred in the row; the
// 39 × 26 badge is drawn reduced to this box.
PanelRect TreeBadgeRect(int textX, int rowTop, int rowHeight, float s);
// Whether a node `depth` levels down (0 = top level) with these flags gets a
// badge.
bool TreeNodeHasBadge(int depth, TriggerFlags flags);
// The category bits drawn over the badge's base picture, in drawing order:
// manual, shock, parking shock, parking, speed camera, approaching vehicle.
std::vector<TriggerFlags> BadgeLayers(TriggerFlags flags);

}  // namespace trivexa
