// The repair scan on a clip whose compressed data happens to contain the
// bytes of a chunk id: they are payload of the chunk around them, so the
// repaired copy keeps every complete chunk.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "container/container_test_util.h"
#include "container/integrity.h"

namespace trivexa {
namespace {

using namespace test;

std::uint32_t Le32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b[at + i]);
    return v;
}

std::string Le32Text(std::uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

long FfprobeVideoPackets(const std::filesystem::path& p) {
    const CommandResult r =
        RunCommand({"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                    "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", p.string()});
    return r.exitCode == 0 ? std::strtol(r.out.c_str(), nullptr, 10) : -1;
}

TEST(RepairScan, ChunkIdsInsideTheDataAreSkippedWithTheirChunk) {
    TempDir dir;
    for (const char* name : {kRearName, kLapseName}) {
        cf::ClipSpec spec = Spec(name);
        spec.video.frames = 90;
        spec.damage.indexLost = true;
        const Forged clip = Forge(dir, spec);
        std::string bytes = ReadFile(clip.path);
        const std::vector<std::uint64_t>& chunks = clip.report.chunkOffsets;
        ASSERT_GT(chunks.size(), 40u);

        // What a scan that tests every byte would take for chunks: a chunk id
        // with a size that fits the clip, one whose chunk would run past the
        // end of the file, and an audio id in video data.
        const std::string strays[] = {"00dc" + Le32Text(100), "00dc" + Le32Text(0x7FFFFFF0),
                                      "01wb" + Le32Text(24), "00dc" + Le32Text(0)};
        std::size_t planted = 0;
        for (std::size_t k = 5; k + 1 < chunks.size() && planted < std::size(strays); k += 9) {
            const std::uint64_t at = chunks[k];
            if (bytes.compare(at, 4, "00dc") != 0 || Le32(bytes, at + 4) < 40) continue;
            bytes.replace(at + 8 + 20, 8, strays[planted++]);
        }
        ASSERT_EQ(planted, std::size(strays)) << name;
        WriteFile(clip.path, bytes);

        RepairJob job;
        job.sourcePath = clip.path;
        job.layout = LayoutForPath(clip.path);
        std::vector<IndexEntry> entries;
        // Every chunk but the last, which the power loss cut in half.
        ASSERT_EQ(ScanChunks(job, entries), chunks.size() - 1) << name;
        const std::uint64_t movi = avi::MoviFourccOffset(job.layout);
        for (std::size_t i = 0; i < entries.size(); ++i)
            EXPECT_EQ(entries[i].offset, chunks[i] - movi) << name << " chunk " << i;

        const std::filesystem::path out = dir / "out" / name;
        ASSERT_TRUE(RepairClip(job, clip.path, out)) << name;
        std::size_t frames = 0;
        for (const IndexEntry& e : entries) frames += e.chunkId == avi::kVideoChunk;
        EXPECT_EQ(FfprobeVideoPackets(out), static_cast<long>(frames)) << name;
    }
}

}  // namespace
}  // namespace trivexa
