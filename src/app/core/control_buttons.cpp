#include "app/core/control_buttons.h"

#include "controls/core/skin_table.h"

namespace trivexa {

namespace {

constexpr ControlButtonInfo kControls[kControlButtonCount] = {
    {button::kStop, CommandId::kStop, skin::kToStart, 20, false},
    {button::kPrevious, CommandId::kPrevious, skin::kPrevious, 13, false},
    {button::kPlayPause, CommandId::kPlayPause, skin::kPlay, 12, false},
    {button::kSlower, CommandId::kSlower, skin::kSlower, 17, false},
    {button::kFaster, CommandId::kFaster, skin::kFaster, 4, false},
    {button::kNext, CommandId::kNext, skin::kNext, 9, false},
    {button::kStill, CommandId::kStill, skin::kStill, 19, false},
    {button::kJoin, CommandId::kJoin, skin::kJoin, 1, false},
    {button::kZoomMode, CommandId::kZoomMode, skin::kZoom, 21, true},
    {button::kMirror, CommandId::kMirror, skin::kMirror, 169, false},
    {button::kMapWindow, CommandId::kMapWindow, skin::kMap, 150, true},
    {button::kBrowse, CommandId::kBrowse, skin::kOpenSource, 10, false},
    {button::kDelete, CommandId::kDelete, skin::kDelete, 3, false},
    {button::kSettings, CommandId::kSettings, skin::kSettings, 16, false},
    {button::kCsv, CommandId::kCsv, skin::kCsv, 2, false},
    {button::kSwapScreens, CommandId::kSwapScreens, skin::kSwapScreens, 147, false},
};

constexpr CaptionButtonInfo kCaptions[kCaptionButtonCount] = {
    {CommandId::kCaptionClose, skin::kCaptionClose, 46},
    {CommandId::kCaptionMaximise, skin::kCaptionMaximise, 26},
    {CommandId::kCaptionMinimise, skin::kCaptionMinimise, 26},
};

}  // namespace

std::span<const ControlButtonInfo, kControlButtonCount> ControlButtons() { return kControls; }

std::span<const CaptionButtonInfo, kCaptionButtonCount> CaptionButtons() { return kCaptions; }

ButtonFace PlayButtonFace(bool showPause) {
    return showPause ? ButtonFace{skin::kPause, 11} : ButtonFace{skin::kPlay, 12};
}

ButtonEnabling EnableButtons(const EnablingInput& in) {
    ButtonEnabling e;
    if (!in.browserExists) return e;
    e.apply = true;
    e.captionButtons = true;
    e.panels = true;
    auto& b = e.controls;
    b[button::kCsv] = !in.csvUnavailable;
    if (in.rowCount <= 0) {
        b[button::kBrowse] = true;
        return e;
    }
    const bool several = in.rowCount > 1;
    const bool playing = in.dataCameraExists && in.dataState == PlayState::kPlaying;
    const bool paused = in.dataCameraExists && in.dataState == PlayState::kPaused;
    b[button::kPrevious] = several && in.currentRow != 0;
    b[button::kNext] = several && in.currentRow != in.rowCount - 1;
    b[button::kStop] = playing || paused;
    b[button::kPlayPause] = playing || in.dataCameraExists;
    const int rate = static_cast<int>(in.rate);
    b[button::kSlower] = playing && rate >= -1;
    b[button::kFaster] = playing && rate < 2;
    b[button::kStill] = in.dataCameraExists;
    b[button::kJoin] = in.sdCardSource;
    b[button::kZoomMode] = in.dataCameraExists;
    b[button::kMirror] = in.rearPresent;
    b[button::kMapWindow] = true;
    b[button::kBrowse] = true;
    b[button::kDelete] = !in.singleFileSource;
    b[button::kSettings] = true;
    b[button::kSwapScreens] = true;
    return e;
}

}  // namespace trivexa
