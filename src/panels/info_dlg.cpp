#include "panels/info_dlg.h"

#include <QPainter>

#include "app/core/layout_scale.h"
#include "app/core/ui_strings.h"
#include "app/messages/posted_message.h"
#include "controls/core/skin_table.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"
#include "controls/skin_pictures.h"
#include "panels/core/graph_rules.h"

namespace trivexa {

namespace {

// Read-outs in the larger font, names, units and labels in the text font.
constexpr int kValueFont = 3;
constexpr int kTextFont = 2;
// UI strings of the axis names.
constexpr int kAxisNameIds[3] = {62, 63, 64};
const QColor kText(255, 255, 255);
// Texts over a placeholder: present, but plainly not a value.
const QColor kPlaceholderText(0x6e, 0x76, 0x81);

QRect ToRect(const Box& b) { return QRect(b.x, b.y, b.w, b.h); }

QString ToQString(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

// Picture `number` drawn at `box` (skipped when it cannot be drawn).
void DrawPicture(QPainter& p, int number, const QRect& box) {
    if (number == 0 || box.isEmpty()) return;
    const QPixmap picture = SkinPicture(number, box.size());
    if (!picture.isNull()) p.drawPixmap(box.topLeft(), picture);
}

// Picture `number` at its design size × s, centred across `slot`, at its top.
void DrawCentred(QPainter& p, int number, const QRect& slot, float s) {
    const QPixmap picture = SkinPictureScaled(number, s);
    if (picture.isNull()) return;
    const int w = static_cast<int>(picture.width() / picture.devicePixelRatio());
    p.drawPixmap(slot.left() + (slot.width() - w) / 2, slot.top(), picture);
}

void DrawText(QPainter& p, const QRect& box, int flags, const QString& text, const QFont& font,
              const QColor& colour) {
    p.setFont(font);
    p.setPen(colour);
    p.drawText(box, flags | Qt::TextSingleLine | Qt::TextDontClip, text);
}

}  // namespace

CInfoDlg::CInfoDlg(QWidget* parent, QObject* notify)
    : QWidget(parent), notify_(notify != nullptr ? notify : parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (int i = 0; i < 3; ++i) {
        auto* button = new CSkinButton(this, kAxisButtonFirstId + i);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &CSkinButton::clicked, this, [this, i] { AxisClicked(i); });
        buttons_[i] = button;
    }
    ApplyScale();
}

CInfoDlg::~CInfoDlg() = default;

void CInfoDlg::Reset() {
    const std::array<bool, 3> before = values_.axisButtons;
    ResetTripValues(values_);
    for (int i = 0; i < 3; ++i)
        if (!before[i] && values_.axisButtons[i])
            PostMessageTo(notify_.data(), UM_INFO_TOGGLE, static_cast<std::uintptr_t>(i), 1);
    SyncButtons();
    repaint();
}

void CInfoDlg::SetWidthFactor(float k) {
    if (k == widthFactor_) return;
    widthFactor_ = k;
    SyncButtons();
    update();
}

void CInfoDlg::ApplyScale() {
    SyncButtons();
    update();
}

bool CInfoDlg::AxisFlag(int axis) const {
    return axis >= 0 && axis < 3 && values_.axisButtons[axis];
}

CSkinButton* CInfoDlg::AxisButton(int axis) const {
    return axis >= 0 && axis < 3 ? buttons_[axis] : nullptr;
}

TripLayout CInfoDlg::Layout() const { return ComputeTripLayout(LayoutScale(), widthFactor_); }

void CInfoDlg::AxisClicked(int axis) {
    const bool on = !values_.axisButtons[axis];
    values_.axisButtons[axis] = on;
    SyncButtons();
    PostMessageTo(notify_.data(), UM_INFO_TOGGLE, static_cast<std::uintptr_t>(axis), on ? 1 : 0);
}

void CInfoDlg::SyncButtons() {
    const TripLayout l = Layout();
    for (int i = 0; i < 3; ++i) {
        const QRect r = ToRect(l.axisButton[i]);
        if (buttons_[i]->geometry() != r) buttons_[i]->setGeometry(r);
        if (buttons_[i]->PictureNumber() != skin::kCheckBox ||
            buttons_[i]->PictureSize() != r.size())
            buttons_[i]->SetImages(skin::kCheckBox, r.size());
        // The button shows its axis's state: checked while the line is drawn.
        buttons_[i]->SetLatched(values_.axisButtons[i]);
        buttons_[i]->show();
    }
}

void CInfoDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    update();
}

void CInfoDlg::paintEvent(QPaintEvent*) {
    const qreal dpr = devicePixelRatioF();
    if (frame_.size() != size() * dpr || frame_.devicePixelRatio() != dpr) {
        frame_ = QImage(size() * dpr, QImage::Format_RGB32);
        frame_.setDevicePixelRatio(dpr);
    }
    {
        QPainter p(&frame_);
        PaintContents(p);
    }
    QPainter p(this);
    p.drawImage(0, 0, frame_);
}

void CInfoDlg::PaintContents(QPainter& p) {
    const float s = LayoutScale();
    const TripLayout l = Layout();
    const QRect all(QPoint(0, 0), size());
    p.fillRect(all, Qt::black);
    DrawPicture(p, skin::kPanelBackground, all);

    const QFont value = SharedFont(kValueFont);
    const QFont text = SharedFont(kTextFont);
    const int inset = Units(4, s);

    // Date and time of the frame.
    const QRect date = ToRect(l.date);
    if (const std::optional<std::string> shown = FrameDateText(values_)) {
        DrawText(p, date, Qt::AlignLeft | Qt::AlignVCenter, ToQString(*shown), value, kText);
    } else {
        DrawPicture(p, skin::kDatePlaceholder, date);
        DrawText(p, date.adjusted(inset, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                 ToQString(kNoDateText), value, kPlaceholderText);
    }

    // Playback-speed label.
    DrawText(p, ToRect(l.speedLabel), Qt::AlignLeft | Qt::AlignVCenter,
             QString::fromStdString(values_.speedText), text, kText);

    // Speed.
    const QRect speed = ToRect(l.speed);
    const SpeedReadout sr = SpeedText(values_);
    switch (sr.show) {
        case SpeedShow::Value: {
            // "km/h" closes the box; the number, with its trailing space,
            // stands right-aligned before it.
            const QString unit = ToQString(kSpeedUnit);
            const int unitWidth = QFontMetrics(text).horizontalAdvance(unit);
            DrawText(p, speed.adjusted(0, 0, -unitWidth, 0), Qt::AlignRight | Qt::AlignVCenter,
                     ToQString(sr.text), value, kText);
            DrawText(p, speed, Qt::AlignRight | Qt::AlignVCenter, unit, text, kText);
            break;
        }
        case SpeedShow::Placeholder:
            DrawPicture(p, skin::kSpeedPlaceholder, speed);
            break;
        case SpeedShow::Off:
            DrawText(p, speed, Qt::AlignRight | Qt::AlignVCenter, ToQString(sr.text), value, kText);
            break;
    }

    // Supply voltage.
    const VoltageReadout vr = VoltageText(values_);
    if (vr.show != VoltageShow::Hidden) {
        const QRect box = ToRect(l.voltage);
        const QRect unit = box.translated(l.voltageUnitShift, 0);
        const int lineHeight = Units(20, s);
        if (vr.show == VoltageShow::Value) {
            DrawText(p, QRect(box.left(), box.top(), box.width(), lineHeight),
                     Qt::AlignRight | Qt::AlignVCenter, ToQString(vr.text), value, kText);
        } else if (const SkinPictureInfo* info = FindSkinPicture(skin::kVoltagePlaceholder)) {
            DrawPicture(p, skin::kVoltagePlaceholder,
                        QRect(box.left() + l.voltagePlaceholderShift, box.top(),
                              Units(info->width, s), Units(info->height, s)));
        }
        DrawText(p, QRect(unit.left(), unit.top(), unit.width(), lineHeight),
                 Qt::AlignRight | Qt::AlignVCenter, ToQString(kVoltageUnit), value, kText);
    }

    // Accelerations.
    const double axes[3] = {values_.x, values_.y, values_.z};
    for (int i = 0; i < 3; ++i) {
        const Rgb c = SeriesPen(i);
        DrawText(p, ToRect(l.axisName[i]), Qt::AlignLeft | Qt::AlignTop,
                 QString::fromUtf8(UiString(kAxisNameIds[i])), text, QColor(c.r, c.g, c.b));
        const QRect box = ToRect(l.axisValue[i]);
        const AccelReadout ar = AccelText(axes[i]);
        if (ar.placeholder) DrawPicture(p, skin::kAccelPlaceholder, box);
        DrawText(p, box, Qt::AlignRight | Qt::AlignVCenter, ToQString(ar.text), value,
                 ar.placeholder ? kPlaceholderText : kText);
    }

    // Quality badge, microphone and reception marks.
    DrawPicture(p, BadgePicture(values_.badgeCode), ToRect(l.badge));
    DrawCentred(p, MicPicture(values_.mic), ToRect(l.micSlot), s);
    switch (ReceptionOf(values_)) {
        case ReceptionShow::Mark:
            DrawCentred(p, skin::kGpsReception, ToRect(l.receptionSlot), s);
            break;
        case ReceptionShow::Nothing:
            break;
        case ReceptionShow::Off:
            DrawText(p, ToRect(l.receptionOff), Qt::AlignRight | Qt::AlignTop, ToQString(kOffText),
                     text, kText);
            break;
    }
}

}  // namespace trivexa
