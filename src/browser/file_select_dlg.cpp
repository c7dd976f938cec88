#include "browser/file_select_dlg.h"

#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QShowEvent>

#include "app/core/layout_scale.h"
#include "app/core/ui_strings.h"
#include "controls/core/skin_rules.h"
#include "controls/core/skin_table.h"
#include "controls/msg_box.h"
#include "controls/screens.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"
#include "controls/skin_list.h"

namespace trivexa {
namespace {

constexpr int kWidth = 520;
constexpr int kHeight = 500;
constexpr int kUiFileName = 46;
constexpr int kUiFrontCamera = 145;
constexpr int kUiRearCamera = 146;
constexpr int kUiSelectAll = 51;
constexpr int kUiShowAll = 52;
constexpr int kUiDeleteTitle = 43;
constexpr int kUiJoinTitle = 40;
constexpr int kUiJoinOk = 41;
constexpr int kUiTooMany = 103;
constexpr int kUiTooLarge = 138;
constexpr int kUiTooManyFiles = 140;
constexpr int kColumnWidths[3] = {270, 105, 90};

QColor ToColour(Rgb rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

void SayListCut(QWidget* owner) { CMsgBox(owner).Show(UiString(kUiTooMany), "ERROR", 0); }

}  // namespace

CFileSelectDlg::CFileSelectDlg(QWidget* parent) : CSkinDialog(parent) {
    setFont(SharedFont(2));
    list_ = new CSkinListCtrl(this, kListId);
    list_->setFont(font());
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setHeaderLabels({QString::fromUtf8(UiString(kUiFileName)),
                            QString::fromUtf8(UiString(kUiFrontCamera)),
                            QString::fromUtf8(UiString(kUiRearCamera))});
    list_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    list_->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    connect(list_, &CSkinListCtrl::ItemStateChanged, this, &CFileSelectDlg::OnRowChanged);

    showAll_ = new CSkinCheckButton(this, kShowAllId);
    showAll_->setText(QString::fromUtf8(UiString(kUiShowAll)));
    selectAll_ = new CSkinCheckButton(this, kSelectAllId);
    selectAll_->setText(QString::fromUtf8(UiString(kUiSelectAll)));
    for (CSkinCheckButton* b : {showAll_, selectAll_}) {
        b->SetTextColour(Qt::black);
        b->SetImages(skin::kCheckBox);
        b->setFont(font());
        connect(b, &CSkinCheckButton::Command, this, &CFileSelectDlg::OnToggle);
    }
    ok_ = new CSkinButton(this, kOkId);
    ok_->setFont(font());
    connect(ok_, &CSkinButton::Command, this, [this] { OnOk(); });
    sizeText_ = new QLabel(this);
    rearSizeText_ = new QLabel(this);
    for (QLabel* l : {sizeText_, rearSizeText_}) {
        l->setFont(font());
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    sizeText_->setObjectName(QStringLiteral("sizeText1006"));
    rearSizeText_->setObjectName(QStringLiteral("sizeText1010"));
    AddCloseButton(kCloseId);
}

void CFileSelectDlg::SetMode(FileSelectMode mode) { model_.SetMode(mode); }

bool CFileSelectDlg::SetDisplayedList(const std::vector<RecordingEntry>& displayed) {
    const bool whole = model_.SetDisplayed(displayed);
    if (!whole) SayListCut(parentWidget());
    return whole;
}

bool CFileSelectDlg::SetFullList(const std::vector<RecordingEntry>& full) {
    const bool whole = model_.SetFullList(full);
    if (!whole) SayListCut(parentWidget());
    return whole;
}

void CFileSelectDlg::Initialise() {
    if (initialised_) return;
    initialised_ = true;
    resize(U(kWidth), U(kHeight));
    const QWidget* owner = parentWidget();
    const QPoint anchor = owner ? owner->mapToGlobal(owner->rect().center()) : QCursor::pos();
    const QRect monitor = MonitorRect(anchor);
    if (!monitor.isEmpty()) move(monitor.center() - QPoint(width() / 2, height() / 2));

    for (int c = 0; c < 3; ++c) list_->setColumnWidth(c, U(kColumnWidths[c]));
    list_->SetStatePictures(skin::kCheckBox);

    const bool join = model_.IsJoin();
    setWindowTitle(QString::fromUtf8(UiString(join ? kUiJoinTitle : kUiDeleteTitle)));
    ok_->setText(QString::fromUtf8(UiString(join ? kUiJoinOk : kUiDeleteTitle)));
    showAll_->setVisible(!join);
    rearSizeText_->setVisible(join);
    model_.Fill(false);
    FillRows();
    PlaceChildren();
    UpdateSizes();
    ok_->setEnabled(false);
}

int CFileSelectDlg::exec() {
    Initialise();
    return CSkinDialog::exec();
}

void CFileSelectDlg::showEvent(QShowEvent* event) {
    Initialise();
    CSkinDialog::showEvent(event);
}

void CFileSelectDlg::resizeEvent(QResizeEvent* event) {
    CSkinDialog::resizeEvent(event);
    if (initialised_) PlaceChildren();
}

void CFileSelectDlg::PlaceChildren() {
    const int w = width();
    const int h = height();
    list_->setGeometry(U(10), U(30), w - U(20), h - U(140));
    ok_->setGeometry(w - U(130), h - U(40), U(120), U(30));
    ok_->SetImages(skin::kPushButton, ok_->size());
    showAll_->setGeometry(U(20), h - U(70), U(200), U(20));
    selectAll_->setGeometry(U(20), h - U(40), U(200), U(20));
    if (model_.IsJoin()) {
        sizeText_->setGeometry(w - U(240), h - U(70), U(60), U(20));
        rearSizeText_->setGeometry(w - U(160), h - U(70), U(140), U(20));
    } else {
        sizeText_->setGeometry(w - U(160), h - U(70), U(140), U(20));
    }
}

void CFileSelectDlg::FillRows() {
    list_->clear();
    for (int row = 0; row < model_.RowCount(); ++row) {
        list_->AddItem(
            {QString::fromUtf8(model_.NameText(row)), QString::fromUtf8(model_.FrontSizeText(row)),
             QString::fromUtf8(model_.RearSizeText(row))},
            kListUnchecked);
        QTreeWidgetItem* item = list_->topLevelItem(row);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        if (const auto colours = model_.RowColoursFor(row)) {
            for (int c = 0; c < 3; ++c) {
                item->setBackground(c, ToColour(colours->background));
                item->setForeground(c, ToColour(colours->text));
            }
        }
    }
    ShowChecks();
}

void CFileSelectDlg::ShowChecks() {
    for (int row = 0; row < model_.RowCount(); ++row) {
        const int shown = list_->ItemState(row);
        const int wanted =
            model_.Checked(row) ? kListChecked : (shown == kListHot ? kListHot : kListUnchecked);
        if (shown != wanted) list_->SetItemState(row, wanted);
    }
}

void CFileSelectDlg::UpdateSizes() {
    const SelectionSizes z = model_.Sizes();
    sizeText_->setText(QString::fromUtf8(z.totalText));
    rearSizeText_->setText(QString::fromUtf8(z.rearText));
    const auto paint = [](QLabel* label, bool red) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, red ? QColor(0xFF, 0, 0) : QColor(0, 0, 0));
        label->setPalette(pal);
    };
    paint(sizeText_, z.frontOverSize);
    paint(rearSizeText_, z.rearOverSize);
    ok_->setEnabled(z.okEnabled);
}

void CFileSelectDlg::OnToggle(int id) {
    CSkinCheckButton* b = id == kShowAllId ? showAll_ : selectAll_;
    b->setChecked(!b->isChecked());
    b->update();
    model_.Refill(showAll_->isChecked(), selectAll_->isChecked());
    FillRows();
    UpdateSizes();
}

void CFileSelectDlg::OnRowChanged(int row, int state) {
    model_.OnRowChecked(row, state == kListChecked);
    ShowChecks();
    UpdateSizes();
}

void CFileSelectDlg::OnOk() {
    switch (model_.Verdict()) {
        case SelectionVerdict::kTooLarge:
            CMsgBox(this).Show(UiString(kUiTooLarge), "ERROR", 0);
            return;
        case SelectionVerdict::kTooMany:
            CMsgBox(this).Show(UiString(kUiTooManyFiles), "ERROR", 0);
            return;
        case SelectionVerdict::kAccept:
            break;
    }
    result_ = model_.Result();
    accept();
}

void CFileSelectDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    DrawCaptionStrip(p);
}

}  // namespace trivexa
