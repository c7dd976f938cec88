#pragma once
// CFileListCtrl: the browser panel's recording list. It is virtual: it owns
// no rows but shows the panel's displayed list, asking for a row's text only
// when the row is painted, so thousands of rows cost nothing until seen.
// Every row is painted as one text with the colours of the list rules
// (selected, shock, damaged, repair pending) inside a thin grey frame.
//
// The list reports every change of its selected row (a click, the keyboard
// or SelectAndFocus) through RowSelected, as the platform's list reports an
// item that became selected, and a click on the row already selected too:
// the row may be highlighted while nothing is open (the source dialog was
// cancelled), and the click must open it (the panel ignores a click on the
// recording that is open).
//
// Callers: the browser panel on the UI thread. The displayed list given to
// SetRows must outlive the control; after the panel replaced its contents it
// calls Reset.

#include <QAbstractListModel>
#include <QListView>
#include <mutex>
#include <vector>

#include "browser/model/list_rules.h"
#include "recordings/recording_library.h"

namespace trivexa {

// The rows of the list as the view sees them: the displayed list's length
// as of the last reset and each row's text on demand.
class FileListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit FileListModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}

    void SetRows(std::vector<RecordingEntry>* rows) { rows_ = rows; }
    std::vector<RecordingEntry>* Rows() const { return rows_; }
    // Takes the displayed list's length again (the virtual item count), or
    // shows no rows at all.
    void Reset();
    void ResetEmpty();
    // The entry of `row`, nullptr when the row does not exist (any more).
    RecordingEntry* EntryAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<RecordingEntry>* rows_ = nullptr;
    int count_ = 0;
};

class CFileListCtrl : public QListView {
    Q_OBJECT
public:
    explicit CFileListCtrl(QWidget* parent = nullptr, int controlId = 1001);

    int ControlId() const { return controlId_; }

    // The panel's displayed list; `lock` (may be null) is the lock it is
    // changed under, taken only briefly while a row's repair marks are stored.
    void SetRows(std::vector<RecordingEntry>* rows, std::recursive_mutex* lock);
    // The displayed list changed: take its length, keep nothing selected.
    void Reset();
    // The displayed list is about to be rebuilt: show no rows until Reset.
    void ResetEmpty();
    int Count() const;

    // The selected row (−1 none), kept across paints.
    int SelectedRow() const { return selectedRow_; }
    // Clears the old selection, then selects and focuses `row`; reports the
    // row through RowSelected. Nothing for a row that does not exist.
    void SelectAndFocus(int row);
    void EnsureVisible(int row);
    // Drops the selection without a report.
    void ClearSelectedRow();

    int RowHeight() const;
    // The colours `row` is painted with now.
    RowColours ColoursOf(int row) const;
    QRect RowRect(int row) const;

    static QColor BackColour();

signals:
    // A row became the selected row.
    void RowSelected(int row);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    friend class FileListDelegate;
    void OnSelectionChanged();
    void OnClicked(const QModelIndex& index);
    // Stores the repair marks a paint looked up into the row's entry.
    void StoreRepairMarks(int row, const RepairMarks& marks) const;

    int controlId_;
    FileListModel* model_;
    std::recursive_mutex* lock_ = nullptr;
    int selectedRow_ = -1;
    int selectedAtPress_ = -1;  // the selected row when the button went down
};

}  // namespace trivexa
