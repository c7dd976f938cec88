#include "settings/setting_dlg.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include "app/core/layout_scale.h"
#include "app/core/program_version.h"
#include "app/core/ui_strings.h"
#include "app/messages/posted_message.h"
#include "controls/core/skin_table.h"
#include "controls/screens.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"

namespace trivexa {

namespace {

const QColor kTextColour(0x1b, 0x1e, 0x23);

QRect ToRect(const MsgBoxRect& r) { return QRect(r.x, r.y, r.width, r.height); }
MsgBoxRect ToBox(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

QString Ui(int id) { return QString::fromUtf8(UiString(id)); }

}  // namespace

CSettingDlg::CSettingDlg(QWidget* parent, QObject* notify)
    : CSkinDialog(parent), notify_(notify != nullptr ? notify : parent) {
    setWindowTitle(Ui(kUiSettingTitle));

    // The frames lie under the controls they surround.
    displayFrame_ = new QGroupBox(Ui(kUiDisplayFrame), this);
    versionFrame_ = new QGroupBox(Ui(kUiVersionFrame), this);
    for (QGroupBox* frame : {displayFrame_, versionFrame_}) {
        QPalette p = frame->palette();
        p.setColor(QPalette::WindowText, kTextColour);
        frame->setPalette(p);
    }

    versionText_ = new QLabel(this);
    versionText_->setObjectName(QStringLiteral("version%1").arg(kVersionTextId));
    versionText_->setTextFormat(Qt::PlainText);
    versionText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    versionText_->setText(
        QString::fromStdString(SettingVersionText(kProgramVersion, ProgramBuildDate())));
    QPalette textPalette = versionText_->palette();
    textPalette.setColor(QPalette::WindowText, kTextColour);
    versionText_->setPalette(textPalette);

    for (int i = 0; i < kEventDisplaySwitchCount; ++i) {
        auto* button = new CSkinCheckButton(this, kFirstSwitchCommand + i);
        button->setText(Ui(kEventDisplaySwitchRows[static_cast<std::size_t>(i)].uiString));
        button->SetTextColour(kTextColour);
        button->setChecked(states_.On(i));
        connect(button, &CSkinCheckButton::Command, this, &CSettingDlg::OnCommand);
        switches_[static_cast<std::size_t>(i)] = button;
    }

    AddCloseButton(kSettingCloseCommand);
    Relayout();
    Centre();
}

CSettingDlg::~CSettingDlg() = default;

QColor CSettingDlg::FaceColour() { return QColor(0xf0, 0xf0, 0xf0); }

CSkinCheckButton* CSettingDlg::Switch(int index) const {
    return index >= 0 && index < kEventDisplaySwitchCount
               ? switches_[static_cast<std::size_t>(index)]
               : nullptr;
}

void CSettingDlg::Relayout() {
    const SettingDialogLayout l = LayOutSettingDialog(LayoutScale());
    const QFont font = SharedFont(2);
    setFont(font);
    setFixedSize(l.width, l.height);
    displayFrame_->setFont(font);
    displayFrame_->setGeometry(ToRect(l.displayFrame));
    versionFrame_->setFont(font);
    versionFrame_->setGeometry(ToRect(l.versionFrame));
    versionText_->setFont(font);
    versionText_->setGeometry(ToRect(l.versionText));
    // The text keeps off the frame's top line.
    versionText_->setContentsMargins(0, U(4), 0, 0);
    for (std::size_t i = 0; i < switches_.size(); ++i) {
        CSkinCheckButton* button = switches_[i];
        button->setFont(font);
        button->setGeometry(ToRect(l.switches[i]));
        button->SetImages(skin::kCheckBox, QSize(l.boxSize, l.boxSize));
    }
    AddCloseButton(kSettingCloseCommand);
    update();
}

void CSettingDlg::Centre() {
    const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    QPoint anchor;
    if (owner != nullptr)
        anchor = owner->frameGeometry().center();
    else if (QGuiApplication::primaryScreen() != nullptr)
        anchor = QGuiApplication::primaryScreen()->geometry().center();
    const QRect monitor = MonitorRect(anchor);
    if (monitor.isEmpty()) return;
    const QRect work = WorkArea(anchor);
    const MsgBoxPoint at =
        CentreBox(width(), height(), ToBox(monitor), ToBox(work.isEmpty() ? monitor : work));
    move(at.x, at.y);
}

void CSettingDlg::Show() {
    Relayout();
    Centre();
    show();
    raise();
    activateWindow();
}

void CSettingDlg::OnCommand(int commandId) {
    if (commandId == kSettingCloseCommand) {
        reject();
        return;
    }
    const int index = EventDisplaySwitchForCommand(commandId);
    const std::optional<bool> on = states_.Press(index);
    if (!on) return;
    CSkinCheckButton* button = switches_[static_cast<std::size_t>(index)];
    button->setChecked(*on);
    button->repaint();
    PostMessageTo(notify_, UM_EVENT_DISPLAY, static_cast<std::uintptr_t>(index), *on ? 1 : 0);
}

void CSettingDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), FaceColour());
    DrawCaptionStrip(p);
    // A hairline keeps the borderless window apart from a light desktop.
    p.setPen(QColor(0x9a, 0x9e, 0xa4));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace trivexa
