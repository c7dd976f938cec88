#pragma once
// Picture buttons and picture check boxes.
//
// CSkinButton shows one of four state pictures of a strip (normal, hot,
// pressed, disabled). The owner can latch it (it then stays on the pressed
// picture and does not light up under the mouse), hide its picture, or set
// its pressed flag. A click is an ordinary button click; Command(id) carries
// the button's command id to whoever listens. A text, when set, is drawn over
// the picture (the message box's buttons).
//
// CSkinCheckButton is a 12·s box picture followed by its caption. Its checked
// state belongs to the owner: a click only reports (clicked / Command), and the
// owner calls setChecked. Hovering the box lights it unless it is checked.
//
// Both take the keyboard focus by Tab where the window allows it and then
// show a focus ring; Space presses them. Tooltips are the ordinary QWidget
// tooltips, set by the owner.
//
// Callers: windows on the UI thread, which place the buttons (setGeometry),
// set their pictures after every change of the layout scale and set their
// fonts.

#include <QAbstractButton>

#include "controls/core/skin_rules.h"

namespace trivexa {

class CSkinButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CSkinButton(QWidget* parent = nullptr, int commandId = 0);

    int CommandId() const { return commandId_; }
    void SetCommandId(int id) { commandId_ = id; }

    // The four state pictures are frames of picture `number`, drawn at
    // `size` (the button's picture size; the owner sizes the button).
    void SetImages(int number, QSize size);
    int PictureNumber() const { return picture_; }
    QSize PictureSize() const { return pictureSize_; }

    // Held in by the owner: the pressed picture, no hover light.
    void SetLatched(bool latched);
    bool Latched() const { return state_.latched; }
    // Draw nothing at all.
    void SetHidden(bool hidden);
    bool Hidden() const { return state_.hidden; }
    // The pressed flag: set while the button is drawn pressed, cleared when it
    // is drawn normally; while set the mouse does not light the button.
    void SetPressed(bool pressed);
    bool Pressed() const { return state_.pressedFlag; }
    // Greyed: the hot picture, whatever else holds.
    void SetGreyed(bool greyed);

    // The state picture the button would show now (what the last paint drew).
    StatePicture ShownPicture() const;
    bool Hovered() const { return state_.hovered; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void Command(int commandId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Hidden under the pointer (its window closed by its own click), the
    // button gets no leave event: it drops its hover light here, or it would
    // still show it when the window is shown again.
    void hideEvent(QHideEvent* event) override;

private:
    ButtonState CurrentState() const;

    int commandId_;
    int picture_ = 0;
    QSize pictureSize_;
    ButtonState state_;
    bool keyboardFocus_ = false;
};

class CSkinCheckButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CSkinCheckButton(QWidget* parent = nullptr, int commandId = 0);

    int CommandId() const { return commandId_; }

    // The four state pictures of the box, frames of picture `number` drawn at
    // 12·s × 12·s (or `boxSize` when given).
    void SetImages(int number, QSize boxSize = QSize());
    int PictureNumber() const { return picture_; }

    void SetHidden(bool hidden);
    bool Hidden() const { return hidden_; }
    void SetTextColour(const QColor& colour);

    // The box picture shown now, and whether the mouse is over the box.
    StatePicture ShownPicture() const;
    bool BoxHovered() const { return boxHovered_; }
    // The box's rectangle: (0, 4·s), 12·s × 12·s.
    QRect BoxRect() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void Command(int commandId);

protected:
    void nextCheckState() override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int commandId_;
    int picture_ = 0;
    QSize boxSize_;
    bool hidden_ = false;
    bool boxHovered_ = false;
    bool keyboardFocus_ = false;
    QColor textColour_;
};

// Draws a one-pixel dotted focus ring inside `r`.
void DrawFocusRing(QPainter& painter, const QRect& r, const QColor& colour);

}  // namespace trivexa
