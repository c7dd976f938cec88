#pragma once
// CFilerContainerDlg: the recording browser panel, the left-hand pane of the
// main window. It shows the folder tree of the opened source, one row per
// recording of the selected folder or group, the number of rows and six
// toggle buttons that filter the rows by trigger kind. Selecting a row makes
// it the owner's current recording; the owner then opens it.
//
// The panel presents BrowserModel (browser/model/) and forwards to it: the
// scans, the filters, the device information and the source watcher live
// there. The panel adds the controls, the selection handling under the
// owner's listMutex, the painting and the layout.
//
// Callers: the owner (the main window), on the UI thread, for every
// operation below (CollectAll included: it reads the tree). The owner
// implements BrowserOwner; Create must run before anything else. A worker
// may copy entries of Displayed() while it holds the owner's listMutex,
// under which the panel replaces its lists; nothing else of the panel is for
// other threads.

#include <QPixmap>
#include <QWidget>
#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "browser/browser_owner.h"
#include "browser/model/browser_model.h"

class QLineEdit;

namespace trivexa {

class CFileListCtrl;
class CFolderTreeCtrl;
class CSkinButton;

class CFilerContainerDlg : public QWidget {
    Q_OBJECT
public:
    // Command ids of the six filter buttons: 38700 + BrowserFilter index.
    static constexpr int kFilterCommandBase = 38700;
    static constexpr int kPathBoxId = 38500;
    static constexpr int kTreeId = 38300;
    static constexpr int kListId = 1001;

    explicit CFilerContainerDlg(QWidget* parent = nullptr);
    ~CFilerContainerDlg() override;

    // Creates the tree, the list, the path box and the six buttons, and
    // switches every filter on. `owner` must outlive the panel.
    bool Create(BrowserOwner* owner);

    // --- the source ---------------------------------------------------------
    // Opens a card (its root folder), a folder or one recording file in place
    // of what was open. The tree's top nodes are selected in turn (the owner
    // loads each), a file source selects its only row. False when nothing
    // could be listed.
    bool OpenSource(const std::string& path, SourceKind kind);
    // Reopens the last source at start-up (the last removable volume, else
    // the remembered folder, else the remembered file) and selects the
    // default folder. False when nothing was opened.
    bool RestoreSource();
    // Selects the first top folder, or its first recording group.
    bool SelectDefaultFolder();
    // Lists the recordings under `node`; returns the number of rows shown
    // (0 when the node has no path). `noRedraw` leaves the count unpainted.
    int LoadFolder(TreeNode node, bool noRedraw = false);
    // The number of rows LoadFolder(node) would list, without listing them.
    int CountFolder(TreeNode node) const { return model_->CountFolder(node); }
    // Forgets the source: tree, path, lists. The owner ignores the tree's
    // selection changes while Clearing() is true.
    void ClearSource();
    bool Clearing() const { return clearing_; }
    // Every recording of the source, independent of filters and folder; the
    // CSV summary asks `withDataHeaders` (BrowserModel::CollectAll).
    std::vector<RecordingEntry> CollectAll(bool withDataHeaders = false);
    SourceKind Kind() const { return model_->Kind(); }
    const std::string& SourcePath() const { return model_->SourcePath(); }

    // --- the device information of a card -----------------------------------
    bool ReadDeviceInfo(const std::string& root);
    const DeviceInfo& Device() const { return model_->Device(); }

    // --- filters and rows -----------------------------------------------------
    // Switches filter `index` (BrowserFilter) and, when rows remain, selects
    // row 0 again (reported to the owner even when it was current).
    void SetFilter(int index, bool on);
    bool Filter(int index) const { return model_->Filter(index); }
    // Stores `request` (read back with RowRequest), selects `index` when it is
    // a row and scrolls it into view.
    void SelectRow(int index, int request);
    int RowRequest() const { return rowRequest_; }
    int SelectedRow() const;
    // The rows as listed (the displayed list) and the folder's recordings
    // before filtering (the master list).
    std::vector<RecordingEntry>& Displayed() { return model_->Displayed(); }
    const std::vector<RecordingEntry>& Displayed() const { return model_->Displayed(); }
    const std::vector<RecordingEntry>& Master() const { return model_->Master(); }
    // Drops deleted recordings from both lists and repaints.
    void RemoveEntries(const std::vector<RecordingEntry>& removed);
    // Repaints the list after the owner changed displayed entries in place.
    void RepaintList();
    // Rebuilds the displayed list from the master list (after the owner
    // changed the master list through Model()) and shows it.
    void Refilter();
    // The count text as painted ("%d個").
    QString CountText() const;
    void RedrawCount();

    // --- flags the owner keeps on the panel -----------------------------------
    // Continue in sequence: the next recording opened starts playing.
    bool ContinueInSequence() const { return continueInSequence_; }
    void SetContinueInSequence(bool on) { continueInSequence_ = on; }
    bool TakeContinueRequest() { return std::exchange(continueInSequence_, false); }
    // A task of the panel's lists runs (the owner starts no other).
    bool TaskRunning() const { return taskRunning_; }
    void SetTaskRunning(bool on) { taskRunning_ = on; }

    // --- presentation -----------------------------------------------------------
    // Zoom mode: the controls hide and the zoom notice is painted.
    void SetZoomMode(bool on);
    bool ZoomMode() const { return zoomMode_; }
    // The picture painted in zoom mode (default: the skin's zoom backdrop).
    void SetZoomPicture(const QPixmap& picture);
    // Shows or hides tree, list and buttons; the path box stays hidden.
    void ShowControls(bool show);
    // Moves the panel onto `rect` (in the owner's coordinates; an empty rect
    // keeps the geometry) and lays out its children for its size. After a
    // change of the layout scale it also takes the new shared font and
    // measures its rows again.
    void Layout(const QRect& rect);

    CFolderTreeCtrl& Tree() { return *tree_; }
    CFileListCtrl& List() { return *list_; }
    CSkinButton* FilterButton(int index) const;
    QLineEdit* PathBox() const { return pathBox_; }
    BrowserModel& Model() { return *model_; }

    static QColor BackColour();   // 0x313131
    static QColor FrameColour();  // 0xAAAAAA

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnRowSelected(int row);
    void OnNodeSelected(TreeNode node);
    void RefreshRows();
    void ShowPath();
    void PlaceChildren();

    BrowserOwner* owner_ = nullptr;
    // Where the watcher's loss notice goes; read on the watcher's thread.
    std::atomic<QObject*> lostTarget_{nullptr};
    CFolderTreeCtrl* tree_ = nullptr;
    CFileListCtrl* list_ = nullptr;
    QLineEdit* pathBox_ = nullptr;
    std::array<CSkinButton*, kFilterCount> buttons_{};
    // Declared after the tree and the target: it is destroyed (and its watcher
    // joined) before them.
    std::unique_ptr<BrowserModel> model_;
    QPixmap zoomPicture_;
    bool created_ = false;
    bool zoomMode_ = false;
    bool filterChanged_ = false;
    bool clearing_ = false;
    bool continueInSequence_ = false;
    bool taskRunning_ = false;
    int rowRequest_ = 0;
    float laidOutScale_ = 0;  // the layout scale the children were last placed for
};

}  // namespace trivexa
