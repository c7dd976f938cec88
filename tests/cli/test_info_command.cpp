// `trivexa-cli info` tells the records that decode apart from the count the
// sensor block's header claims.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "container/container_test_util.h"
#include "container/integrity.h"

namespace trivexa {
namespace {

using namespace test;

nlohmann::json Info(const std::filesystem::path& clip) {
    const CommandResult r =
        RunCommand({BuiltProgram("trivexa-cli").string(), "info", "--json", clip.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.exitCode == 0 ? nlohmann::json::parse(r.out) : nlohmann::json{};
}

TEST(CliInfo, SensorRecordsAreTheRecordsThatDecode) {
    TempDir dir;
    // "Read until the trailer": the header says 0xFFFF.
    cf::ClipSpec spec = Spec(kFrontName);
    spec.sensor.countMode = cf::CountMode::Unlimited;
    const Forged unlimited = Forge(dir, spec);
    nlohmann::json j = Info(unlimited.path);
    EXPECT_EQ(j["sensorRecords"], unlimited.report.sensorRecords);
    EXPECT_EQ(j["sensorHeaderCount"], 0xFFFF);

    // A repaired copy carries no block: where its header would be there are
    // index bytes and "CCCCCCCC", whose "CC" reads as a count of 0x4343.
    spec = Spec(kFrontName);
    spec.damage.indexLost = true;
    const Forged damaged = Forge(dir, spec);
    RepairJob job;
    const std::filesystem::path copy = dir / "repaired" / kFrontName;
    ASSERT_TRUE(RepairClip(job, damaged.path, copy));
    j = Info(copy);
    EXPECT_EQ(j["sensorRecords"], 0);
    EXPECT_EQ(j["sensorHeaderCount"], 0x4343);

    // The clip information reads no block of a rear clip; its records still
    // decode for the viewer.
    const Forged rear = Forge(dir, Spec(kRearName));
    j = Info(rear.path);
    EXPECT_EQ(j["sensorRecords"], rear.report.sensorRecords);
    EXPECT_TRUE(j["sensorHeaderCount"].is_null());
}

}  // namespace
}  // namespace trivexa
