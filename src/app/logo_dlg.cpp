#include "app/logo_dlg.h"

#include <QPainter>
#include <algorithm>

#include "app/core/layout_scale.h"
#include "app/messages/posted_message.h"
#include "app/resource_image.h"
#include "controls/core/skin_table.h"

namespace trivexa {

namespace {

// The ground of the logo pictures, so that a logo that does not fill the
// window meets its surroundings without an edge.
const QColor kGround(0x14, 0x17, 0x1b);

// The largest rectangle of `picture`'s proportions inside `area`, centred.
QRect FitInside(QSize picture, const QRect& area) {
    if (picture.isEmpty() || area.isEmpty()) return {};
    const QSize fitted = picture.scaled(area.size(), Qt::KeepAspectRatio);
    return QRect(area.x() + (area.width() - fitted.width()) / 2,
                 area.y() + (area.height() - fitted.height()) / 2, fitted.width(), fitted.height());
}

}  // namespace

CLogoDlg::CLogoDlg(const CResourceImage* skin, QWidget* parent) : QWidget(parent), skin_(skin) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int CLogoDlg::LogoForModel(int code) {
    if (code == 1) return skin::kLogoPl21;
    if (code == 2) return skin::kLogoPl35;
    return skin::kLogo;
}

int CLogoDlg::PictureNumber() const {
    return variant_ == LogoVariant::kNoMap ? skin::kMapUnavailable : LogoForModel(modelCode_);
}

void CLogoDlg::SetModelCode(int code) {
    if (code == modelCode_) return;
    modelCode_ = code;
    update();
}

void CLogoDlg::SetVariant(LogoVariant variant) {
    if (variant == variant_) return;
    variant_ = variant;
    update();
}

bool CLogoDlg::event(QEvent* event) {
    if (const PostedMessageEvent* m = AsPostedMessage(event)) {
        if (m->message() == UM_LOGO_SHOW) setVisible(visibleFlag_);
        return true;
    }
    return QWidget::event(event);
}

void CLogoDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kGround);
    const int frame = std::max(1, U(2));
    const QRect inside = rect().adjusted(frame, frame, -frame, -frame);
    if (skin_ != nullptr) {
        const int number = PictureNumber();
        const QSize design = skin_->DesignSize(number);
        QRect area = inside;
        if (variant_ == LogoVariant::kNoMap) {
            // The mark stays a mark: at most twice its design size.
            const QSize most(std::min(2 * U(design.width()), inside.width()),
                             std::min(2 * U(design.height()), inside.height()));
            area = QRect(inside.x() + (inside.width() - most.width()) / 2,
                         inside.y() + (inside.height() - most.height()) / 2, most.width(),
                         most.height());
        }
        const QRect target = FitInside(design, area);
        const QPixmap picture = skin_->PictureAt(number, target.size());
        if (!picture.isNull()) p.drawPixmap(target, picture);
    }
    // The frame of the skin's pattern around it all.
    const QBrush brush = skin_ != nullptr ? skin_->FrameBrush() : QBrush(Qt::darkGray);
    p.fillRect(QRect(0, 0, width(), frame), brush);
    p.fillRect(QRect(0, height() - frame, width(), frame), brush);
    p.fillRect(QRect(0, 0, frame, height()), brush);
    p.fillRect(QRect(width() - frame, 0, frame, height()), brush);
}

}  // namespace trivexa
