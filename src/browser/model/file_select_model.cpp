#include "browser/model/file_select_model.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>

#include "recordings/recording_name.h"

namespace trivexa {
namespace {

constexpr Rgb kJoinedText = 0xFF00FF;         // magenta
constexpr Rgb kJoinedBackground = 0xFFFF00;   // yellow
constexpr Rgb kDamagedText = 0xFFFF00;        // yellow
constexpr Rgb kDamagedBackground = 0xEEBACB;  // pink

std::int64_t Megabytes(std::int64_t bytes) { return bytes > 0 ? bytes / kBytesPerMegabyte : 0; }

std::string WholeMegabytes(std::int64_t megabytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld MB", static_cast<long long>(megabytes));
    return text;
}

// The extension of the final component (from its last '.') contains ".AVI"
// in any letter case.
bool ExtensionHasAvi(std::string_view path) {
    const std::string_view name = FileNameOf(path);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string ext(name.substr(dot));
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext.find(".AVI") != std::string::npos;
}

bool IsDamaged(const RecordingEntry& e) { return e.frontDamaged == 1 || e.rearDamaged == 1; }

// The size a file counts with: its expected size, or, when the integrity
// check gave none (a clip cut off by a power loss has no sizes in its
// header), its size on disk as the scan found it.
std::int64_t CountedSize(std::int64_t expected, std::uint64_t onDisk) {
    if (expected > 0) return expected;
    if (expected < 0) return 0;  // a placeholder
    return static_cast<std::int64_t>(
        std::min<std::uint64_t>(onDisk, std::numeric_limits<std::int64_t>::max()));
}

bool At(const std::vector<bool>& v, int i) {
    return i >= 0 && static_cast<std::size_t>(i) < v.size() && v[static_cast<std::size_t>(i)];
}

void Set(std::vector<bool>& v, int i, bool on) {
    if (i >= 0 && static_cast<std::size_t>(i) < v.size()) v[static_cast<std::size_t>(i)] = on;
}

}  // namespace

bool CopyOffered(const std::vector<RecordingEntry>& from, std::vector<RecordingEntry>& to) {
    const std::size_t n = std::min(from.size(), kMaxOfferedRecordings);
    to.assign(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(n));
    return n == from.size();
}

std::string MegabyteText(std::int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu MB", static_cast<unsigned long long>(Megabytes(bytes)));
    return text;
}

JoinRun FindJoinRun(const JoinRows& rows) {
    const int n = static_cast<int>(rows.checked.size());
    JoinRun run;
    for (int i = 0; i < n; ++i) {
        if (At(rows.checked, i) && !At(rows.needsRepair, i)) {
            run.start = i;
            break;
        }
    }
    if (run.start < 0) return run;
    for (int i = run.start + 1; i < n; ++i) {
        if (!At(rows.checked, i) || At(rows.needsRepair, i)) {
            run.end = i;
            return run;
        }
    }
    for (int i = n - 1; i >= 0; --i) {
        if (!At(rows.needsRepair, i)) {
            run.end = i + 1;
            break;
        }
    }
    return run;
}

JoinRun ApplyJoinRun(JoinRows& rows, JoinRun run, int r, bool c) {
    const int n = static_cast<int>(rows.checked.size());
    const auto joinable = [&](int i) { return c && !At(rows.damaged, i); };
    const auto uncheckUnlessJoinable = [&](int i) {
        if (!c || At(rows.damaged, i)) Set(rows.checked, i, false);
    };
    if (run.start != -1 && run.end != -1) {
        const int s = run.start, e = run.end;
        if (r < s) {
            // Extends the run backwards to r (or, unchecking, clears up to s).
            for (int i = n - 1; i >= 0; --i) {
                if (i < r)
                    uncheckUnlessJoinable(i);
                else if (i < s)
                    Set(rows.checked, i, joinable(i));
            }
        } else if (r < e) {
            // Inside the run: unchecking cuts it at r.
            if (r != s)
                for (int i = r; i < e; ++i) Set(rows.checked, i, joinable(i));
        } else {
            // Beyond the run: fills the gap from its end up to r.
            for (int i = e; i < n; ++i) {
                if (i < r)
                    Set(rows.checked, i, joinable(i));
                else
                    uncheckUnlessJoinable(i);
            }
        }
    } else if (At(rows.damaged, r)) {
        Set(rows.checked, r, false);
    }
    // Checking past a damaged recording leaves a row beyond the gap checked;
    // what OK takes must be the one run the dialog shows.
    const JoinRun result = FindJoinRun(rows);
    KeepOnlyRun(rows, result);
    return result;
}

void KeepOnlyRun(JoinRows& rows, const JoinRun& run) {
    for (int i = 0; i < static_cast<int>(rows.checked.size()); ++i)
        if (run.start < 0 || i < run.start || i >= run.end) Set(rows.checked, i, false);
}

SelectionSizes ComputeSizes(FileSelectMode mode, const std::vector<RecordingEntry>& shown,
                            const std::vector<bool>& checked) {
    SelectionSizes z;
    for (std::size_t i = 0; i < shown.size() && i < checked.size(); ++i) {
        if (!checked[i]) continue;
        const RecordingEntry& e = shown[i];
        const std::int64_t front = CountedSize(e.frontExpectedSize, e.frontBytes);
        const std::int64_t rear = CountedSize(e.rearExpectedSize, e.rearBytes);
        if (front > 0) {
            z.frontBytes += front;
            ++z.frontFiles;
        }
        if (rear > 0) {
            z.rearBytes += rear;
            ++z.rearFiles;
        }
    }
    if (mode != FileSelectMode::kJoin) {
        z.totalText = WholeMegabytes(Megabytes(z.frontBytes + z.rearBytes));
        z.okEnabled = z.frontFiles + z.rearFiles > 0;
        return z;
    }
    // The limits compare the whole megabytes the size texts show.
    z.frontOverSize = Megabytes(z.frontBytes) > kJoinMaxMegabytes;
    z.rearOverSize = Megabytes(z.rearBytes) > kJoinMaxMegabytes;
    z.frontOverCount = z.frontFiles > kJoinMaxFiles;
    z.rearOverCount = z.rearFiles > kJoinMaxFiles;
    z.totalText = WholeMegabytes(Megabytes(z.frontBytes));
    z.rearText = WholeMegabytes(Megabytes(z.rearBytes));
    z.okEnabled = z.frontFiles > 1 || z.rearFiles > 1;
    return z;
}

SelectionVerdict JudgeSelection(const SelectionSizes& z) {
    if (z.frontOverSize || z.rearOverSize) return SelectionVerdict::kTooLarge;
    if (z.frontOverCount || z.rearOverCount) return SelectionVerdict::kTooMany;
    return SelectionVerdict::kAccept;
}

bool FileSelectModel::SetDisplayed(const std::vector<RecordingEntry>& displayed) {
    return CopyOffered(displayed, displayed_);
}

bool FileSelectModel::SetFullList(const std::vector<RecordingEntry>& full) {
    return CopyOffered(full, full_);
}

void FileSelectModel::Fill(bool showAll) {
    shown_.clear();
    for (const RecordingEntry& e : showAll ? full_ : displayed_) {
        if (IsJoin() && !ExtensionHasAvi(KeyName(e))) continue;
        shown_.push_back(e);
    }
    checked_.assign(shown_.size(), false);
    run_ = {};
}

void FileSelectModel::Refill(bool showAll, bool selectAll) {
    Fill(showAll);
    if (selectAll) checked_.assign(shown_.size(), true);
    if (!IsJoin()) return;
    if (!selectAll) {
        RecomputeRun();
        return;
    }
    // Every row checked at once would also check damaged recordings and rows
    // beyond a gap, which the join cannot take. A click on a damaged row is
    // refused even when a repaired copy exists, so select-all leaves it
    // unchecked too and keeps the run before it alone.
    JoinRows rows = RowsForRun();
    for (int i = 0; i < RowCount(); ++i)
        if (At(rows.damaged, i)) Set(rows.checked, i, false);
    run_ = FindJoinRun(rows);
    KeepOnlyRun(rows, run_);
    checked_ = rows.checked;
}

std::string FileSelectModel::NameText(int row) const {
    if (row < 0 || row >= RowCount()) return {};
    return std::string(FileNameOf(KeyName(shown_[static_cast<std::size_t>(row)])));
}

std::string FileSelectModel::FrontSizeText(int row) const {
    if (row < 0 || row >= RowCount()) return {};
    const RecordingEntry& e = shown_[static_cast<std::size_t>(row)];
    return MegabyteText(CountedSize(e.frontExpectedSize, e.frontBytes));
}

std::string FileSelectModel::RearSizeText(int row) const {
    if (row < 0 || row >= RowCount()) return {};
    const RecordingEntry& e = shown_[static_cast<std::size_t>(row)];
    return MegabyteText(CountedSize(e.rearExpectedSize, e.rearBytes));
}

bool FileSelectModel::Checked(int row) const { return At(checked_, row); }

JoinRows FileSelectModel::RowsForRun() const {
    JoinRows rows;
    rows.checked = checked_;
    for (const RecordingEntry& e : shown_) {
        rows.damaged.push_back(IsDamaged(e));
        rows.needsRepair.push_back(needsRepair ? needsRepair(e) : false);
    }
    return rows;
}

void FileSelectModel::RecomputeRun() { run_ = FindJoinRun(RowsForRun()); }

void FileSelectModel::OnRowChecked(int row, bool checked) {
    if (row < 0 || row >= RowCount() || adjusting_) return;
    checked_[static_cast<std::size_t>(row)] = checked;
    if (!IsJoin()) return;
    adjusting_ = true;
    JoinRows rows = RowsForRun();
    run_ = ApplyJoinRun(rows, run_, row, checked);
    checked_ = rows.checked;
    adjusting_ = false;
}

std::vector<RecordingEntry> FileSelectModel::Result() const {
    std::vector<RecordingEntry> out;
    for (int i = 0; i < RowCount(); ++i)
        if (checked_[static_cast<std::size_t>(i)])
            out.push_back(shown_[static_cast<std::size_t>(i)]);
    return out;
}

std::optional<RowColours> FileSelectModel::RowColoursFor(int row) const {
    if (!IsJoin() || row < 0 || row >= RowCount()) return std::nullopt;
    const RecordingEntry& e = shown_[static_cast<std::size_t>(row)];
    if (IsDamaged(e)) return RowColours{kDamagedBackground, kDamagedText};
    if (e.joined == 1) return RowColours{kJoinedBackground, kJoinedText};
    return std::nullopt;
}

}  // namespace trivexa
