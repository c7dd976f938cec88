// dialogs_preview: shows the settings dialog or one of the two notices over a
// stand-in for the main window, so they can be looked at and screenshots
// taken before the main window exists.
//
//   dialogs_preview settings [--scale S] [--screenshot out.png]
//   dialogs_preview notice [--server http://host:port] [--card FW GPS MODEL]
//                          [--scale S] [--screenshot out.png]
//   dialogs_preview runtime [--scale S]
//
// settings prints every UM_EVENT_DISPLAY the switches post. notice runs a real
// update check against the server (the settings file's, unless given) with
// the card's versions (none unless given) and shows what it finds; it prints
// when there is nothing to report. runtime shows the map runtime notice and
// ends when it is closed. With --screenshot the window is saved once it has
// painted and the program ends.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/core/layout_scale.h"
#include "app/messages/posted_message.h"
#include "controls/shared_fonts.h"
#include "online/inet_connection_async.h"
#include "online/update_dialog.h"
#include "settings/setting_dlg.h"

namespace trivexa {
namespace {

// The main window's part: prints what it is told and shows the notice.
class PreviewWindow : public QWidget {
public:
    CInetConnectionAsync* connection = nullptr;
    QPointer<CUpdateDialog> notice;

protected:
    bool event(QEvent* e) override {
        const PostedMessageEvent* m = AsPostedMessage(e);
        if (m == nullptr) return QWidget::event(e);
        if (m->message() == UM_EVENT_DISPLAY) {
            std::printf("UM_EVENT_DISPLAY category %ju %s\n",
                        static_cast<std::uintmax_t>(m->wParam()), m->lParam() != 0 ? "on" : "off");
            std::fflush(stdout);
        } else if (m->message() == UM_UPDATE_AVAILABLE && connection != nullptr) {
            notice = ShowUpdateNotice(connection->Notice(), this);
            QObject::connect(notice, &QObject::destroyed, qApp, &QApplication::quit);
        }
        return true;
    }
};

int Usage() {
    std::fprintf(stderr,
                 "usage: dialogs_preview settings|notice|runtime [--server URL]\n"
                 "                       [--card FIRMWARE GPS MODEL] [--scale S]\n"
                 "                       [--screenshot out.png]\n");
    return 2;
}

void SaveLater(QWidget* w, const std::string& path) {
    QTimer::singleShot(500, w, [w, path] {
        const bool ok = w->grab().save(QString::fromStdString(path));
        std::printf("%s %s\n", ok ? "saved" : "could not save", path.c_str());
        QApplication::quit();
    });
}

}  // namespace
}  // namespace trivexa

int main(int argc, char** argv) {
    using namespace trivexa;
    QApplication app(argc, argv);
    if (argc < 2) return Usage();
    const std::string what = argv[1];
    std::string server, screenshot, firmware, gps, model;
    float scale = 1.0f;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        const auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--server") {
            server = next();
        } else if (a == "--scale") {
            scale = std::strtof(next().c_str(), nullptr);
        } else if (a == "--screenshot") {
            screenshot = next();
        } else if (a == "--card") {
            firmware = next();
            gps = next();
            model = next();
        } else {
            return Usage();
        }
    }
    SetLayoutScale(scale > 0 ? scale : 1.0f);
    ScaleOutcome fonts;
    fonts.ok = true;
    fonts.scale = LayoutScale();
    for (int n = 0; n < kSharedFontCount; ++n)
        fonts.fontHeights[static_cast<std::size_t>(n)] = SharedFontHeight(
            kSharedFontPoints[static_cast<std::size_t>(n)], LayoutScale(), 1.0f, 96);
    CreateSharedFonts(fonts);

    PreviewWindow window;
    window.setWindowTitle(QStringLiteral("Trivexa dialogs preview"));
    window.resize(U(640), U(400));
    window.show();

    if (what == "settings") {
        CSettingDlg dlg(&window);
        dlg.Show();
        QObject::connect(&dlg, &QDialog::finished, &app, &QApplication::quit);
        if (!screenshot.empty()) SaveLater(&dlg, screenshot);
        return app.exec();
    }
    if (what == "runtime") return ShowMapRuntimeNotice(false, &window) ? 0 : 1;
    if (what != "notice") return Usage();

    CInetConnectionAsync::Options options = CInetConnectionAsync::DefaultOptions();
    if (!server.empty()) options.endpoints.server = server;
    CInetConnectionAsync connection(&window, options);
    window.connection = &connection;
    connection.StartUpdateCheck(firmware, gps, "", model);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!connection.UpdateCheckDone()) return;
        poll.stop();
        // The notice, when there is one, has been posted before the check ended.
        QTimer::singleShot(100, [&] {
            if (window.notice.isNull()) {
                std::printf("nothing newer on %s\n", options.endpoints.server.c_str());
                QApplication::quit();
            } else if (!screenshot.empty()) {
                SaveLater(window.notice, screenshot);
            }
        });
    });
    poll.start(50);
    return app.exec();
}
