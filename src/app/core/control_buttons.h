#pragma once
// The main window's buttons as data and rules: the command ids, the sixteen
// control buttons along the bottom (picture, tooltip, what each does), the
// three caption buttons, the play button's two faces, and *Button enabling*:
// which buttons can be used in which state of the controller.
//
// Callers: the main window on the UI thread (creating the buttons, after
// every state change). Pure functions and constant data.

#include <array>
#include <span>

#include "app/core/main_layout.h"
#include "app/core/playback_rules.h"

namespace trivexa {

// Command ids of the main window's buttons, sliders and menu items.
enum class CommandId : int {
    kCaptionClose = 16,
    kCaptionMaximise = 17,
    kCaptionMinimise = 18,
    kStop = 38000,
    kPrevious = 38001,
    kPlayPause = 38002,
    kSlower = 38003,
    kFaster = 38004,
    kNext = 38005,
    kStill = 38006,
    kJoin = 38007,
    kZoomMode = 38008,
    kMirror = 38009,
    kMapWindow = 38010,
    kBrowse = 38011,
    kDelete = 38012,
    kSettings = 38013,
    kCsv = 38014,
    kSwapScreens = 38015,
    kSeekSlider = 38100,
    kVolumeSlider = 38101,
    kProgressBar = 38102,
    kAspect = 38200,
};

// Indexes of the control buttons, left to right.
namespace button {
inline constexpr int kStop = 0;
inline constexpr int kPrevious = 1;
inline constexpr int kPlayPause = 2;
inline constexpr int kSlower = 3;
inline constexpr int kFaster = 4;
inline constexpr int kNext = 5;
inline constexpr int kStill = 6;
inline constexpr int kJoin = 7;
inline constexpr int kZoomMode = 8;
inline constexpr int kMirror = 9;
inline constexpr int kMapWindow = 10;
inline constexpr int kBrowse = 11;
inline constexpr int kDelete = 12;
inline constexpr int kSettings = 13;
inline constexpr int kCsv = 14;
inline constexpr int kSwapScreens = 15;
}  // namespace button

struct ControlButtonInfo {
    int index;
    CommandId command;
    int picture;  // skin picture number (a strip of four state pictures)
    int tooltip;  // UI string
    // Zoom mode and the map window show a latched look while they are on.
    bool toggles;
};

// The sixteen control buttons in order; the play button is listed with its
// play face (see PlayButtonFace).
std::span<const ControlButtonInfo, kControlButtonCount> ControlButtons();

// The play button shows the pause picture (147, tooltip 11) while playback
// runs, else the play picture (148, tooltip 12).
struct ButtonFace {
    int picture;
    int tooltip;
    bool operator==(const ButtonFace&) const = default;
};
ButtonFace PlayButtonFace(bool showPause);

struct CaptionButtonInfo {
    CommandId command;
    int picture;
    int widthUnits;  // design width; all are 18 units high
};
// Close, maximise/restore, minimise, in the order of *Lay out the children*.
std::span<const CaptionButtonInfo, kCaptionButtonCount> CaptionButtons();
inline constexpr int kCaptionButtonHeightUnits = 18;
// The close caption button's tooltip is none; the maximise button's is
// MaximiseTooltipId of main_layout.h.

// What *Button enabling* reads.
struct EnablingInput {
    bool browserExists = true;  // nothing changes before the browser panel exists
    int rowCount = 0;           // rows in the browser's list
    int currentRow = -1;        // `currentIndex`
    bool dataCameraExists = false;
    PlayState dataState = PlayState::kClosed;  // of the data camera
    RateCode rate = RateCode::kNormal;         // of the data camera
    bool rearPresent = false;                  // player 1 initialised
    bool sdCardSource = false;                 // the source is an SD card
    bool singleFileSource = false;
    bool csvUnavailable = false;  // the CSV-unavailable flag
};

struct ButtonEnabling {
    bool apply = false;  // false: the browser does not exist yet, change nothing
    bool captionButtons = false;
    std::array<bool, kControlButtonCount> controls{};
    // The trip panel and its buttons, the browser's tree, list and filter
    // buttons.
    bool panels = false;
};

ButtonEnabling EnableButtons(const EnablingInput& in);

}  // namespace trivexa
