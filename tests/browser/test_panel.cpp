// The browser panel on cards and folders written by clipforge, driven with
// mouse events: listing, the filter buttons, selection, the source watcher,
// the colours of the rendered rows, zoom mode and bad input.
#include "browser_test_util.h"
// (first: see there)
#include <QLineEdit>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "app/core/settings_file.h"
#include "app/core/ui_strings.h"
#include "container/integrity.h"
#include "platform/volumes.h"
#include "recordings/recording_name.h"

namespace trivexa {
namespace {

namespace fs = std::filesystem;
using test::Name;
using test::Rec;

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        owner_ = std::make_unique<test::TestOwner>();
        ASSERT_TRUE(test::ShowAndWait(owner_.get()));
    }
    CFilerContainerDlg& Panel() { return *owner_->panel; }
    CFileListCtrl& List() { return Panel().List(); }
    CFolderTreeCtrl& Tree() { return Panel().Tree(); }

    // A folder of recordings opened as a folder source, its one group
    // selected.
    void OpenGroupOf(const fs::path& folder) {
        ASSERT_TRUE(Panel().OpenSource(folder.string(), SourceKind::Folder));
        const auto top = Tree().Children(kTreeRoot);
        ASSERT_EQ(top.size(), 1u);
        const auto groups = Tree().Children(top[0]);
        ASSERT_FALSE(groups.empty());
        Tree().SelectNode(groups[0]);
    }

    test::ScopedScale scale_{1.0f};
    test::TempDir dir_;
    std::unique_ptr<test::TestOwner> owner_;
};

TEST_F(PanelTest, OpensACardAndListsItsFirstGroup) {
    const fs::path card = dir_ / "card";
    test::WriteCardOrFail(card, {Rec(Name("A___", 1)), Rec(Name("AG__", 2)), Rec(Name("A___", 3)),
                                 Rec(Name("P___", 20)), Rec(Name("PG__", 21))});
    ASSERT_TRUE(Panel().OpenSource(card.string(), SourceKind::SdCard));
    ASSERT_TRUE(Panel().SelectDefaultFolder());
    EXPECT_EQ(Panel().Kind(), SourceKind::SdCard);
    EXPECT_EQ(Panel().Device().modelId, "PL21-XQR");

    const auto top = Tree().Children(kTreeRoot);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(Tree().Text(top[0]), "Normal");
    EXPECT_EQ(Tree().Text(top[1]), "Parking");
    // The default folder is Normal's first group, listed with row 0 current.
    const TreeNode group = Tree().SelectedNode();
    EXPECT_EQ(Tree().Text(group), "230715_0001");
    EXPECT_EQ(Tree().GetItemPath(group), (card / "Normal" / "230715_0001").string());
    EXPECT_EQ(Panel().PathBox()->text().toStdString(), Tree().GetItemPath(group));
    EXPECT_EQ(owner_->Rows(),
              (std::vector<std::string>{Name("A___", 1), Name("AG__", 2), Name("A___", 3)}));
    EXPECT_EQ(List().Count(), 3);
    EXPECT_EQ(Panel().CountText(), QString::fromUtf8("3個"));
    EXPECT_EQ(owner_->current, 0);
    EXPECT_EQ(Panel().SelectedRow(), 0);
    // The group carries the categories of its recordings.
    EXPECT_EQ(Tree().ItemData(group) & (kFlagContinuous | kFlagShock),
              kFlagContinuous | kFlagShock);
    EXPECT_EQ(Panel().CollectAll().size(), 5u);
    test::SaveShot(owner_.get(), "panel_card.png");

    // The tree as drawn: the selected row light blue, the others dark, and a
    // badge left of a group's text.
    const QImage tree = test::Grab(Tree().viewport());
    const QRect selectedRow = Tree().NodeRect(group);
    const QRect topRow = Tree().NodeRect(top[0]);
    EXPECT_TRUE(test::Near(tree.pixelColor(selectedRow.right() - 3, selectedRow.center().y()),
                           test::Rgb(0x00CCFF)));
    EXPECT_TRUE(
        test::Near(tree.pixelColor(topRow.right() - 3, topRow.center().y()), test::Rgb(0x231815)));
    int badge = 0;
    for (int x = 12; x < 36; ++x)
        if (!test::Near(tree.pixelColor(x, selectedRow.center().y()), test::Rgb(0x00CCFF), 30))
            ++badge;
    EXPECT_GT(badge, 4);

    // The list's own row: selecting another group lists its recordings.
    const auto parkingGroups = Tree().Children(top[1]);
    ASSERT_EQ(parkingGroups.size(), 1u);
    const QRect r = Tree().NodeRect(parkingGroups[0]);
    QTest::mouseClick(Tree().viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(Tree().SelectedNode(), parkingGroups[0]);
    EXPECT_EQ(owner_->Rows(), (std::vector<std::string>{Name("P___", 20), Name("PG__", 21)}));
}

TEST_F(PanelTest, RestoresTheRememberedFolderAndSelectsItsFirstGroup) {
    if (!platform::RemovableVolumes().empty()) GTEST_SKIP() << "a removable volume is mounted";
    const fs::path folder = dir_ / "trips";
    for (int i = 1; i <= 3; ++i) test::Touch(folder / Name("A___", i), 1);
    EXPECT_FALSE(Panel().RestoreSource());  // nothing remembered
    ASSERT_TRUE(WriteSetting("SOURCE", "FOLDER", folder.string()));
    ASSERT_TRUE(Panel().RestoreSource());
    EXPECT_EQ(Panel().Kind(), SourceKind::Folder);
    // A plain folder: its top node is the default folder; it holds groups.
    EXPECT_EQ(Tree().GetItemPath(Tree().SelectedNode()), folder.string());
    EXPECT_EQ(Tree().Children(Tree().SelectedNode()).size(), 1u);
    WriteSetting("SOURCE", "FOLDER", "");
}

TEST_F(PanelTest, ALayoutAtAnotherScaleResizesButtonsAndRows) {
    const fs::path folder = dir_ / "trip";
    test::Touch(folder / Name("A___", 1), 1);
    OpenGroupOf(folder);
    {
        test::ScopedScale big(1.5f);
        owner_->resize(678, 943);
        Panel().Layout(owner_->rect());
        EXPECT_EQ(Panel().FilterButton(0)->size(), QSize(18, 18));
        EXPECT_EQ(List().RowRect(0).height(), 30);
        EXPECT_EQ(Tree().NodeRect(Tree().SelectedNode()).height(), 30);
        EXPECT_EQ(List().geometry(), QRect(330, 66, 342, 943 - 66 - 6));
    }
    owner_->resize(452, 629);
    Panel().Layout(owner_->rect());
    EXPECT_EQ(List().RowRect(0).height(), 20);
}

TEST_F(PanelTest, AFileSourceListsItsRecordingAndSelectsIt) {
    clipforge::ClipSpec clip = test::SmallClip();
    clip.name = Name("AG__", 9);
    ASSERT_TRUE(clipforge::WriteClip(dir_ / clip.name, clip));
    ASSERT_TRUE(Panel().OpenSource((dir_ / clip.name).string(), SourceKind::File));
    EXPECT_EQ(owner_->Rows(), (std::vector<std::string>{clip.name}));
    EXPECT_EQ(Panel().SelectedRow(), 0);
    EXPECT_EQ(owner_->selected, (std::vector<int>{0}));
    EXPECT_EQ(Panel().PathBox()->text().toStdString(), dir_.path().string());
    EXPECT_EQ(Tree().NodeCount(), 0u);
    // A file the players refuse (empty) lists nothing.
    test::Touch(dir_ / Name("A___", 10), 0);
    EXPECT_FALSE(Panel().OpenSource((dir_ / Name("A___", 10)).string(), SourceKind::File));
    EXPECT_EQ(List().Count(), 0);
}

TEST_F(PanelTest, FilterButtonsFollowTheFilterDecision) {
    const fs::path folder = dir_ / "trip";
    const std::string plain = Name("A___", 1), shock = Name("AG__", 2),
                      parkingManual = Name("PM__", 3), optionT = Name("A_T_", 4),
                      approach = Name("AD__", 5), parkingShock = Name("PG__", 6);
    for (const auto& n : {plain, shock, parkingManual, optionT, approach, parkingShock})
        test::Touch(folder / n, 1);
    OpenGroupOf(folder);
    ASSERT_EQ(List().Count(), 6);

    // All filters off: nothing listed, the count reads 0.
    for (int i = 0; i < kFilterCount; ++i) test::ClickFilter(&Panel(), i);
    for (int i = 0; i < kFilterCount; ++i) EXPECT_FALSE(Panel().Filter(i));
    EXPECT_EQ(List().Count(), 0);
    EXPECT_EQ(Panel().CountText(), QString::fromUtf8("0個"));
    EXPECT_TRUE(Panel().FilterButton(0)->ShownPicture() != StatePicture::kPressed);

    // Continuous alone hides the shock recording; option T counts as continuous.
    test::ClickFilter(&Panel(), kFilterContinuous);
    EXPECT_EQ(Panel().FilterButton(0)->ShownPicture(), StatePicture::kPressed);
    EXPECT_EQ(owner_->Rows(), (std::vector<std::string>{plain, optionT}));
    test::ClickFilter(&Panel(), kFilterContinuous);

    // A manual recording with mode P: filter 2 or filter 3.
    test::ClickFilter(&Panel(), kFilterManual);
    EXPECT_EQ(owner_->Rows(), (std::vector<std::string>{parkingManual}));
    test::ClickFilter(&Panel(), kFilterManual);
    test::ClickFilter(&Panel(), kFilterParking);
    // Option T is admitted by the parking filter even with mode A; a parking
    // shock needs its own filter.
    EXPECT_EQ(owner_->Rows(), (std::vector<std::string>{optionT, parkingManual}));
    test::ClickFilter(&Panel(), kFilterParkingShock);
    test::ClickFilter(&Panel(), kFilterApproach);
    EXPECT_EQ(owner_->Rows(),
              (std::vector<std::string>{optionT, approach, parkingManual, parkingShock}));
    EXPECT_EQ(Panel().CountText(), QString::fromUtf8("4個"));
    // Each change of the filters selected row 0 again.
    EXPECT_EQ(owner_->current, 0);
    EXPECT_EQ(Panel().SelectedRow(), 0);
    test::SaveShot(owner_.get(), "panel_filters.png");
}

TEST_F(PanelTest, SelectingTheCurrentRowAgainDoesNothingUnlessTheFiltersChanged) {
    const fs::path folder = dir_ / "trip";
    for (int i = 1; i <= 4; ++i) test::Touch(folder / Name("A___", i), 1);
    OpenGroupOf(folder);
    ASSERT_EQ(owner_->selected, (std::vector<int>{0}));

    test::ClickRow(List(), 2);
    EXPECT_EQ(owner_->selected, (std::vector<int>{0, 2}));
    EXPECT_EQ(Panel().SelectedRow(), 2);
    test::ClickRow(List(), 2);  // a click on the selected row changes nothing
    Panel().SelectRow(2, 7);    // nor does selecting it again
    EXPECT_EQ(owner_->selected, (std::vector<int>{0, 2}));
    EXPECT_EQ(Panel().RowRequest(), 7);
    QTest::keyClick(List().viewport(), Qt::Key_Down);
    EXPECT_EQ(owner_->selected, (std::vector<int>{0, 2, 3}));

    // After a filter change row 0 is reported again, even though it was the
    // current row once more after the first change.
    test::ClickFilter(&Panel(), kFilterShock);
    EXPECT_EQ(owner_->selected, (std::vector<int>{0, 2, 3, 0}));
    test::ClickFilter(&Panel(), kFilterShock);
    EXPECT_EQ(owner_->selected, (std::vector<int>{0, 2, 3, 0, 0}));
    Panel().SelectRow(0, 0);
    EXPECT_EQ(owner_->selected.size(), 5u);
}

TEST_F(PanelTest, RemovingTheSourceIsReportedAndEmptiesThePanel) {
    const fs::path card = dir_ / "card";
    test::WriteCardOrFail(card, {Rec(Name("A___", 1)), Rec(Name("A___", 2))});
    ASSERT_TRUE(Panel().OpenSource(card.string(), SourceKind::SdCard));
    Panel().SelectDefaultFolder();
    ASSERT_EQ(List().Count(), 2);

    owner_->sinceStart.start();
    fs::remove_all(card);
    WAIT_FOR(owner_->sourceLostAtMs >= 0);
    std::printf("source lost reported %lld ms after the card was removed\n",
                static_cast<long long>(owner_->sourceLostAtMs));
    EXPECT_EQ(std::count(owner_->posted.begin(), owner_->posted.end(), UM_SOURCE_LOST), 1);
    EXPECT_EQ(List().Count(), 0);
    EXPECT_EQ(Tree().NodeCount(), 0u);
    EXPECT_EQ(Panel().CountText(), QString::fromUtf8("0個"));
    // Clearing raised no folder change of its own.
    const auto folders = owner_->folders.size();
    QTest::qWait(250);
    EXPECT_EQ(owner_->folders.size(), folders);
}

// The colour of the row's background, read right of its text.
QColor RowBackground(CFileListCtrl& list, const QImage& image, int row) {
    const QRect r = list.RowRect(row);
    return image.pixelColor(r.right() - 4, r.center().y());
}

// Whether the row's text is drawn in `colour`.
bool RowHasText(CFileListCtrl& list, const QImage& image, int row, QColor colour) {
    const QRect r = list.RowRect(row).adjusted(2, 2, -2, -2);
    int hits = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (test::Near(image.pixelColor(x, y), colour, 40)) ++hits;
    return hits >= 5;
}

TEST_F(PanelTest, RowColoursAsRendered) {
    const fs::path folder = dir_ / "trip";
    clipforge::ClipSpec clip = test::SmallClip();
    const std::string plain = Name("A___", 1), shock = Name("AG__", 2), damaged = Name("A___", 3),
                      damagedShock = Name("AG__", 4);
    fs::create_directories(folder);
    for (const auto& n : {plain, shock, damaged, damagedShock}) {
        clip.name = n;
        clip.damage = {};
        clip.damage.indexLost = n == damaged || n == damagedShock;
        ASSERT_TRUE(clipforge::WriteClip(folder / n, clip));
    }
    OpenGroupOf(folder);
    ASSERT_EQ(owner_->Rows(), (std::vector<std::string>{plain, shock, damaged, damagedShock}));
    ASSERT_EQ(Panel().Displayed()[2].frontDamaged, 1);

    QImage image = test::Grab(&List());
    EXPECT_TRUE(test::Near(RowBackground(List(), image, 0), test::Rgb(0xB2B2B2)));  // selected
    EXPECT_TRUE(RowHasText(List(), image, 0, Qt::black));
    EXPECT_TRUE(test::Near(RowBackground(List(), image, 1), test::Rgb(0xFFFFCC)));  // shock
    EXPECT_TRUE(test::Near(RowBackground(List(), image, 2), test::Rgb(0x231815)));
    EXPECT_TRUE(RowHasText(List(), image, 2, test::Rgb(0xFFFF00)));  // repair pending
    EXPECT_TRUE(test::Near(RowBackground(List(), image, 3), test::Rgb(0xBFBF99)));
    // Every row has its grey frame; the list's own background below the rows.
    const QRect r0 = List().RowRect(0);
    EXPECT_TRUE(
        test::Near(image.pixelColor(r0.center().x(), r0.bottom() + 1), test::Rgb(0x888888)));
    EXPECT_TRUE(test::Near(image.pixelColor(10, List().height() - 5), test::Rgb(0x231815)));
    // The paint stored the repair marks it found.
    EXPECT_EQ(Panel().Displayed()[2].frontRepairPending, 1);

    // With a repaired copy the damaged rows are only damaged: green text.
    const fs::path copies = RepairFolder();
    ASSERT_FALSE(copies.empty());
    fs::create_directories(copies);
    for (const auto& n : {damaged, damagedShock}) test::WriteFile(copies / n, "copy");
    test::ClickRow(List(), 3);
    image = test::Grab(&List());
    EXPECT_TRUE(RowHasText(List(), image, 2, test::Rgb(0x00FF00)));
    EXPECT_TRUE(
        test::Near(RowBackground(List(), image, 3), test::Rgb(0xB2B28E)));  // selected shock
    EXPECT_TRUE(RowHasText(List(), image, 3, test::Rgb(0x00FF00)));
    EXPECT_TRUE(test::Near(RowBackground(List(), image, 0), test::Rgb(0x231815)));
    EXPECT_TRUE(RowHasText(List(), image, 0, Qt::white));
    EXPECT_EQ(Panel().Displayed()[2].frontRepairPending, 0);
    fs::remove_all(copies);
}

TEST_F(PanelTest, ZoomModeHidesTheControlsAndShowsTheNotice) {
    const fs::path folder = dir_ / "trip";
    test::Touch(folder / Name("A___", 1), 1);
    OpenGroupOf(folder);
    Panel().SetZoomMode(true);
    EXPECT_TRUE(Panel().ZoomMode());
    EXPECT_FALSE(Tree().isVisible());
    EXPECT_FALSE(List().isVisible());
    EXPECT_FALSE(Panel().FilterButton(5)->isVisible());
    const QImage image = test::Grab(&Panel());
    // The notice is white text in the middle of the panel.
    const QRect box(Panel().width() / 2 - 90, Panel().height() / 2 - 50, 180, 100);
    int white = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (test::Near(image.pixelColor(x, y), Qt::white, 30)) ++white;
    EXPECT_GT(white, 50);
    test::SaveShot(&Panel(), "panel_zoom.png");
    // A layout keeps the controls hidden while zoom mode is on.
    Panel().Layout(QRect());
    EXPECT_FALSE(List().isVisible());
    Panel().SetZoomMode(false);
    EXPECT_TRUE(List().isVisible());
    EXPECT_TRUE(Tree().isVisible());
    EXPECT_FALSE(Panel().PathBox()->isVisible());
}

TEST_F(PanelTest, UnreadableFoldersAndOddNamesGiveAClearState) {
    // A folder that cannot be listed (a link to itself): nothing listed.
    const fs::path loop = dir_ / "loop";
    fs::create_directory_symlink(loop, loop);
    Panel().OpenSource(loop.string(), SourceKind::Folder);
    EXPECT_EQ(List().Count(), 0);
    EXPECT_EQ(Panel().CountText(), QString::fromUtf8("0個"));

    // A card whose Parking folder cannot be listed still lists Normal.
    const fs::path card = dir_ / "card";
    test::WriteCardOrFail(card, {Rec(Name("A___", 1))});
    fs::remove_all(card / "Parking");
    fs::create_directory_symlink(card / "Parking", card / "Parking");
    Panel().OpenSource(card.string(), SourceKind::SdCard);
    Panel().SelectDefaultFolder();
    EXPECT_EQ(List().Count(), 1);

    // A folder name that is not UTF-8 is shown with replacement characters
    // and opened by its own bytes. A file name with such bytes can never be
    // a recording name (the grammar is ASCII): it is passed over.
    const fs::path odd = dir_ / std::string("trip\xff\xfe");
    test::Touch(odd / Name("A___", 4), 1);
    test::Touch(odd / (std::string("\xc3\x28") + Name("A___", 5)), 1);
    test::Touch(odd / (Name("A___", 6).substr(0, 26) + "\xff" + "AVI"), 1);
    OpenGroupOf(odd);
    const TreeNode top = Tree().Children(kTreeRoot)[0];
    EXPECT_EQ(Tree().Text(top), std::string("trip\xff\xfe"));
    EXPECT_TRUE(Tree().topLevelItem(0)->text(0).contains(QChar(0xFFFD)));
    EXPECT_EQ(owner_->Rows(), (std::vector<std::string>{Name("A___", 4)}));
    EXPECT_TRUE(Panel().PathBox()->text().contains(QChar(0xFFFD)));
    EXPECT_EQ(Panel().Displayed()[0].frontPath, (odd / Name("A___", 4)).string());
    test::Grab(owner_.get());  // paints without trouble
}

TEST_F(PanelTest, FiveThousandRecordingsInOneFolder) {
    const fs::path folder = dir_ / "many";
    fs::create_directories(folder);
    for (int i = 1; i <= 5000; ++i) test::WriteFile(folder / Name("A___", i), "x");
    ASSERT_TRUE(Panel().OpenSource(folder.string(), SourceKind::Folder));
    const auto groups = Tree().Children(Tree().Children(kTreeRoot)[0]);
    // Groups of the process's group size limit (200 unless a card said less).
    ASSERT_EQ(groups.size(),
              static_cast<std::size_t>((5000 + GroupSizeLimit() - 1) / GroupSizeLimit()));
    Tree().SelectNode(groups.back());
    EXPECT_GT(List().Count(), 0);
    List().scrollToBottom();
    test::Grab(owner_.get());
    // The whole folder as one list: the master list holds all, shown virtually.
    std::vector<RecordingEntry> all;
    for (int i = 1; i <= 5000; ++i) {
        RecordingEntry e;
        e.frontName = Name(i % 7 == 0 ? "AG__" : "A___", i);
        e.frontPath = (folder / e.frontName).string();
        all.push_back(e);
    }
    Panel().Model().Master() = all;
    Panel().Refilter();
    EXPECT_EQ(List().Count(), 5000);
    EXPECT_EQ(Panel().CountText(), QString::fromUtf8("5000個"));
    Panel().SelectRow(4999, 0);
    EXPECT_EQ(owner_->current, 4999);
    const QImage image = test::Grab(&List());
    EXPECT_TRUE(test::Near(RowBackground(List(), image, 4999), test::Rgb(0xB2B2B2)));
}

TEST_F(PanelTest, DeviceFilesOfAnyLengthAndContent) {
    const fs::path card = dir_ / "card";
    test::WriteCardOrFail(card, {Rec(Name("A___", 1))});
    std::mt19937 random(7);
    for (std::size_t size : {0, 1, 47, 67, 68, 69, 4096}) {
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
        test::WriteFile(card / "DRFormatConfig.dfc", bytes);
        ASSERT_TRUE(Panel().OpenSource(card.string(), SourceKind::SdCard)) << size;
        for (char c : Panel().Device().modelId) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << size;
        if (size < 68) {
            EXPECT_EQ(Panel().Device().modelId, "") << size;
        }
    }
}

}  // namespace
}  // namespace trivexa
