// The map bridge with its plugin in real windows: forge recordings with a GPS
// track, a tile server on 127.0.0.1 (set through the tile setting), the map
// page in Qt WebEngine. What the page shows is read back from the page;
// clicks are real mouse clicks on the browser.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTest>
#include <QWebEngineView>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "container/sensor_track.h"
#include "map/core/event_markers.h"
#include "map/core/map_rules.h"
#include "map/core/map_script.h"
#include "map/core/track_array.h"
#include "map/map_view_wrap.h"
#include "page_probe.h"
#include "recordings/recording_library.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace trivexa::test {
namespace {

bool HaveDisplay() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

#define REQUIRE_DISPLAY()                                 \
    do {                                                  \
        if (!HaveDisplay()) GTEST_SKIP() << "no display"; \
    } while (0)

// Bytes of the regular files under `folder` (0 when it does not exist yet).
std::uintmax_t FolderBytes(const fs::path& folder) {
    std::uintmax_t total = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file(ec)) {
            const std::uintmax_t size = it->file_size(ec);
            if (!ec) total += size;
        }
    return total;
}

// The regular files under `folder` one after another, as bytes.
std::string FolderText(const fs::path& folder) {
    std::string text;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        std::ifstream in(it->path(), std::ios::binary);
        text.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return text;
}

// The map host window's content at scale 1: 452 x 393 less the caption strip
// and the margins.
constexpr int kMapWidth = 452 - 8;
constexpr int kMapHeight = 393 - 24;
// The page is shown at this zoom: CSS pixels times this are widget pixels.
constexpr double kZoom = 0.65;

void SaveShot(QWidget* w, const QString& name) {
    QDir().mkpath(QStringLiteral(TRIVEXA_MAP_SHOT_DIR));
    // The browser draws through OpenGL: the screen holds what the user sees.
    const QPoint at = w->mapToGlobal(QPoint(0, 0));
    const QPixmap shot = w->screen()->grabWindow(0, at.x(), at.y(), w->width(), w->height());
    shot.save(QStringLiteral(TRIVEXA_MAP_SHOT_DIR "/") + name);
}

// The forge recordings every test shares: a group of three drives, the
// second being the current recording, and recordings with bad positions.
struct Recordings {
    TempDir dir;
    std::vector<RecordingEntry> group;
    fs::path current;
    fs::path badPositions;  // 720.0 markers with a fix, latitudes beyond the pole
    fs::path noPositions;   // no fix at all

    Recordings() {
        for (int i = 0; i < 3; ++i) {
            RecordingEntry e;
            e.frontPath = WriteRecording(dir.path() / "group", GroupDrive(i)).string();
            group.push_back(e);
        }
        current = group[1].frontPath;
        RecordingSpec bad = GroupDrive(0);
        bad.name = "A___-230715-090000-000010F.AVI";
        bad.editSamples = [](std::vector<clipforge::SensorSample>& samples) {
            for (std::size_t i = 0; i < samples.size(); ++i) {
                if (i % 5 == 1) samples[i].latitude.reset();  // 720.0, still 'A'
                if (i % 5 == 2) samples[i].longitude.reset();
                if (i % 5 == 3) samples[i].latitude = 95.5;
            }
        };
        badPositions = WriteRecording(dir.path() / "bad", bad);
        RecordingSpec none = GroupDrive(0);
        none.name = "A___-230715-091000-000011F.AVI";
        none.editSamples = [](std::vector<clipforge::SensorSample>& samples) {
            for (clipforge::SensorSample& s : samples) {
                s.fix = false;
                s.latitude.reset();
                s.longitude.reset();
            }
        };
        noPositions = WriteRecording(dir.path() / "bad", none);
    }
};

Recordings& Forge() {
    static Recordings recordings;
    return recordings;
}

class MapBridge : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        ASSERT_FALSE(Forge().current.empty());
        ASSERT_TRUE(SensorReader::CollectTrack(Forge().group));
        ASSERT_TRUE(recording.Load(Forge().current));
        owner.setWindowTitle(QStringLiteral("MAPDISPLAY"));
        owner.resize(kMapWidth + 8, kMapHeight + 24);
        owner.move(40, 40);
    }
    void TearDown() override {
        wrap.reset();
        ClearGroupTrack();
    }

    // A wrap over the test's recording with tiles from `tileTemplate`.
    CMapViewWrap& MakeWrap(const std::string& tileTemplate, std::string attribution = "",
                           std::optional<std::string> modulePath = TRIVEXA_MAP_MODULE_FILE) {
        CMapViewWrap::Options options;
        options.modulePath = std::move(modulePath);
        options.tiles = map::TileSettingsFrom(tileTemplate, attribution);
        options.profileDirectory = (profile.path() / "map_profile").string();
        options.connection = FastConnection();
        wrap = std::make_unique<CMapViewWrap>(&owner, &owner, std::move(options));
        wrap->SetSensorSource(&recording.source);
        return *wrap;
    }

    // Shows the map window in the owner and switches the test on, as the
    // map command does.
    QWidget* ShowMapWindow() {
        QWidget* window = wrap->CreateMapWindow(&owner);
        window->setGeometry(4, 20, kMapWidth, kMapHeight);
        window->show();
        owner.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&owner));
        wrap->SetConnectionTestEnabled(true);
        return window;
    }

    bool WaitReady(int count = 1, int timeoutMs = 30000) {
        return WaitUntil([&] { return owner.Count(UM_MAP_READY) >= count; }, timeoutMs);
    }

    // What the main window does on UM_MAP_READY.
    void Redraw() {
        wrap->RedrawMap(0, true);
        wrap->AddEventMarkers(0, recording.events, kAllSeries);
    }

    // The fan-out's part for the map: the frame, and the position of its
    // record when it has a fix.
    void FanOut(int frame) {
        wrap->SetPosition(frame);
        recording.source.Read([&](const SensorView& view) {
            if (const AccelEntry* entry = view.EntryAt(frame))
                if (const PositionEntry* p = view.PositionOf(*entry))
                    if (p->valid != 0) wrap->SetLatLng(p->latitude, p->longitude);
        });
    }

    QVariant Page(const QString& script) { return Eval(ViewOf(wrap->MapWindow()), script); }
    int PageInt(const QString& script) { return Page(script).toInt(); }

    // The valid position entries of the test's recording, as the page must
    // have them (independent of the bridge's own track building).
    std::vector<const PositionEntry*> ValidPositions() {
        std::vector<const PositionEntry*> out;
        for (const PositionEntry& p : recording.reader.Positions())
            if (p.valid != 0) out.push_back(&p);
        return out;
    }

    TestMapOwner owner;
    TempDir profile;
    LoadedRecording recording;
    std::unique_ptr<CMapViewWrap> wrap;
};

TEST_F(MapBridge, PageReportsReadyAndTheHostRedrawsTracksAndMarkers) {
    TileServer tiles;
    CMapViewWrap& w = MakeWrap(tiles.Template(), "\u00a9 Test tiles");
    ASSERT_TRUE(w.IsMapRuntimeInstalled()) << w.MapRuntimeError();
    EXPECT_FALSE(w.ShowMapRuntimeNotice());
    EXPECT_EQ(owner.notices, 0);
    ShowMapWindow();
    FanOut(0);
    ASSERT_TRUE(WaitReady()) << "the page never reported ready";
    EXPECT_TRUE(w.IsPageReady());
    EXPECT_TRUE(w.IsConnected());
    Redraw();

    // The recording's track: every position entry with a fix, in order.
    const std::vector<const PositionEntry*> valid = ValidPositions();
    ASSERT_GT(valid.size(), 100u);
    ASSERT_TRUE(WaitUntil([&] {
        return PageInt("orbitgrplist.gridlist.points.length") == static_cast<int>(valid.size());
    }));
    test::ExpectTrackMatches(Page(test::kTrackPointsScript).toList(), valid);
    // The group's track: the three drives one after another.
    std::size_t groupValid = 0;
    for (const RecordingEntry& e : Forge().group) {
        SensorReader r;
        r.Init();
        ASSERT_TRUE(r.Load(e.frontPath));
        for (const PositionEntry& p : r.Positions()) groupValid += p.valid != 0 ? 1 : 0;
        r.Shutdown();
    }
    EXPECT_EQ(PageInt("orbitgrplist.grplist.points.length"), static_cast<int>(groupValid));
    EXPECT_GT(PageInt("orbitgrplist.grpline.length"), 0);

    // One marker per displayed event with a position.
    std::size_t expectedMarkers = 0;
    recording.source.Read([&](const SensorView& view) {
        expectedMarkers = map::EventMarkers(recording.events, view, kAllSeries, 0).size();
    });
    ASSERT_GE(expectedMarkers, 5u);
    ASSERT_TRUE(WaitUntil(
        [&] { return PageInt("cplist.markers.length") == static_cast<int>(expectedMarkers); }));

    // Tiles from the tile setting, with Trivexa's User-Agent, and the credit.
    ASSERT_TRUE(WaitUntil([&] { return tiles.TileGets() > 0; }));
    EXPECT_NE(tiles.LastUserAgent().find("Trivexa/2.0.2.0"), std::string::npos)
        << tiles.LastUserAgent();
    EXPECT_TRUE(Page("document.querySelector('.leaflet-control-attribution').textContent")
                    .toString()
                    .contains(QString::fromUtf8("\u00a9 Test tiles")));
    // The page asks for the state once a second and receives the position.
    ASSERT_TRUE(WaitUntil([&] {
        return Page("document.getElementById('map_lat').value").toString().toStdString() ==
               map::FormatFixed6(valid.front()->latitude);
    }));
    Spin(1500);
    SaveShot(&owner, QStringLiteral("map_ready.png"));
}

TEST_F(MapBridge, MarkerFollowsThePositionTheOwnerSets) {
    TileServer tiles;
    MakeWrap(tiles.Template());
    ShowMapWindow();
    FanOut(0);
    ASSERT_TRUE(WaitReady());
    Redraw();
    const std::vector<const PositionEntry*> valid = ValidPositions();
    ASSERT_TRUE(WaitUntil([&] {
        return PageInt("orbitgrplist.gridlist.points.length") == static_cast<int>(valid.size());
    }));
    // The point the page puts the marker on for a frame: the one before the
    // first point that reaches the frame.
    const auto pointFor = [&](int frame) {
        std::size_t index = valid.size();
        for (std::size_t i = 0; i < valid.size(); ++i)
            if (FrameOrRecordMs(*valid[i]) >= frame) {
                index = i;
                break;
            }
        if (index > 0) index = std::min(index - 1, valid.size() - 1);
        return valid[index];
    };
    const auto markerAt = [&](const PositionEntry* p) {
        const QVariantList m =
            Page("[g_marker.getLatLng().lat, g_marker.getLatLng().lng]").toList();
        return m.size() == 2 && std::abs(m[0].toDouble() - p->latitude) < 1e-9 &&
               std::abs(m[1].toDouble() - p->longitude) < 1e-9;
    };

    // Playing: the page moves the marker on its own once a second.
    wrap->SetStatus(map::MapPlayStatus::kPlaying);
    for (int frame : {90, 240, 420}) {
        FanOut(frame);
        EXPECT_TRUE(WaitUntil([&] { return markerAt(pointFor(frame)); }, 8000)) << frame;
    }
    // Paused: the marker stays.
    wrap->SetStatus(map::MapPlayStatus::kPaused);
    Spin(1200);
    FanOut(500);
    Spin(2500);
    EXPECT_TRUE(markerAt(pointFor(420)));
    // Stopped: the marker lands on the stop position at once.
    FanOut(150);
    wrap->SetStatus(map::MapPlayStatus::kStopped);
    EXPECT_TRUE(WaitUntil([&] { return markerAt(pointFor(150)); }, 3000));
    // A seek while stopped moves it too (the main window's MoveMarker).
    FanOut(330);
    wrap->RunScript(map::kMoveMarker);
    EXPECT_TRUE(WaitUntil([&] { return markerAt(pointFor(330)); }, 3000));
    SaveShot(&owner, QStringLiteral("map_marker.png"));
}

TEST_F(MapBridge, ClickingAnEventMarkerAsksToSeekThere) {
    TileServer tiles;
    MakeWrap(tiles.Template());
    QWidget* window = ShowMapWindow();
    FanOut(0);
    ASSERT_TRUE(WaitReady());
    Redraw();
    ASSERT_TRUE(WaitUntil([&] { return PageInt("cplist.markers.length") >= 5; }));
    wrap->SetStatus(map::MapPlayStatus::kStopped);
    Spin(1500);  // the map has panned to the marker

    const QVariantList hit = Page(ClickableEventMarkerScript()).toList();
    ASSERT_EQ(hit.size(), 3) << "no event marker in view";
    QWebEngineView* view = ViewOf(window);
    ASSERT_NE(view, nullptr);
    const int before = owner.Count(UM_MAP_SEEK);
    const QPoint at = ClickPage(view, hit[0].toDouble(), hit[1].toDouble(), kZoom);
    ASSERT_TRUE(WaitUntil([&] { return owner.Count(UM_MAP_SEEK) > before; }, 5000))
        << "no seek after clicking at " << at.x() << "," << at.y();
    EXPECT_EQ(owner.Last(UM_MAP_SEEK)->lParam, hit[2].toInt());
    EXPECT_EQ(owner.Last(UM_MAP_SEEK)->wParam, 0u);
}

TEST_F(MapBridge, WithoutTheTileServerTheLogoAndTheMapComesBack) {
    TileServer tiles;
    CMapViewWrap& w = MakeWrap(tiles.Template());
    ShowMapWindow();
    FanOut(60);
    ASSERT_TRUE(WaitReady());
    Redraw();
    ASSERT_TRUE(WaitUntil([&] { return PageInt("cplist.markers.length") > 0; }));
    const auto view = [&] {
        return map::DecideMapView({true, w.IsMapRuntimeInstalled(), true, w.IsConnected(), true});
    };
    EXPECT_TRUE(view().showMap);

    tiles.Stop();
    ASSERT_TRUE(WaitUntil([&] { return !w.IsConnected(); }, 10000));
    EXPECT_FALSE(view().showMap);
    EXPECT_TRUE(view().logoNoMap);
    // The page learns it at its next pass, forgets its map and the host its
    // ready flag: nothing is drawn meanwhile.
    ASSERT_TRUE(WaitUntil([&] { return Page("g_map === null").toBool(); }, 10000));
    EXPECT_FALSE(w.IsPageReady());
    Spin(1000);
    SaveShot(&owner, QStringLiteral("map_offline.png"));

    tiles.Start();
    ASSERT_TRUE(WaitReady(2)) << "the map did not come back";
    EXPECT_TRUE(w.IsPageReady());
    EXPECT_TRUE(view().showMap);
    Redraw();
    ASSERT_TRUE(WaitUntil([&] { return PageInt("cplist.markers.length") > 0; }));
    EXPECT_EQ(PageInt("orbitgrplist.gridlist.points.length"),
              static_cast<int>(ValidPositions().size()));
    Spin(1500);
    SaveShot(&owner, QStringLiteral("map_back.png"));
}

TEST_F(MapBridge, TilesSeenOnceComeFromTheDiskCache) {
    TileServer tiles;
    const fs::path cache = profile.path() / "map_profile" / "cache";
    std::map<std::string, int> firstGets;
    {
        MakeWrap(tiles.Template());
        ShowMapWindow();
        FanOut(60);
        ASSERT_TRUE(WaitReady());
        Redraw();
        ASSERT_TRUE(WaitUntil([&] { return tiles.TileGets() >= 4; }));
        // Every tile of the view fetched: no new request for two seconds
        // (a loaded machine makes the page slow to ask for the last ones).
        for (int quiet = 0; quiet < 4;) {
            const int before = tiles.TileGets();
            Spin(500);
            quiet = tiles.TileGets() == before ? quiet + 1 : 0;
        }
        firstGets = tiles.GetsByTile();
        // The web engine writes its disk cache behind the responses; wait
        // until the cache folder stops growing before closing the profile.
        std::uintmax_t lastSize = 0;
        for (int steady = 0, rounds = 0; steady < 3 && rounds < 40; ++rounds) {
            Spin(500);
            const std::uintmax_t size = FolderBytes(cache);
            steady = size == lastSize && size > 0 ? steady + 1 : 0;
            lastSize = size;
        }
        wrap.reset();
        owner.hide();
        owner.messages.clear();
    }
    ASSERT_GE(firstGets.size(), 4u);

    // Which of the served tiles the cache holds: each entry file carries its
    // address. A tile whose request the page cancelled while the view was
    // still moving (frequent on a loaded machine) is served but never stored;
    // those may be fetched again, the stored ones may not.
    const std::string entries = FolderText(cache);
    std::set<std::string> stored;
    for (const auto& [tile, count] : firstGets)
        if (entries.find(tile) != std::string::npos) stored.insert(tile);
    ASSERT_GE(stored.size() * 2, firstGets.size())
        << "only " << stored.size() << " of " << firstGets.size() << " tiles in " << cache;

    // The same place again.
    MakeWrap(tiles.Template());
    ShowMapWindow();
    FanOut(60);
    ASSERT_TRUE(WaitReady());
    Redraw();
    Spin(3000);
    const std::map<std::string, int> secondGets = tiles.GetsByTile();
    std::string again;
    for (const std::string& tile : stored) {
        const auto it = secondGets.find(tile);
        if (it != secondGets.end() && it->second > firstGets.at(tile)) again += tile + " ";
    }
    std::cout << stored.size() << " of " << firstGets.size() << " served tiles stored\n";
    EXPECT_TRUE(again.empty()) << "stored tiles fetched again: " << again << "(" << stored.size()
                               << " stored of " << firstGets.size() << " served)";
}

TEST_F(MapBridge, MissingOrBrokenModuleSetsTheFlagAndAsksForTheNotice) {
    TempDir dir;
    // A file that is no library, and a library that is no Qt plugin.
    const fs::path garbage = dir.path() / "garbage" / "trivexa_map.so";
    fs::create_directories(garbage.parent_path());
    std::ofstream(garbage) << "not a library";
    const fs::path foreign = dir.path() / "foreign" / "trivexa_map.so";
    fs::create_directories(foreign.parent_path());
    fs::copy_file("/usr/lib/x86_64-linux-gnu/libz.so.1", foreign);

    for (const fs::path& path : {dir.path() / "nowhere" / "trivexa_map", garbage, foreign}) {
        SCOPED_TRACE(path.string());
        owner.notices = 0;
        CMapViewWrap& w = MakeWrap("http://127.0.0.1:9/{z}/{x}/{y}.png", "", path.string());
        EXPECT_FALSE(w.IsMapRuntimeInstalled());
        EXPECT_FALSE(w.MapRuntimeError().empty());
        EXPECT_TRUE(w.ShowMapRuntimeNotice());
        EXPECT_EQ(owner.notices, 1);

        // The map area is a blank window, every map operation does nothing.
        QWidget* window = w.CreateMapWindow(&owner);
        ASSERT_NE(window, nullptr);
        owner.show();
        EXPECT_EQ(w.Dialog(), nullptr);
        EXPECT_EQ(ViewOf(window), nullptr);
        window->hide();
        EXPECT_TRUE(w.ShowMap(true));
        EXPECT_FALSE(w.ShowMap(true));
        EXPECT_TRUE(w.ShowMap(false));
        EXPECT_FALSE(w.ShowMap(false));
        w.SetConnectionTestEnabled(true);
        w.SetPosition(10);
        w.SetLatLng(35.0, 139.0);
        w.RunScript(map::kMoveMarker);
        w.RedrawMap(0, true);
        w.AddEventMarkers(0, recording.events, kAllSeries);
        w.SetStatus(map::MapPlayStatus::kStopped);
        w.SendState();
        EXPECT_FALSE(w.IsPageReady());
        EXPECT_EQ(owner.Count(UM_MAP_READY), 0);
    }
}

// A host whose loader never arrives: the page never reports ready.
class NeverReadyWrap : public CMapViewWrap {
public:
    using CMapViewWrap::CMapViewWrap;
    std::string GetMapURL() override { return "no_such_loader.js"; }
};

TEST_F(MapBridge, APageThatNeverReportsReadyGetsNothingAndHoldsUpNothing) {
    TileServer tiles;
    CMapViewWrap::Options options;
    options.modulePath = TRIVEXA_MAP_MODULE_FILE;
    options.tiles = map::TileSettingsFrom(tiles.Template(), "");
    options.profileDirectory = "";
    options.connection = FastConnection();
    wrap = std::make_unique<NeverReadyWrap>(&owner, &owner, std::move(options));
    wrap->SetSensorSource(&recording.source);
    ShowMapWindow();
    FanOut(60);
    ASSERT_TRUE(WaitUntil([&] { return PageInt("typeof cplist") == 0 && wrap->IsConnected(); }));
    Spin(4000);
    EXPECT_EQ(owner.Count(UM_MAP_READY), 0);
    EXPECT_FALSE(wrap->IsPageReady());
    QElapsedTimer timer;
    timer.start();
    Redraw();
    wrap->SetStatus(map::MapPlayStatus::kStopped);
    for (int f = 0; f < 200; ++f) FanOut(f);
    EXPECT_LT(timer.elapsed(), 200);
    Spin(1500);
    EXPECT_EQ(PageInt("cplist.markers.length"), 0);
    EXPECT_EQ(PageInt("orbitgrplist.gridlist.points.length"), 0);
    EXPECT_TRUE(Page("g_map === null").toBool());
}

TEST_F(MapBridge, BadPositionsDrawWhatIsValidAndNoPositionsDrawNothing) {
    TileServer tiles;
    MakeWrap(tiles.Template());
    ShowMapWindow();
    FanOut(60);
    ASSERT_TRUE(WaitReady());

    // 720.0 markers with a fix and latitudes beyond the pole are left out.
    ASSERT_TRUE(recording.Load(Forge().badPositions));
    std::size_t places = 0, claimed = 0;
    for (const PositionEntry& p : recording.reader.Positions()) {
        if (p.valid == 0) continue;
        ++claimed;
        places += std::abs(p.latitude) <= 90 && std::abs(p.longitude) <= 180 ? 1 : 0;
    }
    ASSERT_LT(places, claimed);
    ASSERT_GT(places, 0u);
    Redraw();
    FanOut(90);
    wrap->SetStatus(map::MapPlayStatus::kStopped);
    ASSERT_TRUE(WaitUntil([&] {
        return PageInt("orbitgrplist.gridlist.points.length") == static_cast<int>(places);
    }));
    EXPECT_TRUE(Page("orbitgrplist.gridlist.points.every(function (p) {"
                     "  return Math.abs(p.lat) <= 90 && Math.abs(p.lng) <= 180; })")
                    .toBool());
    // A 720.0 position is not sent as the map's position.
    const QString before = QString::fromStdString(map::FormatFixed6(wrap->Dialog()->Latitude()));
    ASSERT_TRUE(WaitUntil(
        [&] { return Page("document.getElementById('map_lat').value").toString() == before; }));
    wrap->SetLatLng(720.0, 720.0);
    wrap->SetLatLng(std::nan(""), 139.0);
    Spin(2500);
    EXPECT_EQ(Page("document.getElementById('map_lat').value").toString(), before);
    EXPECT_FALSE(Page("g_map === null").toBool());
    SaveShot(&owner, QStringLiteral("map_bad_positions.png"));

    // No positions at all: no track, no markers, the page keeps going.
    ASSERT_TRUE(recording.Load(Forge().noPositions));
    Redraw();
    FanOut(30);
    wrap->RunScript(map::kMoveMarker);
    const int passes = PageInt("g_lastJpgNum");
    Spin(2500);
    EXPECT_EQ(PageInt("orbitgrplist.gridlist.points.length"), 0);
    EXPECT_EQ(PageInt("cplist.markers.length"), 0);
    EXPECT_FALSE(Page("g_map === null").toBool());
    EXPECT_TRUE(wrap->IsPageReady());
    (void)passes;
}

TEST_F(MapBridge, SlowAndGarbageTileServers) {
    // A server that never answers: the test times out, the map never loads,
    // the window never waits.
    TileServer silent(TileServer::Mode::kSilent);
    CMapViewWrap& w = MakeWrap(silent.Template());
    ShowMapWindow();
    FanOut(60);
    QElapsedTimer timer;
    timer.start();
    qint64 longestGap = 0;
    qint64 last = 0;
    while (timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        longestGap = std::max(longestGap, timer.elapsed() - last);
        last = timer.elapsed();
    }
    EXPECT_GE(silent.Heads(), 1);
    EXPECT_FALSE(w.IsConnected());
    EXPECT_EQ(owner.Count(UM_MAP_READY), 0);
    EXPECT_FALSE(map::DecideMapView({true, true, true, w.IsConnected(), false}).showMap);
    RecordProperty("longest_event_loop_gap_ms", static_cast<int>(longestGap));
    wrap.reset();
    silent.Stop();

    // Garbage for tiles: the server answers, so the map loads; the tiles
    // simply do not show.
    TileServer garbage(TileServer::Mode::kGarbage);
    MakeWrap(garbage.Template());
    ShowMapWindow();
    FanOut(60);
    ASSERT_TRUE(WaitReady(1));
    Redraw();
    ASSERT_TRUE(WaitUntil([&] { return garbage.TileGets() > 0; }));
    ASSERT_TRUE(WaitUntil([&] { return PageInt("cplist.markers.length") > 0; }));
    Spin(1500);
    EXPECT_FALSE(Page("g_map === null").toBool());
    SaveShot(&owner, QStringLiteral("map_garbage_tiles.png"));
}

}  // namespace
}  // namespace trivexa::test
