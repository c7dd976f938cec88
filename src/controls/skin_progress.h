#pragma once
// CSkinProgressBarCtrl: the progress bar of file tasks. The part done is blue,
// the rest white, and the value reads "%d %%" in the middle, white over the
// blue part and blue over the white part, so it stays readable where the bar
// crosses it.
//
// Callers: the main window, on the UI thread. It places the bar along the
// bottom of a window, 22·s high, sets the range and the value, and sets its
// font (shared font 2).

#include <QWidget>

namespace trivexa {

class CSkinProgressBarCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CSkinProgressBarCtrl(QWidget* parent = nullptr, int controlId = 0);

    int ControlId() const { return controlId_; }
    void SetRange(int minimum, int maximum);
    void SetPos(int value);
    int Minimum() const { return minimum_; }
    int Maximum() const { return maximum_; }
    int Pos() const { return value_; }

    // The text shown for the current value.
    QString Text() const;

    static QColor BarColour();   // RGB(0, 0, 255)
    static QColor BackColour();  // white

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int controlId_;
    int minimum_ = 0;
    int maximum_ = 100;
    int value_ = 0;
};

}  // namespace trivexa
