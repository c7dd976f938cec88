#pragma once
// CSkinListCtrl: a list of rows with picture check boxes that light up under
// the mouse. Every row carries a state picture: 1 unchecked, 2 unchecked and
// under the mouse (hot), 3 checked. A click checks an unchecked row and
// unchecks a checked one; Space does the same for the current row.
//
// Callers: dialogs on the UI thread. The owner sets the columns (QTreeWidget's
// own setHeaderLabels / setColumnWidth), adds the rows, reads their states,
// and listens to ItemStateChanged. The state pictures are the check box strip
// (picture 217) at 12·s unless the owner gives others; SetStatePictures again
// after a change of the layout scale.

#include <QSize>
#include <QTreeWidget>

namespace trivexa {

class CSkinListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit CSkinListCtrl(QWidget* parent = nullptr, int controlId = 0);

    int ControlId() const { return controlId_; }

    // Appends a row with one text per column; returns its index.
    int AddItem(const QStringList& texts, int state = 1);
    int ItemCount() const { return topLevelItemCount(); }
    // The row's state picture (1, 2 or 3; 0 for a row that does not exist).
    int ItemState(int row) const;
    void SetItemState(int row, int state);
    bool IsChecked(int row) const { return ItemState(row) == 3; }
    // The row under the mouse, −1 when none.
    int HotItem() const { return hot_; }

    void SetStatePictures(int number, QSize size = QSize());

    static constexpr int kStateRole = Qt::UserRole + 1;

Q_SIGNALS:
    // The user changed a row's check (click or Space).
    void ItemStateChanged(int row, int state);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void TrackHot(int row);
    void Toggle(int row);
    void RefreshIcon(QTreeWidgetItem* item);

    int controlId_;
    int hot_ = -1;
    int picture_;
    QSize pictureSize_;
};

}  // namespace trivexa
