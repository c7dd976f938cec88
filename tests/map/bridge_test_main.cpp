// The map bridge's tests need a display (they run under xvfb-run) and skip
// without. The web engine shares OpenGL contexts with the viewer, so the
// attribute is set before the application exists, as the viewer does; its
// browser process refuses to run as root with its sandbox.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <cstdlib>
#include <memory>

#include "app/core/settings_file.h"
#include "map/map_runtime.h"
#include "support/test_support.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    trivexa::PrepareMapModuleBeforeApplication();
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
