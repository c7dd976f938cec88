#include "container/sensor_track.h"

#include <mutex>

namespace trivexa {
namespace {

struct GroupTrack {
    std::mutex mutex;
    std::vector<PositionEntry> entries;
};

GroupTrack& Track() {
    static GroupTrack track;
    return track;
}

}  // namespace

void ClearGroupTrack() {
    std::vector<PositionEntry> old;
    {
        std::lock_guard lock(Track().mutex);
        old.swap(Track().entries);
    }
    // `old` is freed outside the lock so that readers are not held up.
}

void AppendGroupTrack(std::span<const PositionEntry> entries) {
    std::lock_guard lock(Track().mutex);
    Track().entries.insert(Track().entries.end(), entries.begin(), entries.end());
}

std::vector<PositionEntry> CopyGroupTrack() {
    std::lock_guard lock(Track().mutex);
    return Track().entries;
}

void ReadGroupTrack(const std::function<void(std::span<const PositionEntry>)>& use) {
    std::lock_guard lock(Track().mutex);
    use(Track().entries);
}

std::size_t GroupTrackSize() {
    std::lock_guard lock(Track().mutex);
    return Track().entries.size();
}

}  // namespace trivexa
