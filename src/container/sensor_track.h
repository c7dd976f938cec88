#pragma once
// The track of the open recording group: the position records of every
// intact clip of the group, one recording after another, that the map draws
// under the current recording's own track. GroupTrack::Shared() is the one
// the viewer uses: CollectGroupTrack rebuilds it on a worker, the map side
// copies it on the user-interface thread. Its lock is a leaf: nothing else is
// locked while it is held.

#include <cstddef>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

#include "container/sensor_decoder.h"

namespace trivexa {

struct RecordingEntry;

class GroupTrack {
public:
    // The process-wide track of the open group.
    static GroupTrack& Shared();

    void Clear();
    // Appends one recording's position entries.
    void Append(std::span<const PositionEntry> entries);
    // A copy of the whole track, taken under its lock.
    std::vector<PositionEntry> Copy() const;
    // Runs `use` with the whole track while holding its lock (no copy); `use`
    // must not touch the track itself.
    void Read(const std::function<void(std::span<const PositionEntry>)>& use) const;
    std::size_t Size() const;

private:
    mutable std::mutex mutex_;
    std::vector<PositionEntry> entries_;
};

// Rebuilds the shared track from the recordings' position records (front
// clip, else rear; intact clips only). True when every entry was visited.
// One rebuild runs at a time, so two groups never interleave.
bool CollectGroupTrack(const std::vector<RecordingEntry>& recordings);

// The shared track's operations, for the viewer's map side.
void ClearGroupTrack();
void AppendGroupTrack(std::span<const PositionEntry> entries);
std::vector<PositionEntry> CopyGroupTrack();
void ReadGroupTrack(const std::function<void(std::span<const PositionEntry>)>& use);
std::size_t GroupTrackSize();

}  // namespace trivexa
