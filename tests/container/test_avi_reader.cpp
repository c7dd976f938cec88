#include <gtest/gtest.h>

#include <cstring>

#include "container/avi_reader.h"
#include "container/container_test_util.h"

namespace trivexa {
namespace {

using namespace test;

// The index as clipforge wrote it, in our form.
std::vector<IndexEntry> Written(const cf::ClipReport& r) {
    std::vector<IndexEntry> out;
    for (const cf::IndexEntry& e : r.index)
        out.push_back({FourccValue(e.fourcc), e.flags, e.offset, e.size});
    return out;
}

TEST(ReadClipInfo, FullLayoutFrontClipMatchesWhatWasWritten) {
    TempDir dir;
    cf::ClipSpec spec = Spec(kFrontName);
    spec.video.rate = 55;
    spec.video.scale = 2;  // 27.5 fps
    spec.video.frames = 55;
    const Forged clip = Forge(dir, spec);
    const std::string bytes = ReadFile(clip.path);

    const std::optional<ClipInfo> info = ReadClipInfo(clip.path, 42);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->owner, 42u);
    EXPECT_EQ(info->layout, ClipLayout::kFull);
    EXPECT_FALSE(info->timeLapse);
    EXPECT_FALSE(info->parking);
    EXPECT_EQ(info->fileSize, bytes.size());
    ASSERT_EQ(info->header.size(), 384u);
    EXPECT_EQ(std::memcmp(info->header.data(), bytes.data(), 384), 0);
    EXPECT_EQ(info->MoviListSize(), clip.report.moviListSize);
    ASSERT_EQ(info->sources.size(), 1u);
    EXPECT_EQ(info->sources[0].firstChunkOffset, 396u);
    EXPECT_EQ(info->sources[0].chunkDataSize, clip.report.moviListSize - 4u);
    EXPECT_TRUE(info->hasIndex);
    EXPECT_EQ(info->indexEntries, Written(clip.report));

    EXPECT_TRUE(info->hasSensorBlock);
    EXPECT_EQ(info->sensorHeaderCount, static_cast<std::uint32_t>(clip.report.sensorRecords));
    EXPECT_EQ(info->sensorTrailerCount, static_cast<std::uint32_t>(clip.report.sensorRecords));
    ASSERT_EQ(info->sensorRecords.size(), 130u * clip.report.sensorRecords);
    EXPECT_EQ(std::memcmp(info->sensorRecords.data(), bytes.data() + clip.report.sensorOffset + 40,
                          info->sensorRecords.size()),
              0);
    EXPECT_FALSE(info->sensorRecordsShort);

    const ClipFacts facts = DeriveFacts(*info);
    ASSERT_TRUE(facts.frameRate && facts.frameIntervalMs && facts.durationSeconds);
    EXPECT_DOUBLE_EQ(*facts.frameRate, 27.5);
    EXPECT_NEAR(*facts.frameIntervalMs, 36.3636, 1e-3);
    EXPECT_EQ(facts.streamFrames, 55u);
    EXPECT_EQ(facts.totalFrames, 55u);
    EXPECT_NEAR(*facts.durationSeconds, 2.0, 1e-9);
    EXPECT_NEAR(*facts.csvDurationSeconds, 2.0, 1e-9);
    EXPECT_EQ(facts.width, 160u);
    EXPECT_EQ(facts.height, 96);
    EXPECT_EQ(facts.resolutionClass, "");
    EXPECT_EQ(facts.audioChunks, static_cast<std::uint32_t>(clip.report.audioChunks));

    const std::optional<ClipTiming> timing = ReadTiming(clip.path);
    ASSERT_TRUE(timing);
    EXPECT_NEAR(timing->frameIntervalMs, 36.3636, 1e-3);
    EXPECT_NEAR(timing->durationSeconds, 2.0, 1e-9);

    // A video rate of 0 has no timing.
    PatchLe32(clip.path, avi::kVideoRateOffset, 0);
    EXPECT_FALSE(ReadTiming(clip.path));
    EXPECT_FALSE(DeriveFacts(*ReadClipInfo(clip.path)).frameIntervalMs);
}

TEST(ReadClipInfo, LayoutFollowsTheNameNotTheContent) {
    TempDir dir;
    const Forged lapse = Forge(dir, Spec(kLapseName));
    const std::optional<ClipInfo> info = ReadClipInfo(lapse.path);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->layout, ClipLayout::kShort);
    EXPECT_TRUE(info->timeLapse);
    EXPECT_EQ(info->header.size(), 280u);
    EXPECT_EQ(info->sources[0].firstChunkOffset, 292u);
    EXPECT_EQ(info->indexEntries, Written(lapse.report));
    EXPECT_EQ(DeriveFacts(*info).audioChunks, 0u);

    // A full-layout file under a time-lapse name is read at the short offsets.
    cf::ClipSpec odd = Spec("T___-230715-081522-000009R.AVI");
    odd.layout = cf::Layout::Full;
    const Forged wrong = Forge(dir, odd);
    const std::string bytes = ReadFile(wrong.path);
    const std::optional<ClipInfo> misread = ReadClipInfo(wrong.path);
    ASSERT_TRUE(misread);
    EXPECT_EQ(std::memcmp(misread->moviListHeader.data(), bytes.data() + 280, 12), 0);
    EXPECT_FALSE(misread->hasIndex);
}

TEST(ReadClipInfo, RearClipsAndMissingIndexes) {
    TempDir dir;
    const Forged rear = Forge(dir, Spec(kRearName));
    std::optional<ClipInfo> info = ReadClipInfo(rear.path);
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->hasSensorBlock);
    EXPECT_TRUE(info->sensorRecords.empty());
    EXPECT_EQ(info->sensorHeaderCount, 0u);
    EXPECT_EQ(info->indexEntries.size(), rear.report.index.size());

    cf::ClipSpec spec = Spec(kFrontName);
    spec.damage.missingIndex = true;
    const Forged noIndex = Forge(dir, spec);
    info = ReadClipInfo(noIndex.path);
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->hasIndex);
    EXPECT_TRUE(info->indexEntries.empty());
    EXPECT_EQ(info->sensorHeaderCount, static_cast<std::uint32_t>(noIndex.report.sensorRecords));
}

TEST(ReadClipInfo, CountsFromTheFileAreBoundByTheFile) {
    TempDir dir;
    // Header count larger than the records before the trailer: the copy
    // stops at the trailer.
    cf::ClipSpec spec = Spec(kFrontName);
    spec.sensor.countMode = cf::CountMode::Given;
    spec.sensor.headerCount = 5000;
    const Forged over = Forge(dir, spec);
    std::optional<ClipInfo> info = ReadClipInfo(over.path);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->sensorHeaderCount, 5000u);
    EXPECT_EQ(info->SensorRecordsHeld(), static_cast<std::uint32_t>(over.report.sensorRecords));
    EXPECT_TRUE(info->sensorRecordsShort);

    // An idx1 size far beyond the file: only entries inside the file are read.
    const Forged clip = Forge(dir, Spec(kRearName));
    PatchLe32(clip.path, clip.report.idx1Offset + 4, 0x7FFFFFF0u);
    info = ReadClipInfo(clip.path);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->indexSize, 0x7FFFFFF0u);
    EXPECT_EQ(info->indexEntries.size(), (clip.report.fileSize - clip.report.idx1Offset - 8) / 16);

    // A trailer count that places the block before the start of the file.
    const Forged front = Forge(dir, Spec("A___-230715-081522-000003F.AVI"));
    std::string bytes = ReadFile(front.path);
    bytes[bytes.size() - 28 + 16] = '\x7F';
    WriteFile(front.path, bytes);
    EXPECT_FALSE(ReadClipInfo(front.path));
}

TEST(ReadClipInfo, TruncatedFilesNeverReadPastTheEnd) {
    TempDir dir;
    const Forged rear = Forge(dir, Spec(kRearName));
    const Forged front = Forge(dir, Spec(kFrontName));
    for (const Forged* clip : {&rear, &front}) {
        const std::string bytes = ReadFile(clip->path);
        const auto cut = dir / ("cut_" + clip->path.filename().string());
        for (std::size_t n : {0, 1, 7, 100, 383, 384, 390, 395, 396, 1000}) {
            WriteFile(cut, bytes.substr(0, n));
            const std::optional<ClipInfo> info = ReadClipInfo(cut);
            if (!info) continue;
            // Header bytes beyond the end of the file read as zero.
            for (std::size_t i = n; i < info->header.size(); ++i)
                ASSERT_EQ(info->header[i], std::byte{0}) << n;
        }
        EXPECT_FALSE(ReadClipInfo(dir / "missing.AVI"));
    }
}

}  // namespace
}  // namespace trivexa
