// Road scenes, the demo card's pictures: looked at as drawn (what sits where,
// what moves with the car and what stands still, the recorder's stamp), and
// once encoded at full size and read back through ffmpeg.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "clipforge/forge_internal.h"
#include "forge_test_util.h"

namespace trivexa::clipforge::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kW = 640, kH = 360;

// A car moving at `speed` m/s (0: parked) for `seconds`, one record a 100 ms.
RoadScene Drive(double speed, double seconds = 12, bool rear = false) {
    RoadScene s;
    s.rear = rear;
    s.start = DateTime{2024, 5, 18, 9, 30, 0};
    for (int i = 0; i <= seconds * 10; ++i) s.metres.push_back(300 + speed * i * 0.1);
    return s;
}

VideoSpec Spec(const RoadScene& scene, int w = kW, int h = kH) {
    VideoSpec v;
    v.width = w;
    v.height = h;
    v.scene = scene;
    return v;
}

std::vector<std::vector<uint8_t>> Frames(const VideoSpec& spec, std::vector<int> numbers) {
    return DrawSceneFrames(spec, numbers);
}

// Mean luma and chroma of a rectangle given as fractions of the picture.
struct Tone {
    double y = 0, cb = 0, cr = 0;
};
Tone Mean(const std::vector<uint8_t>& yuv, double x0, double y0, double x1, double y1, int w = kW,
          int h = kH) {
    Tone t;
    long n = 0;
    const uint8_t* cb = yuv.data() + static_cast<size_t>(w) * h;
    const uint8_t* cr = cb + static_cast<size_t>(w / 2) * (h / 2);
    for (int y = static_cast<int>(y0 * h); y < static_cast<int>(y1 * h); ++y)
        for (int x = static_cast<int>(x0 * w); x < static_cast<int>(x1 * w); ++x, ++n) {
            t.y += yuv[static_cast<size_t>(y) * w + x];
            const size_t c = static_cast<size_t>(y / 2) * (w / 2) + x / 2;
            t.cb += cb[c];
            t.cr += cr[c];
        }
    t.y /= n;
    t.cb /= n;
    t.cr /= n;
    return t;
}

// Mean absolute luma difference of two pictures over a rectangle.
double Change(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, double x0, double y0,
              double x1, double y1) {
    double sum = 0;
    long n = 0;
    for (int y = static_cast<int>(y0 * kH); y < static_cast<int>(y1 * kH); ++y)
        for (int x = static_cast<int>(x0 * kW); x < static_cast<int>(x1 * kW); ++x, ++n) {
            const size_t i = static_cast<size_t>(y) * kW + x;
            sum += std::abs(a[i] - b[i]);
        }
    return sum / n;
}

TEST(RoadScene, FrontCameraSeesSkyStreetAndBonnet) {
    const auto f = Frames(Spec(Drive(11)), {45});
    ASSERT_EQ(f.size(), 1u);
    const Tone sky = Mean(f[0], 0.45, 0.02, 0.55, 0.08);
    EXPECT_GT(sky.cb, 138) << "a blue sky above the street";
    EXPECT_GT(sky.y, 90);
    const Tone road = Mean(f[0], 0.42, 0.7, 0.58, 0.82);
    EXPECT_NEAR(road.cb, 128, 8) << "grey asphalt ahead";
    EXPECT_NEAR(road.cr, 128, 8);
    EXPECT_GT(road.y, 60);
    EXPECT_LT(road.y, 150);
    const Tone bonnet = Mean(f[0], 0.45, 0.97, 0.55, 1.0);
    EXPECT_LT(bonnet.y, 60) << "the car's own bonnet at the bottom";
}

TEST(RoadScene, RearCameraLooksOutOfTheRearWindow) {
    const auto front = Frames(Spec(Drive(11)), {45});
    const auto rear = Frames(Spec(Drive(11, 12, true)), {45});
    EXPECT_LT(Mean(rear[0], 0.3, 0.0, 0.7, 0.02).y, 40) << "the window frame along the top";
    EXPECT_LT(Mean(rear[0], 0.0, 0.0, 0.01, 0.2).y, 40) << "and down the sides";
    const Tone sky = Mean(rear[0], 0.45, 0.1, 0.55, 0.15);
    EXPECT_GT(sky.cb, 134);
    // The tinted glass takes some light.
    EXPECT_LT(Mean(rear[0], 0.45, 0.1, 0.55, 0.15).y, Mean(front[0], 0.45, 0.1, 0.55, 0.15).y);
}

TEST(RoadScene, StreetMovesWithTheCarAndStandsStillWhenParked) {
    // The road just ahead of the bonnet: only the street's own markings and
    // grain are there (other cars keep their distance).
    const double x0 = 0.3, y0 = 0.74, x1 = 0.7, y1 = 0.86;
    const auto moving = Frames(Spec(Drive(12)), {60, 61, 75});
    EXPECT_GT(Change(moving[0], moving[1], x0, y0, x1, y1), 1.0);
    EXPECT_GT(Change(moving[0], moving[2], x0, y0, x1, y1), 3.0);
    const auto parked = Frames(Spec(Drive(0)), {60, 61, 300});
    EXPECT_EQ(Change(parked[0], parked[1], x0, y0, x1, y1), 0.0);
    EXPECT_EQ(Change(parked[0], parked[2], x0, y0, x1, y1), 0.0);
    // Standing still, the buildings and the sky stand still too.
    EXPECT_EQ(Change(parked[0], parked[2], 0.0, 0.0, 0.3, 0.6), 0.0);
}

TEST(RoadScene, FasterDrivingMovesTheStreetFurtherPerFrame) {
    const double x0 = 0.3, y0 = 0.74, x1 = 0.7, y1 = 0.86;
    // The same stretch of street, passed at two speeds: after 0.5 s the slow
    // car has covered a quarter of the fast car's way.
    RoadScene slow = Drive(3), fast = Drive(12);
    const auto a = Frames(Spec(slow), {60, 75});
    const auto b = Frames(Spec(fast), {60, 75});
    EXPECT_LT(Change(a[0], a[1], x0, y0, x1, y1), Change(b[0], b[1], x0, y0, x1, y1));
}

TEST(RoadScene, KnockShakesThePictureOnlyAfterIt) {
    RoadScene calm = Drive(10);
    RoadScene knocked = calm;
    knocked.knocks = {30};  // 3.0 s: frame 90
    const auto a = Frames(Spec(calm), {85, 93, 165});
    const auto b = Frames(Spec(knocked), {85, 93, 165});
    EXPECT_EQ(a[0], b[0]);
    EXPECT_GT(Change(a[1], b[1], 0, 0, 1, 0.9), 4.0);
    EXPECT_EQ(a[2], b[2]) << "the shake has died away after two seconds";
}

TEST(RoadScene, StampShowsTheRealTimeOfEachFrame) {
    RoadScene normal = Drive(10, 30);
    const auto f = Frames(Spec(normal), {0, 29, 30, 899});
    auto read = [](const std::vector<uint8_t>& yuv) {
        return ReadSceneStamp(yuv, kW, kH, kW).value_or("(none)");
    };
    EXPECT_EQ(read(f[0]), "2024/05/18 09:30:00");
    EXPECT_EQ(read(f[1]), "2024/05/18 09:30:00");
    EXPECT_EQ(read(f[2]), "2024/05/18 09:30:01");
    EXPECT_EQ(read(f[3]), "2024/05/18 09:30:29");

    // Time-lapse: a picture a second, shown at 14.985 frames a second.
    RoadScene lapse = Drive(10, 30);
    lapse.recordSeconds = 1.0 / 14.985;
    lapse.clockScale = 14.985;
    lapse.start = DateTime{2024, 12, 31, 23, 59, 30};
    VideoSpec spec = Spec(lapse);
    spec.rate = 14985;
    spec.scale = 1000;
    const auto t = Frames(spec, {60});
    EXPECT_EQ(read(t[0]), "2025/01/01 00:00:30");

    // Front and rear at full size, where the stamp lies over the bonnet or
    // the road.
    for (bool rear : {false, true}) {
        const int w = rear ? 1280 : 1920, h = rear ? 720 : 1080;
        const auto big = DrawSceneFrames(Spec(Drive(12, 12, rear), w, h), std::vector<int>{95});
        EXPECT_EQ(ReadSceneStamp(big[0], w, h, w).value_or("(none)"), "2024/05/18 09:30:03");
    }
    // Not a stamp: a plain grey picture, or one too small to hold one.
    std::vector<uint8_t> grey(static_cast<size_t>(kW) * kH, 128);
    EXPECT_FALSE(ReadSceneStamp(grey, kW, kH, kW));
    EXPECT_FALSE(ReadSceneStamp(grey, kW, kH, kW / 2));
    EXPECT_FALSE(ReadSceneStamp(std::span<const uint8_t>(grey.data(), 100), kW, kH, kW));
}

TEST(RoadScene, PicturesAndCacheNameFollowTheSceneAlone) {
    const VideoSpec a = Spec(Drive(10));
    EXPECT_EQ(Frames(a, {40, 41}), Frames(a, {40, 41})) << "drawn the same every time";
    // The cache name changes with anything that changes the pictures.
    const uint64_t base = detail::SceneDigest(a);
    VideoSpec b = a;
    EXPECT_EQ(detail::SceneDigest(b), base);
    b.scene->metres.back() += 0.01;
    EXPECT_NE(detail::SceneDigest(b), base);
    b = a;
    b.scene->rear = true;
    EXPECT_NE(detail::SceneDigest(b), base);
    b = a;
    b.scene->knocks = {3};
    EXPECT_NE(detail::SceneDigest(b), base);
    b = a;
    b.crf = 30;
    EXPECT_NE(detail::SceneDigest(b), base);
    // Nothing to draw without a scene or with an odd size.
    VideoSpec none;
    EXPECT_TRUE(DrawSceneFrames(none, std::vector<int>{0}).empty());
    VideoSpec odd = a;
    odd.width = 641;
    EXPECT_TRUE(DrawSceneFrames(odd, std::vector<int>{0}).empty());
}

TEST(RoadScene, EncodedAtFullSizeAndReadBackByFfmpeg) {
    trivexa::test::TempDir dir;
    ClipSpec clip;
    clip.video = Spec(Drive(12), 1920, 1080);
    clip.video.frames = 45;
    clip.video.crf = 23;
    clip.video.cacheDir = trivexa::test::TestDataDir() / "clipforge";
    clip.audio.cabin = true;
    const fs::path path = dir.path() / "A___-240518-093000-000001F.AVI";
    std::string error;
    ASSERT_TRUE(WriteClip(path, clip, nullptr, &error)) << error;
    auto probe = trivexa::test::RunCommand(
        {"ffprobe", "-v", "error", "-count_packets", "-select_streams", "v:0", "-show_entries",
         "stream=nb_read_packets,width,height", "-of", "default=nw=1", path.string()});
    EXPECT_EQ(probe.exitCode, 0) << probe.err;
    EXPECT_NE(probe.out.find("width=1920"), std::string::npos) << probe.out;
    EXPECT_NE(probe.out.find("height=1080"), std::string::npos);
    EXPECT_NE(probe.out.find("nb_read_packets=45"), std::string::npos);
    // The stamp survives compression: frame 40 is 1.33 s in.
    const fs::path grey = dir.path() / "frame.grey";
    auto decode = trivexa::test::RunCommand({"ffmpeg", "-v", "error", "-i", path.string(), "-vf",
                                             "select=eq(n\\,40)", "-frames:v", "1", "-f",
                                             "rawvideo", "-pix_fmt", "gray", grey.string()});
    ASSERT_EQ(decode.exitCode, 0) << decode.err;
    const std::string bytes = trivexa::test::ReadFile(grey);
    ASSERT_EQ(bytes.size(), 1920u * 1080u);
    const auto* luma = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_EQ(ReadSceneStamp(std::span<const uint8_t>(luma, bytes.size()), 1920, 1080, 1920)
                  .value_or("(none)"),
              "2024/05/18 09:30:01");
    // The cabin sound is quiet: no sample near full scale.
    const std::string avi = trivexa::test::ReadFile(path);
    const size_t chunk = avi.find("01wb");
    ASSERT_NE(chunk, std::string::npos);
    const uint32_t size = Le32(avi, chunk + 4);
    int peak = 0;
    for (size_t i = 0; i + 1 < size; i += 2)
        peak = std::max(peak, std::abs(static_cast<int16_t>(Le16(avi, chunk + 8 + i))));
    EXPECT_GT(peak, 50);
    EXPECT_LT(peak, 12000);
}

}  // namespace
}  // namespace trivexa::clipforge::testing
