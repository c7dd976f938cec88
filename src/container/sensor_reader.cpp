#include "container/sensor_reader.h"

#include <new>
#include <utility>

#include "container/integrity.h"
#include "container/sensor_track.h"

namespace trivexa {

SensorReader::SensorReader() = default;
SensorReader::~SensorReader() = default;

bool SensorReader::Init() {
    timeline_.Clear();
    file_.Close();
    path_.clear();
    fileSize_ = 0;
    viewCount_ = 0;
    videoMsPerFrame_ = 0.0f;
    loaded_ = false;
    return true;
}

void SensorReader::Shutdown() {
    // Wait for a load in progress on another thread before freeing.
    { std::lock_guard lock(loading_); }
    FreeEntries();
    file_.Close();
    path_.clear();
}

bool SensorReader::Load(const std::string& path) {
    if (Open(path) && Parse()) {
        file_.Close();
        loaded_ = true;
        return true;
    }
    FreeEntries();
    file_.Close();
    path_.clear();
    return false;
}

bool SensorReader::Open(const std::string& path) {
    file_.Close();
    if (!file_.Open(path)) return false;
    fileSize_ = file_.Size();
    path_ = path;
    return true;
}

bool SensorReader::Parse() {
    if (!file_.IsOpen()) return false;
    // Nothing of a previous clip may survive into this one.
    FreeEntries();
    try {
        std::lock_guard lock(loading_);
        SensorLoad load = LoadSensorBlock(file_, path_, SensorLoadKind::kFull);
        viewCount_ += load.views;
        timeline_.Assign(std::move(load.data));
        return load.ok;
    } catch (const std::bad_alloc&) {
        FreeEntries();
        return false;
    }
}

void SensorReader::FreeEntries() {
    timeline_.Clear();
    loaded_ = false;
}

bool SensorReader::HandOver(SensorReader& from, SensorReader& to) {
    if (&from == &to) return !to.Positions().empty();
    to.timeline_.TakeFrom(from.timeline_);
    to.path_ = std::move(from.path_);
    to.loaded_ = from.loaded_;
    to.fileSize_ = from.fileSize_;
    from.FreeEntries();
    from.path_.clear();
    from.fileSize_ = 0;
    return !to.Positions().empty();
}

bool SensorReader::BuildFrameMap(std::int32_t frameCount) {
    return timeline_.BuildFrameMap(frameCount, videoMsPerFrame_);
}

bool SensorReader::ReadHeader(const std::string& path, SensorHeader& out) {
    if (CheckClip(path) != ClipCheck::kIntact) return false;
    platform::ReadOnlyFile file;
    if (!file.Open(path)) return false;
    return ReadHeaderOf(file, path, out);
}

bool SensorReader::ReadHeaderOf(const platform::ReadOnlyFile& file, const std::string& path,
                                SensorHeader& out) {
    return ReadSensorHeader(file, path, out);
}

bool SensorReader::CollectTrack(const std::vector<RecordingEntry>& recordings) {
    return CollectGroupTrack(recordings);
}

MappedWindow SensorReader::MapWindow(std::uint64_t offset, std::uint64_t length) {
    MappedWindow window = MapSensorWindow(file_, offset, length);
    if (window) ++viewCount_;
    return window;
}

}  // namespace trivexa
