#include "browser/filer_container_dlg.h"

#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>

#include "app/core/layout_scale.h"
#include "app/core/ui_strings.h"
#include "app/messages/posted_message.h"
#include "browser/file_list_ctrl.h"
#include "browser/folder_tree_ctrl.h"
#include "browser/model/panel_layout.h"
#include "controls/core/skin_table.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"
#include "controls/skin_pictures.h"

namespace trivexa {
namespace {

// Labels of the six filter buttons, by BrowserFilter index.
constexpr std::array<int, kFilterCount> kFilterLabels = {152, 156, 155, 157, 158, 182};
constexpr int kUiZoomNotice = 180;

QRect ToRect(const PanelRect& r) { return QRect(r.x, r.y, r.width, r.height); }

}  // namespace

CFilerContainerDlg::CFilerContainerDlg(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The tree exists from the start: the model (and its watcher) works on it.
    tree_ = new CFolderTreeCtrl(this, kTreeId);
    tree_->hide();
    model_ = std::make_unique<BrowserModel>(*tree_, [this] {
        // On the watcher's thread: only the posted message leaves it.
        if (QObject* target = lostTarget_.load()) PostMessageTo(target, UM_SOURCE_LOST);
    });
}

CFilerContainerDlg::~CFilerContainerDlg() {
    // The model's watcher stops (and is joined) before the controls go.
    lostTarget_.store(nullptr);
    model_.reset();
}

QColor CFilerContainerDlg::BackColour() { return QColor(0x31, 0x31, 0x31); }
QColor CFilerContainerDlg::FrameColour() { return QColor(0xAA, 0xAA, 0xAA); }

bool CFilerContainerDlg::Create(BrowserOwner* owner) {
    owner_ = owner;
    lostTarget_.store(owner ? owner->MessageTarget() : nullptr);
    std::recursive_mutex* lock = owner ? &owner->ListMutex() : nullptr;
    model_->SetListLock(lock);
    model_->onNodeSelected = [this](TreeNode node) { tree_->SelectNode(node); };
    tree_->onSelectionChanged = [this](TreeNode node) { OnNodeSelected(node); };

    list_ = new CFileListCtrl(this, kListId);
    list_->SetRows(&model_->Displayed(), lock);
    connect(list_, &CFileListCtrl::RowSelected, this, &CFilerContainerDlg::OnRowSelected);

    // The path box is kept up to date but never shown: the filter buttons sit
    // in its row.
    pathBox_ = new QLineEdit(this);
    pathBox_->setObjectName(QStringLiteral("pathBox"));
    pathBox_->setReadOnly(true);
    pathBox_->hide();

    for (int i = 0; i < kFilterCount; ++i) {
        auto* b = new CSkinButton(this, kFilterCommandBase + i);
        b->setAccessibleName(
            QString::fromUtf8(UiString(kFilterLabels[static_cast<std::size_t>(i)])));
        b->setToolTip(b->accessibleName());
        connect(b, &CSkinButton::Command, this, [this](int id) {
            if (owner_) {
                owner_->OnCommand(id);
            } else {
                const int index = id - kFilterCommandBase;
                SetFilter(index, !Filter(index));
            }
        });
        buttons_[static_cast<std::size_t>(i)] = b;
    }
    created_ = true;
    for (int i = 0; i < kFilterCount; ++i) SetFilter(i, true);
    Layout(QRect());
    return true;
}

CSkinButton* CFilerContainerDlg::FilterButton(int index) const {
    return index >= 0 && index < kFilterCount ? buttons_[static_cast<std::size_t>(index)] : nullptr;
}

// --- the source -------------------------------------------------------------------

bool CFilerContainerDlg::OpenSource(const std::string& path, SourceKind kind) {
    // The rows go first: the lists are rebuilt below, and the tree's top
    // nodes are loaded through the owner as they are selected.
    if (list_) list_->ResetEmpty();
    // The tree is rebuilt several times over while the top nodes are loaded:
    // it is neither painted nor scrolled until the end.
    tree_->setUpdatesEnabled(false);
    tree_->setAutoScroll(false);
    const bool ok = model_->OpenSource(path, kind);
    tree_->setAutoScroll(true);
    tree_->setUpdatesEnabled(true);
    if (kind == SourceKind::File) {
        RefreshRows();
        if (!model_->Displayed().empty() && list_) list_->SelectAndFocus(0);
    }
    ShowPath();
    RedrawCount();
    return ok;
}

bool CFilerContainerDlg::RestoreSource() {
    const bool opened = model_->RestoreSource(
        [this](const std::string& path, SourceKind kind) { return OpenSource(path, kind); });
    if (!opened) return false;
    ShowPath();
    RepaintList();
    if (!zoomMode_) RedrawCount();
    return true;
}

bool CFilerContainerDlg::SelectDefaultFolder() {
    model_->SelectDefaultFolder();
    ShowPath();
    return true;
}

int CFilerContainerDlg::LoadFolder(TreeNode node, bool noRedraw) {
    if (tree_->ItemPath(node).empty()) return 0;
    const int count = model_->LoadFolder(node);
    RefreshRows();
    ShowPath();
    if (!noRedraw && !zoomMode_) RedrawCount();
    return count;
}

void CFilerContainerDlg::ClearSource() {
    clearing_ = true;
    if (list_) list_->ResetEmpty();
    model_->ClearSource();
    RefreshRows();
    if (pathBox_) pathBox_->clear();
    tree_->setToolTip(QString());
    clearing_ = false;
    RedrawCount();
}

std::vector<RecordingEntry> CFilerContainerDlg::CollectAll(bool withDataHeaders) {
    return model_->CollectAll(withDataHeaders);
}

bool CFilerContainerDlg::ReadDeviceInfo(const std::string& root) {
    return model_->ReadDeviceInfo(root);
}

// --- filters and rows -----------------------------------------------------------

void CFilerContainerDlg::SetFilter(int index, bool on) {
    if (index < 0 || index >= kFilterCount) return;
    if (CSkinButton* b = buttons_[static_cast<std::size_t>(index)]) b->SetLatched(on);
    filterChanged_ = true;
    model_->SetFilter(index, on);
    RefreshRows();
    if (!model_->Displayed().empty() && list_) list_->SelectAndFocus(0);
    RedrawCount();
}

void CFilerContainerDlg::SelectRow(int index, int request) {
    rowRequest_ = request;
    if (!list_) return;
    if (index >= 0 && index < list_->Count()) list_->SelectAndFocus(index);
    if (index >= 0) list_->EnsureVisible(index);
}

int CFilerContainerDlg::SelectedRow() const { return list_ ? list_->SelectedRow() : -1; }

void CFilerContainerDlg::RemoveEntries(const std::vector<RecordingEntry>& removed) {
    model_->RemoveEntries(removed);
    RefreshRows();
    RedrawCount();
}

void CFilerContainerDlg::Refilter() {
    model_->Refilter();
    RefreshRows();
    RedrawCount();
}

void CFilerContainerDlg::RepaintList() {
    if (list_) list_->viewport()->update();
}

void CFilerContainerDlg::OnRowSelected(int row) {
    model_->SelectRow(row);
    if (!owner_) return;
    std::lock_guard<std::recursive_mutex> lock(owner_->ListMutex());
    if (row == owner_->CurrentIndex() && !filterChanged_) return;
    filterChanged_ = false;
    owner_->SetCurrentIndex(row);
    owner_->SelectRecording(SelectRecordingFlags{});
}

void CFilerContainerDlg::OnNodeSelected(TreeNode node) {
    tree_->setToolTip(QString::fromUtf8(tree_->ItemPath(node)));
    if (owner_)
        owner_->OnFolderSelected(node);
    else if (!clearing_ && node != kTreeRoot)
        LoadFolder(node);
}

void CFilerContainerDlg::RefreshRows() {
    if (list_) list_->Reset();
}

void CFilerContainerDlg::ShowPath() {
    if (pathBox_) pathBox_->setText(QString::fromUtf8(model_->PathText()));
}

QString CFilerContainerDlg::CountText() const {
    return QString::fromUtf8(UiCountText(static_cast<int>(model_->Displayed().size())));
}

void CFilerContainerDlg::RedrawCount() {
    if (zoomMode_) return;
    const PanelLayout l = LayOutPanel(width(), height(), fontMetrics().height(), LayoutScale());
    update(ToRect(l.countStrip));
}

// --- presentation ----------------------------------------------------------------

void CFilerContainerDlg::SetZoomMode(bool on) {
    zoomMode_ = on;
    ShowControls(!on);
}

void CFilerContainerDlg::SetZoomPicture(const QPixmap& picture) {
    zoomPicture_ = picture;
    if (zoomMode_) update();
}

void CFilerContainerDlg::ShowControls(bool show) {
    if (!created_) return;
    tree_->setVisible(show);
    list_->setVisible(show);
    for (CSkinButton* b : buttons_) b->setVisible(show);
    pathBox_->hide();
    update();
}

void CFilerContainerDlg::Layout(const QRect& rect) {
    if (!rect.isEmpty()) setGeometry(rect);
    PlaceChildren();
    if (created_ && !zoomMode_) ShowControls(true);
}

void CFilerContainerDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceChildren();
}

void CFilerContainerDlg::PlaceChildren() {
    if (!created_) return;
    const float s = LayoutScale();
    if (s != laidOutScale_) {
        // The scale (and with it the shared fonts) changed: new fonts, and
        // rows measured again at their new height.
        laidOutScale_ = s;
        setFont(SharedFont(2));
        tree_->setFont(font());
        list_->setFont(font());
        tree_->doItemsLayout();
        list_->doItemsLayout();
    }
    const PanelLayout l = LayOutPanel(width(), height(), fontMetrics().height(), s);
    pathBox_->setGeometry(ToRect(l.pathBox));
    tree_->setGeometry(ToRect(l.tree));
    tree_->setIndentation(tree_->RowHeight());
    list_->setGeometry(ToRect(l.list));
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->setGeometry(ToRect(l.buttons[i]));
        buttons_[i]->SetImages(skin::kCheckBox, QSize(l.buttons[i].width, l.buttons[i].height));
    }
}

void CFilerContainerDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const float s = LayoutScale();
    if (zoomMode_) {
        const QPixmap picture =
            zoomPicture_.isNull() ? SkinPicture(skin::kZoomNotice, size()) : zoomPicture_;
        p.fillRect(rect(), Qt::black);
        if (!picture.isNull()) p.drawPixmap(rect(), picture);
        p.setFont(font());
        p.setPen(Qt::white);
        p.drawText(ToRect(ZoomNoticeBox(width(), height(), s)), Qt::AlignCenter | Qt::TextWordWrap,
                   QString::fromUtf8(UiString(kUiZoomNotice)));
        return;
    }
    p.fillRect(rect(), BackColour());
    p.setPen(FrameColour());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!created_) return;

    const PanelLayout l = LayOutPanel(width(), height(), fontMetrics().height(), s);
    p.setFont(font());
    p.setPen(Qt::white);
    const QRect strip = ToRect(l.countStrip);
    p.fillRect(strip, BackColour());
    p.drawText(strip, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, CountText());
    for (std::size_t i = 0; i < l.labels.size(); ++i) {
        const QRect label = ToRect(l.labels[i]);
        p.drawText(label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   QString::fromUtf8(UiString(kFilterLabels[i])));
    }
}

}  // namespace trivexa
