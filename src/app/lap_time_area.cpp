#include "app/lap_time_area.h"

#include <QPainter>

#include "controls/shared_fonts.h"

namespace trivexa {

void CLapTimeArea::Bind() {
    font_ = SharedFont(2);
    bound_ = true;
}

void CLapTimeArea::Fill(QPainter& p, const QRect& area) const {
    p.fillRect(area, BackgroundColour());
}

void CLapTimeArea::DrawText(QPainter& p, const QRect& area, const QString& text, int flags) const {
    p.save();
    p.setBackgroundMode(Qt::TransparentMode);
    p.setFont(bound_ ? font_ : SharedFont(2));
    p.setPen(TextColour());
    p.drawText(area, flags, text);
    p.restore();
}

}  // namespace trivexa
