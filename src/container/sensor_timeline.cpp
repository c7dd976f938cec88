#include "container/sensor_timeline.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace trivexa {
namespace {

// Frame number of a record time: time ÷ ms per frame in single precision,
// truncated and kept inside the integer range.
std::int32_t FrameOf(std::int32_t time, float msPerFrame) {
    const float f = static_cast<float>(time) / msPerFrame;
    if (std::isnan(f)) return 0;
    if (f >= static_cast<float>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (f <= static_cast<float>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(f);
}

}  // namespace

void SensorTimeline::Assign(SensorBlockData&& data) {
    positions_ = std::move(data.positions);
    accels_ = std::move(data.accels);
    vehicles_ = std::move(data.vehicles);
    frameMap_ = {};
    header_ = data.header;
    currentIndex_ = data.currentIndex;
    largestAccel_ = 0.0;
    msPerRecord_ = data.msPerRecord;
    hasEntries_ = true;
}

void SensorTimeline::Clear() {
    positions_ = {};
    accels_ = {};
    vehicles_ = {};
    frameMap_ = {};
    header_ = SensorHeader{};
    currentIndex_ = 0;
    largestAccel_ = 0.0;
    msPerRecord_ = sensor::kRecordStepMs;
    hasEntries_ = false;
}

void SensorTimeline::TakeFrom(SensorTimeline& from) {
    if (&from == this) return;
    positions_ = std::move(from.positions_);
    accels_ = std::move(from.accels_);
    vehicles_ = std::move(from.vehicles_);
    frameMap_ = std::move(from.frameMap_);
    header_ = from.header_;
    currentIndex_ = from.currentIndex_;
    largestAccel_ = from.largestAccel_;
    msPerRecord_ = from.msPerRecord_;
    hasEntries_ = from.hasEntries_;
    from.Clear();
}

bool SensorTimeline::BuildFrameMap(std::int32_t frameCount, float msPerFrame) {
    const float m = msPerFrame;
    if (m == 0.0f || std::isnan(m) || !hasEntries_) return false;
    if (frameCount < 0 || frameCount > sensor::kMaxFrameCount) return false;

    frameMap_.assign(static_cast<std::size_t>(frameCount), sensor::kNoLink);
    // Frame numbers come from the record times (index x record step), so
    // that a second call maps afresh.
    for (AccelEntry& a : accels_) a.frame = FrameOf(SensorRecordTime(a.index, msPerRecord_), m);
    for (PositionEntry& p : positions_)
        p.frame = FrameOf(SensorRecordTime(p.index, msPerRecord_), m);

    if (!accels_.empty()) {
        std::size_t k = 0;
        for (std::int32_t f = 0; f < frameCount; ++f) {
            frameMap_[static_cast<std::size_t>(f)] = static_cast<std::int32_t>(k);
            // At most one step per frame.
            if (k + 1 < accels_.size() && *accels_[k + 1].frame <= f) ++k;
        }
    }

    double maxX = 0.0, maxY = 0.0, maxZ = 0.0;
    if (!positions_.empty()) {
        std::size_t g = 0;
        for (std::size_t j = 0; j < accels_.size(); ++j) {
            AccelEntry& a = accels_[j];
            maxX = std::max(maxX, std::fabs(a.x));
            maxY = std::max(maxY, std::fabs(a.y));
            maxZ = std::max(maxZ, std::fabs(a.z));
            if (*positions_[g].frame <= *a.frame) {
                positions_[g].accelLink = static_cast<std::int32_t>(j);
                positions_[g].vehicleLink =
                    j < vehicles_.size() ? static_cast<std::int32_t>(j) : sensor::kNoLink;
                if (g + 1 < positions_.size()) ++g;
            }
            // What is shown with an acceleration entry lags a few records.
            const std::size_t lagged =
                g >= static_cast<std::size_t>(sensor::kLinkLag) ? g - sensor::kLinkLag : 0;
            a.positionLink = static_cast<std::int32_t>(lagged);
            a.vehicleLink =
                lagged < vehicles_.size() ? static_cast<std::int32_t>(lagged) : sensor::kNoLink;
        }
    }
    largestAccel_ = std::max({maxX, maxY, maxZ});
    return true;
}

}  // namespace trivexa
