#pragma once
// The system's one message box. Every error, warning and yes/no question of
// the viewer is shown by CMsgBox::Show in a skinned modal box (CMsgDlg): the
// caption on the light strip, the message on white, and one or two buttons at
// the bottom right.
//
//   CMsgBox box(this);
//   if (box.Show(UiText(172), UiText(kUiConfirmTitle), MsgBoxType::kYesNo) ==
//       MsgBoxResult::kFirst) ...
//
// Sizes follow the message: its widest line plus 80·s by the height of its
// lines plus 140·s. A message wider than the work area of the owner's monitor
// is wrapped, one taller than it scrolls inside the box, and the box is kept
// inside the work area.
//
// Callers: any window; Show may also be called from a worker thread, which
// then waits while the UI thread shows the box (the UI thread must not be
// waiting for that worker at the same time). The owner window, when given,
// must outlive the call.

#include <QString>

#include "controls/core/skin_rules.h"
#include "controls/skin_dialog.h"

class QLabel;
class QScrollArea;

namespace trivexa {

class CSkinButton;

class CMsgDlg : public CSkinDialog {
    Q_OBJECT
public:
    CMsgDlg(QWidget* owner, const QString& text, const QString& caption, MsgBoxType type);

    MsgBoxType Type() const { return type_; }
    // The button answering 1 (OK or yes) and the one answering 2 (Cancel or
    // no; hidden in a one-button box).
    CSkinButton* FirstButton() const { return first_; }
    CSkinButton* SecondButton() const { return second_; }
    // The message as laid out (wrapped lines joined by line feeds).
    QString ShownText() const;
    // The measured text: widest line and the sum of the line heights.
    QSize TextSize() const { return textSize_; }
    // Whether the message is taller than the box can show and scrolls.
    bool Scrolls() const;

    // The answer for a box closed without a button: 1 for a one-button box,
    // 2 otherwise.
    int ClosedResult() const;

    static QColor BackColour();  // white

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void LayOut(const QString& text);

    MsgBoxType type_;
    QWidget* owner_;
    CSkinButton* first_ = nullptr;
    CSkinButton* second_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QLabel* label_ = nullptr;
    QSize textSize_;
};

class CMsgBox {
public:
    explicit CMsgBox(QWidget* owner = nullptr) : owner_(owner) {}
    virtual ~CMsgBox() = default;

    // Shows the box modally and returns the button pressed.
    virtual MsgBoxResult Show(const QString& text, const QString& caption,
                              MsgBoxType type = MsgBoxType::kOk);
    // The same with texts in UTF-8 (UI strings) and the type as a number:
    // 0 OK, 1 OK and Cancel, 4 yes and no; any other number shows OK only.
    // Returns 1 or 2.
    int Show(const char* text, const char* caption, int type);

private:
    QWidget* owner_;
};

}  // namespace trivexa
