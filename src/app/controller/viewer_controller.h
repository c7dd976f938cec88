#pragma once
// ViewerController: the main window's controller without widgets. It holds
// the two players, the fields, timers and locks of the main window and makes
// every decision of a recording's life and of the playback commands:
// selecting and scheduling the open (500 ms debounce, 5 s time-out), opening
// both players (with the repair question), the ready reports, the
// open-preparation and prefetch workers, the 30 ms position fan-out, the end
// of a recording (next row, next folder), folder changes, reset, the loss of
// the source, event jumps, and the commands stop, previous, play/pause,
// slower, faster, next, mirror, seek and the two sliders.
//
// It talks to the windows only through ViewerView, which CVidorraDlg
// implements (and the tests implement without painting). Timers are Qt
// timers of this object; the workers report by posting UM_OPEN_PREPARED to
// it.
//
// Threads: everything runs on the UI thread except the two workers, which
// copy the paths they need under ListMutex() and report only by posting.
// Lock order: ListMutex(), then the event lock, then player 0's lock, then
// player 1's lock. ListMutex() is recursive (next holds it while stop takes
// it again).

#include <QBasicTimer>
#include <QObject>
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/core/control_buttons.h"
#include "app/core/playback_rules.h"
#include "app/core/recording_life.h"
#include "browser/model/browser_model.h"
#include "panels/core/trip_rules.h"
#include "playback/player_pair.h"
#include "recordings/folder_tree.h"
#include "recordings/recording_library.h"

class QTimerEvent;

namespace trivexa {

// What the controller asks of the main window. Every call arrives on the UI
// thread; none may call back into the controller's commands synchronously
// except where noted.
class ViewerView {
public:
    virtual ~ViewerView() = default;

    // --- the recording list (the browser panel) --------------------------------
    // Rows of the displayed list; the entry of a row (nothing outside).
    // Called with ListMutex() held.
    virtual int RowCount() = 0;
    virtual std::optional<RecordingEntry> Row(int row) = 0;
    // Stores the quality class and start time into the row's entry.
    virtual void SetRowFacts(int row, int qualityClass, const SystemTime& start) = 0;
    // The list shows `row` selected (the list does not report it back,
    // because the controller made it current first).
    virtual void SelectListRow(int row) = 0;
    // The browser's continue-in-sequence flag and task flag.
    virtual bool ContinueInSequence() = 0;
    virtual void SetContinueInSequence(bool on) = 0;
    virtual bool BrowserTaskRunning() = 0;
    // The folder tree: is there a node after the selected one; select it (the
    // tree then reports the change, which comes back as FolderSelected).
    virtual bool TreeHasNextNode() = 0;
    virtual void SelectNextTreeNode() = 0;
    // Lists `node`'s recordings; the number of rows (0: none).
    virtual int LoadFolder(TreeNode node) = 0;
    // The number of rows LoadFolder(node) would list, leaving the list and
    // the tree as they are (0: none, or the view cannot tell).
    virtual int FolderRowCount(TreeNode /*node*/) { return 0; }
    // The node after `node` in the tree (kTreeRoot: none).
    virtual TreeNode NextTreeNode(TreeNode node) = 0;
    virtual void SelectTreeNode(TreeNode node) = 0;
    virtual bool BrowserClearing() = 0;
    virtual void ClearBrowserList() = 0;
    virtual void LayOutBrowser() = 0;
    virtual SourceKind Source() = 0;

    // --- the panels and the seek slider ---------------------------------------------
    virtual TripValues& Trip() = 0;
    virtual void RepaintTrip() = 0;
    // Every trip value back to its reset value through the panel, so that its
    // axis buttons and the graph's lines follow their flags.
    virtual void ResetTrip() { ResetTripValues(Trip()); }
    virtual void SetSeekRange(std::int64_t first, std::int64_t end) = 0;
    virtual void SetSeekPosition(std::int64_t p) = 0;
    virtual void EnableSeekSlider(bool on) = 0;
    virtual void ReleaseSeekSlider() = 0;
    // The graph: cursor steps and position, prepare for a recording whose data
    // the players hold, clear, the frames of its displayed events.
    virtual void SetGraphCursor(std::int64_t count, std::int64_t position) = 0;
    virtual void PrepareGraph() = 0;
    virtual void ClearGraph() = 0;
    virtual std::vector<std::int64_t> GraphEventFrames() = 0;

    // --- presentation ----------------------------------------------------------------
    virtual void SetWaitCursor(bool on) = 0;
    virtual void ApplyEnabling(const ButtonEnabling& enabling) = 0;
    // All control buttons at once (an open disables them, and so does the end
    // margin while it lasts).
    virtual void SetControlsEnabled(bool on) = 0;
    virtual void SetPlayFace(bool pause) = 0;
    virtual void RepaintSurfaces() = 0;
    virtual void ApplyVideoRectangles() = 0;
    virtual void ApplyAspectModes() = 0;
    virtual void SetSecondaryCaptionFor(int primaryScreen) = 0;
    virtual void RaiseSecondary() = 0;
    // Closes an open context menu (the Escape key of a popup menu).
    virtual void CloseMenus() = 0;
    virtual bool InFullScreen() = 0;
    // Zoom mode off (both surfaces, the browser's notice) and full screen left.
    virtual void LeaveViewModes() = 0;
    // Message boxes: the question of UI string `text` with caption UI string
    // `caption`, yes → true; the error UI string `text` with caption "ERROR".
    virtual bool AskYesNo(int text, int caption) = 0;
    virtual void ShowError(int text) = 0;
    // Makes the repaired copies of `sources` off the UI thread, as a file
    // task with the progress bar that Escape cancels; the window reports the
    // task's end with ViewerController::RepairFinished. False when no task
    // can start (the controller then repairs in place, as a view without a
    // task frame must).
    virtual bool StartRepair(const std::vector<std::string>& /*sources*/) { return false; }
    // The model code of the recorder changed (the logo window shows it).
    virtual void SetModelCode(int code) = 0;

    // --- hooks of the map bridge (nothing until it is plugged in) ----------------------
    // The position p was fanned out with the record's sample (valid: a fix).
    virtual void MapPosition(std::int64_t /*p*/, double /*lat*/, double /*lon*/, bool /*valid*/) {}
    // A recording was opened, closed or reset; the map shows no data.
    virtual void MapRecordingChanged(int /*row*/) {}
    // The play state for the map: 1 stopped, 2 playing, 3 paused.
    virtual void MapPlayState(PlayState /*state*/) {}
};

class ViewerController : public QObject {
    Q_OBJECT
public:
    explicit ViewerController(ViewerView& view, QObject* parent = nullptr);
    ~ViewerController() override;

    // Initialisation step 9: binds player 0 to surface 0 and player 1 to
    // surface 1 (each surface gets the players' notices and shows the
    // pictures). A player whose initialisation fails is not present.
    void InitPlayers(QObject* window0, FrameSink* display0, QObject* window1, FrameSink* display1);
    PlayerPair& Pair() { return pair_; }
    const PlayerPair& Pair() const { return pair_; }
    std::recursive_mutex& ListMutex() { return listMutex_; }

    // --- state read by the window and the tests -------------------------------------------
    int CurrentIndex() const { return currentIndex_; }
    void SetCurrentIndex(int row) { currentIndex_ = row; }
    bool MediaLoaded() const { return mediaLoaded_; }
    bool OpenPending() const { return openPending_; }
    bool AdvanceToNextFolder() const { return advanceToNextFolder_; }
    bool EndLatch() const { return endLatch_; }
    bool RateDebounce() const { return rateDebounce_; }
    int Volume() const { return volume_; }
    void SetVolumeField(int v) { volume_ = v; }
    bool KeepAspect() const { return keepAspect_; }
    void SetKeepAspect(bool on) { keepAspect_ = on; }
    int PrimaryScreen() const { return primaryScreen_; }
    void SetScreens(int primary) { primaryScreen_ = primary, secondaryScreen_ = 1 - primary; }
    bool PlayIconPause() const { return playIconPause_; }
    SeekRange Range() const { return seekRange_; }
    std::int64_t PendingSeek() const { return pendingSeek_; }
    std::int64_t LastFannedOut() const { return lastFannedOut_; }
    int ModelCode() const { return modelCode_; }
    bool ErrorShown() const { return errorShown_; }
    bool BusyTask() const { return busyTask_; }
    bool CsvUnavailable() const { return csvUnavailable_; }
    void SetCsvUnavailable(bool on) { csvUnavailable_ = on; }
    std::vector<std::int64_t> EventFrames();
    // How many fan-outs ran (benchmarks and tests).
    std::uint64_t FanOutCount() const { return fanOuts_; }
    // Which timers run (tests).
    bool TimerActive(int id) const;

    // The data camera's state and facts (closed without one).
    PlayState DataState() const;
    RateCode DataRate() const;
    std::int64_t DataPosition();
    std::int64_t DataDuration();
    float DataFrameInterval() const;
    // The data camera's frame interval and stated frame rate into the trip
    // panel's values (its time of a frame is exact from the rate).
    void SetTripFrameTiming(TripValues& trip) const;
    bool WithinEndMargin();
    // Within the end margin, also setting `endLatch` and closing menus; or the
    // latch already set. Commands that check the margin are then ignored.
    bool CheckEndMargin();

    // --- the recording's life ----------------------------------------------------------
    // The list's selection moved to CurrentIndex() (called under ListMutex()).
    void SelectRecording(bool resetSlider, bool clearGraph, bool clearTrip);
    void ScheduleOpen();
    // UM_PLAYER_READY and UM_PLAYER_ENDED from the surfaces.
    void PlayerReady(int camera);
    void PlayerEnded(int camera);
    void EndOfRecording();
    // UM_FOLDER_SELECTED from the folder tree.
    void FolderSelected(TreeNode node);
    // Closing the current recording without opening another.
    void Reset();
    // UM_SOURCE_LOST (the window does the screens and views around it).
    void SourceLost();
    // UM_GRAPH_PREV_EVENT / UM_GRAPH_NEXT_EVENT.
    void EventJump(bool next);
    // UM_INFO_TOGGLE / UM_EVENT_DISPLAY already set the graph's flags: the
    // event list follows.
    void RebuildEvents();
    // A file task runs (all controls disabled) or ended.
    void SetBusyTask(bool on) { busyTask_ = on; }
    // Before a file task: closes the recording on screen (players closed,
    // their data released, the workers joined) and keeps the current row, so
    // the task may read, rename or hide its files.
    void CloseForTask();
    // After a file task: opens the current row again (when it is still a
    // row) and, once prepared, seeks to `position` and pauses there (0: the
    // recording starts stopped at its beginning). False when there is no row.
    bool ReopenAt(std::int64_t position);

    // --- commands --------------------------------------------------------------------
    // While an open is pending the buttons are disabled; the commands refuse
    // as well when reached another way (play then starts once prepared).
    void Stop();  // the *Stop* step used by the commands
    void CmdStop();
    // Before a delete or a join: playback stopped at normal speed with the
    // volume kept, and both pictures back at the start.
    void StopAtStart();
    void CmdPlayPause();
    void CmdPrevious();
    void CmdNext();
    void CmdSlower() { ChangeRate(RateStep::kSlower); }
    void CmdFaster() { ChangeRate(RateStep::kFaster); }
    void CmdMirror();
    void Seek(std::int64_t p);
    void SeekSliderDown(std::int64_t p, bool onThumb);
    void SeekSliderTrack(std::int64_t p);
    void SeekSliderUp(std::int64_t p);
    void SetVolume(int volume);
    // Resets the pair's rate to the recording's default when it differs.
    void ResetSpeed();
    void UpdateSpeedLabel();
    void FanOut(std::int64_t p);
    // *Refresh the video surfaces* (the pair's part; the window redraws the
    // surfaces without a data camera).
    void RefreshSurfaces();
    // *Button enabling*.
    void EnableButtons();
    // Pause / resume for the window's commands (display switch, aspect).
    bool PausePair();
    bool Resume();
    // The rear surface's mirrored flag (the context menu's check mark).
    bool RearMirrored() const { return rearMirrored_; }

    // Shutdown sequence steps 2-5 (the window does the rest).
    void Shutdown();

    // The repair task started by the open has ended: done (the copies are
    // there: the players open them), failed (the open fails with its
    // message) or cancelled (the open ends without one). A report for an
    // open that was closed since is ignored.
    void RepairFinished(bool done, bool cancelled);
    bool RepairRunning() const { return repairPending_; }

    // The paths of the current recording (the open-preparation worker's copy).
    std::pair<std::string, std::string> RowPaths(int row);

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void OpenRecording();  // timer 101
    void OpenTimedOut();   // timer 102
    void OpenFailed(OpenOutcome outcome, bool asked);
    // The open after the repair question: both players open their files.
    void OpenPlayers(const RecordingEntry& row);
    void Prepared(std::uint64_t generation, bool loaded);  // UM_OPEN_PREPARED
    void StartBookkeeping();
    void PositionPoll();  // timer 100
    void CloseRecording();
    void StartPrepareWorker();
    void StartPrefetchWorker();
    void JoinWorkers();
    void ChangeRate(RateStep step);
    RateCode DefaultRate();
    bool FolderAdvanceWalk(TreeNode from);
    // The first node after the selected one whose folder lists rows
    // (kTreeRoot: none). Playback moves on only to such a node.
    TreeNode NextNodeWithRows();

    ViewerView& view_;
    PlayerPair pair_;
    std::recursive_mutex listMutex_;
    std::mutex eventMutex_;
    std::vector<std::int64_t> events_;

    int currentIndex_ = -1;
    int primaryScreen_ = 0;
    int secondaryScreen_ = 1;
    bool mediaLoaded_ = false;
    bool openPending_ = false;
    bool openGate_ = true;
    bool advanceToNextFolder_ = false;
    bool endLatch_ = false;
    std::int64_t pendingSeek_ = -1;
    int readyCount_ = 0;
    int endedCount_ = 0;
    int expectedReports_ = 0;
    int volume_ = kVolumeMax;
    bool keepAspect_ = true;
    bool busyTask_ = false;
    bool playIconPause_ = false;
    bool rateDebounce_ = false;
    SeekRange seekRange_;
    int modelCode_ = 0;
    bool modelKnown_ = false;
    bool csvUnavailable_ = false;
    bool errorShown_ = false;
    bool skipFlag_ = false;
    bool playWhenPrepared_ = false;
    bool firstPosition_ = true;
    bool rearMirrored_ = false;
    bool marginDisabled_ = false;
    // The seek slider's press: the play state then, and whether it hit the thumb.
    PlayState sliderState_ = PlayState::kClosed;
    bool sliderOnThumb_ = false;
    std::int64_t lastFannedOut_ = 0;
    std::uint64_t fanOuts_ = 0;
    // The position a file task saved, restored when the reopened recording
    // is prepared.
    std::optional<std::int64_t> restorePosition_;
    // Every open counts; a prepared report of an older open is stale.
    std::uint64_t openGeneration_ = 0;
    // A repair task runs for the open of `repairRow_` (open number
    // `repairGeneration_`).
    bool repairPending_ = false;
    std::uint64_t repairGeneration_ = 0;
    RecordingEntry repairRow_;

    QBasicTimer positionTimer_;  // 100
    QBasicTimer openTimer_;      // 101
    QBasicTimer timeoutTimer_;   // 102
    QBasicTimer rateTimer_;      // 106

    std::thread prepareWorker_;
    std::thread prefetchWorker_;
};

}  // namespace trivexa
