// Data panel benchmarks on a forge recording with the usual 4600 sensor
// records (460 s of driving, 13,800 frames at 30 fps), each against a
// reference measured in the same run:
//   update      one position update of both panels while playing (the trip
//               panel's read-outs and the graph's cursor, one frame further,
//               painted at once) against the same loop with the panels hidden
//   first plot  the first paint of the graph after the recording's data were
//               prepared (plot layer drawn) against a paint that only copies
//               the layer and draws the cursor
//   events      the main window's rebuild of its event list, for scale
// The machine is shared, so single times are kept and their median (and
// 90th percentile) reported. Run under a display:
//   xvfb-run -a bench_panels [UPDATES]

#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "controls/shared_fonts.h"
#include "panels/forge_recording.h"
#include "panels/panel_host.h"
#include "support/bench_timing.h"

namespace fs = std::filesystem;
using namespace trivexa;
using bench::Clock;
using bench::Samples;
using bench::ThreadCpuMs;

namespace {

double Ms(Clock::duration d) { return bench::Milliseconds(d); }

// Per update: fan the next frame out and paint both panels at once. Returns
// the thread's CPU time per update over the whole loop.
double UpdateLoop(test::PanelHost& host, int updates, int from, Samples& times) {
    const double cpu = ThreadCpuMs();
    for (int i = 0; i < updates; ++i) {
        const auto start = Clock::now();
        host.FanOut(from + i);
        host.info->repaint();
        host.graph->repaint();
        times.Add(Ms(Clock::now() - start));
    }
    return (ThreadCpuMs() - cpu) / updates;
}

}  // namespace

int main(int argc, char** argv) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::fprintf(stderr, "bench_panels: needs a display (run under xvfb-run -a)\n");
        return 2;
    }
    QApplication app(argc, argv);
    const int updates = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;

    SetLayoutScale(1.0f);
    CreateSharedFonts(ComputeScaleAndFonts({1.0f, 96, 96, 1080}));

    const fs::path dir = fs::temp_directory_path() / ("bench_panels_" + std::to_string(getpid()));
    test::RecordingSpec spec;
    spec.frames = 13800;
    spec.records = 4600;
    spec.marks = {600, 900, 1200, 1700, 2000, 2300, 2600, 3000, 3100};
    const fs::path clip = test::WriteRecording(dir, spec);
    if (clip.empty()) {
        std::fprintf(stderr, "bench_panels: could not write the recording\n");
        return 1;
    }

    test::PanelHost host;
    host.show();
    QCoreApplication::processEvents();

    // First plot: the recording opened (data committed, event list rebuilt,
    // both panels painted), then the data committed again so that the next
    // paint draws the plot layer; a second paint only copies it.
    Samples firstPlot, copyOnly, eventList;
    for (int round = 0; round < 15; ++round) {
        if (!host.Open(clip)) {
            std::fprintf(stderr, "bench_panels: could not open the recording\n");
            return 1;
        }
        host.FanOut(6000);
        QCoreApplication::processEvents();
        host.graph->SetDataPresent(false);
        host.graph->SetDataPresent(true);
        auto t = Clock::now();
        host.graph->repaint();
        firstPlot.Add(Ms(Clock::now() - t));
        t = Clock::now();
        host.graph->repaint();
        copyOnly.Add(Ms(Clock::now() - t));
        t = Clock::now();
        const GraphEventList list = host.graph->BuildEventList();
        eventList.Add(Ms(Clock::now() - t));
        if (list.empty()) return 1;
    }
    const int entries = host.graph->LastPlot().entriesDrawn;

    // Updates while playing, against the same loop with the panels hidden.
    Samples warm, shown, hidden, shownCpu, hiddenCpu;
    UpdateLoop(host, 100, 0, warm);
    for (int round = 0; round < 3; ++round) {
        host.info->show();
        host.graph->show();
        shownCpu.Add(UpdateLoop(host, updates, 100, shown));
        host.info->hide();
        host.graph->hide();
        hiddenCpu.Add(UpdateLoop(host, updates, 100, hidden));
    }
    host.info->show();
    host.graph->show();

    // Where an update's time goes: each panel alone.
    Samples infoOnly, graphOnly;
    for (int i = 0; i < updates; ++i) {
        host.FanOut(100 + i);
        auto t = Clock::now();
        host.info->repaint();
        infoOnly.Add(Ms(Clock::now() - t));
        t = Clock::now();
        host.graph->repaint();
        graphOnly.Add(Ms(Clock::now() - t));
    }

    const double update = shown.Median(), reference = hidden.Median();
    std::printf("recording: %d records, %d frames, plot %d steps (%d entries drawn)\n",
                spec.records, host.frames, host.graph->LastPlot().geometry.plotWidth, entries);
    std::printf(
        "update of both panels: median %.3f ms, 90%% %.3f ms; panels hidden: median "
        "%.4f ms; cost %.3f ms per update (ratio %.0f)\n",
        update, shown.Percentile(90), reference, update - reference,
        reference > 0 ? update / reference : 0.0);
    std::printf("  UI thread CPU per update: %.3f ms (panels hidden: %.4f ms)\n", shownCpu.Median(),
                hiddenCpu.Median());
    std::printf(
        "  alone: trip panel %.3f ms, graph %.3f ms (its plot layer is drawn at every\n"
        "  step: the clip has more frames than the plot has pixels, so it slides)\n",
        infoOnly.Median(), graphOnly.Median());
    std::printf("first plot: median %.3f ms; copy of the layer: %.3f ms (ratio %.1f)\n",
                firstPlot.Median(), copyOnly.Median(),
                copyOnly.Median() > 0 ? firstPlot.Median() / copyOnly.Median() : 0.0);
    std::printf("event list rebuild: median %.3f ms\n", eventList.Median());
    host.Close();
    fs::remove_all(dir);
    return 0;
}
