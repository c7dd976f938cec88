#pragma once
// CLapTimeArea: a text painter of the main window with fixed colours and font:
// text in white (0xFFFFFF) in shared font 2, drawn without a box of its own
// (the background shows through), over an area that can be filled with the
// dark grey 0x3F3F3F first.
//
// The main window binds it at initialisation (step 13); nothing in the
// windows built so far draws through it yet.
//
// Callers: the main window's painting, on the UI thread.

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QPainter;

namespace trivexa {

class CLapTimeArea {
public:
    static QColor BackgroundColour() { return QColor(0x3F, 0x3F, 0x3F); }
    static QColor TextColour() { return QColor(0xFF, 0xFF, 0xFF); }

    // Takes the shared font 2 in force (again after every change of scale).
    void Bind();
    bool Bound() const { return bound_; }
    const QFont& Font() const { return font_; }

    // Fills `area` with the background colour.
    void Fill(QPainter& painter, const QRect& area) const;
    // Draws `text` in `area` with the text colour and font, transparently.
    void DrawText(QPainter& painter, const QRect& area, const QString& text,
                  int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine) const;

private:
    QFont font_;
    bool bound_ = false;
};

}  // namespace trivexa
