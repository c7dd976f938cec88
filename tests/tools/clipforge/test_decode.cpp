// Independent readers accept forge clips: ffmpeg decodes them without a
// complaint, ffprobe counts the frames the index lists, key frames sit where
// the index flags them, and every decoded picture carries its frame number.

#include <gtest/gtest.h>

#include <sstream>

#include "forge_test_util.h"

namespace trivexa::clipforge::testing {
namespace {

using trivexa::test::RunCommand;
using trivexa::test::TempDir;

int IndexedVideo(const ClipReport& r) {
    int n = 0;
    for (const auto& e : r.index) n += std::string(e.fourcc.data(), 4) == "00dc";
    return n;
}

struct Case {
    const char* label;
    const char* name;
    uint32_t rate, scale;
    int frames, gop;
    bool texture;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.label; }

class ForgeClipDecodes : public ::testing::TestWithParam<Case> {};

TEST_P(ForgeClipDecodes, FfmpegAndFfprobeAgreeWithTheIndex) {
    const Case& c = GetParam();
    TempDir dir;
    ClipSpec spec = SmallClip(c.name, c.frames);
    spec.video.rate = c.rate;
    spec.video.scale = c.scale;
    spec.video.gop = c.gop;
    spec.video.texture = c.texture;
    ClipReport rep;
    std::string error;
    ASSERT_TRUE(WriteClip(dir / c.name, spec, &rep, &error)) << error;
    const std::string path = (dir / c.name).string();

    // One ffprobe run: the packet count and each video packet's key flag.
    auto probe = RunCommand({"ffprobe", "-v", "error", "-count_packets", "-select_streams", "v:0",
                             "-show_entries", "stream=nb_read_packets,r_frame_rate:packet=flags",
                             "-of", "default=nw=1", path});
    ASSERT_EQ(probe.exitCode, 0) << probe.err;
    EXPECT_NE(probe.out.find("nb_read_packets=" + std::to_string(IndexedVideo(rep))),
              std::string::npos)
        << probe.out;
    EXPECT_EQ(IndexedVideo(rep), c.frames);
    EXPECT_NE(
        probe.out.find("r_frame_rate=" + std::to_string(c.rate) + "/" + std::to_string(c.scale)),
        std::string::npos)
        << probe.out;

    // Key frames as ffprobe sees them are the ones the index flags.
    std::istringstream lines(probe.out);
    std::string line;
    std::vector<bool> probeKeys;
    while (std::getline(lines, line))
        if (line.rfind("flags=", 0) == 0) probeKeys.push_back(line.find('K') != std::string::npos);
    std::vector<bool> indexKeys;
    for (const auto& e : rep.index)
        if (std::string(e.fourcc.data(), 4) == "00dc") indexKeys.push_back(e.flags & 0x10);
    EXPECT_EQ(probeKeys, indexKeys);
    for (size_t f = 0; f < indexKeys.size(); ++f)
        EXPECT_EQ(indexKeys[f], f % static_cast<size_t>(c.gop) == 0) << f;

    // Every picture shows its own number, read back from decoded grey frames.
    // The same ffmpeg run decodes every stream (sound into the null muxer)
    // and must not complain about anything.
    auto raw =
        RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:v", "-f",
                    "rawvideo", "-pix_fmt", "gray", "pipe:1", "-map", "0:a?", "-f", "null", "-"});
    ASSERT_EQ(raw.exitCode, 0);
    EXPECT_EQ(raw.err, "");
    const size_t frameBytes = 160 * 96;
    ASSERT_EQ(raw.out.size(), frameBytes * c.frames);
    for (int f = 0; f < c.frames; ++f) {
        std::span<const uint8_t> luma(
            reinterpret_cast<const uint8_t*>(raw.out.data()) + frameBytes * f, frameBytes);
        auto m = ReadFrameMark(luma, 160, 96, 160);
        ASSERT_TRUE(m) << "frame " << f;
        EXPECT_EQ(m->number, f);
        EXPECT_FALSE(m->mirrored);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ForgeClipDecodes,
    ::testing::Values(Case{"Full", "A___-230715-081522-000001F.AVI", 30, 1, 45, 15, false},
                      Case{"Short", "T___-230715-081522-000002F.AVI", 30, 1, 40, 10, false},
                      Case{"Rear27_5Textured", "A___-230715-081522-000003R.AVI", 55, 2, 33, 11,
                           true}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.label); });

TEST(ForgeClip, AudioStreamIsReadable) {
    TempDir dir;
    ClipSpec spec = SmallClip("A___-230715-081522-000001F.AVI", 30);
    ASSERT_TRUE(WriteClip(dir / spec.name, spec));
    auto probe = RunCommand({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                             "stream=codec_name,sample_rate,channels", "-of", "default=nw=1",
                             (dir / spec.name).string()});
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_NE(probe.out.find("codec_name=pcm_s16le"), std::string::npos);
    EXPECT_NE(probe.out.find("sample_rate=8000"), std::string::npos);
    EXPECT_NE(probe.out.find("channels=1"), std::string::npos);
    // One second of sound: 8000 samples of 16 bits.
    auto pcm = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", (dir / spec.name).string(),
                           "-vn", "-f", "s16le", "-"});
    EXPECT_EQ(pcm.out.size(), 16000u);
}

TEST(FrameMark, ReadsBackScaledAndMirroredPictures) {
    TempDir dir;
    ClipSpec spec = SmallClip("A___-230715-081522-000001F.AVI", 30);
    ASSERT_TRUE(WriteClip(dir / spec.name, spec));
    // A presenter draws the picture at another size, maybe mirrored.
    auto raw =
        RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", (dir / spec.name).string(), "-vf",
                    "hflip,scale=333:201", "-f", "rawvideo", "-pix_fmt", "gray", "-"});
    ASSERT_EQ(raw.exitCode, 0);
    const size_t frameBytes = 333 * 201;
    ASSERT_EQ(raw.out.size(), frameBytes * 30);
    for (int f = 0; f < 30; ++f) {
        std::span<const uint8_t> luma(
            reinterpret_cast<const uint8_t*>(raw.out.data()) + frameBytes * f, frameBytes);
        auto m = ReadFrameMark(luma, 333, 201, 333);
        ASSERT_TRUE(m) << f;
        EXPECT_EQ(m->number, f);
        EXPECT_TRUE(m->mirrored);
    }
}

TEST(FrameMark, ExtremesAndPicturesWithoutAMark) {
    std::vector<uint8_t> luma(64 * 48 + 16);
    for (int n : {0, 1, 0x5555, 65535}) {
        DrawFrameLuma(n, 64, 48, luma);
        auto m = ReadFrameMark(luma, 64, 48, 64);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->number, n);
    }
    std::fill(luma.begin(), luma.end(), 16);
    EXPECT_FALSE(ReadFrameMark(luma, 64, 48, 64));
    std::fill(luma.begin(), luma.end(), 235);
    EXPECT_FALSE(ReadFrameMark(luma, 64, 48, 64));
    // A buffer too small for the stated stride is refused, not overrun.
    EXPECT_FALSE(ReadFrameMark(std::span<const uint8_t>(luma.data(), 100), 64, 48, 64));
}

}  // namespace
}  // namespace trivexa::clipforge::testing
