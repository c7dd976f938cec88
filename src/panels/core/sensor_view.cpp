#include "panels/core/sensor_view.h"

namespace trivexa {

SensorView SensorView::Of(const SensorReader& reader) {
    SensorView v;
    v.accels = reader.Accels();
    v.frameMap = reader.FrameMap();
    v.positions = reader.Positions();
    v.largestAccel = reader.LargestAccel();
    return v;
}

int SensorView::EntryIndexAt(std::int64_t frame) const {
    if (frame < 0 || frame >= static_cast<std::int64_t>(frameMap.size())) return -1;
    const std::int32_t index = frameMap[static_cast<std::size_t>(frame)];
    if (index < 0 || static_cast<std::size_t>(index) >= accels.size()) return -1;
    return index;
}

const AccelEntry* SensorView::EntryAt(std::int64_t frame) const {
    const int index = EntryIndexAt(frame);
    return index < 0 ? nullptr : &accels[static_cast<std::size_t>(index)];
}

const PositionEntry* SensorView::PositionOf(const AccelEntry& entry) const {
    const std::int32_t link = entry.positionLink;
    if (link < 0 || static_cast<std::size_t>(link) >= positions.size()) return nullptr;
    return &positions[static_cast<std::size_t>(link)];
}

void ReaderSensorSource::SetReader(const SensorReader* reader) {
    std::lock_guard hold(lock_);
    reader_ = reader;
}

void ReaderSensorSource::Read(const std::function<void(const SensorView&)>& use) {
    std::lock_guard hold(lock_);
    SensorView view;
    if (reader_ != nullptr) view = SensorView::Of(*reader_);
    use(view);
}

}  // namespace trivexa
