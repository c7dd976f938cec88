#pragma once
// Hand-made sensor data for the graph tests: acceleration entries built from
// short descriptions and a frame map over them.

#include <cstdint>
#include <vector>

#include "container/sensor_reader.h"
#include "panels/core/sensor_view.h"

namespace trivexa::test {

struct GraphData {
    std::vector<AccelEntry> accels;
    std::vector<std::int32_t> frameMap;
    std::vector<PositionEntry> positions;
    double largest = 0.0;

    // A plain entry: accelerations (G), no axis, no event.
    AccelEntry& Add(double x = 0.0, double y = 0.0, double z = -1.0) {
        AccelEntry e;
        e.index = static_cast<std::uint32_t>(accels.size());
        e.x = x;
        e.y = y;
        e.z = z;
        accels.push_back(e);
        return accels.back();
    }
    // `count` entries, each shown for `framesPerEntry` frames.
    void Fill(int count, int framesPerEntry = 1) {
        for (int i = 0; i < count; ++i) Add();
        MapEvenly(framesPerEntry);
    }
    void MapEvenly(int framesPerEntry) {
        frameMap.clear();
        for (std::size_t i = 0; i < accels.size(); ++i)
            for (int f = 0; f < framesPerEntry; ++f)
                frameMap.push_back(static_cast<std::int32_t>(i));
    }
    SensorView View() const {
        SensorView v;
        v.accels = accels;
        v.frameMap = frameMap;
        v.positions = positions;
        v.largestAccel = largest;
        return v;
    }
};

}  // namespace trivexa::test
