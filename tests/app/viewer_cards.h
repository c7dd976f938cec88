#pragma once
// The small forge clips of the viewer's driver tests: 160 x 96 pictures with
// a key frame every 15, encoded once into the test data cache.
#include <string>

#include "clipforge/clipforge.h"
#include "support/test_support.h"

namespace trivexa {

inline clipforge::ClipSpec ClipOf(int frames) {
    clipforge::ClipSpec c;
    c.video.width = 160;
    c.video.height = 96;
    c.video.frames = frames;
    c.video.gop = 15;
    c.video.cacheDir = test::TestDataDir() / "clipforge";
    return c;
}

inline clipforge::CardRecording Rec(const std::string& name, int frames = 90) {
    clipforge::CardRecording r;
    r.name = name;
    r.clip = ClipOf(frames);
    return r;
}

}  // namespace trivexa
