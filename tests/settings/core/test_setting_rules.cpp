// The settings dialog's rules: which command is which switch, the switches'
// session states, the layout, the version text, and the main window's
// handling of the message the switches post.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "settings/core/event_display.h"
#include "settings/core/setting_rules.h"

namespace trivexa {
namespace {

TEST(SettingRules, CommandsOfTheSwitchRange) {
    EXPECT_EQ(EventDisplaySwitchForCommand(kFirstSwitchCommand - 1), -1);
    for (int i = 0; i < kEventDisplaySwitchCount; ++i)
        EXPECT_EQ(EventDisplaySwitchForCommand(32968 + i), i);
    // The range goes on to 32975, but those ids have no switch.
    for (int id = 32973; id <= kLastSwitchCommand + 1; ++id)
        EXPECT_EQ(EventDisplaySwitchForCommand(id), -1) << id;
    EXPECT_EQ(EventDisplaySwitchForCommand(kSettingCloseCommand), -1);
}

TEST(SettingRules, LayoutInUnits) {
    const SettingDialogLayout one = LayOutSettingDialog(1.0f);
    EXPECT_EQ(one.width, 460);
    EXPECT_EQ(one.height, 315);
    EXPECT_EQ(one.switches[0], (MsgBoxRect{40, 60, 160, 20}));
    EXPECT_EQ(one.switches[3], (MsgBoxRect{240, 100, 160, 20}));
    EXPECT_EQ(one.switches[4], (MsgBoxRect{40, 140, 160, 20}));
    EXPECT_EQ(one.displayFrame, (MsgBoxRect{10, 30, 434, 160}));
    EXPECT_EQ(one.versionFrame, (MsgBoxRect{10, 190, 434, 110}));
    EXPECT_EQ(one.versionText, (MsgBoxRect{20, 210, 414, 60}));
    EXPECT_EQ(one.boxSize, 12);

    // Edges are scaled one by one: switch 1 starts at 100·1.25 = 125, runs
    // from 40·1.25 = 50 to 200·1.25 = 250 and is 20·1.25 = 25 high.
    const SettingDialogLayout big = LayOutSettingDialog(1.25f);
    EXPECT_EQ(big.width, 575);
    EXPECT_EQ(big.height, 393);
    EXPECT_EQ(big.switches[0], (MsgBoxRect{50, 75, 200, 25}));
    EXPECT_EQ(big.switches[1], (MsgBoxRect{50, 125, 200, 25}));
    EXPECT_EQ(big.switches[2], (MsgBoxRect{300, 75, 200, 25}));
    EXPECT_EQ(big.versionText, (MsgBoxRect{25, 262, 517, 75}));
    EXPECT_EQ(big.boxSize, 15);
}

TEST(SettingRules, VersionTextCarriesTheBuildYear) {
    const std::vector<std::pair<std::string, std::string>> years = {
        {"Aug 20 2022", "2022"},
        {"Aug  2 2022", "2022"},
        {"Aug 20 2022  ", "2022"},
        {"2031", "2031"},
        {"", ""},
        {"   ", ""},
    };
    for (const auto& [date, year] : years) EXPECT_EQ(BuildYear(date), year) << date;
    EXPECT_EQ(SettingVersionText("2.0.2.0", "Aug 20 2022"), "version 2.0.2.0\nCopyright (C) 2022");
    EXPECT_EQ(SettingVersionText("2.0.2.0", ""), "version 2.0.2.0");
}

// The main window as the handling sees it: the calls in their order.
class CallLog : public EventDisplayOwner {
public:
    std::vector<std::string> calls;
    void SetGraphSeries(int series, bool on) override {
        calls.push_back("series " + std::to_string(series) + (on ? " on" : " off"));
    }
    void RebuildEventList() override { calls.push_back("events"); }
    void RebuildMapMarkers() override { calls.push_back("markers"); }
};

TEST(EventDisplay, EachCategoryDrivesItsSeriesThenTheListAndTheMarkers) {
    const int series[] = {8, 4, 5, 6, 7};
    for (int category = 0; category < 5; ++category) {
        CallLog owner;
        EXPECT_TRUE(HandleEventDisplay(owner, static_cast<std::uintptr_t>(category), 0));
        EXPECT_TRUE(HandleEventDisplay(owner, static_cast<std::uintptr_t>(category), 2));
        const std::string s = "series " + std::to_string(series[category]);
        EXPECT_EQ(owner.calls, (std::vector<std::string>{s + " off", "events", "markers", s + " on",
                                                         "events", "markers"}));
    }
    CallLog owner;
    EXPECT_FALSE(HandleEventDisplay(owner, 5, 1));
    EXPECT_FALSE(HandleEventDisplay(owner, ~std::uintptr_t{0}, 1));
    EXPECT_TRUE(owner.calls.empty()) << "other categories are ignored";
}

}  // namespace
}  // namespace trivexa
