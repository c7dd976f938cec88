#pragma once
// The layout scale and the unit rule every window uses for its sizes.
//
// A design size n becomes n·s pixels, the product truncated toward zero, and in
// a sum every product is truncated first (4·(6·s) is four times the truncated
// 6·s). s is one process-wide value: the main window sets it at start-up and
// when the monitor's work area changes; every other window only reads it.
//
// Coordinates are the toolkit's logical pixels: the toolkit applies the
// screen's device pixel ratio itself, so the dpi given here is its logical dpi.
//
// Threads: the scale is written and read on the UI thread only.

#include <array>

namespace trivexa {

// Design height of the main window; the scale fits it into the work area.
inline constexpr int kMainDesignHeight = 697;

// Design sizes in points of the seven shared fonts, font 1 first.
inline constexpr std::array<int, 7> kSharedFontPoints = {9, 10, 13, 17, 22, 12, 15};
inline constexpr int kSharedFontCount = static_cast<int>(kSharedFontPoints.size());

// n·s: the product truncated toward zero.
int Units(int n, float s);

// num/den of an integer: an integer multiplication, then a division truncated
// toward zero (9/16 of a width is Fraction(w, 9, 16)). 0 when den is 0.
int Fraction(int value, int num, int den);

// The platform's MulDiv: a × b / c rounded half away from zero, computed
// without overflow; -1 when c is 0.
int MulDiv(int a, int b, int c);

// The fit of the main window's design height into a work area: with the dpi
// factor d and the scale s in force, b = (697·s) × d and c = 0.9 × h; c / b
// when b exceeds c, otherwise 1. A work area without height (or a zero b)
// constrains nothing and gives 1.
float WorkAreaFit(float s, float d, int workAreaHeight);

// Input of one run of *Scale and fonts*.
struct ScaleInputs {
    float currentScale = 1.0f;  // s in force before the run
    int dpiX = 96;              // logical dots per inch of the main window's screen
    int dpiY = 96;
    int workAreaHeight = 0;  // of the monitor nearest the main window's top-left corner
};

struct ScaleOutcome {
    bool ok = false;  // false: the screen reported no positive dpi; nothing changes
    float dpiFactor = 1.0f;
    float fit = 1.0f;
    float scale = 1.0f;
    // Font heights in the platform's convention: negative = character height in
    // pixels without internal leading. Index 0 is shared font 1.
    std::array<int, kSharedFontCount> fontHeights{};
};

// d := dpiX / 96; s := fit × d; font i gets −MulDiv(truncate((N·s) / d), dpiY, 72).
// When dpiX is not positive the outcome is not ok and s stays as it was.
ScaleOutcome ComputeScaleAndFonts(const ScaleInputs& in);

// Height of a font of `points` design points at scale s, dpi factor d and
// vertical dpi dpiY (negative, as above).
int SharedFontHeight(int points, float s, float d, int dpiY);

// --- the process-wide scale state (UI thread) --------------------------------

// The layout scale s, 1.0 until the main window first computes it.
float LayoutScale();
// The dpi factor d, 1.0 until computed.
float DpiFactor();
// Written by the main window's scale computation and its re-check only.
void SetLayoutScale(float s);
void SetDpiFactor(float d);

// n·s with the process-wide s.
inline int U(int n) { return Units(n, LayoutScale()); }

}  // namespace trivexa
