// Writes the seed corpus of fuzz_sensor: sensor blocks as clipforge encodes
// them (usual, unlimited and zero counts, chained header units, a parking
// drive), each behind a selector byte that sends half of them through a
// whole reader load.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "clipforge/clipforge.h"

namespace cf = trivexa::clipforge;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_sensor_seeds DIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);

    std::vector<cf::SensorSpec> specs;
    cf::DriveScript drive;
    drive.records = 12;
    drive.shockAt = 3;
    drive.manualAt = 5;
    drive.brakingAt = 7;
    drive.gapBegin = 9;
    drive.gapEnd = 11;
    cf::SensorSpec plain;
    plain.samples = cf::ScriptedDrive(drive);
    specs.push_back(plain);
    cf::SensorSpec unlimited = plain;
    unlimited.countMode = cf::CountMode::Unlimited;
    unlimited.slots = 14;
    specs.push_back(unlimited);
    cf::SensorSpec zero = plain;
    zero.countMode = cf::CountMode::Zero;
    specs.push_back(zero);
    cf::SensorSpec chained = plain;
    chained.chained = {cf::SensorHeaderUnit{}, cf::SensorHeaderUnit{}};
    specs.push_back(chained);
    cf::SensorSpec parked;
    drive.parked = true;
    parked.samples = cf::ScriptedDrive(drive);
    specs.push_back(parked);

    int n = 0;
    for (const cf::SensorSpec& spec : specs) {
        const std::vector<std::uint8_t> block = cf::EncodeSensorBlock(spec);
        for (unsigned char selector : {0x00, 0x81, 0x86}) {
            std::ofstream out(dir / ("seed" + std::to_string(n++)), std::ios::binary);
            out.put(static_cast<char>(selector));
            // A little filler in front, as in a clip, for the reader's search.
            if (selector & 0x80) out << std::string(3 * block.size() + 20, 'v');
            out.write(reinterpret_cast<const char*>(block.data()),
                      static_cast<std::streamsize>(block.size()));
        }
    }
    return 0;
}
