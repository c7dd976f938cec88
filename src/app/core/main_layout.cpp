#include "app/core/main_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "app/core/layout_scale.h"

namespace trivexa {

namespace {

FrameRect RectAt(int x, int y, int width, int height) { return {x, y, x + width, y + height}; }

int NonNegative(int v) { return v < 0 ? 0 : v; }

// 9/16 of the main window's video width at factor 1, which both detached
// windows' heights are built from: 9/16 of (1120·s − 440·s − 4·(6·s) − 2·(2·s)).
int MapPictureHeight(float s) {
    return Fraction(Units(kMainDesignWidth, s) - Units(kBrowserDesignWidth, s) -
                        4 * Units(kSideMarginUnits, s) - 2 * Units(2, s),
                    9, 16);
}

// 9/16 of (440·s + 2·(6·s) − 2·(4·s)): the secondary window's picture height.
int SecondaryPictureHeight(float s) {
    return Fraction(BrowserBandWidth(s) - 2 * Units(kDetachedMarginUnits, s), 9, 16);
}

int TruncateFloat(double v) {
    if (!std::isfinite(v)) return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

}  // namespace

VideoArea MainWindowSizes(int windowWidth, int windowHeight, float s) {
    VideoArea v;
    v.width = windowWidth - 4 * Units(kSideMarginUnits, s) - Units(kBrowserDesignWidth, s);
    v.height = windowHeight - Units(10, s) - Units(kControlBarUnits, s) - Units(kTopBandUnits, s) -
               Units(kGraphDesignUnits, s) - Units(kTripPanelUnits, s);
    return v;
}

VideoArea InitialVideoArea(float s) {
    VideoArea v;
    v.width =
        Units(kMainDesignWidth, s) - Units(kBrowserDesignWidth, s) - 4 * Units(kSideMarginUnits, s);
    v.height = Units(4, s) + Fraction(v.width - 2 * Units(2, s), 9, 16);
    return v;
}

FrameSize MainBaseSize(float s) {
    return {Units(kMainDesignWidth, s), Units(kMainDesignHeight, s)};
}

FrameRect PlaceVideoArea(VideoArea video, float s) {
    return RectAt(Units(kSideMarginUnits, s), Units(kTopBandUnits, s), video.width,
                  video.height + 2);
}

FrameRect ControlButtonRect(int index, FrameSize client, float s) {
    if (client.width <= 0 || index < 0 || index >= kControlButtonCount) return {};
    const int size = Units(kControlButtonUnits, s);
    int x = Units(20, s) + index * (size + Units(kControlButtonGapUnits, s));
    // The file and view commands on the right stand apart from the transport.
    if (index >= 11) x += size - Units(2, s);
    const int y = client.height - (size + Units(kControlBarUnits, s)) / 2 - Units(1, s);
    return RectAt(x, y, size, size);
}

FrameRect CaptionButtonRect(int index, FrameSize client, float s) {
    if (client.width <= 0 || index < 0 || index >= kCaptionButtonCount) return {};
    const int width = index == 0 ? Units(46, s) : Units(26, s);
    const int x =
        client.width - Units(kSideMarginUnits, s) - Units(46, s) - Units(4, s) - index * width;
    return RectAt(x, 0, width, Units(18, s));
}

FrameRect VolumeSliderRect(FrameSize client, float s) {
    if (client.width <= 0) return {};
    const int x = client.width - Units(120, s);
    const int y = client.height - Units(5, s) - (Units(kControlBarUnits, s) + Units(12, s)) / 2;
    return RectAt(x, y, Units(100, s), Units(20, s));
}

MainLayout LayOutChildren(FrameSize client, VideoArea video, float s) {
    MainLayout l;
    l.videoSurface = PlaceVideoArea(video, s);
    if (client.width <= 0 || video.width <= 0) return l;
    l.valid = true;

    const int left = l.videoSurface.left;
    // The surface's rectangle shifted up by one pixel, then right := left + W
    // and bottom := bottom + 1.
    l.videoRect = {left, l.videoSurface.top - 1, left + video.width, l.videoSurface.bottom};

    const int slider = Units(kSeekSliderUnits, s);
    const int trip = Units(kTripPanelUnits, s);
    l.seekSlider = RectAt(left, l.videoRect.bottom, video.width, slider);
    l.tripPanel = RectAt(left, l.videoRect.bottom + slider, video.width, trip);
    const int graphTop = l.videoRect.bottom + trip + slider;
    const int graphHeight = client.height - l.videoRect.bottom - trip - slider -
                            Units(kControlBarUnits, s) - Units(5, s) + Units(2, s);
    l.graph = RectAt(left, graphTop, video.width, NonNegative(graphHeight));

    l.browser = {l.videoRect.right, l.videoRect.top + 1, l.videoRect.right + BrowserBandWidth(s),
                 client.height - Units(4, s) - Units(kControlBarUnits, s) + Units(1, s)};
    if (l.browser.bottom < l.browser.top) l.browser.bottom = l.browser.top;

    for (int i = 0; i < kControlButtonCount; ++i)
        l.controlButtons[i] = ControlButtonRect(i, client, s);
    for (int i = 0; i < kCaptionButtonCount; ++i)
        l.captionButtons[i] = CaptionButtonRect(i, client, s);
    l.volumeSlider = VolumeSliderRect(client, s);
    return l;
}

int MaximiseTooltipId(bool maximised, bool fullScreen) {
    return maximised && !fullScreen ? 178 : 177;
}

HitZone MainWindowHitTest(const FrameRect& window, FramePoint point, float s, bool fullScreen,
                          bool maximised) {
    if (fullScreen || maximised) return HitZone::kClient;
    const int margin = Units(kSideMarginUnits, s);
    const FrameRect caption{window.left + margin, window.top + margin, window.right - margin,
                            window.top + Units(kTopBandUnits, s)};
    return caption.Contains(point) ? HitZone::kCaption : HitZone::kClient;
}

bool DragLeavesMaximised(FramePoint press, FramePoint now, float s) {
    const int limit = Units(4, s);
    return std::abs(now.x - press.x) > limit || std::abs(now.y - press.y) > limit;
}

SizeChangeActions OnSizeChanged(SizeType type, const PresentationFlags& before) {
    SizeChangeActions a;
    a.after = before;
    switch (type) {
        case SizeType::kMinimised:
            a.minimiseMap = before.mapShown;
            a.minimiseSecondary = true;
            a.after.maximised = false;
            a.after.minimised = true;
            break;
        case SizeType::kMaximised:
            if (before.maximised) break;
            if (before.minimised) {
                a.restoreMap = before.mapShown;
                a.restoreSecondary = true;
            }
            a.tripWidthFactor = kTripWidthMaximised;
            a.after.maximised = true;
            a.after.minimised = false;
            a.resetPrimaryZoom = true;
            a.fitToWorkArea = true;
            break;
        case SizeType::kRestored:
            if (!before.maximised && !before.minimised) break;
            if (before.minimised) {
                a.restoreMap = before.mapShown;
                a.restoreSecondary = true;
            }
            a.tripWidthFactor = kTripWidthNormal;
            a.resetPrimaryZoom = true;
            a.returnToRestoreRect = true;
            a.after.maximised = false;
            a.after.minimised = false;
            a.updateMaximiseTooltip = true;
            a.raiseMap = before.mapShown;
            a.raiseSecondary = true;
            break;
        case SizeType::kOther:
            a.after.maximised = false;
            a.after.minimised = false;
            break;
    }
    return a;
}

MoveActions OnWindowMoved(bool fullScreen, bool maximised, bool minimised, bool buttonDown,
                          DragDirection direction) {
    MoveActions a;
    if (fullScreen) return a;
    a.rememberPosition = true;
    if (maximised) {
        a.fitToWorkArea = buttonDown;
    } else {
        const bool edgeDrag = buttonDown && direction != DragDirection::kNone;
        a.takeTargetRect = !edgeDrag && !minimised;
    }
    return a;
}

FrameRect FitToWorkArea(const FrameRect& workArea, const FrameRect& monitor,
                        const std::optional<AutoHideTaskbar>& taskbar) {
    FrameRect target = workArea;
    if (!taskbar) return target;
    const FrameRect& t = taskbar->rect;
    const FrameRect& m = monitor;
    if (t.left == m.left && t.right != m.right)
        target.left += 1;
    else if (t.top == m.top && t.bottom != m.bottom)
        target.top += 1;
    else if (t.right == m.right && t.left != m.left)
        target.right -= 1;
    else if (t.bottom == m.bottom && t.top != m.top)
        target.bottom -= 1;
    return target;
}

ScaleRecheck RecheckScale(float baseScale, float s, const FrameRect& workArea,
                          const FrameRect& storedWorkArea) {
    ScaleRecheck r;
    r.scale = s;
    if (baseScale < 0.0f) return r;
    const int h0 = Units(kMainDesignHeight, s);
    if (workArea == storedWorkArea) return r;
    r.storeWorkArea = true;
    const int height = workArea.Height();
    if (h0 > 0 && height < h0)
        r.scale = static_cast<float>(height) / static_cast<float>(h0) * s;
    else
        r.scale = baseScale;
    // A work area without height (a screen that went away) must not scale the
    // window to nothing; the base scale stands in for it.
    if (!(r.scale > 0.0f)) r.scale = baseScale;
    r.rescale = true;
    return r;
}

ScreenChangePlan PlanScreenChange(const ScreenChangeInput& in) {
    ScreenChangePlan plan;
    if (in.fullScreen) return plan;
    const bool dpiChanged = std::fabs(in.screenDpiFactor - in.dpiFactor) > 1e-4f;
    if (dpiChanged && in.screenDpiFactor > 0.0f) {
        plan.storeWorkArea = true;
        plan.rescale = true;
        plan.scale = 1.0f;
        plan.takeBaseScale = true;
        plan.fitToWorkArea = in.maximised;
        return plan;
    }
    if (in.maximised) {
        plan.fitToWorkArea = in.workArea != in.storedWorkArea;
        return plan;
    }
    const ScaleRecheck r = RecheckScale(in.baseScale, in.scale, in.workArea, in.storedWorkArea);
    plan.storeWorkArea = r.storeWorkArea;
    plan.rescale = r.rescale;
    // The re-checked s includes the dpi factor, and *Scale and fonts*
    // multiplies by it again (its first run starts from s = 1, without it).
    // Handing it over without d keeps a window at 144 dpi the size it had at
    // start-up when the work area grows back, instead of 1 / 1.5 of it.
    plan.scale = in.dpiFactor > 0.0f ? r.scale / in.dpiFactor : r.scale;
    return plan;
}

bool MaximiseToFit(float fit, FrameSize window, const FrameRect& workArea) {
    if (fit < 1.0f) return true;
    if (workArea.Width() <= 0 || workArea.Height() <= 0) return false;
    return window.width > workArea.Width() || window.height > workArea.Height();
}

FrameRect MainWindowRect(FramePoint topLeft, float s, float factorX, float factorY) {
    const FrameSize base = MainBaseSize(s);
    return RectAt(topLeft.x, topLeft.y, ScaledExtent(base.width, factorX),
                  ScaledExtent(base.height, factorY));
}

FullScreenPlacement PlaceFullScreen(const FrameRect& monitor) {
    return {monitor, {0, 0, monitor.Width(), monitor.Height()}};
}

int BrowserBandWidth(float s) {
    return Units(kBrowserDesignWidth, s) + 2 * Units(kSideMarginUnits, s);
}

DetachedBaseSizes DeriveDetachedBaseSizes(float s) {
    DetachedBaseSizes b;
    b.main = MainBaseSize(s);
    b.map = {BrowserBandWidth(s), MapPictureHeight(s) + Units(kDetachedCaptionUnits, s) +
                                      2 * Units(kDetachedMarginUnits, s) - Units(1, s)};
    b.secondary = {BrowserBandWidth(s),
                   SecondaryPictureHeight(s) + Units(4, s) + Units(kDetachedCaptionUnits, s) + 1};
    b.settings = {Units(kSettingsDialogWidthUnits, s), Units(kSettingsDialogHeightUnits, s)};
    return b;
}

FrameSize InitialMapWindowSize(float s) {
    return {BrowserBandWidth(s), MapPictureHeight(s) + Units(4, s) - Units(1, s)};
}

FrameSize InitialSecondaryWindowSize(float s) {
    const int width =
        Units(kMainDesignWidth, s) - Units(kBrowserDesignWidth, s) - 4 * Units(kSideMarginUnits, s);
    return {width, MapPictureHeight(s) + Units(4, s)};
}

DetachedPlaces DetachedFirstPlaces(FramePoint windowPosition, const FrameRect& videoRect,
                                   const FrameRect& browserRect, float s,
                                   const DetachedBaseSizes& bases, DetachedFactors mapFactors,
                                   DetachedFactors secondaryFactors) {
    DetachedPlaces p;
    const int x = windowPosition.x + videoRect.right;
    p.map =
        RectAt(x, windowPosition.y + videoRect.top + 1, ScaledExtent(bases.map.width, mapFactors.x),
               ScaledExtent(bases.map.height, mapFactors.y));
    // With factor 1 the secondary window's bottom edge meets the browser's.
    const int secondaryTop = windowPosition.y + browserRect.bottom -
                             Units(kDetachedMarginUnits, s) - SecondaryPictureHeight(s) -
                             Units(kDetachedCaptionUnits, s) - 1;
    p.secondary = RectAt(x, secondaryTop, ScaledExtent(bases.secondary.width, secondaryFactors.x),
                         ScaledExtent(bases.secondary.height, secondaryFactors.y));
    return p;
}

FrameRect DetachedContentRect(FrameSize window, float s) {
    const int margin = Units(kDetachedMarginUnits, s);
    const int caption = Units(kDetachedCaptionUnits, s);
    return RectAt(margin, caption, NonNegative(window.width - 2 * margin),
                  NonNegative(window.height - margin - caption));
}

std::vector<SliceCell> NineSliceCells(FrameSize picture, FrameSize target, float s) {
    std::vector<SliceCell> cells;
    const float u = static_cast<float>(Units(picture.width, s)) / 3.0f;
    const float v = static_cast<float>(Units(picture.height, s)) / 3.0f;
    const int uw = TruncateFloat(u);
    const int vh = TruncateFloat(v);
    // A picture that scales below 3 pixels a side would make cells of no size
    // (and endless columns); there is nothing to draw with it.
    if (uw < 1 || vh < 1 || target.width <= 0 || target.height <= 0) return cells;
    const int srcW = picture.width / 3;
    const int srcH = picture.height / 3;
    const int lastColumn = TruncateFloat(static_cast<float>(target.width) / u);
    const int lastRow = TruncateFloat(static_cast<float>(target.height) / v);
    cells.reserve(static_cast<size_t>(lastColumn + 1) * static_cast<size_t>(lastRow + 1));
    for (int row = 0; row <= lastRow; ++row) {
        int srcRow = 1;
        int y = TruncateFloat(static_cast<float>(row) * v);
        if (row == 0) {
            srcRow = 0;
            y = 0;
        } else if (row == lastRow) {
            srcRow = 2;
            y = target.height - vh;
        }
        for (int column = 0; column <= lastColumn; ++column) {
            int srcColumn = 1;
            int x = TruncateFloat(static_cast<float>(column) * u);
            if (column == 0) {
                srcColumn = 0;
                x = 0;
            } else if (column == lastColumn) {
                srcColumn = 2;
                x = target.width - uw;
            }
            // Inner cells reach one pixel into their neighbours so that no
            // gap opens where u or v has a fraction; cells on the window's
            // edges do not, or the picture's outer edge would be stretched
            // past the window and its last pixels never shown.
            const bool edgeColumn = column == 0 || column == lastColumn;
            const bool edgeRow = row == 0 || row == lastRow;
            cells.push_back({RectAt(srcColumn * srcW, srcRow * srcH, srcW, srcH),
                             RectAt(x, y, edgeColumn ? uw : uw + 1, edgeRow ? vh : vh + 1)});
        }
    }
    return cells;
}

FrameRect TitleRect(float s) {
    return {Units(4, s) + Units(kSideMarginUnits, s), Units(4, s), Units(400, s), Units(30, s)};
}

}  // namespace trivexa
