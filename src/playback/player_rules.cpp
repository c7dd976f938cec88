#include "playback/player_rules.h"

#include <cmath>

namespace trivexa {
namespace {

constexpr float kMediaUnitsPerMs = 10000.0f;
constexpr int kMaxVolume = 65535;
// Fraction of a frame by which a time may fall short of a frame's start and
// still count as that frame (far below any real clock step).
constexpr double kFrameAllowance = 0.01;

}  // namespace

std::int64_t FramesToMediaTime(float frameIntervalMs, std::int64_t frames) {
    const float t = frameIntervalMs * static_cast<float>(frames) * kMediaUnitsPerMs;
    return static_cast<std::int64_t>(t);
}

std::int64_t MediaTimeToFrames(float frameIntervalMs, std::int64_t mediaTime) {
    const double unit = static_cast<double>(frameIntervalMs) * kMediaUnitsPerMs;
    if (!(unit > 0.0)) return 0;
    // FramesToMediaTime truncates a single-precision product, which lands a
    // hair below the frame's start; without the small allowance a seek to a
    // frame would report the frame before it.
    return static_cast<std::int64_t>(
        std::floor(static_cast<double>(mediaTime) / unit + kFrameAllowance));
}

std::int64_t ScaleFrames(std::int64_t frames, double factor) {
    return static_cast<std::int64_t>(
        std::floor(static_cast<double>(frames) * factor + kFrameAllowance));
}

RateChoice RateForCode(int requested, int currentCode, bool canPlayBackwards) {
    switch (requested) {
        case 1:
            return {1, 1.0f};
        case 2:
            return {2, 2.0f};
        case 4:
            return {4, 4.0f};
        case -2:
            return {-2, canPlayBackwards ? -2.0f : 0.5f};
        case -4:
            return {-4, canPlayBackwards ? -4.0f : 0.25f};
        case -1:
            if (canPlayBackwards) return {-1, -1.0f};
            if (currentCode == -2) return {1, 1.0f};
            if (currentCode == 1) return {-2, 0.5f};
            // Neither normal nor half speed: back to normal speed. The code
            // follows the rate so that normal speed is audible again.
            return {1, 1.0f};
        default:
            // Unknown codes play at normal speed and are stored as normal
            // speed, so later steps of the speed buttons start from a known code.
            return {1, 1.0f};
    }
}

int AppliedVolume(int storedVolume, int rateCode) { return rateCode == 1 ? storedVolume : 0; }

float VolumeGain(int volume) {
    if (volume < 0) volume = 0;
    if (volume > kMaxVolume) volume = kMaxVolume;
    return static_cast<float>(volume) / static_cast<float>(kMaxVolume);
}

bool LayoutPicture(const PictureGeometry& g, LayoutRect& out) {
    if (g.zoomFactor == 0.0f) return false;
    const int W = g.clientWidth;
    const int H = g.clientHeight;
    if (W <= 0 || H <= 0) return false;
    LayoutRect r{0, 0, W, H};
    const float k = g.zoomFactor - 1.0f;
    const float fx = static_cast<float>(g.zoomX) / static_cast<float>(W);
    const float fy = static_cast<float>(g.zoomY) / static_cast<float>(H);
    r.right += static_cast<int>((1.0f - fx) * static_cast<float>(W) * k);
    r.left -= static_cast<int>(fx * static_cast<float>(W) * k);
    r.top -= static_cast<int>(fy * static_cast<float>(H) * k);
    r.bottom += static_cast<int>((1.0f - fy) * static_cast<float>(H) * k);
    if (r.left > r.right) return false;
    r.left += g.panX;
    r.right += g.panX;
    r.top += g.panY;
    r.bottom += g.panY;

    if (g.letterbox && g.nativeWidth > 0 && g.nativeHeight > 0) {
        const float x = static_cast<float>(g.nativeWidth) / static_cast<float>(g.nativeHeight);
        const float clientAspect = static_cast<float>(W) / static_cast<float>(H);
        int width = 0;
        int height = 0;
        if (clientAspect > x) {
            height = r.Height();
            width = static_cast<int>(static_cast<float>(height) * x);
        } else {
            width = r.Width();
            height = static_cast<int>(static_cast<float>(width) / x);
        }
        const LayoutRect box = r;
        r.left = (box.left + box.right - width) / 2;
        r.top = (box.top + box.bottom - height) / 2;
        r.right = (box.left + box.right + width) / 2;
        r.bottom = (box.top + box.bottom + height) / 2 + 1;
    }
    out = r;
    return true;
}

}  // namespace trivexa
