#pragma once
// The seven shared fonts and *Scale and fonts*, which sets the layout scale
// from the screen and creates them.
//
// Every text of the viewer is drawn in one of these fonts, taken by number:
//   1  9 pt  tooltips, small labels       5  22 pt
//   2 10 pt  the main text font           6  12 pt
//   3 13 pt                               7  15 pt
//   4 17 pt
// The face is UI string 112; where that face is not installed the fonts fall
// back to Noto Sans CJK JP, so Japanese never renders as boxes.
//
// Callers: the main window runs RunScaleAndFonts during its initialisation and
// when it re-scales; every window reads SharedFont() when it lays itself out.
// UI thread only.

#include <QFont>
#include <QStringList>

#include "app/core/layout_scale.h"

class QWidget;

namespace trivexa {

// The family list given to every shared font: the face of UI string 112, then
// the fallback.
QStringList SharedFontFamilies();

// Shared font n (1..7). Before the fonts exist, after DeleteSharedFonts and
// for any other n: the application's default font (the system font).
QFont SharedFont(int n);
bool HaveSharedFonts();

// Creates the fonts from a computed outcome (heights in the platform's
// negative-height convention). Does nothing when the outcome is not ok.
void CreateSharedFonts(const ScaleOutcome& outcome);
void DeleteSharedFonts();

// *Scale and fonts* for `mainWindow`: reads the logical dpi of its screen and
// the work area of the monitor nearest its top-left corner, computes s and d
// from the s in force, stores them (SetLayoutScale, SetDpiFactor) and
// re-creates the fonts. Returns false, changing nothing, when the screen
// reports no positive dpi.
bool RunScaleAndFonts(QWidget* mainWindow);

// The inputs RunScaleAndFonts reads for `mainWindow` (for logging and tests).
ScaleInputs ScaleInputsFor(QWidget* mainWindow);

}  // namespace trivexa
