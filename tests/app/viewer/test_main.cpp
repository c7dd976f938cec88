// The widget tests need a display (they run under xvfb-run) and skip without.
// Every test writes its settings into a scratch folder of its own run. The
// OpenGL video surfaces share one context group, as in the viewer, so a
// surface can move between windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <cstdlib>
#include <memory>

#include "app/core/settings_file.h"
#include "support/test_support.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    std::unique_ptr<QCoreApplication> app;
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && *display != '\0')
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    trivexa::test::TempDir settings;
    trivexa::SetSettingsDirectory(settings.path().string());
    return RUN_ALL_TESTS();
}
