#include "controls/resize_dialog.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "app/core/layout_scale.h"
#include "app/core/settings_file.h"
#include "controls/screens.h"

namespace trivexa {

namespace {

FrameRect ToFrame(const QRect& r) { return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }
QRect ToQRect(const FrameRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
FramePoint ToFrame(QPoint p) { return {p.x(), p.y()}; }

Qt::CursorShape ShapeOf(ZoneCursor c) {
    switch (c) {
        case ZoneCursor::kSizeWE:
            return Qt::SizeHorCursor;
        case ZoneCursor::kSizeNS:
            return Qt::SizeVerCursor;
        case ZoneCursor::kSizeNWSE:
            return Qt::SizeFDiagCursor;
        case ZoneCursor::kSizeNESW:
            return Qt::SizeBDiagCursor;
        case ZoneCursor::kArrow:
            break;
    }
    return Qt::ArrowCursor;
}

// Wayland lets no client place its own windows; there the compositor moves a
// window when asked to.
bool CompositorMovesWindows() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace

// --- CResizeFrameWindow --------------------------------------------------------

CResizeFrameWindow::CResizeFrameWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus |
                           Qt::X11BypassWindowManagerHint | Qt::NoDropShadowWindowHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("FrameWindow"));
}

QColor CResizeFrameWindow::OutlineColour() {
    // 0xA85D70 in the platform's 0x00BBGGRR notation.
    return QColor(0x70, 0x5D, 0xA8);
}

void CResizeFrameWindow::PlaceOn(const QRect& r) {
    setGeometry(r);
    update();
}

void CResizeFrameWindow::resizeEvent(QResizeEvent* event) {
    // Only the one-pixel ring belongs to the window: the inside is not merely
    // painted transparent but cut out, so the outline also works where no
    // compositor blends translucent windows.
    const QRect all = rect();
    setMask(QRegion(all).subtracted(QRegion(all.adjusted(1, 1, -1, -1))));
    QWidget::resizeEvent(event);
}

void CResizeFrameWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setPen(QPen(OutlineColour(), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

// --- CResizeDialog ---------------------------------------------------------------

CResizeDialog::CResizeDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      baseWidth_(U(1120)),
      baseHeight_(U(697)) {
    setMouseTracking(true);
    lastBandUpdate_.start();
}

CResizeDialog::~CResizeDialog() = default;

void CResizeDialog::SetBaseSize(int width, int height) {
    baseWidth_ = width;
    baseHeight_ = height;
    if (frameWindow_) setMinimumSize(qMax(baseWidth_, 1), qMax(baseHeight_, 1));
}

void CResizeDialog::SetFactors(float x, float y) {
    factorX_ = x;
    factorY_ = y;
}

void CResizeDialog::LoadSizeFactors(const std::string& section) {
    section_ = section;
    const auto x = ParseScale(ReadSetting(section, settings::kScaleX));
    const auto y = ParseScale(ReadSetting(section, settings::kScaleY));
    if (x && IsUsableSizeFactor(*x)) factorX_ = static_cast<float>(*x);
    if (y && IsUsableSizeFactor(*y)) factorY_ = static_cast<float>(*y);
    const QPoint corner = geometry().topLeft();
    setUpdatesEnabled(false);
    setGeometry(QRect(
        corner, QSize(ScaledExtent(baseWidth_, factorX_), ScaledExtent(baseHeight_, factorY_))));
    setUpdatesEnabled(true);
}

void CResizeDialog::SaveSizeFactors() {
    if (section_.empty()) return;
    WriteScale(section_, factorX_, factorY_);
}

void CResizeDialog::CreateFrameWindow() {
    if (frameWindow_) return;
    frameWindow_ = std::make_unique<CResizeFrameWindow>();
    frameWindow_->PlaceOn(geometry());
    frameWindow_->hide();
    setMinimumSize(qMax(baseWidth_, 1), qMax(baseHeight_, 1));
}

void CResizeDialog::HideFrameWindow() {
    if (!frameWindow_) return;
    targetRect_ = geometry();
    frameWindow_->PlaceOn(targetRect_);
    if (frameWindow_->isVisible()) frameWindow_->hide();
}

void CResizeDialog::ApplyTargetRect() {}

FrameRect CResizeDialog::WindowRect() const { return ToFrame(geometry()); }

HitZone CResizeDialog::HitTestAt(QPoint global) const {
    HitTestInput in;
    in.window = WindowRect();
    in.point = ToFrame(global);
    in.scale = LayoutScale();
    in.fullScreen = fullScreen_;
    in.maximised = maximised_;
    return HitTest(in);
}

QSize CResizeDialog::MonitorSize() const { return MonitorRect(geometry().topLeft()).size(); }

void CResizeDialog::FinishResize(QPoint globalCursor) {
    if (!frameWindow_ || maximised_ || fullScreen_ || direction_ == DragDirection::kNone ||
        zone_ == HitZone::kCaption)
        return;
    ConstrainInput in;
    in.direction = direction_;
    in.cursor = ToFrame(globalCursor);
    in.base = {baseWidth_, baseHeight_};
    const QSize monitor = MonitorSize();
    in.monitor = {monitor.width(), monitor.height()};
    const FrameRect start = PutDraggedEdges(WindowRect(), direction_, in.cursor);
    finalCursor_ = in.cursor;
    const ConstrainResult result = ConstrainNow(start, in);
    targetRect_ = ToQRect(result.rect);
    factorX_ = result.factors.factorX;
    factorY_ = result.factors.factorY;
    ApplyTargetRect();
    SaveSizeFactors();
}

void CResizeDialog::UpdateCursor(QPoint global) {
    if (!frameWindow_ || maximised_) {
        unsetCursor();
        return;
    }
    const Qt::CursorShape shape = ShapeOf(CursorForZone(HitTestAt(global)));
    if (shape == Qt::ArrowCursor)
        unsetCursor();
    else
        setCursor(shape);
}

void CResizeDialog::MoveBand(QPoint global) {
    if (lastBandUpdate_.elapsed() <= kBandIntervalMs) return;
    ConstrainInput in;
    in.direction = direction_;
    in.cursor = ToFrame(global);
    in.base = {baseWidth_, baseHeight_};
    const QSize monitor = MonitorSize();
    in.monitor = {monitor.width(), monitor.height()};
    const FrameRect candidate = PutDraggedEdges(ToFrame(targetRect_), direction_, in.cursor);
    const ConstrainResult result = Constrain(candidate, in, bandCursor_);
    if (result.changed) frameWindow_->PlaceOn(ToQRect(result.rect));
    lastBandUpdate_.restart();
}

void CResizeDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    const QPoint global = event->globalPosition().toPoint();
    pressPoint_ = event->position().toPoint();
    pressGlobal_ = global;
    windowAtPress_ = geometry().topLeft();
    captionDragged_ = false;
    buttonDown_ = true;
    if (!maximised_) {
        zone_ = HitTestAt(global);
        direction_ = DirectionFromZone(zone_);
        if (zone_ == HitZone::kCaption) captionPress_ = true;
        if (direction_ == DragDirection::kNone) {
            HideFrameWindow();
        } else if (frameWindow_) {
            targetRect_ = geometry();
            frameWindow_->PlaceOn(targetRect_);
            frameWindow_->show();
            frameWindow_->raise();
            lastBandUpdate_.restart();
        }
        if (zone_ == HitZone::kCaption && !busy_ && !fullScreen_ && CompositorMovesWindows() &&
            windowHandle())
            windowHandle()->startSystemMove();
    }
    event->accept();
}

void CResizeDialog::mouseMoveEvent(QMouseEvent* event) {
    const QPoint global = event->globalPosition().toPoint();
    if (zone_ == HitZone::kCaption && buttonDown_ && !busy_ && !fullScreen_ && !maximised_) {
        const QPoint to = windowAtPress_ + (global - pressGlobal_);
        if (to != geometry().topLeft()) {
            if (frameWindow_) frameWindow_->PlaceOn(QRect(to, geometry().size()));
            move(to);
            captionDragged_ = true;
        }
    } else if (!buttonDown_) {
        // The zone follows the pointer only between presses: during an edge
        // drag the pointer crosses the caption band without turning the drag
        // into a move.
        zone_ = HitTestAt(global);
        UpdateCursor(global);
    }
    if (buttonDown_ && frameWindow_ && !maximised_ && direction_ != DragDirection::kNone)
        MoveBand(global);
    event->accept();
}

void CResizeDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QDialog::mouseReleaseEvent(event);
        return;
    }
    const bool wasDown = buttonDown_;
    buttonDown_ = false;
    if (!maximised_) HideFrameWindow();
    if (wasDown && captionDragged_) OnExitSizeMove();
    captionDragged_ = false;
    event->accept();
    OnReleased(event->globalPosition().toPoint());
}

void CResizeDialog::mouseDoubleClickEvent(QMouseEvent* event) {
    buttonDown_ = false;
    HideFrameWindow();
    if (frameWindow_) zone_ = HitTestAt(event->globalPosition().toPoint());
    QDialog::mouseDoubleClickEvent(event);
}

void CResizeDialog::OnReleased(QPoint) {}

void CResizeDialog::OnExitSizeMove() {
    buttonDown_ = false;
    if (!maximised_ && !fullScreen_) restoreRect_ = geometry();
}

void CResizeDialog::SizeLimitQuery() {
    if (frameWindow_) {
        if (factorX_ < 1.0f) factorX_ = 1.0f;
        if (factorY_ < 1.0f) factorY_ = 1.0f;
    }
    if (!maximised_ && !minimised_ && !keepRestoreRect_) restoreRect_ = geometry();
    keepRestoreRect_ = false;
}

void CResizeDialog::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    SizeLimitQuery();
}

void CResizeDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    SizeLimitQuery();
}

}  // namespace trivexa
