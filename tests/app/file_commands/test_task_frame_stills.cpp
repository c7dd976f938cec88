// The task frame with real tasks under a real Qt event loop, and the still
// button on real players: what the owner is asked to do, in which order, what
// the bar shows, and which picture files appear.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <future>
#include <thread>

#include "app/file_commands/still_capture.h"
#include "app/messages/posted_message.h"
#include "app/player_stills.h"
#include "app/task_frame.h"
#include "controls/skin_progress.h"
#include "forge_card.h"
#include "playback/frame_sink.h"
#include "playback/playback_fixture.h"
#include "playback/player_pair.h"

namespace trivexa::test {
namespace {

bool HaveDisplay() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

// The main window as the frame sees it: a log of the calls.
class OwnerLog : public TaskFrameOwner {
public:
    void SetControlsEnabled(bool enabled) override {
        calls.push_back(enabled ? "enable" : "disable");
        controlsEnabled = enabled;
    }
    void TaskSucceeded(const FileTask& task) override {
        calls.push_back("succeeded");
        succeededKind = task.Kind();
    }
    void ShowTaskMessage(int text, int caption, const std::string& detail) override {
        calls.push_back("message " + std::to_string(text) + "/" + std::to_string(caption));
        details.push_back(detail);
    }
    void ResetToStart() override { calls.push_back("reset"); }
    void RestorePosition(std::int64_t position) override {
        calls.push_back("restore " + std::to_string(position));
    }
    void EnableButtons() override { calls.push_back("buttons"); }

    std::vector<std::string> calls;
    std::vector<std::string> details;
    bool controlsEnabled = true;
    std::optional<TaskKind> succeededKind;
};

class TaskFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "needs a display (xvfb-run)";
        WriteForgeCard(dir_ / "folder", {ForgeRec("A___-210503-070809-000001F.AVI"),
                                         ForgeRec("A___-210503-070909-000002F.AVI")});
        list_ = CollectCard(dir_ / "folder");
        ASSERT_EQ(list_.size(), 2u);
        fs::create_directories(dir_ / "out");
    }
    TempDir dir_;
    std::vector<RecordingEntry> list_;
};

TEST_F(TaskFrameTest, ACsvTaskShowsTheBarKeepsControlsOffAndEndsWithTheFlags) {
    OwnerLog owner;
    CTaskFrame frame(owner);
    // The worker collects only when the test lets it, so the running state
    // can be looked at.
    std::promise<void> go;
    std::shared_future<void> allowed = go.get_future().share();
    const auto list = list_;
    auto task = std::make_unique<CsvTask>(
        [allowed, list] {
            allowed.wait();
            return list;
        },
        (dir_ / "out").string(), CsvOptions{});
    frame.SetResetToStart();
    frame.SetRestorePosition(42);
    ASSERT_TRUE(frame.Start(std::move(task)));

    EXPECT_TRUE(frame.Busy());
    EXPECT_FALSE(owner.controlsEnabled);
    EXPECT_TRUE(frame.Bar().isVisible());
    EXPECT_EQ(frame.Bar().geometry(), CTaskFrame::BarRect());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(frame.Bar().geometry().bottom(), screen.bottom());
    EXPECT_EQ(frame.Bar().geometry().width(), screen.width());
    EXPECT_EQ(frame.Bar().Pos(), 0);
    // One task at a time.
    EXPECT_FALSE(frame.Start(std::make_unique<DeleteTask>(list_, "")));

    go.set_value();
    ASSERT_TRUE(WaitUntil([&] { return !frame.Busy(); }));
    EXPECT_EQ(owner.succeededKind, TaskKind::kCsv);
    EXPECT_EQ(owner.calls, (std::vector<std::string>{"disable", "succeeded", "message 44/45",
                                                     "enable", "reset", "buttons", "restore 42"}));
    EXPECT_FALSE(frame.Bar().isVisible());
    EXPECT_EQ(frame.Bar().Pos(), 100);
    EXPECT_TRUE(fs::exists(dir_ / "out" / "Dv_20210503_070809.csv"));

    // The flags were used up: the next task ends without them.
    owner.calls.clear();
    CsvOptions replace;
    replace.replaceExisting = true;
    ASSERT_TRUE(frame.Start(
        std::make_unique<CsvTask>([list] { return list; }, (dir_ / "out").string(), replace)));
    ASSERT_TRUE(WaitUntil([&] { return !frame.Busy(); }));
    EXPECT_EQ(owner.calls, (std::vector<std::string>{"disable", "succeeded", "message 44/45",
                                                     "enable", "buttons"}));
}

TEST_F(TaskFrameTest, AFailedDeleteShowsUiString94WithTheNameAndNoCompletion) {
    OwnerLog owner;
    CTaskFrame frame(owner);
    fs::remove(list_[1].frontPath);
    fs::remove(list_[1].rearPath);
    frame.SetOpenErrorShown();
    ASSERT_TRUE(frame.Start(std::make_unique<DeleteTask>(std::vector{list_[1]}, "")));
    ASSERT_TRUE(WaitUntil([&] { return !frame.Busy(); }));
    EXPECT_EQ(owner.calls, (std::vector<std::string>{"disable", "message 94/-1", "enable"}));
    ASSERT_EQ(owner.details.size(), 1u);
    EXPECT_NE(owner.details[0].find(list_[1].frontName), std::string::npos) << owner.details[0];
    EXPECT_TRUE(fs::exists(list_[0].frontPath));
}

TEST_F(TaskFrameTest, TheBarShowsTheWorkersPercentAndIsDrawnOverTheScreensBottom) {
    OwnerLog owner;
    CTaskFrame frame(owner);
    std::promise<void> go;
    std::shared_future<void> allowed = go.get_future().share();
    const auto list = list_;
    // The export's own progress arrives after the collection: hold the worker
    // there and post a report the way a worker does.
    ASSERT_TRUE(frame.Start(std::make_unique<CsvTask>(
        [allowed, list] {
            allowed.wait();
            return list;
        },
        (dir_ / "out").string(), CsvOptions{})));
    PostMessageTo(&frame, UM_TASK_PROGRESS, 1, 3);
    ASSERT_TRUE(WaitUntil([&] { return frame.Bar().Pos() == 33; }));
    frame.Bar().repaint();
    const QImage shot = frame.Bar().grab().toImage();
    const fs::path out =
        fs::path(TRIVEXA_BINARY_DIR) / "tests" / "file_commands" / "task_frame_bar_33.png";
    fs::create_directories(out.parent_path());
    shot.save(QString::fromStdString(out.string()));
    // Blue on the left third, white on the right.
    EXPECT_EQ(shot.pixelColor(4, shot.height() / 2), CSkinProgressBarCtrl::BarColour());
    EXPECT_EQ(shot.pixelColor(shot.width() - 4, shot.height() / 2),
              CSkinProgressBarCtrl::BackColour());
    go.set_value();
    ASSERT_TRUE(WaitUntil([&] { return !frame.Busy(); }));
}

TEST(TaskPercent, ScalesAndClamps) {
    EXPECT_EQ(TaskPercent(0, 3), 0);
    EXPECT_EQ(TaskPercent(2, 3), 66);
    EXPECT_EQ(TaskPercent(3, 3), 100);
    EXPECT_EQ(TaskPercent(500, kJoinProgressScale), 50);
    EXPECT_EQ(TaskPercent(5, 0), 100);
    EXPECT_EQ(TaskPercent(7, 3), 100);
}

// ---- Still capture ------------------------------------------------------------

// The main window's still steps on a real player pair.
class PairOwner : public StillCaptureOwner {
public:
    PairOwner(PlayerPair& pair, std::string name, std::string folder)
        : pair_(pair), name_(std::move(name)), folder_(std::move(folder)) {}
    bool CanCapture() override { return true; }
    void PrepareCapture() override { calls.push_back("prepare"); }
    std::string ChooseFolder() override { return folder_; }
    std::string RecordingName() override { return name_; }
    std::int64_t Position() override { return position; }
    std::vector<std::string> InputPaths() override { return inputs; }
    bool ConfirmOverwrite(const std::string&) override {
        calls.push_back("overwrite?");
        return overwrite;
    }
    bool HasPicture(Camera camera) override { return CameraHasPicture(pair_, camera); }
    bool SaveFrame(Camera camera, const std::string& path) override {
        return SaveCameraStill(pair_, camera, path);
    }
    void RememberFolder(const std::string& folder) override { remembered = folder; }
    void RestoreLayout() override { calls.push_back("layout"); }
    void ShowMessage(int text, int caption) override {
        calls.push_back("message " + std::to_string(text) + "/" + std::to_string(caption));
    }
    void EndCapture() override { calls.push_back("end"); }

    std::int64_t position = 0;
    std::vector<std::string> inputs;
    bool overwrite = true;
    std::string remembered;
    std::vector<std::string> calls;

private:
    PlayerPair& pair_;
    std::string name_, folder_;
};

class NoticeSink : public QObject {
public:
    bool event(QEvent* e) override {
        if (const auto* m = AsPostedMessage(e)) {
            if (m->message() == UM_ENGINE_READY) ++ready;
            return true;
        }
        return QObject::event(e);
    }
    int ready = 0;
};

class StillCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Decodable clips (the players show them): a recording with both
        // cameras and one with only a rear file.
        ClipOptions front;
        front.audio = false;
        ClipOptions rear = front;
        rear.camera = 'R';
        list_.resize(2);
        list_[0].frontName = "A___-210503-070809-000001F.AVI";
        list_[0].rearName = "A___-210503-070809-000001R.AVI";
        list_[0].frontPath = ForgeClip("stills", front, list_[0].frontName).string();
        list_[0].rearPath = ForgeClip("stills", rear, list_[0].rearName).string();
        list_[1].rearName = "A___-210503-071009-000002R.AVI";
        list_[1].rearPath = ForgeClip("stills", rear, list_[1].rearName).string();
        for (const RecordingEntry& e : list_) {
            for (const std::string& p : {e.frontPath, e.rearPath}) {
                if (!p.empty()) {
                    ASSERT_TRUE(fs::exists(p)) << p;
                }
            }
        }
        for (int i = 0; i < 2; ++i)
            ASSERT_TRUE(pair_.Player(i == 0 ? Camera::Front : Camera::Rear)
                            .Initialise(&notices_[i], &sinks_[i]));
        fs::create_directories(dir_ / "stills");
    }
    void Open(const RecordingEntry& e) {
        ASSERT_EQ(pair_.OpenBoth(e.frontPath, e.rearPath), PairOpenResult::kOpened);
        const int expected = (e.frontPath.empty() ? 0 : 1) + (e.rearPath.empty() ? 0 : 1);
        notices_[0].ready = notices_[1].ready = 0;
        ASSERT_TRUE(WaitUntil([&] { return notices_[0].ready + notices_[1].ready == expected; }));
        ASSERT_TRUE(pair_.SetZoom({}, false));
    }
    std::vector<std::string> Stills() {
        std::vector<std::string> names;
        for (const auto& f : fs::directory_iterator(dir_ / "stills"))
            names.push_back(f.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir_;
    std::vector<RecordingEntry> list_;
    NoticeSink notices_[2];
    MemoryFrameSink sinks_[2];
    PlayerPair pair_;
};

TEST_F(StillCaptureTest, BothCamerasAtPositionZeroGiveAnFAndAnRPictureAtNativeSize) {
    Open(list_[0]);
    PairOwner owner(pair_, list_[0].frontName, (dir_ / "stills").string());
    const StillCaptureReport report = RunStillCapture(owner);
    EXPECT_EQ(report.result, StillCaptureResult::kSaved);
    EXPECT_EQ(Stills(), (std::vector<std::string>{"210503-070809-F-000000.jpg",
                                                  "210503-070809-R-000000.jpg"}));
    for (const std::string& name : Stills()) {
        QImage picture;
        ASSERT_TRUE(picture.load(QString::fromStdString((dir_ / "stills" / name).string())));
        EXPECT_EQ(picture.size(), QSize(160, 96)) << name;
    }
    EXPECT_EQ(owner.remembered, (dir_ / "stills").string());
    EXPECT_EQ(owner.calls, (std::vector<std::string>{"prepare", "layout", "message 44/45", "end"}));

    // Again at the same frame: one question for the pair; declined, the files
    // stay as they were.
    const std::string before = ReadFile(dir_ / "stills" / "210503-070809-R-000000.jpg");
    fs::resize_file(dir_ / "stills" / "210503-070809-F-000000.jpg", 3);
    owner.calls.clear();
    owner.overwrite = false;
    EXPECT_EQ(RunStillCapture(owner).result, StillCaptureResult::kOverwriteDeclined);
    EXPECT_EQ(owner.calls, (std::vector<std::string>{"prepare", "overwrite?", "layout", "end"}));
    EXPECT_EQ(fs::file_size(dir_ / "stills" / "210503-070809-F-000000.jpg"), 3u);
    EXPECT_EQ(ReadFile(dir_ / "stills" / "210503-070809-R-000000.jpg"), before);
}

TEST_F(StillCaptureTest, ARearOnlyRecordingGivesItsRearPictureUnderRAlone) {
    Open(list_[1]);
    ASSERT_TRUE(list_[1].frontPath.empty());
    PairOwner owner(pair_, list_[1].rearName, (dir_ / "stills").string());
    EXPECT_EQ(RunStillCapture(owner).result, StillCaptureResult::kSaved);
    EXPECT_EQ(Stills(), std::vector<std::string>{"210503-071009-R-000000.jpg"});
}

TEST_F(StillCaptureTest, NoPositionOrNoPictureFailsWithUiString98AndRemembersNothing) {
    Open(list_[0]);
    PairOwner owner(pair_, list_[0].frontName, (dir_ / "stills").string());
    owner.position = -1;
    EXPECT_EQ(RunStillCapture(owner).result, StillCaptureResult::kFailed);
    EXPECT_EQ(owner.calls, (std::vector<std::string>{"prepare", "layout", "message 98/-1", "end"}));
    EXPECT_TRUE(owner.remembered.empty());

    // Nothing open: nothing to save.
    ASSERT_TRUE(pair_.CloseBoth());
    owner.position = 0;
    EXPECT_EQ(RunStillCapture(owner).result, StillCaptureResult::kFailed);
    EXPECT_TRUE(Stills().empty());

    // A folder where the picture would go.
    Open(list_[0]);
    fs::create_directories(dir_ / "stills" / "210503-070809-F-000000.jpg");
    owner.calls.clear();
    EXPECT_EQ(RunStillCapture(owner).result, StillCaptureResult::kFailed);
    EXPECT_FALSE(fs::exists(dir_ / "stills" / "210503-070809-R-000000.jpg"));
}

TEST_F(StillCaptureTest, APicturePathThatLeadsToTheClipFailsWithUiString98) {
    // The picture's name in the chosen folder is a link to the clip shown:
    // even with the user's agreement nothing is written through or over it.
    Open(list_[0]);
    const fs::path link = dir_ / "stills" / "210503-070809-F-000000.jpg";
    fs::create_symlink(list_[0].frontPath, link);
    const std::string clip = ReadFile(list_[0].frontPath);
    PairOwner owner(pair_, list_[0].frontName, (dir_ / "stills").string());
    owner.inputs = {list_[0].frontPath, list_[0].rearPath};
    EXPECT_EQ(RunStillCapture(owner).result, StillCaptureResult::kFailed);
    EXPECT_EQ(owner.calls, (std::vector<std::string>{"prepare", "layout", "message 98/-1", "end"}));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(ReadFile(list_[0].frontPath) == clip) << "the clip was changed";
    EXPECT_FALSE(fs::exists(dir_ / "stills" / "210503-070809-R-000000.jpg"));
}

TEST_F(StillCaptureTest, ACancelledFolderChoiceSavesNothingAndSaysNothing) {
    Open(list_[0]);
    PairOwner owner(pair_, list_[0].frontName, "");
    EXPECT_EQ(RunStillCapture(owner).result, StillCaptureResult::kFolderCancelled);
    EXPECT_EQ(owner.calls, (std::vector<std::string>{"prepare", "end"}));
}

}  // namespace
}  // namespace trivexa::test
