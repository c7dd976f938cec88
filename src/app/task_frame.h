#pragma once
// CTaskFrame: runs the main window's file tasks (CSV export, delete, join,
// and the repair of a damaged recording before it plays) one at a time.
// While a task runs it shows the progress bar over the bottom of the primary
// screen and keeps every control disabled through its owner; when the worker
// reports back it ends the task: the owner's completion handler (reload after
// a delete, remember the join folder, ...), the error or completion message,
// the controls enabled again, and the playback reset to frame 0 or reopened
// at its old position as the flags say.
//
// Threads: every member is called on the UI thread. The worker reports
// through TaskListener on its own thread; the frame turns each report into a
// posted UM_TASK_PROGRESS, UM_CSV_DONE / UM_DELETE_DONE / UM_JOIN_DONE or
// UM_TASK_DONE to itself, so the owner is only ever called on the UI thread.
// The owner outlives the frame; destroying the frame cancels a running task
// and waits for its worker.

#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "app/file_commands/file_tasks.h"

class QWidget;

namespace trivexa {

class CSkinProgressBarCtrl;

// The main window, as the task frame needs it. Every call on the UI thread.
class TaskFrameOwner {
public:
    virtual ~TaskFrameOwner() = default;
    // Disables (false) or enables (true) the 16 control buttons and every
    // other control (caption buttons, browser, trip panel, sliders, graph,
    // video surfaces, map popup, logo); also refreshes map and logo and
    // hides (false) or shows (true) the primary video surface.
    virtual void SetControlsEnabled(bool enabled) = 0;
    // A task finished its work: CSV written, recordings deleted (reload the
    // source), recordings joined (remember the folder, open the current row
    // again). `task` is the finished task; its results may be read.
    virtual void TaskSucceeded(const FileTask& task) = 0;
    // The worker reported progress: what it finished so far may show at once
    // (a delete's rows leave the list). `task` is still running.
    virtual void TaskProgressed(const FileTask& /*task*/) {}
    // The task failed or was cancelled part-way, before its end is shown:
    // what it did up to then is taken over (a delete's rows leave the list,
    // and the current row, when deleted, is no row any more, so nothing
    // deleted is reopened). `task` has ended.
    virtual void TaskStopped(const FileTask& /*task*/) {}
    // A message box: `text` UI string id, caption UI string id or -1 for
    // "ERROR"; `detail` (may be empty) is shown under the text.
    virtual void ShowTaskMessage(int text, int caption, const std::string& detail) = 0;
    // The reset-to-start flag was set: seek every player to 0, fan out
    // position 0, stop.
    virtual void ResetToStart() = 0;
    // The restore-position flag was set: reopen the current row at `position`
    // (the owner checks that the row is still valid).
    virtual void RestorePosition(std::int64_t position) = 0;
    // Runs the button enabling after the task (not while a recording's open
    // reported an error).
    virtual void EnableButtons() = 0;
    // The last step of every task's end, after the bar is hidden: `task` is
    // the ended task (done, failed or cancelled). A repair before playback
    // goes on with the open it belongs to from here.
    virtual void TaskEnded(const FileTask& /*task*/) {}
};

class CTaskFrame : public QObject, private TaskListener {
public:
    // `barParent` (may be null) owns the progress bar; the bar is a tool
    // window kept above the main window either way.
    explicit CTaskFrame(TaskFrameOwner& owner, QWidget* barParent = nullptr);
    ~CTaskFrame() override;

    // Starts `task` (the task frame): the bar shown at 0 %, the controls
    // disabled, the worker started. False, and nothing happens, while
    // another task runs.
    bool Start(std::unique_ptr<FileTask> task);
    // busyTask: a task runs, or ended and its end has not been handled yet.
    bool Busy() const { return task_ != nullptr; }
    const FileTask* Task() const { return task_.get(); }
    // The user cancels (Escape): the worker stops before its next item and
    // the task ends as cancelled, its end shown as usual.
    void Cancel() {
        if (task_) task_->Cancel();
    }
    // Shutdown: clears busy (the worker stops before its next item) and
    // waits for the worker. The task's end is not shown.
    void CancelAndWait();

    // The flags the commands set before a task; the task end clears them.
    void SetRestorePosition(std::int64_t position);
    void SetResetToStart() { resetToStart_ = true; }
    void SetCompletionMessage() { completionMessage_ = true; }
    // A recording's open reported an error: the task end does not run the
    // button enabling (and clears this).
    void SetOpenErrorShown() { openErrorShown_ = true; }

    CSkinProgressBarCtrl& Bar() { return *bar_; }
    // Where the bar goes: over the bottom of the primary screen, 22·s high,
    // the screen's full width.
    static QRect BarRect();

protected:
    bool event(QEvent* event) override;

private:
    // TaskListener, on the worker's thread: posts to this frame.
    void TaskProgress(int done, int total) override;
    void TaskFinished(TaskKind kind, TaskOutcome outcome) override;

    void OnProgress(int done, int total);
    void OnTaskSucceeded();
    void OnTaskDone();

    TaskFrameOwner& owner_;
    std::unique_ptr<CSkinProgressBarCtrl> bar_;
    std::unique_ptr<FileTask> task_;
    bool completionMessage_ = false;
    bool resetToStart_ = false;
    bool restorePosition_ = false;
    std::int64_t savedPosition_ = 0;
    bool openErrorShown_ = false;
};

// Percent of the bar for a worker's (done, total): 100 when total <= 0,
// clamped to 0..100.
int TaskPercent(int done, int total);

}  // namespace trivexa
