// panels_demo: the acceleration graph and the trip panel following a
// recording, until the main window exists to host them. Not shipped.
//
//   panels_demo [--clip FILE] [--scale S] [--voltage] [--shot FILE --at FRAME]
//
// Without --clip a forge recording with one event of every kind is written
// to a scratch folder (a parking recording with --voltage, which acts as a
// card with a trace file). The panels play it at its frame rate (a position
// update every 30 ms, as the main window polls), left click on the graph
// jumps to the previous event, right click to the next one, the axis buttons
// switch the lines. With --shot the panels are painted at FRAME, saved as a
// PNG and the program ends.

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "controls/shared_fonts.h"
#include "panels/forge_recording.h"
#include "panels/panel_host.h"

namespace fs = std::filesystem;
using namespace trivexa;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    fs::path clip;
    std::string shot;
    int at = 0;
    float scale = 1.0f;
    bool voltage = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--clip" && i + 1 < argc) {
            clip = argv[++i];
        } else if (a == "--scale" && i + 1 < argc) {
            scale = std::strtof(argv[++i], nullptr);
        } else if (a == "--shot" && i + 1 < argc) {
            shot = argv[++i];
        } else if (a == "--at" && i + 1 < argc) {
            at = std::atoi(argv[++i]);
        } else if (a == "--voltage") {
            voltage = true;
        } else {
            std::fprintf(stderr,
                         "usage: panels_demo [--clip FILE] [--scale S] [--voltage] "
                         "[--shot FILE --at FRAME]\n");
            return 2;
        }
    }
    if (!(scale > 0.2f && scale < 8.0f)) scale = 1.0f;
    SetLayoutScale(scale);
    const int dpi = static_cast<int>(96 * scale);
    CreateSharedFonts(ComputeScaleAndFonts({1.0f, dpi, dpi, 4000}));

    const fs::path scratch =
        fs::temp_directory_path() / ("panels_demo_" + std::to_string(getpid()));
    if (clip.empty()) {
        test::RecordingSpec spec;
        // A parking recording qualifies for the voltage (and has no positions).
        spec.name = voltage ? "P___-230715-081522-000001F.AVI" : "A___-230715-081522-000001F.AVI";
        spec.frames = 1800;
        spec.records = 600;
        spec.height = 1080;
        spec.marks = {150, 210, 260, 340, 390, 440, 490, 530, 560};
        clip = test::WriteRecording(scratch, spec);
        if (clip.empty()) {
            std::fprintf(stderr, "panels_demo: could not write a recording\n");
            return 1;
        }
    }

    test::PanelHost host;
    host.setWindowTitle(
        QStringLiteral("Trivexa panels: %1").arg(QString::fromStdString(clip.filename().string())));
    if (!host.Open(clip, voltage)) std::fprintf(stderr, "panels_demo: no sensor data read\n");
    host.show();

    int result = 0;
    if (!shot.empty()) {
        host.FanOut(at);
        QCoreApplication::processEvents();
        host.repaint();
        result = host.grab().save(QString::fromStdString(shot)) ? 0 : 1;
    } else {
        QElapsedTimer clock;
        clock.start();
        QTimer poll;
        int base = 0;   // position when the clock started
        int shown = 0;  // position of the last update
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (host.frames <= 0 || host.intervalMs <= 0) return;
            // A click jumped: playing goes on from the event.
            if (host.position != shown) {
                base = host.position;
                clock.restart();
            }
            int p = base + static_cast<int>(clock.elapsed() / host.intervalMs);
            if (p >= host.frames) {
                base = p = 0;
                clock.restart();
            }
            host.FanOut(p);
            shown = host.position;
        });
        poll.start(30);
        result = app.exec();
    }
    host.Close();
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return result;
}
