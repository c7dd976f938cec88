#pragma once
// Geometry of the main window and of its two detached windows, as arithmetic
// without a display: the video area's size from the window rectangle, the
// place of every child, the caption band of the frame, what a change of the
// window's presentation (maximised, minimised, restored, moved) must do, the
// fit to the work area, the re-check of the layout scale when the work area
// changes, full-screen placement, the sizes and first places of the map host
// window and the secondary video window, the nine cells of the skinned
// background and the title's box.
//
// Every size follows the unit rule of layout_scale.h: a design size n is n·s
// truncated, and in a sum every product is truncated first. Rectangles are
// FrameRect (exclusive right and bottom, like the platform's RECT); client
// rectangles start at (0, 0), window rectangles are in screen coordinates.
//
// Callers: the main window (CVidorraDlg) and the detached windows, on the UI
// thread. Pure functions of their arguments; s is passed in, never read from
// the process-wide state, so a layout can be computed for any scale.

#include <array>
#include <optional>
#include <vector>

#include "controls/core/frame_geometry.h"

namespace trivexa {

// Design sizes of the main window (its height is kMainDesignHeight of
// layout_scale.h) and of the parts the layout is built from.
inline constexpr int kMainDesignWidth = 1120;
inline constexpr int kBrowserDesignWidth = 440;    // the browser panel without its margins
inline constexpr int kSideMarginUnits = 6;         // left of the video, right of the browser
inline constexpr int kTopBandUnits = 27;           // the caption band above the video
inline constexpr int kSeekSliderUnits = 10;        // height of the seek slider
inline constexpr int kTripPanelUnits = 105;        // height of the trip panel
inline constexpr int kGraphDesignUnits = 148;      // design height of the acceleration graph
inline constexpr int kControlBarUnits = 38;        // the bar of buttons along the bottom
inline constexpr int kControlButtonUnits = 32;     // a control button is square
inline constexpr int kControlButtonGapUnits = 11;  // between two control buttons
inline constexpr int kControlButtonCount = 16;
inline constexpr int kCaptionButtonCount = 3;
inline constexpr int kDetachedMarginUnits = 4;    // left, right and bottom of a detached window
inline constexpr int kDetachedCaptionUnits = 20;  // the caption strip of a detached window
inline constexpr int kSettingsDialogWidthUnits = 460;
inline constexpr int kSettingsDialogHeightUnits = 315;

// The video area's size W × H. The primary video surface is W wide and H + 2
// high.
struct VideoArea {
    int width = 0;
    int height = 0;
    bool operator==(const VideoArea&) const = default;
};

// *Main window sizes* from a window of `windowWidth` × `windowHeight`:
// W = w − 4·(6·s) − 440·s, H = h − 10·s − 38·s − 27·s − 148·s − 105·s.
VideoArea MainWindowSizes(int windowWidth, int windowHeight, float s);

// The sizes before the first window rectangle is known:
// W = 1120·s − 440·s − 4·(6·s), H = 4·s + 9/16 of (W − 2·(2·s)); 656 × 370 at s = 1.
VideoArea InitialVideoArea(float s);

// The main window's base size, 1120·s × 697·s.
FrameSize MainBaseSize(float s);

// *Place the video area*: the primary video surface, in the main window's
// client coordinates: (6·s, 27·s), W wide, H + 2 high.
FrameRect PlaceVideoArea(VideoArea video, float s);

// *Lay out the children*: every child's rectangle in client coordinates.
struct MainLayout {
    // False when the client area or the video area has no width: nothing is
    // moved (the window may then be minimised or not yet sized).
    bool valid = false;
    FrameRect videoSurface;  // the primary video surface (*Place the video area*)
    // The video rectangle kept for zoom, the detached windows and the
    // progress bar: (6·s, 27·s − 1, 6·s + W, 27·s + H + 2).
    FrameRect videoRect;
    FrameRect seekSlider;  // under the video, W × 10·s
    FrameRect tripPanel;   // under the slider, W × 105·s
    FrameRect graph;       // under the trip panel, down to the control bar
    FrameRect browser;     // right of the video, 440·s + 2·(6·s) wide
    std::array<FrameRect, kControlButtonCount> controlButtons;
    std::array<FrameRect, kCaptionButtonCount> captionButtons;  // close, maximise, minimise
    FrameRect volumeSlider;
};

MainLayout LayOutChildren(FrameSize client, VideoArea video, float s);

// Control button i (0..15): 32·s square along the bottom, 32·s + 11·s apart,
// with a gap of 32·s − 2·s before button 11. An empty rectangle for a client
// without width or an index out of range.
FrameRect ControlButtonRect(int index, FrameSize client, float s);

// Caption button i (0 close, 1 maximise/restore, 2 minimise): 46·s (close) or
// 26·s wide, 18·s high, at the top, touching each other and ending 10·s from
// the right edge.
FrameRect CaptionButtonRect(int index, FrameSize client, float s);

// The volume slider: 100·s × 20·s, 120·s from the right edge, centred in the
// control bar.
FrameRect VolumeSliderRect(FrameSize client, float s);

// UI string of the maximise button's tooltip: 178 while the window is
// maximised (and not in full screen), else 177.
int MaximiseTooltipId(bool maximised, bool fullScreen);

// --- the main window's frame ---------------------------------------------------

// The main window's own hit test: client in full screen; the caption for a
// point in (left + 6·s, top + 6·s, right − 6·s, top + 27·s) of a window that
// is not maximised; client everywhere else (the maximised caption band
// included, so that presses there reach the window's own caption dragging).
// A window without a rubber band leaves the hit test to the default handling.
HitZone MainWindowHitTest(const FrameRect& window, FramePoint point, float s, bool fullScreen,
                          bool maximised);

// Dragging a maximised window by its caption restores it once the pointer has
// moved more than 4·s from the press in x or in y.
bool DragLeavesMaximised(FramePoint press, FramePoint now, float s);

// How the window's presentation changed (the platform's size types).
enum class SizeType : int {
    kRestored = 0,
    kMinimised = 1,
    kMaximised = 2,
    kOther = 3,
};

struct PresentationFlags {
    bool maximised = false;
    bool minimised = false;
    bool mapShown = false;  // the map host window is on
    bool operator==(const PresentationFlags&) const = default;
};

// What *Maximise, minimise, restore* asks of the window, in this order.
struct SizeChangeActions {
    bool minimiseMap = false;              // minimise the map host window
    bool minimiseSecondary = false;        // minimise the secondary video window
    bool restoreMap = false;               // un-minimise the map host window
    bool restoreSecondary = false;         // un-minimise the secondary video window
    std::optional<float> tripWidthFactor;  // the trip panel's width factor
    bool resetPrimaryZoom = false;
    bool fitToWorkArea = false;  // *Fitting to the work area*
    // Classify the restore rectangle (size factors), target rectangle :=
    // restore rectangle, move there without repainting, *Main window sizes*,
    // *Lay out the children*, apply the video rectangles.
    bool returnToRestoreRect = false;
    bool updateMaximiseTooltip = false;
    bool raiseMap = false;        // bring the map host window to the top
    bool raiseSecondary = false;  // bring the secondary window to the top
    PresentationFlags after;      // the flags once the change is handled
};

// Trip panel width factors of the two presentations.
inline constexpr float kTripWidthMaximised = 1.15f;
inline constexpr float kTripWidthNormal = 1.0f;

SizeChangeActions OnSizeChanged(SizeType type, const PresentationFlags& before);

// What *Window moved* asks of the window (nothing at all in full screen; the
// new client origin is remembered otherwise).
struct MoveActions {
    bool rememberPosition = false;  // the new client origin is the window position
    bool fitToWorkArea = false;     // a maximised window springs back
    bool takeTargetRect = false;    // target rectangle := the window's rectangle
};

MoveActions OnWindowMoved(bool fullScreen, bool maximised, bool minimised, bool buttonDown,
                          DragDirection direction);

// A task bar that hides itself, as the shell reports it.
struct AutoHideTaskbar {
    FrameRect rect;
};

// *Fitting to the work area*: the target rectangle is the work area of the
// monitor; with an auto-hidden task bar along one edge of the monitor, that
// edge moves in by one pixel so the bar stays reachable.
FrameRect FitToWorkArea(const FrameRect& workArea, const FrameRect& monitor,
                        const std::optional<AutoHideTaskbar>& taskbar);

// *Re-checking the scale*.
struct ScaleRecheck {
    bool storeWorkArea = false;  // the work area changed: store it
    bool rescale = false;        // derive the detached base sizes, then *Rescale*
    float scale = 1.0f;          // the s handed to *Rescale* (when rescale)
};

// Stops when the base scale is unset (below 0) or the work area equals the
// stored one. Otherwise, with h0 = 697·s: s := height(A) / h0 × s when the
// work area is lower than h0, else s := the base scale.
ScaleRecheck RecheckScale(float baseScale, float s, const FrameRect& workArea,
                          const FrameRect& storedWorkArea);

// The main window follows its screen: the screen's work area changed (a panel
// appeared, grew or went away; an auto-hidden panel takes no room, so it is
// no change), its logical dpi changed, or the window moved to another screen.
struct ScreenChangeInput {
    bool fullScreen = false;
    bool maximised = false;
    float baseScale = -1.0f;       // the window's base scale (unset below 0)
    float scale = 1.0f;            // s in force
    float dpiFactor = 1.0f;        // d in force
    float screenDpiFactor = 1.0f;  // d of the screen now (logical dpi / 96)
    FrameRect workArea;            // of the screen now
    FrameRect storedWorkArea;      // the window's stored work area
};

struct ScreenChangePlan {
    bool storeWorkArea = false;  // the stored work area := the screen's
    // *Rescale*, with s set to `scale` before *Scale and fonts* runs again.
    bool rescale = false;
    float scale = 1.0f;
    // The s *Scale and fonts* then computes becomes the base scale: after a
    // dpi change the old base describes another screen.
    bool takeBaseScale = false;
    bool fitToWorkArea = false;  // maximised: fit the window to the work area again
};

// In full screen nothing happens (the window covers the monitor; the check
// runs at the next release once it is left). A changed dpi re-scales as at
// start-up (from s = 1, the result the new base scale), maximised or not.
// Otherwise a maximised window is fitted to a changed work area, and a normal
// one re-checks the scale (RecheckScale), whose s is handed over divided by
// the dpi factor in force (the same s at 96 dpi).
ScreenChangePlan PlanScreenChange(const ScreenChangeInput& in);

// Whether the window is maximised to fit its work area: at the second stage
// of start-up (step 4) when the fit of *Scale and fonts* at the s in force
// is below 1; then and after every re-scale when the window is wider or
// higher than the work area (the fit looks at the height only, and a narrow
// screen would leave part of the window beyond it). After a re-scale the
// caller passes a fit of 1: the re-check has just sized the window for the
// work area, and its fit at that s is below 1 by design (s ≈ 0.9 × the
// work area's height over 697·s).
bool MaximiseToFit(float fit, FrameSize window, const FrameRect& workArea);

// The window rectangle of *Rescale* and of *Main window start*: the top-left
// corner kept, (1120·s) × factor X by (697·s) × factor Y, each truncated.
FrameRect MainWindowRect(FramePoint topLeft, float s, float factorX, float factorY);

// *Full-screen placement*: the main window covers the whole monitor and the
// primary surface fills it.
struct FullScreenPlacement {
    FrameRect window;   // screen coordinates: the monitor
    FrameRect surface;  // client coordinates: (0, 0) with the monitor's size
};
FullScreenPlacement PlaceFullScreen(const FrameRect& monitor);

// --- the detached windows -------------------------------------------------------

// *Detached windows*, step 1: the base sizes derived again and again.
struct DetachedBaseSizes {
    FrameSize main;       // 1120·s × 697·s
    FrameSize map;        // 452 × 393 at s = 1
    FrameSize secondary;  // 452 × 274 at s = 1
    FrameSize settings;   // 460 × 315 at s = 1
};
DetachedBaseSizes DeriveDetachedBaseSizes(float s);

// The sizes the two detached windows carry from their creation until the
// first derivation: map host 452 × 369, secondary 656 × 370 at s = 1.
FrameSize InitialMapWindowSize(float s);
FrameSize InitialSecondaryWindowSize(float s);

// Width of the browser panel with its margins, 440·s + 2·(6·s) (the width of
// both detached windows at factor 1).
int BrowserBandWidth(float s);

// *Detached windows*, step 2: both windows over the browser panel, the map at
// its top and the secondary video window at its bottom. `windowPosition` is
// the main window's remembered client origin in screen coordinates; the video
// and browser rectangles are those of *Lay out the children*.
struct DetachedFactors {
    float x = 1.0f;
    float y = 1.0f;
};
struct DetachedPlaces {
    FrameRect map;        // screen coordinates
    FrameRect secondary;  // screen coordinates
};
DetachedPlaces DetachedFirstPlaces(FramePoint windowPosition, const FrameRect& videoRect,
                                   const FrameRect& browserRect, float s,
                                   const DetachedBaseSizes& bases, DetachedFactors mapFactors,
                                   DetachedFactors secondaryFactors);

// *Detached windows*, step 3: where the content (the secondary video surface,
// or the map view and the logo window) goes in a detached window of `window`
// size: (4·s, 20·s), (width − 2·(4·s)) × (height − 4·s − 20·s). An empty
// size when the window is too small to hold any.
FrameRect DetachedContentRect(FrameSize window, float s);

// --- painting -----------------------------------------------------------------

// One cell of the nine-slice background: `source` in the picture's pixels,
// `target` in the window's.
struct SliceCell {
    FrameRect source;
    FrameRect target;
    bool operator==(const SliceCell&) const = default;
};

// The nine-slice cells covering a target of `target` size with a picture of
// `picture` design size at scale s: source cells of a third of the picture
// each; destination cells u × v with u = truncate(picture width × s) / 3 and
// v likewise; the first column and row take the picture's first third, the
// last column and row its last third (placed flush with the far edge), every
// other one its middle third; each inner cell is drawn one pixel larger than
// truncate(u) × truncate(v) so that neighbours overlap, the cells along the
// window's edges at truncate(u) × truncate(v) so that the picture's outer edge
// lands on the window's edge. No cells when the picture is smaller than 3
// pixels a side after scaling or the target is empty.
std::vector<SliceCell> NineSliceCells(FrameSize picture, FrameSize target, float s);

// The title's box (left, top, right, bottom): (4·s + 6·s, 4·s, 400·s, 30·s);
// the text "Trivexa" goes left and top aligned in it.
FrameRect TitleRect(float s);
inline constexpr const char* kMainWindowTitle = "Trivexa";

}  // namespace trivexa
