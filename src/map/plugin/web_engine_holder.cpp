#include "map/plugin/web_engine_holder.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWidget>
#include <algorithm>
#include <limits>

namespace trivexa {
namespace {

Q_LOGGING_CATEGORY(lcMapPage, "trivexa.map.page", QtWarningMsg)

constexpr int kRestartDelayMs = 1000;

// The map page: stays on itself, and its console goes to a logging category
// (off unless asked for) rather than to the terminal.
class MapPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (url.scheme() == QLatin1String("qrc") || url.scheme() == QLatin1String("data") ||
            url.scheme() == QLatin1String("about"))
            return true;
        // A credit link: the user's browser shows it, the map stays.
        if (type == NavigationTypeLinkClicked &&
            (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http")))
            QDesktopServices::openUrl(url);
        Q_UNUSED(isMainFrame);
        return false;
    }
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override {
        if (level == ErrorMessageLevel)
            qCWarning(lcMapPage) << source << line << message;
        else
            qCInfo(lcMapPage) << source << line << message;
    }
};

}  // namespace

CWebEngineHolder::CWebEngineHolder(MapHost& host, const MapDialogOptions& options)
    : options_(options), hostObject_(host) {}

CWebEngineHolder::~CWebEngineHolder() {
    channel_.deregisterObject(&hostObject_);
    delete view_.data();
    profile_.reset();
}

bool CWebEngineHolder::Create(QWidget* dialog) {
    if (view_) return true;
    if (options_.profileDirectory.empty()) {
        profile_ = std::make_unique<QWebEngineProfile>();
    } else {
        const QString dir = QString::fromStdString(options_.profileDirectory);
        QDir().mkpath(dir);
        profile_ = std::make_unique<QWebEngineProfile>(QStringLiteral("TrivexaMap"));
        profile_->setPersistentStoragePath(dir);
        profile_->setCachePath(dir + QStringLiteral("/cache"));
        profile_->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
        profile_->setHttpCacheMaximumSize(static_cast<int>(
            std::min<long long>(options_.cacheBytes, std::numeric_limits<int>::max())));
        profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    }
    if (!options_.userAgent.empty())
        profile_->setHttpUserAgent(QString::fromStdString(options_.userAgent));

    // The page's adapter needs Qt's channel script before its own scripts run.
    QFile channelScript(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!channelScript.open(QIODevice::ReadOnly)) return false;
    QWebEngineScript script;
    script.setName(QStringLiteral("qwebchannel"));
    script.setSourceCode(QString::fromUtf8(channelScript.readAll()));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);

    view_ = new QWebEngineView(dialog);
    auto* page = new MapPage(profile_.get(), view_);
    page->scripts().insert(script);
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    channel_.registerObject(QStringLiteral("sample"), &hostObject_);
    page->setWebChannel(&channel_);
    page->setBackgroundColor(Qt::white);
    view_->setPage(page);
    view_->setContextMenuPolicy(Qt::NoContextMenu);

    // A renderer that died takes the map with it: load the page again.
    QObject::connect(page, &QWebEnginePage::renderProcessTerminated, view_,
                     [page](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                         if (status == QWebEnginePage::NormalTerminationStatus) return;
                         QTimer::singleShot(kRestartDelayMs, page, [page] {
                             page->load(QUrl(QString::fromLatin1(kMapPageUrl)));
                         });
                     });

    FitTo(dialog);
    view_->show();
    page->load(QUrl(QString::fromLatin1(kMapPageUrl)));
    view_->setFocus(Qt::OtherFocusReason);
    return true;
}

void CWebEngineHolder::FitTo(QWidget* dialog) {
    if (!view_) return;
    view_->setGeometry(dialog->rect());
    view_->setZoomFactor(options_.zoomFactor);
}

}  // namespace trivexa
