// The map page inside Qt WebEngine, reaching its host through QWebChannel:
// the page's host adapter must turn the channel object into the synchronous
// host object and the message events the page expects, so the viewer can host
// the page unchanged.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {

constexpr int kTimeoutMs = 30000;

// The host's side as the page's adapter expects it: the values the page
// reads synchronously travel as a map (all of them when the page connects,
// changes by valuesSet), calls of page functions by runScript behind them,
// messages on webMessage; the page's own calls are slots.
class SampleObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantMap hostValues READ hostValues CONSTANT)

public:
    QVariantMap values{{"JS2C_ConnectTest", false},
                       {"JS2C_GetMapURL", QString()},
                       {"JS2C_GetGPSData", QVariantList{0}},
                       {"JS2C_GetGridData", QVariantList{0}},
                       {"JS2C_GetRelJpgNum", QStringLiteral("-1")}};

    int initCount = 0;
    int setSendCount = 0;
    QVariantList lastClick;

    QVariantMap hostValues() const { return values; }
    // What the host does when a value the page reads changes.
    void Set(const QVariantMap& changed) {
        for (auto it = changed.begin(); it != changed.end(); ++it) values[it.key()] = it.value();
        emit valuesSet(changed);
    }
    // The host's RunScript.
    void Call(const QString& script) { emit runScript(script); }

    Q_INVOKABLE void JS2C_OnInitHtml() { ++initCount; }
    Q_INVOKABLE void JS2C_SetSend() {
        ++setSendCount;
        emit webMessage(QStringLiteral(
            R"({"map_lat":"35.681200","map_lng":"139.767100","map_status":"pause","val_command":"update","val_end":""})"));
    }
    Q_INVOKABLE void JS2C_OnClickCrashPoint(int ifile, int igrid, int ipos, int valid, double lat,
                                            double lng, double speed, double direction) {
        lastClick = {ifile, igrid, ipos, valid, lat, lng, speed, direction};
    }

signals:
    void valuesSet(const QVariantMap& changed);
    void runScript(const QString& script);
    void webMessage(const QString& json);
};

// Runs the event loop until pred holds or the time-out passes.
bool WaitFor(const std::function<bool()>& pred) {
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > kTimeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

QVariant RunScript(QWebEnginePage& page, const QString& script) {
    bool done = false;
    QVariant result;
    page.runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    if (!WaitFor([&] { return done; })) return QStringLiteral("<no answer>");
    return result;
}

QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "qt_channel_test";
    static char* argv[] = {name, nullptr};
    // WebEngine's browser process refuses to run as root with its sandbox, and
    // the test needs no screen.
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
    return app;
}

// The map page in a web engine page, its host object registered on a channel.
class MapPageQtChannel : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        QString pageDir = QString::fromUtf8(qgetenv("MAP_PAGE_DIR"));
        if (pageDir.isEmpty()) pageDir = QStringLiteral(TRIVEXA_BINARY_DIR "/map_page");
        ASSERT_TRUE(QFile::exists(pageDir + "/map.html")) << pageDir.toStdString();
        // Off the record: nothing written to disk.
        profile = std::make_unique<QWebEngineProfile>();
        page = std::make_unique<QWebEnginePage>(profile.get());
        channel.registerObject(QStringLiteral("sample"), &sample);
        page->setWebChannel(&channel);

        QFile channelScript(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
        ASSERT_TRUE(channelScript.open(QIODevice::ReadOnly));
        QWebEngineScript script;
        script.setSourceCode(QString::fromUtf8(channelScript.readAll()));
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        script.setWorldId(QWebEngineScript::MainWorld);
        page->scripts().insert(script);

        // No tile server: the map works without tiles.
        sample.Set({{"JS2C_GetMapURL", QUrl::fromLocalFile(pageDir + "/loader.js").toString() +
                                           "?callback=loadLibs&tiles="},
                    {"JS2C_ConnectTest", true}});
        page->load(QUrl::fromLocalFile(pageDir + "/map.html"));
        ASSERT_TRUE(WaitFor([&] { return sample.initCount == 1; }))
            << "the page never became ready";
    }
    QVariant Run(const QString& script) { return RunScript(*page, script); }

    // The web engine objects need the application, made in SetUp; the page
    // goes before its profile and channel.
    SampleObject sample;
    QWebChannel channel;
    std::unique_ptr<QWebEngineProfile> profile;
    std::unique_ptr<QWebEnginePage> page;
};

// A track of `points` points north from `lat`, frame numbers 0, 10, 20, ...
QVariantList Track(double lat, int points) {
    QVariantList t;
    for (int i = 0; i < points; ++i) t << lat + i * 0.0001 << 139.0 << i * 10;
    t << t.size();
    return t;
}

TEST_F(MapPageQtChannel, PageReachesHostThroughChannel) {
    // Messages arrive in the hidden inputs.
    ASSERT_TRUE(WaitFor(
        [&] { return Run("document.getElementById('map_lat').value").toString() == "35.681200"; }));
    EXPECT_EQ(Run("document.getElementById('map_status').value").toString(), "pause");
    EXPECT_GT(sample.setSendCount, 0);

    // Values set by the host answer the page's synchronous reads.
    sample.Set({{"JS2C_GetGridData",
                 QVariantList{35.0, 139.0, 0, 35.0005, 139.0, 10, 35.001, 139.0, 20, 9}},
                {"JS2C_GetRelJpgNum", QStringLiteral("15")}});
    ASSERT_TRUE(WaitFor([&] {
        return Run("String(chrome.webview.hostObjects.sync.sample.JS2C_GetRelJpgNum())")
                   .toString() == "15";
    }));
    const QVariant marker =
        Run("orbitgrplist.CreateGridLine(0);"
            "[g_marker.getLatLng().lat, orbitgrplist.histline.length,"
            " orbitgrplist.schline.length]");
    EXPECT_EQ(marker.toList(), (QVariantList{35.0005, 1, 1}));

    // Host calls carry their arguments; slots carry the page's calls.
    sample.Call(
        "cplist.AddCrashPos(2,0.100000,0.200000,0.300000,0,4,123,35.000500,139.000000,1,"
        "42.500000,0.000000)");
    ASSERT_TRUE(WaitFor([&] { return Run("cplist.markers.length").toInt() == 1; }));
    Run("cplist.SetCrashPos(0);");
    ASSERT_TRUE(WaitFor([&] { return !sample.lastClick.isEmpty(); }));
    EXPECT_EQ(sample.lastClick, (QVariantList{0, 4, 123, 1, 35.0005, 139.0, 42.5, 0.0}));

    // Only the page functions a host may call run, with numbers only.
    Run("window.__ran = 0; var __clear = cplist.ClearCrashPos;"
        "cplist.ClearCrashPos = function () { window.__ran++; __clear.call(cplist); };");
    for (const char* refused : {"window.__ran = 100", "cplist.ClearCrashPos(); window.__ran = 100",
                                "cplist.SetCrashPos(0)", "orbitgrplist.CreateGridLine(window)",
                                "orbitgrplist.CreateGridLine(1,,2)", "cplist.ClearCrashPos(nan)"})
        sample.Call(QString::fromLatin1(refused));
    sample.Call("cplist.ClearCrashPos()");
    ASSERT_TRUE(WaitFor([&] { return Run("window.__ran").toInt() != 0; }));
    EXPECT_EQ(Run("window.__ran").toInt(), 1);
    EXPECT_EQ(Run("cplist.markers.length").toInt(), 0);
}

// The host sets what a page function reads and calls it at once, many times
// in a row: every call reads the values set just before it.
TEST_F(MapPageQtChannel, CallsReadTheValuesSetJustBeforeThem) {
    sample.Set({{"JS2C_GetGridData", Track(35.0, 60)}});
    sample.Call("orbitgrplist.CreateGridLine(0)");
    ASSERT_TRUE(WaitFor([&] { return Run("orbitgrplist.gridlist.points.length").toInt() == 60; }));
    Run("window.__seen = [];"
        "var __move = OrbitGrpList.prototype.MoveMarker;"
        "OrbitGrpList.prototype.MoveMarker = function () {"
        "  __move.apply(this, arguments);"
        "  __seen.push([g_lastJpgNum, g_marker.getLatLng().lat]);"
        "};");
    // Seeks: set the position, move the marker.
    constexpr int kSeeks = 50;
    for (int k = 1; k <= kSeeks; ++k) {
        sample.Set({{"JS2C_GetRelJpgNum", QString::number((k * 7) % 60 * 10)}});
        sample.Call("orbitgrplist.MoveMarker()");
    }
    ASSERT_TRUE(WaitFor([&] { return Run("__seen.length").toInt() == kSeeks; }));
    const QVariantList seen = Run("__seen").toList();
    int stale = 0;
    for (int k = 1; k <= kSeeks; ++k) {
        const int frame = (k * 7) % 60 * 10;
        const QVariantList got = seen[k - 1].toList();
        // The marker sits on the point before the first one reaching the frame.
        const int index = std::max(0, frame / 10 - 1);
        if (got.value(0).toInt() != frame ||
            std::abs(got.value(1).toDouble() - (35.0 + index * 0.0001)) > 1e-9)
            ++stale;
    }
    EXPECT_EQ(stale, 0) << Run("JSON.stringify(__seen)").toString().toStdString();

    // New recordings: group track, recording track and position set, then
    // the redraw runs at once. Each redraw draws its own recording.
    Run("window.__redraws = [];"
        "var __grid = OrbitGrpList.prototype.CreateGridLine;"
        "OrbitGrpList.prototype.CreateGridLine = function (i) {"
        "  __grid.call(this, i);"
        "  __redraws.push([this.grplist.points[0].lat, this.gridlist.points[0].lat,"
        "                  this.gridlist.points.length, g_marker.getLatLng().lat]);"
        "};");
    constexpr int kRecordings = 20;
    for (int r = 0; r < kRecordings; ++r) {
        const double lat = 10.0 + r;
        sample.Set({{"JS2C_GetGPSData", Track(lat - 0.5, 5)},
                    {"JS2C_GetGridData", Track(lat, 10 + r)},
                    {"JS2C_GetRelJpgNum", QStringLiteral("0")}});
        sample.Call("cplist.ClearCrashPos()");
        sample.Call("orbitgrplist.RemoveLineList()");
        sample.Call("orbitgrplist.CreateLine()");
        sample.Call("orbitgrplist.CreateGridLine(0)");
    }
    ASSERT_TRUE(WaitFor([&] { return Run("__redraws.length").toInt() == kRecordings; }));
    const QVariantList redraws = Run("__redraws").toList();
    for (int r = 0; r < kRecordings; ++r) {
        const double lat = 10.0 + r;
        EXPECT_EQ(redraws[r].toList(), (QVariantList{lat - 0.5, lat, 10 + r, lat}))
            << "recording " << r;
    }
}

}  // namespace

#include "qt_channel_test.moc"
