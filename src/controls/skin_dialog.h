#pragma once
// CSkinDialog: the frame of every skinned dialog and of the detached windows.
// A light grey caption strip 20·s high along the top carries the window's
// icon (when one was set on the window itself) and its title in shared font 2;
// AddCloseButton puts the skinned close button at its right end. The dialog
// is moved by its caption band and, when it has a rubber band, resized from
// its edges (CResizeDialog). Keys never close it or move the focus: Escape,
// Enter and Tab do nothing, while a focused child still gets its own keys
// (Space presses a focused button, an edit box takes typing).
//
// Callers: derived dialogs, on the UI thread. A derived dialog lays out its
// children below the strip and repaints the rest of its client area; the base
// paints only the strip. The close button's click goes to ButtonClicked and
// by default rejects the dialog.

#include <QIcon>

#include "controls/resize_dialog.h"

namespace trivexa {

class CSkinButton;

class CSkinDialog : public CResizeDialog {
    Q_OBJECT
public:
    explicit CSkinDialog(QWidget* parent = nullptr);

    // Creates the close button (command id `commandId`) at (client right −
    // 20·s, client top + 4·s), 13·s × 12·s, with picture 352, and shows it.
    // Calling it again moves the existing button.
    CSkinButton* AddCloseButton(int commandId);
    CSkinButton* CloseButton() const { return closeButton_; }

    // Height of the caption strip (20·s).
    int CaptionStripHeight() const;

    // The strip's colour (the platform's light grey stock brush).
    static QColor CaptionStripColour();

    // Edge drags end here at once: clear the direction and, unless the press
    // was on the caption, move to the target rectangle.
    void ApplyTargetRect() override;

Q_SIGNALS:
    // A skinned button of this dialog was clicked (the close button's id).
    void ButtonClicked(int commandId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void resizeEvent(QResizeEvent* event) override;
    void OnReleased(QPoint globalCursor) override;

    // Draws the strip (for derived dialogs that paint their own background
    // first).
    void DrawCaptionStrip(QPainter& painter);

private:
    void PlaceCloseButton();

    CSkinButton* closeButton_ = nullptr;
};

}  // namespace trivexa
