#include "panels/player_sensor_source.h"

#include "playback/player_pair.h"

namespace trivexa {

void PlayerPairSensorSource::Read(const std::function<void(const SensorView&)>& use) {
    pair_.WithBothReaders([&](MoviePlayer::Readers front, MoviePlayer::Readers rear) {
        SensorView view;
        if (const std::optional<Camera> camera = pair_.DataCamera()) {
            const MoviePlayer::Readers& r = *camera == Camera::Rear ? rear : front;
            view = SensorView::Of(r.display.FrameMap().empty() ? r.data : r.display);
        }
        use(view);
    });
}

}  // namespace trivexa
