// The application icon drawn by Qt's SVG renderer (what desktops built on Qt
// and the viewer's own window use) at the sizes desktops ask for. The
// pictures are saved under build/tests/resources/desktop for a look.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <filesystem>
#include <string>

namespace {

QImage Draw(int size) {
    QSvgRenderer svg(QString::fromUtf8(TRIVEXA_ICON_SVG));
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (!svg.isValid()) return {};
    QPainter p(&image);
    svg.render(&p);
    p.end();
    return image;
}

TEST(AppIcon, DrawsAtDesktopSizes) {
    int argc = 1;
    char name[] = "test_app_icon";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::filesystem::create_directories(TRIVEXA_ICON_OUT);
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const QImage image = Draw(size);
        ASSERT_FALSE(image.isNull()) << "the renderer rejects the icon";
        // A rounded tile: the corners stay clear, the middle is covered.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size - 1, size - 1)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255);
        // The lens sits in the upper half: dark glass inside a blue ring.
        const QColor glass = image.pixelColor(size / 2, size * 41 / 100);
        EXPECT_LT(glass.lightness(), 70);
        image.save(QString::fromStdString(std::string(TRIVEXA_ICON_OUT) + "/icon_" +
                                          std::to_string(size) + ".png"));
    }
    // The ring around the lens is the skin's accent blue.
    const QColor ring = Draw(256).pixelColor(128, 105 - 49);
    EXPECT_GT(ring.blue(), ring.red() + 60);
}

}  // namespace
