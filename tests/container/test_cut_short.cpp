// Clips cut short (as another program may do, or a card pulled out of its
// slot) while the repair scan and the sensor reader are reading them through
// mapped views: each operation fails with a read error, nothing is left
// behind, and the process goes on to read the next clip.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "container/container_test_util.h"
#include "container/integrity.h"
#include "container/sensor_reader.h"
#include "platform/mapping.h"
#include "support/cut_when_mapped.h"

namespace trivexa {
namespace {

using namespace test;

const std::uint64_t kPage = platform::AllocationGranularity();

std::uint64_t PageBelow(std::uint64_t bytes) { return bytes / kPage * kPage; }

Forged DamagedClip(const TempDir& dir, const std::string& name) {
    cf::ClipSpec spec = Spec(name);
    spec.video.frames = 300;
    spec.damage.indexLost = true;
    return Forge(dir, spec);
}

bool OnlyFinishedFiles(const std::filesystem::path& folder) {
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string().front() == '.') return false;
    return true;
}

TEST(CutShort, RepairOfAClipCutWhileScannedOrCopiedFailsAsAReadError) {
    TempDir dir;
    std::filesystem::create_directories(dir / "out");
    const std::filesystem::path out = dir / "out" / kRearName;
    // Cut while the scan reads its window (the first view it maps), and while
    // the copy writes from its window (the second).
    for (int view : {0, 1}) {
        const Forged clip = DamagedClip(dir, kRearName);
        const std::uint64_t faults = platform::GuardedFaultCount();
        RepairJob job;
        {
            CutWhenMapped cut(clip.path.string(), PageBelow(clip.report.fileSize / 3), view);
            EXPECT_FALSE(RepairClip(job, clip.path, out)) << view;
            EXPECT_TRUE(CutWhenMapped::Cut()) << view;
        }
        EXPECT_TRUE(job.readFailed) << view;
        if (view == 0) {
            EXPECT_GT(platform::GuardedFaultCount(), faults);
        }
        EXPECT_FALSE(std::filesystem::exists(out)) << view;
        EXPECT_TRUE(OnlyFinishedFiles(dir / "out")) << view;
    }

    // The process goes on: the next clip repairs as usual.
    const Forged clip = DamagedClip(dir, kRearName);
    RepairJob job;
    EXPECT_TRUE(RepairClip(job, clip.path, out));
    EXPECT_FALSE(job.readFailed);
    EXPECT_EQ(CheckClip(out), ClipCheck::kIntact);
}

class CutShortSensors : public ::testing::Test {
protected:
    void SetUp() override {
        SetMappingErrorHandler([this](const std::string& text) { reported.push_back(text); });
    }
    void TearDown() override { SetMappingErrorHandler({}); }

    Forged Clip(int slots) {
        cf::ClipSpec spec = Spec(kFrontName);
        spec.video.frames = 300;
        spec.sensor.slots = slots;
        return Forge(dir, spec);
    }

    TempDir dir;
    std::vector<std::string> reported;
};

TEST_F(CutShortSensors, BlockSearchedInPlaceWhileTheClipIsCutFailsTheLoad) {
    // A small block: the reader searches the last quarter of the file in
    // place, and the clip loses that quarter right after it is mapped.
    const Forged clip = Clip(0);
    ASSERT_LT(clip.report.fileSize, sensor::kUsualBlockSize);
    const std::uint64_t faults = platform::GuardedFaultCount();
    SensorReader reader;
    ASSERT_TRUE(reader.Init());
    {
        CutWhenMapped cut(clip.path.string(), PageBelow(clip.report.fileSize / 2));
        EXPECT_FALSE(reader.Load(clip.path.string()));
        EXPECT_TRUE(CutWhenMapped::Cut());
    }
    EXPECT_GT(platform::GuardedFaultCount(), faults);
    EXPECT_FALSE(reader.Loaded());
    EXPECT_TRUE(reader.Positions().empty());
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], std::generic_category().message(EIO));

    // The process goes on: the next clip loads.
    EXPECT_TRUE(reader.Load(Clip(0).path.string()));
    EXPECT_EQ(reader.Positions().size(), static_cast<std::size_t>(clip.report.sensorRecords));
}

TEST_F(CutShortSensors, UsualBlockCutAfterTheClipWasOpenedFailsTheLoad) {
    // The usual 4600-slot block is read, not mapped; a clip cut between
    // opening it and reading its block fails the same way.
    const Forged clip = Clip(static_cast<int>(sensor::kUsualRecordCount));
    ASSERT_GT(clip.report.fileSize, sensor::kUsualBlockSize);
    SensorReader reader;
    ASSERT_TRUE(reader.Init());
    ASSERT_TRUE(reader.Open(clip.path.string()));
    std::filesystem::resize_file(clip.path, clip.report.fileSize - 1000);
    EXPECT_FALSE(reader.Parse());
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], std::generic_category().message(EIO));

    const Forged next = Clip(static_cast<int>(sensor::kUsualRecordCount));
    EXPECT_TRUE(reader.Load(next.path.string()));
    EXPECT_EQ(reader.Positions().size(), static_cast<std::size_t>(next.report.sensorRecords));
}

}  // namespace
}  // namespace trivexa
