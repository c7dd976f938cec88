#pragma once
// The display-free arithmetic of a player: frame units and media time, the
// rate-code table, the volume rule and the picture layout. Pure functions,
// called by MoviePlayer on the UI thread and by tests.

#include <cstdint>

namespace trivexa {

// Media time is in 100 ns units. The conversions use single precision on
// purpose: positions must agree with the rest of the viewer, which converts
// the same way, down to the truncation.
std::int64_t FramesToMediaTime(float frameIntervalMs, std::int64_t frames);
std::int64_t MediaTimeToFrames(float frameIntervalMs, std::int64_t mediaTime);
// A frame count multiplied by a factor (the rear camera's scale) and
// truncated, with the same allowance for rounding as MediaTimeToFrames.
std::int64_t ScaleFrames(std::int64_t frames, double factor);

// Rate codes: 1, 2, 4 forward; -1, -2, -4 backward or slow (see RateForCode).
struct RateChoice {
    int code = 1;       // the code stored after the change
    float rate = 1.0f;  // the playback rate to apply
};
// Maps a requested code to the rate. Without backwards playback -2 and -4 are
// slow motion (0.5, 0.25) and -1 toggles between normal and half speed.
RateChoice RateForCode(int requested, int currentCode, bool canPlayBackwards);
// Only normal speed is audible.
int AppliedVolume(int storedVolume, int rateCode);
// Channel gain for a volume 0..65535.
float VolumeGain(int volume);

struct LayoutRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const LayoutRect&) const = default;
};

struct PictureGeometry {
    int clientWidth = 0, clientHeight = 0;
    int zoomX = 0, zoomY = 0;  // zoom centre in client coordinates
    float zoomFactor = 0.0f;   // 1.0 = no zoom; 0.0 refuses every layout
    int panX = 0, panY = 0;
    bool letterbox = true;  // keep the picture's proportions
    int nativeWidth = 0, nativeHeight = 0;
};

// Destination rectangle of the picture in client coordinates. Returns false
// when the layout is refused (zoom factor 0, empty client, or a zoom that
// turns the rectangle inside out).
bool LayoutPicture(const PictureGeometry& g, LayoutRect& out);

}  // namespace trivexa
