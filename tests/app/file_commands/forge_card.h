#pragma once
// Cards for the file command tests, written by clipforge: synthetic video (so
// a card of many recordings stays fast) in the recorder's full 4600-slot
// sensor block, so every reader finds the block where the recorder puts it.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "clipforge/clipforge.h"
#include "recordings/recording_library.h"
#include "support/local_http_server.h"
#include "support/test_support.h"

namespace trivexa::test {

namespace cf = trivexa::clipforge;
namespace fs = std::filesystem;

inline cf::ClipSpec ForgeClip(int frames = 30) {
    cf::ClipSpec spec;
    spec.video.content = cf::VideoContent::Synthetic;
    spec.video.width = 1280;
    spec.video.height = 720;
    spec.video.frames = frames;
    spec.audio.enabled = false;
    spec.sensor.slots = 4600;
    return spec;
}

inline cf::CardRecording ForgeRec(const std::string& name, bool front = true, bool rear = true) {
    cf::CardRecording r;
    r.name = name;
    r.front = front;
    r.rear = rear;
    return r;
}

inline void WriteForgeCard(const fs::path& root, std::vector<cf::CardRecording> recs,
                           bool pvtrace = false) {
    cf::CardSpec spec;
    spec.clip = ForgeClip();
    spec.recordings = std::move(recs);
    spec.pvtrace = pvtrace;
    std::string error;
    ASSERT_TRUE(cf::WriteCard(root, spec, &error)) << error;
}

// Every file under `root` with its bytes, for "nothing else changed" checks.
inline std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) out[fs::relative(e.path(), root).string()] = ReadFile(e.path());
    }
    return out;
}

// The trash of this test: XDG_DATA_HOME in a scratch folder, so files moved to
// the trash never reach the developer's own.
class ScopedTrash {
public:
    explicit ScopedTrash(const fs::path& dataHome) : env_("XDG_DATA_HOME", dataHome.string()) {
        fs::create_directories(dataHome);
    }
    static fs::path FilesOf(const fs::path& dataHome) { return dataHome / "Trash" / "files"; }

private:
    ScopedEnv env_;
};

// The recordings of a card as the browser collects them.
std::vector<RecordingEntry> CollectCard(const fs::path& root);

}  // namespace trivexa::test
