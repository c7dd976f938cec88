#include "app/file_commands/file_tasks.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <filesystem>

#include "app/core/ui_strings.h"
#include "app/file_commands/join_texts.h"
#include "container/integrity.h"
#include "platform/files.h"
#include "recordings/drive_utils.h"
#include "recordings/recording_name.h"

namespace trivexa {
namespace {

bool Exists(const std::string& path) { return !path.empty() && platform::PathExists(path); }

// Sleeps `ms` in short steps, giving up early when the task is cancelled.
void WaitUnlessCancelled(int ms, const std::atomic<bool>& cancel) {
    using namespace std::chrono;
    const auto end = steady_clock::now() + milliseconds(ms);
    while (!cancel.load() && steady_clock::now() < end)
        std::this_thread::sleep_for(
            std::min<steady_clock::duration>(milliseconds(20), end - steady_clock::now()));
}

}  // namespace

FileTask::~FileTask() {
    Cancel();
    Wait();
}

void FileTask::Start(TaskListener& listener) {
    if (thread_.joinable() || running_.load()) return;
    running_.store(true);
    thread_ = std::jthread([this, &listener] {
        outcome_ = Run(listener);
        running_.store(false);
        listener.TaskFinished(kind_, outcome_);
    });
}

void FileTask::Wait() {
    if (thread_.joinable()) thread_.join();
}

// ---- CSV --------------------------------------------------------------------

TaskOutcome CsvTask::Run(TaskListener& listener) {
    const std::vector<RecordingEntry> recordings =
        collect_ ? collect_() : std::vector<RecordingEntry>{};
    report_ = WriteCsvFile(
        recordings, folder_, options_,
        [&](int done, int total) { listener.TaskProgress(done, total); }, &CancelFlag());
    switch (report_.result) {
        case CsvResult::kDone:
            return TaskOutcome::kDone;
        case CsvResult::kCancelled:
            return TaskOutcome::kCancelled;
        default:
            failure_.messages = CsvResultMessages(report_.result);
            if (report_.result != CsvResult::kNoRecordings) failure_.detail = report_.error;
            return TaskOutcome::kFailed;
    }
}

// ---- Delete -----------------------------------------------------------------

namespace {

// Why the files of `entry` that are still there were not deleted, from what
// can be seen afterwards: a folder that cannot be written (a read-only card),
// on the card a hidden file of the same name in the way, else the step that
// failed.
int DeleteFailureReason(const RecordingEntry& entry) {
    std::vector<std::string> left;
    for (const std::string* path : {&entry.frontPath, &entry.rearPath})
        if (Exists(*path)) left.push_back(*path);
    for (const std::string& path : left)
        if (!platform::IsWritableFolder(std::string(ParentOf(path)))) return kUiDetailReadOnly;
    const std::string& key = KeyPath(entry);
    if (!(IsCardPath(key) && IsRecordingFileName(key))) return kUiDetailNotToTrash;
    for (const std::string& path : left) {
        const std::size_t dot = path.rfind('.');
        if (dot != std::string::npos && Exists(path.substr(0, dot + 1) + "DMY"))
            return kUiDetailHiddenCopyThere;
    }
    return kUiDetailNotHidden;
}

}  // namespace

bool DeleteOneRecording(const RecordingEntry& entry, std::string& why,
                        const SourceBounds* bounds) {
    const std::string name(FileNameOf(KeyPath(entry)));
    if (bounds) {
        for (const std::string* path : {&entry.frontPath, &entry.rearPath}) {
            if (path->empty() || bounds->Contains(*path)) continue;
            why = std::string(FileNameOf(*path)) + "\n" + UiString(kUiDetailOutsideSource);
            return false;
        }
    }
    if (!Exists(entry.frontPath) && !Exists(entry.rearPath)) {
        why = name + "\n" + UiString(kUiDetailNoLongerThere);
        return false;
    }
    if (DeleteRecording(entry.frontPath, entry.rearPath)) return true;
    why = name + "\n" + UiString(DeleteFailureReason(entry));
    return false;
}

std::vector<RecordingEntry> DeleteTask::DeletedSoFar() const {
    std::lock_guard hold(deletedLock_);
    return deleted_;
}

TaskOutcome DeleteTask::Run(TaskListener& listener) {
    const int n = static_cast<int>(entries_.size());
    if (n == 0) return TaskOutcome::kCancelled;
    std::optional<SourceBounds> bounds;
    if (!sourceRoot_.empty()) bounds.emplace(sourceRoot_);
    for (int i = n - 1; i >= 0; --i) {
        if (CancelFlag().load()) return TaskOutcome::kCancelled;
        const RecordingEntry& entry = entries_[static_cast<std::size_t>(i)];
        if (!onScreenKey_.empty() && KeyPath(entry) == onScreenKey_) {
            WaitUnlessCancelled(releaseWaitMs_, CancelFlag());
            if (CancelFlag().load()) return TaskOutcome::kCancelled;
        }
        std::string why;
        if (!DeleteOneRecording(entry, why, bounds ? &*bounds : nullptr)) {
            failure_.messages = {kUiDeleteFailed};
            failure_.detail = why;
            return TaskOutcome::kFailed;
        }
        {
            std::lock_guard hold(deletedLock_);
            deleted_.push_back(entry);
        }
        listener.TaskProgress(n - i - 1, n);
    }
    listener.TaskProgress(n, n);
    return TaskOutcome::kDone;
}

// ---- Join -------------------------------------------------------------------

JoinCheckResult CheckJoin(const std::vector<RecordingEntry>& selection,
                          const std::string& outputFolder) {
    JoinCheckResult r;
    switch (PrepareJoin(selection, outputFolder, r.plan)) {
        case JoinPrepareResult::kNothingSelected:
            r.check = JoinCheck::kNothingSelected;
            return r;
        case JoinPrepareResult::kNoFolder:
            r.check = JoinCheck::kNoFolder;
            return r;
        case JoinPrepareResult::kNoFrontClip:
            r.check = JoinCheck::kNoFrontClip;
            return r;
        case JoinPrepareResult::kOutputIsSource:
            r.check = JoinCheck::kOutputIsSource;
            return r;
        case JoinPrepareResult::kNotEnoughSpace:
        case JoinPrepareResult::kReady:
            break;
    }
    // The card is the recorder's: nothing but what the user deletes changes
    // on it, so joined files go elsewhere.
    if (IsCardPath(outputFolder)) {
        r.check = JoinCheck::kOnCard;
        return r;
    }
    if (!platform::IsWritableFolder(outputFolder)) {
        r.check = JoinCheck::kFolderReadOnly;
        return r;
    }
    r.check =
        r.plan.requiredBytes >= r.plan.freeBytes ? JoinCheck::kNotEnoughSpace : JoinCheck::kReady;
    return r;
}

std::vector<int> JoinCheckMessages(JoinCheck check) {
    if (check == JoinCheck::kReady) return {};
    return {kUiJoinFailed};
}

std::string JoinCheckDetail(const JoinCheckResult& result) {
    switch (result.check) {
        case JoinCheck::kReady:
            return {};
        case JoinCheck::kNothingSelected:
            return "no recordings selected";
        case JoinCheck::kNoFolder:
            return "the output folder does not exist";
        case JoinCheck::kNoFrontClip:
            return "the first recording has no front clip";
        case JoinCheck::kOnCard:
            return "the output folder is on the recorder's card; choose a folder elsewhere";
        case JoinCheck::kOutputIsSource:
            return "the output folder holds the recordings being joined; choose another folder";
        case JoinCheck::kFolderReadOnly:
            return "the output folder cannot be written";
        case JoinCheck::kNotEnoughSpace:
            return "not enough free space: " +
                   std::to_string(result.plan.requiredBytes / kCsvBytesPerMegabyte) +
                   " MB needed, " + std::to_string(result.plan.freeBytes / kCsvBytesPerMegabyte) +
                   " MB free";
    }
    return {};
}

TaskOutcome JoinTask::Run(TaskListener& listener) {
    const int n = static_cast<int>(selection_.size());
    int shown = -1;
    const auto show = [&](int step) {
        if (step == shown) return;
        shown = step;
        listener.TaskProgress(step, kJoinProgressScale);
    };
    JoinOptions options;
    options.replaceExisting = replace_;
    options.bytesProgress = [&](std::uint64_t done, std::uint64_t total) {
        if (total == 0) return;
        const std::uint64_t span = kJoinProgressScale - kJoinReadSteps;
        show(kJoinReadSteps + static_cast<int>(std::min(done, total) * span / total));
    };
    // The join reports one stage after each clip it has read (n of them, the
    // first (1, n), then (i, 2n)) before its writing stages; those first n
    // reports move the bar through the reading part.
    int reports = 0;
    const JoinProgressFn stages = [&](int, int) {
        if (++reports > n) return;
        show(reports * kJoinReadSteps / std::max(n, 1));
    };
    show(0);
    const JoinResult result = JoinRecordings(selection_, plan_.frontOutput, plan_.rearOutput,
                                             CancelFlag(), stages, options, &summary_);
    if (result == JoinResult::kDone) {
        show(kJoinProgressScale);
        return TaskOutcome::kDone;
    }
    if (result == JoinResult::kCancelled) return TaskOutcome::kCancelled;
    failure_.messages = {kUiJoinFailed};
    failure_.detail = JoinFailureDetail(summary_.error);
    return TaskOutcome::kFailed;
}

std::string JoinFailureDetail(const CoreError& error) {
    if (error.code == CoreErrorCode::kDamagedClip)
        return error.detail + "\n" + UiString(kUiJoinSourceDamaged);
    return CoreErrorText(error);
}

std::string JoinTask::DoneDetail() const {
    if (Outcome() != TaskOutcome::kDone) return {};
    std::string lines;
    if (summary_.frontWritten) lines += plan_.frontOutput;
    if (summary_.rearWritten) {
        lines += "\n" + plan_.rearOutput;
    } else {
        lines += "\n" + std::string(UiString(kUiNoRearVideo));
    }
    if (!summary_.removedOutput.empty())
        lines += "\n" + std::string(UiString(kUiJoinRemovedOutput)) + "\n" + summary_.removedOutput;
    return lines;
}

// ---- Repair -----------------------------------------------------------------

TaskOutcome RepairTask::Run(TaskListener& listener) {
    const int total = static_cast<int>(sources_.size()) * kRepairProgressScale;
    for (std::size_t i = 0; i < sources_.size(); ++i) {
        if (CancelRequested()) return TaskOutcome::kCancelled;
        const int base = static_cast<int>(i) * kRepairProgressScale;
        listener.TaskProgress(base, total);
        RepairJob job;
        // Called between views of the clip: the place to notice a cancel.
        job.progress = [&](std::uint64_t done, std::uint64_t all) {
            if (CancelRequested()) job.abort = true;
            const std::uint64_t step = all == 0 ? 0 : done * kRepairProgressScale / all;
            listener.TaskProgress(
                base + static_cast<int>(std::min<std::uint64_t>(step, kRepairProgressScale)),
                total);
        };
        std::filesystem::path play;
        const bool prepared = PrepareForPlayback(job, sources_[i], play);
        if (job.abort || CancelRequested()) return TaskOutcome::kCancelled;
        // Prepared without a copy: the clip needs none any more (it was
        // replaced by an intact one meanwhile) and plays as it is.
        if (!prepared) {
            failure_.detail = std::string(FileNameOf(sources_[i]));
            return TaskOutcome::kFailed;
        }
    }
    listener.TaskProgress(total, total);
    return TaskOutcome::kDone;
}

}  // namespace trivexa
