#include "controls/skin_slider.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/core/layout_scale.h"
#include "app/messages/posted_message.h"
#include "controls/skin_pictures.h"

namespace trivexa {

CSkinSliderCtrl::CSkinSliderCtrl(QWidget* owner, int controlId, QObject* notify)
    : QWidget(owner), controlId_(controlId), notify_(notify ? notify : owner) {
    setObjectName(QStringLiteral("movie slider"));
    setWindowTitle(QStringLiteral("movie slider"));
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    if (owner) owner->installEventFilter(this);
    show();
}

CSkinSliderCtrl::~CSkinSliderCtrl() {
    if (parentWidget()) parentWidget()->removeEventFilter(this);
}

void CSkinSliderCtrl::SetPictures(int leftBar, int rightBar, int thumb, int thumbPressed) {
    leftBar_ = leftBar;
    rightBar_ = rightBar;
    thumb_ = thumb;
    thumbPressed_ = thumbPressed;
    update();
}

void CSkinSliderCtrl::SetRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    update();
}

void CSkinSliderCtrl::SetPos(int position) {
    position_ = position;
    update();
}

void CSkinSliderCtrl::Enable(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    update();
}

QSize CSkinSliderCtrl::ThumbSize() const {
    const QSize design = SkinDesignSize(thumb_);
    const float s = LayoutScale();
    return design.isEmpty() ? QSize() : QSize(Units(design.width(), s), Units(design.height(), s));
}

SliderGeometry CSkinSliderCtrl::Geometry() const {
    SliderGeometry g;
    g.width = width();
    g.thumbWidth = ThumbSize().width();
    g.minimum = minimum_;
    g.maximum = maximum_;
    g.scale = LayoutScale();
    return g;
}

QRect CSkinSliderCtrl::ThumbRect() const {
    const SliderGeometry g = Geometry();
    return QRect(SliderThumbX(g, position_), 0, SliderThumbDrawWidth(g), ThumbSize().height());
}

void CSkinSliderCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!enabled_) p.setOpacity(0.45);
    const SliderGeometry g = Geometry();
    const int w = width();
    const int h = height();
    const int split = SliderSplitX(g, position_);

    // Each bar is drawn for the whole width and cut at the split, so the
    // played and the unplayed part meet like one picture.
    const QPixmap left = SkinPicture(leftBar_, QSize(w, h));
    if (!left.isNull() && split > 0) {
        const qreal r = left.devicePixelRatio();
        p.drawPixmap(QRectF(0, 0, split, h), left, QRectF(0, 0, split * r, h * r));
    }
    const QPixmap right = SkinPicture(rightBar_, QSize(w, h));
    if (!right.isNull() && split + 1 < w) {
        const qreal r = right.devicePixelRatio();
        const int from = split + 1;
        p.drawPixmap(QRectF(from, 0, w - from, h), right,
                     QRectF(from * r, 0, (w - from) * r, h * r));
    }
    const QRect thumb = ThumbRect();
    const QPixmap picture = SkinPicture(dragging_ ? thumbPressed_ : thumb_, thumb.size());
    if (!picture.isNull()) p.drawPixmap(thumb, picture);
}

void CSkinSliderCtrl::Post(unsigned message) {
    PostMessageTo(notify_.data(), message, static_cast<std::uintptr_t>(controlId_), tracked_);
}

void CSkinSliderCtrl::Press(int x) {
    captured_ = true;
    if (!enabled_) return;
    const SliderGeometry g = Geometry();
    if (!SliderInPressBand(g, x)) return;
    const QRect thumb = ThumbRect();
    pressOnThumb_ = x >= thumb.left() && x <= thumb.right();
    tracked_ = SliderPositionAt(g, x);
    dragging_ = true;
    Post(UM_SLIDER_DOWN);
    update();
}

void CSkinSliderCtrl::Move(int x) {
    if (!enabled_) {
        if (dragging_) {
            dragging_ = false;
            update();
        }
        return;
    }
    const SliderGeometry g = Geometry();
    if (!dragging_ || !SliderInPressBand(g, x) || !SliderRangeValid(g)) return;
    tracked_ = SliderPositionAt(g, x);
    Post(UM_SLIDER_TRACK);
}

void CSkinSliderCtrl::Release() {
    const bool wasDragging = dragging_;
    dragging_ = false;
    captured_ = false;
    if (mouseGrabber() == this) releaseMouse();
    if (wasDragging) {
        if (enabled_) Post(UM_SLIDER_UP);
        update();
    }
}

void CSkinSliderCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    Press(event->position().toPoint().x());
    event->accept();
}

void CSkinSliderCtrl::mouseMoveEvent(QMouseEvent* event) {
    if (captured_) Move(event->position().toPoint().x());
    event->accept();
}

void CSkinSliderCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    Release();
    event->accept();
}

bool CSkinSliderCtrl::eventFilter(QObject* watched, QEvent* event) {
    // A press on the owner just beside either end of the slider counts as a
    // press on the slider.
    if (watched == parentWidget() && event->type() == QEvent::MouseButtonPress && isVisible() &&
        enabled_) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton) {
            const QPoint p = me->position().toPoint() - pos();
            const bool beside = p.x() < 0 || p.x() >= width();
            if (beside && p.y() >= 0 && p.y() < height() && SliderInPressBand(Geometry(), p.x())) {
                grabMouse();
                Press(p.x());
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace trivexa
