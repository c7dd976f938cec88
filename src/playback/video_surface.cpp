#include "playback/video_surface.h"

#include "app/messages/posted_message.h"

namespace trivexa {

bool VideoSurface::event(QEvent* event) {
    const PostedMessageEvent* m = AsPostedMessage(event);
    if (m == nullptr) return VideoPresenter::event(event);
    switch (m->message()) {
        case UM_ENGINE_READY:
            if (owner_ != nullptr) owner_->OnPlayerReady(m->wParam(), cameraIndex_);
            break;
        case UM_ENGINE_ENDED:
            if (owner_ != nullptr) owner_->OnPlayerEnded(m->wParam(), cameraIndex_);
            break;
        default:
            // Other notices (the old graph's event queue, WM_APP+0x3E9) have
            // no meaning for this engine and are dropped.
            break;
    }
    return true;
}

}  // namespace trivexa
