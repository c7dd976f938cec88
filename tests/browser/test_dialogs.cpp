// The source selection dialog and the file selection dialog under real mouse
// and key events: the modes and what OK remembers, the choosers, the join run
// on the rendered check list, the size and count limits and their messages.
#include "browser_test_util.h"
// (first: see there)
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <filesystem>

#include "app/core/settings_file.h"
#include "app/core/ui_strings.h"
#include "browser/browse_for_folder.h"
#include "browser/file_select_dlg.h"
#include "browser/model/source_choice.h"
#include "browser/source_open_dlg.h"
#include "controls/skin_list.h"

namespace trivexa {
namespace {

namespace fs = std::filesystem;
using test::Name;

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        previousSettings_ = SettingsDirectory();
        SetSettingsDirectory(settings_.path().string());
    }
    void TearDown() override {
        if (!previousSettings_.empty()) SetSettingsDirectory(previousSettings_);
    }

    test::ScopedScale scale_{1.0f};
    test::TempDir settings_;
    test::TempDir dir_;
    std::string previousSettings_;
};

void Click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center()); }

// Accepts the next folder or file dialog with `path` chosen.
void ChooseInNextFileDialog(const fs::path& path, QString* startedIn = nullptr,
                            QStringList* filters = nullptr) {
    test::WhenModalShown<QFileDialog>([path, startedIn, filters](QFileDialog* d) {
        if (startedIn) *startedIn = d->directory().absolutePath();
        if (filters) *filters = d->nameFilters();
        d->setDirectory(QString::fromStdString(path.parent_path().string()));
        d->selectFile(QString::fromStdString(path.string()));
        static_cast<QDialog*>(d)->accept();  // the dialog's own checks run
    });
}

TEST_F(DialogTest, SourceDialogStartsInTheRememberedModeAndOkRemembersTheChoice) {
    WriteSetting("SOURCE", "SELECT", "FILE");
    CSourceOpenDlg dlg;
    ASSERT_TRUE(test::ShowAndWait(&dlg));
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8(UiString(132)));
    EXPECT_EQ(dlg.size(), QSize(540, 250));
    EXPECT_EQ(dlg.Mode(), SourceKind::File);
    EXPECT_TRUE(dlg.ModeButton(SourceKind::File)->isChecked());
    EXPECT_FALSE(dlg.ModeButton(SourceKind::SdCard)->isChecked());
    // FILE is empty: nothing to open.
    EXPECT_FALSE(dlg.OkButton()->isEnabled());

    // Typing does not enable OK until a mode button is pressed again.
    const std::string typed = (dir_ / "trips").string();
    dlg.FolderBox()->setFocus();
    QTest::keyClicks(dlg.FolderBox(), QString::fromStdString(typed));
    EXPECT_FALSE(dlg.OkButton()->isEnabled());
    Click(dlg.ModeButton(SourceKind::Folder));
    EXPECT_EQ(dlg.Mode(), SourceKind::Folder);
    EXPECT_TRUE(dlg.ModeButton(SourceKind::Folder)->isChecked());
    EXPECT_FALSE(dlg.ModeButton(SourceKind::File)->isChecked());
    EXPECT_TRUE(dlg.OkButton()->isEnabled());
    test::SaveShot(&dlg, "source_dialog.png");

    Click(dlg.OkButton());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.ChosenPath(), typed);
    EXPECT_EQ(ReadSetting("SOURCE", "SELECT"), "FOLDER");
    EXPECT_EQ(ReadSetting("SOURCE", "FOLDER"), typed);

    // The next run starts from what was written.
    CSourceOpenDlg again;
    EXPECT_EQ(again.Mode(), SourceKind::Folder);
    EXPECT_EQ(again.FolderBox()->text().toStdString(), typed);
    EXPECT_TRUE(again.OkButton()->isEnabled());
}

TEST_F(DialogTest, SourceDialogDriveListHoldsTheRemovableVolumes) {
    const auto drives = RemovableDriveTexts();
    CSourceOpenDlg dlg;
    EXPECT_EQ(dlg.Mode(), SourceKind::SdCard);  // nothing remembered
    ASSERT_EQ(dlg.DriveList()->count(), static_cast<int>(drives.size()));
    if (drives.empty()) {
        // No card: mode 1 has nothing to open.
        EXPECT_FALSE(dlg.OkButton()->isEnabled());
        EXPECT_EQ(dlg.ChosenPath(), "");
    } else {
        EXPECT_EQ(dlg.DriveList()->currentIndex(), dlg.DriveList()->count() - 1);
        EXPECT_EQ(dlg.ChosenPath(), drives.back());
        EXPECT_TRUE(dlg.OkButton()->isEnabled());
    }
    // The close button ends the dialog without a result.
    ASSERT_TRUE(test::ShowAndWait(&dlg));
    Click(dlg.CloseButton());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(ReadSetting("SOURCE", "SELECT"), "");
}

TEST_F(DialogTest, SourceDialogChoosersFillTheBoxesAndRefuseOtherFiles) {
    const fs::path start = dir_ / "start";
    const fs::path chosen = dir_ / "chosen";
    fs::create_directories(start);
    fs::create_directories(chosen);
    WriteSetting("SOURCE", "FOLDER", start.string());
    CSourceOpenDlg dlg;
    ASSERT_TRUE(test::ShowAndWait(&dlg));

    // The folder chooser starts at the remembered folder.
    QString startedIn;
    ChooseInNextFileDialog(chosen, &startedIn);
    Click(dlg.FolderBrowseButton());
    EXPECT_EQ(startedIn.toStdString(), start.string());
    EXPECT_EQ(dlg.FolderBox()->text().toStdString(), chosen.string());
    EXPECT_EQ(dlg.Mode(), SourceKind::Folder);
    EXPECT_TRUE(dlg.OkButton()->isEnabled());

    // A file that is not a recording is refused with UI string 96.
    test::Touch(dir_ / "holiday.avi", 10);
    QString message;
    QStringList filters;
    ChooseInNextFileDialog(dir_ / "holiday.avi", &startedIn, &filters);
    test::AnswerNextBox(&message);
    Click(dlg.FileBrowseButton());
    // The file dialog starts in the program's folder, showing movie files.
    EXPECT_EQ(startedIn, QDir(QCoreApplication::applicationDirPath()).absolutePath());
    EXPECT_EQ(filters, (QStringList{"Movie Files(*.avi)", "All Files(*.*)"}));
    EXPECT_EQ(message, QString::fromUtf8(UiString(96)));
    EXPECT_EQ(dlg.FileBox()->text(), QString());
    EXPECT_EQ(dlg.Mode(), SourceKind::Folder);

    const fs::path clip = dir_ / Name("AG__", 3);
    test::Touch(clip, 10);
    ChooseInNextFileDialog(clip);
    Click(dlg.FileBrowseButton());
    EXPECT_EQ(dlg.FileBox()->text().toStdString(), clip.string());
    EXPECT_EQ(dlg.Mode(), SourceKind::File);
    EXPECT_EQ(dlg.ChosenPath(), clip.string());
}

TEST_F(DialogTest, BrowseForFolderReturnsNothingWhenCancelled) {
    test::WhenModalShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
    EXPECT_EQ(BrowseForFolder(nullptr, "FOLDERPATH", "CSV_FOLDER", "title"), "");
}

// --- the file selection dialog -------------------------------------------------

constexpr std::int64_t kMb = kBytesPerMegabyte;

std::vector<RecordingEntry> Recordings(int n, std::int64_t frontMb, std::int64_t rearMb) {
    std::vector<RecordingEntry> rows;
    for (int i = 0; i < n; ++i) {
        RecordingEntry e;
        e.frontName = Name("A___", i + 1);
        e.frontPath = "/card/Normal/Front/" + e.frontName;
        e.rearName = Name("A___", i + 1, "230715", 'R');
        e.rearPath = "/card/Normal/Rear/" + e.rearName;
        e.frontExpectedSize = frontMb * kMb;
        e.rearExpectedSize = rearMb * kMb;
        e.serial = i;
        rows.push_back(e);
    }
    return rows;
}

void ClickCheck(CSkinListCtrl* list, int row) {
    QTest::qWait(QApplication::doubleClickInterval() + 30);
    list->scrollToItem(list->topLevelItem(row));
    const QRect r = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

std::string Checks(CSkinListCtrl* list) {
    std::string out;
    for (int row = 0; row < list->ItemCount(); ++row) out += list->IsChecked(row) ? 'x' : '.';
    return out;
}

class FileSelectTest : public DialogTest {
protected:
    std::unique_ptr<CFileSelectDlg> Open(FileSelectMode mode,
                                         const std::vector<RecordingEntry>& displayed,
                                         const std::vector<RecordingEntry>& full = {}) {
        auto dlg = std::make_unique<CFileSelectDlg>();
        dlg->SetMode(mode);
        if (mode == FileSelectMode::kDelete) dlg->SetFullList(full);
        dlg->SetDisplayedList(displayed);
        EXPECT_TRUE(test::ShowAndWait(dlg.get()));
        return dlg;
    }
};

TEST_F(FileSelectTest, JoinKeepsTheCheckedRowsOneRunOfUndamagedRecordings) {
    auto rows = Recordings(10, 10, 10);
    rows[7].frontDamaged = 1;  // no repaired copy: needs repair
    auto dlg = Open(FileSelectMode::kJoin, rows);
    CSkinListCtrl* list = dlg->List();
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8(UiString(40)));
    EXPECT_EQ(dlg->OkButton()->text(), QString::fromUtf8(UiString(41)));
    EXPECT_FALSE(dlg->ShowAllButton()->isVisible());
    EXPECT_TRUE(dlg->RearSizeText()->isVisible());
    EXPECT_FALSE(dlg->OkButton()->isEnabled());

    ClickCheck(list, 2);
    ClickCheck(list, 3);
    ClickCheck(list, 5);
    EXPECT_EQ(Checks(list), "..xxxx....");
    ClickCheck(list, 0);
    EXPECT_EQ(Checks(list), "xxxxxx....");
    EXPECT_EQ(dlg->SizeText()->text(), QStringLiteral("60 MB"));
    EXPECT_EQ(dlg->RearSizeText()->text(), QStringLiteral("60 MB"));
    EXPECT_TRUE(dlg->OkButton()->isEnabled());
    // Unchecking inside the run cuts it there.
    ClickCheck(list, 4);
    EXPECT_EQ(Checks(list), "xxxx......");
    // Reaching past the damaged row stops before it and takes the click back.
    ClickCheck(list, 8);
    EXPECT_EQ(Checks(list), "xxxxxxx...");
    test::SaveShot(dlg.get(), "file_select_join.png");

    Click(dlg->OkButton());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    ASSERT_EQ(dlg->Result().size(), 7u);
    EXPECT_EQ(dlg->Result().back().frontName, rows[6].frontName);
}

TEST_F(FileSelectTest, ADamagedRecordingCheckedAloneIsUncheckedAtOnce) {
    auto rows = Recordings(4, 10, 10);
    rows[1].rearDamaged = 1;
    auto dlg = Open(FileSelectMode::kJoin, rows);
    ClickCheck(dlg->List(), 1);
    EXPECT_EQ(Checks(dlg->List()), "....");
    EXPECT_FALSE(dlg->OkButton()->isEnabled());
}

// Select-all follows the click's rule: a damaged recording is not checked
// even when a repaired copy of it exists (the join could not take it).
TEST_F(FileSelectTest, SelectAllLeavesADamagedRecordingWithARepairedCopyUnchecked) {
    auto rows = Recordings(5, 10, 10);
    rows[2].frontDamaged = 1;
    auto dlg = Open(FileSelectMode::kJoin, rows);
    dlg->Model().needsRepair = [](const RecordingEntry&) { return false; };  // copies exist
    ClickCheck(dlg->List(), 2);
    EXPECT_EQ(Checks(dlg->List()), ".....");
    Click(dlg->SelectAllButton());
    EXPECT_EQ(Checks(dlg->List()), "xx...");
    EXPECT_EQ(dlg->SizeText()->text(), QStringLiteral("20 MB"));
    Click(dlg->OkButton());
    ASSERT_EQ(dlg->result(), QDialog::Accepted);
    ASSERT_EQ(dlg->Result().size(), 2u);
    EXPECT_EQ(dlg->Result().back().frontName, rows[1].frontName);
}

// A recording cut off by a power loss has no expected sizes: the dialog
// shows and counts its files' sizes on disk, and Delete takes it.
TEST_F(FileSelectTest, DeleteCountsAPowerLossRecordingBySizeOnDisk) {
    auto rows = Recordings(2, 3, 2);
    rows[1].frontExpectedSize = 0;
    rows[1].rearExpectedSize = 0;
    rows[1].frontDamaged = 1;
    rows[1].frontBytes = 7 * kMb;
    rows[1].rearBytes = 5 * kMb;
    rows[1].scanned = true;
    auto dlg = Open(FileSelectMode::kDelete, rows, rows);
    CSkinListCtrl* list = dlg->List();
    EXPECT_EQ(list->topLevelItem(1)->text(1), QStringLiteral("7 MB"));
    EXPECT_EQ(list->topLevelItem(1)->text(2), QStringLiteral("5 MB"));
    ClickCheck(list, 1);
    EXPECT_EQ(dlg->SizeText()->text(), QStringLiteral("12 MB"));
    EXPECT_TRUE(dlg->OkButton()->isEnabled());
    test::SaveShot(dlg.get(), "file_select_delete_power_loss.png");
    Click(dlg->OkButton());
    ASSERT_EQ(dlg->result(), QDialog::Accepted);
    ASSERT_EQ(dlg->Result().size(), 1u);
    EXPECT_EQ(dlg->Result().front().frontName, rows[1].frontName);
}

TEST_F(FileSelectTest, JoinAccepts1024MegabytesAndRefuses1025) {
    auto rows = Recordings(2, 512, 100);
    {
        auto dlg = Open(FileSelectMode::kJoin, rows);
        ClickCheck(dlg->List(), 0);
        ClickCheck(dlg->List(), 1);
        EXPECT_EQ(dlg->SizeText()->text(), QStringLiteral("1024 MB"));
        EXPECT_EQ(dlg->SizeText()->palette().color(QPalette::WindowText), QColor(Qt::black));
        Click(dlg->OkButton());
        EXPECT_EQ(dlg->result(), QDialog::Accepted);
        EXPECT_EQ(dlg->Result().size(), 2u);
    }
    rows[1].frontExpectedSize = 513 * kMb;
    auto dlg = Open(FileSelectMode::kJoin, rows);
    ClickCheck(dlg->List(), 0);
    ClickCheck(dlg->List(), 1);
    EXPECT_EQ(dlg->SizeText()->text(), QStringLiteral("1025 MB"));
    // The front size is drawn red, the rear one stays black.
    const QImage text = test::Grab(dlg->SizeText());
    int red = 0;
    for (int y = 0; y < text.height(); ++y)
        for (int x = 0; x < text.width(); ++x)
            if (test::Near(text.pixelColor(x, y), QColor(0xFF, 0, 0), 60)) ++red;
    EXPECT_GT(red, 5);
    EXPECT_EQ(dlg->RearSizeText()->palette().color(QPalette::WindowText), QColor(Qt::black));
    test::SaveShot(dlg.get(), "file_select_join_too_large.png");
    QString message;
    test::AnswerNextBox(&message);
    Click(dlg->OkButton());
    EXPECT_EQ(message, QString::fromUtf8(UiString(138)));
    EXPECT_TRUE(dlg->isVisible());  // the dialog stays
    EXPECT_TRUE(dlg->Result().empty());
}

TEST_F(FileSelectTest, JoinRefuses101Files) {
    auto dlg = Open(FileSelectMode::kJoin, Recordings(101, 1, 1));
    Click(dlg->SelectAllButton());
    EXPECT_TRUE(dlg->SelectAllButton()->isChecked());
    EXPECT_EQ(Checks(dlg->List()), std::string(101, 'x'));
    QString message;
    test::AnswerNextBox(&message);
    Click(dlg->OkButton());
    EXPECT_EQ(message, QString::fromUtf8(UiString(140)));
    EXPECT_TRUE(dlg->isVisible());
    // One file fewer is accepted.
    ClickCheck(dlg->List(), 100);
    Click(dlg->OkButton());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(dlg->Result().size(), 100u);
}

TEST_F(FileSelectTest, JoinRowColoursShowJoinedAndDamagedRecordings) {
    auto rows = Recordings(4, 1, 1);
    rows[1].joined = 1;
    rows[2].frontDamaged = 1;
    auto dlg = Open(FileSelectMode::kJoin, rows);
    CSkinListCtrl* list = dlg->List();
    const QImage image = test::Grab(list->viewport());
    const auto background = [&](int row) {
        const QRect r = list->visualItemRect(list->topLevelItem(row));
        return image.pixelColor(r.left() + list->columnWidth(0) - 5, r.center().y());
    };
    EXPECT_TRUE(test::Near(background(1), test::Rgb(0xFFFF00)));
    EXPECT_TRUE(test::Near(background(2), test::Rgb(0xEEBACB)));
    EXPECT_FALSE(test::Near(background(3), test::Rgb(0xFFFF00)));
    EXPECT_EQ(list->topLevelItem(1)->foreground(0).color(), test::Rgb(0xFF00FF));
    EXPECT_EQ(list->topLevelItem(2)->foreground(0).color(), test::Rgb(0xFFFF00));
}

TEST_F(FileSelectTest, DeleteOffersTheDisplayedOrTheFullListAndTotalsBothCameras) {
    const auto full = Recordings(6, 3, 2);
    const std::vector<RecordingEntry> displayed(full.begin() + 2, full.begin() + 4);
    auto dlg = Open(FileSelectMode::kDelete, displayed, full);
    CSkinListCtrl* list = dlg->List();
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8(UiString(43)));
    EXPECT_EQ(dlg->OkButton()->text(), QString::fromUtf8(UiString(43)));
    EXPECT_FALSE(dlg->RearSizeText()->isVisible());
    EXPECT_EQ(list->ItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(0).toStdString(), full[2].frontName);
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("3 MB"));
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("2 MB"));
    EXPECT_FALSE(dlg->OkButton()->isEnabled());

    ClickCheck(list, 1);
    EXPECT_EQ(dlg->SizeText()->text(), QStringLiteral("5 MB"));
    EXPECT_TRUE(dlg->OkButton()->isEnabled());
    // Show all: the full list, every row unchecked again.
    Click(dlg->ShowAllButton());
    EXPECT_EQ(list->ItemCount(), 6);
    EXPECT_EQ(Checks(list), "......");
    Click(dlg->SelectAllButton());
    EXPECT_EQ(Checks(list), "xxxxxx");
    EXPECT_EQ(dlg->SizeText()->text(), QStringLiteral("30 MB"));
    ClickCheck(list, 0);
    test::SaveShot(dlg.get(), "file_select_delete.png");
    Click(dlg->OkButton());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    ASSERT_EQ(dlg->Result().size(), 5u);
    EXPECT_EQ(dlg->Result().front().frontName, full[1].frontName);
}

TEST_F(FileSelectTest, MoreThan1500RecordingsAreCutWithUiString103) {
    const auto many = Recordings(1501, 1, 1);
    int boxes = 0;
    QString message;
    test::AnswerNextBox(&message);
    auto dlg = std::make_unique<CFileSelectDlg>();
    dlg->SetMode(FileSelectMode::kDelete);
    EXPECT_FALSE(dlg->SetFullList(many));
    if (!message.isEmpty()) ++boxes;
    EXPECT_EQ(message, QString::fromUtf8(UiString(103)));
    message.clear();
    test::AnswerNextBox(&message);
    EXPECT_FALSE(dlg->SetDisplayedList(many));
    if (!message.isEmpty()) ++boxes;
    EXPECT_EQ(boxes, 2);  // once for each list
    ASSERT_TRUE(test::ShowAndWait(dlg.get()));
    EXPECT_EQ(dlg->List()->ItemCount(), 1500);
}

}  // namespace
}  // namespace trivexa
