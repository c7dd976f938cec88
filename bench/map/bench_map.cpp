// Map bridge benchmark on a forge recording with the usual 4600 sensor
// records (13,800 frames at 30 fps), the map fed from a tile server on
// 127.0.0.1, each figure against a reference measured in the same run:
//   update   the map's part of one position update while playing (the frame
//            and the position handed to the bridge every 30 ms, as the main
//            window's position poll does), with the map shown against the
//            same loop with the map hidden: the time of the bridge's calls,
//            and the UI thread's CPU per 30 ms tick including everything the
//            map makes the UI thread do meanwhile (the page's state requests,
//            the pushes of the frame, the web engine's own work)
//   memory   the process and its web engine helpers with the map shown,
//            against the viewer before the map module is loaded and with the
//            module loaded but the map never shown
// The machine is shared: medians of several rounds are reported. Run under a
// display:
//   QTWEBENGINE_DISABLE_SANDBOX=1 xvfb-run -a bench_map [SECONDS]

#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/settings_file.h"
#include "map/map_runtime.h"
#include "map/map_test_util.h"
#include "support/bench_timing.h"
#include "support/process_memory.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace trivexa;
using bench::Clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Percentile (0..100) and median of one contender's measurements.
double Percentile(const std::vector<double>& v, int percent) {
    bench::Samples samples;
    for (double x : v) samples.Add(x);
    return samples.Percentile(percent);
}
double Median(const std::vector<double>& v) { return Percentile(v, 50); }

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct LoopResult {
    std::vector<double> callMs;  // the bridge's calls of each update
    double cpuPerTickMs = 0;     // UI thread CPU per 30 ms tick, all work included
};

// Plays `ticks` positions from `from`, one every 30 ms, feeding the map as
// the position fan-out does.
LoopResult PlayLoop(CMapViewWrap& wrap, test::LoadedRecording& rec, int from, int ticks) {
    LoopResult r;
    r.callMs.reserve(static_cast<std::size_t>(ticks));
    int tick = 0;
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const int frame = (from + tick) % std::max(rec.frames, 1);
        const auto start = Clock::now();
        wrap.SetPosition(frame);
        rec.source.Read([&](const SensorView& view) {
            if (const AccelEntry* entry = view.EntryAt(frame))
                if (const PositionEntry* p = view.PositionOf(*entry))
                    if (p->valid != 0) wrap.SetLatLng(p->latitude, p->longitude);
        });
        r.callMs.push_back(Ms(Clock::now() - start));
        if (++tick >= ticks) loop.quit();
    });
    const double cpu = ThreadCpuMs();
    timer.start(30);
    loop.exec();
    r.cpuPerTickMs = (ThreadCpuMs() - cpu) / ticks;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::fprintf(stderr, "bench_map: needs a display (run under xvfb-run -a)\n");
        return 2;
    }
    // The web engine's sandbox refuses to run as root.
    if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    PrepareMapModuleBeforeApplication();
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 20;
    const int ticks = seconds * 1000 / 30;

    test::TempDir scratch;
    SetSettingsDirectory(scratch.path().string());
    test::RecordingSpec spec;
    spec.frames = 13800;
    spec.records = 4600;
    spec.marks = {600, 900, 1200, 1700, 2000, 2300, 2600, 3000, 3100};
    const fs::path clip = test::WriteRecording(scratch.path() / "card", spec);
    test::LoadedRecording rec;
    if (clip.empty() || !rec.Load(clip)) {
        std::fprintf(stderr, "bench_map: could not write or read the recording\n");
        return 1;
    }
    test::TileServer tiles;
    test::TestMapOwner owner;
    owner.resize(452, 393);
    owner.show();
    RunFor(500);
    const bench::Memory bare = bench::MeasureMemory();

    CMapViewWrap::Options options;
    options.tiles = map::TileSettingsFrom(tiles.Template(), "");
    CMapViewWrap wrap(&owner, &owner, options);
    if (!wrap.IsMapRuntimeInstalled()) {
        std::fprintf(stderr, "bench_map: no map module: %s\n", wrap.MapRuntimeError().c_str());
        return 1;
    }
    wrap.SetSensorSource(&rec.source);
    QWidget* map = wrap.CreateMapWindow(&owner);
    map->setGeometry(4, 20, 444, 369);
    map->hide();
    RunFor(500);
    const bench::Memory loaded = bench::MeasureMemory();

    owner.onMessage = [&](const test::PostedSeen& m) {
        if (m.message != UM_MAP_READY) return;
        wrap.RedrawMap(0, true);
        wrap.AddEventMarkers(0, rec.events, kAllSeries);
        wrap.SetStatus(map::MapPlayStatus::kPlaying);
    };
    wrap.ShowMap(true);
    wrap.SetConnectionTestEnabled(true);
    if (!test::WaitUntil([&] { return wrap.IsPageReady(); }, 60000)) {
        std::fprintf(stderr, "bench_map: the map page never became ready\n");
        return 1;
    }
    PlayLoop(wrap, rec, 0, 100);  // warm: tiles around the track loaded
    const bench::Memory shownMemory = bench::MeasureMemory();

    std::vector<double> shownCalls, hiddenCalls, shownCpu, hiddenCpu;
    int from = 100;
    for (int round = 0; round < 3; ++round) {
        wrap.ShowMap(true);
        LoopResult shown = PlayLoop(wrap, rec, from, ticks);
        from += ticks;
        wrap.ShowMap(false);
        LoopResult hidden = PlayLoop(wrap, rec, from, ticks);
        from += ticks;
        shownCalls.insert(shownCalls.end(), shown.callMs.begin(), shown.callMs.end());
        hiddenCalls.insert(hiddenCalls.end(), hidden.callMs.begin(), hidden.callMs.end());
        shownCpu.push_back(shown.cpuPerTickMs);
        hiddenCpu.push_back(hidden.cpuPerTickMs);
    }

    std::printf("recording: %d records, %d frames; %d updates per loop, 3 rounds\n", spec.records,
                rec.frames, ticks);
    std::printf(
        "bridge calls per update: map shown median %.4f ms, 90%% %.4f ms, max %.3f ms; "
        "map hidden median %.4f ms (ratio %.2f)\n",
        Median(shownCalls), Percentile(shownCalls, 90), Percentile(shownCalls, 100),
        Median(hiddenCalls), bench::CostRatio(Median(shownCalls), Median(hiddenCalls)));
    std::printf(
        "UI thread CPU per 30 ms update, all work included: map shown %.3f ms, map hidden "
        "%.3f ms (map's share %.3f ms)\n",
        Median(shownCpu), Median(hiddenCpu), Median(shownCpu) - Median(hiddenCpu));
    std::printf(
        "memory: viewer without the module %.0f MB RSS (%.0f MB PSS, %d process); module "
        "loaded, map never shown %.0f MB RSS (%.0f MB PSS); map shown %.0f MB RSS, %.0f MB PSS "
        "over %d processes (ratio %.1f against without the module)\n",
        bare.ownRssMb, bare.treePssMb, bare.processes, loaded.ownRssMb, loaded.treePssMb,
        shownMemory.ownRssMb, shownMemory.treePssMb, shownMemory.processes,
        bare.treePssMb > 0 ? shownMemory.treePssMb / bare.treePssMb : 0.0);
    std::printf("tile requests: %d, reachability tests: %d\n", tiles.TileGets(), tiles.Heads());
    return 0;
}
