#pragma once
// CSkinSliderCtrl: the seek and volume sliders. Four pictures make it: the
// left bar (up to the shown position), the right bar (the rest), the thumb and
// the thumb while dragged.
//
// The slider never moves its shown position by itself. A press posts
// UM_SLIDER_DOWN, each move while dragging UM_SLIDER_TRACK and the release
// UM_SLIDER_UP to the owner, each with wParam = the control id and lParam =
// the position under the mouse; the owner answers with SetPos. A press counts
// within 10·s beyond either end of the slider: presses on the owner window in
// that band reach the slider too. While disabled (Enable(false)), a press only
// holds the mouse, and a move or release ends any drag without a message.
//
// Callers: the owner window on the UI thread. It creates the slider with its
// id, sets the pictures (again after a change of the layout scale), the range
// and the position, and receives the posted messages in its event handler
// (AsPostedMessage). The owner must outlive the slider's posted messages, as
// with any posted event.

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include "controls/core/skin_rules.h"

namespace trivexa {

class CSkinSliderCtrl : public QWidget {
    Q_OBJECT
public:
    // A visible child of `owner` named "movie slider"; notifications go to
    // `owner` (or to `notify` when given).
    CSkinSliderCtrl(QWidget* owner, int controlId, QObject* notify = nullptr);
    ~CSkinSliderCtrl() override;

    int ControlId() const { return controlId_; }

    // Picture numbers: left bar, right bar, thumb, thumb pressed.
    void SetPictures(int leftBar, int rightBar, int thumb, int thumbPressed);
    void SetRange(int minimum, int maximum);
    // Moves the shown position and redraws.
    void SetPos(int position);
    void Enable(bool enabled);

    int Minimum() const { return minimum_; }
    int Maximum() const { return maximum_; }
    int Pos() const { return position_; }
    int TrackedPos() const { return tracked_; }
    bool Dragging() const { return dragging_; }
    bool IsSliderEnabled() const { return enabled_; }
    // Whether the last press landed on the thumb as it was drawn: a press off
    // the thumb is a jump, a press on it starts a drag.
    bool PressWasOnThumb() const { return pressOnThumb_; }

    // Geometry for the current size, pictures and scale.
    SliderGeometry Geometry() const;
    QRect ThumbRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The handlers take x in the slider's own coordinates.
    void Press(int x);
    void Move(int x);
    void Release();
    void Post(unsigned message);
    QSize ThumbSize() const;

    int controlId_;
    QPointer<QObject> notify_;
    int leftBar_ = 0;
    int rightBar_ = 0;
    int thumb_ = 0;
    int thumbPressed_ = 0;
    int minimum_ = 0;
    int maximum_ = 0;
    int position_ = 0;
    int tracked_ = 0;
    bool dragging_ = false;
    bool enabled_ = true;
    bool captured_ = false;
    bool pressOnThumb_ = false;
};

}  // namespace trivexa
