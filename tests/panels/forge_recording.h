#pragma once
// Recordings for the panels' tests, demo and benchmark, written by clipforge:
// synthetic video (the panels never decode it) and a scripted drive with one
// event of every kind at known records.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// clipforge names a field "slots", which Qt's keyword macro would swallow.
#pragma push_macro("slots")
#undef slots
#include "clipforge/clipforge.h"

namespace trivexa::test {
// The recorder preallocates a block of 4600 slots; a clip's block is found
// by its size from the end of the file, as on a card.
inline void UseUsualSlots(clipforge::SensorSpec& sensor) {
    if (sensor.slots == 0) sensor.slots = 4600;
}
}  // namespace trivexa::test
#pragma pop_macro("slots")

namespace trivexa::test {

// Records of the scripted events (ten records a second).
struct DriveMarks {
    int shock = 20;  // three records, a Y spike
    int manual = 40;
    int overspeed = 60;  // thirty records
    int approach = 100;  // five records
    int braking = 120;   // four records each
    int acceleration = 140;
    int steering = 160;
    int gapBegin = 170, gapEnd = 185;  // no GPS fix
};

struct RecordingSpec {
    std::string name = "A___-230715-081522-000001F.AVI";
    int frames = 600;         // video frames
    std::uint32_t rate = 30;  // frames per second (rate / scale)
    std::uint32_t scale = 1;
    int height = 96;
    int records = 200;       // sensor records
    bool realVideo = false;  // H.264 a player can open (slower to make, cached)
    DriveMarks marks;
    clipforge::SensorSpec sensor;  // count mode, presence, slots, header
    // Last word on the samples, after the script.
    std::function<void(std::vector<clipforge::SensorSample>&)> editSamples;
};

// The drive of `spec`: a scripted drive with its events; the steering event
// names no axis, so its own marker shows.
inline std::vector<clipforge::SensorSample> ForgeDrive(const RecordingSpec& spec) {
    clipforge::DriveScript script;
    script.records = spec.records;
    script.shockAt = spec.marks.shock;
    script.manualAt = spec.marks.manual;
    script.overspeedAt = spec.marks.overspeed;
    script.approachAt = spec.marks.approach;
    script.brakingAt = spec.marks.braking;
    script.accelerationAt = spec.marks.acceleration;
    script.steeringAt = spec.marks.steering;
    script.gapBegin = spec.marks.gapBegin;
    script.gapEnd = spec.marks.gapEnd;
    std::vector<clipforge::SensorSample> samples = clipforge::ScriptedDrive(script);
    for (clipforge::SensorSample& s : samples)
        if (s.driveSupport == 'H') s.axis = 'N';
    if (spec.editSamples) spec.editSamples(samples);
    return samples;
}

// Writes the recording into `dir`; the path, or empty on failure.
inline std::filesystem::path WriteRecording(const std::filesystem::path& dir,
                                            const RecordingSpec& spec,
                                            clipforge::ClipReport* report = nullptr) {
    std::filesystem::create_directories(dir);
    clipforge::ClipSpec clip;
    clip.name = spec.name;
    clip.video.content =
        spec.realVideo ? clipforge::VideoContent::H264 : clipforge::VideoContent::Synthetic;
    clip.video.frames = spec.frames;
    clip.video.rate = spec.rate;
    clip.video.scale = spec.scale;
    clip.video.height = spec.height;
    clip.audio.enabled = false;
    clip.sensor = spec.sensor;
    UseUsualSlots(clip.sensor);
    if (clip.sensor.present) clip.sensor.samples = ForgeDrive(spec);
    const std::filesystem::path path = dir / spec.name;
    std::string error;
    if (!clipforge::WriteClip(path, clip, report, &error)) return {};
    return path;
}

}  // namespace trivexa::test
