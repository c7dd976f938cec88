#pragma once
// The sensor records the recorder appends to every clip: a "CSMDAT" header,
// 130-byte text records (one per 100 ms of video, 66.666664 ms in time-lapse
// clips) and a "CSMEND" trailer at the very end of the file. SensorReader is
// the one object the playback side, the panels and the commands hold per
// clip: it opens the file, has the loader (sensor_loader.h) find and decode
// the block (sensor_decoder.h) and keeps the result as a timeline
// (sensor_timeline.h) tied to the video frames for the graph, map, trip and
// vehicle panels.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "container/mapped_file.h"
#include "container/sensor_decoder.h"
#include "container/sensor_loader.h"
#include "container/sensor_timeline.h"

namespace trivexa {

struct RecordingEntry;

// The decoded sensor data of one clip. A reader is initialised once, loaded
// and freed many times, and shut down at exit. Loading and BuildFrameMap run
// on a worker while no other thread reads the reader, or under the owner's
// lock.
class SensorReader {
public:
    SensorReader();
    ~SensorReader();
    SensorReader(const SensorReader&) = delete;
    SensorReader& operator=(const SensorReader&) = delete;

    bool Init();
    void Shutdown();

    // Open + Parse; on success the file is closed and the entries stay.
    bool Load(const std::string& path);
    bool Open(const std::string& path);
    bool Parse();
    void FreeEntries();
    // Moves the entries, header, current index, largest acceleration and
    // path; `from` is left empty. True when `to` has position entries. The
    // caller holds whatever lock guards both readers.
    static bool HandOver(SensorReader& from, SensorReader& to);
    // Turns record times into frame numbers with the video milliseconds per
    // frame, fills the per-frame map and links the entries.
    bool BuildFrameMap(std::int32_t frameCount);

    // Header only, for clips the integrity check reports intact.
    static bool ReadHeader(const std::string& path, SensorHeader& out);
    // The same for a clip already checked and opened by the caller (`path`
    // is its path); see ReadSensorHeader.
    static bool ReadHeaderOf(const platform::ReadOnlyFile& file, const std::string& path,
                             SensorHeader& out);
    // Rebuilds the process-wide group track (sensor_track.h).
    static bool CollectTrack(const std::vector<RecordingEntry>& recordings);

    // A window of the open file; reports a mapping failure through the
    // mapping error handler. Each success counts one view.
    MappedWindow MapWindow(std::uint64_t offset, std::uint64_t length);

    const SensorTimeline& Timeline() const { return timeline_; }
    const std::vector<PositionEntry>& Positions() const { return timeline_.Positions(); }
    const std::vector<AccelEntry>& Accels() const { return timeline_.Accels(); }
    const std::vector<VehicleEntry>& Vehicles() const { return timeline_.Vehicles(); }
    // Acceleration entry index per video frame (kNoLink when there is none).
    const std::vector<std::int32_t>& FrameMap() const { return timeline_.FrameMap(); }
    const SensorHeader& Header() const { return timeline_.Header(); }
    std::int32_t CurrentIndex() const { return timeline_.CurrentIndex(); }
    double LargestAccel() const { return timeline_.LargestAccel(); }
    const std::string& Path() const { return path_; }
    std::uint64_t FileSize() const { return fileSize_; }
    bool Loaded() const { return loaded_; }
    float MsPerRecord() const { return timeline_.MsPerRecord(); }
    float VideoMsPerFrame() const { return videoMsPerFrame_; }
    void SetVideoMsPerFrame(float ms) { videoMsPerFrame_ = ms; }
    // Windows of the file looked at so far: mapped views, and the block the
    // fast path reads in one positioned read.
    std::uint32_t ViewCount() const { return viewCount_; }

    // Sets the path without loading (the playback side records which file a
    // reader is meant for before the load runs).
    void SetPath(std::string path) { path_ = std::move(path); }

private:
    std::string path_;
    std::uint64_t fileSize_ = 0;
    SensorTimeline timeline_;
    MappedFile file_;
    std::uint32_t viewCount_ = 0;
    // Held while a load runs, so that Shutdown on another thread waits for it.
    std::mutex loading_;
    float videoMsPerFrame_ = 0.0f;
    bool loaded_ = false;
};

}  // namespace trivexa
