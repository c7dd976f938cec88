#include "controls/skin_list.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include "app/core/layout_scale.h"
#include "controls/core/skin_rules.h"
#include "controls/core/skin_table.h"
#include "controls/skin_pictures.h"

namespace trivexa {

namespace {

// State pictures 1..3 are frames 0..2 of the check box strip.
int FrameOf(int state) {
    switch (state) {
        case kListUnchecked:
            return 0;
        case kListHot:
            return 1;
        case kListChecked:
            return 2;
        default:
            return -1;
    }
}

}  // namespace

CSkinListCtrl::CSkinListCtrl(QWidget* parent, int controlId)
    : QTreeWidget(parent), controlId_(controlId), picture_(skin::kCheckBox) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    header()->setStretchLastSection(true);
    SetStatePictures(skin::kCheckBox);
    connect(this, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { Toggle(indexOfTopLevelItem(item)); });
}

void CSkinListCtrl::SetStatePictures(int number, QSize size) {
    picture_ = number;
    pictureSize_ = size.isValid() ? size : QSize(U(12), U(12));
    setIconSize(pictureSize_);
    for (int i = 0; i < topLevelItemCount(); ++i) RefreshIcon(topLevelItem(i));
}

void CSkinListCtrl::RefreshIcon(QTreeWidgetItem* item) {
    const int frame = FrameOf(item->data(0, kStateRole).toInt());
    const QPixmap pixmap = frame >= 0 ? SkinPicture(picture_, pictureSize_, frame) : QPixmap();
    QIcon icon;
    // The same picture whatever the row's selection: the check must not
    // change colour with the highlight.
    for (auto mode : {QIcon::Normal, QIcon::Active, QIcon::Selected, QIcon::Disabled})
        icon.addPixmap(pixmap, mode);
    item->setIcon(0, icon);
}

int CSkinListCtrl::AddItem(const QStringList& texts, int state) {
    auto* item = new QTreeWidgetItem(texts);
    item->setData(0, kStateRole, state);
    addTopLevelItem(item);
    RefreshIcon(item);
    return indexOfTopLevelItem(item);
}

int CSkinListCtrl::ItemState(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->data(0, kStateRole).toInt() : 0;
}

void CSkinListCtrl::SetItemState(int row, int state) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item || item->data(0, kStateRole).toInt() == state) return;
    item->setData(0, kStateRole, state);
    RefreshIcon(item);
}

void CSkinListCtrl::TrackHot(int row) {
    if (row == hot_) return;
    if (hot_ >= 0) SetItemState(hot_, ListStateOnLeave(ItemState(hot_)));
    hot_ = -1;
    if (row >= 0 && ItemState(row) == kListUnchecked) {
        SetItemState(row, ListStateOnEnter(kListUnchecked));
        hot_ = row;
    }
}

void CSkinListCtrl::Toggle(int row) {
    if (row < 0 || row >= topLevelItemCount()) return;
    const int state = ListStateAfterClick(ItemState(row));
    SetItemState(row, state);
    if (row == hot_ && state != kListHot) hot_ = -1;
    emit ItemStateChanged(row, state);
}

void CSkinListCtrl::mouseMoveEvent(QMouseEvent* event) {
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    TrackHot(item ? indexOfTopLevelItem(item) : -1);
    QTreeWidget::mouseMoveEvent(event);
}

bool CSkinListCtrl::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave) TrackHot(-1);
    return QTreeWidget::viewportEvent(event);
}

void CSkinListCtrl::leaveEvent(QEvent* event) {
    TrackHot(-1);
    QTreeWidget::leaveEvent(event);
}

void CSkinListCtrl::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && currentItem()) {
        Toggle(indexOfTopLevelItem(currentItem()));
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

}  // namespace trivexa
