#include "app/controller/viewer_controller.h"

#include <QCoreApplication>
#include <QTimerEvent>
#include <algorithm>

#include "app/core/recording_life.h"
#include "app/messages/posted_message.h"
#include "container/integrity.h"
#include "panels/core/sensor_view.h"
#include "recordings/recording_name.h"

namespace trivexa {
namespace {

constexpr int kPositionPollMs = 30;
constexpr int kOpenDebounceMs = 500;
constexpr int kOpenTimeoutMs = 5000;
constexpr int kRateDebounceMs = 1000;
constexpr int kQuestionCaption = 104;
constexpr int kRepairQuestion = 172;

}  // namespace

ViewerController::ViewerController(ViewerView& view, QObject* parent)
    : QObject(parent), view_(view) {}

ViewerController::~ViewerController() {
    positionTimer_.stop();
    JoinWorkers();
}

void ViewerController::InitPlayers(QObject* window0, FrameSink* display0, QObject* window1,
                                   FrameSink* display1) {
    pair_.Player(Camera::Front).Initialise(window0, display0);
    pair_.Player(Camera::Rear).Initialise(window1, display1);
}

bool ViewerController::TimerActive(int id) const {
    switch (id) {
        case 100:
            return positionTimer_.isActive();
        case 101:
            return openTimer_.isActive();
        case 102:
            return timeoutTimer_.isActive();
        case 106:
            return rateTimer_.isActive();
        default:
            return false;
    }
}

std::vector<std::int64_t> ViewerController::EventFrames() {
    std::lock_guard hold(eventMutex_);
    return events_;
}

// --- the data camera ---------------------------------------------------------------

PlayState ViewerController::DataState() const {
    const std::optional<Camera> camera = pair_.DataCamera();
    if (!camera) return PlayState::kClosed;
    return static_cast<PlayState>(static_cast<int>(pair_.Player(*camera).State()));
}

RateCode ViewerController::DataRate() const {
    const std::optional<Camera> camera = pair_.DataCamera();
    return static_cast<RateCode>(camera ? pair_.Player(*camera).RateCode() : 1);
}

std::int64_t ViewerController::DataPosition() {
    const std::optional<Camera> camera = pair_.DataCamera();
    return camera ? pair_.Player(*camera).Position() : 0;
}

std::int64_t ViewerController::DataDuration() {
    const std::optional<Camera> camera = pair_.DataCamera();
    return camera ? pair_.Player(*camera).Duration() : 0;
}

float ViewerController::DataFrameInterval() const {
    return pair_.FrameInterval(CameraSelector::kBoth);
}

void ViewerController::SetTripFrameTiming(TripValues& trip) const {
    trip.frameInterval = DataFrameInterval();
    const std::optional<Camera> data = pair_.DataCamera();
    trip.frameRate = data ? pair_.Player(*data).FrameRate() : 0;
    trip.frameScale = data ? pair_.Player(*data).FrameScale() : 0;
}

bool ViewerController::WithinEndMargin() {
    const PlayState state = DataState();
    if (state != PlayState::kPlaying) return false;
    return trivexa::WithinEndMargin(state, DataPosition(), DataDuration(), DataRate(),
                                    DataFrameInterval());
}

bool ViewerController::CheckEndMargin() {
    if (endLatch_) return true;
    if (!WithinEndMargin()) return false;
    endLatch_ = true;
    view_.CloseMenus();
    return true;
}

RateCode ViewerController::DefaultRate() {
    std::lock_guard hold(listMutex_);
    const std::optional<RecordingEntry> row = view_.Row(currentIndex_);
    return row ? DefaultRateCode(row->frontName, row->rearName) : RateCode::kNormal;
}

std::pair<std::string, std::string> ViewerController::RowPaths(int row) {
    std::lock_guard hold(listMutex_);
    const std::optional<RecordingEntry> entry = view_.Row(row);
    if (!entry) return {};
    return {entry->frontPath, entry->rearPath};
}

// --- select and schedule ----------------------------------------------------------

void ViewerController::SelectRecording(bool resetSlider, bool clearGraph, bool clearTrip) {
    {
        std::lock_guard hold(listMutex_);
        if (currentIndex_ < 0 || currentIndex_ >= view_.RowCount()) return;
    }
    view_.MapRecordingChanged(currentIndex_);
    Stop();
    mediaLoaded_ = false;
    firstPosition_ = true;
    if (resetSlider) {
        view_.SetSeekPosition(0);
        view_.SetGraphCursor(0, 0);
    }
    if (clearGraph) view_.ClearGraph();
    if (clearTrip) {
        view_.ResetTrip();
        view_.Trip().dataValid = false;
        view_.RepaintTrip();
    }
    if (!view_.ContinueInSequence()) EnableButtons();
    ScheduleOpen();
}

void ViewerController::ScheduleOpen() {
    // A preparation still under way belongs to the recording being left.
    ++openGeneration_;
    openTimer_.stop();
    if (openPending_) {
        timeoutTimer_.stop();
        openPending_ = false;
        view_.SetWaitCursor(false);
    }
    if (!openGate_) return;
    openPending_ = true;
    view_.SetWaitCursor(true);
    view_.SetControlsEnabled(false);
    timeoutTimer_.start(kOpenTimeoutMs, this);
    openTimer_.start(kOpenDebounceMs, this);
}

// --- opening --------------------------------------------------------------------------

void ViewerController::CloseRecording() {
    positionTimer_.stop();
    view_.EnableSeekSlider(true);
    marginDisabled_ = false;
    pendingSeek_ = -1;
    mediaLoaded_ = false;
    view_.ReleaseSeekSlider();
    // A worker still loading the old recording's data must be done before the
    // players drop it.
    JoinWorkers();
    pair_.ReleaseDataBoth();
    pair_.CloseBoth();
    view_.ClearGraph();
    readyCount_ = 0;
    endedCount_ = 0;
}

void ViewerController::OpenRecording() {
    openTimer_.stop();
    if (!openGate_) {
        view_.SetWaitCursor(false);
        return;
    }
    openGate_ = false;
    ++openGeneration_;
    CloseRecording();
    view_.SetControlsEnabled(false);

    std::optional<RecordingEntry> row;
    {
        std::lock_guard hold(listMutex_);
        row = view_.Row(currentIndex_);
    }
    if (!row) {
        OpenFailed(OpenOutcome::kFailed, false);
        return;
    }
    timeoutTimer_.stop();

    // A damaged clip is played from a repaired copy only with the user's
    // consent. The check reads the card; it never writes there.
    bool damaged = false;
    for (const std::string* path : {&row->frontPath, &row->rearPath})
        if (!path->empty() && CheckClip(*path) == ClipCheck::kDamaged) damaged = true;
    if (damaged) {
        view_.RepaintSurfaces();
        if (!view_.AskYesNo(kRepairQuestion, kQuestionCaption)) {
            OpenFailed(OpenOutcome::kFailed, true);
            return;
        }
        // Repairing reads the whole clip and writes a copy of it: minutes
        // for a large one. It runs as a task, and the players open the
        // copies once it is done.
        std::vector<std::string> repairs;
        for (const std::string* path : {&row->frontPath, &row->rearPath})
            if (!path->empty() && NeedsRepairedCopy(*path)) repairs.push_back(*path);
        if (!repairs.empty() && view_.StartRepair(repairs)) {
            // The bar shows the work; the window stays usable for Escape.
            view_.SetWaitCursor(false);
            repairPending_ = true;
            repairGeneration_ = openGeneration_;
            repairRow_ = *row;
            return;
        }
    }
    OpenPlayers(*row);
}

void ViewerController::RepairFinished(bool done, bool cancelled) {
    if (!repairPending_) return;
    repairPending_ = false;
    // The recording was closed meanwhile (reset, source lost): nothing to open.
    if (repairGeneration_ != openGeneration_ || !openPending_) return;
    if (!done) {
        OpenFailed(OpenOutcome::kFailed, /*reported=*/!cancelled);
        return;
    }
    view_.SetWaitCursor(true);
    view_.SetControlsEnabled(false);
    OpenPlayers(repairRow_);
}

void ViewerController::OpenPlayers(const RecordingEntry& row) {
    const PairOpenResult result = pair_.OpenBoth(row.frontPath, row.rearPath);
    timeoutTimer_.start(kOpenTimeoutMs, this);
    const OpenOutcome outcome = ClassifyOpen(static_cast<int>(result));
    if (outcome != OpenOutcome::kOpened) {
        // One camera may have opened beside a too-short one: it does not play.
        pair_.CloseBoth();
        OpenFailed(outcome, true);
        return;
    }
    const auto opened = [&](Camera c) {
        return pair_.Player(c).LastOpenResult() == OpenResult::kOpened;
    };
    expectedReports_ = ExpectedReports(opened(Camera::Front), opened(Camera::Rear));
    readyCount_ = 0;
    endedCount_ = 0;
    view_.RepaintSurfaces();
    view_.SetSecondaryCaptionFor(primaryScreen_);
    view_.CloseMenus();
}

void ViewerController::OpenFailed(OpenOutcome outcome, bool reported) {
    const bool continuing = view_.ContinueInSequence();
    view_.SetContinueInSequence(false);
    view_.MapRecordingChanged(-1);
    bool lastRow = false;
    {
        std::lock_guard hold(listMutex_);
        lastRow = currentIndex_ >= view_.RowCount() - 1;
    }
    timeoutTimer_.stop();
    openPending_ = false;
    openGate_ = true;
    view_.SetWaitCursor(false);
    if (advanceToNextFolder_) {
        // A failed open while moving on to the next folder: go on.
        skipFlag_ = true;
        view_.SetContinueInSequence(true);
        if (!FolderAdvanceWalk(kTreeRoot)) advanceToNextFolder_ = false;
        return;
    }
    if (!continuing) {
        if (reported) {
            view_.RepaintSurfaces();
            view_.ShowError(OpenFailureMessageId(outcome));
            errorShown_ = true;
        }
        if (outcome == OpenOutcome::kFailed) view_.LeaveViewModes();
        // Nothing is open: of the control buttons only browse (and delete,
        // after a message) can be used; the panels and the list stay usable.
        ButtonEnabling failed;
        failed.apply = true;
        failed.captionButtons = true;
        failed.panels = true;
        failed.controls[button::kBrowse] = true;
        failed.controls[button::kDelete] = errorShown_;
        view_.ApplyEnabling(failed);
        return;
    }
    // Playing in sequence: no message, the next row or folder instead.
    view_.SetContinueInSequence(true);
    if (lastRow) {
        advanceToNextFolder_ = true;
        if (const TreeNode next = NextNodeWithRows(); next != kTreeRoot) {
            view_.SelectTreeNode(next);
        } else {
            advanceToNextFolder_ = false;
            view_.SetContinueInSequence(false);
            EnableButtons();
        }
    } else {
        std::lock_guard hold(listMutex_);
        ++currentIndex_;
        view_.SelectListRow(currentIndex_);
        ScheduleOpen();
    }
}

void ViewerController::OpenTimedOut() {
    timeoutTimer_.stop();
    openTimer_.stop();
    view_.SetContinueInSequence(false);
    openPending_ = false;
    advanceToNextFolder_ = false;
    endLatch_ = false;
    view_.SetWaitCursor(false);
    view_.RepaintSurfaces();
    openGate_ = true;
    EnableButtons();
}

void ViewerController::PlayerReady(int /*camera*/) {
    if (expectedReports_ == 0) return;  // a report of a recording closed since
    if (++readyCount_ < expectedReports_) {
        timeoutTimer_.start(kOpenTimeoutMs, this);
        return;
    }
    readyCount_ = 0;
    timeoutTimer_.stop();
    openTimer_.stop();
    openGate_ = true;
    endLatch_ = false;
    SetTripFrameTiming(view_.Trip());
    UpdateSpeedLabel();
    view_.ApplyVideoRectangles();
    view_.ApplyAspectModes();
    pair_.Seek(CameraSelector::kBoth, 0);
    // The next recording of a sequence starts playing once its data are in.
    if (view_.ContinueInSequence()) {
        view_.SetContinueInSequence(false);
        playWhenPrepared_ = true;
    }
    advanceToNextFolder_ = false;
    if (!view_.BrowserTaskRunning()) StartPrepareWorker();
    view_.RaiseSecondary();
}

void ViewerController::StartPrepareWorker() {
    if (prepareWorker_.joinable()) prepareWorker_.join();
    const auto [front, rear] = RowPaths(currentIndex_);
    const std::uint64_t generation = openGeneration_;
    prepareWorker_ = std::thread([this, front, rear, generation] {
        const bool loaded = pair_.LoadData(front, rear);
        PostMessageTo(this, UM_OPEN_PREPARED, static_cast<std::uintptr_t>(generation),
                      loaded ? 1 : 0);
    });
}

void ViewerController::StartPrefetchWorker() {
    if (prefetchWorker_.joinable()) {
        pair_.CancelPrefetch();
        prefetchWorker_.join();
    }
    const auto [front, rear] = RowPaths(currentIndex_ + 1);
    if (front.empty() && rear.empty()) return;
    prefetchWorker_ = std::thread([this, front, rear] { pair_.Prefetch(front, rear); });
}

void ViewerController::JoinWorkers() {
    if (prepareWorker_.joinable()) prepareWorker_.join();
    if (prefetchWorker_.joinable()) {
        pair_.CancelPrefetch();
        prefetchWorker_.join();
    }
}

void ViewerController::Prepared(std::uint64_t generation, bool loaded) {
    if (generation != openGeneration_ || mediaLoaded_) return;
    if (prepareWorker_.joinable()) prepareWorker_.join();
    mediaLoaded_ = true;
    if (openGate_) timeoutTimer_.stop();
    openPending_ = false;
    view_.SetWaitCursor(false);
    EnableButtons();
    if (!loaded || !pair_.DataCamera()) {
        // The pictures play without sensor data: no graph, no trip values.
        playIconPause_ = false;
        view_.SetPlayFace(false);
    } else {
        pair_.SetVolume(CameraSelector::kBoth, volume_);
        pair_.SetRate(static_cast<int>(DefaultRate()));
        bool play = std::exchange(playWhenPrepared_, false);
        if (!play && advanceToNextFolder_) {
            advanceToNextFolder_ = false;
            play = true;
        }
        playIconPause_ = play && pair_.Play(CameraSelector::kBoth);
        view_.SetPlayFace(playIconPause_);
    }
    StartBookkeeping();
    if (const std::optional<std::int64_t> saved = std::exchange(restorePosition_, std::nullopt);
        saved && *saved > 0 && pair_.DataCamera()) {
        pair_.Seek(CameraSelector::kBoth, *saved);
        FanOut(*saved);
        pair_.Pause(CameraSelector::kBoth);
        playIconPause_ = false;
        view_.SetPlayFace(false);
    }
    if (!modelKnown_) {
        std::string model;
        pair_.WithBothReaders([&](MoviePlayer::Readers front, MoviePlayer::Readers) {
            model = front.data.Header().ModelText();
        });
        modelCode_ = ModelCodeOf(model);
        modelKnown_ = true;
        view_.SetModelCode(modelCode_);
    }
    EnableButtons();
}

void ViewerController::StartBookkeeping() {
    int row = -1;
    std::optional<RecordingEntry> entry;
    {
        std::lock_guard hold(listMutex_);
        row = currentIndex_;
        entry = view_.Row(row);
    }
    int frontHeight = 0, rearHeight = 0, w = 0, h = 0;
    if (pair_.Player(Camera::Front).State() != PlayerState::kClosed &&
        pair_.Player(Camera::Front).NativeSize(w, h))
        frontHeight = h;
    else if (pair_.Player(Camera::Rear).State() != PlayerState::kClosed &&
             pair_.Player(Camera::Rear).NativeSize(w, h))
        rearHeight = h;

    view_.ResetTrip();
    TripValues& trip = view_.Trip();
    char quality = 0;
    SensorHeader header{};
    pair_.WithBothReaders([&](MoviePlayer::Readers front, MoviePlayer::Readers rear) {
        quality = front.data.Header().quality;
        const std::optional<Camera> camera = pair_.DataCamera();
        if (camera) header = (*camera == Camera::Rear ? rear : front).data.Header();
    });
    const bool hasData = pair_.DataCamera().has_value();
    trip.dataValid = hasData;
    if (entry) {
        const std::string& name = entry->frontName.empty() ? entry->rearName : entry->frontName;
        trip.startTime = RecordingDateTime(name);
        trip.timeLapse = IsTimeLapse(entry->frontName) || IsTimeLapse(entry->rearName);
        trip.badgeCode = QualityClass(frontHeight, quality, rearHeight);
        trip.voltageShown = VoltageShownFor(trip.voltageEnabled, entry->frontName, entry->rearName);
        view_.SetRowFacts(row, trip.badgeCode, trip.startTime);
    }
    SetTripFrameTiming(trip);
    if (hasData) ApplyHeaderFlags(trip, header);

    const std::int64_t duration = std::max<std::int64_t>(DataDuration(), 0);
    seekRange_ = {0, duration};
    view_.SetSeekRange(0, duration);
    view_.SetGraphCursor(duration, 0);
    if (hasData) view_.PrepareGraph();
    RebuildEvents();
    UpdateSpeedLabel();
    pair_.SetVolume(CameraSelector::kBoth, volume_);
    FanOut(0);
    pendingSeek_ = -1;
    positionTimer_.start(kPositionPollMs, this);
    if (!view_.BrowserTaskRunning()) StartPrefetchWorker();
}

void ViewerController::RebuildEvents() {
    std::vector<std::int64_t> frames =
        mediaLoaded_ ? view_.GraphEventFrames() : std::vector<std::int64_t>{};
    std::lock_guard hold(eventMutex_);
    events_ = std::move(frames);
}

// --- the position ---------------------------------------------------------------------

void ViewerController::PositionPoll() {
    const PlayState state = DataState();
    if (state != PlayState::kPlaying) {
        if (marginDisabled_) {
            marginDisabled_ = false;
            view_.EnableSeekSlider(true);
            EnableButtons();
        }
        return;
    }
    const bool margin = WithinEndMargin();
    if (margin && !marginDisabled_) {
        marginDisabled_ = true;
        view_.EnableSeekSlider(false);
        view_.SetControlsEnabled(false);
        view_.CloseMenus();
    } else if (!margin && marginDisabled_) {
        marginDisabled_ = false;
        view_.EnableSeekSlider(true);
        EnableButtons();
    }
    const std::int64_t p = DataPosition();
    if (p > 0 && AcceptPolledPosition(p, pendingSeek_, DataDuration())) {
        FanOut(p);
        pendingSeek_ = -1;
    }
    view_.MapPlayState(state);
}

void ViewerController::FanOut(std::int64_t p) {
    ++fanOuts_;
    TripValues& trip = view_.Trip();
    double lat = 0, lon = 0;
    bool fix = false;
    pair_.WithBothReaders([&](MoviePlayer::Readers front, MoviePlayer::Readers rear) {
        p = seekRange_.end > seekRange_.first ? ClampToSeekRange(p, seekRange_) : 0;
        pendingSeek_ = p;
        const std::optional<Camera> camera = pair_.DataCamera();
        const AccelEntry* entry = nullptr;
        const PositionEntry* position = nullptr;
        if (camera) {
            const MoviePlayer::Readers& r = *camera == Camera::Rear ? rear : front;
            const SensorView view =
                SensorView::Of(r.display.FrameMap().empty() ? r.data : r.display);
            entry = view.EntryAt(p);
            if (entry) position = view.PositionOf(*entry);
        }
        ApplyFrameRecord(trip, entry, position);
        if (position) {
            lat = position->latitude;
            lon = position->longitude;
            fix = lat <= 360 && lon <= 360 && trip.speedValid;
        }
    });
    trip.frame = static_cast<int>(p);
    lastFannedOut_ = p;
    view_.SetSeekPosition(p);
    view_.SetGraphCursor(seekRange_.end, p);
    if (!view_.InFullScreen()) view_.RepaintTrip();
    view_.MapPosition(p, lat, lon, fix);
}

// --- end, folders, reset ------------------------------------------------------------

void ViewerController::PlayerEnded(int /*camera*/) {
    if (expectedReports_ == 0) return;
    if (++endedCount_ < expectedReports_) {
        timeoutTimer_.start(kOpenTimeoutMs, this);
        return;
    }
    endedCount_ = 0;
    if (view_.ContinueInSequence()) return;
    EndOfRecording();
}

void ViewerController::EndOfRecording() {
    std::unique_lock hold(listMutex_);
    const bool wasPlaying = DataState() == PlayState::kPlaying || playIconPause_;
    // At the last row, playback goes on only in a folder that has recordings
    // (a card that never parked has an empty Parking folder after Normal).
    const bool lastRow = currentIndex_ >= 0 && currentIndex_ + 1 == view_.RowCount();
    const TreeNode next = lastRow ? NextNodeWithRows() : kTreeRoot;
    const EndStep step = EndOfRecordingStep(currentIndex_, view_.RowCount(), next != kTreeRoot);
    switch (step) {
        case EndStep::kNothing:
            return;
        case EndStep::kNextRow:
            ++currentIndex_;
            view_.SelectListRow(currentIndex_);
            view_.MapRecordingChanged(currentIndex_);
            view_.SetContinueInSequence(wasPlaying);
            Stop();
            mediaLoaded_ = false;
            firstPosition_ = true;
            view_.SetSeekPosition(0);
            view_.ClearGraph();
            if (!wasPlaying) EnableButtons();
            ScheduleOpen();
            return;
        case EndStep::kNextFolder:
            pair_.Pause(CameraSelector::kBoth);
            pair_.SetVolume(CameraSelector::kBoth, volume_);
            UpdateSpeedLabel();
            if (!wasPlaying) Stop();
            advanceToNextFolder_ = wasPlaying;
            view_.SetContinueInSequence(wasPlaying);
            hold.unlock();
            view_.SelectTreeNode(next);
            return;
        case EndStep::kStopAtStart:
            // Nothing follows: the end margin no longer holds the commands
            // back, or the stopped recording could not be stopped or played
            // again until another one opens.
            endLatch_ = false;
            marginDisabled_ = false;
            view_.EnableSeekSlider(true);
            ResetSpeed();
            Stop();
            // A player that ran to its end reports stopped already, so Stop
            // left the play button alone: it shows play now.
            playIconPause_ = false;
            view_.SetPlayFace(false);
            view_.MapPlayState(PlayState::kStopped);
            pair_.Seek(CameraSelector::kBoth, 0);
            FanOut(0);
            advanceToNextFolder_ = false;
            view_.SetContinueInSequence(false);
            view_.LeaveViewModes();
            EnableButtons();
            return;
    }
}

bool ViewerController::FolderAdvanceWalk(TreeNode from) {
    TreeNode node = view_.NextTreeNode(from);
    while (node != kTreeRoot) {
        if (view_.LoadFolder(node) > 0) {
            view_.SelectTreeNode(node);
            return true;
        }
        node = view_.NextTreeNode(node);
    }
    return false;
}

TreeNode ViewerController::NextNodeWithRows() {
    for (TreeNode node = view_.NextTreeNode(kTreeRoot); node != kTreeRoot;
         node = view_.NextTreeNode(node))
        if (view_.FolderRowCount(node) > 0) return node;
    return kTreeRoot;
}

void ViewerController::FolderSelected(TreeNode node) {
    if (view_.BrowserClearing() || node == kTreeRoot) return;
    const bool continuing = view_.ContinueInSequence();
    const bool advancing = advanceToNextFolder_;
    {
        std::lock_guard hold(listMutex_);
        if (DataState() == PlayState::kPlaying) pair_.Pause(CameraSelector::kBoth);
        if (!continuing) Stop();
        if (!advancing) ResetSpeed();
        Reset();
    }
    int rows = 0;
    {
        std::lock_guard hold(listMutex_);
        rows = view_.LoadFolder(node);
        if (rows > 0) firstPosition_ = false;
        if (!continuing) {
            playIconPause_ = false;
            view_.SetPlayFace(false);
            const SourceKind kind = view_.Source();
            csvUnavailable_ = kind == SourceKind::Folder || kind == SourceKind::File ||
                              (kind == SourceKind::SdCard && rows == 0);
        }
    }
    if (rows > 0) {
        modelKnown_ = false;
        view_.SetContinueInSequence(advancing || continuing);
        advanceToNextFolder_ = advancing;
        {
            std::lock_guard hold(listMutex_);
            currentIndex_ = 0;
            view_.SelectListRow(0);
        }
        SelectRecording(true, true, true);
        return;
    }
    if (advancing && !FolderAdvanceWalk(node)) {
        advanceToNextFolder_ = false;
        view_.SetContinueInSequence(false);
        view_.LeaveViewModes();
        ResetSpeed();
    }
    EnableButtons();
}

void ViewerController::Reset() {
    view_.MapRecordingChanged(-1);
    view_.SetSeekPosition(0);
    view_.SetGraphCursor(0, 0);
    seekRange_ = {};
    view_.SetSeekRange(0, 0);
    positionTimer_.stop();
    openTimer_.stop();
    timeoutTimer_.stop();
    if (openPending_) view_.SetWaitCursor(false);
    openPending_ = false;
    JoinWorkers();
    pair_.ReleaseDataBoth();
    pair_.CloseBoth();
    expectedReports_ = 0;
    readyCount_ = endedCount_ = 0;
    mediaLoaded_ = false;
    firstPosition_ = true;
    errorShown_ = false;
    playWhenPrepared_ = false;
    restorePosition_.reset();
    ++openGeneration_;
    UpdateSpeedLabel();
    RefreshSurfaces();
    view_.RepaintSurfaces();
    {
        std::lock_guard hold(eventMutex_);
        events_.clear();
    }
    view_.ClearGraph();
    view_.ResetTrip();
    view_.Trip().dataValid = false;
    view_.RepaintTrip();
    {
        std::lock_guard hold(listMutex_);
        currentIndex_ = -1;
    }
    openGate_ = true;
    view_.LayOutBrowser();
}

void ViewerController::CloseForTask() {
    openTimer_.stop();
    timeoutTimer_.stop();
    if (openPending_) view_.SetWaitCursor(false);
    openPending_ = false;
    openGate_ = true;
    playWhenPrepared_ = false;
    restorePosition_.reset();
    ++openGeneration_;
    CloseRecording();
    expectedReports_ = 0;
    view_.RepaintSurfaces();
}

bool ViewerController::ReopenAt(std::int64_t position) {
    {
        std::lock_guard hold(listMutex_);
        if (currentIndex_ < 0 || currentIndex_ >= view_.RowCount()) return false;
    }
    restorePosition_ = position;
    SelectRecording(false, true, true);
    return true;
}

void ViewerController::SourceLost() {
    mediaLoaded_ = false;
    if (DataState() == PlayState::kPlaying) pair_.Pause(CameraSelector::kBoth);
    Stop();
    ResetSpeed();
    Reset();
    playIconPause_ = false;
    view_.SetPlayFace(false);
    view_.ClearBrowserList();
    csvUnavailable_ = true;
    advanceToNextFolder_ = false;
    view_.SetContinueInSequence(false);
    view_.LeaveViewModes();
    EnableButtons();
}

void ViewerController::EventJump(bool next) {
    if (!mediaLoaded_ || openPending_ || CheckEndMargin()) return;
    std::optional<std::int64_t> target;
    {
        std::lock_guard hold(eventMutex_);
        const std::optional<std::size_t> hit =
            next ? NextEventIndex(events_, lastFannedOut_)
                 : PreviousEventIndex(events_, lastFannedOut_,
                                      pair_.DataCamera() ? DataDuration() : 0);
        if (hit) target = events_[*hit];
    }
    if (!target) return;
    const bool stopped = DataState() == PlayState::kStopped;
    Seek(*target);
    if (stopped) {
        pair_.Pause(CameraSelector::kBoth);
        EnableButtons();
    }
}

// --- commands -------------------------------------------------------------------------

void ViewerController::Stop() {
    const PlayState state = DataState();
    if (state != PlayState::kPlaying && state != PlayState::kPaused) return;
    std::lock_guard hold(listMutex_);
    const bool accepted = pair_.Stop(CameraSelector::kBoth);
    if (!view_.ContinueInSequence()) {
        playIconPause_ = !accepted;
        view_.SetPlayFace(playIconPause_);
    }
    view_.MapPlayState(PlayState::kStopped);
}

bool ViewerController::PausePair() {
    if (DataState() != PlayState::kPlaying) return false;
    const bool paused = pair_.Pause(CameraSelector::kBoth);
    playIconPause_ = !paused;
    view_.SetPlayFace(playIconPause_);
    view_.MapPlayState(PlayState::kPaused);
    return paused;
}

bool ViewerController::Resume() {
    bool accepted = false;
    switch (DataState()) {
        case PlayState::kStopped:
            accepted = pair_.Play(CameraSelector::kBoth);
            break;
        case PlayState::kPaused:
            accepted = pair_.PlayFrom(CameraSelector::kBoth, DataPosition());
            break;
        default:
            break;
    }
    view_.MapPlayState(DataState());
    return accepted;
}

void ViewerController::CmdPlayPause() {
    if (!mediaLoaded_) {
        // Still being prepared: play once the data are in.
        if (openPending_) playWhenPrepared_ = true;
        return;
    }
    if (DataState() == PlayState::kPlaying) {
        if (CheckEndMargin()) return;
        ResetSpeed();
        const bool paused = PausePair();
        RefreshSurfaces();
        UpdateSpeedLabel();
        if (!view_.InFullScreen()) view_.RepaintTrip();
        playIconPause_ = !paused;
        view_.SetPlayFace(playIconPause_);
        pair_.SetVolume(CameraSelector::kBoth, 0);
        pair_.Repaint(CameraSelector::kBoth);
    } else {
        pair_.SetVolume(CameraSelector::kBoth, volume_);
        view_.SetContinueInSequence(false);
        const bool resumed = Resume();
        if (!resumed) playWhenPrepared_ = true;
        UpdateSpeedLabel();
        playIconPause_ = resumed;
        view_.SetPlayFace(resumed);
    }
    EnableButtons();
}

void ViewerController::CmdStop() {
    if (openPending_ || CheckEndMargin()) return;
    ResetSpeed();
    pair_.SetVolume(CameraSelector::kBoth, 0);
    UpdateSpeedLabel();
    pair_.Seek(CameraSelector::kBoth, 0);
    FanOut(0);
    Stop();
    pair_.SetVolume(CameraSelector::kBoth, volume_);
    EnableButtons();
}

void ViewerController::StopAtStart() {
    Stop();
    ResetSpeed();
    SetVolume(volume_);
    UpdateSpeedLabel();
    pair_.Seek(CameraSelector::kBoth, 0);
    FanOut(0);
}

void ViewerController::CmdPrevious() {
    if (openPending_ || CheckEndMargin()) return;
    pair_.SetVolume(CameraSelector::kBoth, 0);
    pair_.Pause(CameraSelector::kBoth);
    Stop();
    std::unique_lock hold(listMutex_);
    if (currentIndex_ > 0) {
        --currentIndex_;
        view_.SelectListRow(currentIndex_);
        view_.ResetTrip();
        view_.SetSeekPosition(0);
        view_.SetGraphCursor(0, 0);
        view_.MapRecordingChanged(currentIndex_);
        mediaLoaded_ = false;
        firstPosition_ = true;
        view_.ClearGraph();
        view_.SetContinueInSequence(false);
        EnableButtons();
        ScheduleOpen();
    } else {
        hold.unlock();
        ResetSpeed();
        Stop();
        pair_.Seek(CameraSelector::kBoth, 0);
        RefreshSurfaces();
        FanOut(0);
        pair_.SetVolume(CameraSelector::kBoth, volume_);
        EnableButtons();
    }
}

void ViewerController::CmdNext() {
    if (openPending_ || CheckEndMargin()) return;
    pair_.SetVolume(CameraSelector::kBoth, 0);
    const bool wasPlaying = DataState() == PlayState::kPlaying;
    pair_.Pause(CameraSelector::kBoth);
    Stop();
    // The next recording plays when this one was playing.
    playIconPause_ = wasPlaying;
    EndOfRecording();
    pair_.SetVolume(CameraSelector::kBoth, volume_);
}

void ViewerController::ChangeRate(RateStep step) {
    if (rateDebounce_ || openPending_) return;
    rateDebounce_ = true;
    rateTimer_.start(kRateDebounceMs, this);
    if (CheckEndMargin()) return;
    const std::optional<Camera> camera = pair_.DataCamera();
    if (!camera) return;
    const RateCode current = DataRate();
    const RateCode next =
        NextRateCode(step, current, DataState() == PlayState::kPlaying,
                     pair_.Player(*camera).CanPlayBackwards(), PlaybackEngine::kMediaFoundation);
    if (next == current) return;
    pair_.SetRate(static_cast<int>(next));
    pair_.RestartAt(CameraSelector::kBoth, DataPosition());
    EnableButtons();
    UpdateSpeedLabel();
}

void ViewerController::ResetSpeed() {
    if (!pair_.DataCamera()) return;
    const RateCode wanted = DefaultRate();
    if (DataRate() != wanted) pair_.SetRate(static_cast<int>(wanted));
}

void ViewerController::UpdateSpeedLabel() {
    view_.Trip().speedText =
        pair_.DataCamera() ? SpeedLabelText(static_cast<int>(DataRate())) : std::string();
    if (!view_.InFullScreen()) view_.RepaintTrip();
}

void ViewerController::CmdMirror() {
    if (openPending_ || CheckEndMargin()) return;
    MoviePlayer& rear = pair_.Player(Camera::Rear);
    rearMirrored_ = rear.IsPresent() && rear.ToggleMirror();
    rear.Repaint();
}

void ViewerController::Seek(std::int64_t p) {
    const PlayState state = DataState();
    if (state == PlayState::kClosed) return;
    const SeekPlan plan = PlanSeek(p, seekRange_, DataRate());
    if (state == PlayState::kPlaying) {
        pair_.Pause(CameraSelector::kBoth);
        pair_.Seek(CameraSelector::kBoth, plan.target);
        FanOut(plan.shown);
        pair_.Play(CameraSelector::kBoth);
    } else {
        pair_.Seek(CameraSelector::kBoth, plan.target);
        FanOut(plan.shown);
        EnableButtons();
    }
}

void ViewerController::SeekSliderDown(std::int64_t p, bool onThumb) {
    if (openPending_ || !mediaLoaded_) return;
    pair_.SetVolume(CameraSelector::kBoth, 0);
    sliderState_ = DataState();
    sliderOnThumb_ = onThumb;
    if (sliderState_ == PlayState::kPlaying) pair_.Pause(CameraSelector::kBoth);
    if (!onThumb) {
        const PlayState paused = DataState();
        (void)paused;
        const SeekPlan plan = PlanSeek(p, seekRange_, DataRate());
        pair_.Seek(CameraSelector::kBoth, plan.target);
        FanOut(plan.shown);
        if (sliderState_ == PlayState::kPlaying) pair_.Play(CameraSelector::kBoth);
        EnableButtons();
        RefreshSurfaces();
        pair_.SetVolume(CameraSelector::kBoth, volume_);
    }
}

void ViewerController::SeekSliderTrack(std::int64_t p) {
    if (openPending_ || !mediaLoaded_ || !sliderOnThumb_) return;
    FanOut(p);
}

void ViewerController::SeekSliderUp(std::int64_t p) {
    if (openPending_ || !mediaLoaded_ || !sliderOnThumb_) return;
    sliderOnThumb_ = false;
    const SeekPlan plan = PlanSeek(p, seekRange_, DataRate());
    pair_.Seek(CameraSelector::kBoth, plan.target);
    FanOut(plan.shown);
    if (sliderState_ == PlayState::kPlaying) pair_.Play(CameraSelector::kBoth);
    EnableButtons();
    RefreshSurfaces();
    pair_.SetVolume(CameraSelector::kBoth, volume_);
}

void ViewerController::SetVolume(int volume) {
    volume_ = VolumeFromSlider(volume);
    pair_.SetVolume(CameraSelector::kBoth, volume_);
}

void ViewerController::RefreshSurfaces() {
    if (!pair_.DataCamera()) return;
    const PlayState state = DataState();
    const RateCode rate = DataRate();
    if (state == PlayState::kPlaying && (rate == RateCode::kHalf || rate == RateCode::kQuarter)) {
        pair_.Pause(CameraSelector::kBoth);
        pair_.Repaint(CameraSelector::kBoth);
        pair_.Play(CameraSelector::kBoth);
    }
}

void ViewerController::EnableButtons() {
    EnablingInput in;
    {
        std::lock_guard hold(listMutex_);
        in.rowCount = view_.RowCount();
        in.currentRow = currentIndex_;
    }
    in.dataCameraExists = pair_.DataCamera().has_value();
    in.dataState = DataState();
    in.rate = DataRate();
    in.rearPresent = pair_.Player(Camera::Rear).IsPresent();
    in.sdCardSource = view_.Source() == SourceKind::SdCard;
    in.singleFileSource = view_.Source() == SourceKind::File;
    in.csvUnavailable = csvUnavailable_;
    ButtonEnabling enabling = trivexa::EnableButtons(in);
    view_.ApplyEnabling(enabling);
    // An open in progress, a file task or the end margin keep them disabled.
    if (openPending_ || busyTask_ || marginDisabled_) view_.SetControlsEnabled(false);
}

void ViewerController::Shutdown() {
    if (DataState() == PlayState::kPlaying) pair_.Pause(CameraSelector::kBoth);
    Stop();
    positionTimer_.stop();
    openTimer_.stop();
    timeoutTimer_.stop();
    rateTimer_.stop();
    JoinWorkers();
    pair_.ReleaseDataBoth();
    pair_.CloseBoth();
    for (Camera c : {Camera::Front, Camera::Rear})
        if (pair_.Player(c).IsPresent()) pair_.Player(c).Release();
    // Both locks are free again before the window goes.
    { std::lock_guard a(listMutex_); }
    { std::lock_guard b(eventMutex_); }
}

// --- events and timers --------------------------------------------------------------------

bool ViewerController::event(QEvent* event) {
    if (const PostedMessageEvent* m = AsPostedMessage(event)) {
        if (m->message() == UM_OPEN_PREPARED) Prepared(m->wParam(), m->lParam() != 0);
        return true;
    }
    return QObject::event(event);
}

void ViewerController::timerEvent(QTimerEvent* event) {
    const int id = event->timerId();
    if (id == positionTimer_.timerId()) {
        PositionPoll();
    } else if (id == openTimer_.timerId()) {
        OpenRecording();
    } else if (id == timeoutTimer_.timerId()) {
        OpenTimedOut();
    } else if (id == rateTimer_.timerId()) {
        rateTimer_.stop();
        rateDebounce_ = false;
    } else {
        QObject::timerEvent(event);
    }
}

}  // namespace trivexa
