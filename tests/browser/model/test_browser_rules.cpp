// The panel's display-free rules: row colours and text, the repair marks,
// the panel and tree geometry, and the source dialog's choices.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/core/settings_file.h"
#include "browser/model/list_rules.h"
#include "browser/model/panel_layout.h"
#include "browser/model/source_choice.h"
#include "container/integrity.h"
#include "support/test_support.h"

namespace trivexa {
namespace {

namespace fs = std::filesystem;

struct ColourCase {
    RowState state;
    Rgb background;
    Rgb text;
};

class RowColourTable : public ::testing::TestWithParam<ColourCase> {};

TEST_P(RowColourTable, FollowsSelectedShockDamagedRepair) {
    const ColourCase& c = GetParam();
    const RowColours got = ColoursForRow(c.state);
    EXPECT_EQ(got.background, c.background);
    EXPECT_EQ(got.text, c.text);
}

// {selected, shock, damaged, repair pending}
INSTANTIATE_TEST_SUITE_P(
    Cases, RowColourTable,
    ::testing::Values(ColourCase{{false, false, false, false}, 0x231815, 0xFFFFFF},
                      ColourCase{{false, false, true, false}, 0x231815, 0x00FF00},
                      ColourCase{{false, false, true, true}, 0x231815, 0xFFFF00},
                      ColourCase{{false, true, false, false}, 0xFFFFCC, 0x000000},
                      ColourCase{{false, true, true, false}, 0xFFFFCC, 0x00FF00},
                      ColourCase{{false, true, true, true}, 0xBFBF99, 0xFFFF00},
                      ColourCase{{true, false, false, false}, 0xB2B2B2, 0x000000},
                      ColourCase{{true, false, true, true}, 0xB2B2B2, 0xFFFF00},
                      ColourCase{{true, true, false, false}, 0xB2B28E, 0x000000},
                      ColourCase{{true, true, true, false}, 0xB2B28E, 0x00FF00}),
    [](const ::testing::TestParamInfo<ColourCase>& info) {
        const RowState& s = info.param.state;
        return std::string(s.selected ? "Selected" : "Plain") + (s.shock ? "Shock" : "") +
               (s.damaged ? "Damaged" : "") + (s.repairPending ? "RepairPending" : "");
    });

// Points the repaired copies folder at a scratch folder for the life of the
// object.
class ScopedRepairFolder {
public:
    ScopedRepairFolder() { SetRepairFolder(dir_.path() / "repaired"); }
    ~ScopedRepairFolder() { SetRepairFolder({}); }
    fs::path path() const { return dir_.path() / "repaired"; }

private:
    test::TempDir dir_;
};

TEST(ListRows, TextRepairMarksAndState) {
    RecordingEntry e;
    e.frontPath = "/card/Normal/Front/AG_S-230715-081522-000123F.AVI";
    e.frontName = "AG_S-230715-081522-000123F.AVI";
    EXPECT_EQ(RowText(e), "AG_S-081522-000123");
    RecordingEntry rearOnly;
    rearOnly.rearPath = "/card/Normal/Rear/A___-230715-081522-000001R.AVI";
    rearOnly.rearName = "A___-230715-081522-000001R.AVI";
    EXPECT_EQ(RowText(rearOnly), "A___-081522-000001");

    ScopedRepairFolder copies;
    EXPECT_FALSE(NeedsRepair(e));  // not damaged
    e.frontDamaged = 1;
    EXPECT_TRUE(NeedsRepair(e));
    RowState s = StateForRow(e, false, RepairMarksFor(e));
    EXPECT_TRUE(s.shock);
    EXPECT_TRUE(s.damaged);
    EXPECT_TRUE(s.repairPending);
    // Once the repaired copy exists the row is only damaged.
    fs::create_directories(copies.path());
    test::WriteFile(copies.path() / e.frontName, "copy");
    EXPECT_FALSE(NeedsRepair(e));
    s = StateForRow(e, true, RepairMarksFor(e));
    EXPECT_FALSE(s.repairPending);
    EXPECT_EQ(ColoursForRow(s).text, 0x00FF00u);
    // A damaged file whose copy cannot even be named needs repair.
    EXPECT_TRUE(RepairPendingFor("", true));
}

TEST(PanelGeometry, ButtonsLabelsTreeAndList) {
    const PanelLayout l = LayOutPanel(452, 629, 13, 1.0f);
    EXPECT_EQ(l.pathBox, (PanelRect{4, 5, 382, 20}));
    EXPECT_EQ(l.countStrip, (PanelRect{386, 5, 62, 20}));
    EXPECT_EQ(l.tree, (PanelRect{4, 44, 213, 581}));
    EXPECT_EQ(l.list, (PanelRect{220, 44, 228, 581}));
    // Buttons 0-4 advance 55, 55, 92, 55; button 5 starts a row 18 lower.
    const int xs[5] = {8, 63, 118, 210, 265};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(l.buttons[i].x, xs[i]);
        EXPECT_EQ(l.buttons[i].y, 9);
        EXPECT_EQ(l.buttons[i].width, 12);
    }
    EXPECT_EQ(l.buttons[5], (PanelRect{8, 27, 12, 12}));
    EXPECT_EQ(l.labels[3], (PanelRect{226, 7, 80, 16}));
    // Both rows of buttons and labels end above the tree.
    EXPECT_LE(l.labels[5].y + l.labels[5].height, l.tree.y);
    // At 1.5 every design size is scaled and truncated.
    const PanelLayout big = LayOutPanel(678, 943, 20, 1.5f);
    EXPECT_EQ(big.tree, (PanelRect{6, 66, 319, 943 - 66 - 6}));
    EXPECT_EQ(big.buttons[1].x, 12 + 82);
    EXPECT_EQ(ZoomNoticeBox(452, 629, 1.0f), (PanelRect{136, 264, 180, 100}));
}

TEST(TreeGeometry, TextBadgeAndLayers) {
    EXPECT_EQ(TreeRowHeight(1.0f), 20);
    EXPECT_EQ(TreeTextX(20, 0, 1.0f), 18);  // a top-level node
    EXPECT_EQ(TreeTextX(20, 1, 1.0f), 38);  // a group node
    EXPECT_EQ(TreeBadgeRect(38, 100, 20, 1.0f), (PanelRect{12, 102, 24, 16}));
    EXPECT_FALSE(TreeNodeHasBadge(0, kFlagShock));
    EXPECT_FALSE(TreeNodeHasBadge(1, 0));
    EXPECT_TRUE(TreeNodeHasBadge(1, kFlagContinuous));
    EXPECT_EQ(BadgeLayers(kFlagApproachAlert | kFlagManual | kFlagParking | kFlagContinuous),
              (std::vector<TriggerFlags>{kFlagManual, kFlagParking, kFlagApproachAlert}));
    EXPECT_EQ(BadgeLayers(0x7F).size(), 6u);
}

TEST(SourceChoice, ModeEnablingAndWhatOkRemembers) {
    EXPECT_EQ(StartingSourceMode("SD"), SourceKind::SdCard);
    EXPECT_EQ(StartingSourceMode("FOLDER"), SourceKind::Folder);
    EXPECT_EQ(StartingSourceMode("FILE"), SourceKind::File);
    EXPECT_EQ(StartingSourceMode(""), SourceKind::SdCard);
    EXPECT_EQ(StartingSourceMode("file"), SourceKind::SdCard);

    EXPECT_FALSE(SourceOkEnabled(SourceKind::SdCard, false, "x", "y"));
    EXPECT_TRUE(SourceOkEnabled(SourceKind::SdCard, true, "", ""));
    EXPECT_FALSE(SourceOkEnabled(SourceKind::Folder, true, "", "y"));
    EXPECT_TRUE(SourceOkEnabled(SourceKind::Folder, false, "/f", ""));
    EXPECT_FALSE(SourceOkEnabled(SourceKind::File, true, "/f", ""));
    EXPECT_TRUE(SourceOkEnabled(SourceKind::File, false, "", "/a.avi"));

    EXPECT_FALSE(SettingForChoice(SourceKind::None, "d", "f", "g").has_value());
    EXPECT_EQ(*SettingForChoice(SourceKind::Folder, "/media/SD", "/trips", "/a.AVI"),
              (SourceSetting{"FOLDER", "/trips"}));

    test::TempDir dir;
    const std::string previous = SettingsDirectory();
    SetSettingsDirectory(dir.path().string());
    ASSERT_TRUE(RememberChoice({"SD", "/media/user/SD"}));
    EXPECT_EQ(ReadSetting("SOURCE", "SELECT"), "SD");
    EXPECT_EQ(ReadSetting("SOURCE", "SD"), "/media/user/SD");
    SetSettingsDirectory(previous);
}

TEST(SourceChoice, TheMainWindowsCheckOfTheChosenPath) {
    test::TempDir dir;
    const std::string name = "AG__-230715-081522-000001F.AVI";
    test::WriteFile(dir / name, "x");
    test::WriteFile(dir / "holiday.avi", "x");

    std::string path;
    EXPECT_EQ(CheckChosenSource(SourceKind::Folder, path), ChosenSourceCheck::kNothing);
    path = (dir / "gone").string();
    EXPECT_EQ(CheckChosenSource(SourceKind::Folder, path), ChosenSourceCheck::kNothing);
    path = dir.path().string() + "/";
    EXPECT_EQ(CheckChosenSource(SourceKind::SdCard, path), ChosenSourceCheck::kOpen);
    EXPECT_EQ(path, dir.path().string());  // one trailing separator dropped
    path = (dir / "holiday.avi").string();
    EXPECT_EQ(CheckChosenSource(SourceKind::File, path), ChosenSourceCheck::kNotRecording);
    path = (dir / name).string();
    EXPECT_EQ(CheckChosenSource(SourceKind::File, path), ChosenSourceCheck::kOpen);
    path = "/";
    EXPECT_EQ(CheckChosenSource(SourceKind::Folder, path), ChosenSourceCheck::kOpen);
    EXPECT_EQ(path, "/");
}

}  // namespace
}  // namespace trivexa
