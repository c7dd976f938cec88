// The player on real clips without a display: pictures arrive through a
// MemoryFrameSink and each one carries its frame number, so every test reads
// back exactly which frame is shown.
#include <gtest/gtest.h>

#include "app/core/ui_strings.h"
#include "platform/output_file.h"
#include "platform/scratch_volume.h"
#include "playback/movie_player.h"
#include "playback_fixture.h"

namespace trivexa {
namespace {

using test::ClipOptions;
using test::ForgeClip;
using test::FrameShown;
using test::MessageLog;
using test::WaitUntil;

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(player.Initialise(&window, &sink));
        clip = ForgeClip("f90", ClipOptions{});
        ASSERT_FALSE(clip.empty());
    }
    // Opens and waits for the first picture; sets the geometry as the main
    // window does before anything is laid out.
    void OpenReady(const std::filesystem::path& p) {
        ASSERT_EQ(player.Open(p.string()), OpenResult::kOpened) << player.LastErrorText();
        ASSERT_TRUE(WaitUntil([&] { return window.Count(UM_ENGINE_READY) > 0; }));
        ASSERT_TRUE(player.SetZoom(0, 0, 0, 0, 1.0f, false));
    }
    int Shown() { return FrameShown(sink.CurrentImage()); }
    // Waits until the picture shown is `frame`.
    bool Shows(int frame, int timeoutMs = 5000) {
        return WaitUntil([&] { return Shown() == frame; }, timeoutMs);
    }

    MessageLog window;
    MemoryFrameSink sink{QSize(320, 240)};
    MoviePlayer player;
    std::filesystem::path clip;
};

TEST_F(EngineTest, OpenResultsFollowTheHeaderDuration) {
    ClipOptions twoSeconds;
    twoSeconds.frames = 60;  // exactly 2.0 s at 30 fps: too short
    EXPECT_EQ(player.Open(ForgeClip("f60", twoSeconds).string()), OpenResult::kTooShort);
    EXPECT_EQ(player.State(), PlayerState::kClosed);
    EXPECT_EQ(player.Engine(), nullptr);

    ClipOptions justLonger;  // 2.01 s at 100 fps
    justLonger.rate = 100;
    justLonger.frames = 201;
    justLonger.audio = false;
    EXPECT_EQ(player.Open(ForgeClip("f201at100", justLonger).string()), OpenResult::kOpened);
    EXPECT_EQ(player.Duration(), 201);
    EXPECT_FLOAT_EQ(player.FrameInterval(), 10.0f);

    EXPECT_EQ(player.Open("/nonexistent/clip.AVI"), OpenResult::kFailed);
    test::TempDir dir;
    test::WriteFile(dir / "A___-230715-081522-000009F.AVI", std::string(4096, 'x'));
    EXPECT_EQ(player.Open((dir / "A___-230715-081522-000009F.AVI").string()), OpenResult::kFailed);
    EXPECT_FALSE(player.LastErrorText().empty());
}

TEST_F(EngineTest, OpensAsynchronouslyAndShowsTheFirstPicture) {
    ASSERT_EQ(player.Open(clip.string()), OpenResult::kOpened);
    // Until the first picture is ready the display operations refuse.
    if (!player.HasDisplay()) {
        EXPECT_FALSE(player.Play());
    }
    ASSERT_TRUE(WaitUntil([&] { return window.Count(UM_ENGINE_READY) == 1; }));
    EXPECT_EQ(window.entries.front().wParam, 0u);
    EXPECT_EQ(window.entries.front().lParam, 0);
    EXPECT_EQ(player.State(), PlayerState::kStopped);
    EXPECT_EQ(player.Engine()->State(), EngineState::kStopped);
    EXPECT_EQ(player.Duration(), 90);
    EXPECT_NEAR(player.FrameInterval(), 33.333f, 0.001f);
    int w = 0, h = 0;
    ASSERT_TRUE(player.NativeSize(w, h));
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 96);
    EXPECT_EQ(Shown(), 0);
    EXPECT_EQ(player.Position(), 0);
}

TEST_F(EngineTest, SeekShowsExactlyTheTargetFrameAndHoldsIt) {
    OpenReady(clip);
    // Key frames are every 30 frames: targets on, just after and just
    // before key frames, backwards and forwards.
    for (int target : {45, 1, 29, 30, 31, 89, 0, 60, 59, 12}) {
        const long before = sink.PresentCount();
        ASSERT_TRUE(player.Seek(target));
        ASSERT_TRUE(Shows(target)) << "target " << target << " shows " << Shown();
        EXPECT_EQ(player.Position(), target);
        EXPECT_EQ(player.State(), PlayerState::kStopped);
        // The scrub gate lets exactly one picture through and holds it.
        test::RunEventsFor(120);
        EXPECT_EQ(sink.PresentCount(), before + 1) << "target " << target;
        EXPECT_EQ(Shown(), target);
    }
    // Beyond the end: the last picture.
    ASSERT_TRUE(player.Seek(500));
    EXPECT_TRUE(Shows(89));
}

TEST_F(EngineTest, PlayPauseStopTransitions) {
    OpenReady(clip);
    ASSERT_TRUE(player.Play());
    EXPECT_EQ(player.State(), PlayerState::kPlaying);
    EXPECT_EQ(player.Engine()->State(), EngineState::kStarted);
    // Play while playing: the engine refuses, the player does nothing.
    EXPECT_EQ(player.Engine()->Play().code, EngineCode::kInvalidRequest);
    EXPECT_TRUE(player.Play());
    ASSERT_TRUE(WaitUntil([&] { return player.Position() >= 10; }));
    EXPECT_GT(Shown(), 0);

    ASSERT_TRUE(player.Pause());
    EXPECT_EQ(player.State(), PlayerState::kPaused);
    const std::int64_t paused = player.Position();
    test::RunEventsFor(150);
    const int frozenPicture = Shown();
    test::RunEventsFor(200);
    EXPECT_EQ(player.Position(), paused);
    EXPECT_EQ(Shown(), frozenPicture);
    EXPECT_NEAR(frozenPicture, paused, 1);

    // Resume continues from the paused frame.
    ASSERT_TRUE(player.Play());
    ASSERT_TRUE(WaitUntil([&] { return player.Position() > paused + 3; }));
    EXPECT_GT(Shown(), frozenPicture);

    ASSERT_TRUE(player.Stop());
    EXPECT_EQ(player.State(), PlayerState::kStopped);
    EXPECT_TRUE(Shows(0));
    test::RunEventsFor(150);
    EXPECT_EQ(player.Position(), 0);
    EXPECT_EQ(Shown(), 0);
    EXPECT_EQ(player.Engine()->Stop().code, EngineCode::kInvalidRequest);

    // Play from a seeked position continues after that frame.
    ASSERT_TRUE(player.Seek(40));
    ASSERT_TRUE(Shows(40));
    ASSERT_TRUE(player.Play());
    ASSERT_TRUE(WaitUntil([&] { return Shown() > 42; }));
    EXPECT_GE(player.Position(), 40);
}

TEST_F(EngineTest, RestartAtAndPlayFrom) {
    OpenReady(clip);
    // Restart at only acts while playing.
    EXPECT_TRUE(player.RestartAt(60));
    EXPECT_EQ(Shown(), 0);
    ASSERT_TRUE(player.PlayFrom(50));
    EXPECT_EQ(player.State(), PlayerState::kPlaying);
    ASSERT_TRUE(WaitUntil([&] { return Shown() >= 50; }));
    EXPECT_LT(Shown(), 70);
    ASSERT_TRUE(player.RestartAt(10));
    ASSERT_TRUE(WaitUntil([&] {
        const int f = Shown();
        return f >= 10 && f < 30;
    }));
}

TEST_F(EngineTest, EndOfClipStopsThenNotifiesAfterTheDelay) {
    OpenReady(clip);
    ASSERT_TRUE(player.PlayFrom(75));
    CPlayer* engine = player.Engine();
    std::chrono::steady_clock::time_point stoppedAt{};
    ASSERT_TRUE(WaitUntil(
        [&] {
            if (stoppedAt == std::chrono::steady_clock::time_point{} &&
                engine->State() == EngineState::kStopped)
                stoppedAt = std::chrono::steady_clock::now();
            return window.Count(UM_ENGINE_ENDED) == 1;
        },
        5000));
    ASSERT_NE(stoppedAt, std::chrono::steady_clock::time_point{});
    const auto endedAt = window.entries.back().at;
    const auto delayMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(endedAt - stoppedAt).count();
    EXPECT_GE(delayMs, 150);
    EXPECT_LE(delayMs, 1000);  // generous: a busy machine delays the event loop
    EXPECT_EQ(Shown(), 89);
    EXPECT_EQ(player.Position(), 90);
    // Only one notice per end.
    test::RunEventsFor(300);
    EXPECT_EQ(window.Count(UM_ENGINE_ENDED), 1);
}

TEST_F(EngineTest, RatesChangeSpeedAndMuteOutsideNormalSpeed) {
    OpenReady(clip);
    ASSERT_TRUE(player.SetVolume(50000));
    ASSERT_TRUE(player.SetRate(-1));  // 1 -> -2: half speed
    EXPECT_EQ(player.RateCode(), -2);
    EXPECT_FALSE(player.CanPlayBackwards());
    EXPECT_EQ(player.Engine()->Rate(), 0.5f);
    ASSERT_TRUE(player.SetRate(-1));
    EXPECT_EQ(player.RateCode(), 1);
    EXPECT_EQ(player.Volume(), 50000);

    // Half speed and double speed over the same wall time.
    auto advance = [&](int code) {
        player.SetRate(code);
        player.Seek(0);
        Shows(0);
        player.Play();
        WaitUntil([&] { return player.Position() > 0; });
        const std::int64_t from = player.Position();
        test::RunEventsFor(600);
        const std::int64_t moved = player.Position() - from;
        player.Pause();
        return moved;
    };
    const std::int64_t slow = advance(-2);
    const std::int64_t fast = advance(2);
    EXPECT_GT(fast, slow * 2) << "slow " << slow << " fast " << fast;
    EXPECT_GT(slow, 0);
}

TEST_F(EngineTest, FastPlaybackThinsAndStillReachesTheEnd) {
    OpenReady(clip);
    ASSERT_TRUE(player.SetRate(4));
    EXPECT_EQ(player.Engine()->Rate(), 4.0f);
    ASSERT_TRUE(player.PlayFrom(0));
    ASSERT_TRUE(WaitUntil([&] { return window.Count(UM_ENGINE_ENDED) == 1; }, 5000));
    EXPECT_EQ(player.Position(), 90);
    const EngineStats st = player.Engine()->Stats();
    // Every picture decoded was either shown or skipped as too late.
    EXPECT_GT(st.presented, 0);
    EXPECT_LE(st.presented + st.skipped, st.decoded);
    // Back to normal speed and the start: the first picture again.
    player.SetRate(1);
    ASSERT_TRUE(player.Seek(0));
    EXPECT_TRUE(Shows(0));
}

TEST_F(EngineTest, MirrorIsKeptAcrossOpensAndSaveFrameWritesTheShownPicture) {
    OpenReady(clip);
    ASSERT_TRUE(player.Seek(33));
    ASSERT_TRUE(Shows(33));
    EXPECT_TRUE(player.ToggleMirror());
    auto mark = test::MarkOf(sink.CurrentImage());
    ASSERT_TRUE(mark);
    EXPECT_TRUE(mark->mirrored);
    EXPECT_EQ(mark->number, 33);

    test::TempDir dir;
    const auto jpeg = dir / "still.jpg";
    ASSERT_TRUE(player.SaveFrame(jpeg.string()));
    QImage still(QString::fromStdString(jpeg.string()));
    ASSERT_FALSE(still.isNull());
    EXPECT_EQ(still.size(), QSize(160, 96));
    mark = test::MarkOf(still);
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->number, 33);
    EXPECT_TRUE(mark->mirrored);
    // No temporary file is left beside the still.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
    // Unwritable target: failure, nothing written.
    EXPECT_FALSE(player.SaveFrame((dir / "missing" / "x.jpg").string()));

    player.Close();
    EXPECT_EQ(player.State(), PlayerState::kClosed);
    EXPECT_FALSE(player.SaveFrame(jpeg.string()));
    window.entries.clear();
    OpenReady(clip);
    mark = test::MarkOf(sink.CurrentImage());
    ASSERT_TRUE(mark);
    EXPECT_TRUE(mark->mirrored);
    EXPECT_FALSE(player.ToggleMirror());
}

TEST_F(EngineTest, HeaderWithoutRateUsesTheMediasFrameRate) {
    test::TempDir dir;
    std::string bytes = test::ReadFile(clip);
    // The video stream header's rate (and, second case, scale) set to zero.
    for (std::size_t field : {132u, 128u}) {
        std::string patched = bytes;
        patched.replace(field, 4, std::string(4, '\0'));
        const auto path = dir / ("A___-230715-081522-00000" + std::to_string(field % 10) + "F.AVI");
        test::WriteFile(path, patched);
        window.entries.clear();
        ASSERT_EQ(player.Open(path.string()), OpenResult::kOpened) << field;
        EXPECT_NEAR(player.FrameInterval(), 33.333f, 0.01f);
        ASSERT_TRUE(WaitUntil([&] { return window.Count(UM_ENGINE_READY) == 1; }));
        player.SetZoom(0, 0, 0, 0, 1.0f, false);
        ASSERT_TRUE(player.Seek(20));
        EXPECT_TRUE(Shows(20));
    }
}

TEST_F(EngineTest, MissingDecoderAsksForACodec) {
    // Same clip with an unknown video codec tag: no decoder exists for it.
    test::TempDir dir;
    const auto odd = dir / "A___-230715-081522-000002F.AVI";
    std::string bytes = test::ReadFile(clip);
    for (const char* tag : {"H264", "h264"}) {
        for (auto at = bytes.find(tag); at != std::string::npos && at < 400;
             at = bytes.find(tag, at + 4))
            bytes.replace(at, 4, "QQQQ");
    }
    test::WriteFile(odd, bytes);
    EXPECT_EQ(player.Open(odd.string()), OpenResult::kFailed);
    EXPECT_EQ(player.LastError().code, EngineCode::kNoDecoder);
    EXPECT_EQ(player.LastErrorText(), UiString(kUiInstallCodec));
    EXPECT_EQ(EngineErrorText(EngineCode::kInvalidArg), "E_INVALIDARG");
    EXPECT_EQ(EngineErrorText(static_cast<EngineCode>(0x80001234)), "Unknown 0x80001234");
}

TEST(EngineStill, CliMatchesAnotherDecodersFrame) {
    const auto clip = ForgeClip("f90", ClipOptions{});
    test::TempDir dir;
    const std::string cli = test::BuiltProgram("trivexa-cli").string();
    const auto ours = dir / "ours.jpg";
    auto r = test::RunCommand({cli, "still", clip.string(), "45", ours.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    QImage image(QString::fromStdString(ours.string()));
    EXPECT_EQ(image.size(), QSize(160, 96));
    EXPECT_EQ(FrameShown(image), 45);

    // ffmpeg's own frame 45 of the same clip.
    const auto theirs = dir / "theirs.png";
    r = test::RunCommand({"ffmpeg", "-v", "error", "-i", clip.string(), "-vf", "select=eq(n\\,45)",
                          "-frames:v", "1", theirs.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    QImage reference(QString::fromStdString(theirs.string()));
    EXPECT_EQ(FrameShown(reference), 45);
    // Same picture up to JPEG loss.
    const QImage a = image.convertToFormat(QImage::Format_Grayscale8);
    const QImage b = reference.convertToFormat(QImage::Format_Grayscale8);
    ASSERT_EQ(a.size(), b.size());
    double diff = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            diff += std::abs(a.constScanLine(y)[x] - b.constScanLine(y)[x]);
    EXPECT_LT(diff / (a.width() * a.height()), 6.0);

    const auto mirrored = dir / "mirrored.jpg";
    r = test::RunCommand({cli, "still", "--mirror", clip.string(), "7", mirrored.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto mark = test::MarkOf(QImage(QString::fromStdString(mirrored.string())));
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->number, 7);
    EXPECT_TRUE(mark->mirrored);

    r = test::RunCommand({cli, "still", (dir / "none.AVI").string(), "1", ours.string()});
    EXPECT_EQ(r.exitCode, 1);
    r = test::RunCommand({cli, "still", clip.string(), "x", ours.string()});
    EXPECT_EQ(r.exitCode, 2);
}

TEST(EngineStill, CliNeverReplacesTheClipOrAnExistingPictureWithoutForce) {
    const auto source = ForgeClip("f90", ClipOptions{});
    test::TempDir dir;
    const auto clip = dir / source.filename();
    std::filesystem::copy_file(source, clip);
    const std::string bytes = test::ReadFile(clip);
    const std::string cli = test::BuiltProgram("trivexa-cli").string();

    // The clip as the picture: under its own path, another spelling, a link.
    std::filesystem::create_symlink(clip, dir / "link.jpg");
    for (const auto& out : {clip, dir / "." / clip.filename(), dir / "link.jpg"}) {
        const auto r =
            test::RunCommand({cli, "still", "--force", clip.string(), "10", out.string()});
        EXPECT_EQ(r.exitCode, 1) << out;
        EXPECT_NE(r.err.find("clip itself"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(test::ReadFile(clip) == bytes) << "the clip was changed";

    // An existing picture is replaced only with --force.
    const auto out = dir / "still.jpg";
    test::WriteFile(out, "mine");
    auto r = test::RunCommand({cli, "still", clip.string(), "10", out.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
    EXPECT_TRUE(test::ReadFile(out) == "mine") << "the existing picture was changed";
    r = test::RunCommand({cli, "still", "--force", clip.string(), "10", out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FrameShown(QImage(QString::fromStdString(out.string()))), 10);
}

std::size_t EntryCount(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

TEST(EngineStill, CliOnAFullVolumeOrBeyondASizeLimitFailsAndKeepsTheOldPicture) {
    const auto clip = ForgeClip("f90", ClipOptions{});
    const std::string cli = test::BuiltProgram("trivexa-cli").string();
    {
        // Room for the old picture and a little more, less than a new one.
        test::ScratchVolume volume(128 * 1024);
        TRIVEXA_REQUIRE_MOUNTED(volume);
        const auto out = volume.root() / "still.jpg";
        test::WriteFile(out, "old picture");
        platform::OutputFile filler;
        ASSERT_TRUE(filler.Create(volume / "filler"));
        const std::string block(512, 'f');
        while (filler.Write(std::as_bytes(std::span(block.data(), block.size())))) {
        }
        ASSERT_TRUE(filler.Commit(/*replace=*/false));
        // A new picture: failure, and no empty file under its name.
        const auto fresh = volume.root() / "fresh.jpg";
        auto r = test::RunCommand({cli, "still", clip.string(), "10", fresh.string()});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_FALSE(std::filesystem::exists(fresh));
        // Replacing one: failure, and the old picture stays.
        r = test::RunCommand({cli, "still", "--force", clip.string(), "10", out.string()});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(test::ReadFile(out), "old picture");
        EXPECT_EQ(EntryCount(volume.root()), 2u) << "nothing left beside it";
    }
    if (!std::filesystem::exists("/usr/bin/prlimit")) GTEST_SKIP() << "prlimit is not installed";
    test::TempDir dir;
    const auto out = dir / "limited.jpg";
    const auto r = test::RunCommand(
        {"/usr/bin/prlimit", "--fsize=512", cli, "still", clip.string(), "10", out.string()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(EntryCount(dir.path()), 0u);
}

}  // namespace
}  // namespace trivexa
