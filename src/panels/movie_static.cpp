#include "panels/movie_static.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <QTimerEvent>

#include "app/core/layout_scale.h"
#include "app/core/ui_strings.h"
#include "app/messages/posted_message.h"
#include "controls/core/skin_table.h"
#include "controls/shared_fonts.h"
#include "controls/skin_pictures.h"

namespace trivexa {

namespace {

// A notice of the old playback graph that carries nothing for the window.
constexpr unsigned kIgnoredEngineNotice = kWmApp + 0x3E9;

int DoubleClickMs() { return QGuiApplication::styleHints()->mouseDoubleClickInterval(); }

ClickPoint ToClick(QPoint p) { return {p.x(), p.y()}; }

// The zoom cursor at the current scale, made once per size and shared by
// both surfaces. Its hot spot is the centre of the lens.
QCursor ZoomCursorShape() {
    const int size = U(32);
    static int cachedSize = -1;
    static QCursor cached;
    if (size != cachedSize) {
        const QPixmap picture = SkinPicture(skin::kZoomCursor, QSize(size, size));
        if (picture.isNull()) return QCursor(Qt::CrossCursor);
        cached = QCursor(picture, size * 13 / 32, size * 13 / 32);
        cachedSize = size;
    }
    return cached;
}

}  // namespace

CMovieStatic::CMovieStatic(QWidget* parent) : VideoSurface(parent) {
    // Presses take the keyboard focus, as the surface's window did.
    setFocusPolicy(Qt::ClickFocus);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

CMovieStatic::~CMovieStatic() = default;

void CMovieStatic::SetOwner(MovieStaticOwner* owner) {
    owner_ = owner;
    VideoSurface::SetOwner(owner);
}

void CMovieStatic::SetCameraIndex(int index) {
    VideoSurface::SetCameraIndex(index);
    clicks_.SetCameraIndex(index);
}

void CMovieStatic::SetZoomMode(bool on) {
    zoomMode_ = on;
    SetZoomCursor(on);
}

void CMovieStatic::SetZoomCursor(bool on) {
    zoomCursor_ = on;
    UpdateCursor();
}

void CMovieStatic::UpdateCursor() {
    if (zoomCursor_)
        setCursor(ZoomCursorShape());
    else
        unsetCursor();
}

void CMovieStatic::SetBlank(bool on) {
    if (blank_ == on) return;
    blank_ = on;
    update();
}

bool CMovieStatic::event(QEvent* event) {
    if (const PostedMessageEvent* m = AsPostedMessage(event)) {
        if (m->message() == UM_GRAPH_NOTIFY) {
            if (owner_ != nullptr &&
                ForwardsGraphNotice(CameraIndex(), owner_->ClipOf(1).holdsClip))
                owner_->OnGraphNotify(CameraIndex());
            return true;
        }
        if (m->message() == kIgnoredEngineNotice) return true;
        return VideoSurface::event(event);
    }
    return VideoSurface::event(event);
}

EraseInput CMovieStatic::CurrentEraseInput() const {
    EraseInput in;
    in.blank = blank_;
    in.cameraIndex = CameraIndex();
    if (owner_ != nullptr) {
        in.front = owner_->ClipOf(0);
        in.rear = owner_->ClipOf(1);
        if (in.cameraIndex >= 0) in.self = owner_->ClipOf(in.cameraIndex);
    }
    return in;
}

bool CMovieStatic::PaintsInstead() {
    // The presenter keeps the camera's last picture and draws it again,
    // which is all a repaint of a camera that does not play asks.
    lastErase_ = EraseSurface(CurrentEraseInput());
    return lastErase_ != SurfaceErase::kPicture;
}

void CMovieStatic::PaintInstead(QPainter& p) {
    p.fillRect(p.viewport(), Qt::black);
    const int text = EraseTextId(lastErase_);
    if (text == 0) return;
    p.setFont(SharedFont(3));
    p.setPen(Qt::white);
    p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, QString::fromUtf8(UiString(text)));
}

void CMovieStatic::Apply(const ClickTracker::Actions& a) {
    if (a.stopTimers) {
        pressTimer_.stop();
        releaseTimer_.stop();
    }
    if (a.startPressTimer) pressTimer_.start(DoubleClickMs(), this);
    if (a.startReleaseTimer) releaseTimer_.start(DoubleClickMs(), this);
    // The pointer grab ends with the release on this toolkit; nothing to do
    // for releaseCapture.
    if (owner_ == nullptr) return;
    if (a.zoomAt) owner_->OnVideoZoomAt(CameraIndex(), QPoint(a.zoomAt->x, a.zoomAt->y));
    if (a.toggleFullScreen) owner_->OnToggleFullScreen();
}

void CMovieStatic::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        VideoSurface::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    Apply(clicks_.Press(ToClick(event->position().toPoint())));
    event->accept();
}

void CMovieStatic::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        VideoSurface::mouseReleaseEvent(event);
        return;
    }
    Apply(clicks_.Release(ToClick(event->position().toPoint())));
    event->accept();
}

void CMovieStatic::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const bool primary = owner_ != nullptr && owner_->PrimaryScreen() == CameraIndex();
    Apply(clicks_.DoubleClick(primary, zoomMode_));
    event->accept();
}

void CMovieStatic::contextMenuEvent(QContextMenuEvent* event) {
    if (owner_ != nullptr) owner_->OnVideoMenu(event->globalPos(), this);
    event->accept();
}

void CMovieStatic::timerEvent(QTimerEvent* event) {
    // Both timers fire once per press or release.
    if (event->timerId() == pressTimer_.timerId()) {
        pressTimer_.stop();
        Apply(clicks_.PressTimerFired());
    } else if (event->timerId() == releaseTimer_.timerId()) {
        releaseTimer_.stop();
        Apply(clicks_.ReleaseTimerFired());
    } else {
        VideoSurface::timerEvent(event);
    }
}

}  // namespace trivexa
