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
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <functional>
#include <memory>

namespace {

constexpr int kTimeoutMs = 30000;

// The host's side: values the page reads synchronously are properties,
// mirrored into the page by the channel; the rest are slots; messages travel
// on webMessage.
class SampleObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool JS2C_ConnectTest MEMBER connected NOTIFY changed)
    Q_PROPERTY(QString JS2C_GetMapURL MEMBER mapUrl NOTIFY changed)
    Q_PROPERTY(QVariantList JS2C_GetGPSData MEMBER gps NOTIFY changed)
    Q_PROPERTY(QVariantList JS2C_GetGridData MEMBER grid NOTIFY changed)
    Q_PROPERTY(QString JS2C_GetRelJpgNum MEMBER relJpgNum NOTIFY changed)

public:
    bool connected = false;
    QString mapUrl;
    QVariantList gps{0};
    QVariantList grid{0};
    QString relJpgNum = QStringLiteral("-1");

    int initCount = 0;
    int setSendCount = 0;
    QVariantList lastClick;

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
    void changed();
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

TEST(MapPageQtChannel, PageReachesHostThroughChannel) {
    App();
    QString pageDir = QString::fromUtf8(qgetenv("MAP_PAGE_DIR"));
    if (pageDir.isEmpty()) pageDir = QStringLiteral(TRIVEXA_BINARY_DIR "/map_page");
    ASSERT_TRUE(QFile::exists(pageDir + "/map.html")) << pageDir.toStdString();

    QWebEngineProfile profile;  // off the record: nothing written to disk
    QWebEnginePage page(&profile);
    SampleObject sample;
    QWebChannel channel;
    channel.registerObject(QStringLiteral("sample"), &sample);
    page.setWebChannel(&channel);

    QFile channelScript(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    ASSERT_TRUE(channelScript.open(QIODevice::ReadOnly));
    QWebEngineScript script;
    script.setSourceCode(QString::fromUtf8(channelScript.readAll()));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    page.scripts().insert(script);

    // No tile server: the map works without tiles.
    sample.mapUrl =
        QUrl::fromLocalFile(pageDir + "/loader.js").toString() + "?callback=loadLibs&tiles=";
    sample.connected = true;
    emit sample.changed();
    page.load(QUrl::fromLocalFile(pageDir + "/map.html"));

    ASSERT_TRUE(WaitFor([&] { return sample.initCount == 1; })) << "the page never became ready";

    // Messages arrive in the hidden inputs.
    ASSERT_TRUE(WaitFor([&] {
        return RunScript(page, "document.getElementById('map_lat').value").toString() ==
               "35.681200";
    }));
    EXPECT_EQ(RunScript(page, "document.getElementById('map_status').value").toString(), "pause");
    EXPECT_GT(sample.setSendCount, 0);

    // Mirrored properties answer the page's synchronous reads.
    sample.grid = {35.0, 139.0, 0, 35.0005, 139.0, 10, 35.001, 139.0, 20, 9};
    sample.relJpgNum = QStringLiteral("15");
    emit sample.changed();
    ASSERT_TRUE(WaitFor([&] {
        return RunScript(page, "String(chrome.webview.hostObjects.sync.sample.JS2C_GetRelJpgNum())")
                   .toString() == "15";
    }));
    const QVariant marker = RunScript(page,
                                      "orbitgrplist.CreateGridLine(0);"
                                      "[g_marker.getLatLng().lat, orbitgrplist.histline.length,"
                                      " orbitgrplist.schline.length]");
    EXPECT_EQ(marker.toList(), (QVariantList{35.0005, 1, 1}));

    // Slots carry the page's calls, with their arguments.
    RunScript(page,
              "cplist.AddCrashPos(2, 0.1, 0.2, 0.3, 0, 4, 123, 35.0005, 139.0, 1, 42.5, 0.0);"
              "cplist.SetCrashPos(0);");
    ASSERT_TRUE(WaitFor([&] { return !sample.lastClick.isEmpty(); }));
    EXPECT_EQ(sample.lastClick, (QVariantList{0, 4, 123, 1, 35.0005, 139.0, 42.5, 0.0}));
}

}  // namespace

#include "qt_channel_test.moc"
