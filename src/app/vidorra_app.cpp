#include "app/vidorra_app.h"

#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/core/settings_file.h"
#include "app/core/viewer_args.h"
#include "app/vidorra_dlg.h"
#include "playback/video_presenter.h"
#include "controls/shared_fonts.h"
#include "platform/files.h"

namespace trivexa {

int CVidorraApp::Run(int& argc, char** argv, const ViewerOptions& given) {
    ViewerOptions options = given;
    // The OpenGL video surfaces and the web-engine map live in one process:
    // their contexts must be shareable, which Qt settles before the
    // application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (options.parseCommandLine) {
        // What the toolkit left of the command line.
        const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        const ViewerArgs parsed = ParseViewerArgs(args);
        switch (parsed.action) {
            case ViewerArgsAction::kUsageError:
                std::fprintf(stderr, "trivexa: %s\n%s", parsed.error.c_str(),
                             std::string(ViewerUsage()).c_str());
                return kViewerExitUsage;
            case ViewerArgsAction::kVersion:
                std::printf("%s\n", ViewerVersionLine().c_str());
                return kViewerExitOk;
            case ViewerArgsAction::kHelp:
                std::fputs(std::string(ViewerUsage()).c_str(), stdout);
                return kViewerExitOk;
            case ViewerArgsAction::kRun:
                options.source = parsed.source;
                break;
        }
    }
    QApplication::setApplicationName(QStringLiteral("Trivexa"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Where OpenGL widgets cannot be shown (no GLX, a remote desktop, the
    // offscreen platform) the pictures are drawn in software.
    ChoosePresenterDrawing();
    // Settings live in the user's configuration folder (or the folder
    // $TRIVEXA_SETTINGS_DIR names), never in the folder the program was
    // started from.
    platform::PrepareSettingsDirectory();
    // Settings an earlier version kept in the start-up folder carry over once.
    TakeOverOldSettings(platform::StartupDirectory());
    int code = 0;
    {
        // The main window lives for the modal loop only.
        CVidorraDlg window;
        window.Initialise(options.source, options.fallback);
        window.show();
        code = window.exec();
        code = 0;
    }
    // The shared fonts belong to the process and go last.
    DeleteSharedFonts();
    return code;
}

}  // namespace trivexa
