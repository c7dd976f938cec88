#include "browser/file_list_ctrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "app/core/layout_scale.h"
#include "app/core/ui_strings.h"

namespace trivexa {

namespace {

constexpr int kRowUnits = 20;
constexpr int kTextIndentUnits = 6;
// Captions of the list's two columns (its header is never shown).
constexpr int kUiFileNumber = 23;
constexpr int kUiTrigger = 27;

QColor ToColour(Rgb rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

}  // namespace

// --- FileListModel ---------------------------------------------------------------

void FileListModel::Reset() {
    beginResetModel();
    count_ = rows_ ? static_cast<int>(rows_->size()) : 0;
    endResetModel();
}

void FileListModel::ResetEmpty() {
    beginResetModel();
    count_ = 0;
    endResetModel();
}

RecordingEntry* FileListModel::EntryAt(int row) const {
    if (!rows_ || row < 0 || row >= count_ || static_cast<std::size_t>(row) >= rows_->size())
        return nullptr;
    return &(*rows_)[static_cast<std::size_t>(row)];
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count_;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
        return {};
    const RecordingEntry* e = EntryAt(index.row());
    if (!e) return {};
    if (role == Qt::ToolTipRole) return QString::fromUtf8(std::string(FileNameOf(KeyName(*e))));
    return QString::fromUtf8(RowText(*e));
}

QVariant FileListModel::headerData(int section, Qt::Orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (section == 0) return QString::fromUtf8(UiString(kUiFileNumber));
    if (section == 1) return QString::fromUtf8(UiString(kUiTrigger));
    return {};
}

// --- painting --------------------------------------------------------------------

class FileListDelegate : public QStyledItemDelegate {
public:
    explicit FileListDelegate(CFileListCtrl* list) : QStyledItemDelegate(list), list_(list) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(1, list_->RowHeight());
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int row = index.row();
        const RecordingEntry* e = list_->model_->EntryAt(row);
        if (!e) return;
        const RepairMarks marks = RepairMarksFor(*e);
        list_->StoreRepairMarks(row, marks);
        const RowColours c = ColoursForRow(StateForRow(*e, row == list_->SelectedRow(), marks));
        const QRect rect(0, option.rect.y(), list_->viewport()->width(), option.rect.height());
        p->save();
        p->fillRect(rect, ToColour(c.background));
        // One-pixel frame, its rectangle one larger to the right and bottom,
        // so neighbouring rows share their lines.
        p->setPen(ToColour(kListRowFrame));
        p->setBrush(Qt::NoBrush);
        p->drawRect(rect);
        p->setPen(ToColour(c.text));
        p->setFont(list_->font());
        const int indent = U(kTextIndentUnits);
        const QRect textRect = rect.adjusted(indent, 0, -indent, 0);
        const QString text = p->fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(),
                                                         Qt::ElideRight, textRect.width());
        p->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        p->restore();
    }

private:
    CFileListCtrl* list_;
};

// --- CFileListCtrl ---------------------------------------------------------------

CFileListCtrl::CFileListCtrl(QWidget* parent, int controlId)
    : QListView(parent), controlId_(controlId), model_(new FileListModel(this)) {
    setModel(model_);
    setItemDelegate(new FileListDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setLayoutMode(QListView::SinglePass);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, BackColour());
    pal.setColor(QPalette::Window, BackColour());
    setPalette(pal);
    viewport()->setAutoFillBackground(true);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CFileListCtrl::OnSelectionChanged);
    connect(this, &QAbstractItemView::clicked, this, &CFileListCtrl::OnClicked);
}

QColor CFileListCtrl::BackColour() { return ToColour(kListBackground); }

int CFileListCtrl::RowHeight() const { return U(kRowUnits); }

void CFileListCtrl::SetRows(std::vector<RecordingEntry>* rows, std::recursive_mutex* lock) {
    model_->SetRows(rows);
    lock_ = lock;
    Reset();
}

void CFileListCtrl::Reset() {
    selectedRow_ = -1;
    model_->Reset();
    viewport()->update();
}

void CFileListCtrl::ResetEmpty() {
    selectedRow_ = -1;
    model_->ResetEmpty();
    viewport()->update();
}

int CFileListCtrl::Count() const { return model_->rowCount(); }

void CFileListCtrl::SelectAndFocus(int row) {
    if (row < 0 || row >= Count()) return;
    // The old selection goes first, so selecting the same row again is
    // reported as a new selection.
    selectionModel()->clearSelection();
    const QModelIndex index = model_->index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

void CFileListCtrl::EnsureVisible(int row) {
    if (row < 0 || row >= Count()) return;
    scrollTo(model_->index(row), QAbstractItemView::EnsureVisible);
}

void CFileListCtrl::ClearSelectedRow() {
    const QSignalBlocker block(selectionModel());
    selectionModel()->clear();
    selectedRow_ = -1;
    viewport()->update();
}

void CFileListCtrl::OnSelectionChanged() {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty()) return;
    selectedRow_ = rows.first().row();
    viewport()->update();
    emit RowSelected(selectedRow_);
}

void CFileListCtrl::mousePressEvent(QMouseEvent* event) {
    selectedAtPress_ = selectedRow_;
    QListView::mousePressEvent(event);
}

void CFileListCtrl::OnClicked(const QModelIndex& index) {
    // A click that changed the selection has been reported already.
    if (!index.isValid() || index.row() != selectedRow_ || index.row() != selectedAtPress_) return;
    if (!selectionModel()->isRowSelected(index.row(), QModelIndex())) return;
    emit RowSelected(selectedRow_);
}

void CFileListCtrl::StoreRepairMarks(int row, const RepairMarks& marks) const {
    RecordingEntry* e = model_->EntryAt(row);
    if (!e) return;
    const int front = marks.front ? 1 : 0;
    const int rear = marks.rear ? 1 : 0;
    if (e->frontRepairPending == front && e->rearRepairPending == rear) return;
    // Workers copy entries under the list lock; the marks are stored only when
    // it is free, and the next paint tries again otherwise.
    std::unique_lock<std::recursive_mutex> lock;
    if (lock_) {
        lock = std::unique_lock<std::recursive_mutex>(*lock_, std::try_to_lock);
        if (!lock.owns_lock()) return;
    }
    e->frontRepairPending = front;
    e->rearRepairPending = rear;
}

RowColours CFileListCtrl::ColoursOf(int row) const {
    const RecordingEntry* e = model_->EntryAt(row);
    if (!e) return {};
    return ColoursForRow(StateForRow(*e, row == selectedRow_, RepairMarksFor(*e)));
}

QRect CFileListCtrl::RowRect(int row) const {
    if (row < 0 || row >= Count()) return {};
    const QRect r = visualRect(model_->index(row));
    return QRect(0, r.y(), viewport()->width(), r.height());
}

}  // namespace trivexa
