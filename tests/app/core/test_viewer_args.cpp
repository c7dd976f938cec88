// The viewer's command line, as a table: what each line asks for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/core/viewer_args.h"

namespace trivexa {
namespace {

using A = ViewerArgsAction;

TEST(ViewerArgs, EachLineAsksForOneThing) {
    struct Row {
        std::vector<std::string> args;
        A action;
        std::string source;
        std::string error;
    };
    const std::vector<Row> rows = {
        {{}, A::kRun, "", ""},
        {{"/media/card"}, A::kRun, "/media/card", ""},
        {{"--version"}, A::kVersion, "", ""},
        {{"card", "--help"}, A::kHelp, "", ""},
        {{"-h"}, A::kHelp, "", ""},
        // "--version" was once opened as a source.
        {{"--bogus"}, A::kUsageError, "", "unknown option --bogus"},
        {{"-x", "card"}, A::kUsageError, "", "unknown option -x"},
        {{"a", "b"}, A::kUsageError, "a", "more than one source: b"},
        {{"--", "--version"}, A::kRun, "--version", ""},
        {{"--", "-"}, A::kRun, "-", ""},
        {{""}, A::kUsageError, "", "empty source"},
    };
    for (const Row& r : rows) {
        const ViewerArgs got = ParseViewerArgs(r.args);
        const std::string line = r.args.empty() ? "(none)" : r.args.front();
        EXPECT_EQ(got.action, r.action) << line;
        EXPECT_EQ(got.error, r.error) << line;
        if (r.action == A::kRun) {
            EXPECT_EQ(got.source, r.source) << line;
        }
    }
    // Asked before the toolkit starts, whatever else the line holds.
    EXPECT_EQ(RequestedInformation(std::vector<std::string>{"-platform", "x", "--version"}),
              A::kVersion);
    EXPECT_EQ(RequestedInformation(std::vector<std::string>{"--", "--help"}), A::kRun);
    EXPECT_EQ(ViewerVersionLine().rfind("trivexa ", 0), 0u);
}

}  // namespace
}  // namespace trivexa
