#include "app/main_buttons.h"

#include <QToolTip>
#include <QWidget>

#include "app/core/layout_scale.h"
#include "app/core/ui_strings.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"

namespace trivexa {

namespace {

QRect ToQRect(const FrameRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

}  // namespace

MainButtons::MainButtons(QWidget* window) : QObject(window) {
    for (const ControlButtonInfo& info : ControlButtons()) {
        auto* b = new CSkinButton(window, static_cast<int>(info.command));
        b->setToolTip(QString::fromUtf8(UiString(info.tooltip)));
        b->setFocusPolicy(Qt::NoFocus);
        b->hide();
        connect(b, &CSkinButton::Command, this, &MainButtons::Command);
        controls_[static_cast<size_t>(info.index)] = b;
    }
    const auto captions = CaptionButtons();
    for (int i = 0; i < kCaptionButtonCount; ++i) {
        auto* b = new CSkinButton(window, static_cast<int>(captions[i].command));
        b->setFocusPolicy(Qt::NoFocus);
        b->hide();
        connect(b, &CSkinButton::Command, this, &MainButtons::Command);
        captions_[static_cast<size_t>(i)] = b;
    }
    UpdateMaximiseTooltip(false, false);
}

CSkinButton* MainButtons::Control(int index) const {
    return index >= 0 && index < kControlButtonCount ? controls_[static_cast<size_t>(index)]
                                                     : nullptr;
}

CSkinButton* MainButtons::Caption(int index) const {
    return index >= 0 && index < kCaptionButtonCount ? captions_[static_cast<size_t>(index)]
                                                     : nullptr;
}

void MainButtons::SetFace(int index, int picture, int tooltip) {
    CSkinButton* b = Control(index);
    const int size = Units(kControlButtonUnits, scale_);
    b->SetImages(picture, QSize(size, size));
    b->setToolTip(QString::fromUtf8(UiString(tooltip)));
}

void MainButtons::Rescale(float s) {
    scale_ = s;
    for (const ControlButtonInfo& info : ControlButtons()) {
        if (info.index == button::kPlayPause) continue;
        SetFace(info.index, info.picture, info.tooltip);
    }
    SetPlayFace(showPause_);
    const auto captions = CaptionButtons();
    for (int i = 0; i < kCaptionButtonCount; ++i)
        captions_[static_cast<size_t>(i)]->SetImages(
            captions[i].picture,
            QSize(Units(captions[i].widthUnits, s), Units(kCaptionButtonHeightUnits, s)));
    // The main window's tooltip control shows every button's tooltip in
    // shared font 1; on this toolkit that is the application's tooltip font.
    QToolTip::setFont(SharedFont(1));
}

void MainButtons::Place(const MainLayout& layout) {
    if (!layout.valid) return;
    for (int i = 0; i < kControlButtonCount; ++i) {
        controls_[static_cast<size_t>(i)]->setGeometry(ToQRect(layout.controlButtons[i]));
        controls_[static_cast<size_t>(i)]->show();
    }
    for (int i = 0; i < kCaptionButtonCount; ++i) {
        captions_[static_cast<size_t>(i)]->setGeometry(ToQRect(layout.captionButtons[i]));
        captions_[static_cast<size_t>(i)]->show();
    }
}

void MainButtons::SetAllVisible(bool visible) {
    for (CSkinButton* b : controls_) b->setVisible(visible);
    for (CSkinButton* b : captions_) b->setVisible(visible);
}

void MainButtons::SetPlayFace(bool showPause) {
    showPause_ = showPause;
    const ButtonFace face = PlayButtonFace(showPause);
    SetFace(button::kPlayPause, face.picture, face.tooltip);
}

void MainButtons::SetToggled(int index, bool on) {
    if (CSkinButton* b = Control(index)) b->SetLatched(on);
}

void MainButtons::UpdateMaximiseTooltip(bool maximised, bool fullScreen) {
    captions_[1]->setToolTip(QString::fromUtf8(UiString(MaximiseTooltipId(maximised, fullScreen))));
}

void MainButtons::Apply(const ButtonEnabling& e) {
    if (!e.apply) return;
    SetCaptionsEnabled(e.captionButtons);
    for (int i = 0; i < kControlButtonCount; ++i)
        controls_[static_cast<size_t>(i)]->setEnabled(e.controls[static_cast<size_t>(i)]);
}

void MainButtons::SetControlsEnabled(bool enabled) {
    for (CSkinButton* b : controls_) b->setEnabled(enabled);
}

void MainButtons::SetCaptionsEnabled(bool enabled) {
    for (CSkinButton* b : captions_) b->setEnabled(enabled);
}

}  // namespace trivexa
