#include "panels/player_sensor_source.h"

#include "playback/player_pair.h"

namespace trivexa {

SensorAccess PlayerPairSensorSource::Acquire() {
    std::vector<std::unique_lock<std::recursive_mutex>> locks;
    locks.emplace_back(pair_.Player(kFrontCamera).OperationLock());
    locks.emplace_back(pair_.Player(kRearCamera).OperationLock());
    SensorView view;
    const int camera = pair_.DataCamera();
    if (camera >= 0) {
        MoviePlayer& player = pair_.Player(camera);
        const SensorReader& display = player.DisplayReader();
        view = SensorView::Of(display.FrameMap().empty() ? player.DataReader() : display);
    }
    return SensorAccess(view, std::move(locks));
}

}  // namespace trivexa
