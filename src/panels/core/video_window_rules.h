#pragma once
// The rules of the video windows that need no display: how a video surface
// tells a single click from a double click, what it draws when it is erased,
// which graph notices it passes on, and the frame of a detached video window.
//
// Callers: CMovieStatic and CMovieDialog on the UI thread. ClickTracker keeps
// the state of one surface; everything else is a pure function.

#include <cstdint>
#include <optional>

namespace trivexa {

// Camera indexes of a video surface: −1 until assigned, 0 front, 1 rear,
// 2 the data camera.
inline constexpr int kSurfaceUnassigned = -1;
inline constexpr int kSurfaceDataCamera = 2;

struct ClickPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ClickPoint&) const = default;
};

// Single and double clicks of one surface. A press starts a timer of the
// system's double-click time (200); a release starts another (201). When the
// press timer fires before a double click arrived, the press counts as a
// single click and is reported with the press point; a double click stops
// both timers and swallows the single click and the release that follows it.
// Only the front and rear surfaces (0, 1) report clicks.
class ClickTracker {
public:
    struct Actions {
        bool startPressTimer = false;    // (re)start timer 200
        bool startReleaseTimer = false;  // (re)start timer 201
        bool stopTimers = false;         // stop 200 and 201
        bool releaseCapture = false;
        bool toggleFullScreen = false;     // the double click asks for full screen
        std::optional<ClickPoint> zoomAt;  // a confirmed single click
        bool operator==(const Actions&) const = default;
    };

    explicit ClickTracker(int cameraIndex = kSurfaceUnassigned) : camera_(cameraIndex) {}
    void SetCameraIndex(int index) { camera_ = index; }

    Actions Press(ClickPoint p);
    Actions Release(ClickPoint p);
    // `primary`: this surface shows the main window's primary screen.
    Actions DoubleClick(bool primary, bool zoomMode);
    Actions PressTimerFired();
    Actions ReleaseTimerFired();

    bool Pending() const { return pending_; }
    bool DoubleClickSeen() const { return doubleSeen_; }
    bool Released() const { return released_; }
    ClickPoint PressPoint() const { return press_; }
    ClickPoint ReleasePoint() const { return release_; }

private:
    bool ReportsClicks() const { return camera_ == 0 || camera_ == 1; }

    int camera_;
    bool pending_ = false;
    bool doubleSeen_ = false;
    bool released_ = false;
    ClickPoint press_;
    ClickPoint release_;
};

// What a camera's player holds, as the surface asks its owner.
struct CameraClip {
    bool present = false;    // the player initialised
    bool holdsClip = false;  // a clip is open
    bool playing = false;
};

// What erasing a surface draws.
enum class SurfaceErase : int {
    kBlack,         // fill the client area black, nothing else
    kPicture,       // the camera's picture (repainted unless it plays)
    kNoRearVideo,   // UI string 171 on black: the rear camera has no clip
    kNoFrontVideo,  // UI string 170 on black: the front camera has no clip
};

struct EraseInput {
    bool blank = false;
    int cameraIndex = kSurfaceUnassigned;
    CameraClip self;   // this surface's camera (the data camera for index 2)
    CameraClip front;  // player 0
    CameraClip rear;   // player 1
};

// *Erasing a video surface*. kPicture stands for "ask the player pair to
// repaint this camera unless it plays"; the surface's presenter keeps the
// camera's last picture and draws it again itself, so on this toolkit the
// surface just draws it.
SurfaceErase EraseSurface(const EraseInput& in);
// The UI string drawn for a text erase, 0 for none.
int EraseTextId(SurfaceErase e);

// UM_GRAPH_NOTIFY is passed on only from the rear surface, or from the front
// surface while the rear player holds no clip.
bool ForwardsGraphNotice(int cameraIndex, bool rearHoldsClip);

// The detached video window's frame: a pen 2 × truncate(4·s) wide, grey
// RGB(143, 143, 143), around the client area.
int MovieDialogBorderWidth(float s);
inline constexpr std::uint32_t kMovieDialogBorderRgb = 0x8F8F8F;
// The command id of its close button.
inline constexpr int kMovieDialogCloseCommand = 23;

}  // namespace trivexa
