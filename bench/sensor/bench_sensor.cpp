// Time of SensorReader::Load on a clip whose sensor block holds the usual
// 4600 records (a scripted drive), against merely reading the block's bytes
// once through a mapped window of the same file in the same run. The page
// cache is warm for both; the clip is made in a scratch folder and deleted.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "clipforge/clipforge.h"
#include "container/mapped_file.h"
#include "container/sensor_reader.h"

namespace {

namespace fs = std::filesystem;
namespace cf = trivexa::clipforge;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 30;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Opens the clip, maps the block and touches every byte, as a lower bound
// for anything that decodes it.
std::uint64_t ReadBlock(const fs::path& path) {
    trivexa::MappedFile file;
    if (!file.Open(path)) return 0;
    const std::uint64_t size = file.Size();
    const std::uint64_t length = std::min<std::uint64_t>(size, trivexa::sensor::kUsualBlockSize);
    const trivexa::MappedWindow w = file.MapWindow(size - length, length);
    std::uint64_t sum = 0;
    for (std::byte b : w.bytes()) sum += static_cast<std::uint8_t>(b);
    return sum;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir =
        argc > 1 ? fs::path(argv[1])
                 : fs::temp_directory_path() / ("bench_sensor_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path clip = dir / "A___-230715-081522-000001F.AVI";

    cf::ClipSpec spec;
    spec.name = clip.filename().string();
    spec.video.content = cf::VideoContent::Synthetic;
    spec.video.frames = 300;
    cf::DriveScript script;
    script.records = static_cast<int>(trivexa::sensor::kUsualRecordCount);
    script.gapBegin = 1000;
    script.gapEnd = 1200;
    script.shockAt = 2000;
    script.manualAt = 3000;
    spec.sensor.samples = cf::ScriptedDrive(script);
    std::string error;
    if (!cf::WriteClip(clip, spec, nullptr, &error)) {
        std::fprintf(stderr, "clipforge: %s\n", error.c_str());
        return 1;
    }

    std::vector<double> loadMs, readMs;
    std::uint64_t sink = 0;
    std::size_t entries = 0;
    for (int round = -2; round < kRounds; ++round) {  // two warm-up rounds
        const auto t0 = Clock::now();
        sink += ReadBlock(clip);
        const auto t1 = Clock::now();
        trivexa::SensorReader reader;
        reader.Init();
        if (!reader.Load(clip.string())) {
            std::fprintf(stderr, "Load failed\n");
            return 1;
        }
        const auto t2 = Clock::now();
        entries = reader.Positions().size();
        reader.Shutdown();
        if (round < 0) continue;
        readMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        loadMs.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    fs::remove_all(dir);

    const double load = Median(loadMs), read = Median(readMs);
    std::printf("records: %zu (block %zu bytes), %d rounds, medians\n", entries,
                trivexa::sensor::kUsualBlockSize, kRounds);
    std::printf("SensorReader::Load: %.3f ms\n", load);
    std::printf("read block bytes:   %.3f ms\n", read);
    std::printf("Load / read:        %.1fx  (checksum %llu)\n", load / read,
                static_cast<unsigned long long>(sink % 1000));
    return 0;
}
