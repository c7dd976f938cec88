// The delete, join and CSV tasks on their worker threads, on forge cards: what
// they report, what they change on disk and what they leave alone.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <condition_variable>
#include <mutex>

#include "app/core/ui_strings.h"
#include "app/file_commands/file_tasks.h"
#include "container/integrity.h"
#include "container/join_test_util.h"
#include "forge_card.h"
#include "platform/files.h"
#include "platform/scratch_volume.h"
#include "recordings/drive_utils.h"
#include "support/slow_repair_clip.h"

namespace trivexa::test {
namespace {

// Records what a worker reports, from its thread.
class RecordingListener : public TaskListener {
public:
    void TaskProgress(int done, int total) override {
        std::lock_guard lock(mutex_);
        progress_.emplace_back(done, total);
    }
    void TaskFinished(TaskKind kind, TaskOutcome outcome) override {
        std::lock_guard lock(mutex_);
        finished_ = true;
        kind_ = kind;
        outcome_ = outcome;
        cv_.notify_all();
    }
    std::vector<std::pair<int, int>> Progress() {
        std::lock_guard lock(mutex_);
        return progress_;
    }
    TaskOutcome WaitFinished() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return finished_; });
        return outcome_;
    }
    TaskKind Kind() {
        std::lock_guard lock(mutex_);
        return kind_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::pair<int, int>> progress_;
    bool finished_ = false;
    TaskKind kind_ = TaskKind::kCsv;
    TaskOutcome outcome_ = TaskOutcome::kCancelled;
};

TaskOutcome RunTask(FileTask& task, RecordingListener& listener) {
    task.Start(listener);
    const TaskOutcome outcome = listener.WaitFinished();
    task.Wait();
    EXPECT_EQ(listener.Kind(), task.Kind());
    EXPECT_EQ(task.Outcome(), outcome);
    return outcome;
}

// A card is the root of its own volume: a private tmpfs holds it.
class DeleteTaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!volume_.mounted()) GTEST_SKIP() << "cannot mount a scratch tmpfs here";
        card_ = volume_.root();
        WriteForgeCard(card_, {ForgeRec("AG_S-210503-070809-000001F.AVI"),
                               ForgeRec("A___-210503-070909-000002F.AVI"),
                               ForgeRec("A___-210503-071009-000003F.AVI"),
                               ForgeRec("A___-210503-071109-000004F.AVI")});
        list_ = CollectCard(card_);
        ASSERT_EQ(list_.size(), 4u);
        ASSERT_TRUE(IsCardPath(list_[0].frontPath));
    }
    ScratchVolume volume_{64 << 20};
    fs::path card_;
    std::vector<RecordingEntry> list_;
};

TEST_F(DeleteTaskTest, HidesThreeRecordingsOnTheCardFromTheLastCheckedAndTouchesNothingElse) {
    const auto before = Snapshot(card_);
    const std::vector<RecordingEntry> checked(list_.begin() + 1, list_.end());
    DeleteTask task(checked, KeyPath(list_[3]));
    task.SetReleaseWaitMs(50);
    RecordingListener listener;
    ASSERT_EQ(RunTask(task, listener), TaskOutcome::kDone);
    EXPECT_EQ(listener.Progress(),
              (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}, {3, 3}}));
    ASSERT_EQ(task.Deleted().size(), 3u);
    EXPECT_EQ(task.Deleted().front().frontName, list_[3].frontName);  // the last checked first

    // Each deleted file is there under the hidden extension with its bytes;
    // everything else on the card is byte for byte as it was.
    auto after = Snapshot(card_);
    for (const RecordingEntry& e : checked) {
        for (const std::string& path : {e.frontPath, e.rearPath}) {
            const std::string rel = fs::relative(path, card_).string();
            const std::string dmy = rel.substr(0, rel.size() - 3) + "DMY";
            ASSERT_TRUE(after.count(dmy)) << dmy;
            EXPECT_EQ(after[dmy], before.at(rel));
            EXPECT_FALSE(after.count(rel));
            after.erase(dmy);
        }
    }
    for (const auto& [rel, bytes] : after) EXPECT_EQ(bytes, before.at(rel)) << rel;
    EXPECT_EQ(after.size() + 6, before.size());
}

TEST_F(DeleteTaskTest, ADmyAlreadyThereOrAVanishedRecordingFailsWithUiString94) {
    // The recorder's free copy of the third recording's front file exists.
    const std::string taken = list_[2].frontPath.substr(0, list_[2].frontPath.size() - 3) + "DMY";
    WriteFile(taken, "the recorder's");
    DeleteTask task({list_[1], list_[2], list_[3]}, "");
    RecordingListener listener;
    ASSERT_EQ(RunTask(task, listener), TaskOutcome::kFailed);
    EXPECT_EQ(task.Failure().messages, std::vector<int>{kUiDeleteFailed});
    EXPECT_NE(task.Failure().detail.find(list_[2].frontName), std::string::npos);
    EXPECT_NE(task.Failure().detail.find(UiString(kUiDetailHiddenCopyThere)), std::string::npos)
        << task.Failure().detail;
    // The last checked went first and stays deleted; the failed one and the
    // one before it are untouched.
    EXPECT_EQ(task.Deleted().size(), 1u);
    EXPECT_EQ(task.DeletedSoFar().size(), 1u);
    EXPECT_FALSE(fs::exists(list_[3].frontPath));
    EXPECT_TRUE(fs::exists(list_[2].frontPath));
    EXPECT_TRUE(fs::exists(list_[1].frontPath));
    EXPECT_EQ(ReadFile(taken), "the recorder's");
    EXPECT_EQ(listener.Progress(), (std::vector<std::pair<int, int>>{{0, 3}}));

    // A recording whose files went away meanwhile is reported by name.
    fs::remove(list_[0].frontPath);
    fs::remove(list_[0].rearPath);
    DeleteTask gone({list_[0]}, "");
    RecordingListener l2;
    ASSERT_EQ(RunTask(gone, l2), TaskOutcome::kFailed);
    EXPECT_NE(gone.Failure().detail.find(UiString(kUiDetailNoLongerThere)), std::string::npos);
    EXPECT_NE(gone.Failure().detail.find(list_[0].frontName), std::string::npos);
}

// A read-only card: the detail says so, in the box's language, and does not
// claim a hidden file of the same number is in the way.
TEST_F(DeleteTaskTest, AReadOnlyCardIsReportedAsSuchNotAsAHiddenFileInTheWay) {
    ASSERT_EQ(::mount("tmpfs", card_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
    DeleteTask task({list_[1]}, "");
    RecordingListener listener;
    ASSERT_EQ(RunTask(task, listener), TaskOutcome::kFailed);
    EXPECT_EQ(task.Failure().messages, std::vector<int>{kUiDeleteFailed});
    const std::string& detail = task.Failure().detail;
    EXPECT_EQ(detail, list_[1].frontName + "\n" + UiString(kUiDetailReadOnly));
    EXPECT_EQ(detail.find(UiString(kUiDetailHiddenCopyThere)), std::string::npos);
    EXPECT_TRUE(fs::exists(list_[1].frontPath));
}

TEST_F(DeleteTaskTest, CancelStopsBeforeTheNextRecording) {
    DeleteTask task({list_[1], list_[2], list_[3]}, KeyPath(list_[3]));
    task.SetReleaseWaitMs(60000);  // the wait for the recording on screen
    RecordingListener listener;
    task.Start(listener);
    task.Cancel();
    EXPECT_EQ(listener.WaitFinished(), TaskOutcome::kCancelled);
    task.Wait();
    EXPECT_TRUE(task.Deleted().empty());
    for (const auto& e : list_) EXPECT_TRUE(fs::exists(e.frontPath));
}

TEST(DeleteTask, MovesRecordingsOfAPlainFolderToTheTrash) {
    TempDir dir;
    WriteForgeCard(dir / "copy", {ForgeRec("AG_S-210503-070809-000001F.AVI"),
                                  ForgeRec("A___-210503-070909-000002F.AVI", /*front=*/false)});
    // Without its Front folder at the root, this is no card.
    fs::rename(dir / "copy" / "Normal", dir / "copy" / "kept");
    std::vector<RecordingEntry> list;
    for (const char* cam : {"Front", "Rear"}) {
        for (const auto& f : fs::directory_iterator(dir / "copy" / "kept" / cam))
            AddRecordingForFile(f.path().string(), list);
    }
    ASSERT_EQ(list.size(), 2u);
    ASSERT_FALSE(IsCardPath(list[0].frontPath));
    ScopedTrash trash(dir / "data");
    DeleteTask task(list, "");
    RecordingListener listener;
    ASSERT_EQ(RunTask(task, listener), TaskOutcome::kDone) << task.Failure().detail;
    EXPECT_TRUE(fs::is_empty(dir / "copy" / "kept" / "Front"));
    EXPECT_TRUE(fs::is_empty(dir / "copy" / "kept" / "Rear"));
    const fs::path files = ScopedTrash::FilesOf(dir / "data");
    EXPECT_TRUE(fs::exists(files / "AG_S-210503-070809-000001F.AVI"));
    EXPECT_TRUE(fs::exists(files / "AG_S-210503-070809-000001R.AVI"));
    EXPECT_TRUE(fs::exists(files / "A___-210503-070909-000002R.AVI"));
}

// The delete keeps to the source it was listed from: a row reaching out of it
// through a link (one made after the scan, say) fails by name, and nothing
// outside moves to the trash.
TEST(DeleteTask, ARecordingOutsideTheSourceIsNotDeleted) {
    TempDir dir;
    const std::string name = "A___-210503-070909-000002F.AVI";
    WriteForgeCard(dir / "outside", {ForgeRec(name)});
    fs::create_directories(dir / "src" / "Normal");
    fs::create_directory_symlink(dir / "outside" / "Normal" / "Front", dir / "src/Normal/Front");
    std::vector<RecordingEntry> list;
    AddRecordingForFile((dir / "src/Normal/Front" / name).string(), list);
    ASSERT_EQ(list.size(), 1u);
    ScopedTrash trash(dir / "data");
    DeleteTask task(list, "");
    task.SetSourceRoot((dir / "src").string());
    RecordingListener listener;
    ASSERT_EQ(RunTask(task, listener), TaskOutcome::kFailed);
    EXPECT_EQ(task.Failure().messages, std::vector<int>{kUiDeleteFailed});
    EXPECT_NE(task.Failure().detail.find(name), std::string::npos) << task.Failure().detail;
    EXPECT_NE(task.Failure().detail.find(UiString(kUiDetailOutsideSource)), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "outside/Normal/Front" / name));
    EXPECT_TRUE(task.Deleted().empty());
    EXPECT_TRUE(task.DeletedSoFar().empty());
}

// ---- Join ---------------------------------------------------------------------

std::vector<RecordingEntry> Entries(const std::vector<ForgedRecording>& recs) {
    std::vector<RecordingEntry> out;
    for (const auto& r : recs) MakeEntry(r.front, r.rear, out);
    return out;
}

TEST(JoinTask, JoinsWithByteProgressIntoFilesFfprobeAccepts) {
    TempDir dir;
    const auto recs = ForgeRecordings(dir / "src", 3, [](cf::ClipSpec&, int) {});
    const auto selection = Entries(recs);
    fs::create_directories(dir / "out");
    const JoinCheckResult check = CheckJoin(selection, (dir / "out").string());
    ASSERT_EQ(check.check, JoinCheck::kReady) << JoinCheckDetail(check);
    EXPECT_FALSE(check.OutputsExist());

    JoinTask task(selection, check.plan, false);
    RecordingListener listener;
    ASSERT_EQ(RunTask(task, listener), TaskOutcome::kDone) << task.Failure().detail;
    // The bar moves forward only, through the reading part into the bytes,
    // and ends full.
    const auto progress = listener.Progress();
    ASSERT_GE(progress.size(), 4u);
    for (std::size_t i = 1; i < progress.size(); ++i) {
        EXPECT_EQ(progress[i].second, kJoinProgressScale);
        EXPECT_GT(progress[i].first, progress[i - 1].first);
    }
    EXPECT_EQ(progress.front().first, 0);
    EXPECT_EQ(progress.back().first, kJoinProgressScale);
    EXPECT_TRUE(task.Summary().frontWritten && task.Summary().rearWritten);

    for (const std::string& out : {check.plan.frontOutput, check.plan.rearOutput}) {
        const CommandResult probe =
            RunCommand({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                        "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", out});
        ASSERT_EQ(probe.exitCode, 0) << probe.err;
        EXPECT_EQ(std::stoi(probe.out), 20 + 25 + 30) << out;
    }

    // The displayed list's entries of the joined recordings get the mark, by
    // their paths, whatever their serials now say.
    std::vector<RecordingEntry> displayed = selection;
    std::reverse(displayed.begin(), displayed.end());
    for (auto& e : displayed) e.serial = 99;
    EXPECT_EQ(MarkJoinedEntries(displayed, task.Selection()), 3u);
}

TEST(JoinTask, OutputFolderRules) {
    TempDir dir;
    const auto recs = ForgeRecordings(dir / "src", 2, [](cf::ClipSpec&, int) {});
    auto selection = Entries(recs);

    EXPECT_EQ(CheckJoin({}, dir.path().string()).check, JoinCheck::kNothingSelected);
    EXPECT_EQ(CheckJoin(selection, (dir / "none").string()).check, JoinCheck::kNoFolder);
    EXPECT_EQ(CheckJoin(selection, (dir / "src" / "Front").string()).check,
              JoinCheck::kOutputIsSource);
    EXPECT_EQ(JoinCheckMessages(JoinCheck::kOutputIsSource), std::vector<int>{kUiJoinFailed});

    // Names present: the caller asks before replacing.
    fs::create_directories(dir / "out");
    WriteFile(dir / "out" / fs::path(recs[0].rear).filename(), "older");
    const JoinCheckResult exists = CheckJoin(selection, (dir / "out").string());
    EXPECT_EQ(exists.check, JoinCheck::kReady);
    EXPECT_TRUE(exists.OutputsExist());

    ScratchVolume volume(8 << 20);
    TRIVEXA_REQUIRE_MOUNTED(volume);
    // Expected sizes that add up to exactly the free space: too little. A
    // clip counts at most its real size, so the volume is first filled up to
    // a few kilobytes, less than the clips hold.
    WriteFile(volume.root() / "filler", std::string(FreeBytes(volume.root().string()) - 8192, 'f'));
    const std::uint64_t free = FreeBytes(volume.root().string());
    ASSERT_GT(free, 1000u);
    ASSERT_LT(free, fs::file_size(recs[0].front));
    selection[0].frontExpectedSize = static_cast<std::int64_t>(free) - 1000;
    selection[0].rearExpectedSize = 600;
    selection[1].frontExpectedSize = 400;
    selection[1].rearExpectedSize = 0;
    const JoinCheckResult full = CheckJoin(selection, volume.root().string());
    EXPECT_EQ(full.check, JoinCheck::kNotEnoughSpace);
    EXPECT_EQ(full.plan.requiredBytes, free);
    EXPECT_NE(JoinCheckDetail(full).find("MB free"), std::string::npos);
    selection[1].frontExpectedSize = 399;
    EXPECT_EQ(CheckJoin(selection, volume.root().string()).check, JoinCheck::kReady);

    // The recorder's card is never written to.
    fs::remove(volume.root() / "filler");
    fs::create_directories(volume.root() / "Normal" / "Front");
    fs::create_directories(volume.root() / "joined");
    EXPECT_EQ(CheckJoin(selection, (volume.root() / "joined").string()).check, JoinCheck::kOnCard);
    fs::remove_all(volume.root() / "Normal");

    // A read-only volume.
    ASSERT_EQ(::mount(nullptr, volume.root().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    EXPECT_EQ(CheckJoin(selection, volume.root().string()).check, JoinCheck::kFolderReadOnly);
}

TEST(JoinTask, AFailedOrCancelledJoinLeavesNoOutput) {
    TempDir dir;
    const auto recs = ForgeRecordings(dir / "src", 2, [](cf::ClipSpec&, int) {});
    const auto selection = Entries(recs);
    fs::create_directories(dir / "out");
    const JoinCheckResult check = CheckJoin(selection, (dir / "out").string());
    ASSERT_EQ(check.check, JoinCheck::kReady);

    // A clip that vanished after the check fails the join with UI string 92.
    const std::string moved = recs[1].front + ".away";
    fs::rename(recs[1].front, moved);
    JoinTask failing(selection, check.plan, false);
    RecordingListener l1;
    EXPECT_EQ(RunTask(failing, l1), TaskOutcome::kFailed);
    EXPECT_EQ(failing.Failure().messages, std::vector<int>{kUiJoinFailed});
    EXPECT_FALSE(failing.Failure().detail.empty());
    EXPECT_TRUE(fs::is_empty(dir / "out"));
    fs::rename(moved, recs[1].front);

    JoinTask cancelled(selection, check.plan, false);
    RecordingListener l2;
    cancelled.Cancel();  // the busy flag cleared before the worker looked
    cancelled.Start(l2);
    EXPECT_EQ(l2.WaitFinished(), TaskOutcome::kCancelled);
    cancelled.Wait();
    EXPECT_TRUE(fs::is_empty(dir / "out"));
}

// The completion message says what a join wrote: the outputs' paths, or in
// place of the rear one UI string 171 and the earlier rear output it removed.
// A damaged source fails the join with its path and the table's advice to
// repair it first.
TEST(JoinTask, SaysWhatWasWrittenAndNamesADamagedSource) {
    TempDir dir;
    const auto recs = ForgeRecordings(dir / "src", 3, [](cf::ClipSpec&, int) {});
    fs::create_directories(dir / "out");
    auto firstTwo = Entries({recs[0], recs[1]});
    JoinCheckResult check = CheckJoin(firstTwo, (dir / "out").string());
    ASSERT_EQ(check.check, JoinCheck::kReady) << JoinCheckDetail(check);
    JoinTask first(firstTwo, check.plan, false);
    RecordingListener l1;
    ASSERT_EQ(RunTask(first, l1), TaskOutcome::kDone) << first.Failure().detail;
    EXPECT_EQ(first.DoneDetail(), check.plan.frontOutput + "\n" + check.plan.rearOutput);

    fs::remove(recs[2].rear);
    const auto all = Entries(recs);
    ASSERT_TRUE(all[2].rearPath.empty());
    check = CheckJoin(all, (dir / "out").string());
    ASSERT_EQ(check.check, JoinCheck::kReady);
    ASSERT_TRUE(check.OutputsExist());  // the window asks once, for both names
    JoinTask second(all, check.plan, /*replaceExisting=*/true);
    RecordingListener l2;
    ASSERT_EQ(RunTask(second, l2), TaskOutcome::kDone) << second.Failure().detail;
    EXPECT_EQ(second.DoneDetail(), check.plan.frontOutput + "\n" + UiString(kUiNoRearVideo) + "\n" +
                                       UiString(kUiJoinRemovedOutput) + "\n" +
                                       check.plan.rearOutput);
    EXPECT_FALSE(fs::exists(check.plan.rearOutput));

    // One entry too many in the second front clip's index.
    {
        std::string b = ReadFile(recs[1].front);
        const std::size_t at = recs[1].frontReport.idx1Offset + 4;
        const std::uint32_t v = Le32At(b, at) + 16;
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        WriteFile(recs[1].front, b);
    }
    fs::create_directories(dir / "out2");
    check = CheckJoin(firstTwo, (dir / "out2").string());
    ASSERT_EQ(check.check, JoinCheck::kReady);
    JoinTask damaged(firstTwo, check.plan, false);
    RecordingListener l3;
    EXPECT_EQ(RunTask(damaged, l3), TaskOutcome::kFailed);
    EXPECT_EQ(damaged.Failure().messages, std::vector<int>{kUiJoinFailed});
    EXPECT_EQ(damaged.Failure().detail, recs[1].front + "\n" + UiString(kUiJoinSourceDamaged));
    EXPECT_EQ(damaged.DoneDetail(), "");
    EXPECT_TRUE(fs::is_empty(dir / "out2"));
}

// ---- CSV --------------------------------------------------------------------

TEST(CsvTask, CollectsOnTheWorkerAndReportsTheFile) {
    TempDir dir;
    WriteForgeCard(dir / "card", {ForgeRec("AG_S-210503-070809-000001F.AVI"),
                                  ForgeRec("A___-210503-070909-000002F.AVI")});
    fs::create_directories(dir / "out");
    std::thread::id collector;
    CsvTask task(
        [&] {
            collector = std::this_thread::get_id();
            return CollectCard(dir / "card");
        },
        (dir / "out").string(), {});
    RecordingListener listener;
    ASSERT_EQ(RunTask(task, listener), TaskOutcome::kDone);
    EXPECT_NE(collector, std::this_thread::get_id());
    EXPECT_EQ(task.Report().path, (dir / "out" / "Dv_20210503_070809.csv").string());
    EXPECT_EQ(listener.Progress(), (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}, {2, 2}}));

    CsvTask empty([] { return std::vector<RecordingEntry>{}; }, (dir / "out").string(), {});
    RecordingListener l2;
    ASSERT_EQ(RunTask(empty, l2), TaskOutcome::kFailed);
    EXPECT_EQ(empty.Failure().messages, (std::vector<int>{99, 93}));
}


// ---- Repair before playback -------------------------------------------------

// Cancels the task from inside the worker's progress report once `after`
// (of the task's total) has been reported: at a point of the work known
// exactly, whatever the machine's speed.
class CancellingListener : public RecordingListener {
public:
    CancellingListener(FileTask& task, int after) : task_(task), after_(after) {}
    void TaskProgress(int done, int total) override {
        RecordingListener::TaskProgress(done, total);
        if (done > after_) task_.Cancel();
    }

private:
    FileTask& task_;
    int after_;
};

// Files of the repair folder, hidden ones (records, unfinished writes) too.
std::vector<std::string> RepairFolderFiles() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(RepairFolder(), ec))
        names.push_back(e.path().filename().string());
    return names;
}

TEST(RepairTask, MakesTheCopiesOffTheCallersThreadWithProgress) {
    TempDir dir;
    ScopedTrash trash(dir / "trash");
    fs::create_directories(dir / "card");
    const fs::path clip = dir / "card" / "A___-210503-070809-000001F.AVI";
    ASSERT_TRUE(WriteSlowRepairClip(clip, 40 << 20));
    ASSERT_TRUE(NeedsRepairedCopy(clip));
    RepairTask task({clip.string()});
    RecordingListener listener;
    ASSERT_EQ(RunTask(task, listener), TaskOutcome::kDone);
    EXPECT_FALSE(NeedsRepairedCopy(clip));
    fs::path copy;
    ASSERT_TRUE(RepairFolderPath(clip.filename().string(), copy));
    EXPECT_TRUE(IsRepairedCopyOf(copy, clip));
    // The bar moves forward from 0 to the end.
    const std::vector<std::pair<int, int>> progress = listener.Progress();
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress.front(), std::make_pair(0, kRepairProgressScale));
    EXPECT_EQ(progress.back(), std::make_pair(kRepairProgressScale, kRepairProgressScale));
    for (std::size_t i = 1; i < progress.size(); ++i)
        EXPECT_GE(progress[i].first, progress[i - 1].first);
    fs::remove_all(RepairFolder());
}

TEST(RepairTask, CancelledWhileCopyingLeavesNoPartialCopy) {
    TempDir dir;
    ScopedTrash trash(dir / "trash");
    fs::create_directories(dir / "card");
    const fs::path clip = dir / "card" / "A___-210503-070809-000001F.AVI";
    ASSERT_TRUE(WriteSlowRepairClip(clip, 64 << 20));
    RepairTask task({clip.string()});
    // Past half of the work the scan is done and the copy is being written.
    CancellingListener listener(task, kRepairProgressScale / 2);
    ASSERT_EQ(RunTask(task, listener), TaskOutcome::kCancelled);
    EXPECT_TRUE(task.Failure().messages.empty());
    EXPECT_GT(listener.Progress().back().first, kRepairProgressScale / 2);
    EXPECT_LT(listener.Progress().back().first, kRepairProgressScale);
    EXPECT_EQ(RepairFolderFiles(), std::vector<std::string>{});
    EXPECT_TRUE(NeedsRepairedCopy(clip));
}

TEST(RepairTask, AClipWithoutChunksFailsWithoutAMessageOfItsOwn) {
    TempDir dir;
    fs::create_directories(dir / "card");
    const fs::path clip = dir / "card" / "A___-210503-070809-000001F.AVI";
    std::string bytes(4096, '\0');
    WriteFile(clip, bytes);
    RepairTask task({clip.string()});
    RecordingListener listener;
    ASSERT_EQ(RunTask(task, listener), TaskOutcome::kFailed);
    EXPECT_TRUE(task.Failure().messages.empty());
    EXPECT_EQ(RepairFolderFiles(), std::vector<std::string>{});
}

}  // namespace
}  // namespace trivexa::test
