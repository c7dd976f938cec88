// The task frame and still tests need an application object for posted
// events and the bar; the widget ones skip without a display (xvfb-run).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<QCoreApplication> app;
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && *display != '\0')
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    return RUN_ALL_TESTS();
}
