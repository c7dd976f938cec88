#include "browser/source_open_dlg.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPainter>

#include "app/core/layout_scale.h"
#include "app/core/settings_file.h"
#include "app/core/ui_strings.h"
#include "browser/browse_for_folder.h"
#include "browser/model/source_choice.h"
#include "controls/core/skin_table.h"
#include "controls/msg_box.h"
#include "controls/screens.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"
#include "recordings/recording_name.h"

namespace trivexa {
namespace {

constexpr int kWidth = 540;
constexpr int kHeight = 250;
constexpr int kUiTitle = 132;
constexpr int kUiCard = 133;
constexpr int kUiFolder = 131;
constexpr int kUiFile = 130;
constexpr int kUiChooseFolder = 102;
constexpr int kUiOpenFailed = 96;

// Design rectangles (left, top, right, bottom) in client coordinates.
struct DesignRect {
    int left, top, right, bottom;
};
constexpr DesignRect kModeRects[3] = {{30, 50, 150, 76}, {30, 100, 150, 126}, {30, 150, 150, 176}};
constexpr DesignRect kDriveRect = {150, 50, 450, 76};
constexpr DesignRect kFolderRect = {150, 100, 450, 126};
constexpr DesignRect kFolderBrowseRect = {470, 100, 510, 126};
constexpr DesignRect kFileRect = {150, 150, 450, 176};
constexpr DesignRect kFileBrowseRect = {470, 150, 510, 176};
constexpr DesignRect kOkRect = {410, 200, 510, 226};

QRect Scaled(const DesignRect& r) {
    return QRect(U(r.left), U(r.top), U(r.right) - U(r.left), U(r.bottom) - U(r.top));
}

int ModeIndex(SourceKind mode) { return static_cast<int>(mode) - 1; }

CSkinButton* MakePushButton(QWidget* parent, int id, const QString& text, const QRect& r) {
    auto* b = new CSkinButton(parent, id);
    b->setText(text);
    b->setGeometry(r);
    b->SetImages(skin::kPushButton, r.size());
    return b;
}

}  // namespace

CSourceOpenDlg::CSourceOpenDlg(QWidget* parent) : CSkinDialog(parent) {
    setWindowTitle(QString::fromUtf8(UiString(kUiTitle)));
    setFont(SharedFont(2));
    resize(U(kWidth), U(kHeight));
    // Centred on the monitor that holds the owner (or the pointer).
    const QPoint anchor = parent ? parent->mapToGlobal(parent->rect().center()) : QCursor::pos();
    const QRect monitor = MonitorRect(anchor);
    if (!monitor.isEmpty()) move(monitor.center() - QPoint(width() / 2, height() / 2));

    static constexpr int kLabels[3] = {kUiCard, kUiFolder, kUiFile};
    static constexpr int kIds[3] = {kCardButtonId, kFolderButtonId, kFileButtonId};
    for (int i = 0; i < 3; ++i) {
        auto* b = new CSkinCheckButton(this, kIds[i]);
        b->setText(QString::fromUtf8(UiString(kLabels[i])));
        b->SetTextColour(Qt::black);
        b->SetImages(skin::kModeButton);
        b->setGeometry(Scaled(kModeRects[i]));
        const auto mode = static_cast<SourceKind>(i + 1);
        connect(b, &CSkinCheckButton::Command, this, [this, mode] { ChooseMode(mode); });
        modeButtons_[static_cast<std::size_t>(i)] = b;
    }

    driveList_ = new QComboBox(this);
    driveList_->setGeometry(Scaled(kDriveRect));
    for (const std::string& drive : RemovableDriveTexts())
        driveList_->addItem(QString::fromUtf8(drive));
    // The last drive is preselected.
    driveList_->setCurrentIndex(driveList_->count() - 1);
    connect(driveList_, &QComboBox::activated, this, &CSourceOpenDlg::OnDriveChanged);

    folderBox_ = new QLineEdit(this);
    folderBox_->setGeometry(Scaled(kFolderRect));
    fileBox_ = new QLineEdit(this);
    fileBox_->setGeometry(Scaled(kFileRect));

    folderBrowse_ =
        MakePushButton(this, kFolderBrowseId, QStringLiteral("..."), Scaled(kFolderBrowseRect));
    connect(folderBrowse_, &CSkinButton::Command, this, [this] { OnFolderBrowse(); });
    fileBrowse_ =
        MakePushButton(this, kFileBrowseId, QStringLiteral("..."), Scaled(kFileBrowseRect));
    connect(fileBrowse_, &CSkinButton::Command, this, [this] { OnFileBrowse(); });
    ok_ = MakePushButton(this, kOkId, QStringLiteral("OK"), Scaled(kOkRect));
    connect(ok_, &CSkinButton::Command, this, [this] { OnOk(); });
    AddCloseButton(kCloseId);
    for (QWidget* w : findChildren<QWidget*>()) w->setFont(font());

    // The remembered values and the starting mode.
    folderPath_ = ReadSetting(settings::kSource, settings::kFolder);
    filePath_ = ReadSetting(settings::kSource, settings::kFile);
    folderBox_->setText(QString::fromUtf8(folderPath_));
    fileBox_->setText(QString::fromUtf8(filePath_));
    if (driveList_->currentIndex() >= 0) driveText_ = driveList_->currentText().toStdString();
    ChooseMode(StartingSourceMode(ReadSetting(settings::kSource, settings::kSelect)));
}

CSkinCheckButton* CSourceOpenDlg::ModeButton(SourceKind mode) const {
    const int i = ModeIndex(mode);
    return i >= 0 && i < 3 ? modeButtons_[static_cast<std::size_t>(i)] : nullptr;
}

void CSourceOpenDlg::ChooseMode(SourceKind mode) {
    mode_ = mode;
    ok_->setEnabled(SourceOkEnabled(mode, driveList_->currentIndex() >= 0,
                                    folderBox_->text().toStdString(),
                                    fileBox_->text().toStdString()));
    for (int i = 0; i < 3; ++i) {
        modeButtons_[static_cast<std::size_t>(i)]->setChecked(i == ModeIndex(mode));
        modeButtons_[static_cast<std::size_t>(i)]->update();
    }
}

std::string CSourceOpenDlg::ChosenPath() const {
    switch (mode_) {
        case SourceKind::SdCard:
            return driveText_;
        case SourceKind::Folder:
            return folderPath_;
        case SourceKind::File:
            return filePath_;
        default:
            return {};
    }
}

void CSourceOpenDlg::OnDriveChanged(int index) {
    if (index < 0) return;
    driveText_ = driveList_->itemText(index).toStdString();
    ChooseMode(SourceKind::SdCard);
}

void CSourceOpenDlg::OnFolderBrowse() {
    const std::string folder =
        BrowseForFolder(this, settings::kSource, settings::kFolder, UiString(kUiChooseFolder));
    if (folder.empty()) return;
    folderPath_ = folder;
    folderBox_->setText(QString::fromUtf8(folder));
    ChooseMode(SourceKind::Folder);
}

void CSourceOpenDlg::OnFileBrowse() {
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("SourceFileDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDirectory(QCoreApplication::applicationDirPath());
    dialog.setNameFilters({QStringLiteral("Movie Files(*.%1)").arg(QStringLiteral("avi")),
                           QStringLiteral("All Files(*.*)")});
    dialog.selectFile(QStringLiteral("*.avi"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const std::string path = QFile::encodeName(dialog.selectedFiles().front()).toStdString();
    if (!IsRecordingFileName(path, CameraFilter::Any)) {
        CMsgBox(this).Show(UiString(kUiOpenFailed), "ERROR", 0);
        return;
    }
    filePath_ = path;
    fileBox_->setText(QString::fromUtf8(path));
    ChooseMode(SourceKind::File);
}

void CSourceOpenDlg::OnOk() {
    if (driveList_->currentIndex() >= 0) driveText_ = driveList_->currentText().toStdString();
    // What is typed into the boxes is what is remembered and opened.
    folderPath_ = folderBox_->text().toStdString();
    filePath_ = fileBox_->text().toStdString();
    if (const auto setting = SettingForChoice(mode_, driveText_, folderPath_, filePath_))
        RememberChoice(*setting);
    accept();
}

void CSourceOpenDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    DrawCaptionStrip(p);
}

}  // namespace trivexa
