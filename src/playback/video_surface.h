#pragma once
// A camera's video surface in its role as the player's window: it shows the
// player's pictures (it is the player's FrameSink) and passes the player's
// notices on to its owner, the main window, by calling the owner directly
// with the message's wParam and the surface's camera index. Mouse, menu and
// erase behaviour belong to the main window's surface class built on this.
// Runs on the UI thread.

#include <cstdint>

#include "playback/video_presenter.h"

namespace trivexa {

// Implemented by the main window.
class VideoSurfaceOwner {
public:
    virtual ~VideoSurfaceOwner() = default;
    // The player of `camera` has its clip open and its first picture shown.
    virtual void OnPlayerReady(std::uintptr_t wParam, int camera) = 0;
    // The player of `camera` reached the end of its clip.
    virtual void OnPlayerEnded(std::uintptr_t wParam, int camera) = 0;
};

class VideoSurface : public VideoPresenter {
public:
    explicit VideoSurface(QWidget* parent = nullptr) : VideoPresenter(parent) {}

    // -1 until assigned; 0 front, 1 rear, 2 the data camera.
    int CameraIndex() const { return cameraIndex_; }
    void SetCameraIndex(int index) { cameraIndex_ = index; }
    void SetOwner(VideoSurfaceOwner* owner) { owner_ = owner; }

protected:
    bool event(QEvent* event) override;

private:
    int cameraIndex_ = -1;
    VideoSurfaceOwner* owner_ = nullptr;
};

}  // namespace trivexa
