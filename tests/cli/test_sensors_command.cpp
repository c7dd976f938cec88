// `trivexa-cli sensors`: the decoded header, entries and frame map of a clip
// as the viewer loads them, run as the real program.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "clipforge/clipforge.h"
#include "container/sensor_bytes.h"
#include "support/test_support.h"

namespace trivexa {
namespace {

namespace cf = clipforge;

TEST(SensorsCommand, PrintsEntriesAndFrameMap) {
    test::UseUtc();
    const std::string cli = test::BuiltProgram("trivexa-cli").string();
    cf::ClipSpec spec;
    cf::DriveScript script;
    script.records = 30;
    script.manualAt = 7;
    spec.sensor.samples = cf::ScriptedDrive(script);
    spec.video.rate = 10;  // 100 ms per frame: frame n is record n
    spec.name = "A___-230715-081522-000001F.AVI";
    spec.video.content = cf::VideoContent::Synthetic;
    spec.video.frames = 30;
    test::TempDir dir;
    const std::string clip = (dir / spec.name).string();
    std::string error;
    ASSERT_TRUE(cf::WriteClip(clip, spec, nullptr, &error)) << error;

    test::CommandResult r = test::RunCommand({cli, "sensors", "--json", clip});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["header"]["model"], "PL21-XQR");
    EXPECT_EQ(j["header"]["thresholds"].size(), 4u);
    ASSERT_EQ(j["positions"].size(), 30u);
    EXPECT_EQ(j["positions"][3]["time"], 300);
    EXPECT_EQ(j["positions"][0]["timestamp"], "2023-07-15T08:15:22");
    EXPECT_EQ(j["accel"][7]["event"], 5);
    EXPECT_EQ(j["vehicle"][0]["words"].size(), 18u);
    EXPECT_FALSE(j.contains("frameMap"));

    r = test::RunCommand({cli, "sensors", "--json", "--frames", "32", clip});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto f = nlohmann::json::parse(r.out);
    ASSERT_EQ(f["frameMap"].size(), 32u);
    EXPECT_EQ(f["frameMap"][4], 3);
    EXPECT_EQ(f["frameMap"][31], 29);
    EXPECT_EQ(f["positions"][3]["time"], 3);

    EXPECT_EQ(test::RunCommand({cli, "sensors", "--frames", "x", clip}).exitCode, 2);
    EXPECT_EQ(test::RunCommand({cli, "sensors", (dir / "none.AVI").string()}).exitCode, 1);
    r = test::RunCommand({cli, "sensors", clip});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("model PL21-XQR"), std::string::npos);
}

}  // namespace
}  // namespace trivexa
