// The video context menu on a real display: its items' sizes and look, a
// choice by mouse and by keyboard, items that cannot be chosen, closing
// without a choice. Screenshots go to build/tests/viewer/.
#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetrics>
#include <QTimer>

#include "app/core/layout_scale.h"
#include "app/core/ui_strings.h"
#include "app/movie_menu.h"
#include "controls/shared_fonts.h"
#include "controls/widget_test_util.h"

namespace trivexa {
namespace {

QString MenuShot(const QString& name) {
    const QString dir = QStringLiteral(TRIVEXA_BINARY_DIR "/tests/viewer");
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name + QStringLiteral(".png");
}

class MovieMenu : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        CreateSharedFonts(ComputeScaleAndFonts({1.0f, 96, 96, 1040}));
    }
    void TearDown() override { DeleteSharedFonts(); }

    static std::vector<VideoMenuItem> Playing(bool fullScreen) {
        VideoMenuInput in;
        in.state = PlayState::kPlaying;
        in.rate = RateCode::kDouble;  // faster cannot be chosen
        in.rearMirrored = true;
        in.fullScreen = fullScreen;
        return BuildVideoMenu(in);
    }
    // Runs `during` once the menu is open, then returns Exec's answer.
    static std::optional<CommandId> Run(CMovieMenu& menu, std::function<void()> during) {
        QTimer::singleShot(50, &menu, [&menu, during] {
            EXPECT_EQ(CMovieMenu::Active(), &menu);
            during();
        });
        return menu.Exec(QPoint(200, 200));
    }
    static QPoint CentreOf(const CMovieMenu& menu, int index) {
        return menu.ItemRects()[static_cast<size_t>(index)].center();
    }
};

TEST_F(MovieMenu, ItemsAreSizedForTheirTexts) {
    CMovieMenu windowed(Playing(false), false);
    const auto& rects = windowed.ItemRects();
    ASSERT_EQ(rects.size(), 12u);
    EXPECT_EQ(rects[0].height(), 20);
    EXPECT_LT(rects[4].height(), 20);  // a separator
    // At least 70 wide, and wide enough for the longest text after its indent.
    const QFontMetrics metrics(SharedFont(2));
    int longest = 0;
    for (const auto& item : windowed.Items())
        if (!item.separator)
            longest = std::max(longest,
                               metrics.horizontalAdvance(QString::fromUtf8(UiString(item.text))));
    EXPECT_GE(rects[0].width(), std::max(70, 20 + longest));
    CMovieMenu full(Playing(true), true);
    EXPECT_GE(full.ItemRects()[0].width(), 220);
}

TEST_F(MovieMenu, ChoosingByMouse) {
    CMovieMenu menu(Playing(false), false);
    QImage shot;
    const auto chosen = Run(menu, [&] {
        QTest::mouseMove(&menu, CentreOf(menu, 1));  // stop
        QTest::qWait(30);
        shot = test::Grab(&menu);
        // The disabled faster item does nothing when clicked.
        QTest::mouseClick(&menu, Qt::LeftButton, {}, CentreOf(menu, 2));
        EXPECT_TRUE(menu.isVisible());
        QTest::mouseClick(&menu, Qt::LeftButton, {}, CentreOf(menu, 1));
    });
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, CommandId::kStop);
    EXPECT_EQ(CMovieMenu::Active(), nullptr);
    EXPECT_TRUE(shot.save(MenuShot(QStringLiteral("context_menu_playing"))));
    // The highlighted item is blue; the others lie on the menu colour.
    const QPoint inStop = menu.ItemRects()[1].topLeft() + QPoint(4, 4);
    EXPECT_TRUE(test::Near(shot.pixelColor(inStop), QColor(0, 0, 255), 8));
    const QPoint inPlay = menu.ItemRects()[0].topLeft() + QPoint(4, 4);
    EXPECT_FALSE(test::Near(shot.pixelColor(inPlay), QColor(0, 0, 255), 60));
}

TEST_F(MovieMenu, ChoosingByKeyboardAndClosingWithoutAChoice) {
    {
        CMovieMenu menu(Playing(true), true);
        QImage shot;
        const auto chosen = Run(menu, [&] {
            // Down skips nothing enabled-wise: play, stop, aspect.
            QTest::keyClick(&menu, Qt::Key_Down);
            QTest::keyClick(&menu, Qt::Key_Down);
            QTest::keyClick(&menu, Qt::Key_Down);
            QTest::keyClick(&menu, Qt::Key_Down);
            QTest::qWait(20);
            shot = test::Grab(&menu);
            QTest::keyClick(&menu, Qt::Key_Return);
        });
        // Play, stop, faster (disabled), slower: Enter on the fourth item.
        ASSERT_TRUE(chosen.has_value());
        EXPECT_EQ(*chosen, CommandId::kSlower);
        EXPECT_TRUE(shot.save(MenuShot(QStringLiteral("context_menu_full_screen"))));
    }
    {
        CMovieMenu menu(Playing(false), false);
        EXPECT_FALSE(Run(menu, [&] { QTest::keyClick(&menu, Qt::Key_Escape); }).has_value());
    }
    {
        CMovieMenu menu(Playing(false), false);
        EXPECT_FALSE(Run(menu, [] { CMovieMenu::Active()->Dismiss(); }).has_value());
    }
}

}  // namespace
}  // namespace trivexa
