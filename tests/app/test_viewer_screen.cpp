// The viewer following its screen: a work area that shrinks and grows again,
// a change of the logical dpi, a screen too small for the window (the
// SmallScreen tests, run by ctest under 1024 x 600 and 800 x 600 displays),
// and the secondary video window brought back by the display switch after
// the user closed it. Screenshots go to build/tests/viewer/.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTest>
#include <memory>

#include "app/core/control_buttons.h"
#include "app/core/layout_scale.h"
#include "app/core/main_layout.h"
#include "app/main_buttons.h"
#include "app/vidorra_dlg.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"
#include "panels/movie_dialog.h"
#include "panels/movie_static.h"
#include "playback/playback_fixture.h"
#include "viewer_cards.h"
#include "viewer_shots.h"

namespace trivexa {
namespace {

using test::WaitUntil;

class ViewerScreen : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "no display";
        // Every test starts from the scale of a fresh start on this screen.
        SetLayoutScale(1.0f);
        SetDpiFactor(1.0f);
    }
    void TearDown() override {
        if (window) window->Shutdown();
        window.reset();
    }

    // Opens the viewer on `source` (a missing path gives the empty window)
    // and waits for the second stage of start-up.
    void StartOn(const std::string& source) {
        window = std::make_unique<CVidorraDlg>();
        ASSERT_TRUE(window->Initialise(source));
        window->move(0, 0);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(WaitUntil([&] { return window->SecondaryWindow().isVisible(); }, 5000));
        QTest::qWait(100);
    }

    void StartOnCard() {
        clipforge::CardSpec spec;
        spec.clip = ClipOf(90);
        spec.recordings = {Rec("A___-230715-081500-000001F.AVI")};
        std::string error;
        ASSERT_TRUE(clipforge::WriteCard(card.path(), spec, &error)) << error;
        StartOn(card.path().string());
        ASSERT_TRUE(WaitUntil(
            [&] {
                return window->Controller().MediaLoaded() && !window->Controller().OpenPending();
            },
            8000));
    }

    // The control bar's button size, 32·s.
    int ButtonSize() { return window->Buttons().Control(0)->width(); }

    test::TempDir card;
    std::unique_ptr<CVidorraDlg> window;
};

TEST_F(ViewerScreen, WorkAreaThatShrinksAndGrowsRescalesTheWindow) {
    StartOn((card.path() / "missing").string());
    const QRect tall(0, 0, 1920, 1040);
    window->FollowScreen({tall, 96, 96});
    ASSERT_FLOAT_EQ(LayoutScale(), 1.0f);
    ASSERT_EQ(window->size(), QSize(1120, 697));

    // A panel grows until the work area is lower than the window: s settles
    // near 0.9 and everything is re-made at it.
    const QRect low(0, 0, 1920, 650);
    window->FollowScreen({low, 96, 96});
    const float s = LayoutScale();
    EXPECT_NEAR(s, 0.9, 0.002);
    EXPECT_EQ(window->size(), QSize(Units(1120, s), Units(697, s)));
    EXPECT_LE(window->height(), low.height());
    EXPECT_EQ(ButtonSize(), Units(32, s));
    EXPECT_EQ(window->SecondaryWindow().width(), DeriveDetachedBaseSizes(s).secondary.width);
    EXPECT_FALSE(window->IsMaximisedState()) << "the re-scaled window fits";
    QTest::qWait(300);
    SaveScreen(QStringLiteral("viewer_work_area_650"));

    // The same work area again changes nothing; a tall one brings s = 1 back.
    window->FollowScreen({low, 96, 96});
    EXPECT_FLOAT_EQ(LayoutScale(), s);
    window->FollowScreen({tall, 96, 96});
    EXPECT_FLOAT_EQ(LayoutScale(), 1.0f);
    EXPECT_EQ(window->size(), QSize(1120, 697));
    EXPECT_EQ(ButtonSize(), 32);
}

TEST_F(ViewerScreen, LogicalDpiChangeRescalesAndBecomesTheBase) {
    StartOn((card.path() / "missing").string());
    const QRect area(0, 0, 2560, 1400);
    window->FollowScreen({area, 96, 96});
    ASSERT_FLOAT_EQ(LayoutScale(), 1.0f);
    // 144 dpi (a factor of 1.5): the window at 1.5 fits 0.9 × 1400.
    window->FollowScreen({area, 144, 144});
    EXPECT_FLOAT_EQ(DpiFactor(), 1.5f);
    EXPECT_FLOAT_EQ(LayoutScale(), 1.5f);
    EXPECT_EQ(window->size(), QSize(1680, Units(697, 1.5f)));
    EXPECT_EQ(ButtonSize(), 48);
    // The base is now the 144-dpi one: a lower work area and back return to it.
    const QRect lower(0, 0, 2560, 1000);
    window->FollowScreen({lower, 144, 144});
    EXPECT_NEAR(LayoutScale(), 0.9 * 1.5, 0.01);
    EXPECT_LE(window->height(), lower.height());
    EXPECT_FALSE(window->IsMaximisedState());
    window->FollowScreen({area, 144, 144});
    EXPECT_FLOAT_EQ(LayoutScale(), 1.5f);
    EXPECT_EQ(window->size(), QSize(1680, Units(697, 1.5f)));
    // Back to 96 dpi.
    window->FollowScreen({area, 96, 96});
    EXPECT_FLOAT_EQ(LayoutScale(), 1.0f);
    EXPECT_EQ(window->size(), QSize(1120, 697));
}

TEST_F(ViewerScreen, MaximisedWindowFollowsTheWorkArea) {
    StartOn((card.path() / "missing").string());
    window->Command(static_cast<int>(CommandId::kCaptionMaximise));
    // (Without a window manager the toolkit's own state does not follow; the
    // window's does, and it places itself on the work area.)
    ASSERT_TRUE(WaitUntil([&] { return window->IsMaximisedState(); }, 2000));
    const QRect smaller(0, 30, 1600, 900);
    window->FollowScreen({smaller, 96, 96});
    EXPECT_EQ(window->geometry(), smaller);
    EXPECT_FLOAT_EQ(LayoutScale(), 1.0f) << "a maximised window is fitted, not re-scaled";
    EXPECT_EQ(window->Video().width, 1600 - 24 - 440);
}

TEST_F(ViewerScreen, DisplaySwitchBringsBackAClosedSecondaryWindow) {
    StartOnCard();
    CMovieDialog& secondary = window->SecondaryWindow();
    const QPoint place = secondary.pos();
    CSkinButton* close = secondary.CloseButton();
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton, {}, close->rect().center());
    ASSERT_TRUE(WaitUntil([&] { return !secondary.isVisible(); }, 2000));

    // The first press brings the window back as it was, without swapping.
    CSkinButton* swap = window->Buttons().Control(button::kSwapScreens);
    ASSERT_TRUE(swap->isEnabled());
    QTest::mouseClick(swap, Qt::LeftButton, {}, swap->rect().center());
    ASSERT_TRUE(WaitUntil([&] { return secondary.isVisible(); }, 2000));
    EXPECT_EQ(window->PrimaryScreen(), 0);
    EXPECT_EQ(secondary.pos(), place);
    EXPECT_EQ(window->Surface(1).parentWidget(), &secondary);
    EXPECT_TRUE(window->Surface(1).isVisible());
    QTest::qWait(300);
    SaveScreen(QStringLiteral("viewer_secondary_reopened"));

    // With the window open, the switch swaps the screens as before.
    QTest::mouseClick(swap, Qt::LeftButton, {}, swap->rect().center());
    ASSERT_TRUE(WaitUntil([&] { return window->PrimaryScreen() == 1; }, 2000));
    EXPECT_TRUE(secondary.isVisible());
    EXPECT_EQ(window->Surface(0).parentWidget(), &secondary);
}

// Run by ctest on displays lower than the window's design height (see
// CMakeLists.txt); skipped on a large screen.
TEST(SmallScreen, WindowFitsTheWorkArea) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    if (area.height() >= kMainDesignHeight) GTEST_SKIP() << "needs a screen lower than 697 pixels";
    SetLayoutScale(1.0f);
    test::TempDir none;
    CVidorraDlg window;
    ASSERT_TRUE(window.Initialise((none.path() / "missing").string()));
    window.move(area.topLeft());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(WaitUntil([&] { return window.SecondaryWindow().isVisible(); }, 5000));
    QTest::qWait(300);
    const float s = LayoutScale();
    EXPECT_LT(s, 1.0f);
    EXPECT_TRUE(area.contains(window.geometry()))
        << "window " << window.width() << "x" << window.height() << " in " << area.width() << "x"
        << area.height();
    // Too narrow for the window at its scale: maximised onto the work area.
    const bool narrow = Units(1120, s) > area.width();
    EXPECT_EQ(window.IsMaximisedState(), narrow);
    if (narrow) {
        EXPECT_EQ(window.geometry(), area);
    } else {
        EXPECT_EQ(window.size(), QSize(Units(1120, s), Units(697, s)));
    }
    SaveScreen(QStringLiteral("viewer_small_screen_%1x%2").arg(area.width()).arg(area.height()));
    window.Shutdown();
}

}  // namespace
}  // namespace trivexa
