#pragma once
// The settings dialog's rules without a display: its five event display
// switches (which command is which switch, their labels, places and states),
// the layout of the dialog and its version text.
//
// Sizes are design sizes times the layout scale s, truncated
// (app/core/layout_scale.h). Pure functions and a plain state holder; the
// dialog (settings/setting_dlg.h) uses them on the UI thread.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "controls/core/skin_rules.h"

namespace trivexa {

// The switches, by index: the index is the event display category the main
// window receives with UM_EVENT_DISPLAY.
inline constexpr int kEventDisplaySwitchCount = 5;
// Command ids: switch i is kFirstSwitchCommand + i. The dialog answers the
// range up to kLastSwitchCommand; the ids after the last switch do nothing.
inline constexpr int kFirstSwitchCommand = 32968;
inline constexpr int kLastSwitchCommand = 32975;
inline constexpr int kVersionTextId = 32981;
inline constexpr int kSettingCloseCommand = 19;

// UI strings of the dialog.
inline constexpr int kUiSettingTitle = 123;
inline constexpr int kUiDisplayFrame = 128;
inline constexpr int kUiVersionFrame = 127;

// The dialog's design size.
inline constexpr int kSettingDialogWidthUnits = 460;
inline constexpr int kSettingDialogHeightUnits = 315;

struct EventDisplaySwitchRow {
    int uiString;                  // the label
    int left, top, right, bottom;  // design units
};
inline constexpr std::array<EventDisplaySwitchRow, kEventDisplaySwitchCount>
    kEventDisplaySwitchRows = {{
        {115, 40, 60, 200, 100},    // 0 drive support
        {124, 40, 100, 200, 140},   // 1 emergency recording stop
        {125, 240, 60, 400, 100},   // 2 parking monitoring shock
        {129, 240, 100, 400, 140},  // 3 overspeed
        {183, 40, 140, 200, 180},   // 4 approaching vehicle
    }};

// The switch of command `commandId`, or -1 when it is none (also for the ids
// of the switch range that have no switch).
int EventDisplaySwitchForCommand(int commandId);

// A switch's height: its box row (4 units above the 12-unit box, 4 below).
inline constexpr int kSwitchRowUnits = 20;

struct SettingDialogLayout {
    int width = 0;   // 460·s
    int height = 0;  // 315·s
    // Left, top and right edges from kEventDisplaySwitchRows, one box row high.
    std::array<MsgBoxRect, kEventDisplaySwitchCount> switches{};
    MsgBoxRect displayFrame;  // (10·s, 30·s), 434·s × 160·s
    MsgBoxRect versionFrame;  // (10·s, 190·s), 434·s × 110·s
    MsgBoxRect versionText;   // (20·s, 210·s), 414·s × 60·s
    int boxSize = 0;          // the switches' box pictures, 12·s square
};
SettingDialogLayout LayOutSettingDialog(float s);

// The year of a build date text: its last space-separated word ("Aug 20 2022"
// gives "2022"); "" for a text without any.
std::string BuildYear(std::string_view buildDate);

// The version text: "version <version>", and on a second line the build year
// of `buildDate` (no second line without a year).
std::string SettingVersionText(std::string_view version, std::string_view buildDate);

// The switches' states for a session: all on at the start; a press inverts
// one. Nothing is stored anywhere else.
class EventDisplaySwitches {
public:
    // Inverts switch `index` and returns its new state; nothing (and no
    // change) for an index outside 0..4.
    std::optional<bool> Press(int index);
    bool On(int index) const;

private:
    std::array<bool, kEventDisplaySwitchCount> on_ = {true, true, true, true, true};
};

}  // namespace trivexa
