// The join's failure wording: every code has its own line, and the line
// carries the detail the core reported.
#include <gtest/gtest.h>

#include <set>

#include "app/file_commands/join_texts.h"

namespace trivexa {
namespace {

TEST(JoinTexts, EveryCodeHasItsOwnLineWithItsDetail) {
    EXPECT_EQ(CoreErrorText({}), "");
    EXPECT_EQ(CoreErrorText({CoreErrorCode::kCannotWrite, "/o/f.AVI"}),
              "cannot write /o/f.AVI (disk full?)");
    EXPECT_EQ(CoreErrorText({CoreErrorCode::kTooManySensorRecords, "66000"}),
              "the joined clip would hold 66000 sensor records; at most 65535 fit");
    std::set<std::string> lines;
    const auto last = static_cast<int>(CoreErrorCode::kCannotRemove);
    for (int c = 1; c <= last; ++c) {
        const std::string line = CoreErrorText({static_cast<CoreErrorCode>(c), "DETAIL"});
        EXPECT_FALSE(line.empty()) << c;
        EXPECT_NE(line, "error") << c;  // a code without its own wording
        EXPECT_TRUE(lines.insert(line).second) << "two codes share " << line;
    }
}

TEST(JoinTexts, PreparationMessagesNameTheSpaceNumbers) {
    JoinPlan plan;
    plan.requiredBytes = 1234;
    plan.freeBytes = 99;
    EXPECT_EQ(JoinPrepareMessage(JoinPrepareResult::kNotEnoughSpace, plan),
              "not enough free space: 1234 bytes needed, 99 available");
    EXPECT_EQ(JoinPrepareMessage(JoinPrepareResult::kNoFolder, plan),
              "the output folder does not exist");
}

}  // namespace
}  // namespace trivexa
