#include "controls/skin_button.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>

#include "app/core/layout_scale.h"
#include "controls/skin_pictures.h"

namespace trivexa {

namespace {

bool IsKeyboardReason(Qt::FocusReason r) {
    return r != Qt::MouseFocusReason && r != Qt::PopupFocusReason &&
           r != Qt::ActiveWindowFocusReason;
}

QColor TextColourOn(StatePicture picture) {
    switch (picture) {
        case StatePicture::kPressed:
            return QColor(0xff, 0xff, 0xff);
        case StatePicture::kDisabled:
            return QColor(0x8e, 0x94, 0x9b);
        default:
            return QColor(0x1b, 0x1e, 0x23);
    }
}

}  // namespace

void DrawFocusRing(QPainter& p, const QRect& r, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, 1, Qt::DotLine));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.restore();
}

// --- CSkinButton ---------------------------------------------------------------------

CSkinButton::CSkinButton(QWidget* parent, int commandId)
    : QAbstractButton(parent), commandId_(commandId) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, [this] { emit Command(commandId_); });
}

void CSkinButton::SetImages(int number, QSize size) {
    picture_ = number;
    pictureSize_ = size;
    update();
}

void CSkinButton::SetLatched(bool latched) {
    if (state_.latched == latched) return;
    state_.latched = latched;
    update();
}

void CSkinButton::SetHidden(bool hidden) {
    if (state_.hidden == hidden) return;
    state_.hidden = hidden;
    update();
}

void CSkinButton::SetPressed(bool pressed) { state_.pressedFlag = pressed; }

void CSkinButton::SetGreyed(bool greyed) {
    if (state_.greyed == greyed) return;
    state_.greyed = greyed;
    update();
}

ButtonState CSkinButton::CurrentState() const {
    ButtonState s = state_;
    s.enabled = isEnabled();
    s.down = isDown();
    s.checked = false;
    return s;
}

StatePicture CSkinButton::ShownPicture() const { return PaintButton(CurrentState()).picture; }

QSize CSkinButton::sizeHint() const {
    return pictureSize_.isValid() ? pictureSize_ : QSize(U(32), U(32));
}

void CSkinButton::paintEvent(QPaintEvent*) {
    const ButtonPaint paint = PaintButton(CurrentState());
    state_.pressedFlag = paint.pressedFlag;
    if (!paint.draw) return;
    QPainter p(this);
    const QSize size = pictureSize_.isValid() ? pictureSize_ : this->size();
    const QPixmap picture = SkinPicture(picture_, size, static_cast<int>(paint.picture));
    if (!picture.isNull()) p.drawPixmap(QRect(QPoint(0, 0), size), picture);
    if (!text().isEmpty()) {
        p.setFont(font());
        p.setPen(TextColourOn(paint.picture));
        p.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter | Qt::TextSingleLine, text());
    }
    if (hasFocus() && keyboardFocus_)
        DrawFocusRing(
            p, QRect(QPoint(0, 0), size).adjusted(2, 2, -2, -2),
            paint.picture == StatePicture::kPressed ? Qt::white : QColor(0x6f, 0x91, 0xd8));
}

void CSkinButton::enterEvent(QEnterEvent* event) {
    state_.hovered = true;
    if (!state_.pressedFlag && !state_.hidden && !state_.latched) update();
    QAbstractButton::enterEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event) {
    state_.hovered = false;
    // A button held down keeps its picture until it is released.
    if (!state_.pressedFlag) update();
    QAbstractButton::leaveEvent(event);
}

void CSkinButton::focusInEvent(QFocusEvent* event) {
    keyboardFocus_ = IsKeyboardReason(event->reason());
    QAbstractButton::focusInEvent(event);
    update();
}

void CSkinButton::focusOutEvent(QFocusEvent* event) {
    keyboardFocus_ = false;
    QAbstractButton::focusOutEvent(event);
    update();
}

void CSkinButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) state_.hovered = false;
    QAbstractButton::changeEvent(event);
}

void CSkinButton::hideEvent(QHideEvent* event) {
    state_.hovered = false;
    QAbstractButton::hideEvent(event);
}

// --- CSkinCheckButton ------------------------------------------------------------------

CSkinCheckButton::CSkinCheckButton(QWidget* parent, int commandId)
    : QAbstractButton(parent), commandId_(commandId), textColour_(Qt::white) {
    setCheckable(true);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, [this] { emit Command(commandId_); });
}

void CSkinCheckButton::nextCheckState() {
    // The owner decides the checked state when it handles the click.
}

void CSkinCheckButton::SetImages(int number, QSize boxSize) {
    picture_ = number;
    boxSize_ = boxSize;
    update();
}

void CSkinCheckButton::SetHidden(bool hidden) {
    if (hidden_ == hidden) return;
    hidden_ = hidden;
    update();
}

void CSkinCheckButton::SetTextColour(const QColor& colour) {
    textColour_ = colour;
    update();
}

QRect CSkinCheckButton::BoxRect() const {
    const QSize box = boxSize_.isValid() ? boxSize_ : QSize(U(12), U(12));
    return QRect(QPoint(0, U(4)), box);
}

StatePicture CSkinCheckButton::ShownPicture() const {
    ButtonState s;
    s.hidden = hidden_;
    s.enabled = isEnabled();
    s.down = isDown();
    s.checked = isChecked();
    s.hovered = boxHovered_;
    return PaintButton(s).picture;
}

QSize CSkinCheckButton::sizeHint() const {
    const int textWidth = fontMetrics().horizontalAdvance(text());
    return QSize(U(16) + textWidth + U(4), qMax(U(20), fontMetrics().height()));
}

void CSkinCheckButton::paintEvent(QPaintEvent*) {
    if (hidden_) return;
    QPainter p(this);
    const QRect box = BoxRect();
    const QPixmap picture = SkinPicture(picture_, box.size(), static_cast<int>(ShownPicture()));
    if (!picture.isNull()) p.drawPixmap(box, picture);
    if (!text().isEmpty()) {
        p.setFont(font());
        p.setPen(isEnabled() ? textColour_ : QColor(0x8e, 0x94, 0x9b));
        p.drawText(rect().adjusted(U(16), 0, 0, 0),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    }
    if (hasFocus() && keyboardFocus_)
        DrawFocusRing(p, box.adjusted(-2, -2, 2, 2), QColor(0x6f, 0x91, 0xd8));
}

void CSkinCheckButton::mouseMoveEvent(QMouseEvent* event) {
    const bool over = BoxRect().contains(event->position().toPoint());
    if (over != boxHovered_) {
        boxHovered_ = over;
        update();
    }
    QAbstractButton::mouseMoveEvent(event);
}

void CSkinCheckButton::leaveEvent(QEvent* event) {
    if (boxHovered_) {
        boxHovered_ = false;
        update();
    }
    QAbstractButton::leaveEvent(event);
}

void CSkinCheckButton::focusInEvent(QFocusEvent* event) {
    keyboardFocus_ = IsKeyboardReason(event->reason());
    QAbstractButton::focusInEvent(event);
    update();
}

void CSkinCheckButton::focusOutEvent(QFocusEvent* event) {
    keyboardFocus_ = false;
    QAbstractButton::focusOutEvent(event);
    update();
}

}  // namespace trivexa
