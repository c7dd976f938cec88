#pragma once
// What the data panels read of the open recording's sensor data, and the
// locks that keep it from being replaced while they read.
//
// The acceleration graph reads the data camera's acceleration entries, its
// per-frame map and its largest acceleration; the main window reads the entry
// and the linked position entry of the frame on screen for the trip panel.
// Another thread may load new data into the same reader (the open-preparation
// worker), so every read happens inside SensorSource::Read, which holds the
// source's locks (for the players, both players' operation locks, front
// first) while it hands out views of the vectors.
//
// Callers: the panels and the main window, on the UI thread. A source may be
// read again by a thread that already holds its locks (they are recursive),
// so the main window's fan-out can call into the graph while it holds them.

#include <cstdint>
#include <functional>
#include <mutex>
#include <span>

#include "container/sensor_reader.h"

namespace trivexa {

// Views of one reader's vectors; valid while the access that made it is held.
// Every lookup checks its index: a frame outside the map, a map slot without
// an entry or an entry link outside the vectors gives nothing.
struct SensorView {
    std::span<const AccelEntry> accels;
    std::span<const std::int32_t> frameMap;  // acceleration entry index per video frame
    std::span<const PositionEntry> positions;
    double largestAccel = 0.0;

    static SensorView Of(const SensorReader& reader);

    // Index of the acceleration entry shown at `frame`; -1 when the frame is
    // outside the map or its slot names no entry of the list.
    int EntryIndexAt(std::int64_t frame) const;
    const AccelEntry* EntryAt(std::int64_t frame) const;
    // The position entry linked to `entry` (the data shown with it), if any.
    const PositionEntry* PositionOf(const AccelEntry& entry) const;
};

// Where the panels get the data camera's sensor data from.
class SensorSource {
public:
    virtual ~SensorSource() = default;
    // Runs `use` with the data camera's data while the source's locks are
    // held (an empty view when there is no data camera). The view is valid
    // only inside `use`.
    virtual void Read(const std::function<void(const SensorView&)>& use) = 0;
};

// A source over one reader and a lock of its own: for tools, tests and
// benchmarks that have no players, and for any owner that keeps the reader
// itself. Whoever loads the reader holds Lock() while it does.
class ReaderSensorSource : public SensorSource {
public:
    explicit ReaderSensorSource(const SensorReader* reader = nullptr) : reader_(reader) {}
    void SetReader(const SensorReader* reader);
    std::recursive_mutex& Lock() { return lock_; }
    void Read(const std::function<void(const SensorView&)>& use) override;

private:
    const SensorReader* reader_;
    std::recursive_mutex lock_;
};

}  // namespace trivexa
