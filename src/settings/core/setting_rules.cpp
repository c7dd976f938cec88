#include "settings/core/setting_rules.h"

#include <algorithm>

#include "app/core/layout_scale.h"

namespace trivexa {

namespace {

// A rectangle given by its edges in design units: each edge is scaled on its
// own, so neighbouring controls share their edges at any scale.
MsgBoxRect EdgesInUnits(int left, int top, int right, int bottom, float s) {
    const int l = Units(left, s);
    const int t = Units(top, s);
    return {l, t, Units(right, s) - l, Units(bottom, s) - t};
}

MsgBoxRect SizeInUnits(int left, int top, int width, int height, float s) {
    return {Units(left, s), Units(top, s), Units(width, s), Units(height, s)};
}

}  // namespace

int EventDisplaySwitchForCommand(int commandId) {
    const int index = commandId - kFirstSwitchCommand;
    return index >= 0 && index < kEventDisplaySwitchCount ? index : -1;
}

SettingDialogLayout LayOutSettingDialog(float s) {
    SettingDialogLayout l;
    l.width = Units(kSettingDialogWidthUnits, s);
    l.height = Units(kSettingDialogHeightUnits, s);
    for (std::size_t i = 0; i < kEventDisplaySwitchRows.size(); ++i) {
        const EventDisplaySwitchRow& row = kEventDisplaySwitchRows[i];
        l.switches[i] = EdgesInUnits(row.left, row.top, row.right, row.bottom, s);
        // The caption is centred on the switch's height while the box sits
        // 4 units from its top: one box row high, the two line up.
        l.switches[i].height = std::min(l.switches[i].height, Units(kSwitchRowUnits, s));
    }
    // The frames leave 10 units left and 16 right: 460 - 26 wide.
    const int frameWidth = kSettingDialogWidthUnits - 26;
    l.displayFrame = SizeInUnits(10, 30, frameWidth, 160, s);
    l.versionFrame = SizeInUnits(10, 190, frameWidth, 110, s);
    l.versionText = SizeInUnits(20, 210, frameWidth - 20, 60, s);
    l.boxSize = Units(12, s);
    return l;
}

std::string BuildYear(std::string_view buildDate) {
    const std::size_t end = buildDate.find_last_not_of(' ');
    if (end == std::string_view::npos) return {};
    const std::size_t space = buildDate.find_last_of(' ', end);
    const std::size_t begin = space == std::string_view::npos ? 0 : space + 1;
    return std::string(buildDate.substr(begin, end + 1 - begin));
}

std::string SettingVersionText(std::string_view version, std::string_view buildDate) {
    std::string text = "version ";
    text += version;
    const std::string year = BuildYear(buildDate);
    if (!year.empty()) {
        text += "\nCopyright (C) ";
        text += year;
    }
    return text;
}

std::optional<bool> EventDisplaySwitches::Press(int index) {
    if (index < 0 || index >= kEventDisplaySwitchCount) return std::nullopt;
    bool& on = on_[static_cast<std::size_t>(index)];
    on = !on;
    return on;
}

bool EventDisplaySwitches::On(int index) const {
    return index >= 0 && index < kEventDisplaySwitchCount && on_[static_cast<std::size_t>(index)];
}

}  // namespace trivexa
