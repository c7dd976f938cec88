// The viewer driven as a user drives it: the real main window on a forge card
// under a display, with mouse clicks on its buttons, sliders and video
// surfaces. The pictures are read back (every forge frame shows its number),
// and screenshots of the empty window, a playing recording, zoom, full screen
// and the context menu are saved under build/tests/viewer/.
#include "viewer_fixture.h"

namespace trivexa {
namespace {

TEST_F(Viewer, EmptyWindowHasOnlyBrowseEnabled) {
    StartOn((card.path() / "missing").string());
    test::RunEventsFor(200);
    EXPECT_EQ(window->RowCount(), 0);
    EXPECT_EQ(window->size(), QSize(1120, 697));
    EXPECT_TRUE(window->Buttons().Control(button::kBrowse)->isEnabled());
    EXPECT_FALSE(window->Buttons().Control(button::kPlayPause)->isEnabled());
    EXPECT_FALSE(window->Buttons().Control(button::kNext)->isEnabled());
    // Enter and Escape leave the window open.
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    SaveScreen(QStringLiteral("empty"));
}

// The settings button shows the settings dialog; its switches take the
// graph's event series away and back, and the dialog keeps their states when
// it is closed and shown again.
TEST_F(Viewer, SettingsSwitchesChangeTheGraphSeries) {
    Start({Rec("A___-230715-081500-000001F.AVI", 90)});
    ASSERT_TRUE(WaitLoaded());
    ASSERT_TRUE(window->Buttons().Control(button::kSettings)->isEnabled());
    Click(button::kSettings);
    CSettingDlg* settings = window->Settings();
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return settings->isVisible(); }));
    ASSERT_TRUE(window->Graph().SeriesShown(8));
    auto press = [&](int index) {
        CSkinCheckButton* sw = settings->Switch(index);
        QTest::mouseClick(sw, Qt::LeftButton, {}, sw->BoxRect().center());
    };
    press(0);
    ASSERT_TRUE(WaitUntil([&] { return !window->Graph().SeriesShown(8); }));
    settings->OnCommand(kSettingCloseCommand);
    EXPECT_FALSE(settings->isVisible());
    Click(button::kSettings);
    EXPECT_EQ(window->Settings(), settings);
    EXPECT_FALSE(settings->SwitchOn(0));
    press(0);
    EXPECT_TRUE(WaitUntil([&] { return window->Graph().SeriesShown(8); }));
}

TEST_F(Viewer, CloseButtonAndSystemCloseEndTheLoop) {
    Start({Rec("A___-230715-081500-000001F.AVI", 90)});
    ASSERT_TRUE(WaitLoaded());
    Click(button::kPlayPause);
    // The close caption button ends the modal loop after the shutdown.
    QTimer::singleShot(300, [&] {
        CSkinButton* close = window->Buttons().Caption(0);
        QTest::mouseClick(close, Qt::LeftButton, {}, close->rect().center());
    });
    EXPECT_EQ(window->exec(), 0);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(C().DataState(), PlayState::kClosed);
    EXPECT_FALSE(window->SecondaryWindow().isVisible());

    // The window system's close does the same.
    window.reset();
    StartOn(card.path().string());
    ASSERT_TRUE(WaitLoaded());
    QTimer::singleShot(300, [&] { window->close(); });
    EXPECT_EQ(window->exec(), 0);
    EXPECT_EQ(C().DataState(), PlayState::kClosed);
}

TEST_F(Viewer, StoredSizeFactorsSizeTheWindowAndItsChildren) {
    ASSERT_TRUE(WriteScale("DISPLAY", 1.5, 1.0));
    StartOn((card.path() / "missing").string());
    test::RunEventsFor(200);
    EXPECT_EQ(window->size(), QSize(1680, 697));
    // The video area takes the extra width; the browser keeps its own.
    EXPECT_EQ(window->Video().width, 1680 - 24 - 440);
    EXPECT_EQ(window->Layout().browser.Width(), 452);
    EXPECT_EQ(window->SecondaryWindow().size(), QSize(452, 274));
    window->Shutdown();
    ASSERT_TRUE(WriteScale("DISPLAY", 1.0, 1.0));
}

TEST_F(Viewer, FirstRecordingOpensAfterTheDebounceAndThePlaybackCommandsWork) {
    Start({Rec("A___-230715-081500-000001F.AVI", 300), Rec("A___-230715-081600-000002F.AVI", 300)});
    ASSERT_EQ(window->RowCount(), 2);
    EXPECT_EQ(C().CurrentIndex(), 0);
    EXPECT_TRUE(C().OpenPending());
    ASSERT_TRUE(WaitLoaded());
    // A click on the second row: scheduled, opened only after the debounce.
    auto* list = window->Browser().findChild<QListView*>();
    ASSERT_NE(list, nullptr);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(1, 0)).center());
    EXPECT_EQ(C().CurrentIndex(), 1);
    EXPECT_TRUE(C().OpenPending());
    test::RunEventsFor(300);
    EXPECT_FALSE(C().MediaLoaded());
    ASSERT_TRUE(WaitLoaded());
    EXPECT_GE(clock.elapsed(), 500);
    EXPECT_EQ(C().DataState(), PlayState::kStopped);
    // Both cameras show their first picture.
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) == 0 && Shown(1) == 0; }));
    EXPECT_EQ(window->Trip().frame, 0);
    EXPECT_TRUE(window->Trip().dataValid);

    // Play: the pictures move on, the play button shows pause.
    Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) > 10 && Shown(1) > 5; }));
    EXPECT_EQ(C().DataState(), PlayState::kPlaying);
    EXPECT_TRUE(window->Buttons().PlayFaceShowsPause());
    // The fan-out follows: slider, graph and trip panel at the same position.
    ASSERT_TRUE(WaitUntil([&] { return window->SeekSlider().Pos() > 10; }));
    EXPECT_EQ(window->Graph().CursorPosition(), window->SeekSlider().Pos());
    EXPECT_EQ(window->Trip().frame, window->SeekSlider().Pos());
    SaveScreen(QStringLiteral("playing"));

    // Faster twice within a second: one change.
    Click(button::kFaster);
    Click(button::kFaster);
    EXPECT_EQ(C().DataRate(), RateCode::kDouble);
    EXPECT_EQ(window->Trip().speedText, UiString(58));
    ASSERT_TRUE(WaitUntil([&] { return !C().RateDebounce(); }, 3000));
    // Slower twice (a second apart): 2 → 1 → 1/2.
    Click(button::kSlower);
    EXPECT_EQ(C().DataRate(), RateCode::kNormal);
    ASSERT_TRUE(WaitUntil([&] { return !C().RateDebounce(); }, 3000));
    Click(button::kSlower);
    EXPECT_EQ(C().DataRate(), RateCode::kHalf);
    EXPECT_EQ(window->Trip().speedText, UiString(60));

    // Pause resets the rate; the picture stays.
    Click(button::kPlayPause);
    EXPECT_EQ(C().DataState(), PlayState::kPaused);
    EXPECT_EQ(C().DataRate(), RateCode::kNormal);
    EXPECT_FALSE(window->Buttons().PlayFaceShowsPause());

    // A click on the slider's track seeks there.
    CSkinSliderCtrl& slider = window->SeekSlider();
    QTest::mouseClick(&slider, Qt::LeftButton, {},
                      QPoint(slider.width() * 3 / 4, slider.height() / 2));
    ASSERT_TRUE(WaitUntil([&] { return slider.Pos() > 180; }));
    const int target = slider.Pos();
    EXPECT_EQ(window->Graph().CursorPosition(), target);
    EXPECT_EQ(window->Trip().frame, target);
    ASSERT_TRUE(WaitUntil([&] { return std::abs(Shown(0) - target) <= 2; }));

    // Stop: back to the start.
    Click(button::kStop);
    EXPECT_EQ(C().DataState(), PlayState::kStopped);
    EXPECT_EQ(slider.Pos(), 0);
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) == 0; }));
}

TEST_F(Viewer, ZoomFullScreenAndContextMenu) {
    Start({Rec("A___-230715-081500-000001F.AVI", 150)});
    ASSERT_TRUE(WaitLoaded());
    Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) > 5; }));
    Click(button::kPlayPause);

    // Zoom mode: a click zooms about the point, 1 → 2 → 3 → 1.
    Click(button::kZoomMode);
    EXPECT_TRUE(window->ZoomMode());
    CMovieStatic& primary = window->Surface(0);
    const QPoint at(primary.width() / 3, primary.height() / 3);
    QTest::mouseClick(&primary, Qt::LeftButton, {}, at);
    ASSERT_TRUE(WaitUntil([&] { return window->Zoom(0).factor == 2.0f; }, 3000));
    test::RunEventsFor(300);
    SaveScreen(QStringLiteral("zoom"));
    QTest::mouseClick(&primary, Qt::LeftButton, {}, at);
    ASSERT_TRUE(WaitUntil([&] { return window->Zoom(0).factor == 3.0f; }, 3000));
    QTest::mouseClick(&primary, Qt::LeftButton, {}, at);
    ASSERT_TRUE(WaitUntil([&] { return window->Zoom(0).factor == 1.0f; }, 3000));
    Click(button::kZoomMode);
    EXPECT_FALSE(window->ZoomMode());

    // The context menu of the paused recording: it closes without a choice.
    QString firstItem;
    QTimer::singleShot(300, [&] {
        CMovieMenu* menu = CMovieMenu::Active();
        if (!menu) return;
        firstItem = QString::number(menu->Items().size());
        SaveScreen(QStringLiteral("context_menu"));
        menu->Dismiss();
    });
    window->OpenVideoMenu(primary.mapToGlobal(QPoint(100, 100)), &primary);
    EXPECT_FALSE(firstItem.isEmpty());

    // A double click on the primary surface: full screen and back.
    QTest::mouseDClick(&primary, Qt::LeftButton, {}, QPoint(50, 50));
    ASSERT_TRUE(WaitUntil([&] { return window->FullScreen(); }, 3000));
    // Software OpenGL under xvfb takes a while to redraw a whole screen; the
    // screenshot waits for it so it shows what a user sees.
    test::RunEventsFor(2000);
    EXPECT_EQ(primary.size(), window->screen()->geometry().size());
    EXPECT_FALSE(window->Graph().isVisible());
    SaveScreen(QStringLiteral("full_screen"));
    QTest::mouseDClick(&primary, Qt::LeftButton, {}, QPoint(50, 50));
    ASSERT_TRUE(WaitUntil([&] { return !window->FullScreen(); }, 3000));
    EXPECT_EQ(window->size(), QSize(1120, 697));
    EXPECT_TRUE(window->Graph().isVisible());
}

TEST_F(Viewer, EndOpensTheNextRowThenTheNextFolder) {
    clipforge::CardRecording parked = Rec("A___-230716-091500-000003F.AVI", 75);
    parked.topFolder = "Parking";
    Start({Rec("A___-230715-081500-000001F.AVI", 75), Rec("A___-230715-081600-000002F.AVI", 75),
           parked});
    const TreeNode firstFolder = window->Browser().Tree().SelectedNode();
    ASSERT_EQ(window->RowCount(), 2);
    ASSERT_TRUE(WaitLoaded());
    Click(button::kPlayPause);
    // The first ends: the second opens and plays on.
    ASSERT_TRUE(WaitUntil([&] { return C().CurrentIndex() == 1 && Loaded(); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return C().DataState() == PlayState::kPlaying; }, 3000));
    EXPECT_EQ(CurrentName(), "A___-230715-081600-000002F.AVI");
    // The last row ends: the next folder's first recording opens and plays.
    ASSERT_TRUE(WaitUntil(
        [&] { return CurrentName() == "A___-230716-091500-000003F.AVI" && Loaded(); }, 12000));
    EXPECT_NE(window->Browser().Tree().SelectedNode(), firstFolder);
    ASSERT_TRUE(WaitUntil([&] { return C().DataState() == PlayState::kPlaying; }, 3000));
    // The last recording of the last folder ends: stopped at the start.
    ASSERT_TRUE(WaitUntil(
        [&] {
            return C().DataState() == PlayState::kStopped && window->SeekSlider().Pos() == 0 &&
                   window->Buttons().Control(button::kPlayPause)->isEnabled();
        },
        10000));
    EXPECT_FALSE(C().AdvanceToNextFolder());
    EXPECT_EQ(CurrentName(), "A___-230716-091500-000003F.AVI");
    // Stopped: the play button shows its play picture again.
    EXPECT_FALSE(window->Buttons().PlayFaceShowsPause());
}

TEST_F(Viewer, TimeLapseRecordingStartsAtHalfRate) {
    Start({Rec("T___-230715-081500-000001F.AVI", 90)});
    ASSERT_TRUE(WaitLoaded());
    EXPECT_EQ(C().DataRate(), RateCode::kHalf);
    EXPECT_EQ(window->Trip().speedText, UiString(60));
}

TEST_F(Viewer, DamagedRecordingAsksAndPlaysTheRepairedCopy) {
    clipforge::CardRecording damaged = Rec("A___-230715-081500-000001F.AVI", 90);
    damaged.clip->damage.indexLost = true;
    QString question;
    AnswerNextBox(1, &question);
    Start({damaged});
    ASSERT_TRUE(WaitLoaded(10000));
    EXPECT_EQ(question, UiText(172));
    EXPECT_TRUE(C().Pair().Player(Camera::Front).OpenedRepairedCopy());
    Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) > 5; }));
    // The card is never written.
    EXPECT_TRUE(fs::exists(card.path() / "Normal/Front/A___-230715-081500-000001F.AVI"));
    // Closing offers to keep the repaired copy; not kept, it goes.
    AnswerNextBox(2);
    window->Shutdown();
}

TEST_F(Viewer, DamagedRecordingRefusedEndsWithTheFailureMessage) {
    clipforge::CardRecording damaged = Rec("A___-230715-081500-000001F.AVI", 90);
    damaged.clip->damage.indexLost = true;
    // The repair question is refused; the failure message that follows it is
    // answered only once the question has gone (the start may take a while,
    // so a fixed delay could answer the question instead).
    QString question, failure;
    AnswerNextBox(2, &question);
    std::function<void()> answerFailure = [&] {
        if (question.isEmpty()) {
            QTimer::singleShot(20, answerFailure);
            return;
        }
        AnswerNextBox(1, &failure);
    };
    QTimer::singleShot(20, answerFailure);
    Start({damaged});
    ASSERT_TRUE(WaitUntil([&] { return !failure.isEmpty(); }, 10000));
    EXPECT_EQ(question, UiText(172));
    EXPECT_EQ(failure, UiText(96));
    EXPECT_FALSE(C().MediaLoaded());
    EXPECT_TRUE(window->Buttons().Control(button::kBrowse)->isEnabled());
    EXPECT_FALSE(window->Buttons().Control(button::kPlayPause)->isEnabled());
    EXPECT_FALSE(window->Buttons().Control(button::kStop)->isEnabled());
}

TEST_F(Viewer, TooShortClipShowsItsMessage) {
    QString message;
    AnswerNextBox(1, &message);
    Start({Rec("A___-230715-081500-000001F.AVI", 45)});  // 1.5 s
    ASSERT_TRUE(WaitUntil([&] { return !message.isEmpty(); }, 8000));
    EXPECT_EQ(message, UiText(97));
    test::RunEventsFor(100);
    EXPECT_FALSE(C().MediaLoaded());
    EXPECT_FALSE(C().OpenPending());
}

TEST_F(Viewer, RemovingTheCardReturnsToTheEmptyState) {
    Start({Rec("A___-230715-081500-000001F.AVI", 150)});
    ASSERT_TRUE(WaitLoaded());
    Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) > 5; }));
    fs::remove_all(card.path());
    ASSERT_TRUE(WaitUntil([&] { return window->RowCount() == 0 && !C().MediaLoaded(); }, 5000));
    EXPECT_EQ(C().CurrentIndex(), -1);
    EXPECT_EQ(C().DataState(), PlayState::kClosed);
    EXPECT_TRUE(window->Buttons().Control(button::kBrowse)->isEnabled());
    EXPECT_FALSE(window->Buttons().Control(button::kPlayPause)->isEnabled());
    EXPECT_TRUE(window->isVisible());
}

// --- bad input --------------------------------------------------------------------------

TEST_F(Viewer, RapidSelectionChangesOpenOnlyTheLast) {
    Start({Rec("A___-230715-081500-000001F.AVI"), Rec("A___-230715-081600-000002F.AVI"),
           Rec("A___-230715-081700-000003F.AVI")});
    for (int i = 0; i < 20; ++i) {
        {
            std::lock_guard hold(window->ListMutex());
            window->SelectListRow(i % 3);
            window->SetCurrentIndex(i % 3);
        }
        window->SelectRecording({});
        test::RunEventsFor(40);
        EXPECT_FALSE(C().MediaLoaded());
    }
    ASSERT_TRUE(WaitLoaded());
    EXPECT_EQ(C().CurrentIndex(), 19 % 3);
    EXPECT_EQ(CurrentName(), "A___-230715-081600-000002F.AVI");
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) == 0; }));
}

TEST_F(Viewer, EveryButtonDuringAPendingOpenLeavesAWorkingWindow) {
    Start({Rec("A___-230715-081500-000001F.AVI"), Rec("A___-230715-081600-000002F.AVI")});
    ASSERT_TRUE(C().OpenPending());
    // Should the open finish during the loop, a command that opens a dialog
    // (still, CSV, delete, join) finds it dismissed.
    QTimer dismiss;
    QObject::connect(&dismiss, &QTimer::timeout, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            d->done(QDialog::Rejected);
    });
    dismiss.start(20);
    for (int i = 0; i < kControlButtonCount; ++i) {
        if (i == button::kBrowse) continue;  // a modal dialog; disabled anyway
        // (Under a loaded machine the open may finish during the loop.)
        if (C().OpenPending()) {
            EXPECT_FALSE(window->Buttons().Control(i)->isEnabled()) << i;
        } else if (i == button::kStill || i == button::kJoin || i == button::kDelete ||
                   i == button::kCsv) {
            continue;  // enabled now: they would open their dialogs
        }
        Click(i);
        // The commands themselves refuse too, when reached another way.
        window->Command(static_cast<int>(ControlButtons()[static_cast<std::size_t>(i)].command));
    }
    dismiss.stop();
    ASSERT_TRUE(WaitLoaded());
    // Play pressed while the open was pending starts playback once prepared.
    if (C().DataState() != PlayState::kPlaying) Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) > 5; }));
}

TEST_F(Viewer, RearMuchShorterThanFrontPlaysToTheFrontsEnd) {
    Start({Rec("A___-230715-081500-000001F.AVI", 150), Rec("A___-230715-081600-000002F.AVI")});
    // The rear clip of the first recording is cut to 2.5 s of 5.
    clipforge::ClipSpec rear = ClipOf(75);
    rear.video.camera = 'R';
    std::string error;
    ASSERT_TRUE(clipforge::WriteClip(card.path() / "Normal/Rear/A___-230715-081500-000001R.AVI",
                                     rear, nullptr, &error))
        << error;
    ASSERT_TRUE(WaitLoaded());
    Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) > 100; }, 8000));
    EXPECT_EQ(C().CurrentIndex(), 0);  // the rear's end did not end the recording
    ASSERT_TRUE(WaitUntil([&] { return C().CurrentIndex() == 1 && Loaded(); }, 8000));
}

TEST_F(Viewer, RecordingDeletedBetweenListingAndOpening) {
    Start({Rec("A___-230715-081500-000001F.AVI"), Rec("A___-230715-081600-000002F.AVI")});
    ASSERT_TRUE(WaitLoaded());
    fs::remove(card.path() / "Normal/Front/A___-230715-081600-000002F.AVI");
    fs::remove(card.path() / "Normal/Rear/A___-230715-081600-000002R.AVI");
    QString message;
    AnswerNextBox(1, &message);
    {
        std::lock_guard hold(window->ListMutex());
        window->SelectListRow(1);
        window->SetCurrentIndex(1);
    }
    window->SelectRecording({});
    ASSERT_TRUE(WaitUntil([&] { return !message.isEmpty(); }, 8000));
    EXPECT_EQ(message, UiText(96));
    EXPECT_FALSE(C().MediaLoaded());
    EXPECT_FALSE(C().OpenPending());
    // The window still works: the first row opens again.
    {
        std::lock_guard hold(window->ListMutex());
        window->SelectListRow(0);
        window->SetCurrentIndex(0);
    }
    window->SelectRecording({});
    ASSERT_TRUE(WaitLoaded());
}

}  // namespace
}  // namespace trivexa
