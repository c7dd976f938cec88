#pragma once
// CInfoDlg: the trip information panel between the seek slider and the
// acceleration graph. For the playback position it shows the frame's date
// and time, the three accelerations under their axis names, the vehicle
// speed, the supply voltage (on cards with a trace file, for recordings that
// qualify), the playback-speed label, the recording's quality badge, the
// microphone mark and the GPS reception mark. Its three axis buttons (command
// ids 38600..38602) switch the graph's axis lines: a click inverts the
// button's flag and posts UM_INFO_TOGGLE with wParam = axis (0 X, 1 Y, 2 Z)
// and lParam = the new flag.
//
// The panel holds copies of what it shows (TripValues); the main window
// writes them through Values() and repaints it (update()) whenever the
// position changes. Texts, pictures and boxes come from panels/core/trip_rules.h;
// the panel only paints them, into the off-screen image of one paint.
//
// Callers: the main window, on the UI thread.

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <array>

#include "panels/core/trip_rules.h"

namespace trivexa {

class CSkinButton;

class CInfoDlg : public QWidget {
    Q_OBJECT
public:
    // A child of `parent`; notifications go to `notify`, or to the parent.
    explicit CInfoDlg(QWidget* parent = nullptr, QObject* notify = nullptr);
    ~CInfoDlg() override;

    // The values shown. The main window writes them and calls update().
    TripValues& Values() { return values_; }
    const TripValues& Values() const { return values_; }

    // Reset: every value that has a reset value gets it, and the panel is
    // redrawn at once. An axis button that returns to on posts its toggle, so
    // the graph's line comes back with it.
    void Reset();

    // Horizontal stretch: 1.15 while the main window is maximised, else 1.0.
    void SetWidthFactor(float k);
    float WidthFactor() const { return widthFactor_; }

    // After a change of the layout scale: the buttons' pictures and places.
    void ApplyScale();

    bool AxisFlag(int axis) const;
    CSkinButton* AxisButton(int axis) const;
    TripLayout Layout() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void AxisClicked(int axis);
    void SyncButtons();
    void PaintContents(QPainter& p);

    QPointer<QObject> notify_;
    TripValues values_;
    float widthFactor_ = 1.0f;
    std::array<CSkinButton*, 3> buttons_{};
    QImage frame_;
};

}  // namespace trivexa
