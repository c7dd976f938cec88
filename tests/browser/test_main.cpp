// The panel and dialog tests need a display (they run under xvfb-run) and
// skip without. Every run writes its settings into a scratch folder and looks
// for repaired copies in a scratch temporary folder of its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <cstdlib>
#include <memory>

#include "app/core/layout_scale.h"
#include "app/core/settings_file.h"
#include "controls/shared_fonts.h"
#include "support/test_support.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    trivexa::test::TempDir temp;
    setenv("TMPDIR", temp.path().c_str(), 1);
    std::unique_ptr<QCoreApplication> app;
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && *display != '\0')
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    trivexa::test::TempDir settings;
    trivexa::SetSettingsDirectory(settings.path().string());
    if (qobject_cast<QApplication*>(app.get())) {
        // The shared fonts at scale 1, as the main window creates them.
        trivexa::ScaleOutcome fonts;
        fonts.ok = true;
        for (int n = 0; n < trivexa::kSharedFontCount; ++n)
            fonts.fontHeights[static_cast<std::size_t>(n)] = trivexa::SharedFontHeight(
                trivexa::kSharedFontPoints[static_cast<std::size_t>(n)], 1.0f, 1.0f, 96);
        trivexa::CreateSharedFonts(fonts);
    }
    return RUN_ALL_TESTS();
}
