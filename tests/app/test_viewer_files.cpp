// The viewer's file commands driven as a user drives them, on forge cards:
// the still button writes the pictures shown, the CSV button writes the list,
// delete hides recordings on a card (a private tmpfs is the card's volume),
// join writes clips ffprobe accepts, every control stays disabled while a
// task runs, and repaired copies are offered when the viewer closes. The task
// bar and the file selection dialog are saved under build/tests/viewer/.
#include <QFileDialog>
#include <QProcess>
#include <fstream>
#include <sstream>

#include "app/file_commands/csv_export.h"
#include "app/file_commands/still_names.h"
#include "app/task_frame.h"
#include "controls/skin_list.h"
#include "controls/skin_progress.h"
#include "platform/scratch_volume.h"
#include "support/slow_repair_clip.h"
#include "viewer_fixture.h"

namespace trivexa {
namespace {

// Runs `act` on the next modal window of type T once it is shown.
template <typename T>
void WhenModal(std::function<void(T*)> act, int triesLeft = 1000) {
    QTimer::singleShot(10, [act, triesLeft] {
        auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!w || !w->isVisible()) {
            if (triesLeft > 0) WhenModal<T>(act, triesLeft - 1);
            return;
        }
        act(w);
    });
}

// Chooses `folder` in the next folder chooser.
void ChooseFolderNext(const fs::path& folder) {
    WhenModal<QFileDialog>([folder](QFileDialog* d) {
        // Inside the folder with nothing selected, the folder itself is chosen
        // (a selection would depend on the listing being loaded).
        d->setDirectory(QString::fromStdString(folder.string()));
        static_cast<QDialog*>(d)->done(QDialog::Accepted);
    });
}

// Checks `rows` in the next file selection dialog (its object name tells the
// mode), saves its picture as `shot`, and presses its OK button.
void SelectInNextFileDialog(const QString& objectName, std::vector<int> rows, const QString& shot,
                            int triesLeft = 1000) {
    QTimer::singleShot(10, [objectName, rows, shot, triesLeft] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!d || !d->isVisible() || d->objectName() != objectName) {
            if (triesLeft > 0) SelectInNextFileDialog(objectName, rows, shot, triesLeft - 1);
            return;
        }
        auto* list = d->findChild<CSkinListCtrl*>();
        ASSERT_NE(list, nullptr);
        for (int row : rows) {
            QTest::qWait(QApplication::doubleClickInterval() + 30);
            list->scrollToItem(list->topLevelItem(row));
            const QRect r = list->visualItemRect(list->topLevelItem(row));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        }
        test::RunEventsFor(100);
        EXPECT_TRUE(d->grab().save(ShotPath(shot)));
        for (CSkinButton* b : d->findChildren<CSkinButton*>()) {
            if (b->CommandId() != 1) continue;
            EXPECT_TRUE(b->isEnabled());
            QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
            return;
        }
        ADD_FAILURE() << "no OK button";
    });
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// What the user can reach while a task runs, seen at its completion message
// (shown before the task ends and the controls come back).
struct ControlsSeen {
    bool seen = false;
    bool anyButton = false;
    bool anyCaption = false;
    bool browser = false;
    bool sliders = false;
    bool barShown = false;
    QString message;
};

class ViewerFiles : public Viewer {
protected:
    // Answers the completion message with OK, recording what was enabled then.
    void WatchCompletion(ControlsSeen* seen, const QString& shot = {}) {
        WhenModal<CMsgDlg>([this, seen, shot](CMsgDlg* box) {
            seen->seen = true;
            seen->message = box->ShownText();
            for (int i = 0; i < kControlButtonCount; ++i)
                seen->anyButton |= window->Buttons().Control(i)->isEnabled();
            for (int i = 0; i < 3; ++i)
                seen->anyCaption |= window->Buttons().Caption(i)->isEnabled();
            seen->browser = window->Browser().isEnabled();
            seen->sliders = window->SeekSlider().isEnabled() || window->VolumeSlider().isEnabled();
            seen->barShown = window->Tasks().Bar().isVisible();
            if (!shot.isEmpty()) SaveScreen(shot);
            QTest::mouseClick(box->FirstButton(), Qt::LeftButton, {},
                              box->FirstButton()->rect().center());
        });
    }
    void ExpectDisabledDuringTask(const ControlsSeen& s) {
        EXPECT_TRUE(s.seen);
        EXPECT_FALSE(s.anyButton);
        EXPECT_FALSE(s.anyCaption);
        EXPECT_FALSE(s.browser);
        EXPECT_FALSE(s.sliders);
        EXPECT_TRUE(s.barShown);
    }
    bool Enabled(int b) { return window->Buttons().Control(b)->isEnabled(); }

    test::TempDir out;
};

// The still saves the paused frame of each camera at its own size, named
// with the letter of the camera it shows.
TEST_F(ViewerFiles, StillWritesTheShownFrameOfEachCamera) {
    Start({Rec("A___-230715-081500-000001F.AVI", 90)}, [](clipforge::CardSpec& spec) {
        clipforge::VideoSpec rear = spec.clip.video;
        rear.width = 128;
        rear.height = 80;
        rear.camera = 'R';
        spec.rearVideo = rear;
    });
    ASSERT_TRUE(WaitLoaded());
    ASSERT_TRUE(Enabled(button::kStill));
    Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) >= 10; }));

    ChooseFolderNext(out.path());
    QString done;
    AnswerNextBox(1, &done);
    Click(button::kStill);
    ASSERT_TRUE(WaitUntil([&] { return !done.isEmpty(); }));
    EXPECT_EQ(done, UiText(44));
    EXPECT_EQ(C().DataState(), PlayState::kPaused);

    const std::int64_t p = C().DataPosition();
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "-%06lld.jpg", static_cast<long long>(p));
    const fs::path front = out.path() / ("230715-081500-F" + std::string(suffix));
    const fs::path rear = out.path() / ("230715-081500-R" + std::string(suffix));
    ASSERT_TRUE(fs::exists(front)) << front;
    ASSERT_TRUE(fs::exists(rear)) << rear;
    const QImage f(QString::fromStdString(front.string()));
    const QImage r(QString::fromStdString(rear.string()));
    EXPECT_EQ(f.size(), QSize(160, 96));
    EXPECT_EQ(r.size(), QSize(128, 80));
    // The pictures are those on screen; the name carries the position, which
    // the engine reports within a frame of the picture it holds.
    EXPECT_EQ(FrameShown(f), Shown(0));
    EXPECT_EQ(FrameShown(r), Shown(1));
    EXPECT_NEAR(FrameShown(f), p, 1);
    EXPECT_EQ(ReadSetting("FOLDERPATH", "SNAPSHOT_FOLDER"), out.path().string());
    // Everything usable again.
    EXPECT_TRUE(Enabled(button::kPlayPause));
    EXPECT_TRUE(window->Browser().isEnabled());

    // The same frame again: the user is asked before the files are replaced,
    // and declining leaves them and shows nothing more.
    const auto before = fs::last_write_time(front);
    ChooseFolderNext(out.path());
    QString question;
    AnswerNextBox(2, &question);
    Click(button::kStill);
    EXPECT_EQ(question, UiText(90));
    EXPECT_EQ(fs::last_write_time(front), before);
    EXPECT_TRUE(Enabled(button::kStill));
}

// The CSV export writes the header and a line per recording, named after the
// first recording; the recording reopens at the position it had.
TEST_F(ViewerFiles, CsvWritesTheListAndReopensTheRecording) {
    Start({Rec("A___-230715-081500-000001F.AVI", 90), Rec("A___-230715-081600-000002F.AVI", 90)});
    ASSERT_TRUE(WaitLoaded());
    ASSERT_TRUE(Enabled(button::kCsv));
    Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) >= 20; }));
    Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return C().DataState() == PlayState::kPaused; }));
    const std::int64_t p = C().DataPosition();
    ASSERT_GT(p, 0);

    ChooseFolderNext(out.path());
    ControlsSeen seen;
    WatchCompletion(&seen);
    Click(button::kCsv);
    ASSERT_TRUE(WaitUntil([&] { return seen.seen && !window->Tasks().Busy(); }));
    EXPECT_EQ(seen.message, UiText(44));
    ExpectDisabledDuringTask(seen);

    const fs::path csv = out.path() / "Dv_20230715_081500.csv";
    ASSERT_TRUE(fs::exists(csv));
    const std::string text = ReadAll(csv);
    // The test runs in the C locale, whose ASCII cannot hold the header: UTF-8.
    ASSERT_EQ(text.rfind(CsvHeaderLine(), 0), 0u) << text;
    std::size_t lines = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(lines, 3u);
    EXPECT_NE(text.find("A___-230715-081600-000002F.AVI,2023/07/15,08:16:00"), std::string::npos);
    EXPECT_EQ(ReadSetting("FOLDERPATH", "CSV_FOLDER"), out.path().string());

    // The recording comes back paused where it was.
    ASSERT_TRUE(WaitLoaded());
    ASSERT_TRUE(WaitUntil([&] { return C().DataPosition() == p; }));
    EXPECT_EQ(C().DataState(), PlayState::kPaused);
    EXPECT_TRUE(Enabled(button::kPlayPause));
    EXPECT_FALSE(window->Tasks().Bar().isVisible());
}

// A CSV onto a full volume fails with UI string 93 twice, leaves no file
// behind, and the recording comes back.
TEST_F(ViewerFiles, CsvOntoAFullVolumeFailsAndLeavesNothing) {
    test::ScratchVolume full(64 << 10);
    TRIVEXA_REQUIRE_MOUNTED(full);
    {
        std::ofstream filler(full.root() / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        for (int i = 0; i < 64 && filler; ++i) filler << block;
    }
    Start({Rec("A___-230715-081500-000001F.AVI", 90)});
    ASSERT_TRUE(WaitLoaded());
    ChooseFolderNext(full.root());
    QString first, second;
    AnswerNextBox(1, &first);
    QTimer::singleShot(500, [&] { AnswerNextBox(1, &second); });
    Click(button::kCsv);
    ASSERT_TRUE(WaitUntil([&] { return !second.isEmpty() && !window->Tasks().Busy(); }));
    EXPECT_TRUE(first.startsWith(UiText(93))) << first.toStdString();
    EXPECT_EQ(second, UiText(93));
    for (const auto& e : fs::directory_iterator(full.root()))
        EXPECT_EQ(e.path().filename(), "filler");
    EXPECT_TRUE(WaitLoaded());
    EXPECT_TRUE(Enabled(button::kCsv));
}

// Delete on a card (its own volume): the two checked recordings get the
// hidden DMY names, the list is read again without them, and everything
// else on the card is left alone.
TEST_F(ViewerFiles, DeleteHidesTwoRecordingsOnTheCard) {
    test::ScratchVolume volume(64 << 20);
    TRIVEXA_REQUIRE_MOUNTED(volume);
    clipforge::CardSpec spec;
    spec.clip = ClipOf(90);
    spec.recordings = {Rec("A___-230715-081500-000001F.AVI", 90),
                       Rec("A___-230715-081600-000002F.AVI", 90),
                       Rec("A___-230715-081700-000003F.AVI", 90)};
    std::string error;
    ASSERT_TRUE(clipforge::WriteCard(volume.root(), spec, &error)) << error;
    StartOn(volume.root().string());
    ASSERT_TRUE(WaitLoaded());
    ASSERT_EQ(window->RowCount(), 3);
    ASSERT_TRUE(Enabled(button::kDelete));
    const fs::path normal = volume.root() / "Normal";

    SelectInNextFileDialog(QStringLiteral("FileSelectDelete"), {0, 1},
                           QStringLiteral("file_select_delete"));
    ControlsSeen seen;
    WatchCompletion(&seen);
    Click(button::kDelete);
    ASSERT_TRUE(WaitUntil([&] { return seen.seen && !window->Tasks().Busy(); }, 15000));
    EXPECT_EQ(seen.message, UiText(44));
    ExpectDisabledDuringTask(seen);

    for (const char* stem : {"A___-230715-081500-000001", "A___-230715-081600-000002"}) {
        EXPECT_FALSE(fs::exists(normal / "Front" / (std::string(stem) + "F.AVI")));
        EXPECT_TRUE(fs::exists(normal / "Front" / (std::string(stem) + "F.DMY")));
        EXPECT_TRUE(fs::exists(normal / "Rear" / (std::string(stem) + "R.DMY")));
    }
    EXPECT_TRUE(fs::exists(normal / "Front/A___-230715-081700-000003F.AVI"));
    ASSERT_TRUE(WaitUntil([&] { return window->RowCount() == 1; }));
    ASSERT_TRUE(WaitLoaded());
    EXPECT_EQ(CurrentName(), "A___-230715-081700-000003F.AVI");
    EXPECT_TRUE(window->Browser().isEnabled());
}

// A delete that fails part-way (the recorder's free copy of the first
// recording's front file takes its hidden name): the recording deleted before
// the failure leaves the list. The recording on screen, when still there, opens
// again under its new row; when it was the one deleted, nothing opens (no open
// failure) and the window shows the empty state over the rows left.
TEST_F(ViewerFiles, ADeleteFailingPartWayDropsTheDeletedRowsAndReopensOnlyWhatIsLeft) {
    test::ScratchVolume volume(64 << 20);
    TRIVEXA_REQUIRE_MOUNTED(volume);
    const std::vector<std::string> stems = {"A___-230715-081500-000001",
                                            "A___-230715-081600-000002",
                                            "A___-230715-081700-000003"};
    clipforge::CardSpec spec;
    spec.clip = ClipOf(90);
    for (const auto& stem : stems) spec.recordings.push_back(Rec(stem + "F.AVI", 90));
    std::string error;
    ASSERT_TRUE(clipforge::WriteCard(volume.root(), spec, &error)) << error;
    const fs::path front = volume.root() / "Normal/Front";
    test::WriteFile(front / (stems[0] + "F.DMY"), "the recorder's");
    StartOn(volume.root().string());
    ASSERT_TRUE(WaitLoaded());
    ASSERT_EQ(window->RowCount(), 3);
    window->SelectListRow(2);
    ASSERT_TRUE(WaitUntil([&] { return C().CurrentIndex() == 2 && Loaded(); }));

    // Runs a delete of `rows` that fails at the first; the text of every
    // message box shown until the window settles (each answered with OK from
    // a timer, since a box runs its own event loop).
    const auto deleteFailing = [&](std::vector<int> rows, const QString& shot) {
        std::vector<QString> boxes;
        QTimer answer;
        answer.setInterval(20);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<CMsgDlg*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            boxes.push_back(box->ShownText());
            QTest::mouseClick(box->FirstButton(), Qt::LeftButton, {},
                              box->FirstButton()->rect().center());
        });
        SelectInNextFileDialog(QStringLiteral("FileSelectDelete"), rows, shot);
        answer.start();
        Click(button::kDelete);
        // Long enough for a reopen to fail and say so.
        EXPECT_TRUE(WaitUntil([&] { return !window->Tasks().Busy(); }, 20000));
        test::RunEventsFor(3000);
        answer.stop();
        return boxes;
    };

    // The second goes, the first fails: the third, on screen, moves up a row
    // and opens again.
    std::vector<QString> boxes = deleteFailing({0, 1}, QStringLiteral("delete_part_way_select"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].startsWith(UiText(94))) << boxes[0].toStdString();
    EXPECT_TRUE(fs::exists(front / (stems[1] + "F.DMY")));
    EXPECT_TRUE(fs::exists(front / (stems[0] + "F.AVI")));
    EXPECT_EQ(window->RowCount(), 2);
    ASSERT_TRUE(WaitLoaded());
    EXPECT_EQ(C().CurrentIndex(), 1);
    EXPECT_EQ(CurrentName(), stems[2] + "F.AVI");

    // Now the one on screen goes and the first fails again: its row leaves,
    // nothing is opened, no open failure is shown.
    boxes = deleteFailing({0, 1}, QStringLiteral("delete_part_way_select_shown"));
    for (const QString& b : boxes) EXPECT_NE(b, UiText(96)) << "a deleted recording was reopened";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].startsWith(UiText(94))) << boxes[0].toStdString();
    EXPECT_TRUE(fs::exists(front / (stems[2] + "F.DMY")));
    EXPECT_EQ(window->RowCount(), 1);
    EXPECT_EQ(C().CurrentIndex(), -1);
    EXPECT_FALSE(C().MediaLoaded());
    EXPECT_FALSE(C().ErrorShown());
    EXPECT_FALSE(window->Trip().speedValid) << "the deleted recording's read-outs stay";
    EXPECT_TRUE(Enabled(button::kDelete));
    SaveScreen(QStringLiteral("delete_part_way_empty"));
}

// Escape cancels a running task: deleting the recording on screen waits a
// second for its readers, and cancelled then, nothing is deleted and the
// window comes back.
TEST_F(ViewerFiles, EscapeCancelsADeleteBeforeItDeletes) {
    Start({Rec("A___-230715-081500-000001F.AVI", 90), Rec("A___-230715-081600-000002F.AVI", 90)});
    ASSERT_TRUE(WaitLoaded());
    SelectInNextFileDialog(QStringLiteral("FileSelectDelete"), {0},
                           QStringLiteral("file_select_delete_cancelled"));
    Click(button::kDelete);
    ASSERT_TRUE(window->Tasks().Busy());
    EXPECT_FALSE(Enabled(button::kBrowse));
    QTest::keyClick(window.get(), Qt::Key_Escape);
    ASSERT_TRUE(WaitUntil([&] { return !window->Tasks().Busy(); }));
    EXPECT_TRUE(fs::exists(card.path() / "Normal/Front/A___-230715-081500-000001F.AVI"));
    EXPECT_EQ(window->RowCount(), 2);
    EXPECT_TRUE(window->Browser().isEnabled());
    ASSERT_TRUE(WaitLoaded());
    EXPECT_EQ(CurrentName(), "A___-230715-081500-000001F.AVI");
    EXPECT_TRUE(Enabled(button::kBrowse));
}

// Join of two consecutive recordings: one front and one rear clip that
// ffprobe reads with the frames of both; the task bar shows meanwhile.
TEST_F(ViewerFiles, JoinWritesClipsFfprobeAccepts) {
    Start({Rec("A___-230715-081500-000001F.AVI", 90), Rec("A___-230715-081600-000002F.AVI", 90)});
    ASSERT_TRUE(WaitLoaded());
    ASSERT_TRUE(Enabled(button::kJoin));

    SelectInNextFileDialog(QStringLiteral("FileSelectJoin"), {0, 1},
                           QStringLiteral("file_select_join"));
    ChooseFolderNext(out.path());
    ControlsSeen seen;
    WatchCompletion(&seen, QStringLiteral("join_task_bar"));
    Click(button::kJoin);
    ASSERT_TRUE(WaitUntil([&] { return seen.seen && !window->Tasks().Busy(); }, 20000));
    // The completion message names what was written.
    EXPECT_EQ(
        seen.message,
        UiText(44) + "\n\n" +
            QString::fromStdString((out.path() / "A___-230715-081500-000001F.AVI").string() + "\n" +
                                   (out.path() / "A___-230715-081500-000001R.AVI").string()));
    ExpectDisabledDuringTask(seen);

    for (const char* name : {"A___-230715-081500-000001F.AVI", "A___-230715-081500-000001R.AVI"}) {
        const fs::path joined = out.path() / name;
        ASSERT_TRUE(fs::exists(joined)) << joined;
        QProcess probe;
        probe.start(QStringLiteral("ffprobe"),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                     QStringLiteral("-select_streams"), QStringLiteral("v:0"),
                     QStringLiteral("-show_entries"), QStringLiteral("stream=nb_read_frames"),
                     QStringLiteral("-of"), QStringLiteral("csv=p=0"),
                     QString::fromStdString(joined.string())});
        ASSERT_TRUE(probe.waitForFinished(30000));
        EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
        EXPECT_EQ(probe.readAllStandardOutput().trimmed().toInt(), 180) << name;
    }
    EXPECT_EQ(ReadSetting("FOLDERPATH", "CONNECT_FOLDER"), out.path().string());
    // The recording on screen opens again, at its start.
    ASSERT_TRUE(WaitLoaded());
    EXPECT_EQ(C().DataPosition(), 0);
    EXPECT_TRUE(Enabled(button::kJoin));
}

// Recordings 1-2 joined into a folder, then 1-3 into the same folder where 3
// has no rear clip: one question covers both names, the front output is
// replaced (270 frames), the rear output of the first join is removed rather
// than left to pair with it, and the completion message says so.
TEST_F(ViewerFiles, ASecondJoinLeavesNoEarlierRearOutputBesideTheNewFront) {
    clipforge::CardRecording third = Rec("A___-230715-081700-000003F.AVI", 90);
    third.rear = false;
    Start({Rec("A___-230715-081500-000001F.AVI", 90), Rec("A___-230715-081600-000002F.AVI", 90),
           third});
    ASSERT_TRUE(WaitLoaded());
    // The chooser starts in this test's folder, not one an earlier test
    // remembered and removed.
    WriteSetting("FOLDERPATH", "CONNECT_FOLDER", out.path().string());
    const fs::path front = out.path() / "A___-230715-081500-000001F.AVI";
    const fs::path rear = out.path() / "A___-230715-081500-000001R.AVI";

    SelectInNextFileDialog(QStringLiteral("FileSelectJoin"), {0, 1},
                           QStringLiteral("file_select_join_first"));
    ChooseFolderNext(out.path());
    ControlsSeen first;
    WatchCompletion(&first);
    Click(button::kJoin);
    ASSERT_TRUE(WaitUntil([&] { return first.seen && !window->Tasks().Busy(); }, 20000));
    ASSERT_TRUE(fs::exists(front) && fs::exists(rear)) << first.message.toStdString();
    ASSERT_TRUE(WaitLoaded());

    SelectInNextFileDialog(QStringLiteral("FileSelectJoin"), {0, 1, 2},
                           QStringLiteral("file_select_join_second"));
    ChooseFolderNext(out.path());
    QString question;
    AnswerNextBox(1, &question);
    Click(button::kJoin);
    EXPECT_EQ(question, UiText(90));
    ControlsSeen second;
    WatchCompletion(&second, QStringLiteral("join_second_done"));
    ASSERT_TRUE(WaitUntil([&] { return second.seen && !window->Tasks().Busy(); }, 20000));
    EXPECT_EQ(second.message, UiText(44) + "\n\n" + QString::fromStdString(front.string()) + "\n" +
                                  UiText(kUiNoRearVideo) + "\n" + UiText(kUiJoinRemovedOutput) +
                                  "\n" + QString::fromStdString(rear.string()));
    EXPECT_FALSE(fs::exists(rear));
    const test::CommandResult probe = test::RunCommand(
        {"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
         "stream=nb_read_frames", "-of", "csv=p=0", front.string()});
    ASSERT_EQ(probe.exitCode, 0) << probe.err;
    EXPECT_EQ(std::stoi(probe.out), 270);
    ASSERT_TRUE(WaitLoaded());
    EXPECT_TRUE(Enabled(button::kJoin));
}

// A join into a folder on the card itself is refused before anything is
// written (the card is the recorder's).
TEST_F(ViewerFiles, JoinOntoTheCardIsRefused) {
    test::ScratchVolume volume(64 << 20);
    TRIVEXA_REQUIRE_MOUNTED(volume);
    clipforge::CardSpec spec;
    spec.clip = ClipOf(90);
    spec.recordings = {Rec("A___-230715-081500-000001F.AVI", 90),
                       Rec("A___-230715-081600-000002F.AVI", 90)};
    std::string error;
    ASSERT_TRUE(clipforge::WriteCard(volume.root(), spec, &error)) << error;
    StartOn(volume.root().string());
    ASSERT_TRUE(WaitLoaded());
    const fs::path target = volume.root() / "joined";
    fs::create_directories(target);
    SelectInNextFileDialog(QStringLiteral("FileSelectJoin"), {0, 1},
                           QStringLiteral("file_select_join_card"));
    ChooseFolderNext(target);
    QString message;
    AnswerNextBox(1, &message);
    Click(button::kJoin);
    ASSERT_TRUE(WaitUntil([&] { return !message.isEmpty(); }));
    EXPECT_TRUE(message.startsWith(UiText(92)));
    EXPECT_FALSE(window->Tasks().Busy());
    EXPECT_TRUE(fs::is_empty(target));
    EXPECT_TRUE(Enabled(button::kJoin));
}

// A repaired copy left by playback is offered once when the viewer closes;
// kept, it moves into the chosen folder and the temporary folder goes.
TEST_F(ViewerFiles, RepairedCopyIsOfferedAtShutdown) {
    clipforge::CardRecording damaged = Rec("A___-230715-081500-000001F.AVI", 90);
    damaged.clip->damage.indexLost = true;
    AnswerNextBox(1);
    Start({damaged});
    ASSERT_TRUE(WaitLoaded(10000));
    const fs::path copies = RepairedCopiesFolder();
    ASSERT_TRUE(fs::exists(copies / "A___-230715-081500-000001F.AVI"));

    QString question;
    AnswerNextBox(1, &question);
    QTimer::singleShot(200, [&] { ChooseFolderNext(out.path()); });
    window->Shutdown();
    EXPECT_EQ(question, UiText(173));
    EXPECT_TRUE(fs::exists(out.path() / "A___-230715-081500-000001F.AVI"));
    EXPECT_FALSE(fs::exists(copies));
    EXPECT_EQ(ReadSetting("FOLDERPATH", "REPAIR_FOLDER"), out.path().string());
    // Asked once: a second shutdown asks nothing.
    window->Shutdown();
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++count;
        return false;
    }
};

// Repairing a damaged recording before it plays runs as a task, as the file
// commands do: the bar shows, the window keeps painting, and Escape cancels
// the repair without a message and without leaving a partial copy.
TEST_F(ViewerFiles, RepairRunsAsATaskThatEscapeCancels) {
    const std::string name = "A___-230715-081500-000001F.AVI";
    clipforge::CardRecording damaged = Rec(name, 90);
    damaged.clip->damage.indexLost = true;
    clipforge::CardSpec spec;
    spec.clip = ClipOf(90);
    spec.recordings = {damaged};
    std::string error;
    ASSERT_TRUE(clipforge::WriteCard(card.path(), spec, &error)) << error;
    fs::path clip;
    for (const auto& e : fs::recursive_directory_iterator(card.path()))
        if (e.path().filename() == name) clip = e.path();
    ASSERT_FALSE(clip.empty());
    // A gigabyte to copy (a hole in the card's file): the repair lasts long
    // enough to be watched and cancelled.
    ASSERT_TRUE(test::WriteSlowRepairClip(clip, 1ull << 30));

    QString question;
    AnswerNextBox(1, &question);
    StartOn(card.path().string());
    ASSERT_TRUE(WaitUntil([&] { return window->Tasks().Busy(); }, 15000));
    EXPECT_EQ(question, UiText(172));
    EXPECT_TRUE(C().RepairRunning());
    EXPECT_TRUE(window->Tasks().Bar().isVisible());
    EXPECT_FALSE(window->Buttons().Control(button::kBrowse)->isEnabled());

    PaintCounter paints(window.get());
    window->update();
    ASSERT_TRUE(WaitUntil([&] { return paints.count > 0; }, 5000));
    ASSERT_TRUE(window->Tasks().Busy()) << "the repair ended before it could be watched";
    SaveScreen("repair_task");

    QTest::keyClick(window.get(), Qt::Key_Escape);
    ASSERT_TRUE(WaitUntil([&] { return !window->Tasks().Busy(); }, 15000));
    test::RunEventsFor(100);
    EXPECT_FALSE(C().RepairRunning());
    EXPECT_FALSE(C().OpenPending());
    EXPECT_FALSE(Loaded());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // no message
    EXPECT_FALSE(window->Tasks().Bar().isVisible());
    EXPECT_TRUE(window->Buttons().Control(button::kBrowse)->isEnabled());
    // Nothing of the cancelled copy is left: no copy, no partial write.
    std::vector<std::string> left;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(RepairedCopiesFolder(), ec))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{});
    EXPECT_FALSE(HasRepairedCopies());
}

// A card with the trace file shows the supply voltage for parking recordings
// only.
TEST_F(ViewerFiles, TraceFileReachesTheTripPanel) {
    Start({Rec("A___-230715-081500-000001F.AVI", 90), Rec("P___-230715-091500-000002F.AVI", 90)},
          [](clipforge::CardSpec& spec) { spec.pvtrace = true; });
    ASSERT_TRUE(WaitLoaded());
    EXPECT_TRUE(window->TracePresentFlag());
    EXPECT_TRUE(window->Trip().voltageEnabled);
    EXPECT_FALSE(window->Trip().voltageShown);
    while (CurrentName().rfind("P___", 0) != 0 && window->TreeHasNextNode()) {
        window->SelectNextTreeNode();
        test::RunEventsFor(100);
    }
    ASSERT_TRUE(WaitUntil([&] { return CurrentName().rfind("P___", 0) == 0 && Loaded(); }, 8000));
    EXPECT_TRUE(window->Trip().voltageShown);
}

// Without the trace file nothing shows the voltage.
TEST_F(ViewerFiles, NoTraceFileNoVoltage) {
    Start({Rec("P___-230715-091500-000002F.AVI", 90)});
    EXPECT_FALSE(window->TracePresentFlag());
    EXPECT_FALSE(window->Trip().voltageEnabled);
}

}  // namespace
}  // namespace trivexa
