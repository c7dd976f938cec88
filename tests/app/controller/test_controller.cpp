// The controller's recording life without a window: a stand-in view holding
// a list of forge recordings, players drawing into memory, the players'
// notices passed to the controller as the video surfaces pass them.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "app/controller/viewer_controller.h"
#include "container/integrity.h"
#include "playback/frame_sink.h"
#include "playback/playback_fixture.h"

namespace trivexa {
namespace {

namespace fs = std::filesystem;
using test::WaitUntil;

// Passes a player's posted notices on to the controller, as CMovieStatic does.
class Surface : public QObject {
public:
    Surface(ViewerController*& c, int camera) : controller_(c), camera_(camera) {}
    bool event(QEvent* e) override {
        if (const auto* m = AsPostedMessage(e)) {
            if (m->message() == UM_ENGINE_READY) controller_->PlayerReady(camera_);
            if (m->message() == UM_ENGINE_ENDED) controller_->PlayerEnded(camera_);
            return true;
        }
        return QObject::event(e);
    }

private:
    ViewerController*& controller_;
    int camera_;
};

class FakeView : public ViewerView {
public:
    std::vector<RecordingEntry> rows;
    TripValues trip;
    std::int64_t sliderPos = 0, graphCursor = 0;
    bool controlsEnabled = true;
    std::deque<bool> answers;  // to AskYesNo
    std::vector<int> errors;
    std::vector<int> questions;
    int selectedRow = -1;
    bool continueFlag = false;

    int RowCount() override { return static_cast<int>(rows.size()); }
    std::optional<RecordingEntry> Row(int row) override {
        if (row < 0 || row >= RowCount()) return std::nullopt;
        return rows[static_cast<std::size_t>(row)];
    }
    void SetRowFacts(int, int, const SystemTime&) override {}
    void SelectListRow(int row) override { selectedRow = row; }
    bool ContinueInSequence() override { return continueFlag; }
    void SetContinueInSequence(bool on) override { continueFlag = on; }
    bool BrowserTaskRunning() override { return false; }
    bool TreeHasNextNode() override { return false; }
    void SelectNextTreeNode() override {}
    int LoadFolder(TreeNode) override { return 0; }
    TreeNode NextTreeNode(TreeNode) override { return kTreeRoot; }
    void SelectTreeNode(TreeNode) override {}
    bool BrowserClearing() override { return false; }
    void ClearBrowserList() override { rows.clear(); }
    void LayOutBrowser() override {}
    SourceKind Source() override { return SourceKind::SdCard; }
    TripValues& Trip() override { return trip; }
    void RepaintTrip() override {}
    void SetSeekRange(std::int64_t, std::int64_t) override {}
    void SetSeekPosition(std::int64_t p) override { sliderPos = p; }
    void EnableSeekSlider(bool) override {}
    void ReleaseSeekSlider() override {}
    void SetGraphCursor(std::int64_t, std::int64_t p) override { graphCursor = p; }
    void PrepareGraph() override {}
    void ClearGraph() override {}
    std::vector<std::int64_t> GraphEventFrames() override { return {}; }
    void SetWaitCursor(bool) override {}
    void ApplyEnabling(const ButtonEnabling& e) override { controlsEnabled = e.controls[2]; }
    void SetControlsEnabled(bool on) override { controlsEnabled = on; }
    void SetPlayFace(bool) override {}
    void RepaintSurfaces() override {}
    void ApplyVideoRectangles() override {}
    void ApplyAspectModes() override {}
    void SetSecondaryCaptionFor(int) override {}
    void RaiseSecondary() override {}
    void CloseMenus() override {}
    bool InFullScreen() override { return false; }
    void LeaveViewModes() override {}
    bool AskYesNo(int text, int) override {
        questions.push_back(text);
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void ShowError(int text) override { errors.push_back(text); }
    void SetModelCode(int) override {}
    bool StartRepair(const std::vector<std::string>& sources) override {
        repairs.push_back(sources);
        return repairTasks;
    }
    bool repairTasks = true;  // a task frame is there to run repairs
    std::vector<std::vector<std::string>> repairs;
};

class Controller : public ::testing::Test {
protected:
    void SetUp() override {
        controller = std::make_unique<ViewerController>(view);
        raw = controller.get();
        controller->InitPlayers(&surfaces[0], &sinks[0], &surfaces[1], &sinks[1]);
    }
    void TearDown() override {
        controller->Shutdown();
        controller.reset();
    }
    // A recording of `frames` frames at 30 fps; either camera may be left out.
    RecordingEntry Recording(const std::string& stem, int frames, bool front = true,
                             bool rear = true, clipforge::Damage damage = {}) {
        RecordingEntry e;
        // Clips are cached by name: each test has its own folder.
        const std::string tag = std::string("controller/") +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        test::ClipOptions o;
        o.frames = frames;
        o.damage = damage;
        if (front) {
            e.frontName = stem + "F.AVI";
            e.frontPath = test::ForgeClip(tag, o, e.frontName).string();
        }
        if (rear) {
            o.camera = 'R';
            o.audio = false;
            e.rearName = stem + "R.AVI";
            e.rearPath = test::ForgeClip(tag, o, e.rearName).string();
        }
        return e;
    }
    void Select(int row) {
        {
            std::lock_guard hold(controller->ListMutex());
            controller->SetCurrentIndex(row);
        }
        controller->SelectRecording(true, true, true);
    }
    bool Loaded() { return controller->MediaLoaded() && !controller->OpenPending(); }

    FakeView view;
    ViewerController* raw = nullptr;
    Surface surfaces[2]{{raw, 0}, {raw, 1}};
    MemoryFrameSink sinks[2];
    std::unique_ptr<ViewerController> controller;
};

TEST_F(Controller, ThreeSelectionsWithinHalfASecondOpenOnlyTheThird) {
    view.rows = {Recording("A___-230715-081500-000001", 90),
                 Recording("A___-230715-081600-000002", 90),
                 Recording("A___-230715-081700-000003", 90)};
    Select(0);
    test::RunEventsFor(100);
    Select(1);
    test::RunEventsFor(100);
    Select(2);
    EXPECT_TRUE(controller->TimerActive(101));
    EXPECT_TRUE(controller->TimerActive(102));
    EXPECT_FALSE(controller->Pair().Player(Camera::Front).State() != PlayerState::kClosed);
    ASSERT_TRUE(WaitUntil([&] { return Loaded(); }, 8000));
    EXPECT_EQ(controller->CurrentIndex(), 2);
    EXPECT_FALSE(controller->TimerActive(101));
    EXPECT_FALSE(controller->TimerActive(102));
    EXPECT_TRUE(controller->TimerActive(100));  // the position poll runs
    // Sound from the front only.
    EXPECT_EQ(controller->Pair().DataCamera(), Camera::Front);
    EXPECT_EQ(controller->Pair().Player(Camera::Rear).Volume(), 0);
    EXPECT_GT(controller->Pair().Player(Camera::Front).Volume(), 0);
    EXPECT_EQ(controller->Range().end, controller->DataDuration());
}

TEST_F(Controller, RearOnlyRecordingOpensWithOneReportAndSoundsFromTheRear) {
    view.rows = {Recording("A___-230715-081500-000001", 90, false, true)};
    Select(0);
    ASSERT_TRUE(WaitUntil([&] { return Loaded(); }, 8000));
    EXPECT_EQ(controller->Pair().DataCamera(), Camera::Rear);
    EXPECT_GT(controller->Pair().Player(Camera::Rear).Volume(), 0);
    controller->CmdPlayPause();
    EXPECT_EQ(controller->DataState(), PlayState::kPlaying);
    ASSERT_TRUE(WaitUntil([&] { return view.sliderPos > 5; }, 5000));
    EXPECT_EQ(view.graphCursor, view.sliderPos);
    EXPECT_EQ(view.trip.frame, view.sliderPos);
}

TEST_F(Controller, ASeekIsNotUndoneByAnOldPolledPosition) {
    view.rows = {Recording("A___-230715-081500-000001", 300)};
    Select(0);
    ASSERT_TRUE(WaitUntil([&] { return Loaded(); }, 8000));
    controller->CmdPlayPause();
    ASSERT_TRUE(WaitUntil([&] { return view.sliderPos > 5; }, 5000));
    controller->Seek(200);
    EXPECT_EQ(view.sliderPos, 200);
    // Every position shown afterwards lies near the target.
    for (int i = 0; i < 20; ++i) {
        test::RunEventsFor(15);
        EXPECT_GE(view.sliderPos, 195);
    }
}

TEST_F(Controller, RefusedRepairAndMissingFilesEndInAMessage) {
    clipforge::Damage lost;
    lost.indexLost = true;
    view.rows = {Recording("A___-230715-081500-000001", 90, true, true, lost),
                 Recording("A___-230715-081600-000002", 90)};
    view.answers = {false};
    Select(0);
    ASSERT_TRUE(WaitUntil([&] { return !view.errors.empty(); }, 8000));
    EXPECT_EQ(view.questions, std::vector<int>{172});
    EXPECT_EQ(view.errors, std::vector<int>{96});
    EXPECT_FALSE(controller->OpenPending());
    EXPECT_TRUE(controller->ErrorShown());

    // The second row's files vanish before it opens.
    fs::remove(view.rows[1].frontPath);
    fs::remove(view.rows[1].rearPath);
    Select(1);
    ASSERT_TRUE(WaitUntil([&] { return view.errors.size() == 2; }, 8000));
    EXPECT_EQ(view.errors.back(), 96);
    EXPECT_FALSE(controller->MediaLoaded());
}

// An agreed repair runs as the window's task: the players open nothing until
// the task reports; done, the copies play; cancelled, the open ends without a
// message; failed, with the open's message.
TEST_F(Controller, AgreedRepairRunsAsATaskBeforeThePlayersOpen) {
    clipforge::Damage lost;
    lost.indexLost = true;
    view.rows = {Recording("A___-230715-081500-000001", 90, true, true, lost)};
    const std::vector<std::string> both = {view.rows[0].frontPath, view.rows[0].rearPath};

    // Cancelled: nothing opens, nothing is said.
    view.answers = {true};
    Select(0);
    ASSERT_TRUE(WaitUntil([&] { return view.repairs.size() == 1; }, 8000));
    EXPECT_EQ(view.repairs.back(), both);
    EXPECT_TRUE(controller->RepairRunning());
    EXPECT_TRUE(controller->OpenPending());
    EXPECT_FALSE(controller->TimerActive(102));  // no time-out while the task runs
    EXPECT_EQ(controller->Pair().Player(Camera::Front).State(), PlayerState::kClosed);
    for (const std::string& p : both) EXPECT_TRUE(NeedsRepairedCopy(p));  // not made here
    controller->RepairFinished(false, /*cancelled=*/true);
    EXPECT_FALSE(controller->RepairRunning());
    EXPECT_FALSE(controller->OpenPending());
    EXPECT_TRUE(view.errors.empty());
    EXPECT_FALSE(controller->MediaLoaded());

    // Failed: the open's message.
    view.answers = {true};
    Select(0);
    ASSERT_TRUE(WaitUntil([&] { return view.repairs.size() == 2; }, 8000));
    controller->RepairFinished(false, false);
    EXPECT_EQ(view.errors, std::vector<int>{96});

    // Done: the copies the task made are played.
    view.answers = {true};
    Select(0);
    ASSERT_TRUE(WaitUntil([&] { return view.repairs.size() == 3; }, 8000));
    for (const std::string& p : both) {
        RepairJob job;
        std::filesystem::path play;
        ASSERT_TRUE(PrepareForPlayback(job, p, play));
        ASSERT_TRUE(job.repairedCopyInUse);
    }
    controller->RepairFinished(true, false);
    ASSERT_TRUE(WaitUntil([&] { return Loaded(); }, 8000));
    EXPECT_TRUE(controller->Pair().Player(Camera::Front).OpenedRepairedCopy());
    // A report for an open closed since changes nothing.
    controller->RepairFinished(false, false);
    EXPECT_TRUE(Loaded());
    EXPECT_EQ(view.errors.size(), 1u);

    // Copies already there: asked, and played without a task.
    controller->Reset();
    view.answers = {true};
    Select(0);
    ASSERT_TRUE(WaitUntil([&] { return Loaded(); }, 8000));
    EXPECT_EQ(view.repairs.size(), 3u);
    EXPECT_EQ(view.questions.size(), 4u);
    std::filesystem::remove_all(RepairFolder());
}

TEST_F(Controller, EndOfTheLastRecordingStopsAtTheStart) {
    view.rows = {Recording("A___-230715-081500-000001", 75)};
    Select(0);
    ASSERT_TRUE(WaitUntil([&] { return Loaded(); }, 8000));
    controller->CmdPlayPause();
    ASSERT_TRUE(WaitUntil([&] { return view.sliderPos > 30; }, 5000));
    ASSERT_TRUE(WaitUntil(
        [&] { return controller->DataState() == PlayState::kStopped && view.sliderPos == 0; },
        8000));
    EXPECT_FALSE(controller->EndLatch());
    EXPECT_FALSE(controller->AdvanceToNextFolder());
    EXPECT_TRUE(view.controlsEnabled);
}

}  // namespace
}  // namespace trivexa
