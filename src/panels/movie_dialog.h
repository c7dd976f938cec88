#pragma once
// CMovieDialog: a detached, resizable, skinned window that holds a video
// surface (the secondary video window) or the map and its logo window (the map
// host window) outside the main window. It draws a grey border around its
// client area below its caption strip and tells its owner, by posted
// messages, what happens to it:
//   UM_SUBWINDOW_CLOSED   its close button was clicked (then it closes);
//   UM_SUBWINDOW_SIZED    its size changed while visible (lParam: Handle());
//   UM_SUBWINDOW_PAINTED  it painted its frame (lParam: Handle());
//   UM_SUBWINDOW_DBLCLK   its caption band was double-clicked;
//   UM_VIDEO_CLICKED      the left button was released on it (lParam 2).
// The owner places the content (margins 4·s left, right and bottom, 20·s
// top, main_layout.h DetachedContentRect) on UM_SUBWINDOW_SIZED; the window
// itself never moves its children except its close button.
//
// Callers: the main window, on the UI thread. The window has no parent (it is
// owned by the desktop); the owner creates it hidden, sets its caption, base
// size and section, loads its size factors and gives it a rubber band
// (CResizeDialog). The owner must not repaint this window in answer to
// UM_SUBWINDOW_PAINTED, or the two would paint each other forever.

#include <QObject>
#include <QPen>
#include <QPointer>
#include <cstdint>

#include "controls/skin_dialog.h"

namespace trivexa {

class CMovieDialog : public CSkinDialog {
    Q_OBJECT
public:
    // `owner` receives the posted messages (null: nobody is told).
    explicit CMovieDialog(QObject* owner = nullptr);
    ~CMovieDialog() override;

    void SetOwner(QObject* owner) { owner_ = owner; }
    QObject* Owner() const { return owner_; }

    // The caption: UI string `uiStringId`, then the caption strip is redrawn.
    void SetCaption(int uiStringId);
    int CaptionId() const { return captionId_; }

    // The value this window's messages carry as lParam, so the owner can tell
    // its two detached windows apart.
    std::intptr_t Handle() const { return reinterpret_cast<std::intptr_t>(this); }

    // The last window rectangle (screen coordinates) seen while visible.
    QRect StoredWindowRect() const { return storedRect_; }
    // The border pen: 2 × truncate(4·s) wide, RGB(143, 143, 143). Made again
    // by RecreatePen after a change of the layout scale.
    const QPen& BorderPen() const { return borderPen_; }
    void RecreatePen();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void OnReleased(QPoint globalCursor) override;

private:
    void Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    QPointer<QObject> owner_;
    QPen borderPen_;
    QRect storedRect_;
    int captionId_ = 0;
};

}  // namespace trivexa
