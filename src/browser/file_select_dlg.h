#pragma once
// CFileSelectDlg: the file selection dialog, a check list of recordings from
// which the user picks those to delete (mode 0) or to join (mode 2). It shows
// each recording's file name and the sizes of its front and rear files, totals
// the checked sizes, and in join mode keeps the checked rows one unbroken run
// of undamaged recordings and refuses selections over 1024 MB or 100 files per
// camera. The rules are FileSelectModel's (browser/model/file_select_model.h);
// the dialog shows them and forwards the user's clicks.
//
// Callers: the main window's delete and join commands, modal, on the UI
// thread:
//
//   CFileSelectDlg dlg(this);
//   dlg.SetMode(FileSelectMode::kDelete);
//   dlg.SetFullList(browser.CollectAll());   // delete only
//   dlg.SetDisplayedList(browser.Displayed());
//   if (dlg.exec() == QDialog::Accepted) taskList = dlg.Result();
//
// Each Set...List shows UI string 103 when it had to cut the list to 1500.

#include <vector>

#include "browser/model/file_select_model.h"
#include "controls/skin_dialog.h"

class QLabel;

namespace trivexa {

class CSkinButton;
class CSkinCheckButton;
class CSkinListCtrl;

class CFileSelectDlg : public CSkinDialog {
    Q_OBJECT
public:
    static constexpr int kListId = 1003;
    static constexpr int kShowAllId = 1004;
    static constexpr int kSelectAllId = 1005;
    static constexpr int kSizeTextId = 1006;
    static constexpr int kRearSizeTextId = 1010;
    static constexpr int kOkId = 1;
    static constexpr int kCloseId = 21;

    explicit CFileSelectDlg(QWidget* parent = nullptr);

    void SetMode(FileSelectMode mode);
    FileSelectMode Mode() const { return model_.Mode(); }
    // Copy the lists in (at most 1500 entries each; UI string 103 otherwise).
    // Returns false when the list was cut.
    bool SetDisplayedList(const std::vector<RecordingEntry>& displayed);
    bool SetFullList(const std::vector<RecordingEntry>& full);

    // Builds the window for the mode and fills the list; exec() and the first
    // show do it when it has not run yet.
    void Initialise();
    int exec() override;

    // The checked entries in row order, after OK.
    const std::vector<RecordingEntry>& Result() const { return result_; }

    CSkinListCtrl* List() const { return list_; }
    CSkinCheckButton* ShowAllButton() const { return showAll_; }
    CSkinCheckButton* SelectAllButton() const { return selectAll_; }
    CSkinButton* OkButton() const { return ok_; }
    QLabel* SizeText() const { return sizeText_; }
    QLabel* RearSizeText() const { return rearSizeText_; }
    FileSelectModel& Model() { return model_; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FillRows();
    void ShowChecks();
    void UpdateSizes();
    void OnToggle(int id);
    void OnRowChanged(int row, int state);
    void OnOk();
    void PlaceChildren();

    FileSelectModel model_;
    std::vector<RecordingEntry> result_;
    CSkinListCtrl* list_ = nullptr;
    CSkinCheckButton* showAll_ = nullptr;
    CSkinCheckButton* selectAll_ = nullptr;
    CSkinButton* ok_ = nullptr;
    QLabel* sizeText_ = nullptr;
    QLabel* rearSizeText_ = nullptr;
    bool initialised_ = false;
};

}  // namespace trivexa
