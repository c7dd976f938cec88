// Sensor decoding on arbitrary bytes. The first input byte chooses the file
// name (ordinary, time-lapse, parking), whether the bytes also go through a
// whole SensorReader load from a file (block search, scan path, frame map),
// and the frame interval used for the frame map; the rest is the data.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <span>
#include <string>

#include "container/sensor_reader.h"

namespace {

constexpr const char* kNames[] = {
    "A___-230715-081522-000001F.AVI",
    "T___-230715-081522-000001F.AVI",
    "P___-230715-081522-000001F.AVI",
    "A_TS-230715-081522-000001F.AVI",
};
constexpr float kFrameIntervals[] = {
    33.366f,
    100.0f,
    66.666664f,
    1e-30f,
    -40.0f,
    std::numeric_limits<float>::infinity(),
    std::numeric_limits<float>::quiet_NaN(),
    0.0f,
};

const std::filesystem::path& ScratchDir() {
    static const std::filesystem::path dir = [] {
        auto d =
            std::filesystem::temp_directory_path() / ("fuzz_sensor_" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    // Registered after `dir` exists, so it runs before `dir` is destroyed:
    // the scratch file goes when the fuzzer exits.
    static const bool cleanup = [] {
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(ScratchDir(), ec);
        });
        return true;
    }();
    (void)cleanup;
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t selector = data[0];
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data + 1), size - 1);
    const char* name = kNames[selector % 4];

    trivexa::SensorBlockData full;
    trivexa::DecodeSensorBlock(bytes, name, full);
    trivexa::SensorBlockData positions;
    trivexa::DecodeSensorPositions(bytes, positions);

    if (selector & 0x80) {
        const auto path = ScratchDir() / name;
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
        }
        trivexa::SensorReader reader;
        reader.Init();
        if (reader.Load(path.string())) {
            reader.SetVideoMsPerFrame(kFrameIntervals[(selector >> 2) & 7]);
            reader.BuildFrameMap(static_cast<std::int32_t>(size % 4096));
            trivexa::SensorReader other;
            other.Init();
            trivexa::SensorReader::HandOver(reader, other);
            other.Shutdown();
        }
        reader.Shutdown();
    }
    return 0;
}
