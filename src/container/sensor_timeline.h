#pragma once
// The decoded sensor entries of one clip and their ties to the video frames:
// the per-frame map the graph, map, trip and vehicle panels look up, and the
// links between position, acceleration and vehicle entries.
//
// Not thread-safe: its owner (SensorReader) serialises loads, frame mapping
// and reads.

#include <cstdint>
#include <vector>

#include "container/sensor_decoder.h"

namespace trivexa {

namespace sensor {
// Acceleration and vehicle data shown with a frame lag this many records
// behind the acceleration entry of that frame.
inline constexpr std::int32_t kLinkLag = 5;
// Largest frame count BuildFrameMap accepts (the count comes from the clip
// header, so it is bounded before it sizes the per-frame vector).
inline constexpr std::int32_t kMaxFrameCount = 1 << 24;
}  // namespace sensor

class SensorTimeline {
public:
    // Takes the entries, header and record step of a decoded block; the
    // frame map is dropped until BuildFrameMap runs again.
    void Assign(SensorBlockData&& data);
    // Back to no entries at all (BuildFrameMap then refuses to run).
    void Clear();
    // Moves everything from `from`, which is left cleared.
    void TakeFrom(SensorTimeline& from);

    // Gives each entry its frame number (record time / msPerFrame), fills the
    // per-frame map and links the entries. False, changing nothing, without
    // entries, for a frame time of 0 or NaN, or a count outside
    // 0..kMaxFrameCount.
    bool BuildFrameMap(std::int32_t frameCount, float msPerFrame);

    bool HasEntries() const { return hasEntries_; }
    const std::vector<PositionEntry>& Positions() const { return positions_; }
    const std::vector<AccelEntry>& Accels() const { return accels_; }
    const std::vector<VehicleEntry>& Vehicles() const { return vehicles_; }
    // Acceleration entry index per video frame (kNoLink when there is none).
    const std::vector<std::int32_t>& FrameMap() const { return frameMap_; }
    const SensorHeader& Header() const { return header_; }
    std::int32_t CurrentIndex() const { return currentIndex_; }
    double LargestAccel() const { return largestAccel_; }
    float MsPerRecord() const { return msPerRecord_; }

private:
    std::vector<PositionEntry> positions_;
    std::vector<AccelEntry> accels_;
    std::vector<VehicleEntry> vehicles_;
    std::vector<std::int32_t> frameMap_;
    SensorHeader header_{};
    std::int32_t currentIndex_ = 0;
    double largestAccel_ = 0.0;
    float msPerRecord_ = sensor::kRecordStepMs;
    bool hasEntries_ = false;
};

}  // namespace trivexa
