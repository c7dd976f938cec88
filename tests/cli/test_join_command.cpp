// trivexa-cli join run as a user would: real program, real clips.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "container/join_test_util.h"

namespace trivexa::test {
namespace {

TEST(CliJoinTest, JoinsPairedRecordingsAndReportsProgress) {
    TempDir dir;
    auto recs = ForgeRecordings(dir / "card", 2);
    fs::create_directories(dir / "out");
    const std::string cli = BuiltProgram("trivexa-cli").string();
    const std::string outDir = (dir / "out").string();

    // The first recording given by its rear clip: the pair is found and the
    // outputs take the first recording's names.
    CommandResult r = RunCommand({cli, "join", "--json", outDir, recs[0].rear, recs[1].front});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("progress 1/2"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("progress 2/2"), std::string::npos) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    const std::string front = (dir / "out" / fs::path(recs[0].front).filename()).string();
    const std::string rear = (dir / "out" / fs::path(recs[0].rear).filename()).string();
    EXPECT_EQ(j["recordings"], 2);
    EXPECT_EQ(j["front"]["path"], front);
    EXPECT_EQ(j["rear"]["path"], rear);
    EXPECT_EQ(j["front"]["size"], fs::file_size(front));
    EXPECT_EQ(j["front"]["indexEntries"],
              recs[0].frontReport.index.size() + recs[1].frontReport.index.size());
    const int records = recs[0].frontReport.sensorRecords + recs[1].frontReport.sensorRecords;
    EXPECT_EQ(j["front"]["sensorRecords"], records);

    // The sensor reader finds the merged block at the end of the joined clip.
    CommandResult s = RunCommand({cli, "sensors", "--json", front});
    ASSERT_EQ(s.exitCode, 0) << s.err;
    EXPECT_EQ(nlohmann::json::parse(s.out)["positions"].size(), static_cast<std::size_t>(records));

    // A second run does not replace the outputs unless told to.
    r = RunCommand({cli, "join", outDir, recs[0].front, recs[1].front});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("already exists"), std::string::npos) << r.err;
    r = RunCommand({cli, "join", "--force", outDir, recs[0].front, recs[1].front});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, front + "\n" + rear + "\n");

    // A write that fails part way (here a file-size limit, as on a full
    // disk) fails the join and leaves nothing under the output names.
    fs::create_directories(dir / "small");
    const std::string limit = "--fsize=" + std::to_string(fs::file_size(front) / 2);
    r = RunCommand(
        {"prlimit", limit, cli, "join", (dir / "small").string(), recs[0].front, recs[1].front});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    EXPECT_TRUE(Listing(dir / "small").empty());

    // Usage and unreadable input.
    EXPECT_EQ(RunCommand({cli, "join", outDir}).exitCode, 2);
    EXPECT_EQ(RunCommand({cli, "join", (dir / "none").string(), recs[0].front}).exitCode, 1);
    EXPECT_EQ(RunCommand({cli, "join", outDir, (dir / "nothing.AVI").string()}).exitCode, 1);
}

}  // namespace
}  // namespace trivexa::test
