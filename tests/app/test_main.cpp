// The main window piece tests need a display (they run under xvfb-run) and
// skip without. The OpenGL surfaces share one context group, as in the
// viewer. Settings go to a scratch folder, with the update check switched
// off: no test contacts the default update server (the online tests switch it
// on for a local one).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>
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
    // Repaired copies and the trash of this process stay in its own scratch
    // folder: other test processes clear and fill theirs meanwhile.
    trivexa::test::TempDir scratch;
    std::filesystem::create_directories(scratch.path() / "tmp");
    setenv("TMPDIR", (scratch.path() / "tmp").c_str(), 1);
    setenv("XDG_DATA_HOME", (scratch.path() / "data").c_str(), 1);
    trivexa::CreateDefaultSettings();
    trivexa::WriteSetting("UPDATE", "CHECK", "off");
    return RUN_ALL_TESTS();
}
