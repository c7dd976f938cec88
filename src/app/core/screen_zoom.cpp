#include "app/core/screen_zoom.h"

#include <cmath>

#include "app/core/layout_scale.h"

namespace trivexa {

namespace {

// The unzoomed client coordinate shown at `x` by a picture grown by `factor`
// about `centre` and moved by `offset`: the player maps X to
// factor·X − (factor − 1)·centre + offset, this is its inverse.
double UnzoomedAt(int x, float factor, int centre, int offset) {
    return (static_cast<double>(x) + (factor - 1.0) * centre - offset) / factor;
}

int Truncate(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int>(v);
}

}  // namespace

FramePoint ZoomCentre(int screen, VideoArea video, float s) {
    if (screen == 0) return {video.width / 2, video.height / 2};
    const int b = BrowserBandWidth(s);
    return {b / 2, Fraction(b, 9, 32)};
}

void ResetZoom(ZoomRecord& record, int screen, VideoArea video, float s) {
    record.factor = kNoZoom;
    record.previousFactor = kNoZoom;
    record.offsetX = 0;
    record.offsetY = 0;
    record.zoomPoint = ZoomCentre(screen, video, s);
}

bool ZoomAtPoint(ZoomRecord& record, int screen, const FrameRect& client, FramePoint point,
                 VideoArea video, float s) {
    record.click = point;
    const float z = record.factor >= kNoZoom ? record.factor : kNoZoom;
    record.client = client;
    if (client.Width() <= 0) return false;
    record.previousFactor = z;
    // The picture point under the pointer, in unzoomed client coordinates.
    // Growing about that very point and moving by (pointer − point) keeps it
    // under the pointer at the next factor: factor·X − (factor − 1)·X + (x − X)
    // = x.
    const int x = point.x - client.left;
    const int y = point.y - client.top;
    const int ux = Truncate(UnzoomedAt(x, z, record.zoomPoint.x, record.offsetX));
    const int uy = Truncate(UnzoomedAt(y, z, record.zoomPoint.y, record.offsetY));
    record.offsetX = x - ux;
    record.offsetY = y - uy;
    record.zoomPoint = {x - record.offsetX, y - record.offsetY};
    record.factor = z + 1.0f;
    if (record.factor > kLargestZoom) ResetZoom(record, screen, video, s);
    return true;
}

ZoomArguments ZoomArgumentsOf(const ZoomRecord& record) {
    return {record.zoomPoint.x, record.zoomPoint.y, record.offsetX, record.offsetY, record.factor};
}

std::array<ZoomArguments, 2> VideoRectangles(const std::array<ZoomRecord, 2>& screens) {
    return {ZoomArgumentsOf(screens[0]), ZoomArgumentsOf(screens[1])};
}

}  // namespace trivexa
