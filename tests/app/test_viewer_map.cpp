// The viewer's map driven as a user drives it: the real main window on a
// forge card whose clips carry a GPS track, the map module loaded at run time,
// tiles from a server on 127.0.0.1 set through the tile setting. What the
// page shows is read back from the page; the map and event markers are
// clicked with the mouse. Screenshots of the whole screen go to
// build/tests/viewer/.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <memory>

#include "app/core/control_buttons.h"
#include "app/core/settings_file.h"
#include "app/core/ui_strings.h"
#include "app/logo_dlg.h"
#include "app/main_buttons.h"
#include "app/messages/posted_message.h"
#include "app/vidorra_dlg.h"
#include "controls/skin_button.h"
#include "controls/skin_slider.h"
#include "map/core/event_markers.h"
#include "map/core/map_settings.h"
#include "online/update_dialog.h"
#include "page_probe.h"
#include "panels/core/graph_rules.h"
#include "panels/gsensor_dlg.h"
#include "panels/movie_dialog.h"
#include "support/test_support.h"
#include "viewer_shots.h"

namespace trivexa {
namespace {

namespace fs = std::filesystem;
using test::Spin;
using test::WaitUntil;

// Ten seconds of a drive through town with events at known records (ten
// records a second) and a GPS fix throughout; `parked`: no fix at all.
clipforge::CardRecording Drive(const std::string& name, bool parked = false) {
    clipforge::CardRecording r;
    r.name = name;
    clipforge::ClipSpec c;
    c.video.width = 160;
    c.video.height = 96;
    c.video.frames = 300;
    c.video.gop = 15;
    c.video.cacheDir = test::TestDataDir() / "clipforge";
    c.drive.shockAt = 15;
    c.drive.manualAt = 35;
    c.drive.brakingAt = 55;
    c.drive.accelerationAt = 75;
    c.drive.parked = parked;
    r.clip = c;
    r.rear = false;
    return r;
}

class ViewerMap : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "no display";
        // The web engine's browser process refuses to run as root with its
        // sandbox.
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        // The tests never reach the internet: the tiles come from here.
        ASSERT_TRUE(WriteSetting(map::map_settings::kSection, map::map_settings::kTileUrl,
                                 tiles.Template()));
        ASSERT_TRUE(WriteSetting(map::map_settings::kSection, map::map_settings::kTileAttribution,
                                 "\u00a9 Test tiles"));
    }
    void TearDown() override {
        if (window) window->Shutdown();
        window.reset();
    }

    void Start(std::optional<std::string> modulePath = std::nullopt) {
        clipforge::CardSpec spec;
        spec.recordings = {Drive("A___-230715-081500-000001F.AVI"),
                           Drive("A___-230715-081510-000002F.AVI"),
                           Drive("A___-230715-081520-000003F.AVI", true)};
        spec.clip = *spec.recordings[0].clip;
        std::string error;
        ASSERT_TRUE(clipforge::WriteCard(card.path(), spec, &error)) << error;
        window = std::make_unique<CVidorraDlg>();
        CMapViewWrap::Options options;
        options.modulePath = std::move(modulePath);
        options.profileDirectory = (profile.path() / "map_profile").string();
        options.connection = test::FastConnection();
        window->SetMapOptions(std::move(options));
        ASSERT_TRUE(window->Initialise(card.path().string()));
        window->move(0, 0);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    ViewerController& C() { return window->Controller(); }
    bool WaitLoaded(int ms = 10000) {
        return WaitUntil([&] { return C().MediaLoaded() && !C().OpenPending(); }, ms);
    }
    void Click(int index) {
        CSkinButton* b = window->Buttons().Control(index);
        QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
    }
    QWidget* MapView() { return window->Map() ? window->Map()->MapWindow() : nullptr; }
    QVariant Page(const QString& script) { return test::Eval(test::ViewOf(MapView()), script); }
    int PageInt(const QString& script) { return Page(script).toInt(); }
    bool LogoShown() { return window->Logo().isVisible(); }
    bool MapOnScreen() { return MapView() != nullptr && MapView()->isVisible(); }

    test::TileServer tiles;
    test::TempDir card;
    test::TempDir profile;
    std::unique_ptr<CVidorraDlg> window;
};

// Opens the first recording with the map shown; the page reports ready and
// draws the recording's track, the group's track and the event markers.
TEST_F(ViewerMap, MapFollowsPlaybackSeeksOnMarkersAndHides) {
    Start();
    ASSERT_TRUE(WaitLoaded());
    ASSERT_TRUE(WaitUntil([&] { return window->Map() != nullptr; }));
    ASSERT_FALSE(window->MapUnavailable()) << window->Map()->MapRuntimeError();
    CSkinButton* mapButton = window->Buttons().Control(button::kMapWindow);
    EXPECT_TRUE(mapButton->isEnabled());
    EXPECT_FALSE(window->MapShown());
    EXPECT_FALSE(window->MapWindow().isVisible());
    EXPECT_FALSE(window->Map()->Connection().IsEnabled()) << "no test while the map is off";

    // 38010 shows the map host window; the map replaces the logo once the
    // tile server has answered, and the page reports ready.
    Click(button::kMapWindow);
    EXPECT_TRUE(window->MapShown());
    EXPECT_TRUE(window->MapWindow().isVisible());
    EXPECT_TRUE(window->Map()->Connection().IsEnabled());
    ASSERT_TRUE(WaitUntil([&] { return MapOnScreen() && !LogoShown(); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return window->Map()->IsPageReady(); }, 30000))
        << "the page never reported ready";

    // The recording's track: every position entry with a fix, read by an
    // independent reader with the frames tied as the viewer ties them.
    const std::optional<RecordingEntry> row = window->Row(0);
    ASSERT_TRUE(row);
    test::LoadedRecording first;
    ASSERT_TRUE(first.Load(row->frontPath));
    std::vector<const PositionEntry*> valid;
    for (const PositionEntry& p : first.reader.Positions())
        if (p.valid != 0) valid.push_back(&p);
    ASSERT_GT(valid.size(), 50u);
    ASSERT_TRUE(WaitUntil([&] {
        return PageInt("orbitgrplist.gridlist.points.length") == static_cast<int>(valid.size());
    }));
    test::ExpectTrackMatches(Page(test::kTrackPointsScript).toList(), valid);
    // The group's track: the three listed recordings (the third has no fix).
    std::size_t groupValid = 0;
    for (int r = 0; r < window->RowCount(); ++r) {
        test::LoadedRecording other;
        ASSERT_TRUE(other.Load(window->Row(r)->frontPath));
        for (const PositionEntry& p : other.reader.Positions()) groupValid += p.valid != 0;
    }
    EXPECT_TRUE(WaitUntil([&] {
        return PageInt("orbitgrplist.grplist.points.length") == static_cast<int>(groupValid);
    })) << PageInt("orbitgrplist.grplist.points.length")
        << " of " << groupValid;
    // One event marker per displayed event.
    std::size_t expectedMarkers = 0;
    first.source.Read([&](const SensorView& view) {
        expectedMarkers = map::EventMarkers(first.events, view, kAllSeries, 0).size();
    });
    ASSERT_GE(expectedMarkers, 3u);
    ASSERT_TRUE(WaitUntil([&] {
        return PageInt("cplist.markers.length") == static_cast<int>(expectedMarkers);
    })) << PageInt("cplist.markers.length")
        << " of " << expectedMarkers;
    // Tiles from the setting, with the credit.
    EXPECT_TRUE(WaitUntil([&] { return tiles.TileGets() > 0; }));
    EXPECT_TRUE(Page("document.querySelector('.leaflet-control-attribution').textContent")
                    .toString()
                    .contains(QString::fromUtf8("\u00a9 Test tiles")));

    // Playing: the page moves its marker to the playback frame once a second.
    const auto marker = [&] {
        const QVariantList m =
            Page("g_marker ? [g_marker.getLatLng().lat, g_marker.getLatLng().lng] : []").toList();
        return m.size() == 2 ? std::make_pair(m[0].toDouble(), m[1].toDouble())
                             : std::make_pair(0.0, 0.0);
    };
    const auto start = marker();
    Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return C().DataPosition() > 90; }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return PageInt("g_lastJpgNum") > 60; }, 5000));
    EXPECT_NE(marker(), start) << "the marker stayed at the start";
    const int pageFrame = PageInt("g_lastJpgNum");
    EXPECT_LE(pageFrame, C().DataPosition());
    SaveScreen(QStringLiteral("viewer_map_playing"));

    // Paused: a click on an event marker seeks the recording to its frame.
    Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return C().DataState() == PlayState::kPaused; }));
    Spin(1500);
    const QVariantList hit =
        Page(test::ClickableEventMarkerScript(static_cast<int>(C().DataPosition()))).toList();
    ASSERT_EQ(hit.size(), 3) << "no event marker in view";
    QWebEngineView* view = test::ViewOf(MapView());
    ASSERT_NE(view, nullptr);
    const int target = hit[2].toInt();
    const QPoint at =
        test::ClickPage(view, hit[0].toDouble(), hit[1].toDouble(), view->zoomFactor());
    ASSERT_TRUE(WaitUntil([&] { return std::abs(C().LastFannedOut() - target) <= 1; }, 5000))
        << "no seek to " << target << " after clicking at " << at.x() << "," << at.y() << "; at "
        << C().LastFannedOut();
    EXPECT_EQ(C().DataState(), PlayState::kPaused);
    EXPECT_TRUE(WaitUntil([&] { return std::abs(C().DataPosition() - target) <= 2; }, 5000))
        << C().DataPosition();
    EXPECT_EQ(window->SeekSlider().Pos(), static_cast<int>(C().LastFannedOut()));
    // The page's marker follows the seek at once (MoveMarker while paused).
    EXPECT_TRUE(WaitUntil([&] { return PageInt("g_lastJpgNum") == target; }, 3000));
    SaveScreen(QStringLiteral("viewer_map_seek"));

    // The tile server goes away: the logo covers the map; it comes back.
    tiles.Stop();
    ASSERT_TRUE(WaitUntil([&] { return LogoShown() && !MapOnScreen(); }, 10000));
    EXPECT_EQ(window->Logo().Variant(), LogoVariant::kNoMap);
    Spin(500);
    SaveScreen(QStringLiteral("viewer_map_offline"));
    tiles.Start();
    ASSERT_TRUE(WaitUntil([&] { return MapOnScreen() && !LogoShown(); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return window->Map()->IsPageReady(); }, 20000));
    EXPECT_TRUE(WaitUntil([&] {
        return PageInt("cplist.markers.length") == static_cast<int>(expectedMarkers);
    })) << "the markers were not sent again";

    // 38010 hides the map host window and switches the test off, and shows
    // it again.
    Click(button::kMapWindow);
    EXPECT_FALSE(window->MapShown());
    EXPECT_FALSE(window->MapWindow().isVisible());
    EXPECT_FALSE(window->Map()->Connection().IsEnabled());
    Click(button::kMapWindow);
    EXPECT_TRUE(window->MapWindow().isVisible());
    EXPECT_TRUE(WaitUntil([&] { return MapOnScreen() && !LogoShown(); }, 10000));
    // The map host's own close button turns the map off as well: one press
    // of the map button shows it again.
    CSkinButton* close = window->MapWindow().CloseButton();
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton, {}, close->rect().center());
    ASSERT_TRUE(WaitUntil([&] { return !window->MapShown(); }));
    EXPECT_FALSE(window->MapWindow().isVisible());
    EXPECT_FALSE(window->Map()->Connection().IsEnabled());
    Click(button::kMapWindow);
    EXPECT_TRUE(window->MapShown());
    EXPECT_TRUE(window->MapWindow().isVisible());

    // A recording without a fix: the recorder's logo instead of the map.
    Click(button::kNext);
    ASSERT_TRUE(WaitUntil([&] { return C().CurrentIndex() == 1; }));
    ASSERT_TRUE(WaitLoaded());
    Click(button::kNext);
    ASSERT_TRUE(WaitUntil([&] { return C().CurrentIndex() == 2; }));
    ASSERT_TRUE(WaitLoaded());
    ASSERT_TRUE(WaitUntil([&] { return LogoShown() && !MapOnScreen(); }, 5000));
    EXPECT_EQ(window->Logo().Variant(), LogoVariant::kLogo);
    SaveScreen(QStringLiteral("viewer_map_no_fix"));
}

// The event display switches take markers away and bring them back.
TEST_F(ViewerMap, EventMarkersFollowTheDisplaySwitches) {
    Start();
    ASSERT_TRUE(WaitLoaded());
    ASSERT_TRUE(WaitUntil([&] { return window->Map() != nullptr; }));
    Click(button::kMapWindow);
    ASSERT_TRUE(WaitUntil([&] { return window->Map()->IsPageReady(); }, 30000));
    ASSERT_TRUE(WaitUntil([&] { return PageInt("cplist.markers.length") >= 3; }));
    const int all = PageInt("cplist.markers.length");
    // Braking and acceleration of the drive support are listed by one
    // series; its switch (the first) takes their markers off the map.
    const int series = SeriesForEventDisplay(0);
    ASSERT_EQ(series, kSeriesDriveSupport);
    PostMessageTo(window.get(), UM_EVENT_DISPLAY, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !window->Graph().SeriesListed(series); }));
    EXPECT_TRUE(WaitUntil([&] { return PageInt("cplist.markers.length") < all; }))
        << PageInt("cplist.markers.length") << " of " << all;
    PostMessageTo(window.get(), UM_EVENT_DISPLAY, 0, 1);
    EXPECT_TRUE(WaitUntil([&] { return PageInt("cplist.markers.length") == all; }));
}

// Without the map module: the notice at the start, no map button, and the
// rest of the viewer plays as ever.
TEST_F(ViewerMap, MissingModuleShowsTheNoticeAndPlaybackWorks) {
    QString title;
    bool sawNotice = false;
    // The notice waits in its own loop until the user closes it.
    std::function<void()> closeNotice = [&] {
        auto* notice = qobject_cast<CUpdateDialog*>(QApplication::activeModalWidget());
        if (notice == nullptr || !notice->isVisible()) {
            QTimer::singleShot(50, closeNotice);
            return;
        }
        sawNotice = QTest::qWaitForWindowExposed(notice);
        title = notice->windowTitle();
        Spin(300);
        SaveScreen(QStringLiteral("viewer_map_runtime_notice"));
        QTest::mouseClick(notice->Button(), Qt::LeftButton);
    };
    QTimer::singleShot(50, closeNotice);
    Start((profile.path() / "nowhere" / "trivexa_map").string());
    ASSERT_TRUE(WaitUntil([&] { return window->Map() != nullptr && sawNotice; }, 15000));
    EXPECT_EQ(title, QString::fromUtf8(UiString(184)));
    EXPECT_TRUE(window->MapUnavailable());
    ASSERT_TRUE(WaitLoaded());
    EXPECT_FALSE(window->Buttons().Control(button::kMapWindow)->isEnabled());
    window->Command(static_cast<int>(CommandId::kMapWindow));
    EXPECT_FALSE(window->MapShown());
    EXPECT_FALSE(window->MapWindow().isVisible());
    Click(button::kPlayPause);
    EXPECT_TRUE(WaitUntil([&] { return C().DataPosition() > 60; }, 10000));
    EXPECT_EQ(C().DataState(), PlayState::kPlaying);
}

}  // namespace
}  // namespace trivexa
