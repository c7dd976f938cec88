// The viewer's update check driven end to end: the real main window on a
// forge card whose device file names an older firmware, an update server on
// 127.0.0.1, and the notice the user sees. Also: with the check switched off
// nothing is contacted, and a server that never answers does not hold the
// viewer open. The notice's screenshot goes to build/tests/viewer/.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <map>
#include <memory>

#include "app/core/control_buttons.h"
#include "app/core/settings_file.h"
#include "app/vidorra_dlg.h"
#include "panels/movie_dialog.h"
#include "online/core/update_check.h"
#include "online/core/update_settings.h"
#include "online/inet_connection_async.h"
#include "online/update_dialog.h"
#include "playback/playback_fixture.h"
#include "support/local_http_server.h"
#include "viewer_cards.h"
#include "viewer_shots.h"

namespace trivexa {
namespace {

namespace fs = std::filesystem;
using test::HttpAnswer;
using test::HttpRequestSeen;
using test::LocalHttpServer;
using test::WaitUntil;

const online::UpdateEndpoints kPaths = online::DefaultUpdateEndpoints();

// The update server: the files of `files` by path, 404 for the rest.
HttpAnswer Serve(const std::map<std::string, std::string>& files, const HttpRequestSeen& r) {
    const auto it = files.find(r.target);
    return it == files.end() ? HttpAnswer::Text("not here", 404) : HttpAnswer::Text(it->second);
}

class ViewerOnline : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "no display";
    }
    void TearDown() override {
        if (window) window->Shutdown();
        window.reset();
        // The other viewer tests of the process run with the check off.
        WriteSetting(online::update_settings::kSection, online::update_settings::kCheck, "off");
        WriteSetting(online::update_settings::kSection, online::update_settings::kServer, "");
    }

    // A card of one recording whose device file says PL21-XQR, firmware
    // 1.2.3 and GPS data 230715; the viewer asks `server` when `check`.
    void Start(const std::string& server, bool check) {
        WriteSetting(online::update_settings::kSection, online::update_settings::kCheck,
                     check ? "on" : "off");
        WriteSetting(online::update_settings::kSection, online::update_settings::kServer, server);
        clipforge::CardSpec spec;
        spec.clip = ClipOf(90);
        spec.recordings = {Rec("A___-230715-081500-000001F.AVI")};
        spec.dfc = clipforge::DfcSpec{"PL21-XQR", "010203", "230715"};
        std::string error;
        ASSERT_TRUE(clipforge::WriteCard(card.path(), spec, &error)) << error;
        window = std::make_unique<CVidorraDlg>();
        ASSERT_TRUE(window->Initialise(card.path().string()));
        window->move(0, 0);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        // The connection is made at the second stage of start-up.
        ASSERT_TRUE(WaitUntil([&] { return window->Inet() != nullptr; }, 5000));
    }

    test::NoProxyEnvironment noProxy_;
    test::TempDir card;
    std::unique_ptr<CVidorraDlg> window;
};

TEST_F(ViewerOnline, NoticeShowsTheNewerFirmwareOfTheCardsRecorder) {
    const std::map<std::string, std::string> files = {
        {kPaths.firmware[0].versionFile, "VER:1.3.0.0\r\n"},
        {kPaths.viewer.versionFile, "VER:2.0.2.0"},
        {kPaths.gpsData.versionFile, "230715"},
    };
    LocalHttpServer server([&](const HttpRequestSeen& r) { return Serve(files, r); });
    Start(server.Url(), true);

    ASSERT_TRUE(WaitUntil([&] { return window->UpdateNotice() != nullptr; }, 10000))
        << "no notice; requests seen: " << server.RequestCount();
    CUpdateDialog* notice = window->UpdateNotice();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(notice));
    // One check, one request per version file, none for the download pages.
    EXPECT_EQ(server.RequestCount(), 3u);
    const online::UpdateNotice items = window->Inet()->Notice();
    ASSERT_EQ(items.size(), 1u) << "the viewer and GPS data are current";
    EXPECT_EQ(items[0].item, online::UpdateItem::kFirmware);
    EXPECT_EQ(items[0].currentVersion, "1.2.3.0");
    EXPECT_EQ(items[0].newVersion, "1.3.0.0");
    const QString shown = notice->LinkControl()->text();
    EXPECT_TRUE(shown.contains(QStringLiteral("1.2.3.0"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("1.3.0.0"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromStdString(server.Url(kPaths.firmware[0].downloadPage))))
        << shown.toStdString();
    EXPECT_FALSE(notice->isModal()) << "the viewer stays usable beside the notice";
    QTest::qWait(200);
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(screen->grabWindow(0).save(ShotPath(QStringLiteral("viewer_update_notice"))));

    // Closing the viewer takes the notice with it.
    const QPointer<CUpdateDialog> kept(notice);
    window->Shutdown();
    EXPECT_TRUE(kept.isNull());
}

// The notice stays above the viewer's own windows: the rear camera's window
// raised over it (as each recording that opens raises it) goes under it again,
// without a window manager to keep it on top.
TEST_F(ViewerOnline, NoticeStaysAboveTheViewersWindows) {
    const std::map<std::string, std::string> files = {
        {kPaths.firmware[0].versionFile, "VER:1.3.0.0\r\n"},
        {kPaths.viewer.versionFile, "VER:2.0.2.0"},
        {kPaths.gpsData.versionFile, "230715"},
    };
    LocalHttpServer server([&](const HttpRequestSeen& r) { return Serve(files, r); });
    Start(server.Url(), true);
    ASSERT_TRUE(WaitUntil([&] { return window->UpdateNotice() != nullptr; }, 10000));
    CUpdateDialog* notice = window->UpdateNotice();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(notice));
    QWidget& rear = window->SecondaryWindow();
    ASSERT_TRUE(WaitUntil([&] { return rear.isVisible(); }, 5000));
    rear.move(notice->frameGeometry().topLeft() - QPoint(20, 20));
    rear.raise();
    const QPoint centre = notice->frameGeometry().center();
    ASSERT_TRUE(rear.frameGeometry().contains(centre)) << "the rear window does not cover it";
    EXPECT_TRUE(WaitUntil([&] { return QApplication::topLevelAt(centre) == notice; }, 2000))
        << "the rear camera's window stayed over the notice";
    QTest::qWait(100);
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(screen->grabWindow(0).save(ShotPath(QStringLiteral("viewer_notice_above"))));
}

TEST_F(ViewerOnline, SwitchedOffContactsNothing) {
    LocalHttpServer server([](const HttpRequestSeen&) { return HttpAnswer::Text("VER:9.9.9.9"); });
    Start(server.Url(), false);
    // The map's reachability test shares the connection; it exists, idle.
    EXPECT_FALSE(window->Inet()->UpdateCheckStarted());
    QTest::qWait(1500);
    EXPECT_EQ(server.ConnectionCount(), 0u);
    EXPECT_EQ(window->UpdateNotice(), nullptr);
}

TEST_F(ViewerOnline, ClosingWhileTheServerHangsIsQuick) {
    LocalHttpServer server([](const HttpRequestSeen&) { return HttpAnswer::Silent(); });
    Start(server.Url(), true);
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount() >= 1; }, 10000));
    // The window is still responsive while the check waits on the server.
    QElapsedTimer responsive;
    responsive.start();
    QTest::qWait(50);
    EXPECT_LT(responsive.elapsed(), 1000);

    QElapsedTimer timer;
    timer.start();
    window->Command(static_cast<int>(CommandId::kCaptionClose));
    window.reset();
    const qint64 ms = timer.elapsed();
    // The fetch's own time-out is 15 s; the close aborts it. Generous for a
    // loaded machine, far below the time-out.
    EXPECT_LT(ms, 3000) << "closing took " << ms << " ms";
    std::printf("closing while the update server hangs: %lld ms\n", static_cast<long long>(ms));
}

}  // namespace
}  // namespace trivexa
