#pragma once
// The context menu of the video surfaces as data: which items it offers for
// the data camera's play state, windowed and in full screen, which of them can
// be chosen and which is checked; when the menu is refused; and how its items
// are sized and coloured (the menu draws its items itself).
//
// Callers: the main window on the UI thread, when a surface reports a right
// click. Pure functions.

#include <cstdint>
#include <vector>

#include "app/core/control_buttons.h"
#include "app/core/playback_rules.h"
#include "controls/core/frame_geometry.h"

namespace trivexa {

struct VideoMenuItem {
    bool separator = false;
    CommandId command = CommandId::kPlayPause;  // unused for a separator
    int text = 0;                               // UI string; 0 for a separator
    bool enabled = true;
    bool checked = false;
    bool operator==(const VideoMenuItem&) const = default;
};

struct VideoMenuInput {
    PlayState state = PlayState::kStopped;  // of the data camera; closed counts as stopped
    bool fullScreen = false;
    RateCode rate = RateCode::kNormal;  // of the data camera
    bool primaryKeepsAspect = true;     // the primary player's keep-aspect value
    bool rearMirrored = false;          // the rear surface's mirrored flag
    bool onFrontSurface = false;        // the click was on the front camera's surface
};

// The items, top to bottom.
std::vector<VideoMenuItem> BuildVideoMenu(const VideoMenuInput& in);

// The menu is refused within the end margin and while an open is pending.
bool VideoMenuRefused(bool withinEndMargin, bool openPending);

// Item size: 220·s × 20·s in full screen, 70·s × 20·s windowed.
FrameSize VideoMenuItemSize(bool fullScreen, float s);
// The text starts 20·s from the item's left; a check mark is a three-point
// line of width 2·s left of it.
inline constexpr int kVideoMenuTextIndentUnits = 20;

// Colours as RGB (red in the high byte: 0xRRGGBB).
struct MenuItemColours {
    bool systemBackground = true;  // the normal background is the system menu colour
    std::uint32_t background = 0;  // when not the system's
    std::uint32_t text = 0;
    bool operator==(const MenuItemColours&) const = default;
};
// Normal: system menu colour, black text (grey 0x7F7F7F when disabled).
// Highlighted: blue 0x0000FF with white text, or light blue 0xC3C3FF with grey
// text when disabled.
MenuItemColours VideoMenuItemColours(bool highlighted, bool enabled);

// Whether a button release on the open menu chooses the item under it. The
// menu opens on the press of a right click, with its corner under the
// pointer, so the release of that same press lands on an item: it is no
// choice. It is one when the button was held and the pointer dragged beyond
// the drag distance first (press, move, release), and after any press on the
// menu itself (a click on an item).
class MenuReleaseRule {
public:
    // The menu opened at `at` (screen coordinates).
    void Opened(FramePoint at);
    // A button went down on the menu.
    void Pressed() { pressed_ = true; }
    // The pointer moved to `at` (screen coordinates), a button held or not.
    void Moved(FramePoint at, bool buttonHeld, int dragDistance);
    // A button came up on an item; true when that chooses the item.
    bool Released();

private:
    FramePoint openedAt_{};
    bool pressed_ = false;
    bool dragged_ = false;
};

}  // namespace trivexa
