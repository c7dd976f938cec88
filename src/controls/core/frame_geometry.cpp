#include "controls/core/frame_geometry.h"

#include <cmath>
#include <limits>

#include "app/core/layout_scale.h"

namespace trivexa {

namespace {

FrameRect Band(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }

bool IsSingleEdge(DragDirection d) {
    return d == DragDirection::kLeft || d == DragDirection::kTop || d == DragDirection::kRight ||
           d == DragDirection::kBottom;
}

bool DragsLeft(DragDirection d) {
    return d == DragDirection::kLeft || d == DragDirection::kTopLeft ||
           d == DragDirection::kBottomLeft;
}
bool DragsRight(DragDirection d) {
    return d == DragDirection::kRight || d == DragDirection::kBottomRight ||
           d == DragDirection::kTopRight;
}
bool DragsTop(DragDirection d) {
    return d == DragDirection::kTop || d == DragDirection::kTopLeft ||
           d == DragDirection::kTopRight;
}
bool DragsBottom(DragDirection d) {
    return d == DragDirection::kBottom || d == DragDirection::kBottomRight ||
           d == DragDirection::kBottomLeft;
}

float Ratio(int value, int base) {
    // A base of 0 (a scale so small that the design size truncates to nothing)
    // is taken as 1 pixel rather than dividing by zero.
    return static_cast<float>(value) / static_cast<float>(base > 0 ? base : 1);
}

}  // namespace

HitZone HitTest(const HitTestInput& in) {
    const FrameRect& r = in.window;
    const FramePoint p = in.point;
    const int t = Units(kSizingEdgeUnits, in.scale);
    const int caption = Units(kCaptionBandUnits, in.scale);
    if (in.fullScreen) return HitZone::kClient;
    if (in.maximised && Band(r.left, r.top, r.right, r.top + caption).Contains(p))
        return HitZone::kCaption;
    if (Band(r.left, r.top, r.left + t, r.top + t).Contains(p)) return HitZone::kTopLeft;
    if (Band(r.right - t, r.top, r.right, r.top + t).Contains(p)) return HitZone::kTopRight;
    if (Band(r.left, r.top, r.right, r.top + t).Contains(p)) return HitZone::kTop;
    if (Band(r.left, r.bottom - t, r.left + t, r.bottom).Contains(p)) return HitZone::kBottomLeft;
    if (Band(r.right - t, r.bottom - t, r.right, r.bottom).Contains(p))
        return HitZone::kBottomRight;
    if (Band(r.left, r.top, r.left + t, r.bottom).Contains(p)) return HitZone::kLeft;
    if (Band(r.right - t, r.top, r.right, r.bottom).Contains(p)) return HitZone::kRight;
    if (Band(r.left, r.bottom - t, r.right, r.bottom).Contains(p)) return HitZone::kBottom;
    if (Band(r.left + t, r.top, r.right - t, r.top + caption).Contains(p)) return HitZone::kCaption;
    return HitZone::kClient;
}

DragDirection DirectionFromZone(HitZone zone) {
    switch (zone) {
        case HitZone::kLeft:
            return DragDirection::kLeft;
        case HitZone::kTop:
            return DragDirection::kTop;
        case HitZone::kRight:
            return DragDirection::kRight;
        case HitZone::kBottom:
            return DragDirection::kBottom;
        case HitZone::kTopLeft:
            return DragDirection::kTopLeft;
        case HitZone::kBottomRight:
            return DragDirection::kBottomRight;
        case HitZone::kBottomLeft:
            return DragDirection::kBottomLeft;
        case HitZone::kTopRight:
            return DragDirection::kTopRight;
        default:
            return DragDirection::kNone;
    }
}

ZoneCursor CursorForZone(HitZone zone) {
    switch (zone) {
        case HitZone::kLeft:
        case HitZone::kRight:
            return ZoneCursor::kSizeWE;
        case HitZone::kTop:
        case HitZone::kBottom:
            return ZoneCursor::kSizeNS;
        case HitZone::kTopLeft:
        case HitZone::kBottomRight:
            return ZoneCursor::kSizeNWSE;
        case HitZone::kTopRight:
        case HitZone::kBottomLeft:
            return ZoneCursor::kSizeNESW;
        default:
            return ZoneCursor::kArrow;
    }
}

ClassifyResult Classify(const FrameRect& r, DragDirection direction, FrameSize base,
                        FrameSize monitor) {
    const float rx = Ratio(r.Width(), base.width);
    const float ry = Ratio(r.Height(), base.height);
    const float mx = Ratio(monitor.width, base.width);
    const float my = Ratio(monitor.height, base.height);
    ClassifyResult out;
    out.factorX = rx < 1.0f ? 1.0f : (rx > mx ? mx : rx);
    out.factorY = ry < 1.0f ? 1.0f : (ry > my ? my : ry);
    if (direction == DragDirection::kNone) {
        out.clampCase = 0;
    } else if (IsSingleEdge(direction)) {
        if (ry > my)
            out.clampCase = 8;
        else if (ry < 1.0f)
            out.clampCase = 7;
        else if (rx < 1.0f)
            out.clampCase = 5;
        else if (rx > mx)
            out.clampCase = 6;
        else
            out.clampCase = 0;
    } else {
        if (rx < 1.0f && ry > my)
            out.clampCase = 2;
        else if (rx > mx && ry < 1.0f)
            out.clampCase = 3;
        else if (rx < 1.0f && ry < 1.0f)
            out.clampCase = 1;
        else if (rx > mx && ry > my)
            out.clampCase = 4;
        else if (ry > my)
            out.clampCase = 8;
        else if (ry < 1.0f)
            out.clampCase = 7;
        else if (rx < 1.0f)
            out.clampCase = 5;
        else if (rx > mx)
            out.clampCase = 6;
        else
            out.clampCase = 0;
    }
    return out;
}

FrameRect PutDraggedEdges(FrameRect r, DragDirection direction, FramePoint cursor) {
    if (DragsLeft(direction)) r.left = cursor.x;
    if (DragsRight(direction)) r.right = cursor.x;
    if (DragsTop(direction)) r.top = cursor.y;
    if (DragsBottom(direction)) r.bottom = cursor.y;
    return r;
}

ConstrainResult ConstrainNow(const FrameRect& r0, const ConstrainInput& in) {
    ConstrainResult out;
    out.changed = true;
    FrameRect r = PutDraggedEdges(r0, in.direction, in.cursor);
    out.factors = Classify(r, in.direction, in.base, in.monitor);
    const int c = out.factors.clampCase;
    if (c == 0) {
        out.rect = r;
        return out;
    }
    const int rw = r.Width(), rh = r.Height();
    const int bw = in.base.width, bh = in.base.height;
    const int mw = in.monitor.width, mh = in.monitor.height;
    //                         case:  1   2   3   4   5   6   7   8
    static constexpr int kWidthFrom[] = {0, 1, 1, 2, 2, 1, 2, 0, 0};  // 0 own, 1 base, 2 monitor
    static constexpr int kHeightFrom[] = {0, 1, 2, 1, 2, 0, 0, 1, 2};
    const int width = kWidthFrom[c] == 1 ? bw : kWidthFrom[c] == 2 ? mw : rw;
    const int height = kHeightFrom[c] == 1 ? bh : kHeightFrom[c] == 2 ? mh : rh;

    // Rebuild from the rectangle as it came in, so that the edge opposite each
    // dragged edge stays where it was; an edge that is not dragged keeps its
    // place, and a single edge sets only its own dimension.
    FrameRect a = r0;
    if (DragsLeft(in.direction)) a.left = a.right - width;
    if (DragsRight(in.direction)) a.right = a.left + width;
    if (DragsTop(in.direction)) a.top = a.bottom - height;
    if (DragsBottom(in.direction)) a.bottom = a.top + height;
    out.rect = a;
    return out;
}

ConstrainResult Constrain(const FrameRect& r, const ConstrainInput& in, FramePoint& memory) {
    if (in.cursor == memory) {
        ConstrainResult out;
        out.changed = false;
        out.rect = r;
        return out;
    }
    memory = in.cursor;
    return ConstrainNow(r, in);
}

bool IsUsableSizeFactor(double factor) {
    return std::isfinite(factor) && factor > 0.0 && factor <= kMaxSizeFactor;
}

int ScaledExtent(int base, double factor) {
    if (!std::isfinite(factor)) return base > 0 ? base : 1;
    const double v = static_cast<double>(base) * factor;
    if (v >= static_cast<double>(std::numeric_limits<int>::max() / 2))
        return std::numeric_limits<int>::max() / 2;
    const int n = static_cast<int>(v);
    return n > 0 ? n : 1;
}

}  // namespace trivexa
