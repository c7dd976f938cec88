// The map following a forge recording in a window of its own, until the
// main window hosts it (a developer's program: not a test, not installed).
//
//   map_demo [--shot FILE] [--seconds N] [--tiles TEMPLATE] [--paused]
//
// Writes a group of three forge recordings with a GPS track into a scratch
// folder, serves plain tiles from 127.0.0.1 (or uses TEMPLATE), plays the
// second recording at normal speed and fans its positions out to the map as
// the main window does. With --shot it saves the window after N seconds
// (default 8) and quits.

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "app/core/settings_file.h"
#include "container/sensor_track.h"
#include "map/map_runtime.h"
#include "map_test_util.h"
#include "recordings/recording_library.h"
#include "support/test_support.h"

using namespace trivexa;
using namespace trivexa::test;

int main(int argc, char** argv) {
    PrepareMapModuleBeforeApplication();
    QApplication app(argc, argv);
    QCommandLineParser args;
    args.addOption({"shot", "save a screenshot to FILE and quit", "FILE"});
    args.addOption({"seconds", "seconds before the screenshot", "N", "8"});
    args.addOption({"tiles", "tile address template", "TEMPLATE"});
    args.addOption({"paused", "stay paused at the start"});
    args.addHelpOption();
    args.process(app);

    TempDir scratch;
    SetSettingsDirectory(scratch.path().string());
    TileServer tiles;

    std::vector<RecordingEntry> group;
    for (int i = 0; i < 3; ++i) {
        const auto clip = WriteRecording(scratch.path() / "card", GroupDrive(i));
        if (clip.empty()) {
            std::fprintf(stderr, "map_demo: cannot write the recordings\n");
            return 1;
        }
        RecordingEntry e;
        e.frontPath = clip.string();
        group.push_back(e);
    }
    SensorReader::CollectTrack(group);
    LoadedRecording rec;
    if (!rec.Load(group[1].frontPath)) return 1;

    TestMapOwner host;
    host.setWindowTitle(QStringLiteral("MAPDISPLAY"));
    host.resize(452, 393);
    CMapViewWrap::Options options;
    options.tiles = map::TileSettingsFrom(
        args.isSet("tiles") ? args.value("tiles").toStdString() : tiles.Template(), "");
    CMapViewWrap wrap(&host, &host, options);
    if (!wrap.IsMapRuntimeInstalled())
        std::fprintf(stderr, "map_demo: no map module: %s\n", wrap.MapRuntimeError().c_str());
    wrap.SetSensorSource(&rec.source);
    QWidget* map = wrap.CreateMapWindow(&host);
    map->setGeometry(4, 20, 452 - 8, 393 - 24);

    int position = 0;
    bool playing = !args.isSet("paused");
    const auto fanOut = [&](int p) {
        position = std::clamp(p, 0, std::max(rec.frames - 1, 0));
        wrap.SetPosition(position);
        rec.source.Read([&](const SensorView& view) {
            if (const AccelEntry* entry = view.EntryAt(position))
                if (const PositionEntry* pos = view.PositionOf(*entry))
                    if (pos->valid != 0) wrap.SetLatLng(pos->latitude, pos->longitude);
        });
    };
    host.onMessage = [&](const PostedSeen& m) {
        if (m.message == UM_MAP_READY) {
            wrap.RedrawMap(0, true);
            wrap.AddEventMarkers(0, rec.events, kAllSeries);
            wrap.SetStatus(playing ? map::MapPlayStatus::kPlaying : map::MapPlayStatus::kPaused);
        } else if (m.message == UM_MAP_SEEK) {
            fanOut(static_cast<int>(m.lParam));
            wrap.RunScript(map::kMoveMarker);
        }
    };
    fanOut(0);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (playing) fanOut(position + 1);
    });
    poll.start(30);

    host.show();
    wrap.SetConnectionTestEnabled(true);
    if (args.isSet("shot")) {
        QTimer::singleShot(args.value("seconds").toInt() * 1000, [&] {
            const QPixmap shot =
                host.screen()->grabWindow(0, host.x(), host.y(), host.width(), host.height());
            shot.save(args.value("shot"));
            app.quit();
        });
    }
    return app.exec();
}
