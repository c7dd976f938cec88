#include "panels/movie_dialog.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/core/layout_scale.h"
#include "app/core/ui_strings.h"
#include "app/messages/posted_message.h"
#include "panels/core/video_window_rules.h"

namespace trivexa {

namespace {

// Which detached window a message is about (the platform's button release
// report names the secondary screen this way).
constexpr std::intptr_t kDetachedWindowScreen = 2;

}  // namespace

CMovieDialog::CMovieDialog(QObject* owner) : CSkinDialog(nullptr), owner_(owner) {
    RecreatePen();
    AddCloseButton(kMovieDialogCloseCommand);
    connect(this, &CSkinDialog::ButtonClicked, this, [this](int command) {
        if (command == kMovieDialogCloseCommand) Post(UM_SUBWINDOW_CLOSED, 0, 0);
    });
}

CMovieDialog::~CMovieDialog() = default;

void CMovieDialog::RecreatePen() {
    const QColor grey((kMovieDialogBorderRgb >> 16) & 0xFF, (kMovieDialogBorderRgb >> 8) & 0xFF,
                      kMovieDialogBorderRgb & 0xFF);
    borderPen_ = QPen(grey, MovieDialogBorderWidth(LayoutScale()), Qt::SolidLine, Qt::SquareCap,
                      Qt::MiterJoin);
    update();
}

void CMovieDialog::SetCaption(int uiStringId) {
    captionId_ = uiStringId;
    setWindowTitle(QString::fromUtf8(UiString(uiStringId)));
    update();
}

void CMovieDialog::Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (owner_) PostMessageTo(owner_, message, wParam, lParam);
}

void CMovieDialog::paintEvent(QPaintEvent* event) {
    {
        QPainter p(this);
        // What the content does not cover is black, like a video without a
        // picture.
        p.fillRect(rect(), Qt::black);
        // The border: a rectangle around the client area with the pen and no
        // fill. The pen is centred on the edge, so half of it shows.
        p.setPen(borderPen_);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(0, 0, width(), height()));
        DrawCaptionStrip(p);
    }
    (void)event;
    Post(UM_SUBWINDOW_PAINTED, 0, Handle());
}

void CMovieDialog::resizeEvent(QResizeEvent* event) {
    // The base moves the close button to (client right − 20·s, 4·s).
    CSkinDialog::resizeEvent(event);
    update();
    if (isVisible()) {
        storedRect_ = geometry();
        Post(UM_SUBWINDOW_SIZED, 0, Handle());
    }
}

void CMovieDialog::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton &&
        HitTestAt(event->globalPosition().toPoint()) == HitZone::kCaption)
        Post(UM_SUBWINDOW_DBLCLK, 0, 0);
    CSkinDialog::mouseDoubleClickEvent(event);
}

void CMovieDialog::OnReleased(QPoint globalCursor) {
    // An edge drag ends here (the skinned dialog finishes it at once).
    CSkinDialog::OnReleased(globalCursor);
    Post(UM_VIDEO_CLICKED, 0, kDetachedWindowScreen);
}

}  // namespace trivexa
