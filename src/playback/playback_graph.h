#pragma once
// The engine handles of one MoviePlayer: the FFmpeg engine of the open clip
// and the mirror flag that outlives it, so a mirrored camera stays mirrored
// from clip to clip.

#include <memory>

#include "playback/cplayer.h"

namespace trivexa {

struct PlaybackGraph {
    // The display's mirror flag, saved when a clip is closed and handed to
    // the display when the next clip is opened.
    bool savedMirror = false;
    // The engine of the open clip; none while closed.
    std::unique_ptr<CPlayer> player;
};

}  // namespace trivexa
