#pragma once
// The rules of the file selection dialog, without a window: which recordings
// it offers (at most 1500), what each row reads, which rows are checked, the
// join run that keeps the checked rows of the join dialog one unbroken run of
// undamaged recordings, the size totals with their limits, and the verdict on
// OK. The dialog shows the rows and forwards every check the user changes.
//
// Callers: CFileSelectDlg on the UI thread, the tests. Everything is pure
// except the default needs-repair test, which looks for repaired copies.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "browser/model/list_rules.h"
#include "recordings/recording_library.h"

namespace trivexa {

enum class FileSelectMode : int {
    kDelete = 0,
    kBackup = 1,  // laid out like delete; nothing asks for it
    kJoin = 2,
};

// How many recordings the dialog offers; more are cut off with UI string 103.
inline constexpr std::size_t kMaxOfferedRecordings = 1500;
inline constexpr std::int64_t kBytesPerMegabyte = 1048576;
// A join takes at most this many megabytes and files per camera.
inline constexpr std::int64_t kJoinMaxMegabytes = 1024;
inline constexpr int kJoinMaxFiles = 100;

// Replaces `to` with the entries of `from`, in order, at most 1500. False
// when entries were left out (the dialog then shows UI string 103).
bool CopyOffered(const std::vector<RecordingEntry>& from, std::vector<RecordingEntry>& to);

// "%llu MB": whole megabytes, truncated; negative sizes read as 0.
std::string MegabyteText(std::int64_t bytes);

// The checked run of the join dialog: rows [start, end), −1 when none.
struct JoinRun {
    int start = -1;
    int end = -1;
    bool operator==(const JoinRun&) const = default;
};

// The per-row facts the join run works on, one element per shown row.
struct JoinRows {
    std::vector<bool> checked;
    std::vector<bool> damaged;      // front or rear damaged mark
    std::vector<bool> needsRepair;  // a damaged file without a repaired copy
};

// The run as it stands: start = the first checked row that needs no repair;
// end = the first row after it that is unchecked or needs repair, or, when
// there is none, one past the last row that needs no repair.
JoinRun FindJoinRun(const JoinRows& rows);

// Row `row` has just been checked (`nowChecked`) or unchecked by the user:
// checks or unchecks the rows between it and the run so that the checked
// rows stay one run of undamaged recordings, then returns the new run. A
// check that cannot join the run (beyond a damaged recording) is taken back:
// no row outside the returned run stays checked.
JoinRun ApplyJoinRun(JoinRows& rows, JoinRun run, int row, bool nowChecked);
// Unchecks every row outside `run` (all rows when there is none).
void KeepOnlyRun(JoinRows& rows, const JoinRun& run);

struct SelectionSizes {
    std::int64_t frontBytes = 0;
    std::int64_t rearBytes = 0;
    int frontFiles = 0;  // checked rows with a non-zero front size
    int rearFiles = 0;
    bool frontOverSize = false;  // join: above 1024 MB
    bool rearOverSize = false;
    bool frontOverCount = false;  // join: more than 100 files
    bool rearOverCount = false;
    bool okEnabled = false;
    std::string totalText;  // size text 1006 (join: the front total)
    std::string rearText;   // size text 1010 (join only)
};

// A file counts with its expected size, or with its size on disk when it has
// none (a clip cut off by a power loss), so such a recording can be deleted.
SelectionSizes ComputeSizes(FileSelectMode mode, const std::vector<RecordingEntry>& shown,
                            const std::vector<bool>& checked);

enum class SelectionVerdict {
    kAccept,
    kTooLarge,  // UI string 138
    kTooMany,   // UI string 140
};
SelectionVerdict JudgeSelection(const SelectionSizes& sizes);

class FileSelectModel {
public:
    explicit FileSelectModel(FileSelectMode mode = FileSelectMode::kDelete) : mode_(mode) {}

    // Decides which rows need repair (default: NeedsRepair, which looks for
    // the repaired copy on disk).
    std::function<bool(const RecordingEntry&)> needsRepair = NeedsRepair;

    void SetMode(FileSelectMode mode) { mode_ = mode; }
    FileSelectMode Mode() const { return mode_; }
    bool IsJoin() const { return mode_ == FileSelectMode::kJoin; }

    // The browser's displayed list and the source's full list, each cut to
    // 1500 entries; false when one was cut.
    bool SetDisplayed(const std::vector<RecordingEntry>& displayed);
    bool SetFullList(const std::vector<RecordingEntry>& full);

    // Rebuilds the shown rows from the full list (show all) or the displayed
    // list, every row unchecked. The join dialog offers only AVI files.
    void Fill(bool showAll);
    // The toggle buttons: refill, then with "select all" check every row.
    // The join dialog keeps only its run checked.
    void Refill(bool showAll, bool selectAll);

    int RowCount() const { return static_cast<int>(shown_.size()); }
    const std::vector<RecordingEntry>& Shown() const { return shown_; }
    // Column texts: file name (rear name for a rear-only recording), front
    // size, rear size.
    std::string NameText(int row) const;
    std::string FrontSizeText(int row) const;
    std::string RearSizeText(int row) const;

    bool Checked(int row) const;
    const std::vector<bool>& CheckedRows() const { return checked_; }
    // The user checked or unchecked `row`. The join dialog extends or cuts
    // its run; the dialog then shows CheckedRows() again.
    void OnRowChecked(int row, bool checked);
    JoinRun Run() const { return run_; }

    SelectionSizes Sizes() const { return ComputeSizes(mode_, shown_, checked_); }
    SelectionVerdict Verdict() const { return JudgeSelection(Sizes()); }
    // The checked rows' entries in row order (what OK returns).
    std::vector<RecordingEntry> Result() const;

    // The join dialog's colours for a row: joined recordings magenta on
    // yellow, damaged ones yellow on pink; nothing for the other rows and in
    // the delete dialog.
    std::optional<RowColours> RowColoursFor(int row) const;

private:
    JoinRows RowsForRun() const;
    void RecomputeRun();

    FileSelectMode mode_;
    std::vector<RecordingEntry> displayed_;
    std::vector<RecordingEntry> full_;
    std::vector<RecordingEntry> shown_;
    std::vector<bool> checked_;
    JoinRun run_;
    bool adjusting_ = false;  // set while the run rule itself changes checks
};

}  // namespace trivexa
