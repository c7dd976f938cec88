#include "controls/skin_progress.h"

#include <QPainter>

#include "app/core/layout_scale.h"
#include "controls/core/skin_rules.h"

namespace trivexa {

CSkinProgressBarCtrl::CSkinProgressBarCtrl(QWidget* parent, int controlId)
    : QWidget(parent), controlId_(controlId) {
    setWindowTitle(QStringLiteral("progress bar"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor CSkinProgressBarCtrl::BarColour() { return QColor(0, 0, 255); }
QColor CSkinProgressBarCtrl::BackColour() { return QColor(255, 255, 255); }

void CSkinProgressBarCtrl::SetRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    update();
}

void CSkinProgressBarCtrl::SetPos(int value) {
    if (value_ == value) return;
    value_ = value;
    update();
}

QString CSkinProgressBarCtrl::Text() const {
    return QString::fromStdString(
        PaintProgress(width(), minimum_, maximum_, value_, LayoutScale()).text);
}

void CSkinProgressBarCtrl::paintEvent(QPaintEvent*) {
    const ProgressPaint paint = PaintProgress(width(), minimum_, maximum_, value_, LayoutScale());
    QPainter p(this);
    const QRect done(0, 0, paint.splitX, paint.barHeight);
    p.fillRect(rect(), BackColour());
    p.fillRect(done, BarColour());

    const QRect textBox(paint.textLeft, 0, paint.textWidth, height());
    const QString text = QString::fromStdString(paint.text);
    p.setFont(font());
    p.save();
    p.setClipRect(done);
    p.setPen(BackColour());
    p.drawText(textBox, Qt::AlignCenter | Qt::TextSingleLine, text);
    p.restore();
    p.setClipRegion(QRegion(rect()).subtracted(QRegion(done)));
    p.setPen(BarColour());
    p.drawText(textBox, Qt::AlignCenter | Qt::TextSingleLine, text);
}

}  // namespace trivexa
