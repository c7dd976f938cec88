// A source clip cut short (or its card pulled out) while a join copies it
// through mapped windows: the join fails with a read error, leaves no output,
// and the process goes on joining.
#include <gtest/gtest.h>

#include <atomic>

#include "container/concat.h"
#include "container/join_test_util.h"
#include "support/cut_when_mapped.h"

namespace trivexa::test {
namespace {

TEST(JoinCutShort, SourceCutWhileItsWindowIsCopiedFailsTheJoinCleanly) {
    TempDir dir;
    const auto recs = ForgeRecordings(dir / "card", 2);
    fs::create_directories(dir / "out");
    const std::string frontOut = (dir / "out" / fs::path(recs[0].front).filename()).string();
    const std::string rearOut = (dir / "out" / fs::path(recs[0].rear).filename()).string();
    JoinOptions mapped;
    mapped.mappedCopy = true;

    // The second front clip loses everything past its header right after
    // its chunk data has been mapped for copying (the first view mapped is
    // the first front clip's).
    const std::string saved = ReadFile(recs[1].front);
    {
        CutWhenMapped cut(recs[1].front, 4096, /*skip=*/1);
        std::atomic<bool> cancel{false};
        JoinSummary summary;
        EXPECT_EQ(JoinRecordings(Selection(recs), frontOut, rearOut, cancel, {}, mapped, &summary),
                  JoinResult::kFailed);
        EXPECT_TRUE(CutWhenMapped::Cut());
        EXPECT_EQ(summary.error.detail, recs[1].front);
        EXPECT_TRUE(summary.error.code == CoreErrorCode::kCannotRead ||
                    summary.error.code == CoreErrorCode::kCannotReadCutShort)
            << static_cast<int>(summary.error.code);
        EXPECT_TRUE(fs::is_empty(dir / "out"));
    }

    // The process goes on: with the clip back, the same join succeeds.
    WriteFile(recs[1].front, saved);
    std::atomic<bool> cancel{false};
    EXPECT_EQ(JoinRecordings(Selection(recs), frontOut, rearOut, cancel, {}, mapped),
              JoinResult::kDone);
    EXPECT_TRUE(fs::exists(frontOut));
    EXPECT_TRUE(fs::exists(rearOut));
}

}  // namespace
}  // namespace trivexa::test
