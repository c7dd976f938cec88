#pragma once
// The process-wide track of the open recording group: the position records of
// every intact clip of the group, one recording after another, that the map
// draws under the current recording's own track. SensorReader::CollectTrack
// rebuilds it on a worker; the map side copies it on the user-interface
// thread. Its lock is a leaf: nothing else is locked while it is held.

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "container/sensor_reader.h"

namespace trivexa {

// Empties the track.
void ClearGroupTrack();
// Appends one recording's position entries.
void AppendGroupTrack(std::span<const PositionEntry> entries);
// A copy of the whole track, taken under its lock.
std::vector<PositionEntry> CopyGroupTrack();
// Runs `use` with the whole track while holding its lock (no copy); `use`
// must not touch the track itself.
void ReadGroupTrack(const std::function<void(std::span<const PositionEntry>)>& use);
std::size_t GroupTrackSize();

}  // namespace trivexa
