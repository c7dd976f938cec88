#pragma once
// CMovieStatic: a video surface of the main window. One camera's player draws
// into it (it is the player's display, VideoSurface); it passes the player's
// notices and the user's mouse actions on to its owner, the main window, by
// calling the owner directly with its camera index:
//   - the player is ready / reached its end (UM_PLAYER_READY, UM_PLAYER_ENDED);
//   - the playback graph has events queued (UM_GRAPH_NOTIFY), only from the
//     rear surface or from the front one while the rear holds no clip;
//   - a right click (UM_VIDEO_MENU) with the point on the screen;
//   - a single click, reported once the system's double-click time has passed
//     without a second click (UM_VIDEO_ZOOM_AT), from the front and rear
//     surfaces only;
//   - a double click on the surface that shows the primary screen, outside
//     zoom mode: toggle full screen.
// In zoom mode the surface shows the zoom cursor. When it is erased it draws
// black (blank, or no clip anywhere), the picture of its camera, or on black
// the text that the other camera has no video (UI strings 170 and 171).
//
// Callers: the main window creates both surfaces at start-up, gives each its
// camera index and itself as owner, and hands each to its player; all calls
// run on the UI thread. The players post their notices from their own threads
// to the surface, which handles them on the UI thread.

#include <QBasicTimer>
#include <QPoint>

#include "panels/core/video_window_rules.h"
#include "playback/video_surface.h"

namespace trivexa {

class CMovieStatic;

// Implemented by the main window. Every call arrives on the UI thread, from
// inside the surface's event handling: the owner may move, re-parent or
// repaint the surface, but must not delete it.
class MovieStaticOwner : public VideoSurfaceOwner {
public:
    // UM_GRAPH_NOTIFY: the playback graph of `camera` has events queued; the
    // owner drains the queue.
    virtual void OnGraphNotify(int camera) = 0;
    // UM_VIDEO_MENU: a right click on `surface` at `globalPoint` (screen
    // coordinates). The owner decides whether a menu opens.
    virtual void OnVideoMenu(QPoint globalPoint, CMovieStatic* surface) = 0;
    // UM_VIDEO_ZOOM_AT: a single click on surface `screen` at `clientPoint`.
    virtual void OnVideoZoomAt(int screen, QPoint clientPoint) = 0;
    // A double click on the primary surface outside zoom mode: toggle full
    // screen (the owner applies its own conditions, such as a loaded
    // recording).
    virtual void OnToggleFullScreen() = 0;
    // The screen index shown in the main window (0 or 1).
    virtual int PrimaryScreen() const = 0;
    // What the player of `camera` holds: 0 front, 1 rear, 2 the data camera
    // (not present when there is none).
    virtual CameraClip ClipOf(int camera) const = 0;
};

class CMovieStatic : public VideoSurface {
public:
    explicit CMovieStatic(QWidget* parent = nullptr);
    ~CMovieStatic() override;

    // The owner that receives every notice; null detaches the surface.
    void SetOwner(MovieStaticOwner* owner);
    MovieStaticOwner* Owner() const { return owner_; }
    // The camera index (also decides which clicks count).
    void SetCameraIndex(int index);

    // Zoom mode: clicks zoom instead of nothing, double clicks no longer
    // toggle full screen, and the zoom cursor shows.
    void SetZoomMode(bool on);
    bool ZoomMode() const { return zoomMode_; }
    // The zoom cursor alone (SetZoomMode sets it too).
    void SetZoomCursor(bool on);
    bool ZoomCursor() const { return zoomCursor_; }
    // While blank, erasing paints black and nothing else.
    void SetBlank(bool on);
    bool Blank() const { return blank_; }
    // The surface fills the monitor (kept by the main window).
    void SetFullScreenFlag(bool on) { fullScreen_ = on; }
    bool FullScreenFlag() const { return fullScreen_; }
    // The rear surface's mirrored flag, shown checked in the context menu.
    void SetMirroredFlag(bool on) { mirroredFlag_ = on; }
    bool MirroredFlag() const { return mirroredFlag_; }

    // What the last erase drew (for tests and the owner's checks).
    SurfaceErase LastErase() const { return lastErase_; }
    const ClickTracker& Clicks() const { return clicks_; }

protected:
    bool event(QEvent* event) override;
    bool PaintsInstead() override;
    void PaintInstead(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void Apply(const ClickTracker::Actions& actions);
    EraseInput CurrentEraseInput() const;
    void UpdateCursor();

    MovieStaticOwner* owner_ = nullptr;
    ClickTracker clicks_;
    QBasicTimer pressTimer_;    // timer 200
    QBasicTimer releaseTimer_;  // timer 201
    bool zoomMode_ = false;
    bool zoomCursor_ = false;
    bool blank_ = false;
    bool fullScreen_ = false;
    bool mirroredFlag_ = false;
    SurfaceErase lastErase_ = SurfaceErase::kBlack;
};

}  // namespace trivexa
