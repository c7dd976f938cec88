#include "app/movie_menu.h"

#include <QApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <algorithm>

#include "app/core/layout_scale.h"
#include "app/core/ui_strings.h"
#include "controls/screens.h"
#include "controls/shared_fonts.h"

namespace trivexa {

namespace {

QPointer<CMovieMenu> g_active;

QColor Rgb(std::uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

QString TextOf(const VideoMenuItem& item) { return QString::fromUtf8(UiString(item.text)); }

// Height of a separator line's row.
int SeparatorHeight() { return std::max(3, U(7)); }

}  // namespace

CMovieMenu::CMovieMenu(std::vector<VideoMenuItem> items, bool fullScreen, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      items_(std::move(items)),
      fullScreen_(fullScreen) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setFont(SharedFont(2));
    LayOutItems();
}

CMovieMenu::~CMovieMenu() {
    if (g_active == this) g_active = nullptr;
}

CMovieMenu* CMovieMenu::Active() { return g_active.data(); }

void CMovieMenu::LayOutItems() {
    const FrameSize item = VideoMenuItemSize(fullScreen_, LayoutScale());
    // Items are at least their design width; a text that needs more widens
    // the whole menu rather than being cut off.
    const QFontMetrics metrics(font());
    int width = item.width;
    for (const VideoMenuItem& i : items_)
        if (!i.separator)
            width = std::max(
                width, U(kVideoMenuTextIndentUnits) + metrics.horizontalAdvance(TextOf(i)) + U(12));
    rects_.clear();
    int y = 0;
    for (const VideoMenuItem& i : items_) {
        const int h = i.separator ? SeparatorHeight() : item.height;
        rects_.push_back(QRect(0, y, width, h));
        y += h;
    }
    resize(width, y);
}

QSize CMovieMenu::sizeHint() const {
    return rects_.empty() ? QSize(0, 0) : QSize(rects_.back().width(), rects_.back().bottom() + 1);
}

int CMovieMenu::ItemAt(QPoint p) const {
    for (size_t i = 0; i < rects_.size(); ++i)
        if (rects_[i].contains(p) && !items_[i].separator) return static_cast<int>(i);
    return -1;
}

void CMovieMenu::Highlight(int index) {
    if (index == highlighted_) return;
    highlighted_ = index;
    update();
}

void CMovieMenu::Choose(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size())) return;
    const VideoMenuItem& item = items_[static_cast<size_t>(index)];
    if (item.separator || !item.enabled) return;
    chosen_ = item.command;
    hide();
}

void CMovieMenu::MoveHighlight(int step) {
    const int n = static_cast<int>(items_.size());
    int i = highlighted_;
    for (int tries = 0; tries < n; ++tries) {
        i = (i + step + n) % n;
        if (!items_[static_cast<size_t>(i)].separator) {
            Highlight(i);
            return;
        }
    }
}

std::optional<CommandId> CMovieMenu::Exec(QPoint globalPoint) {
    chosen_.reset();
    finished_ = false;
    highlighted_ = -1;
    LayOutItems();
    // Keep the menu on the screen of the click.
    const QRect screen = MonitorRect(globalPoint);
    QPoint at = globalPoint;
    if (!screen.isEmpty()) {
        if (at.x() + width() > screen.right() + 1)
            at.setX(std::max(screen.left(), at.x() - width()));
        if (at.y() + height() > screen.bottom() + 1)
            at.setY(std::max(screen.top(), at.y() - height()));
    }
    move(at);
    release_.Opened({globalPoint.x(), globalPoint.y()});
    g_active = this;
    show();
    raise();
    activateWindow();
    setFocus(Qt::PopupFocusReason);
    QPointer<CMovieMenu> self(this);
    if (!finished_) {
        QEventLoop loop;
        loop_ = &loop;
        loop.exec();
        if (!self) return std::nullopt;
        loop_ = nullptr;
    }
    if (g_active == this) g_active = nullptr;
    return chosen_;
}

void CMovieMenu::Dismiss() {
    chosen_.reset();
    hide();
}

void CMovieMenu::hideEvent(QHideEvent* event) {
    finished_ = true;
    if (loop_ != nullptr) loop_->quit();
    QWidget::hideEvent(event);
}

void CMovieMenu::mousePressEvent(QMouseEvent* event) {
    if (rect().contains(event->position().toPoint())) {
        release_.Pressed();
        event->accept();
        return;
    }
    // A press outside closes the popup.
    QWidget::mousePressEvent(event);
}

void CMovieMenu::mouseMoveEvent(QMouseEvent* event) {
    const QPoint global = event->globalPosition().toPoint();
    release_.Moved({global.x(), global.y()}, event->buttons() != Qt::NoButton,
                   QApplication::startDragDistance());
    Highlight(ItemAt(event->position().toPoint()));
}

void CMovieMenu::leaveEvent(QEvent*) { Highlight(-1); }

void CMovieMenu::mouseReleaseEvent(QMouseEvent* event) {
    if (!rect().contains(event->position().toPoint())) {
        // A release outside after a press outside: the popup is closing.
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (release_.Released()) Choose(ItemAt(event->position().toPoint()));
}

void CMovieMenu::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            Dismiss();
            break;
        case Qt::Key_Up:
            MoveHighlight(-1);
            break;
        case Qt::Key_Down:
            MoveHighlight(1);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            Choose(highlighted_);
            break;
        default:
            break;
    }
    event->accept();
}

void CMovieMenu::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor menuColour = QApplication::palette().color(QPalette::Window);
    p.fillRect(rect(), menuColour);
    const int indent = U(kVideoMenuTextIndentUnits);
    for (size_t i = 0; i < items_.size(); ++i) {
        const VideoMenuItem& item = items_[i];
        const QRect& r = rects_[i];
        if (item.separator) {
            const int y = r.center().y();
            p.setPen(QColor(0xA0, 0xA0, 0xA0));
            p.drawLine(r.left() + U(4), y, r.right() - U(4), y);
            continue;
        }
        const MenuItemColours c =
            VideoMenuItemColours(static_cast<int>(i) == highlighted_, item.enabled);
        if (!c.systemBackground) p.fillRect(r, Rgb(c.background));
        p.setPen(Rgb(c.text));
        p.drawText(r.adjusted(indent, 0, 0, 0),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, TextOf(item));
        if (item.checked) {
            // The tick: three points, 2·s wide, left of the text.
            QPen pen(Rgb(0x000000), std::max(1, U(2)));
            pen.setCapStyle(Qt::RoundCap);
            pen.setJoinStyle(Qt::RoundJoin);
            p.setPen(pen);
            p.setRenderHint(QPainter::Antialiasing, true);
            const int cy = r.center().y();
            const QPoint tick[3] = {QPoint(r.left() + U(5), cy), QPoint(r.left() + U(8), cy + U(3)),
                                    QPoint(r.left() + U(14), cy - U(4))};
            p.drawPolyline(tick, 3);
            p.setRenderHint(QPainter::Antialiasing, false);
        }
    }
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace trivexa
