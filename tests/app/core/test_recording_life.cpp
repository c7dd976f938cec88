// The recording's life as decisions: reports that complete an open, what an
// open's result shows, where playback goes at the end, event jumps and the
// recorder's model code.
#include <gtest/gtest.h>

#include <vector>

#include "app/core/recording_life.h"

namespace trivexa {
namespace {

TEST(RecordingLife, ReportsAndOpenOutcomes) {
    EXPECT_EQ(ExpectedReports(true, true), 2);
    EXPECT_EQ(ExpectedReports(false, true), 1);  // a rear-only recording
    EXPECT_EQ(ExpectedReports(true, false), 1);
    EXPECT_EQ(ExpectedReports(false, false), 0);

    struct Case {
        int combined;
        OpenOutcome outcome;
        int message;
    };
    for (const Case& c : std::vector<Case>{{0, OpenOutcome::kFailed, 96},
                                           {1, OpenOutcome::kOpened, 96},
                                           {2, OpenOutcome::kTooShort, 97},
                                           {3, OpenOutcome::kTooShort, 97}}) {
        EXPECT_EQ(ClassifyOpen(c.combined), c.outcome) << c.combined;
        if (c.outcome != OpenOutcome::kOpened) {
            EXPECT_EQ(OpenFailureMessageId(c.outcome), c.message) << c.combined;
        }
    }
}

TEST(RecordingLife, EndOfRecordingGoesToTheNextRowThenTheNextFolder) {
    struct Case {
        int row, rows;
        bool nextNode;
        EndStep step;
    };
    for (const Case& c : std::vector<Case>{{0, 3, true, EndStep::kNextRow},
                                           {1, 3, false, EndStep::kNextRow},
                                           {2, 3, true, EndStep::kNextFolder},
                                           {2, 3, false, EndStep::kStopAtStart},
                                           {0, 1, false, EndStep::kStopAtStart},
                                           {-1, 3, true, EndStep::kNothing},
                                           {3, 3, true, EndStep::kNothing},
                                           {0, 0, true, EndStep::kNothing}})
        EXPECT_EQ(EndOfRecordingStep(c.row, c.rows, c.nextNode), c.step)
            << c.row << "/" << c.rows << " " << c.nextNode;
}

TEST(RecordingLife, EventJumpsWrapAround) {
    const std::vector<std::int64_t> events{30, 90, 150};
    EXPECT_EQ(NextEventIndex(events, 0), 0u);
    EXPECT_EQ(NextEventIndex(events, 30), 1u);   // strictly after the cursor
    EXPECT_EQ(NextEventIndex(events, 150), 0u);  // past the last: the first
    EXPECT_EQ(PreviousEventIndex(events, 100, 200), 1u);
    EXPECT_EQ(PreviousEventIndex(events, 90, 200), 0u);  // strictly before
    // Before the first: the last event of the recording.
    EXPECT_EQ(PreviousEventIndex(events, 10, 200), 2u);
    // An event past the duration is not the recording's last.
    EXPECT_EQ(PreviousEventIndex(events, 10, 100), 1u);
    const std::vector<std::int64_t> none;
    EXPECT_EQ(NextEventIndex(none, 0), std::nullopt);
    EXPECT_EQ(PreviousEventIndex(none, 50, 100), std::nullopt);
}

TEST(RecordingLife, ModelCodeFromTheRecordedModelText) {
    EXPECT_EQ(ModelCodeOf("PL35-XQR"), 2);
    EXPECT_EQ(ModelCodeOf("PL21-XQR"), 1);
    EXPECT_EQ(ModelCodeOf(std::string_view("PL21-XQR\0\0", 10)), 1);
    EXPECT_EQ(ModelCodeOf("PL21-XQR  "), 1);
    EXPECT_EQ(ModelCodeOf("PL21-XQ"), 0);
    EXPECT_EQ(ModelCodeOf(""), 0);
}

}  // namespace
}  // namespace trivexa
