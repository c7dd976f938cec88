#include "browser/folder_tree_ctrl.h"

#include <QHeaderView>
#include <QPainter>
#include <QPixmapCache>
#include <QStyledItemDelegate>

#include "app/core/layout_scale.h"
#include "browser/model/panel_layout.h"
#include "controls/core/skin_table.h"
#include "controls/skin_button.h"
#include "controls/skin_pictures.h"

namespace trivexa {
namespace {

constexpr int kRawTextRole = Qt::UserRole + 1;  // the node text's own bytes
constexpr int kFlagsRole = Qt::UserRole + 2;    // TriggerFlags

// Design size of the composed category badge.
constexpr int kBadgeDesignWidth = 39;
constexpr int kBadgeDesignHeight = 26;

int PictureForFlag(TriggerFlags bit) {
    switch (bit) {
        case kFlagManual:
            return skin::kCategoryManual;
        case kFlagShock:
            return skin::kCategoryShock;
        case kFlagParkingShock:
            return skin::kCategoryParkingShock;
        case kFlagParking:
            return skin::kCategoryParking;
        case kFlagSpeedCamera:
            return skin::kCategorySpeedCamera;
        case kFlagApproachAlert:
            return skin::kCategoryApproaching;
        default:
            return 0;
    }
}

// Rows are as high as the tree says, whatever their text.
class RowHeightDelegate : public QStyledItemDelegate {
public:
    explicit RowHeightDelegate(CFolderTreeCtrl* tree) : QStyledItemDelegate(tree), tree_(tree) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), tree_->RowHeight());
    }

private:
    CFolderTreeCtrl* tree_;
};

int DepthOf(const QTreeWidgetItem* item) {
    int depth = 0;
    for (const QTreeWidgetItem* p = item->parent(); p != nullptr; p = p->parent()) ++depth;
    return depth;
}

}  // namespace

CFolderTreeCtrl::CFolderTreeCtrl(QWidget* parent, int controlId)
    : QTreeWidget(parent), controlId_(controlId) {
    setHeaderHidden(true);
    setColumnCount(1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setUniformRowHeights(true);
    setRootIsDecorated(true);
    setItemDelegate(new RowHeightDelegate(this));
    setFrameShape(QFrame::NoFrame);
    setIndentation(RowHeight());
    QPalette pal = palette();
    pal.setColor(QPalette::Base, BackColour());
    pal.setColor(QPalette::Window, BackColour());
    setPalette(pal);
    viewport()->setAutoFillBackground(true);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnCurrentChanged(current); });
}

CFolderTreeCtrl::~CFolderTreeCtrl() {
    // Deleting the items raises selection changes nobody should hear.
    quiet_ = true;
    onSelectionChanged = nullptr;
}

QColor CFolderTreeCtrl::BackColour() { return QColor(0x23, 0x18, 0x15); }
QColor CFolderTreeCtrl::SelectedColour() { return QColor(0x00, 0xCC, 0xFF); }

int CFolderTreeCtrl::RowHeight() const { return TreeRowHeight(LayoutScale()); }

QTreeWidgetItem* CFolderTreeCtrl::Item(TreeNode node) const {
    auto* item = reinterpret_cast<QTreeWidgetItem*>(node);
    return live_.count(item) ? item : nullptr;
}

TreeNode CFolderTreeCtrl::Node(const QTreeWidgetItem* item) {
    return reinterpret_cast<TreeNode>(item);
}

TreeNode CFolderTreeCtrl::InsertChild(TreeNode parent, const std::string& text) {
    QTreeWidgetItem* parentItem = nullptr;
    if (parent != kTreeRoot) {
        parentItem = Item(parent);
        if (!parentItem) return kTreeRoot;
    }
    auto* item = new QTreeWidgetItem();
    const QByteArray raw(text.data(), static_cast<qsizetype>(text.size()));
    item->setData(0, kRawTextRole, raw);
    item->setText(0, QString::fromUtf8(raw));
    item->setData(0, kFlagsRole, 0u);
    if (parentItem) {
        parentItem->addChild(item);
        if (expandWish_.count(parentItem) && !parentItem->isExpanded())
            parentItem->setExpanded(true);
    } else {
        addTopLevelItem(item);
    }
    live_.insert(item);
    return Node(item);
}

void CFolderTreeCtrl::SetItemData(TreeNode node, std::uint32_t data) {
    if (QTreeWidgetItem* item = Item(node)) item->setData(0, kFlagsRole, data);
}

std::uint32_t CFolderTreeCtrl::ItemData(TreeNode node) const {
    const QTreeWidgetItem* item = Item(node);
    return item ? item->data(0, kFlagsRole).toUInt() : 0;
}

void CFolderTreeCtrl::Expand(TreeNode node) {
    QTreeWidgetItem* item = Item(node);
    if (!item) return;
    // The view keeps a persistent index for every expanded item, which every
    // later insertion and removal updates; a leaf (every group node) shows
    // nothing when expanded, so it is expanded only once it has children.
    expandWish_.insert(item);
    if (item->childCount() > 0 && !item->isExpanded()) item->setExpanded(true);
}

bool CFolderTreeCtrl::IsExpanded(TreeNode node) const {
    const QTreeWidgetItem* item = Item(node);
    return item && (item->isExpanded() || expandWish_.count(item) > 0);
}

std::string CFolderTreeCtrl::Text(TreeNode node) const {
    const QTreeWidgetItem* item = Item(node);
    return item ? item->data(0, kRawTextRole).toByteArray().toStdString() : std::string();
}

TreeNode CFolderTreeCtrl::Parent(TreeNode node) const {
    const QTreeWidgetItem* item = Item(node);
    return item && item->parent() ? Node(item->parent()) : kTreeRoot;
}

std::vector<TreeNode> CFolderTreeCtrl::Children(TreeNode node) const {
    std::vector<TreeNode> out;
    if (node == kTreeRoot) {
        for (int i = 0; i < topLevelItemCount(); ++i) out.push_back(Node(topLevelItem(i)));
    } else if (const QTreeWidgetItem* item = Item(node)) {
        for (int i = 0; i < item->childCount(); ++i) out.push_back(Node(item->child(i)));
    }
    return out;
}

std::size_t CFolderTreeCtrl::NodeCount() const { return live_.size(); }

void CFolderTreeCtrl::Forget(QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i) Forget(item->child(i));
    live_.erase(item);
    expandWish_.erase(item);
}

void CFolderTreeCtrl::DeleteChildren(TreeNode node) {
    QTreeWidgetItem* parentItem = nullptr;
    if (node != kTreeRoot) {
        parentItem = Item(node);
        if (!parentItem) return;
    }
    // Deleting the selected node would make the view pick a neighbour and
    // report it; the deletion is not a choice of the user, so nothing is
    // reported and a deleted selection becomes no selection.
    const bool wasQuiet = quiet_;
    quiet_ = true;
    const QTreeWidgetItem* selected = currentItem();
    QTreeWidgetItem* from = parentItem ? parentItem : invisibleRootItem();
    bool selectionDeleted = false;
    for (const QTreeWidgetItem* p = selected; p != nullptr; p = p->parent())
        if (p->parent() == parentItem) selectionDeleted = true;
    // All children leave the model in one removal; one by one would make
    // every removal walk the view's remaining rows.
    const QList<QTreeWidgetItem*> children = from->takeChildren();
    for (QTreeWidgetItem* child : children) {
        Forget(child);
        delete child;
    }
    if (selectionDeleted) {
        setCurrentItem(nullptr);
        clearSelection();
    }
    quiet_ = wasQuiet;
}

void CFolderTreeCtrl::SelectTopNodes() {
    const auto top = Children(kTreeRoot);
    for (std::size_t i = 1; i < top.size(); ++i) SelectNode(top[i]);
    if (!top.empty()) SelectNode(top.front());
}

void CFolderTreeCtrl::SelectNode(TreeNode node) {
    QTreeWidgetItem* item = node == kTreeRoot ? nullptr : Item(node);
    if (node != kTreeRoot && !item) return;
    setCurrentItem(item);
}

TreeNode CFolderTreeCtrl::SelectedNode() const {
    const QTreeWidgetItem* item = currentItem();
    return item && live_.count(item) ? Node(item) : kTreeRoot;
}

TreeNode CFolderTreeCtrl::NextSibling(TreeNode node) const {
    QTreeWidgetItem* item = Item(node);
    if (!item) return kTreeRoot;
    const QTreeWidgetItem* parent = item->parent();
    const int index = parent ? parent->indexOfChild(item) : indexOfTopLevelItem(item);
    const int count = parent ? parent->childCount() : topLevelItemCount();
    if (index < 0 || index + 1 >= count) return kTreeRoot;
    return Node(parent ? parent->child(index + 1) : topLevelItem(index + 1));
}

TreeNode CFolderTreeCtrl::NextNode(TreeNode node) const {
    const QTreeWidgetItem* item = Item(node);
    if (!item) return kTreeRoot;
    if (item->childCount() > 0) return Node(item->child(0));
    for (TreeNode n = node; n != kTreeRoot; n = Parent(n)) {
        const TreeNode sibling = NextSibling(n);
        if (sibling != kTreeRoot) return sibling;
    }
    return kTreeRoot;
}

void CFolderTreeCtrl::OnCurrentChanged(QTreeWidgetItem* current) {
    if (quiet_ || !onSelectionChanged) return;
    onSelectionChanged(current && live_.count(current) ? Node(current) : kTreeRoot);
}

QRect CFolderTreeCtrl::NodeRect(TreeNode node) const {
    const QTreeWidgetItem* item = Item(node);
    if (!item) return {};
    const QRect r = visualItemRect(item);
    return QRect(0, r.y(), viewport()->width(), r.height());
}

QPixmap CFolderTreeCtrl::Badge(std::uint32_t flags, QSize shown) const {
    const float s = LayoutScale();
    const qreal dpr = devicePixelRatioF();
    const QString key = QStringLiteral("trivexa-badge-%1-%2x%3-%4")
                            .arg(flags)
                            .arg(shown.width())
                            .arg(shown.height())
                            .arg(dpr);
    QPixmap badge;
    if (QPixmapCache::find(key, &badge)) return badge;
    // The work picture: the base, then one layer for every set category, at
    // the badge's design size; then reduced once to the size it is shown at.
    const QSize size(Units(kBadgeDesignWidth, s), Units(kBadgeDesignHeight, s));
    QPixmap work(size * dpr);
    work.setDevicePixelRatio(dpr);
    work.fill(Qt::transparent);
    {
        QPainter p(&work);
        const QRect all(QPoint(0, 0), size);
        const QPixmap base = SkinPicture(skin::kCategoryBase, size);
        if (!base.isNull()) p.drawPixmap(all, base);
        for (TriggerFlags bit : BadgeLayers(flags)) {
            const QPixmap layer = SkinPicture(PictureForFlag(bit), size);
            if (!layer.isNull()) p.drawPixmap(all, layer);
        }
    }
    badge = work.scaled(shown * dpr, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    badge.setDevicePixelRatio(dpr);
    QPixmapCache::insert(key, badge);
    return badge;
}

void CFolderTreeCtrl::drawRow(QPainter* p, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const QTreeWidgetItem* item = itemFromIndex(index);
    if (!item) return;
    const float s = LayoutScale();
    const int rowHeight = option.rect.height();
    const QRect row(0, option.rect.y(), viewport()->width(), rowHeight);
    const bool selected = selectionModel()->isSelected(index) || item == currentItem();
    p->save();
    p->fillRect(row, selected ? SelectedColour() : BackColour());
    if (selected) DrawFocusRing(*p, row, Qt::black);

    const int depth = DepthOf(item);
    const int textX = TreeTextX(rowHeight, depth, s);
    const std::uint32_t flags = item->data(0, kFlagsRole).toUInt();
    const QColor text = selected ? Qt::black : Qt::white;
    if (TreeNodeHasBadge(depth, flags)) {
        const PanelRect b = TreeBadgeRect(textX, row.y(), rowHeight, s);
        const QPixmap badge = Badge(flags, QSize(b.width, b.height));
        p->drawPixmap(QPoint(b.x, b.y), badge);
    } else if (item->childCount() > 0) {
        // The expander sits in the indentation, where a click toggles it.
        const int side = Units(8, s);
        const QRect box(textX - Units(14, s), row.y() + (rowHeight - side) / 2, side, side);
        QPolygonF arrow;
        if (item->isExpanded())
            arrow << box.topLeft() << box.topRight()
                  << QPointF(box.center().x() + 0.5, box.bottom());
        else
            arrow << box.topLeft() << box.bottomLeft()
                  << QPointF(box.right(), box.center().y() + 0.5);
        p->setRenderHint(QPainter::Antialiasing);
        p->setPen(Qt::NoPen);
        p->setBrush(text);
        p->drawPolygon(arrow);
    }
    p->setFont(font());
    p->setPen(text);
    const QRect textRect(textX, row.y(), qMax(row.right() - textX, 0), rowHeight);
    const QString shown =
        p->fontMetrics().elidedText(item->text(0), Qt::ElideRight, textRect.width());
    p->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    p->restore();
}

}  // namespace trivexa
