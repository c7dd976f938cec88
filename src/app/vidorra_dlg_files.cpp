// The main window's file commands: the still (38006), the CSV export
// (38014), delete (38012) and join (38007) run as file tasks through the task
// frame, the repaired copies offered when the window returns to the empty
// state, and the trace flags of the trip panel.
#include <QApplication>

#include "app/core/control_buttons.h"
#include "app/core/settings_file.h"
#include "app/core/ui_strings.h"
#include "app/file_commands/file_tasks.h"
#include "app/file_commands/trace_flags.h"
#include "app/file_selection.h"
#include "app/logo_dlg.h"
#include "app/main_buttons.h"
#include "app/player_stills.h"
#include "app/task_frame.h"
#include "app/vidorra_dlg.h"
#include "browser/browse_for_folder.h"
#include "browser/filer_container_dlg.h"
#include "controls/msg_box.h"
#include "controls/skin_button.h"
#include "controls/skin_slider.h"
#include "panels/info_dlg.h"
#include "panels/movie_dialog.h"
#include "platform/files.h"
#include "recordings/recording_name.h"

namespace trivexa {
namespace {

constexpr const char* kFolderSection = "FOLDERPATH";
constexpr const char* kSnapshotKey = "SNAPSHOT_FOLDER";
constexpr const char* kCsvKey = "CSV_FOLDER";
constexpr const char* kConnectKey = "CONNECT_FOLDER";
constexpr const char* kRepairKey = "REPAIR_FOLDER";
constexpr int kUiCsvFolderTitle = 101;
constexpr int kUiJoinFolderTitle = 100;
constexpr int kUiQuestionCaption = 104;
constexpr int kUiCsvFailed = 93;
constexpr int kUiNoRecordings = 99;
constexpr int kErrorCaption = -1;

}  // namespace

void CVidorraDlg::TaskHooks::SetControlsEnabled(bool enabled) { dlg_.TaskControls(enabled); }
void CVidorraDlg::TaskHooks::TaskSucceeded(const FileTask& task) { dlg_.TaskSucceeded(task); }
void CVidorraDlg::TaskHooks::ShowTaskMessage(int text, int caption, const std::string& detail) {
    dlg_.ShowMessageWithDetail(text, caption, detail);
}
void CVidorraDlg::TaskHooks::ResetToStart() {
    ViewerController& c = *dlg_.controller_;
    c.Pair().Seek(CameraSelector::kBoth, 0);
    c.FanOut(0);
    c.Stop();
}
void CVidorraDlg::TaskHooks::RestorePosition(std::int64_t position) {
    dlg_.controller_->ReopenAt(position);
}
void CVidorraDlg::TaskHooks::EnableButtons() { dlg_.controller_->EnableButtons(); }

void CVidorraDlg::CreateFileCommands() {
    taskHooks_ = std::make_unique<TaskHooks>(*this);
    taskFrame_ = std::make_unique<CTaskFrame>(*taskHooks_, this);
}

void CVidorraDlg::FileCommand(int id) {
    // One task at a time; the buttons are disabled while one runs, this
    // catches the context menu and a queued click.
    if (!taskFrame_ || taskFrame_->Busy() || controller_->OpenPending()) return;
    // Reached another way than its button (a queued click, a script), a
    // command still follows the button enabling: join only on a card, delete
    // not on a single file, CSV only with a card's rows.
    const auto allowed = [&](int b) { return buttons_->Control(b)->isEnabled(); };
    switch (static_cast<CommandId>(id)) {
        case CommandId::kStill:
            CmdStill();
            return;
        case CommandId::kCsv:
            if (allowed(button::kCsv)) CmdCsv();
            return;
        case CommandId::kDelete:
            if (allowed(button::kDelete)) CmdDelete();
            return;
        case CommandId::kJoin:
            if (allowed(button::kJoin)) CmdJoin();
            return;
        default:
            return;
    }
}

// --- controls and messages -------------------------------------------------------------

void CVidorraDlg::SetAllControlsEnabled(bool enabled) {
    // The control buttons themselves follow the button enabling when they
    // come back; here they only go.
    if (!enabled) buttons_->SetControlsEnabled(false);
    buttons_->SetCaptionsEnabled(enabled);
    for (QWidget* w : OtherControls())
        if (w) w->setEnabled(enabled);
}

void CVidorraDlg::TaskControls(bool enabled) {
    controller_->SetBusyTask(!enabled);
    SetAllControlsEnabled(enabled);
    logo_->update();
    CMovieStatic* primary = surfaces_[static_cast<std::size_t>(PrimaryScreen())];
    primary->setVisible(enabled);
}

void CVidorraDlg::ShowMessageWithDetail(int text, int caption, const std::string& detail) {
    SetWaitCursor(false);
    std::string message = UiString(text);
    if (!detail.empty()) message += "\n\n" + detail;
    CMsgBox box(this);
    box.Show(message.c_str(), caption == kErrorCaption ? "ERROR" : UiString(caption), 0);
}

std::int64_t CVidorraDlg::CloseForTask() {
    std::int64_t position = 0;
    if (controller_->MediaLoaded() && controller_->Pair().DataCamera())
        position = std::max<std::int64_t>(controller_->DataPosition(), 0);
    controller_->CloseForTask();
    return position;
}

// --- still -------------------------------------------------------------------------------

void CVidorraDlg::CmdStill() { RunStillCapture(*this); }

bool CVidorraDlg::CanCapture() {
    return controller_->MediaLoaded() && !controller_->OpenPending() &&
           controller_->Pair().DataCamera().has_value() && !controller_->CheckEndMargin();
}

void CVidorraDlg::PrepareCapture() {
    if (controller_->DataState() == PlayState::kPlaying) controller_->CmdPlayPause();
    ResetZoom(0);
    ResetZoom(1);
    ApplyVideoRectangles();
    controller_->Pair().Repaint(CameraSelector::kBoth);
    RepaintSurfaces();
    SetAllControlsEnabled(false);
}

std::string CVidorraDlg::ChooseFolder() {
    return BrowseForFolder(this, kFolderSection, kSnapshotKey, UiString(kUiStillFolderTitle));
}

std::string CVidorraDlg::RecordingName() {
    std::lock_guard hold(ListMutex());
    int row = controller_->CurrentIndex();
    if (row < 0 && RowCount() > 0) row = 0;
    const std::optional<RecordingEntry> entry = Row(row);
    if (!entry) return {};
    return entry->frontName.empty() ? entry->rearName : entry->frontName;
}

std::vector<std::string> CVidorraDlg::InputPaths() {
    std::lock_guard hold(ListMutex());
    int row = controller_->CurrentIndex();
    if (row < 0 && RowCount() > 0) row = 0;
    const std::optional<RecordingEntry> entry = Row(row);
    if (!entry) return {};
    return {entry->frontPath, entry->rearPath};
}

std::int64_t CVidorraDlg::Position() { return controller_->DataPosition(); }

bool CVidorraDlg::ConfirmOverwrite(const std::string& /*path*/) {
    SetWaitCursor(false);
    CMsgBox box(this);
    return box.Show(UiString(kUiOverwriteQuestion), UiString(kUiQuestionCaption), 1) == 1;
}

bool CVidorraDlg::HasPicture(Camera camera) {
    return CameraHasPicture(controller_->Pair(), camera);
}

bool CVidorraDlg::SaveFrame(Camera camera, const std::string& path) {
    return SaveCameraStill(controller_->Pair(), camera, path);
}

void CVidorraDlg::RememberFolder(const std::string& folder) {
    WriteSetting(kFolderSection, kSnapshotKey, folder);
}

void CVidorraDlg::RestoreLayout() {
    // The players write the decoded frames at their native size, so the
    // surfaces never left their places; the unzoomed rectangles stay.
    ApplyVideoRectangles();
    RepaintSurfaces();
}

void CVidorraDlg::ShowMessage(int text, int caption) { ShowMessageWithDetail(text, caption, {}); }

void CVidorraDlg::EndCapture() {
    SetAllControlsEnabled(true);
    controller_->EnableButtons();
}

// --- CSV ---------------------------------------------------------------------------------

void CVidorraDlg::CmdCsv() {
    if (RowCount() > 0 && controller_->CheckEndMargin()) return;
    controller_->PausePair();
    const std::string folder =
        BrowseForFolder(this, kFolderSection, kCsvKey, UiString(kUiCsvFolderTitle));
    if (folder.empty()) return;

    SetWaitCursor(true);
    // The scan reads each clip's data header while it has the clip open, so
    // the export need not open every clip again.
    std::vector<RecordingEntry> all = browser_->CollectAll(/*withDataHeaders=*/true);
    SetWaitCursor(false);
    if (all.empty()) {
        controller_->SetCsvUnavailable(true);
        ShowError(kUiNoRecordings);
        ShowError(kUiCsvFailed);
        controller_->EnableButtons();
        return;
    }
    CsvOptions options;
    const std::string path = (folder.back() == '/' ? folder : folder + "/") + CsvFileName(all[0]);
    if (platform::PathExists(path)) {
        if (!ConfirmOverwrite(path)) return;
        options.replaceExisting = true;
    }
    csvFolder_ = folder;
    // The list cannot change while the task runs (every control is
    // disabled), so the worker writes the one collected here.
    auto task =
        std::make_unique<CsvTask>([list = std::move(all)]() { return list; }, folder, options);
    taskFrame_->SetRestorePosition(CloseForTask());
    taskFrame_->Start(std::move(task));
}

// --- the end of a task --------------------------------------------------------------------

void CVidorraDlg::TaskSucceeded(const FileTask& task) {
    switch (task.Kind()) {
        case TaskKind::kCsv:
            WriteSetting(kFolderSection, kCsvKey, csvFolder_);
            return;
        case TaskKind::kDelete:
            DeleteDone(static_cast<const DeleteTask&>(task).Deleted());
            return;
        case TaskKind::kJoin: {
            WriteSetting(kFolderSection, kConnectKey, joinFolder_);
            {
                std::lock_guard hold(ListMutex());
                MarkJoinedEntries(browser_->Displayed(),
                                  static_cast<const JoinTask&>(task).Selection());
            }
            browser_->RepaintList();
            return;
        }
    }
}

// --- delete -------------------------------------------------------------------------------

void CVidorraDlg::CmdDelete() {
    if (controller_->CheckEndMargin()) return;
    const int remembered = std::max(browser_->SelectedRow(), 0);
    std::string onScreenKey;
    {
        std::lock_guard hold(ListMutex());
        if (const std::optional<RecordingEntry> row = Row(controller_->CurrentIndex()))
            onScreenKey = KeyPath(*row);
    }
    if (!controller_->ErrorShown()) controller_->StopAtStart();
    // The recording on screen may be among those deleted: nothing may hold
    // its files while they are hidden or moved.
    controller_->CloseForTask();

    SetWaitCursor(true);
    const std::vector<RecordingEntry> all = browser_->CollectAll();
    SetWaitCursor(false);
    std::vector<RecordingEntry> chosen =
        RunFileSelection(this, false, "FileSelectDelete", all, browser_->Displayed());
    const auto reselect = [&] {
        controller_->SetCurrentIndex(-1);
        browser_->SelectRow(remembered, 0);
        controller_->EnableButtons();
    };
    if (chosen.empty()) {
        reselect();
        return;
    }
    if (browser_->TaskRunning()) {
        ShowError(kUiDeleteFailed);
        reselect();
        return;
    }
    // A delete that fails or is cancelled leaves the list as it was: the
    // recording on screen opens again. After a success the source is read
    // again and its first row opens instead.
    taskFrame_->SetRestorePosition(0);
    taskFrame_->Start(std::make_unique<DeleteTask>(std::move(chosen), onScreenKey));
}

void CVidorraDlg::DeleteDone(const std::vector<RecordingEntry>& deleted) {
    {
        std::lock_guard hold(ListMutex());
        browser_->RemoveEntries(deleted);
    }
    const SourceKind kind = browser_->Kind();
    if (kind != SourceKind::SdCard && kind != SourceKind::Folder) return;
    // The card changed under the lists: read the source again.
    ResetTripValues(info_->Values());
    if (zoomMode_) ToggleZoomMode();
    controller_->SetCsvUnavailable(true);
    ReturnToEmptyState();
    controller_->Reset();
    browser_->SetContinueInSequence(false);
    OfferRepairedCopiesOnce();
    const std::string path = browser_->SourcePath();
    if (browser_->OpenSource(path, kind)) browser_->SelectDefaultFolder();
    UpdateTracePresent();
    controller_->SetCsvUnavailable(kind != SourceKind::SdCard || RowCount() == 0);
    controller_->EnableButtons();
    if (!browser_->ZoomMode()) browser_->update();
}

// --- join ---------------------------------------------------------------------------------

void CVidorraDlg::CmdJoin() {
    if (controller_->CheckEndMargin()) return;
    controller_->StopAtStart();

    std::vector<RecordingEntry> selection =
        RunFileSelection(this, true, "FileSelectJoin", {}, browser_->Displayed());
    // The browser's own task started meanwhile: nothing is joined.
    if (browser_->TaskRunning()) selection.clear();
    if (selection.empty()) {
        controller_->EnableButtons();
        return;
    }
    const std::string folder =
        BrowseForFolder(this, kFolderSection, kConnectKey, UiString(kUiJoinFolderTitle));
    if (folder.empty()) {
        controller_->EnableButtons();
        return;
    }
    const JoinCheckResult check = CheckJoin(selection, folder);
    bool replace = false;
    // The user decides about existing outputs before being told of a
    // problem the replacement may change (their sizes count as free space).
    if (check.OutputsExist() &&
        (check.check == JoinCheck::kReady || check.check == JoinCheck::kNotEnoughSpace)) {
        if (!ConfirmOverwrite(check.plan.frontOutput)) {
            controller_->EnableButtons();
            return;
        }
        replace = true;
    }
    if (check.check != JoinCheck::kReady) {
        const std::vector<int> texts = JoinCheckMessages(check.check);
        for (std::size_t i = 0; i < texts.size(); ++i)
            ShowMessageWithDetail(texts[i], kErrorCaption, i == 0 ? JoinCheckDetail(check) : "");
        controller_->EnableButtons();
        return;
    }
    joinFolder_ = folder;
    CloseForTask();
    // Joined or not, the recording on screen opens again at its start.
    taskFrame_->SetRestorePosition(0);
    taskFrame_->Start(std::make_unique<JoinTask>(std::move(selection), check.plan, replace));
}

// --- repaired copies and trace flags ---------------------------------------------------------

void CVidorraDlg::OfferRepairedCopiesOnce() {
    // The question's own event loop must not ask it a second time.
    if (offeringRepairedCopies_) return;
    offeringRepairedCopies_ = true;
    OfferRepairedCopies(*this);
    offeringRepairedCopies_ = false;
}

bool CVidorraDlg::AskKeepRepairedCopies() {
    return AskYesNo(kUiKeepRepairedCopies, kUiQuestionCaption);
}

std::string CVidorraDlg::ChooseRepairFolder() {
    return BrowseForFolder(this, kFolderSection, kRepairKey, UiString(kUiRepairFolderTitle));
}

void CVidorraDlg::RememberRepairFolder(const std::string& folder) {
    WriteSetting(kFolderSection, kRepairKey, folder);
}

void CVidorraDlg::UpdateTracePresent() {
    tracePresent_ =
        browser_ && TracePresent(browser_->Kind() == SourceKind::SdCard, browser_->SourcePath());
    info_->Values().voltageEnabled = tracePresent_;
    info_->update();
}

}  // namespace trivexa
