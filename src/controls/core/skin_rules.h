#pragma once
// The rules of the skinned controls that do not need a display: which state
// picture a button shows, the check cycle of a list item, where a progress bar
// splits and what it reads, how a slider maps positions to pixels and back, and
// how a message box is sized. The widgets in src/controls/ only paint and feed
// events into these.
//
// Callers: the skinned widgets, on the UI thread. Pure functions.

#include <cstdint>
#include <string>

namespace trivexa {

// The four pictures of a button or check box strip, in strip order.
enum class StatePicture : int {
    kNormal = 0,
    kHot = 1,      // mouse over, and greyed
    kPressed = 2,  // pressed, checked or latched
    kDisabled = 3,
};
inline constexpr int kStatePictureCount = 4;

// --- buttons ----------------------------------------------------------------

struct ButtonState {
    bool hidden = false;
    bool greyed = false;
    bool enabled = true;
    bool down = false;     // the mouse button holds it down (selected)
    bool checked = false;  // check box: its checked flag
    bool latched = false;  // push button: held in by its owner
    bool hovered = false;  // the mouse is over it (over the box for a check box)
    bool pressedFlag = false;
};

struct ButtonPaint {
    bool draw = false;  // false: a hidden button draws nothing
    StatePicture picture = StatePicture::kNormal;
    bool pressedFlag = false;  // the pressed flag after drawing
};

// The drawing rule: nothing when hidden; greyed → hot picture; disabled →
// disabled picture; down → pressed picture and the pressed flag set; checked
// or latched → pressed picture; otherwise the normal picture and the pressed
// flag cleared. Over that, the mouse lights the hot picture unless the button
// is pressed, hidden, latched or checked, or cannot be used.
ButtonPaint PaintButton(const ButtonState& state);

// --- list items ---------------------------------------------------------------

// State pictures of a list item (the item's state-image index).
enum ListItemState : int {
    kListNoState = 0,
    kListUnchecked = 1,
    kListHot = 2,  // unchecked, under the mouse
    kListChecked = 3,
};

// A click: unchecked or hot → checked; checked → unchecked; anything else →
// unchecked.
int ListStateAfterClick(int state);
// The mouse leaves an item: hot → unchecked, others unchanged.
int ListStateOnLeave(int state);
// The mouse enters an item: unchecked → hot, others unchanged.
int ListStateOnEnter(int state);

// --- progress bar ---------------------------------------------------------------

struct ProgressPaint {
    int splitX = 0;  // pixels from the left that are filled blue
    int barHeight = 0;
    int textLeft = 0;  // the text box, 100·s wide around the middle
    int textWidth = 0;
    std::string text;  // the value as "%d %%"
};

// p = value / (maximum − minimum), 0 when the span is below 1; the split is
// truncate(width × p), kept within the control.
ProgressPaint PaintProgress(int width, int minimum, int maximum, int value, float scale);

// --- slider -------------------------------------------------------------------

struct SliderGeometry {
    int width = 0;       // client width W
    int thumbWidth = 0;  // thumb picture width × s
    int minimum = 0;
    int maximum = 0;
    float scale = 1.0f;
};

// Number of positions n = maximum − minimum + 1 (at least 1).
std::int64_t SliderSteps(const SliderGeometry& g);
// The x where the left bar ends for the shown position: W × pos ÷ n.
int SliderSplitX(const SliderGeometry& g, int position);
// The thumb's left edge: pos × (W − T) ÷ n.
int SliderThumbX(const SliderGeometry& g, int position);
// Drawn width of the thumb: T + 1·s.
int SliderThumbDrawWidth(const SliderGeometry& g);
// The position under x: x ÷ (W ÷ n), clamped to [minimum, maximum]. Computed
// as x × n ÷ W, so a range with more positions than pixels (a long recording
// on a short slider) still maps every pixel instead of dividing by zero.
int SliderPositionAt(const SliderGeometry& g, int x);
// A press or drag counts when x lies within 10·s of the slider's extent.
bool SliderInPressBand(const SliderGeometry& g, int x);
// The range is usable for tracking: maximum ≥ minimum.
bool SliderRangeValid(const SliderGeometry& g);

// --- skinned dialog caption strip ---------------------------------------------

inline constexpr int kCaptionStripUnits = 20;

struct CaptionLayout {
    int stripHeight = 0;  // 20·s
    int iconSize = 0;     // 20·s when the window has an icon, else 0
    int titleX = 0;       // 21·s with an icon, 5·s without
    int titleY = 0;       // 1·s
    int closeX = 0;       // client right − 20·s
    int closeY = 0;       // client top + 4·s
    int closeWidth = 0;   // 13·s
    int closeHeight = 0;  // 12·s
};

CaptionLayout LayOutCaption(int clientWidth, bool hasIcon, float scale);

// --- message box ----------------------------------------------------------------

// Message box types and results.
enum class MsgBoxType : int { kOk = 0, kOkCancel = 1, kYesNo = 4 };
enum class MsgBoxResult : int { kFirst = 1, kSecond = 2 };

struct MsgBoxRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const MsgBoxRect&) const = default;
};

struct MsgBoxLayout {
    int width = 0;  // dialog (W + 80·s) × (H + 140·s)
    int height = 0;
    MsgBoxRect text;       // (40·s, 30·s), (W + 40·s) × (H + 30·s)
    MsgBoxRect rightSlot;  // 100·s × 30·s, 15·s from the right and bottom
    MsgBoxRect leftSlot;   // 15·s left of the right slot
};

// W and H are the measured text (widest line, sum of line heights), pixels.
MsgBoxLayout LayOutMsgBox(int textWidth, int textHeight, float scale);

// The narrowest text area that still leaves room for the box's buttons: a
// short message in a two-button box would otherwise push the left button out
// of the box.
int MsgBoxMinTextWidth(MsgBoxType type, float scale);

// The widest text a box may hold on a work area of `workWidth` pixels: the box
// then still fits inside it. Wider text is wrapped to this width.
int MsgBoxMaxTextWidth(int workWidth, float scale);
// The tallest text a box may show on a work area of `workHeight` pixels;
// longer text scrolls inside the box.
int MsgBoxMaxTextHeight(int workHeight, float scale);

// Top-left corner that centres a box of `width` × `height` over `owner`, then
// moves it into `work` (left/top win when it is larger than the work area).
struct MsgBoxPoint {
    int x = 0, y = 0;
    bool operator==(const MsgBoxPoint&) const = default;
};
MsgBoxPoint CentreBox(int width, int height, const MsgBoxRect& owner, const MsgBoxRect& work);

}  // namespace trivexa
