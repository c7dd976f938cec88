#pragma once
// Where the update notice puts itself and its two controls. Sizes are design
// sizes times the layout scale s, truncated (app/core/layout_scale.h).
//
// Pure functions; CUpdateDialog calls them on the UI thread.

#include "controls/core/skin_rules.h"

namespace trivexa::online {

// The notice's design size.
inline constexpr int kUpdateDialogWidthUnits = 640;
inline constexpr int kUpdateDialogHeightUnits = 480;

struct UpdateDialogLayout {
    int width = 0;      // 640·s
    int height = 0;     // 480·s
    MsgBoxRect link;    // (10·s, 30·s), client width − 20·s by client height − 80·s
    MsgBoxRect button;  // 100·s × 30·s, its right edge 10·s from the client's right
                        // edge, its top 40·s above the client's bottom edge
};

// The layout of a notice at scale `s` (its client area is the whole window).
UpdateDialogLayout LayOutUpdateDialog(float s);

}  // namespace trivexa::online
