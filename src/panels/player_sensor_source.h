#pragma once
// The panels' sensor source over the viewer's two players: the data camera's
// sensor data, read while both players' operation locks are held (player 0
// first, the order of every fan-out).
//
// The data on display are the data camera's display reader once the main
// window has committed them there; until then (and for owners that never
// move them) the data camera's data reader, where Load data put them.
//
// Callers: the main window hands this to the acceleration graph; Read runs
// on the UI thread and may be called while the caller already holds the
// players' locks (inside PlayerPair::WithBothReaders: they are recursive).

#include "panels/core/sensor_view.h"

namespace trivexa {

class PlayerPair;

class PlayerPairSensorSource : public SensorSource {
public:
    explicit PlayerPairSensorSource(PlayerPair& pair) : pair_(pair) {}
    void Read(const std::function<void(const SensorView&)>& use) override;

private:
    PlayerPair& pair_;
};

}  // namespace trivexa
