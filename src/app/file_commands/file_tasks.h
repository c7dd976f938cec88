#pragma once
// The file-management tasks of the main window: CSV export, delete and join,
// each run by one worker thread while the window shows a progress bar and
// keeps every control disabled. A task is a plain object: the main window's
// task frame (app/task_frame.h) creates it, starts it, and at the task's end
// reads its outcome and the messages to show; the CLI and the tests run the
// same objects.
//
// Threads: Start, Cancel, Wait and the accessors are called by the owner (the
// UI thread); Run and every TaskListener call happen on the task's own thread.
// Outcome, Failure and the results are read only after Wait (or after the
// listener's TaskFinished, which is the worker's last act).

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/file_commands/csv_export.h"
#include "container/concat.h"
#include "recordings/recording_library.h"

namespace trivexa {

enum class TaskKind { kCsv, kDelete, kJoin, kRepair };
enum class TaskOutcome { kDone, kFailed, kCancelled };

// UI strings shown with the caption "ERROR" when a task fails, in order.
inline constexpr int kUiJoinFailed = 92;
inline constexpr int kUiDeleteFailed = 94;
// The reasons a recording was not deleted, shown under UI string 94 after
// the recording's file name.
inline constexpr int kUiDetailNoLongerThere = 186;
inline constexpr int kUiDetailHiddenCopyThere = 187;  // its DMY is still on the card
inline constexpr int kUiDetailReadOnly = 188;         // the folder cannot be written
inline constexpr int kUiDetailNotToTrash = 189;
inline constexpr int kUiDetailNotHidden = 190;  // the rename on the card failed otherwise
inline constexpr int kUiDetailOutsideSource = 193;  // a file reached through a link out of the source
// "No rear camera video data": a join wrote no rear output.
inline constexpr int kUiNoRearVideo = 171;

// Why a task failed: the UI strings the user sees and one line of detail (a
// file name, what the system said) shown under the first of them.
struct TaskFailure {
    std::vector<int> messages;
    std::string detail;
};

// What a worker tells its owner, on the worker's thread. The main window's
// implementation posts UM_TASK_PROGRESS, and at the end UM_CSV_DONE,
// UM_DELETE_DONE or UM_JOIN_DONE (done) or UM_TASK_DONE (failed, cancelled).
class TaskListener {
public:
    virtual ~TaskListener() = default;
    // Progress: the bar shows done·100/total percent (100 when total <= 0).
    virtual void TaskProgress(int done, int total) = 0;
    // The worker's last call; the owner may Wait for it at once.
    virtual void TaskFinished(TaskKind kind, TaskOutcome outcome) = 0;
};

class FileTask {
public:
    explicit FileTask(TaskKind kind) : kind_(kind) {}
    // Cancels a running worker and waits for it.
    virtual ~FileTask();
    FileTask(const FileTask&) = delete;
    FileTask& operator=(const FileTask&) = delete;

    TaskKind Kind() const { return kind_; }
    // Starts the worker (once). `listener` must outlive the worker.
    void Start(TaskListener& listener);
    // Asks the worker to stop before its next item (the cleared busy flag).
    void Cancel() { cancel_.store(true); }
    bool CancelRequested() const { return cancel_.load(); }
    // Waits for the worker to end; at once when it never started.
    void Wait();
    bool Running() const { return running_.load(); }

    TaskOutcome Outcome() const { return outcome_; }
    const TaskFailure& Failure() const { return failure_; }
    // Lines shown under the completion message after a success (what was
    // written); empty for tasks that have nothing to add.
    virtual std::string DoneDetail() const { return {}; }

protected:
    // The work, on the worker thread. Sets failure_ when it fails.
    virtual TaskOutcome Run(TaskListener& listener) = 0;
    const std::atomic<bool>& CancelFlag() const { return cancel_; }
    TaskFailure failure_;

private:
    TaskKind kind_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> running_{false};
    TaskOutcome outcome_ = TaskOutcome::kCancelled;
    std::jthread thread_;
};

// ---- CSV export -----------------------------------------------------------

// Collects the source's recordings again on the worker thread (the list may
// have changed since the command asked; collecting checks every clip, which is
// slow on a large card). It must be safe to call on that thread while the
// window's controls are disabled.
using CollectFn = std::function<std::vector<RecordingEntry>()>;

class CsvTask : public FileTask {
public:
    CsvTask(CollectFn collect, std::string folder, CsvOptions options)
        : FileTask(TaskKind::kCsv),
          collect_(std::move(collect)),
          folder_(std::move(folder)),
          options_(std::move(options)) {}
    const CsvReport& Report() const { return report_; }

protected:
    TaskOutcome Run(TaskListener& listener) override;

private:
    CollectFn collect_;
    std::string folder_;
    CsvOptions options_;
    CsvReport report_;
};

// ---- Delete ----------------------------------------------------------------

// The owner closes the players before the task when the recording on screen
// is among those deleted; the worker then waits this long before deleting
// that recording's files, so every reader has let go of them.
inline constexpr int kOnScreenReleaseWaitMs = 1000;

class DeleteTask : public FileTask {
public:
    // `entries`: the checked recordings in the dialog's order. `onScreenKey`:
    // the key path (front, else rear) of the recording on screen, empty when
    // none.
    DeleteTask(std::vector<RecordingEntry> entries, std::string onScreenKey)
        : FileTask(TaskKind::kDelete),
          entries_(std::move(entries)),
          onScreenKey_(std::move(onScreenKey)) {}
    // The recordings deleted, in the order they went (the last checked
    // first); after a failure or a cancel, those deleted before it. Read
    // after the task's end.
    const std::vector<RecordingEntry>& Deleted() const { return deleted_; }
    // The same while the task runs (any thread): each recording is in it as
    // soon as its files are gone, so its row can leave the list at once.
    std::vector<RecordingEntry> DeletedSoFar() const;
    // The wait before deleting the recording on screen (tests shorten it).
    void SetReleaseWaitMs(int ms) { releaseWaitMs_ = ms; }
    // The root of the source the recordings were listed from. When set, a
    // recording with a file that does not lie inside it (reached through a
    // link leading out, made after the scan) is not deleted: the task fails
    // there. Set before Start.
    void SetSourceRoot(std::string root) { sourceRoot_ = std::move(root); }

protected:
    TaskOutcome Run(TaskListener& listener) override;

private:
    std::vector<RecordingEntry> entries_;
    std::string onScreenKey_;
    std::string sourceRoot_;
    mutable std::mutex deletedLock_;
    std::vector<RecordingEntry> deleted_;
    int releaseWaitMs_ = kOnScreenReleaseWaitMs;
};

// Deletes one recording for the delete command: hidden on a card, to the
// trash elsewhere. A recording none of whose files exists any more fails
// (it vanished meanwhile), as does one whose DMY name is taken, and, with
// `bounds`, one with a file outside them. `why` receives the detail line.
bool DeleteOneRecording(const RecordingEntry& entry, std::string& why,
                        const SourceBounds* bounds = nullptr);

// ---- Join ------------------------------------------------------------------

// The detail line under UI string 92 for a failed join: a damaged source in
// the table's words (UI string kUiJoinSourceDamaged) under its path, any
// other failure as CoreErrorText words it.
std::string JoinFailureDetail(const CoreError& error);

// Where a join may write, checked on the UI thread before the task starts.
enum class JoinCheck {
    kReady,
    kNothingSelected,
    kNoFolder,        // no folder, or not a folder
    kNoFrontClip,     // the first recording has no front clip to name the output
    kOnCard,          // the folder is on a recorder's card: the card is never written
    kOutputIsSource,  // an output would replace a recording being joined
    kFolderReadOnly,  // the folder cannot be written
    kNotEnoughSpace,  // the expected sizes reach the free space (equal counts as too little)
};

struct JoinCheckResult {
    JoinCheck check = JoinCheck::kNoFolder;
    JoinPlan plan;
    // Either output name is taken: the user is asked (UI string 90) first.
    bool OutputsExist() const { return plan.frontOutputExists || plan.rearOutputExists; }
};

JoinCheckResult CheckJoin(const std::vector<RecordingEntry>& selection,
                          const std::string& outputFolder);
// The UI strings to show for a check that is not ready (caption "ERROR"):
// UI string 92, the join failure, for every refusal.
std::vector<int> JoinCheckMessages(JoinCheck check);
// One line describing a refusal, shown under the message.
std::string JoinCheckDetail(const JoinCheckResult& result);

// Progress of a join on a scale of this many steps: reading the clips takes
// the first kJoinReadSteps, writing the bytes the rest.
inline constexpr int kJoinProgressScale = 1000;
inline constexpr int kJoinReadSteps = 50;

class JoinTask : public FileTask {
public:
    JoinTask(std::vector<RecordingEntry> selection, JoinPlan plan, bool replaceExisting)
        : FileTask(TaskKind::kJoin),
          selection_(std::move(selection)),
          plan_(std::move(plan)),
          replace_(replaceExisting) {}
    const JoinSummary& Summary() const { return summary_; }
    const std::vector<RecordingEntry>& Selection() const { return selection_; }
    const JoinPlan& Plan() const { return plan_; }
    // The outputs written, one path a line; without a rear output, UI string
    // 148 in its place, and a file removed from the rear name (UI string
    // kUiJoinRemovedOutput and its path).
    std::string DoneDetail() const override;

protected:
    TaskOutcome Run(TaskListener& listener) override;

private:
    std::vector<RecordingEntry> selection_;
    JoinPlan plan_;
    bool replace_ = false;
    JoinSummary summary_;
};

// ---- Repair before playback -------------------------------------------------

// Progress of a repair on a scale of this many steps per clip.
inline constexpr int kRepairProgressScale = 1000;

// Makes the repaired copies a damaged recording is played from (the user has
// agreed to the repair), so that the players then only open them. Cancelling
// stops the clip being repaired within one view of its data and leaves no
// partial copy. A repair that fails has no message of its own: the open it
// belongs to reports the failure.
class RepairTask : public FileTask {
public:
    explicit RepairTask(std::vector<std::string> sources)
        : FileTask(TaskKind::kRepair), sources_(std::move(sources)) {}
    const std::vector<std::string>& Sources() const { return sources_; }

protected:
    TaskOutcome Run(TaskListener& listener) override;

private:
    std::vector<std::string> sources_;
};

}  // namespace trivexa
