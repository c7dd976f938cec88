// The shared fonts on the real screen, Japanese rendering, and every skin
// picture of the table loading from its drawing at any scale.
#include <QDirIterator>
#include <QFontInfo>
#include <QPainter>
#include <QSvgRenderer>
#include <set>

#include "app/core/ui_strings.h"
#include "controls/core/skin_table.h"
#include "controls/shared_fonts.h"
#include "controls/skin_pictures.h"
#include "widget_test_util.h"

namespace trivexa {
namespace {

TEST(SharedFonts, ScaleAndFontsOnTheTestScreen) {
    REQUIRE_DISPLAY();
    test::ScopedScale keep(1.0f);
    QWidget mainWindow;
    mainWindow.setGeometry(10, 10, 1120, 697);
    const ScaleInputs in = ScaleInputsFor(&mainWindow);
    ASSERT_GT(in.dpiX, 0);
    ASSERT_TRUE(RunScaleAndFonts(&mainWindow));
    const ScaleOutcome expected = ComputeScaleAndFonts(in);
    EXPECT_FLOAT_EQ(LayoutScale(), expected.scale);
    EXPECT_FLOAT_EQ(DpiFactor(), expected.dpiFactor);
    ASSERT_TRUE(HaveSharedFonts());
    for (int n = 1; n <= kSharedFontCount; ++n) {
        EXPECT_EQ(SharedFont(n).pixelSize(), -expected.fontHeights[static_cast<size_t>(n - 1)])
            << n;
        EXPECT_EQ(SharedFont(n).families(), SharedFontFamilies()) << n;
    }
    // The face name is UI string 112, the fallback a Japanese sans-serif.
    EXPECT_EQ(SharedFontFamilies().front(), QString::fromUtf8("メイリオ"));
    DeleteSharedFonts();
    EXPECT_FALSE(HaveSharedFonts());
    EXPECT_EQ(SharedFont(2), QApplication::font());
}

TEST(SharedFonts, JapaneseRendersWithRealGlyphs) {
    REQUIRE_DISPLAY();
    ScaleOutcome out = ComputeScaleAndFonts({1.0f, 96, 96, 1040});
    CreateSharedFonts(out);
    const QFont font = SharedFont(2);
    const QString text = QString::fromUtf8(UiString(172));  // the repair question
    const QFontMetrics fm(font);
    for (const uint c : text.toUcs4()) EXPECT_TRUE(fm.inFontUcs4(c)) << std::hex << c;
    const QFontInfo info(font);
    EXPECT_TRUE(info.family() == QString::fromUtf8("メイリオ") || info.family().contains("CJK"))
        << info.family().toStdString();
    // Distinct characters draw distinct pictures (no boxes of one shape).
    const auto draw = [&](const QString& s) {
        QImage image(40, 24, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(image.rect(), Qt::AlignCenter, s);
        return image;
    };
    EXPECT_NE(draw(QString::fromUtf8("閉")), draw(QString::fromUtf8("結")));
    EXPECT_NE(draw(QString::fromUtf8("閉")), draw(QStringLiteral(" ")));
    DeleteSharedFonts();
}

TEST(SkinPictures, EveryTableRowMatchesItsDrawing) {
    REQUIRE_DISPLAY();
    std::set<QString> inTable;
    for (const SkinPictureInfo& row : SkinPictureTable()) {
        const QString path = QStringLiteral(":/skin/") + QString::fromLatin1(row.file);
        inTable.insert(path);
        QSvgRenderer svg(path);
        ASSERT_TRUE(svg.isValid()) << row.number;
        EXPECT_EQ(svg.defaultSize(), QSize(row.width * row.frames, row.height)) << row.number;
        for (int frame = 0; frame < row.frames; ++frame) {
            for (float s : {1.0f, 1.5f, 2.0f}) {
                const QPixmap p = SkinPictureScaled(row.number, s, frame);
                ASSERT_FALSE(p.isNull()) << row.number << " frame " << frame;
                EXPECT_EQ(p.deviceIndependentSize().toSize(),
                          QSize(Units(row.width, s), Units(row.height, s)))
                    << row.number;
            }
        }
    }
    // And no drawing is left without a number.
    QDirIterator it(QStringLiteral(":/skin"));
    while (it.hasNext()) EXPECT_TRUE(inTable.count(it.next())) << it.filePath().toStdString();
}

TEST(SkinPictures, TheStatesOfAStripDifferAndTheirCornersAreTransparent) {
    REQUIRE_DISPLAY();
    for (int number : {skin::kPlay, skin::kCheckBox, skin::kDialogClose, skin::kCaptionClose}) {
        const QSize size = SkinDesignSize(number);
        std::vector<QImage> frames;
        for (int f = 0; f < 4; ++f) frames.push_back(SkinPicture(number, size, f).toImage());
        for (int a = 0; a < 4; ++a)
            for (int b = a + 1; b < 4; ++b)
                EXPECT_NE(frames[a], frames[b]) << number << " " << a << b;
    }
    const QImage play = SkinPicture(skin::kPlay, {32, 32}).toImage();
    EXPECT_EQ(qAlpha(play.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(play.pixel(16, 4)), 255);
}

TEST(SkinPictures, BadRequestsGiveNoPicture) {
    REQUIRE_DISPLAY();
    EXPECT_TRUE(SkinPicture(4242, {10, 10}).isNull());
    EXPECT_TRUE(SkinPicture(skin::kPlay, {0, 10}).isNull());
    EXPECT_TRUE(SkinPicture(skin::kPlay, {32, 32}, 4).isNull());
    EXPECT_TRUE(SkinPicture(skin::kPlay, {32, 32}, -1).isNull());
    EXPECT_TRUE(SkinPicture(skin::kWindowBackground, {96, 96}, 1).isNull());
    EXPECT_TRUE(SkinPicture(skin::kPlay, {100000, 32}).isNull());
}

}  // namespace
}  // namespace trivexa
