#pragma once
// What the data panels read of the open recording's sensor data, and the
// locks that keep it from being replaced while they read.
//
// The acceleration graph reads the data camera's acceleration entries, its
// per-frame map and its largest acceleration; the main window reads the entry
// and the linked position entry of the frame on screen for the trip panel.
// Another thread may load new data into the same reader (the open-preparation
// worker), so every read happens while a SensorAccess is held: it carries the
// locks of its source (for the players, both players' operation locks, front
// first) and views of the vectors that stay valid until it is destroyed.
//
// Callers: the panels and the main window, on the UI thread. A source may be
// acquired again by a thread that already holds it (the locks are recursive),
// so the main window's fan-out can call into the graph while it holds them.

#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

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

// Held while the panels read: the source's locks and the view they guard.
// Move-only; the locks are released when it is destroyed.
class SensorAccess {
public:
    SensorAccess() = default;
    SensorAccess(SensorView view, std::vector<std::unique_lock<std::recursive_mutex>> locks)
        : view_(view), locks_(std::move(locks)) {}
    SensorAccess(SensorAccess&&) = default;
    SensorAccess& operator=(SensorAccess&&) = default;

    const SensorView& View() const { return view_; }
    const SensorView* operator->() const { return &view_; }

private:
    SensorView view_;
    std::vector<std::unique_lock<std::recursive_mutex>> locks_;
};

// Where the panels get the data camera's sensor data from.
class SensorSource {
public:
    virtual ~SensorSource() = default;
    // Takes the locks and returns the data camera's data; an empty view when
    // there is no data camera.
    virtual SensorAccess Acquire() = 0;
};

// A source over one reader and a lock of its own: for tools, tests and
// benchmarks that have no players, and for any owner that keeps the reader
// itself. Whoever loads the reader holds Lock() while it does.
class ReaderSensorSource : public SensorSource {
public:
    explicit ReaderSensorSource(const SensorReader* reader = nullptr) : reader_(reader) {}
    void SetReader(const SensorReader* reader);
    std::recursive_mutex& Lock() { return lock_; }
    SensorAccess Acquire() override;

private:
    const SensorReader* reader_;
    std::recursive_mutex lock_;
};

}  // namespace trivexa
