#pragma once
// Arithmetic of the resizable frame that every borderless window of the viewer
// shares: which zone of the window a point is in, which edges a press drags,
// and how a dragged rectangle is kept between the window's base size and the
// size of its monitor, with the size factors that record the result.
//
// Rectangles are in screen coordinates with exclusive right and bottom edges
// (a point is inside when left <= x < right and top <= y < bottom).
//
// Callers: CResizeDialog and the main window, on the UI thread. Everything here
// is a pure function of its arguments except the cursor memory that Constrain
// reads and updates, which belongs to the caller.

namespace trivexa {

struct FramePoint {
    int x = 0;
    int y = 0;
    bool operator==(const FramePoint&) const = default;
};

struct FrameSize {
    int width = 0;
    int height = 0;
    bool operator==(const FrameSize&) const = default;
};

struct FrameRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(FramePoint p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    bool operator==(const FrameRect&) const = default;
};

// Hit-test zones, numbered like the platform's hit-test codes.
enum class HitZone : int {
    kNone = 0,
    kClient = 1,
    kCaption = 2,
    kLeft = 10,
    kRight = 11,
    kTop = 12,
    kTopLeft = 13,
    kTopRight = 14,
    kBottom = 15,
    kBottomLeft = 16,
    kBottomRight = 17,
};

// The edge or corner being dragged.
enum class DragDirection : int {
    kNone = 0,
    kLeft = 1,
    kTop = 2,
    kRight = 3,
    kBottom = 4,
    kTopLeft = 5,
    kBottomRight = 6,
    kBottomLeft = 7,
    kTopRight = 8,
};

// The pointer shape a zone shows.
enum class ZoneCursor { kArrow, kSizeWE, kSizeNS, kSizeNWSE, kSizeNESW };

// Height of the caption band and width of the sizing edges, in design units.
inline constexpr int kCaptionBandUnits = 27;
inline constexpr int kSizingEdgeUnits = 4;

struct HitTestInput {
    FrameRect window;  // the window's rectangle
    FramePoint point;  // the cursor
    float scale = 1.0f;
    bool fullScreen = false;
    bool maximised = false;
};

// The zone of the point, first match: full screen → client; maximised and in
// the top band → caption; corners and edges 4·s wide; the caption band between
// the edges; anything else → client.
HitZone HitTest(const HitTestInput& in);

// The edges a press in `zone` drags (kNone for client, caption and none).
DragDirection DirectionFromZone(HitZone zone);

ZoneCursor CursorForZone(HitZone zone);

// Which clamp an edge drag needs; 0 means the rectangle is within its limits.
// Tabled by the window's geometry rules: 1 base × base, 2 base width × monitor
// height, 3 monitor width × base height, 4 monitor × monitor, 5 base width,
// 6 monitor width, 7 base height, 8 monitor height.
struct ClassifyResult {
    int clampCase = 0;
    float factorX = 1.0f;  // width / base width, limited to [1, monitor / base]
    float factorY = 1.0f;
};

ClassifyResult Classify(const FrameRect& r, DragDirection direction, FrameSize base,
                        FrameSize monitor);

// The rectangle `r` with the edges of `direction` put at `cursor`.
FrameRect PutDraggedEdges(FrameRect r, DragDirection direction, FramePoint cursor);

struct ConstrainInput {
    DragDirection direction = DragDirection::kNone;
    FramePoint cursor;  // where the pointer is now
    FrameSize base;     // the window's base size
    FrameSize monitor;  // the whole monitor nearest the window's top-left corner
};

struct ConstrainResult {
    bool changed = false;  // false: the cursor had not moved since `memory`
    FrameRect rect;        // the constrained rectangle (r unchanged when !changed)
    ClassifyResult factors;
};

// Puts the dragged edges of r at the cursor and clamps the size by the table of
// Classify, keeping the edges opposite the dragged ones where they were. When
// the cursor equals `memory` nothing is computed (the rubber band need not
// move); otherwise `memory` takes the cursor.
ConstrainResult Constrain(const FrameRect& r, const ConstrainInput& in, FramePoint& memory);

// The same clamp without the cursor memory: *Finish resize* always constrains,
// so a release exactly where the previous one ended cannot apply a rectangle
// outside the limits.
ConstrainResult ConstrainNow(const FrameRect& r, const ConstrainInput& in);

// Size factors as stored in a window's settings section are accepted when they
// are finite, above 0 and at most this (a stored 1e30 would overflow the size).
inline constexpr double kMaxSizeFactor = 16.0;
bool IsUsableSizeFactor(double factor);

// base × factor, truncated, never below 1 pixel and never overflowing.
int ScaledExtent(int base, double factor);

}  // namespace trivexa
