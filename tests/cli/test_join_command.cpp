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

// What a user meets joining again into the same folder, and the refusals:
// a second join whose last recording has no rear clip replaces the front
// output with --force and removes the earlier rear output, saying so; a
// damaged recording is refused by name with the advice to repair it; the
// recordings' own folder (by any path) is never an output folder.
TEST(CliJoinTest, ASecondJoinAndTheRefusals) {
    TempDir dir;
    auto recs = ForgeRecordings(dir / "card", 3);
    const std::string cli = BuiltProgram("trivexa-cli").string();
    fs::create_directories(dir / "out");
    const std::string outDir = (dir / "out").string();
    const std::string front = (dir / "out" / fs::path(recs[0].front).filename()).string();
    const std::string rear = (dir / "out" / fs::path(recs[0].rear).filename()).string();
    CommandResult r = RunCommand({cli, "join", outDir, recs[0].front, recs[1].front});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    fs::remove(recs[2].rear);
    r = RunCommand({cli, "join", outDir, recs[0].front, recs[1].front, recs[2].front});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("already exists"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(rear));
    r = RunCommand(
        {cli, "join", "--json", "--force", outDir, recs[0].front, recs[1].front, recs[2].front});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["front"]["path"], front);
    EXPECT_TRUE(j["rear"].is_null());
    EXPECT_EQ(j["removed"], rear);
    EXPECT_EQ(Listing(dir / "out"),
              (std::vector<std::string>{fs::path(front).filename().string()}));
    EXPECT_EQ(CountVideoPackets(front), 20 + 25 + 30);
    // Text output: the written path on standard output, the removal on error.
    fs::create_directories(dir / "again");
    WriteFile(dir / "again" / fs::path(rear).filename(), "an earlier rear clip");
    r = RunCommand(
        {cli, "join", "--force", (dir / "again").string(), recs[0].front, recs[2].front});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, (dir / "again" / fs::path(front).filename()).string() + "\n");
    EXPECT_NE(r.err.find("removed " + (dir / "again" / fs::path(rear).filename()).string()),
              std::string::npos)
        << r.err;

    // One entry too many in the second recording's front index.
    {
        std::string b = ReadFile(recs[1].front);
        const std::size_t at = recs[1].frontReport.idx1Offset + 4;
        const std::uint32_t v = Le32At(b, at) + 16;
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        WriteFile(recs[1].front, b);
    }
    fs::create_directories(dir / "damaged");
    r = RunCommand(
        {cli, "join", "--force", (dir / "damaged").string(), recs[0].front, recs[1].front});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(recs[1].front + " is damaged; repair it first"), std::string::npos)
        << r.err;
    EXPECT_TRUE(Listing(dir / "damaged").empty());

    // The recordings' own folder, given directly or through a link.
    const std::string before = ReadFile(recs[0].front);
    fs::create_directory_symlink(dir / "card" / "Front", dir / "link");
    for (const fs::path& target : {dir / "card" / "Front", dir / "link", dir / "card" / "Rear"}) {
        r = RunCommand({cli, "join", "--force", target.string(), recs[0].front});
        EXPECT_EQ(r.exitCode, 1) << target;
        EXPECT_NE(r.err.find("holds the recordings being joined"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(ReadFile(recs[0].front) == before);
}

}  // namespace
}  // namespace trivexa::test
