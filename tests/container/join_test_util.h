#pragma once
// Recordings for the join tests, written by clipforge into scratch folders,
// and byte-level reads of what a join wrote (no reader of the project in
// between, so the tests check the writer against the documented layout).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "clipforge/clipforge.h"
#include "recordings/recording_entry.h"
#include "support/test_support.h"

namespace trivexa::test {

namespace cf = trivexa::clipforge;
namespace fs = std::filesystem;

inline std::uint32_t Le32At(const std::string& b, std::size_t off) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b.at(off + i));
    return v;
}
inline std::uint32_t Be32At(const std::string& b, std::size_t off) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<std::uint8_t>(b.at(off + i));
    return v;
}
inline std::uint16_t Be16At(const std::string& b, std::size_t off) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b.at(off)) << 8 |
                                      static_cast<std::uint8_t>(b.at(off + 1)));
}

// A small clip whose encoded video is cached between runs.
inline cf::ClipSpec SmallSpec(const std::string& name, int frames = 20) {
    cf::ClipSpec c;
    c.name = name;
    c.video.frames = frames;
    c.video.gop = 10;
    c.video.camera = name.size() > 25 ? name[25] : 'F';
    c.video.cacheDir = TestDataDir() / "clipforge";
    return c;
}

// One forged recording: both cameras' files and what clipforge wrote.
struct ForgedRecording {
    std::string front, rear;
    cf::ClipReport frontReport, rearReport;
};

// Writes `count` consecutive recordings (sequence numbers from `firstSeq`)
// into <root>/Front and <root>/Rear. `tweak` may change each spec.
template <typename Tweak>
std::vector<ForgedRecording> ForgeRecordings(const fs::path& root, int count, const Tweak& tweak,
                                             const std::string& kind = "A___", int firstSeq = 1) {
    std::vector<ForgedRecording> out;
    fs::create_directories(root / "Front");
    fs::create_directories(root / "Rear");
    for (int i = 0; i < count; ++i) {
        cf::DateTime t;
        t.minute += i;
        ForgedRecording r;
        for (char cam : {'F', 'R'}) {
            const std::string name = cf::MakeName(kind, t, firstSeq + i, cam);
            cf::ClipSpec spec = SmallSpec(name, 20 + 5 * i);
            tweak(spec, i);
            const fs::path p = root / (cam == 'F' ? "Front" : "Rear") / name;
            std::string error;
            cf::ClipReport& report = cam == 'F' ? r.frontReport : r.rearReport;
            if (!cf::WriteClip(p, spec, &report, &error)) ADD_FAILURE() << "clipforge: " << error;
            (cam == 'F' ? r.front : r.rear) = p.string();
        }
        out.push_back(r);
    }
    return out;
}

inline std::vector<ForgedRecording> ForgeRecordings(const fs::path& root, int count) {
    return ForgeRecordings(root, count, [](cf::ClipSpec&, int) {});
}

// The selection the browser would hand over for these recordings.
inline std::vector<RecordingEntry> Selection(const std::vector<ForgedRecording>& recs) {
    std::vector<RecordingEntry> sel;
    for (const ForgedRecording& r : recs) {
        RecordingEntry e;
        e.frontPath = r.front;
        e.frontName = fs::path(r.front).filename().string();
        e.rearPath = r.rear;
        e.rearName = fs::path(r.rear).filename().string();
        e.frontExpectedSize = static_cast<std::int64_t>(fs::file_size(r.front));
        e.rearExpectedSize = static_cast<std::int64_t>(fs::file_size(r.rear));
        sel.push_back(e);
    }
    return sel;
}

// Names in a folder (temporary files included), sorted.
inline std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// ffmpeg decodes the whole file without printing an error.
inline std::string DecodeErrors(const std::string& path) {
    CommandResult r =
        RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "null", "-"});
    if (r.exitCode != 0) return "exit " + std::to_string(r.exitCode) + ": " + r.err;
    return r.err;
}

// Video packets as ffprobe counts them; -1 when ffprobe fails.
inline long CountVideoPackets(const std::string& path) {
    CommandResult r =
        RunCommand({"ffprobe", "-v", "error", "-count_packets", "-select_streams", "v:0",
                    "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", path});
    if (r.exitCode != 0) return -1;
    try {
        return std::stol(r.out);
    } catch (...) {
        return -1;
    }
}

}  // namespace trivexa::test
