#include "panels/core/video_window_rules.h"

#include "app/core/layout_scale.h"

namespace trivexa {

ClickTracker::Actions ClickTracker::Press(ClickPoint p) {
    Actions a;
    released_ = false;
    if (doubleSeen_) return a;
    pending_ = false;
    if (ReportsClicks()) {
        press_ = p;
        a.startPressTimer = true;
    }
    return a;
}

ClickTracker::Actions ClickTracker::Release(ClickPoint p) {
    Actions a;
    released_ = true;
    if (doubleSeen_) {
        // The release that ends a double click is not a click of its own.
        doubleSeen_ = false;
        return a;
    }
    if (ReportsClicks()) {
        release_ = p;
        a.startReleaseTimer = true;
    }
    return a;
}

ClickTracker::Actions ClickTracker::DoubleClick(bool primary, bool zoomMode) {
    Actions a;
    a.stopTimers = true;
    pending_ = false;
    doubleSeen_ = true;
    a.releaseCapture = true;
    a.toggleFullScreen = primary && !zoomMode;
    return a;
}

ClickTracker::Actions ClickTracker::PressTimerFired() {
    Actions a;
    if (pending_) return a;
    pending_ = true;
    if (ReportsClicks()) a.zoomAt = press_;
    return a;
}

ClickTracker::Actions ClickTracker::ReleaseTimerFired() {
    Actions a;
    if (!pending_) return a;
    pending_ = false;
    a.releaseCapture = true;
    return a;
}

SurfaceErase EraseSurface(const EraseInput& in) {
    if (in.blank) return SurfaceErase::kBlack;
    const bool dataCamera = in.cameraIndex == kSurfaceDataCamera;
    if (in.self.present && in.self.holdsClip) return SurfaceErase::kPicture;
    // The data camera's surface repaints even without a data camera.
    if (dataCamera && !in.self.present) return SurfaceErase::kPicture;
    if (!in.front.holdsClip && !in.rear.holdsClip) return SurfaceErase::kBlack;
    if (in.cameraIndex == 1 && in.front.holdsClip) return SurfaceErase::kNoRearVideo;
    if (in.cameraIndex == 0 && in.rear.holdsClip) return SurfaceErase::kNoFrontVideo;
    return SurfaceErase::kBlack;
}

int EraseTextId(SurfaceErase e) {
    switch (e) {
        case SurfaceErase::kNoRearVideo:
            return 171;
        case SurfaceErase::kNoFrontVideo:
            return 170;
        case SurfaceErase::kBlack:
        case SurfaceErase::kPicture:
            break;
    }
    return 0;
}

bool ForwardsGraphNotice(int cameraIndex, bool rearHoldsClip) {
    return cameraIndex == 1 || (cameraIndex == 0 && !rearHoldsClip);
}

int MovieDialogBorderWidth(float s) { return 2 * Units(4, s); }

}  // namespace trivexa
