#pragma once
// Cards and folders on real disk for the library tests: clips written by
// clipforge (synthetic video, so writing hundreds stays fast) and plain files
// where only names matter.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "clipforge/clipforge.h"
#include "support/test_support.h"

namespace trivexa::test {

namespace fs = std::filesystem;

// A small, fast clip template: a few synthetic frames and a short sensor block.
inline clipforge::ClipSpec SmallClip() {
    clipforge::ClipSpec spec;
    spec.video.content = clipforge::VideoContent::Synthetic;
    spec.video.frames = 4;
    spec.audio.enabled = false;
    spec.drive.records = 2;
    return spec;
}

inline clipforge::CardRecording Rec(const std::string& name, bool front = true, bool rear = true) {
    clipforge::CardRecording r;
    r.name = name;
    r.front = front;
    r.rear = rear;
    return r;
}

// "<kind>-<yymmdd>-081522-<seq><camera>.AVI"
inline std::string Name(const std::string& kind, int seq, const std::string& date = "230715",
                        char camera = 'F') {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s-%s-081522-%06d%c.AVI", kind.c_str(), date.c_str(), seq,
                  camera);
    return buf;
}

inline void WriteCardOrFail(const fs::path& root, std::vector<clipforge::CardRecording> recs) {
    clipforge::CardSpec spec;
    spec.clip = SmallClip();
    spec.recordings = std::move(recs);
    std::string error;
    ASSERT_TRUE(clipforge::WriteCard(root, spec, &error)) << error;
}

// An empty (or `bytes` long) file; enough where only the name matters.
inline void Touch(const fs::path& p, std::size_t bytes = 0) {
    fs::create_directories(p.parent_path());
    WriteFile(p, std::string(bytes, 'x'));
}

}  // namespace trivexa::test
