#include "controls/screens.h"

#include <QGuiApplication>
#include <QScreen>
#include <limits>

namespace trivexa {

namespace {

qint64 DistanceSquared(const QRect& r, QPoint p) {
    const qint64 dx =
        p.x() < r.left() ? r.left() - p.x() : (p.x() > r.right() ? p.x() - r.right() : 0);
    const qint64 dy =
        p.y() < r.top() ? r.top() - p.y() : (p.y() > r.bottom() ? p.y() - r.bottom() : 0);
    return dx * dx + dy * dy;
}

}  // namespace

QScreen* NearestScreen(QPoint global) {
    if (QScreen* s = QGuiApplication::screenAt(global)) return s;
    QScreen* best = QGuiApplication::primaryScreen();
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (QScreen* s : QGuiApplication::screens()) {
        const qint64 d = DistanceSquared(s->geometry(), global);
        if (d < bestDistance) {
            bestDistance = d;
            best = s;
        }
    }
    return best;
}

QRect MonitorRect(QPoint global) {
    QScreen* s = NearestScreen(global);
    return s ? s->geometry() : QRect();
}

QRect WorkArea(QPoint global) {
    QScreen* s = NearestScreen(global);
    return s ? s->availableGeometry() : QRect();
}

}  // namespace trivexa
