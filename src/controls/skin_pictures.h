#pragma once
// Skin pictures rendered for the screen. A picture is asked for by its number
// (the names in controls/core/skin_table.h) and a size in logical pixels; it
// comes back drawn sharply at that size for the screen's device pixel ratio,
// with alpha for its transparent parts. Renders are cached by number, frame and
// size, so a window may ask again on every paint.
//
// Callers: widgets on the UI thread (the cache is not locked). Requires a
// QGuiApplication.

#include <QPixmap>
#include <QSize>

namespace trivexa {

// The design size of one frame of `number` (empty for an unknown number).
QSize SkinDesignSize(int number);
// The number of frames (1 or 4; 0 for an unknown number).
int SkinFrameCount(int number);

// Frame `frame` of `number` drawn at `size` logical pixels. A null pixmap for
// an unknown number, an empty size or a frame outside the strip (a window
// treats it like a picture that could not be loaded and skips it).
QPixmap SkinPicture(int number, QSize size, int frame = 0);

// Frame `frame` at its design size × s, each side truncated.
QPixmap SkinPictureScaled(int number, float s, int frame = 0);

// Drops every cached render (after the layout scale or the screen changed).
void ClearSkinPictureCache();

}  // namespace trivexa
