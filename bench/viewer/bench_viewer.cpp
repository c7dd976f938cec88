// Viewer benchmarks on a card of 1080p front and 720p rear clips, each
// against a reference measured in the same run (run under a display,
// e.g. xvfb-run):
//   open     selection of a row to the first picture of both cameras, less
//            the 500 ms debounce, against opening the same two clips with a
//            bare PlayerPair into two video surfaces (no main window)
//   fanout   one position fan-out (trip panel, graph cursor, slider) with the
//            repaint it causes, against the 30 ms poll period
//   cpu      processor time of the viewer paused and playing for N seconds,
//            against a bare PlayerPair playing the same recording
//   map      the fan-out while playing and while paused with the map shown
//            (tiles from a server on 127.0.0.1), against the same fan-out
//            with the map hidden; the processor time playing with the map
//            shown; the memory of the viewer and its web engine helpers with
//            the map shown, against the map hidden
//
//   bench_viewer [SECONDS]
// The card is written by clipforge under the build tree and reused.

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QHBoxLayout>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/controller/viewer_controller.h"
#include "app/core/settings_file.h"
#include "app/messages/posted_message.h"
#include "app/vidorra_dlg.h"
#include "clipforge/clipforge.h"
#include "map/core/map_settings.h"
#include "map/map_runtime.h"
#include "map/map_test_util.h"
#include "panels/gsensor_dlg.h"
#include "playback/cplayer.h"
#include "playback/player_pair.h"
#include "playback/video_presenter.h"
#include "support/process_memory.h"

namespace fs = std::filesystem;
using namespace trivexa;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kFrames = 600;  // 20 s at 30 fps

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 60000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// Runs the event loop for `ms` as the viewer's own loop runs: asleep until an
// event or timer is due. (A loop polling every millisecond would itself cost a
// few per cent of a core and be counted as the viewer's.)
void Pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

fs::path Card() {
    const fs::path root = fs::path(TRIVEXA_BENCH_DATA) / "viewer" / "card";
    if (fs::exists(root / "Normal")) return root;
    std::fprintf(stderr, "writing the 1080p/720p card...\n");
    clipforge::CardSpec spec;
    spec.clip.video.width = 1920;
    spec.clip.video.height = 1080;
    spec.clip.video.frames = kFrames;
    spec.clip.video.texture = true;
    clipforge::VideoSpec rear = spec.clip.video;
    rear.width = 1280;
    rear.height = 720;
    rear.camera = 'R';
    spec.rearVideo = rear;
    for (const char* name : {"A___-230715-081500-000001F.AVI", "A___-230715-081600-000002F.AVI"}) {
        clipforge::CardRecording r;
        r.name = name;
        spec.recordings.push_back(r);
    }
    std::string error;
    const fs::path tmp = root.string() + ".part";
    fs::remove_all(tmp);
    if (!clipforge::WriteCard(tmp, spec, &error)) {
        std::fprintf(stderr, "clipforge: %s\n", error.c_str());
        std::exit(1);
    }
    fs::remove_all(root);
    fs::rename(tmp, root);
    return root;
}

// Counts the players' ready notices (a bare surface owner).
class ReadyCounter : public QObject {
public:
    int ready = 0;
    bool event(QEvent* e) override {
        if (const auto* m = AsPostedMessage(e)) {
            ready += m->message() == UM_ENGINE_READY ? 1 : 0;
            return true;
        }
        return QObject::event(e);
    }
};

// Pictures presented and presented late by both players so far.
struct Late {
    long presented = 0;
    long late = 0;
};
Late LateOf(PlayerPair& pair) {
    Late l;
    for (Camera c : {Camera::Front, Camera::Rear})
        if (CPlayer* e = pair.Player(c).Engine()) {
            const EngineStats st = e->Stats();
            l.presented += st.presented;
            l.late += st.late;
        }
    return l;
}
double LatePercent(const Late& a, const Late& b) {
    const long presented = b.presented - a.presented;
    return presented > 0 ? 100.0 * static_cast<double>(b.late - a.late) / presented : 0.0;
}

bool BothShow(VideoPresenter& a, VideoPresenter& b) {
    return a.CurrentSample() != nullptr && b.CurrentSample() != nullptr;
}

}  // namespace

// The fan-out's call (what the UI thread does inside the 30 ms tick, under
// the players' locks) and the repaint of the panels it schedules, each per
// tick; `position` gives the position of tick i.
struct FanOutCost {
    double call = 0;
    double paint = 0;
};
FanOutCost MeasureFanOut(ViewerController& c, int ticks,
                         const std::function<std::int64_t(int)>& position) {
    double calls = 0, paints = 0;
    for (int i = 0; i < ticks; ++i) {
        const auto a = Clock::now();
        c.FanOut(position(i));
        const auto b = Clock::now();
        QCoreApplication::processEvents();
        calls += Seconds(b - a);
        paints += Seconds(Clock::now() - b);
    }
    return {calls / ticks, paints / ticks};
}

int main(int argc, char** argv) {
    // The web engine's sandbox refuses to run as root.
    if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    PrepareMapModuleBeforeApplication();
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 6;
    const fs::path card = Card();
    const std::string front = (card / "Normal/Front/A___-230715-081500-000001F.AVI").string();
    const std::string rearPath = (card / "Normal/Rear/A___-230715-081500-000001R.AVI").string();
    const fs::path settings = fs::path(TRIVEXA_BENCH_DATA) / "viewer" / "settings";
    fs::create_directories(settings);
    SetSettingsDirectory(settings.string());
    // The map's tiles come from here, never from the internet.
    test::TileServer tiles;
    WriteSetting(map::map_settings::kSection, map::map_settings::kTileUrl, tiles.Template());
    // The viewer's update check would add network traffic of its own.
    if (!fs::exists(SettingsFilePath())) CreateDefaultSettings();
    WriteSetting("UPDATE", "CHECK", "off");
    constexpr int kRuns = 6;

    // --- reference: the bare pair -------------------------------------------------
    double bareOpen = 0;
    double bareCpu = 0;
    double bareLate = 0;
    double viewerLate = 0;
    {
        QWidget window;
        auto* layout = new QHBoxLayout(&window);
        VideoPresenter s0, s1;
        layout->addWidget(&s0);
        layout->addWidget(&s1);
        window.resize(1120, 400);
        window.show();
        Pump(300);
        ReadyCounter r0, r1;
        PlayerPair pair;
        pair.Player(Camera::Front).Initialise(&r0, &s0);
        pair.Player(Camera::Rear).Initialise(&r1, &s1);
        for (int i = 0; i < kRuns; ++i) {
            pair.CloseBoth();
            s0.ClearPicture();
            s1.ClearPicture();
            Pump(50);
            r0.ready = r1.ready = 0;
            const auto t0 = Clock::now();
            pair.OpenBoth(front, rearPath);
            WaitFor([&] { return r0.ready && r1.ready && BothShow(s0, s1); });
            if (i > 0) bareOpen += Seconds(Clock::now() - t0) / (kRuns - 1);
        }
        pair.Seek(CameraSelector::kBoth, 0);
        pair.Play(CameraSelector::kBoth);
        Pump(300);
        const double c0 = CpuSeconds();
        const Late l0 = LateOf(pair);
        Pump(seconds * 1000);
        bareCpu = (CpuSeconds() - c0) / seconds;
        bareLate = LatePercent(l0, LateOf(pair));
        pair.CloseBoth();
        for (Camera c : {Camera::Front, Camera::Rear}) pair.Player(c).Release();
    }

    // --- the viewer ----------------------------------------------------------------
    double viewerOpen = 0;
    double fanOut = 0;
    double fanOutPaint = 0;
    double pausedCpu = 0;
    double pausedAfterPlayCpu = 0;
    double playingCpu = 0;
    double playingCpuMap = 0;
    FanOutCost playHidden, playShown, pausedHidden, pausedShown;
    bench::Memory memHidden, memShown;
    bool mapReady = false;
    {
        CVidorraDlg window;
        window.Initialise(card.string());
        window.move(0, 0);
        window.show();
        ViewerController& c = window.Controller();
        WaitFor([&] { return c.MediaLoaded() && !c.OpenPending(); });
        for (int i = 0; i < kRuns; ++i) {
            const int row = (i + 1) % 2;
            {
                std::lock_guard hold(window.ListMutex());
                window.SelectListRow(row);
                window.SetCurrentIndex(row);
            }
            const auto t0 = Clock::now();
            window.SelectRecording({});
            // Selecting stops the current recording, which repaints its
            // picture at once; the new one cannot show before the 500 ms
            // debounce, so the surfaces are cleared after that repaint.
            Pump(100);
            window.Surface(0).ClearPicture();
            window.Surface(1).ClearPicture();
            // The new recording's first pictures in both surfaces.
            WaitFor([&] { return BothShow(window.Surface(0), window.Surface(1)); });
            const double total = Seconds(Clock::now() - t0);
            if (i > 0) viewerOpen += (total - 0.5) / (kRuns - 1);
            WaitFor([&] { return c.MediaLoaded() && !c.OpenPending(); });
        }

        // Fan-out: the call itself (what the UI thread does inside the
        // 30 ms tick, under the players' locks), and the repaint of the
        // panels it schedules, measured apart.
        constexpr int kTicks = 300;
        const int plotsBefore = window.Graph().PlotRenders();
        const FanOutCost cost =
            MeasureFanOut(c, kTicks, [](int i) { return static_cast<std::int64_t>(i % 500); });
        fanOut = cost.call;
        fanOutPaint = cost.paint;
        std::printf("graph plot layers drawn during the fan-outs: %d of %d ticks\n",
                    window.Graph().PlotRenders() - plotsBefore, kTicks);

        // Paused: measured once the repaints the fan-outs above scheduled
        // have run, so that only what a paused viewer does itself counts.
        Pump(2000);
        double c0 = CpuSeconds();
        Pump(seconds * 1000);
        pausedCpu = (CpuSeconds() - c0) / seconds;

        c.CmdPlayPause();
        Pump(300);
        c0 = CpuSeconds();
        const Late l0 = LateOf(c.Pair());
        Pump(seconds * 1000);
        playingCpu = (CpuSeconds() - c0) / seconds;
        viewerLate = LatePercent(l0, LateOf(c.Pair()));

        // Paused again after playing, then playing on for the map's part.
        c.CmdPlayPause();
        Pump(2000);
        c0 = CpuSeconds();
        Pump(seconds * 1000);
        pausedAfterPlayCpu = (CpuSeconds() - c0) / seconds;
        c.CmdPlayPause();
        Pump(300);

        // The map: the same fan-outs with the map hidden, then shown.
        constexpr int kMapTicks = 300;
        const auto playing = [&](int) { return c.DataPosition(); };
        const auto paused = [&](int i) { return static_cast<std::int64_t>(i % 500); };
        playHidden = MeasureFanOut(c, kMapTicks, playing);
        c.CmdPlayPause();
        Pump(300);
        pausedHidden = MeasureFanOut(c, kMapTicks, paused);
        memHidden = bench::MeasureMemory();
        window.Command(static_cast<int>(CommandId::kMapWindow));
        mapReady =
            window.Map() != nullptr && WaitFor([&] { return window.Map()->IsPageReady(); }, 60000);
        if (!mapReady) std::fprintf(stderr, "bench_viewer: the map never became ready\n");
        Pump(2000);
        memShown = bench::MeasureMemory();
        pausedShown = MeasureFanOut(c, kMapTicks, paused);
        c.CmdPlayPause();
        Pump(300);
        playShown = MeasureFanOut(c, kMapTicks, playing);
        c0 = CpuSeconds();
        Pump(seconds * 1000);
        playingCpuMap = (CpuSeconds() - c0) / seconds;
        window.Shutdown();
    }

    std::printf(
        "open to both first pictures (less 500 ms debounce): viewer %.1f ms, bare pair %.1f ms, "
        "ratio %.2f\n",
        viewerOpen * 1000, bareOpen * 1000, viewerOpen / bareOpen);
    std::printf(
        "fan-out per tick: %.3f ms (%.1f %% of the 30 ms period); the repaint it causes: "
        "%.3f ms\n",
        fanOut * 1000, fanOut * 1000 / 30 * 100, fanOutPaint * 1000);
    std::printf(
        "cpu (share of one core): viewer paused %.1f %% (after playing %.1f %%), viewer playing "
        "%.1f %%, bare pair playing %.1f %%, playing ratio %.2f\n",
        pausedCpu * 100, pausedAfterPlayCpu * 100, playingCpu * 100, bareCpu * 100,
        playingCpu / bareCpu);
    std::printf("late pictures at rate 1: viewer %.2f %%, bare pair %.2f %%\n", viewerLate,
                bareLate);
    std::printf("map: %s\n", mapReady ? "page ready" : "NOT READY (figures below without a map)");
    std::printf(
        "fan-out playing: map shown %.3f ms, map hidden %.3f ms, ratio %.2f; the repaint it "
        "causes: shown %.3f ms, hidden %.3f ms\n",
        playShown.call * 1000, playHidden.call * 1000, playShown.call / playHidden.call,
        playShown.paint * 1000, playHidden.paint * 1000);
    std::printf(
        "fan-out paused (a seek: the marker moved at once): map shown %.3f ms, map hidden "
        "%.3f ms, ratio %.2f; the repaint it causes: shown %.3f ms, hidden %.3f ms\n",
        pausedShown.call * 1000, pausedHidden.call * 1000, pausedShown.call / pausedHidden.call,
        pausedShown.paint * 1000, pausedHidden.paint * 1000);
    std::printf(
        "cpu playing (share of one core, the viewer process): map shown %.1f %%, map hidden "
        "%.1f %%, ratio %.2f\n",
        playingCpuMap * 100, playingCpu * 100, playingCpuMap / playingCpu);
    std::printf(
        "memory: map hidden %.0f MB RSS, %.0f MB PSS over %d processes; map shown %.0f MB RSS, "
        "%.0f MB PSS over %d processes (ratio %.2f)\n",
        memHidden.ownRssMb, memHidden.treePssMb, memHidden.processes, memShown.ownRssMb,
        memShown.treePssMb, memShown.processes,
        memHidden.treePssMb > 0 ? memShown.treePssMb / memHidden.treePssMb : 0.0);
    std::printf("tile requests: %d, reachability tests: %d\n", tiles.TileGets(), tiles.Heads());
    return 0;
}
