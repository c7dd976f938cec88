// The viewer's main window and playback driven as a user drives them: the
// context menu of a picture, the end of the card's last recording, the text
// drawn over a picture area that has shown video. Screenshots go to
// build/tests/viewer/.
#include "viewer_fixture.h"

namespace trivexa {
namespace {

// What the menu was like when a timer looked at it.
struct MenuSeen {
    bool open = false;
    int items = 0;
};

// Presses the right button on `surface` at `at` (the menu opens on the press
// and runs its own loop there); `during` runs once the menu is open.
void RightPressOn(CMovieStatic& surface, QPoint at, const std::function<void(CMovieMenu&)>& during) {
    QTimer::singleShot(150, [during] {
        CMovieMenu* menu = CMovieMenu::Active();
        if (!menu) {
            ADD_FAILURE() << "no menu opened";
            return;
        }
        during(*menu);
        // Whatever `during` left open is closed, so the press returns (a
        // menu that closed with a choice keeps it).
        if (CMovieMenu* still = CMovieMenu::Active(); still && still->isVisible())
            still->Dismiss();
    });
    QTest::mousePress(&surface, Qt::RightButton, {}, at);
}

// A right click on a picture opens the menu and leaves it open: the release
// of that click lands on the first item but chooses nothing. A click on an
// item chooses it, and so does holding the button, dragging onto an item and
// releasing there.
TEST_F(Viewer, RightClickOpensTheMenuWithoutChoosing) {
    Start({Rec("A___-230715-081500-000001F.AVI", 300)});
    ASSERT_TRUE(WaitLoaded());
    ASSERT_EQ(C().DataState(), PlayState::kStopped);
    for (int screen : {0, 1}) {
        CMovieStatic& surface = window->Surface(screen);
        const QPoint at(surface.width() / 3, surface.height() / 3);
        const QPoint global = surface.mapToGlobal(at);
        MenuSeen seen;
        RightPressOn(surface, at, [&](CMovieMenu& menu) {
            QTest::mouseRelease(&menu, Qt::RightButton, {}, menu.mapFromGlobal(global));
            test::RunEventsFor(100);
            seen.open = menu.isVisible() && CMovieMenu::Active() == &menu;
            seen.items = static_cast<int>(menu.Items().size());
            if (screen == 0) SaveScreen(QStringLiteral("context_menu_after_right_click"));
        });
        EXPECT_TRUE(seen.open) << screen;
        EXPECT_GT(seen.items, 0);
        test::RunEventsFor(100);
        EXPECT_EQ(C().DataState(), PlayState::kStopped) << screen;
        EXPECT_FALSE(window->Buttons().PlayFaceShowsPause());
    }

    // A click on the first item (play) chooses it.
    CMovieStatic& primary = window->Surface(0);
    const QPoint at(primary.width() / 3, primary.height() / 3);
    RightPressOn(primary, at, [&](CMovieMenu& menu) {
        QTest::mouseRelease(&menu, Qt::RightButton, {}, menu.mapFromGlobal(primary.mapToGlobal(at)));
        QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.ItemRects()[0].center());
    });
    ASSERT_TRUE(WaitUntil([&] { return C().DataState() == PlayState::kPlaying; }, 3000));
    EXPECT_TRUE(window->Buttons().PlayFaceShowsPause());

    // Held, dragged onto the second item (stop) and released there.
    RightPressOn(primary, at, [&](CMovieMenu& menu) {
        ASSERT_EQ(menu.Items()[1].command, CommandId::kStop);
        const QPoint onStop = menu.ItemRects()[1].center();
        QTest::mouseMove(&menu, onStop - QPoint(0, 3));
        QTest::mouseMove(&menu, onStop);
        QTest::mouseRelease(&menu, Qt::RightButton, {}, onStop);
    });
    ASSERT_TRUE(WaitUntil([&] { return C().DataState() == PlayState::kStopped; }, 3000));
    EXPECT_EQ(window->SeekSlider().Pos(), 0);
}

// A card that never parked has an empty Parking folder after Normal: running
// off the end of the last recording does not move there (no recording, a
// black window, an empty trip panel); it stops at the start of the last
// recording with its picture shown and the buttons usable.
TEST_F(Viewer, EndOfTheCardStopsOnItsLastRecording) {
    Start({Rec("A___-230715-081500-000001F.AVI", 75), Rec("A___-230715-081600-000002F.AVI", 75)});
    const TreeNode folder = window->Browser().Tree().SelectedNode();
    ASSERT_EQ(window->RowCount(), 2);
    ASSERT_TRUE(WaitLoaded());
    ASSERT_FALSE(C().CsvUnavailable());
    Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return C().CurrentIndex() == 1 && Loaded(); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return C().DataState() == PlayState::kPlaying; }, 3000));
    // The last recording ends.
    ASSERT_TRUE(WaitUntil(
        [&] {
            return C().DataState() == PlayState::kStopped && !C().AdvanceToNextFolder() &&
                   window->Buttons().Control(button::kPlayPause)->isEnabled();
        },
        10000));
    test::RunEventsFor(500);  // nothing else follows
    EXPECT_EQ(window->Browser().Tree().SelectedNode(), folder);
    EXPECT_EQ(window->RowCount(), 2);
    EXPECT_EQ(C().CurrentIndex(), 1);
    EXPECT_EQ(CurrentName(), "A___-230715-081600-000002F.AVI");
    EXPECT_TRUE(C().MediaLoaded());
    EXPECT_EQ(C().DataState(), PlayState::kStopped);
    EXPECT_EQ(window->SeekSlider().Pos(), 0);
    EXPECT_TRUE(window->Trip().dataValid);
    EXPECT_FALSE(window->Buttons().PlayFaceShowsPause());
    EXPECT_FALSE(C().CsvUnavailable());
    EXPECT_TRUE(window->Buttons().Control(button::kStill)->isEnabled());
    EXPECT_TRUE(window->Buttons().Control(button::kPrevious)->isEnabled());
    EXPECT_TRUE(WaitUntil([&] { return Shown(0) == 0 && Shown(1) == 0; }));
    SaveScreen(QStringLiteral("end_of_card"));
    // And it plays again from there.
    Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) > 5; }));
    EXPECT_EQ(C().CurrentIndex(), 1);
}

// A drag on the window's corner: the rubber band follows, and the release
// gives the window that size, lays it out and keeps the size factors.
TEST_F(Viewer, MainWindowResizesFromItsEdges) {
    StartOn((card.path() / "missing").string());
    test::RunEventsFor(300);
    ASSERT_EQ(window->size(), QSize(1120, 697));
    const QPoint corner(window->width() - 2, window->height() - 2);
    const QPoint to = corner + QPoint(100, 40);
    QTest::mousePress(window.get(), Qt::LeftButton, {}, corner);
    QTest::mouseMove(window.get(), corner + QPoint(50, 20));
    test::RunEventsFor(50);
    QTest::mouseMove(window.get(), to);
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, to);
    ASSERT_TRUE(WaitUntil([&] { return window->width() > 1200; }, 3000))
        << window->width() << "x" << window->height();
    EXPECT_NEAR(window->width(), 1220, 2);
    EXPECT_NEAR(window->height(), 737, 2);
    // Laid out for the new size: the video area takes the extra width.
    EXPECT_EQ(window->Video().width, window->width() - 24 - 440);
    double fx = 0, fy = 0;
    ReadScale("DISPLAY", fx, fy);
    EXPECT_NEAR(fx, window->width() / 1120.0, 0.01);
    EXPECT_NEAR(fy, window->height() / 697.0, 0.01);
    test::RunEventsFor(200);
    SaveScreen(QStringLiteral("resized_from_corner"));
    window->Shutdown();
    ASSERT_TRUE(WriteScale("DISPLAY", 1.0, 1.0));
}

// The display switch from the full-screen menu moves a surface into the
// hidden secondary window; once full screen is left that window shows its
// whole picture, laid out for its own size, not a corner of one laid out for
// the monitor.
TEST_F(Viewer, SwapInFullScreenThenLeaveShowsTheWholeSecondaryPicture) {
    Start({Rec("A___-230715-081500-000001F.AVI", 150)});
    ASSERT_TRUE(WaitLoaded());
    CMovieStatic& front = window->Surface(0);
    CMovieStatic& rear = window->Surface(1);
    QTest::mouseDClick(&front, Qt::LeftButton, {}, QPoint(50, 50));
    ASSERT_TRUE(WaitUntil([&] { return window->FullScreen(); }, 3000));
    test::RunEventsFor(300);
    const QPoint at(80, 80);
    RightPressOn(front, at, [&](CMovieMenu& menu) {
        QTest::mouseRelease(&menu, Qt::RightButton, {}, menu.mapFromGlobal(front.mapToGlobal(at)));
        for (std::size_t i = 0; i < menu.Items().size(); ++i)
            if (!menu.Items()[i].separator &&
                menu.Items()[i].command == CommandId::kSwapScreens)
                QTest::mouseClick(&menu, Qt::LeftButton, {},
                                  menu.ItemRects()[i].center());
    });
    ASSERT_EQ(C().PrimaryScreen(), 1);
    test::RunEventsFor(300);
    QTest::mouseDClick(&rear, Qt::LeftButton, {}, QPoint(50, 50));
    ASSERT_TRUE(WaitUntil([&] { return !window->FullScreen(); }, 3000));
    test::RunEventsFor(500);
    ASSERT_TRUE(window->SecondaryWindow().isVisible());
    EXPECT_EQ(front.parentWidget(), &window->SecondaryWindow());
    // The front picture lies inside its surface (letterboxed, 5:3 in its box).
    const LayoutRect d = C().Pair().Player(Camera::Front).DestinationRect();
    EXPECT_GE(d.left, 0);
    EXPECT_GE(d.top, 0);
    EXPECT_LE(d.right, front.width() + 1) << front.width();
    EXPECT_LE(d.bottom, front.height() + 1) << front.height();
    EXPECT_GT(d.right - d.left, front.width() / 2);
    // And the screen shows it whole: its frame number can be read there.
    const QRect picture = QRect(QPoint(d.left, d.top), QPoint(d.right - 1, d.bottom - 1))
                              .intersected(front.rect())
                              .translated(front.mapToGlobal(QPoint(0, 0)));
    ASSERT_TRUE(WaitUntil(
        [&] {
            const QImage shot = QGuiApplication::primaryScreen()
                                    ->grabWindow(0, picture.x(), picture.y(), picture.width(),
                                                 picture.height())
                                    .toImage();
            return FrameShown(shot) == Shown(0) && Shown(0) >= 0;
        },
        3000));
    SaveScreen(QStringLiteral("swapped_in_full_screen_then_left"));
}

}  // namespace
}  // namespace trivexa
