// The panels, the browser and the dialogs driven as a user drives them: the
// real main window on forge cards under a display.
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <cstdlib>
#include <functional>
#include <memory>

#include "browser/source_open_dlg.h"
#include "map/map_view_wrap.h"
#include "online/update_dialog.h"
#include "panels/core/trip_rules.h"
#include "viewer_fixture.h"

namespace trivexa {
namespace {

// The trip panel's axis buttons and the graph's lines agree after another
// recording opens: every line is drawn again, its box checked, and one press
// takes it away.
TEST_F(Viewer, AxisButtonsAndGraphLinesAgreeAfterAnotherRecordingOpens) {
    Start({Rec("A___-230715-081500-000001F.AVI", 90), Rec("A___-230715-081600-000002F.AVI", 90)});
    ASSERT_TRUE(WaitLoaded());
    CInfoDlg& trip = window->TripPanel();
    CSkinButton* x = trip.AxisButton(0);
    ASSERT_NE(x, nullptr);
    ASSERT_TRUE(x->Latched());
    QTest::mouseClick(x, Qt::LeftButton, {}, x->rect().center());
    ASSERT_TRUE(WaitUntil([&] { return !window->Graph().SeriesShown(0); }));
    EXPECT_FALSE(x->Latched());
    EXPECT_FALSE(trip.AxisFlag(0));

    window->SelectListRow(1);
    ASSERT_TRUE(WaitUntil([&] { return C().CurrentIndex() == 1 && Loaded(); }));
    test::RunEventsFor(100);
    EXPECT_TRUE(trip.AxisFlag(0));
    EXPECT_TRUE(x->Latched());
    EXPECT_TRUE(window->Graph().SeriesShown(0));

    // One press takes the line away again.
    QTest::mouseClick(x, Qt::LeftButton, {}, x->rect().center());
    EXPECT_TRUE(WaitUntil([&] { return !window->Graph().SeriesShown(0); }));
    EXPECT_FALSE(x->Latched());
}

// The trip panel shows the second a frame lies in: the first frame of each
// second of a 30 fps clip shows that second, not the one before.
TEST_F(Viewer, TripTimeOfTheFrameThatStartsASecond) {
    Start({Rec("A___-230715-081500-000001F.AVI", 90)});
    ASSERT_TRUE(WaitLoaded());
    const struct {
        int frame;
        const char* text;
    } cases[] = {{0, "2023/07/15 08:15:00"},
                 {29, "2023/07/15 08:15:00"},
                 {30, "2023/07/15 08:15:01"},
                 {60, "2023/07/15 08:15:02"}};
    for (const auto& c : cases) {
        C().Seek(c.frame);
        ASSERT_TRUE(WaitUntil([&] { return window->Trip().frame == c.frame; }));
        EXPECT_EQ(FrameDateText(window->Trip()).value_or("(none)"), c.text) << c.frame;
    }
}

// The source dialog cancelled: nothing is open, the list still highlights a
// row, and a click on that row opens it.
TEST_F(Viewer, AfterTheSourceDialogIsCancelledTheHighlightedRowOpensOnAClick) {
    Start({Rec("A___-230715-081500-000001F.AVI", 90), Rec("A___-230715-081600-000002F.AVI", 90)});
    ASSERT_TRUE(WaitLoaded());
    bool cancelled = false;
    std::function<void()> cancel = [&] {
        auto* dialog = qobject_cast<CSourceOpenDlg*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            QTimer::singleShot(20, cancel);
            return;
        }
        SaveScreen(QStringLiteral("source_dialog"));
        dialog->reject();
        cancelled = true;
    };
    QTimer::singleShot(20, cancel);
    Click(button::kBrowse);
    ASSERT_TRUE(WaitUntil([&] { return cancelled; }));
    test::RunEventsFor(200);
    ASSERT_FALSE(C().MediaLoaded());
    EXPECT_FALSE(window->Buttons().Control(button::kPlayPause)->isEnabled());
    auto* list = window->Browser().findChild<QListView*>();
    ASSERT_NE(list, nullptr);
    const QModelIndexList highlighted = list->selectionModel()->selectedRows();
    ASSERT_EQ(highlighted.size(), 1);
    const int row = highlighted.first().row();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(row, 0)).center());
    ASSERT_TRUE(WaitLoaded()) << "a click on the highlighted row opened nothing";
    EXPECT_EQ(C().CurrentIndex(), row);
    EXPECT_TRUE(window->Buttons().Control(button::kPlayPause)->isEnabled());
    // A second click on the open row does not open it again.
    QTest::qWait(QApplication::doubleClickInterval() + 30);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(row, 0)).center());
    EXPECT_FALSE(C().OpenPending());
    EXPECT_TRUE(C().MediaLoaded());
}

// Pixels of row `row` of the recording list as the screen shows them whose
// colour is near `rgb` (the row's text colour).
int RowPixelsNear(QListView* list, int row, QRgb rgb) {
    const QRect r = list->visualRect(list->model()->index(row, 0));
    const QPoint at = list->viewport()->mapToGlobal(r.topLeft());
    const QImage shot = QGuiApplication::primaryScreen()
                            ->grabWindow(0, at.x(), at.y(), r.width(), r.height())
                            .toImage();
    int n = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb p = shot.pixel(x, y);
            if (std::abs(qRed(p) - qRed(rgb)) < 60 && std::abs(qGreen(p) - qGreen(rgb)) < 60 &&
                std::abs(qBlue(p) - qBlue(rgb)) < 60)
                ++n;
        }
    return n;
}

// A damaged row's colour follows its repair state on the screen at once:
// yellow while it waits for repair, green once it plays from its repaired
// copy, yellow again when the copies have gone.
TEST_F(Viewer, DamagedRowColourFollowsItsRepairState) {
    clipforge::CardRecording damaged = Rec("A___-230715-081500-000001F.AVI", 90);
    damaged.clip->damage.indexLost = true;
    AnswerNextBox(1);  // play it from a repaired copy
    Start({damaged, Rec("A___-230715-081600-000002F.AVI", 90)});
    ASSERT_TRUE(WaitLoaded(10000));
    ASSERT_EQ(C().CurrentIndex(), 0);
    auto* list = window->Browser().findChild<QListView*>();
    ASSERT_NE(list, nullptr);
    const QRgb yellow = qRgb(255, 255, 0), green = qRgb(0, 255, 0);
    test::RunEventsFor(300);
    EXPECT_GT(RowPixelsNear(list, 0, green), 0) << "the repaired row is not green";
    EXPECT_EQ(RowPixelsNear(list, 0, yellow), 0) << "the repaired row stayed yellow";
    SaveScreen(QStringLiteral("row_repaired"));

    // The source dialog, cancelled: the copies are offered and not kept.
    QString question;
    AnswerNextBox(2, &question);
    std::function<void()> cancel = [&] {
        auto* dialog = qobject_cast<CSourceOpenDlg*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            QTimer::singleShot(20, cancel);
            return;
        }
        dialog->reject();
    };
    QTimer::singleShot(20, cancel);
    Click(button::kBrowse);
    ASSERT_TRUE(WaitUntil([&] { return !question.isEmpty(); }));
    EXPECT_EQ(question, UiText(173));
    test::RunEventsFor(300);
    EXPECT_GT(RowPixelsNear(list, 0, yellow), 0) << "the row without its copy is not yellow";
    EXPECT_EQ(RowPixelsNear(list, 0, green), 0) << "the row without its copy stayed green";
    SaveScreen(QStringLiteral("row_copies_gone"));
}

// Without the map runtime, start-up stops at its notice: the first recording
// opens only once the notice is closed, and nothing of the viewer covers it.
TEST_F(Viewer, MapRuntimeNoticeComesBeforeTheFirstOpenAndStaysOnTop) {
    clipforge::CardSpec spec;
    spec.clip = ClipOf(90);
    spec.recordings = {Rec("A___-230715-081500-000001F.AVI", 90)};
    std::string error;
    ASSERT_TRUE(clipforge::WriteCard(card.path(), spec, &error)) << error;
    window = std::make_unique<CVidorraDlg>();
    CMapViewWrap::Options options;
    options.modulePath = (card.path() / "no_map_module.so").string();
    window->SetMapOptions(options);
    ASSERT_TRUE(window->Initialise(card.path().string()));

    bool seen = false, closed = false, openedUnderIt = true, onTop = false;
    std::function<void()> look = [&] {
        auto* notice = qobject_cast<CUpdateDialog*>(QApplication::activeModalWidget());
        if (!notice || !notice->isVisible()) {
            QTimer::singleShot(20, look);
            return;
        }
        seen = true;
        // Well past the open's debounce and the rear window's raise.
        // The notice raises itself again within 150 ms of being covered; on a
        // busy machine that can take a few rounds, so look for a while.
        auto tries = std::make_shared<int>(0);
        auto check = std::make_shared<std::function<void()>>();
        *check = [&, notice, tries, check] {
            openedUnderIt = C().MediaLoaded() || C().DataState() != PlayState::kClosed;
            onTop = QApplication::topLevelAt(notice->frameGeometry().center()) == notice;
            if (!onTop && ++*tries < 30) {
                QTimer::singleShot(100, *check);
                return;
            }
            SaveScreen(QStringLiteral("runtime_notice"));
            QTest::mouseClick(notice->Button(), Qt::LeftButton, {},
                              notice->Button()->rect().center());
            closed = true;
        };
        QTimer::singleShot(1500, *check);
    };
    QTimer::singleShot(20, look);
    window->move(0, 0);
    window->show();
    ASSERT_TRUE(WaitUntil([&] { return closed; }, 15000)) << "no runtime notice";
    EXPECT_TRUE(seen);
    EXPECT_FALSE(openedUnderIt) << "the recording opened behind the notice";
    EXPECT_TRUE(onTop) << "a window of the viewer covers the notice";
    EXPECT_TRUE(WaitLoaded()) << "the recording did not open after the notice";
}

}  // namespace
}  // namespace trivexa
