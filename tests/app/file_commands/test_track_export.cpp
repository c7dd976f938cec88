// trivexa-cli track on forge clips: GPX that validates against the GPX 1.1
// schema, KML, both read by gpsbabel, and the recordings without a position
// left out.
#include <gtest/gtest.h>

#include <regex>

#include "app/file_commands/track_export.h"
#include "forge_card.h"

namespace trivexa::test {
namespace {

const fs::path kSchemas = fs::path(TRIVEXA_SOURCE_DIR) / "tests/app/file_commands/schemas";

bool Have(const std::string& program) {
    return RunCommand({"/bin/sh", "-c", "command -v " + program}).exitCode == 0;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The points gpsbabel reads from a track file, as lines of its unicsv output.
int GpsbabelPoints(const std::string& format, const fs::path& file) {
    const CommandResult r = RunCommand(
        {"gpsbabel", "-t", "-i", format, "-f", file.string(), "-o", "unicsv", "-F", "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    int n = -1;  // the header line
    while (std::getline(lines, line))
        if (!line.empty()) ++n;
    return n;
}

class TrackTest : public ::testing::Test {
protected:
    void SetUp() override {
        cli_ = BuiltProgram("trivexa-cli").string();
        // A drive whose fix is lost for five records, and a parked recording
        // that never has a fix.
        cf::ClipSpec drive = ForgeClip();
        drive.drive.records = 40;
        drive.drive.gapBegin = 10;
        drive.drive.gapEnd = 15;
        drive_ = dir_ / "A___-210503-070809-000001F.AVI";
        ASSERT_TRUE(cf::WriteClip(drive_, drive));
        cf::ClipSpec parked = ForgeClip();
        parked.drive.records = 20;
        parked.drive.parked = true;
        parked_ = dir_ / "P___-210503-080809-000002F.AVI";
        ASSERT_TRUE(cf::WriteClip(parked_, parked));
        cf::ClipSpec second = ForgeClip();
        second.drive.records = 20;
        second.drive.startLatitude = 34.70;
        second.drive.startLongitude = 135.49;
        second_ = dir_ / "A___-210503-090809-000003F.AVI";
        ASSERT_TRUE(cf::WriteClip(second_, second));
    }
    TempDir dir_;
    std::string cli_;
    fs::path drive_, parked_, second_;
};

TEST_F(TrackTest, GpxValidatesHasOneSegmentPerRecordingWithPositionsAndGpsbabelReadsIt) {
    const fs::path out = dir_ / "drive.gpx";
    const CommandResult r = RunCommand({cli_, "track", "--utc-offset", "+09:00", out.string(),
                                        drive_.string(), parked_.string(), second_.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, out.string() + "\n");
    const std::string gpx = ReadFile(out);

    // Two segments: the parked recording adds nothing. The lost fix leaves
    // out five records of the first.
    EXPECT_EQ(Count(gpx, "<trkseg>"), 2);
    const auto segment = [&](int i) {
        std::size_t from = 0;
        for (int k = 0; k <= i; ++k) from = gpx.find("<trkseg>", from + 1);
        return gpx.substr(from, gpx.find("</trkseg>", from) - from);
    };
    EXPECT_EQ(Count(segment(0), "<trkpt "), 35);
    EXPECT_EQ(Count(segment(1), "<trkpt "), 20);
    EXPECT_NE(gpx.find("<time>2021-05-03T07:08:09"), std::string::npos);
    EXPECT_NE(gpx.find("+09:00</time>"), std::string::npos);
    EXPECT_NE(gpx.find("speed>"), std::string::npos);
    EXPECT_EQ(gpx.find("720"), std::string::npos);

    if (!Have("xmllint")) GTEST_SKIP() << "xmllint (libxml2-utils) is not installed";
    const CommandResult lint = RunCommand(
        {"xmllint", "--noout", "--schema", (kSchemas / "gpx-1.1.xsd").string(), out.string()});
    EXPECT_EQ(lint.exitCode, 0) << lint.err;
    if (!Have("gpsbabel")) GTEST_SKIP() << "gpsbabel is not installed";
    EXPECT_EQ(GpsbabelPoints("gpx", out), 55);
}

TEST_F(TrackTest, KmlIsWellFormedWithOnePlacemarkPerRecordingAndGpsbabelReadsIt) {
    const fs::path out = dir_ / "drive.kml";
    const CommandResult r = RunCommand(
        {cli_, "track", out.string(), drive_.string(), parked_.string(), second_.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string kml = ReadFile(out);
    EXPECT_NE(kml.find("xmlns=\"http://www.opengis.net/kml/2.2\""), std::string::npos);
    EXPECT_EQ(Count(kml, "<Placemark>"), 2);
    EXPECT_EQ(Count(kml, "<LineString>"), 2);
    if (!Have("xmllint")) GTEST_SKIP() << "xmllint (libxml2-utils) is not installed";
    const CommandResult lint = RunCommand({"xmllint", "--noout", out.string()});
    EXPECT_EQ(lint.exitCode, 0) << lint.err;
    if (!Have("gpsbabel")) GTEST_SKIP() << "gpsbabel is not installed";
    EXPECT_EQ(GpsbabelPoints("kml", out), 55);
}

TEST_F(TrackTest, NoPositionAnywhereIsAnErrorAndWritesNothing) {
    const fs::path out = dir_ / "parked.gpx";
    const CommandResult r = RunCommand({cli_, "track", out.string(), parked_.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.empty());
    EXPECT_FALSE(fs::exists(out));
    // An existing file is kept unless --force.
    WriteFile(out, "mine");
    EXPECT_EQ(RunCommand({cli_, "track", out.string(), drive_.string()}).exitCode, 1);
    EXPECT_EQ(ReadFile(out), "mine");
    EXPECT_EQ(RunCommand({cli_, "track", "--force", out.string(), drive_.string()}).exitCode, 0);
    EXPECT_NE(ReadFile(out), "mine");
    EXPECT_EQ(
        RunCommand({cli_, "track", "--format", "svg", out.string(), drive_.string()}).exitCode, 2);
}

TEST_F(TrackTest, NeverReplacesARecordingAndASizeLimitFailsCleanly) {
    const std::string clip = ReadFile(drive_);
    // The clip itself as the output, under its own path, another spelling
    // and a link: refused even with --force.
    fs::create_symlink(drive_, dir_ / "link.gpx");
    for (const fs::path& out : {drive_, dir_ / "." / drive_.filename(), dir_ / "link.gpx"}) {
        const CommandResult r =
            RunCommand({cli_, "track", "--force", out.string(), drive_.string()});
        EXPECT_EQ(r.exitCode, 1) << out;
        EXPECT_NE(r.err.find("replace one of the recordings"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(ReadFile(drive_) == clip) << "the clip was changed";

    // Beyond the file-size limit: an error, not the end of the program, and
    // no part left in the folder.
    if (!Have("prlimit")) GTEST_SKIP() << "prlimit is not installed";
    const fs::path out = dir_ / "limited.gpx";
    const CommandResult r =
        RunCommand({"prlimit", "--fsize=1024", cli_, "track", out.string(), drive_.string()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_FALSE(fs::exists(out));
    for (const auto& e : fs::directory_iterator(dir_.path()))
        EXPECT_EQ(e.path().extension(), e.path().filename() == "link.gpx" ? ".gpx" : ".AVI")
            << e.path();
}

}  // namespace
}  // namespace trivexa::test
