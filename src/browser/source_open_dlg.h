#pragma once
// CSourceOpenDlg: the source selection dialog. The user chooses what the
// browser lists: a removable drive (the recorder's card), a folder, or one
// recording file. Three mode buttons act as a radio group, each beside its
// input (the drive list, the folder box, the file box); the folder and file
// boxes have a "..." button that opens a chooser. OK remembers the choice in
// section SOURCE of the settings file and closes; the caller then opens the
// source (see CheckChosenSource in browser/model/source_choice.h).
//
// Callers: the main window's source command, modal, on the UI thread:
//
//   CSourceOpenDlg dlg(this);
//   if (dlg.exec() == QDialog::Accepted) { path = dlg.ChosenPath(); kind = dlg.Mode(); ... }

#include <QPointer>
#include <array>
#include <string>

#include "browser/model/browser_model.h"
#include "controls/skin_dialog.h"

class QComboBox;
class QLineEdit;

namespace trivexa {

class CSkinButton;
class CSkinCheckButton;

class CSourceOpenDlg : public CSkinDialog {
    Q_OBJECT
public:
    static constexpr int kCardButtonId = 39000;
    static constexpr int kFolderButtonId = 39001;
    static constexpr int kFileButtonId = 39002;
    static constexpr int kFolderBrowseId = 39003;
    static constexpr int kFileBrowseId = 39004;
    static constexpr int kDriveListId = 39100;
    static constexpr int kFolderBoxId = 39200;
    static constexpr int kFileBoxId = 39201;
    static constexpr int kOkId = 1;
    static constexpr int kCloseId = 21;

    explicit CSourceOpenDlg(QWidget* parent = nullptr);

    // The chosen mode and the path of that mode (drive, folder or file).
    SourceKind Mode() const { return mode_; }
    std::string ChosenPath() const;
    std::string DriveText() const { return driveText_; }
    std::string FolderPath() const { return folderPath_; }
    std::string FilePath() const { return filePath_; }

    // Choose mode: records the mode, enables OK when the mode has something
    // to open and shows the mode's button checked, the others unchecked.
    void ChooseMode(SourceKind mode);

    CSkinCheckButton* ModeButton(SourceKind mode) const;
    QComboBox* DriveList() const { return driveList_; }
    QLineEdit* FolderBox() const { return folderBox_; }
    QLineEdit* FileBox() const { return fileBox_; }
    CSkinButton* FolderBrowseButton() const { return folderBrowse_; }
    CSkinButton* FileBrowseButton() const { return fileBrowse_; }
    CSkinButton* OkButton() const { return ok_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnOk();
    void OnFolderBrowse();
    void OnFileBrowse();
    void OnDriveChanged(int index);

    std::array<CSkinCheckButton*, 3> modeButtons_{};
    QComboBox* driveList_ = nullptr;
    QLineEdit* folderBox_ = nullptr;
    QLineEdit* fileBox_ = nullptr;
    CSkinButton* folderBrowse_ = nullptr;
    CSkinButton* fileBrowse_ = nullptr;
    CSkinButton* ok_ = nullptr;
    SourceKind mode_ = SourceKind::None;
    std::string driveText_;
    std::string folderPath_;
    std::string filePath_;
};

}  // namespace trivexa
