// Playback with sound, through a stand-in sound card that drains 10 ms every
// 10 ms: what is heard after a restart, a resume and a seek, and a long run of
// the controller's commands in which the position never runs backwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "playback/audio_output.h"
#include "playback/movie_player.h"
#include "playback/scheduler.h"
#include "playback_fixture.h"
#include "sound_stand_in.h"

namespace trivexa {
namespace {

using test::ClipOptions;
using test::ForgeClip;
using test::FrameShown;
using test::MessageLog;
using test::SteadyTime;
using test::WaitUntil;
using Steady = std::chrono::steady_clock;

constexpr std::int64_t kUnitsPerMs = 10'000;
// The first sound after a restart may start this much before the target (one
// pull of the device) or after it: sound already due when a late start gets
// going is skipped, and on a busy machine that can be a few frames' worth.
// The faults these bounds catch were hundreds of milliseconds early.
constexpr std::int64_t kSoundEarlyMs = 11;
constexpr std::int64_t kSoundLateMs = 120;
// How long a loaded machine (several builds beside the tests) has been seen to
// hold the sound thread back; the clock-driven checks allow that much lateness.
constexpr std::int64_t kStallMs = 400;

std::int64_t FrameTime(std::int64_t frame) { return FramesToMediaTime(100.0f / 3.0f, frame); }

// The sound queue on its own, timed by a clock the test drives.
TEST(SoundQueue, SoundFollowsThePictureClock) {
    test::StandInSoundCards cards;
    PresentationClock clock;
    clock.StopAt(10'000'000);
    auto out = AudioOutput::Create(clock);
    ASSERT_TRUE(out);
    const int rate = out->SampleRate();
    const int channels = out->Channels();
    auto write = [&](std::int64_t fromMs, std::int64_t toMs, std::uint64_t generation) {
        const int frames = static_cast<int>((toMs - fromMs) * rate / 1000);
        std::vector<std::int16_t> tone(static_cast<std::size_t>(frames) * channels, 1000);
        return out->Write(tone.data(), frames, fromMs * kUnitsPerMs, generation);
    };
    // 900..1200 ms, then a gap, then 1250..1400 ms.
    ASSERT_TRUE(write(900, 1200, 0));
    ASSERT_TRUE(write(1250, 1400, 0));
    EXPECT_EQ(out->Queued(), 450 * kUnitsPerMs);
    out->SetRunning(true);
    // While the clock stands nothing is heard and nothing is lost.
    test::RunEventsFor(60);
    EXPECT_TRUE(cards.Log().All().empty());
    EXPECT_EQ(out->Queued(), 450 * kUnitsPerMs);

    const SteadyTime start = Steady::now();
    clock.Start(10'000'000, 1.0f);
    test::RunEventsFor(500);
    const auto heard = cards.Log().All();
    ASSERT_FALSE(heard.empty());
    // What was already due when the clock started (900..1000 ms) is skipped:
    // nothing before the clock is heard. A stalled machine may start later
    // still, which skips more, so the upper bound only stops a runaway.
    EXPECT_GE(heard.front().mediaTime, (1000 - kSoundEarlyMs) * kUnitsPerMs);
    EXPECT_LE(heard.front().mediaTime, (1000 + kStallMs) * kUnitsPerMs);
    // The second stretch is heard when it is due, 250 ms after the start.
    const auto second = std::find_if(heard.begin(), heard.end(), [](const auto& h) {
        return h.mediaTime >= 1240 * kUnitsPerMs;
    });
    ASSERT_NE(second, heard.end());
    EXPECT_GE(second->mediaTime, (1250 - kSoundEarlyMs) * kUnitsPerMs);
    EXPECT_LE(second->mediaTime, (1250 + kStallMs) * kUnitsPerMs);
    const auto wallMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(second->at - start).count();
    // Heard when due, never at once; how late depends on the machine's load.
    EXPECT_GE(wallMs, 250 - kSoundEarlyMs);
    EXPECT_LE(wallMs, 250 + kStallMs);
    EXPECT_EQ(out->Queued(), 0);

    // After a seek the sound of the old position is refused.
    out->Flush(1);
    EXPECT_TRUE(write(1500, 1600, 0));
    EXPECT_EQ(out->Queued(), 0);
    EXPECT_TRUE(write(1500, 1600, 1));
    EXPECT_EQ(out->Queued(), 100 * kUnitsPerMs);
    // A full queue refuses more instead of growing.
    EXPECT_FALSE(write(2000, 4000, 1));
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(player.Initialise(&window, &sink));
        ClipOptions six;  // 6 s at 30 fps, a key frame every second, sound
        six.frames = 180;
        clip = ForgeClip("sound180", six);
        ASSERT_FALSE(clip.empty());
        ASSERT_EQ(player.Open(clip.string()), OpenResult::kOpened) << player.LastErrorText();
        ASSERT_TRUE(WaitUntil([&] { return window.Count(UM_ENGINE_READY) > 0; }));
        ASSERT_TRUE(player.SetZoom(0, 0, 0, 0, 1.0f, false));
        ASSERT_TRUE(player.Engine()->HasAudio());
        player.SetVolume(kMaxVolume);
    }
    int Shown() { return FrameShown(sink.CurrentImage()); }

    // Watches playback for `ms` after a (re)start at `target`: the lowest
    // position read, and the first sound heard after `from`.
    struct Watch {
        std::int64_t lowest = std::numeric_limits<std::int64_t>::max();
        int shownAt300ms = -1;
        std::optional<test::SoundLog::Heard> firstSound;
        int soundBreaks = 0;  // places where the sound heard does not follow on
    };
    Watch WatchFrom(SteadyTime from, int ms) {
        Watch w;
        while (Steady::now() - from < std::chrono::milliseconds(ms)) {
            w.lowest = std::min(w.lowest, player.Position());
            if (w.shownAt300ms < 0 && Steady::now() - from >= std::chrono::milliseconds(300))
                w.shownAt300ms = Shown();
            test::RunEventsFor(5);
        }
        w.firstSound = cards.Log().FirstAfter(from);
        std::optional<std::int64_t> last;
        for (const auto& h : cards.Log().All()) {
            if (h.at < from) continue;
            if (last && std::llabs(h.mediaTime - *last) > kUnitsPerMs) ++w.soundBreaks;
            last = h.endTime;
        }
        return w;
    }
    static std::string Describe(const Watch& w, std::int64_t target) {
        std::ostringstream s;
        s << "target frame " << target << " (" << FrameTime(target) / kUnitsPerMs
          << " ms): lowest position " << w.lowest << ", picture after 300 ms " << w.shownAt300ms
          << ", first sound at "
          << (w.firstSound ? std::to_string(w.firstSound->mediaTime / kUnitsPerMs) + " ms"
                           : std::string("none"))
          << ", " << w.soundBreaks << " breaks in the sound";
        return s.str();
    }
    void ExpectStartsAt(const Watch& w, std::int64_t target) {
        SCOPED_TRACE(Describe(w, target));
        EXPECT_GE(w.lowest, target);
        EXPECT_GE(w.shownAt300ms, target + 5);
        ASSERT_TRUE(w.firstSound.has_value());
        EXPECT_GE(w.firstSound->mediaTime, FrameTime(target) - kSoundEarlyMs * kUnitsPerMs);
        EXPECT_LE(w.firstSound->mediaTime, FrameTime(target) + kSoundLateMs * kUnitsPerMs);
        // Once started the sound runs on without a break.
        EXPECT_EQ(w.soundBreaks, 0);
    }

    test::StandInSoundCards cards;  // before the player: its engine asks for a device
    MessageLog window;
    MemoryFrameSink sink{QSize(320, 240)};
    MoviePlayer player;
    std::filesystem::path clip;
};

TEST_F(SoundTest, RestartsStartPictureAndSoundAtTheTarget) {
    // Pause at about frame 50 and resume where it stopped (Play from).
    ASSERT_TRUE(player.PlayFrom(0));
    ASSERT_TRUE(WaitUntil([&] { return player.Position() >= 50; }));
    ASSERT_TRUE(player.Pause());
    const std::int64_t paused = player.Position();
    test::RunEventsFor(200);
    SteadyTime from = Steady::now();
    ASSERT_TRUE(player.PlayFrom(paused));
    ExpectStartsAt(WatchFrom(from, 800), paused);

    // From double speed back to normal speed at frame 100 (Set rate, Restart at).
    player.SetRate(2);
    ASSERT_TRUE(player.RestartAt(90));
    test::RunEventsFor(150);
    player.SetRate(1);
    from = Steady::now();
    ASSERT_TRUE(player.RestartAt(100));
    ExpectStartsAt(WatchFrom(from, 800), 100);

    // Pause, seek to frame 145 and play straight on.
    ASSERT_TRUE(player.Pause());
    ASSERT_TRUE(player.Seek(145));
    ASSERT_TRUE(WaitUntil([&] { return Shown() == 145; }));
    from = Steady::now();
    ASSERT_TRUE(player.Play());
    ExpectStartsAt(WatchFrom(from, 800), 145);
}

TEST_F(SoundTest, PlayStraightFromPauseKeepsTheSound) {
    ASSERT_TRUE(player.PlayFrom(0));
    ASSERT_TRUE(WaitUntil([&] { return player.Position() >= 45; }));
    ASSERT_TRUE(player.Pause());
    const std::int64_t paused = player.Position();
    test::RunEventsFor(300);
    const SteadyTime from = Steady::now();
    ASSERT_TRUE(player.Play());
    const Watch w = WatchFrom(from, 600);
    SCOPED_TRACE(Describe(w, paused));
    EXPECT_GE(w.lowest, paused);
    ASSERT_TRUE(w.firstSound.has_value());
    // The sound goes on where it stopped, and at once, not at the next
    // stretch of sound the decoder happens to read.
    EXPECT_LE(w.firstSound->mediaTime, FrameTime(paused + 2));
    EXPECT_GE(w.firstSound->mediaTime, FrameTime(paused) - kSoundEarlyMs * kUnitsPerMs);
    EXPECT_LE(w.firstSound->at - from, std::chrono::milliseconds(100));
}

// A minute of the controller's commands with sound on: pause and resume both
// ways, seeks while playing, rate changes with Restart at, and plain play.
// While the player plays forwards the position read every 10 ms never drops,
// not across a command either, and no sound from before a restart's target
// is heard after it.
TEST_F(SoundTest, PositionNeverRunsBackwardsInAMinuteOfCommands) {
    ClipOptions twenty;
    twenty.frames = 600;
    const auto longClip = ForgeClip("sound600", twenty);
    window.entries.clear();
    ASSERT_EQ(player.Open(longClip.string()), OpenResult::kOpened);
    ASSERT_TRUE(WaitUntil([&] { return window.Count(UM_ENGINE_READY) > 0; }));
    ASSERT_TRUE(player.SetZoom(0, 0, 0, 0, 1.0f, false));
    const std::int64_t duration = player.Duration();
    ASSERT_EQ(duration, 600);

    struct Restart {
        SteadyTime at;
        std::int64_t target;
    };
    std::vector<Restart> restarts;  // at normal speed, where sound follows
    std::vector<std::string> backwards;
    std::int64_t floor = 0;  // the lowest position allowed from now on
    std::string lastCommand = "start";
    auto poll = [&](int ms) {
        const SteadyTime until = Steady::now() + std::chrono::milliseconds(ms);
        while (Steady::now() < until) {
            const std::int64_t p = player.Position();
            if (p < floor && backwards.size() < 20)
                backwards.push_back(std::to_string(floor) + " -> " + std::to_string(p) + " after " +
                                    lastCommand);
            floor = std::max(floor, p);
            test::RunEventsFor(10);
        }
    };
    auto restartedAt = [&](std::int64_t target, const std::string& what) {
        floor = target;
        lastCommand = what + " " + std::to_string(target);
        if (player.RateCode() == 1) restarts.push_back({Steady::now(), target});
    };

    std::mt19937 rng(17);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    ASSERT_TRUE(player.PlayFrom(0));
    restartedAt(0, "play from");
    const SteadyTime end = Steady::now() + std::chrono::seconds(60);
    while (Steady::now() < end) {
        poll(pick(150, 900));
        const std::int64_t now = player.Position();
        if (now >= duration - 60) {
            // Near the end: back to an earlier point, as a seek does.
            player.Pause();
            const int target = pick(0, 200);
            player.Seek(target);
            player.SetRate(1);
            player.Play();
            restartedAt(target, "seek near the end, play");
            continue;
        }
        switch (pick(0, 4)) {
            case 0: {  // pause, then resume where it stopped
                player.Pause();
                poll(pick(50, 300));
                const std::int64_t p = player.Position();
                player.PlayFrom(p);
                restartedAt(p, "pause, play from");
                break;
            }
            case 1:  // pause, then play straight on
                player.Pause();
                poll(pick(50, 300));
                player.Play();
                lastCommand = "pause, play";
                break;
            case 2: {  // seek while playing: pause, seek, play
                const int target = pick(0, static_cast<int>(duration) - 90);
                player.Pause();
                player.Seek(target);
                player.Play();
                restartedAt(target, "pause, seek, play");
                break;
            }
            case 3: {  // slower or faster: set rate, restart at the position
                static constexpr int kCodes[] = {1, 2, 4, -2, -4, 1, 1};
                player.SetRate(kCodes[pick(0, 6)]);
                const std::int64_t p = player.Position();
                player.RestartAt(p);
                restartedAt(p, "set rate " + std::to_string(player.RateCode()) + ", restart at");
                break;
            }
            default:  // keep playing
                break;
        }
    }
    player.Pause();
    std::ostringstream back;
    for (const auto& b : backwards) back << "\n  " << b;
    EXPECT_TRUE(backwards.empty()) << "the position ran backwards:" << back.str();

    // No sound from before a restart's target once it was made.
    const auto heard = cards.Log().All();
    int early = 0;
    std::ostringstream detail;
    for (std::size_t i = 0; i < restarts.size(); ++i) {
        const SteadyTime to = i + 1 < restarts.size() ? restarts[i + 1].at : Steady::now();
        for (const auto& h : heard) {
            if (h.at < restarts[i].at || h.at >= to) continue;
            if (h.mediaTime < FrameTime(restarts[i].target) - kSoundEarlyMs * kUnitsPerMs) {
                if (++early <= 10)
                    detail << "\n  restart at " << restarts[i].target << ": heard "
                           << h.mediaTime / kUnitsPerMs << " ms";
            }
            break;
        }
    }
    EXPECT_EQ(early, 0) << "sound from before the target:" << detail.str();
    EXPECT_GT(restarts.size(), 20u);
    EXPECT_GT(heard.size(), 1000u);
}

}  // namespace
}  // namespace trivexa
