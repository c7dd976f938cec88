#pragma once
// CSettingDlg: the settings dialog. Five switches choose which categories of
// recorder events the acceleration graph and the map show; a frame below
// shows the program version. Every press takes effect at once: the dialog
// posts UM_EVENT_DISPLAY (wParam = switch index 0..4, lParam = 1 on, 0 off) to
// the main window, whose handling is settings/core/event_display.h.
//
// The main window creates the dialog hidden at start-up, shows it on its
// settings command (Show) and keeps it for the whole session: closing only
// hides it, and the switches keep their states until the program ends. Nothing
// is saved.
//
// Callers: the main window, on the UI thread. The dialog's rules and layout
// are settings/core/setting_rules.h.

#include <QPointer>
#include <array>

#include "controls/skin_dialog.h"
#include "settings/core/setting_rules.h"

class QGroupBox;
class QLabel;

namespace trivexa {

class CSkinCheckButton;

class CSettingDlg : public CSkinDialog {
    Q_OBJECT
public:
    // A hidden dialog of `parent` (the main window); UM_EVENT_DISPLAY goes to
    // `notify`, or to the parent when that is null.
    explicit CSettingDlg(QWidget* parent, QObject* notify = nullptr);
    ~CSettingDlg() override;

    // The settings command: lays the dialog out, centres it on the monitor
    // that holds the parent and shows it, modeless.
    void Show();
    // After a change of the layout scale: sizes, places, fonts and pictures.
    void Relayout();

    // A command of the dialog: a switch (kFirstSwitchCommand up to
    // kLastSwitchCommand) or the close button (kSettingCloseCommand).
    void OnCommand(int commandId);

    bool SwitchOn(int index) const { return states_.On(index); }
    CSkinCheckButton* Switch(int index) const;
    QGroupBox* DisplayFrame() const { return displayFrame_; }
    QGroupBox* VersionFrame() const { return versionFrame_; }
    QLabel* VersionText() const { return versionText_; }

    static QColor FaceColour();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Centre();

    QPointer<QObject> notify_;
    EventDisplaySwitches states_;
    std::array<CSkinCheckButton*, kEventDisplaySwitchCount> switches_{};
    QGroupBox* displayFrame_ = nullptr;
    QGroupBox* versionFrame_ = nullptr;
    QLabel* versionText_ = nullptr;
};

}  // namespace trivexa
