#pragma once
// CMovieMenu: the context menu of the video surfaces, drawn by itself. Each
// item is 20·s high and at least 70·s wide (220·s in full screen), wider when
// its text needs it; the text is in shared font 2, 20·s from the left; a
// checked item has a tick left of its text. The item under the pointer is
// highlighted blue with white text (light blue with grey text when it cannot
// be chosen); other items lie on the system's menu colour, grey when they
// cannot be chosen. The keyboard moves the highlight (Up, Down), chooses
// (Enter, Space) and closes the menu (Escape).
//
// Callers: the main window on the UI thread, when a surface reports a right
// click: it builds the items (video_menu.h BuildVideoMenu), runs Exec at the
// click point and carries out the chosen command. Dismiss (or an Escape key
// sent to Active()) closes an open menu without a choice; the main window
// does so before a recording is opened and when the end margin is reached.

#include <QEventLoop>
#include <QWidget>
#include <optional>
#include <vector>

#include "app/core/video_menu.h"

namespace trivexa {

class CMovieMenu : public QWidget {
public:
    CMovieMenu(std::vector<VideoMenuItem> items, bool fullScreen, QWidget* parent = nullptr);
    ~CMovieMenu() override;

    // Shows the menu with its top-left corner at `globalPoint` (moved onto
    // the screen when it would leave it) and waits, running the event loop,
    // until an item is chosen or the menu is closed. The chosen command, or
    // nothing.
    std::optional<CommandId> Exec(QPoint globalPoint);
    // Closes the menu without a choice.
    void Dismiss();
    // The menu that is open now, if any.
    static CMovieMenu* Active();

    const std::vector<VideoMenuItem>& Items() const { return items_; }
    // Each item's rectangle in the menu (separators included).
    const std::vector<QRect>& ItemRects() const { return rects_; }
    int Highlighted() const { return highlighted_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void LayOutItems();
    int ItemAt(QPoint p) const;
    void Highlight(int index);
    void Choose(int index);
    void MoveHighlight(int step);

    std::vector<VideoMenuItem> items_;
    bool fullScreen_;
    std::vector<QRect> rects_;
    int highlighted_ = -1;
    std::optional<CommandId> chosen_;
    bool finished_ = false;
    QEventLoop* loop_ = nullptr;
    // The release of the press that opened the menu is no choice.
    MenuReleaseRule release_;
};

}  // namespace trivexa
