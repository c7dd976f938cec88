#include "container/sensor_track.h"

#include <new>

#include "container/integrity.h"
#include "container/sensor_loader.h"
#include "recordings/recording_entry.h"

namespace trivexa {

GroupTrack& GroupTrack::Shared() {
    static GroupTrack track;
    return track;
}

void GroupTrack::Clear() {
    std::vector<PositionEntry> old;
    {
        std::lock_guard lock(mutex_);
        old.swap(entries_);
    }
    // `old` is freed outside the lock so that readers are not held up.
}

void GroupTrack::Append(std::span<const PositionEntry> entries) {
    std::lock_guard lock(mutex_);
    entries_.insert(entries_.end(), entries.begin(), entries.end());
}

std::vector<PositionEntry> GroupTrack::Copy() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

void GroupTrack::Read(const std::function<void(std::span<const PositionEntry>)>& use) const {
    std::lock_guard lock(mutex_);
    use(entries_);
}

std::size_t GroupTrack::Size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

bool CollectGroupTrack(const std::vector<RecordingEntry>& recordings) {
    static std::mutex collecting;
    std::lock_guard lock(collecting);
    GroupTrack& track = GroupTrack::Shared();
    track.Clear();
    for (const RecordingEntry& entry : recordings) {
        const std::string& path = entry.frontPath.empty() ? entry.rearPath : entry.frontPath;
        if (path.empty() || CheckClip(path) != ClipCheck::kIntact) continue;
        MappedFile file;
        if (!file.Open(path)) return false;
        try {
            const SensorLoad load = LoadSensorBlock(file, path, SensorLoadKind::kPositionsOnly);
            track.Append(load.data.positions);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    return true;
}

void ClearGroupTrack() { GroupTrack::Shared().Clear(); }
void AppendGroupTrack(std::span<const PositionEntry> entries) {
    GroupTrack::Shared().Append(entries);
}
std::vector<PositionEntry> CopyGroupTrack() { return GroupTrack::Shared().Copy(); }
void ReadGroupTrack(const std::function<void(std::span<const PositionEntry>)>& use) {
    GroupTrack::Shared().Read(use);
}
std::size_t GroupTrackSize() { return GroupTrack::Shared().Size(); }

}  // namespace trivexa
