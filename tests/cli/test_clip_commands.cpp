#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "container/container_test_util.h"
#include "container/join_test_util.h"

namespace trivexa {
namespace {

using namespace test;

CommandResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), BuiltProgram("trivexa-cli").string());
    return RunCommand(args);
}

TEST(CliClipCommands, CheckInfoAndRepair) {
    TempDir dir;
    const Forged intact = Forge(dir, Spec(kFrontName));
    CommandResult r = Cli({"check", intact.path.string()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "0 " + std::to_string(intact.report.fileSize) + "\n");

    r = Cli({"info", "--json", intact.path.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["layout"], "full");
    EXPECT_EQ(j["fileSize"], intact.report.fileSize);
    EXPECT_EQ(j["streamFrames"], 60);
    EXPECT_EQ(j["totalFrames"], 60);
    EXPECT_DOUBLE_EQ(j["frameRate"].get<double>(), 30.0);
    EXPECT_NEAR(j["durationSeconds"].get<double>(), 2.0, 1e-9);
    EXPECT_EQ(j["resolutionClass"], "");
    EXPECT_EQ(j["indexEntries"], intact.report.index.size());
    EXPECT_EQ(j["audioChunks"], intact.report.audioChunks);
    EXPECT_EQ(j["moviSize"], intact.report.moviListSize);
    EXPECT_EQ(j["sensorRecords"], intact.report.sensorRecords);
    EXPECT_EQ(j["check"], 0);
    EXPECT_EQ(j["expectedSize"], intact.report.fileSize);

    cf::ClipSpec spec = Spec(kRearName);
    spec.damage.indexLost = true;
    const Forged damaged = Forge(dir, spec);
    r = Cli({"check", damaged.path.string()});
    EXPECT_EQ(r.out, "1 0\n");
    EXPECT_EQ(Cli({"repair", damaged.path.string(), (dir / "fixed.AVI").string()}).exitCode, 0);
    EXPECT_EQ(Cli({"check", (dir / "fixed.AVI").string()}).out.substr(0, 2), "0 ");
    // A folder as OUT receives the copy under the clip's name.
    std::filesystem::create_directories(dir / "outdir");
    EXPECT_EQ(Cli({"repair", damaged.path.string(), (dir / "outdir").string()}).exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "outdir" / kRearName));

    // Failures and bad usage.
    r = Cli({"check", (dir / "missing.AVI").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "2 0\n");
    EXPECT_EQ(Cli({"info", (dir / "missing.AVI").string()}).exitCode, 1);
    EXPECT_EQ(Cli({"repair", intact.path.string(), intact.path.string()}).exitCode, 1);
    EXPECT_EQ(ReadFile(intact.path).size(), intact.report.fileSize);
    WriteFile(dir / "junk.AVI", std::string(2000, 'j'));
    EXPECT_EQ(Cli({"repair", (dir / "junk.AVI").string(), (dir / "j.AVI").string()}).exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "j.AVI"));
    EXPECT_EQ(Cli({"check"}).exitCode, 2);
    EXPECT_EQ(Cli({"info", "--bogus", "x"}).exitCode, 2);
    EXPECT_EQ(Cli({"repair", "x"}).exitCode, 2);
}

TEST(CliClipCommands, RepairNeverReplacesWithoutForceAndFailsCleanlyAtASizeLimit) {
    TempDir dir;
    cf::ClipSpec spec = Spec(kRearName);
    spec.damage.indexLost = true;
    const Forged damaged = Forge(dir, spec);
    const std::string clip = ReadFile(damaged.path);
    const std::filesystem::path out = dir / "fixed.AVI";
    WriteFile(out, "mine");

    // The clip through a link or another spelling is still the clip.
    std::filesystem::create_symlink(damaged.path, dir / "link.AVI");
    for (const std::filesystem::path& target : {dir / "link.AVI", dir / "." / kRearName}) {
        EXPECT_EQ(Cli({"repair", "--force", damaged.path.string(), target.string()}).exitCode, 1)
            << target;
    }
    EXPECT_TRUE(ReadFile(damaged.path) == clip) << "the clip was changed";

    CommandResult r = Cli({"repair", damaged.path.string(), out.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
    EXPECT_TRUE(ReadFile(out) == "mine") << "the existing output was changed";
    EXPECT_EQ(Cli({"repair", "--force", damaged.path.string(), out.string()}).exitCode, 0);
    EXPECT_EQ(Cli({"check", out.string()}).out.substr(0, 2), "0 ");

    // A file-size limit below the copy's size: exit 1, not SIGXFSZ, and no
    // part left beside the output.
    if (!std::filesystem::exists("/usr/bin/prlimit")) GTEST_SKIP() << "prlimit is not installed";
    const std::filesystem::path limited = dir / "limited.AVI";
    r = RunCommand({"/usr/bin/prlimit", "--fsize=4096", BuiltProgram("trivexa-cli").string(),
                    "repair", damaged.path.string(), limited.string()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_FALSE(std::filesystem::exists(limited));
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_NE(e.path().extension(), ".part") << e.path();
}

TEST(CliJson, AJoinIntoAFolderNamedOutsideUtf8ReportsItsOutputsExactly) {
    TempDir dir;
    const auto recs = ForgeRecordings(dir / "card", 2);
    const std::filesystem::path out = dir / "out\xFF";
    std::filesystem::create_directories(out);
    const CommandResult r =
        Cli({"join", "--json", out.string(), recs[0].front, recs[1].front});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    const std::string expected = (out / std::filesystem::path(recs[0].front).filename()).string();
    ASSERT_TRUE(std::filesystem::exists(expected));
    // The exact bytes, base64 as RFC 4648 writes them.
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded;
    for (std::size_t i = 0; i < expected.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, expected.size() - i);
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 3; ++k)
            v = (v << 8) | (k < n ? static_cast<unsigned char>(expected[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            encoded.push_back(k <= n ? kAlphabet[(v >> (18 - 6 * k)) & 0x3F] : '=');
    }
    EXPECT_EQ(j["front"]["pathBase64"], encoded) << r.out;
}

}  // namespace
}  // namespace trivexa
