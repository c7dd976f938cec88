#include "app/vidorra_app.h"

#include <QApplication>

#include "app/core/settings_file.h"
#include "app/vidorra_dlg.h"
#include "controls/shared_fonts.h"
#include "platform/files.h"

namespace trivexa {

int CVidorraApp::Run(int& argc, char** argv, const ViewerOptions& options) {
    // The OpenGL video surfaces and the web-engine map live in one process:
    // their contexts must be shareable, which Qt settles before the
    // application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trivexa"));
    QApplication::setQuitOnLastWindowClosed(false);
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
