// The file selection dialog's rules: the join run, the size totals and their
// limits, the 1500-entry cut and the rows each mode offers.
#include <gtest/gtest.h>

#include <string>

#include "browser/model/file_select_model.h"

namespace trivexa {
namespace {

constexpr std::int64_t kMb = kBytesPerMegabyte;

// Rows as a string, one character each:
//   '.' unchecked, 'x' checked, 'd' damaged without a repaired copy,
//   'r' damaged with a repaired copy (checked: 'R').
JoinRows Rows(const std::string& text) {
    JoinRows rows;
    for (char c : text) {
        rows.checked.push_back(c == 'x' || c == 'R');
        rows.damaged.push_back(c == 'd' || c == 'r' || c == 'R');
        rows.needsRepair.push_back(c == 'd');
    }
    return rows;
}

std::string Text(const JoinRows& rows) {
    std::string out;
    for (std::size_t i = 0; i < rows.checked.size(); ++i) {
        if (rows.needsRepair[i])
            out += 'd';
        else if (rows.damaged[i])
            out += rows.checked[i] ? 'R' : 'r';
        else
            out += rows.checked[i] ? 'x' : '.';
    }
    return out;
}

// The user clicks `row` in `before`; the rows after the dialog's rule.
std::string Click(const std::string& before, int row) {
    JoinRows rows = Rows(before);
    const JoinRun run = FindJoinRun(rows);
    const bool now = !rows.checked[static_cast<std::size_t>(row)];
    rows.checked[static_cast<std::size_t>(row)] = now;
    ApplyJoinRun(rows, run, row, now);
    return Text(rows);
}

struct ClickCase {
    const char* what;
    const char* before;
    int row;
    const char* after;
};

class JoinRunClicks : public ::testing::TestWithParam<ClickCase> {};

TEST_P(JoinRunClicks, KeepOneRunOfUndamagedRecordings) {
    const ClickCase& c = GetParam();
    EXPECT_EQ(Click(c.before, c.row), c.after) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JoinRunClicks,
    ::testing::Values(
        ClickCase{"checking row 5 after 2-3 fills row 4", "..xx....", 5, "..xxxx.."},
        ClickCase{"checking row 0 then extends the run back", "..xxxx..", 0, "xxxxxx.."},
        ClickCase{"a damaged row alone is unchecked at once", "..d.....", 2, "..d....."},
        ClickCase{"a damaged row next to the run is refused, the gap filled", "xx.d....", 3,
                  "xxxd...."},
        ClickCase{"the first check starts the run", "........", 3, "...x...."},
        ClickCase{"unchecking inside cuts the run there", "xxxxxx..", 3, "xxx....."},
        ClickCase{"unchecking the first row shortens it", "xxxx....", 0, ".xxx...."},
        ClickCase{"unchecking the last row", "xxxx....", 3, "xxx....."},
        ClickCase{"a check beyond a damaged row is taken back", "..xx.d..", 6, "..xxxd.."},
        ClickCase{"extending back stops at a damaged row", "..d.xx", 0, "xxd..."},
        ClickCase{"a damaged row with a repaired copy still ends the run", "xx.r..", 4, "xxxr.."}),
    [](const ::testing::TestParamInfo<ClickCase>& info) {
        return "Case" + std::to_string(info.index);
    });

TEST(JoinRun, FindsTheRunLikeTheDialog) {
    EXPECT_EQ(FindJoinRun(Rows("......")), (JoinRun{-1, -1}));
    EXPECT_EQ(FindJoinRun(Rows("..xx..")), (JoinRun{2, 4}));
    // Checked to the end: one past the last row that needs no repair.
    EXPECT_EQ(FindJoinRun(Rows("..xxxx")), (JoinRun{2, 6}));
    EXPECT_EQ(FindJoinRun(Rows("dxx")), (JoinRun{1, 3}));
    // A checked row that needs repair is never the start; one that is
    // checked but damaged with a copy is.
    EXPECT_EQ(FindJoinRun(Rows("..Rx..")), (JoinRun{2, 4}));
}

RecordingEntry Entry(const std::string& name, std::int64_t front, std::int64_t rear) {
    RecordingEntry e;
    e.frontName = name;
    e.frontPath = "/card/Normal/Front/" + name;
    e.frontExpectedSize = front;
    e.rearExpectedSize = rear;
    return e;
}

TEST(SelectionSizes, JoinLimitsOf1024MegabytesAnd100Files) {
    std::vector<RecordingEntry> rows = {Entry("A___-230715-081522-000001F.AVI", 512 * kMb, kMb),
                                        Entry("A___-230715-081622-000002F.AVI", 512 * kMb, 0)};
    std::vector<bool> both = {true, true};
    SelectionSizes z = ComputeSizes(FileSelectMode::kJoin, rows, both);
    EXPECT_EQ(z.totalText, "1024 MB");
    EXPECT_EQ(z.rearText, "1 MB");
    EXPECT_FALSE(z.frontOverSize);
    EXPECT_EQ(z.frontFiles, 2);
    EXPECT_EQ(z.rearFiles, 1);
    EXPECT_TRUE(z.okEnabled);  // two front files
    EXPECT_EQ(JudgeSelection(z), SelectionVerdict::kAccept);

    rows[1].frontExpectedSize = 513 * kMb;
    z = ComputeSizes(FileSelectMode::kJoin, rows, both);
    EXPECT_EQ(z.totalText, "1025 MB");
    EXPECT_TRUE(z.frontOverSize);
    EXPECT_FALSE(z.rearOverSize);
    EXPECT_EQ(JudgeSelection(z), SelectionVerdict::kTooLarge);

    // One file of each camera is nothing to join.
    z = ComputeSizes(FileSelectMode::kJoin, rows, {true, false});
    EXPECT_FALSE(z.okEnabled);

    std::vector<RecordingEntry> many(101, Entry("A___-230715-081522-000001F.AVI", kMb, kMb));
    std::vector<bool> all(101, true);
    z = ComputeSizes(FileSelectMode::kJoin, many, all);
    EXPECT_TRUE(z.frontOverCount);
    EXPECT_EQ(JudgeSelection(z), SelectionVerdict::kTooMany);
    all[100] = false;
    EXPECT_EQ(JudgeSelection(ComputeSizes(FileSelectMode::kJoin, many, all)),
              SelectionVerdict::kAccept);
    // Size is judged before count.
    many[0].rearExpectedSize = 2000 * kMb;
    all[100] = true;
    EXPECT_EQ(JudgeSelection(ComputeSizes(FileSelectMode::kJoin, many, all)),
              SelectionVerdict::kTooLarge);
}

TEST(SelectionSizes, DeleteTotalsBothCamerasAndNeedsOneFile) {
    const std::vector<RecordingEntry> rows = {Entry("a", 3 * kMb + 5, 2 * kMb), Entry("b", 0, 0)};
    SelectionSizes z = ComputeSizes(FileSelectMode::kDelete, rows, {true, false});
    EXPECT_EQ(z.totalText, "5 MB");
    EXPECT_TRUE(z.okEnabled);
    EXPECT_EQ(JudgeSelection(z), SelectionVerdict::kAccept);
    // A recording without known sizes counts no file.
    z = ComputeSizes(FileSelectMode::kDelete, rows, {false, true});
    EXPECT_EQ(z.totalText, "0 MB");
    EXPECT_FALSE(z.okEnabled);
    EXPECT_EQ(MegabyteText(-1), "0 MB");
}

TEST(FileSelectModel, OffersAtMost1500AndTheRowsOfItsMode) {
    std::vector<RecordingEntry> big(1501, Entry("A___-230715-081522-000001F.AVI", kMb, kMb));
    FileSelectModel model(FileSelectMode::kDelete);
    EXPECT_FALSE(model.SetDisplayed(big));
    big.pop_back();
    EXPECT_TRUE(model.SetFullList(big));
    model.Fill(false);
    EXPECT_EQ(model.RowCount(), 1500);
    model.Fill(true);
    EXPECT_EQ(model.RowCount(), 1500);

    // The join dialog takes AVI files only; a rear-only recording shows its
    // rear name.
    RecordingEntry rearOnly;
    rearOnly.rearName = "A___-230715-081522-000003R.AVI";
    rearOnly.rearPath = "/card/Normal/Rear/" + rearOnly.rearName;
    rearOnly.rearExpectedSize = 7 * kMb;
    const std::vector<RecordingEntry> mixed = {Entry("A___-230715-081522-000001F.avi", kMb, 0),
                                               Entry("A___-230715-081522-000002F.MP4", kMb, 0),
                                               rearOnly};
    FileSelectModel join(FileSelectMode::kJoin);
    join.SetDisplayed(mixed);
    join.Fill(false);
    ASSERT_EQ(join.RowCount(), 2);
    EXPECT_EQ(join.NameText(1), rearOnly.rearName);
    EXPECT_EQ(join.FrontSizeText(1), "0 MB");
    EXPECT_EQ(join.RearSizeText(1), "7 MB");
    FileSelectModel del(FileSelectMode::kDelete);
    del.SetDisplayed(mixed);
    del.Fill(false);
    EXPECT_EQ(del.RowCount(), 3);
}

// A clip cut off by a power loss has no expected size: it counts, and shows,
// with its size on disk, so its recording can be deleted.
TEST(FileSelectModel, AFileWithoutExpectedSizeCountsItsSizeOnDisk) {
    RecordingEntry cut = Entry("A__S-240518-151000-000108F.AVI", 0, 0);
    cut.frontDamaged = true;
    cut.frontBytes = 7 * kMb;
    cut.rearBytes = 5 * kMb;
    FileSelectModel del(FileSelectMode::kDelete);
    del.SetDisplayed({cut, Entry("A___-230715-081522-000001F.AVI", 3 * kMb, 2 * kMb)});
    del.Fill(false);
    EXPECT_EQ(del.FrontSizeText(0), "7 MB");
    EXPECT_EQ(del.RearSizeText(0), "5 MB");
    del.OnRowChecked(0, true);
    EXPECT_EQ(del.Sizes().totalText, "12 MB");
    EXPECT_TRUE(del.Sizes().okEnabled);
    // An expected size wins over the size on disk; a placeholder counts 0.
    RecordingEntry both = Entry("A___-230715-081522-000002F.AVI", 3 * kMb, 0);
    both.frontBytes = 9 * kMb;
    both.rearExpectedSize = -1;
    both.rearBytes = 4 * kMb;
    const SelectionSizes z = ComputeSizes(FileSelectMode::kDelete, {both}, {true});
    EXPECT_EQ(z.totalText, "3 MB");
    EXPECT_EQ(z.frontFiles + z.rearFiles, 1);
}

TEST(FileSelectModel, SelectAllInJoinModeChecksOnlyTheFirstRun) {
    std::vector<RecordingEntry> rows;
    for (int i = 0; i < 6; ++i)
        rows.push_back(Entry("A___-230715-081522-00000" + std::to_string(i) + "F.AVI", kMb, kMb));
    rows[3].frontDamaged = 1;
    rows[4].joined = 1;
    FileSelectModel model(FileSelectMode::kJoin);
    model.needsRepair = [](const RecordingEntry& e) { return e.frontDamaged == 1; };
    model.SetDisplayed(rows);
    model.Refill(false, true);
    EXPECT_EQ(model.CheckedRows(), (std::vector<bool>{true, true, true, false, false, false}));
    EXPECT_EQ(model.Run(), (JoinRun{0, 3}));
    EXPECT_EQ(model.Result().size(), 3u);
    // A damaged recording with a repaired copy ends the run as well: a click
    // on it is refused, and so is select-all's check.
    FileSelectModel repaired(FileSelectMode::kJoin);
    repaired.needsRepair = [](const RecordingEntry&) { return false; };
    repaired.SetDisplayed(rows);
    repaired.Refill(false, true);
    EXPECT_EQ(repaired.CheckedRows(), (std::vector<bool>{true, true, true, false, false, false}));
    EXPECT_EQ(repaired.Run(), (JoinRun{0, 3}));
    repaired.OnRowChecked(3, true);
    EXPECT_FALSE(repaired.Checked(3));
    // Colours: damaged yellow on pink, joined magenta on yellow, others none.
    ASSERT_TRUE(model.RowColoursFor(3).has_value());
    EXPECT_EQ(model.RowColoursFor(3)->background, 0xEEBACBu);
    EXPECT_EQ(model.RowColoursFor(3)->text, 0xFFFF00u);
    EXPECT_EQ(model.RowColoursFor(4)->background, 0xFFFF00u);
    EXPECT_EQ(model.RowColoursFor(4)->text, 0xFF00FFu);
    EXPECT_FALSE(model.RowColoursFor(0).has_value());

    // The delete dialog checks everything and draws no colours.
    FileSelectModel del(FileSelectMode::kDelete);
    del.SetDisplayed(rows);
    del.Refill(false, true);
    EXPECT_EQ(del.Result().size(), 6u);
    EXPECT_FALSE(del.RowColoursFor(3).has_value());
    // A click in the delete dialog changes only that row.
    del.OnRowChecked(2, false);
    EXPECT_EQ(del.Result().size(), 5u);
}

}  // namespace
}  // namespace trivexa
