#include "controls/skin_dialog.h"

#include <QKeyEvent>
#include <QPainter>

#include "app/core/layout_scale.h"
#include "controls/core/skin_rules.h"
#include "controls/core/skin_table.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"

namespace trivexa {

CSkinDialog::CSkinDialog(QWidget* parent) : CResizeDialog(parent) {
    // The frame is drawn here; the dialog has no border of its own.
    setAttribute(Qt::WA_StyledBackground, false);
}

QColor CSkinDialog::CaptionStripColour() { return QColor(192, 192, 192); }

int CSkinDialog::CaptionStripHeight() const { return U(kCaptionStripUnits); }

CSkinButton* CSkinDialog::AddCloseButton(int commandId) {
    if (!closeButton_) {
        closeButton_ = new CSkinButton(this, commandId);
        connect(closeButton_, &CSkinButton::Command, this, &CSkinDialog::ButtonClicked);
        connect(closeButton_, &CSkinButton::Command, this, [this](int) { reject(); });
    }
    PlaceCloseButton();
    closeButton_->show();
    return closeButton_;
}

void CSkinDialog::PlaceCloseButton() {
    if (!closeButton_) return;
    const CaptionLayout c = LayOutCaption(width(), false, LayoutScale());
    closeButton_->setGeometry(c.closeX, c.closeY, c.closeWidth, c.closeHeight);
    closeButton_->SetImages(skin::kDialogClose, QSize(c.closeWidth, c.closeHeight));
}

void CSkinDialog::ApplyTargetRect() {
    const bool fromCaption = Zone() == HitZone::kCaption;
    ClearDirection();
    if (!fromCaption) {
        setGeometry(TargetRect());
        update();
    }
}

void CSkinDialog::OnReleased(QPoint globalCursor) { FinishResize(globalCursor); }

void CSkinDialog::DrawCaptionStrip(QPainter& p) {
    const bool hasIcon = testAttribute(Qt::WA_SetWindowIcon) && !windowIcon().isNull();
    const CaptionLayout c = LayOutCaption(width(), hasIcon, LayoutScale());
    p.fillRect(QRect(0, 0, width(), c.stripHeight), CaptionStripColour());
    if (hasIcon) {
        // The icon is reduced from its 32·s design size to the strip's height,
        // on the strip's own colour.
        const QPixmap icon =
            windowIcon().pixmap(QSize(c.iconSize, c.iconSize), devicePixelRatioF());
        p.drawPixmap(QRect(0, 0, c.iconSize, c.iconSize), icon);
    }
    p.setFont(SharedFont(2));
    p.setPen(Qt::black);
    const int right = closeButton_ ? c.closeX : width();
    p.drawText(QRect(c.titleX, c.titleY, qMax(right - c.titleX, 0), c.stripHeight - c.titleY),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, windowTitle());
}

void CSkinDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    DrawCaptionStrip(p);
}

void CSkinDialog::keyPressEvent(QKeyEvent* event) {
    // Escape and Enter would close the dialog and Tab would move the focus:
    // the dialog takes every key that reaches it and does nothing with it.
    event->accept();
}

bool CSkinDialog::focusNextPrevChild(bool) { return false; }

void CSkinDialog::resizeEvent(QResizeEvent* event) {
    CResizeDialog::resizeEvent(event);
    PlaceCloseButton();
}

}  // namespace trivexa
