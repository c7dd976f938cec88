#include "app/core/video_menu.h"

#include "app/core/layout_scale.h"

namespace trivexa {

namespace {

VideoMenuItem Item(CommandId command, int text, bool enabled = true, bool checked = false) {
    VideoMenuItem item;
    item.command = command;
    item.text = text;
    item.enabled = enabled;
    item.checked = checked;
    return item;
}

VideoMenuItem Separator() {
    VideoMenuItem item;
    item.separator = true;
    return item;
}

constexpr std::uint32_t kGrey = 0x7F7F7F;

}  // namespace

std::vector<VideoMenuItem> BuildVideoMenu(const VideoMenuInput& in) {
    std::vector<VideoMenuItem> items;
    const bool playing = in.state == PlayState::kPlaying;
    const bool paused = in.state == PlayState::kPaused;
    items.push_back(Item(CommandId::kPlayPause, playing ? 82 : 83));
    if (playing || paused) items.push_back(Item(CommandId::kStop, 87));
    if (playing) {
        const int rate = static_cast<int>(in.rate);
        items.push_back(Item(CommandId::kFaster, 79, rate < 2));
        items.push_back(Item(CommandId::kSlower, 85, rate >= 0));
    }
    const bool mirrorEnabled = !in.onFrontSurface;
    if (!in.fullScreen) {
        items.push_back(Separator());
        items.push_back(Item(CommandId::kStill, 86));
        items.push_back(Item(CommandId::kSettings, 84));
        items.push_back(Separator());
        items.push_back(Item(CommandId::kMirror, 169, mirrorEnabled, in.rearMirrored));
        items.push_back(Item(CommandId::kSwapScreens, 147));
        items.push_back(Separator());
        items.push_back(Item(CommandId::kBrowse, 81));
    } else {
        items.push_back(Item(CommandId::kAspect, in.primaryKeepsAspect ? 89 : 88));
        items.push_back(Separator());
        items.push_back(Item(CommandId::kMirror, 169, mirrorEnabled, in.rearMirrored));
        items.push_back(Item(CommandId::kSwapScreens, 147));
    }
    return items;
}

bool VideoMenuRefused(bool withinEndMargin, bool openPending) {
    return withinEndMargin || openPending;
}

FrameSize VideoMenuItemSize(bool fullScreen, float s) {
    return {Units(fullScreen ? 220 : 70, s), Units(20, s)};
}

MenuItemColours VideoMenuItemColours(bool highlighted, bool enabled) {
    MenuItemColours c;
    if (highlighted) {
        c.systemBackground = false;
        c.background = enabled ? 0x0000FF : 0xC3C3FF;
        c.text = enabled ? 0xFFFFFF : kGrey;
    } else {
        c.text = enabled ? 0x000000 : kGrey;
    }
    return c;
}

void MenuReleaseRule::Opened(FramePoint at) {
    openedAt_ = at;
    pressed_ = false;
    dragged_ = false;
}

void MenuReleaseRule::Moved(FramePoint at, bool buttonHeld, int dragDistance) {
    if (!buttonHeld || dragged_) return;
    const int dx = at.x - openedAt_.x;
    const int dy = at.y - openedAt_.y;
    // Qt's and the window system's rule: the Manhattan length.
    if ((dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy) > dragDistance) dragged_ = true;
}

bool MenuReleaseRule::Released() {
    const bool chooses = pressed_ || dragged_;
    // A release ends the press and the drag; the next choice needs its own.
    pressed_ = false;
    dragged_ = false;
    return chooses;
}

}  // namespace trivexa
