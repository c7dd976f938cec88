// The two players together: open results, front-to-rear frame scaling,
// volume routing, data camera and sensor data from a repaired copy, prefetch.
#include <gtest/gtest.h>

#include <future>

#include "container/integrity.h"
#include "playback/player_pair.h"
#include "playback_fixture.h"

namespace trivexa {
namespace {

using test::ClipOptions;
using test::ForgeClip;
using test::FrameShown;
using test::MessageLog;
using test::WaitUntil;

constexpr const char* kFrontName = "A___-230716-101500-000010F.AVI";
constexpr const char* kRearName = "A___-230716-101500-000010R.AVI";

class PairTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 2; ++i) ASSERT_TRUE(Player(i).Initialise(&windows[i], &sinks[i]));
        ClipOptions front;  // 30 fps, 4 s
        front.frames = 120;
        frontClip = ForgeClip("pair", front, kFrontName);
        ClipOptions rear;  // 27.5 fps, the same 4 s
        rear.rate = 55;
        rear.scale = 2;
        rear.frames = 110;
        rear.camera = 'R';
        rear.audio = false;
        rearClip = ForgeClip("pair", rear, kRearName);
        ASSERT_FALSE(frontClip.empty());
        ASSERT_FALSE(rearClip.empty());
    }
    void OpenBothReady() {
        ASSERT_EQ(pair.OpenBoth(frontClip.string(), rearClip.string()), PairOpenResult::kOpened);
        for (auto& w : windows)
            ASSERT_TRUE(WaitUntil([&] { return w.Count(UM_ENGINE_READY) == 1; }));
        ASSERT_TRUE(pair.SetZoom({}, false));
    }
    int Shown(int i) { return FrameShown(sinks[i].CurrentImage()); }
    // Player 0 is the front camera's, player 1 the rear camera's.
    MoviePlayer& Player(int i) { return pair.Player(i == 0 ? Camera::Front : Camera::Rear); }

    MessageLog windows[2];
    MemoryFrameSink sinks[2];
    PlayerPair pair;
    std::filesystem::path frontClip, rearClip;
};

TEST_F(PairTest, OpenBothCombinesResults) {
    ClipOptions shortRear;
    shortRear.frames = 45;
    shortRear.camera = 'R';
    const auto tooShort = ForgeClip("pair-short", shortRear, kRearName);
    const PairOpenResult both = pair.OpenBoth(frontClip.string(), tooShort.string());
    EXPECT_EQ(both, PairOpenResult::kOpenedAndTooShort);
    EXPECT_EQ(static_cast<int>(both), 3);
    EXPECT_TRUE(AnyOpened(both));
    EXPECT_TRUE(AnyTooShort(both));
    EXPECT_EQ(Player(0).LastOpenResult(), OpenResult::kOpened);
    EXPECT_EQ(Player(1).LastOpenResult(), OpenResult::kTooShort);
    EXPECT_TRUE(pair.CloseBoth());
    EXPECT_EQ(Player(0).LastOpenResult(), OpenResult::kFailed);
    EXPECT_EQ(pair.OpenBoth("/missing/F.AVI", "/missing/R.AVI"), PairOpenResult::kNoneOpened);
    EXPECT_TRUE(pair.CheckBoth(frontClip.string()));
    EXPECT_FALSE(pair.CheckBoth("/missing/F.AVI"));
}

TEST_F(PairTest, FrontFramesAreScaledForTheRearClip) {
    OpenBothReady();
    EXPECT_NEAR(pair.RearScale(), 27.5 / 30.0, 1e-6);
    // Two seconds in: frame 60 of the front clip is frame 55 of the rear.
    EXPECT_EQ(pair.ToRear(60), 55);
    EXPECT_EQ(pair.ToRear(59), 54);
    for (std::int64_t front : {0, 36, 60, 96, 119}) {
        ASSERT_TRUE(pair.Seek(CameraSelector::kBoth, front));
        const auto rear = pair.ToRear(front);
        EXPECT_NEAR(static_cast<double>(rear), front * 27.5 / 30.0, 1.0);
        ASSERT_TRUE(WaitUntil([&] { return Shown(0) == front && Shown(1) == rear; }))
            << "front " << front << " shows " << Shown(0) << ", rear " << rear << " shows "
            << Shown(1);
    }
    // Both play on together and stay in step (same media time).
    ASSERT_TRUE(pair.Seek(CameraSelector::kBoth, 30));
    ASSERT_TRUE(pair.Play(CameraSelector::kBoth));
    ASSERT_TRUE(WaitUntil([&] { return Player(0).Position() > 60; }));
    pair.Pause(CameraSelector::kBoth);
    const double frontSeconds = Player(0).Position() / 30.0;
    const double rearSeconds = Player(1).Position() / 27.5;
    EXPECT_NEAR(frontSeconds, rearSeconds, 0.5);
}

TEST_F(PairTest, OnlyOneCameraIsAudible) {
    OpenBothReady();
    pair.SetVolume(CameraSelector::kFront, 40000);
    EXPECT_EQ(Player(0).Volume(), 40000);
    EXPECT_EQ(Player(1).Volume(), 0);
    pair.SetVolume(CameraSelector::kRear, 30000);
    EXPECT_EQ(Player(0).Volume(), 0);
    EXPECT_EQ(Player(1).Volume(), 30000);
    // The data camera is the audible one for selector 2.
    ASSERT_TRUE(pair.LoadData(frontClip.string(), rearClip.string()));
    EXPECT_EQ(pair.DataCamera(), Camera::Front);
    pair.SetVolume(CameraSelector::kBoth, 20000);
    EXPECT_EQ(Player(0).Volume(), 20000);
    EXPECT_EQ(Player(1).Volume(), 0);
    EXPECT_FLOAT_EQ(pair.FrameInterval(CameraSelector::kBoth), Player(0).FrameInterval());
    EXPECT_GT(Player(0).DataReader().Positions().size(), 0u);
    pair.SetRate(2);
    EXPECT_EQ(Player(0).RateCode(), 2);
    EXPECT_EQ(Player(1).RateCode(), 2);
    EXPECT_TRUE(pair.ReleaseDataBoth());
    EXPECT_EQ(pair.DataCamera(), std::nullopt);
}

TEST_F(PairTest, SensorDataComesFromTheRepairedCopy) {
    ClipOptions damaged;
    damaged.frames = 120;
    damaged.damage.missingIndex = true;
    const std::string name = "A___-230716-101500-000011F.AVI";
    const auto clip = ForgeClip("pair-damaged", damaged, name);
    ASSERT_EQ(CheckClip(clip), ClipCheck::kDamaged);
    std::filesystem::path copy;
    ASSERT_TRUE(RepairFolderPath(name, copy));
    std::filesystem::remove(copy);

    ASSERT_EQ(pair.OpenBoth(clip.string(), ""), PairOpenResult::kOpened);
    EXPECT_TRUE(Player(0).OpenedRepairedCopy());
    ASSERT_TRUE(std::filesystem::exists(copy));
    ASSERT_TRUE(WaitUntil([&] { return windows[0].Count(UM_ENGINE_READY) == 1; }));
    EXPECT_EQ(Player(0).Duration(), 120);

    pair.LoadData(clip.string(), "");
    // The copy was read, not the damaged original.
    EXPECT_EQ(Player(0).DisplayReader().Path(), copy.string());
    pair.CloseBoth();
    std::filesystem::remove(copy);
}

TEST_F(PairTest, StopAndPlayWorkOnACameraWhoseClipEnded) {
    // A 3 s rear clip beside the 4 s front clip.
    ClipOptions shorter;
    shorter.frames = 90;
    shorter.camera = 'R';
    shorter.audio = false;
    const auto rear = ForgeClip("pair-rear90", shorter, kRearName);
    ClipOptions front30;
    front30.frames = 120;
    const auto front = ForgeClip("pair-front120", front30, kFrontName);
    ASSERT_EQ(pair.OpenBoth(front.string(), rear.string()), PairOpenResult::kOpened);
    for (auto& w : windows) ASSERT_TRUE(WaitUntil([&] { return w.Count(UM_ENGINE_READY) == 1; }));
    ASSERT_TRUE(pair.SetZoom({}, false));
    ASSERT_TRUE(pair.Play(CameraSelector::kBoth));
    ASSERT_TRUE(WaitUntil([&] { return windows[1].Count(UM_ENGINE_ENDED) == 1; }));
    EXPECT_EQ(windows[0].Count(UM_ENGINE_ENDED), 0);
    // The player follows its engine to the end of the clip.
    EXPECT_EQ(Player(1).State(), PlayerState::kStopped);
    EXPECT_EQ(Player(0).State(), PlayerState::kPlaying);

    // The stop command: back to the start, stopped; then play again.
    ASSERT_TRUE(pair.Seek(CameraSelector::kBoth, 0));
    EXPECT_TRUE(pair.Stop(CameraSelector::kBoth));
    EXPECT_EQ(Player(0).State(), PlayerState::kStopped);
    EXPECT_EQ(Player(1).State(), PlayerState::kStopped);
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) == 0 && Shown(1) == 0; }));
    ASSERT_TRUE(pair.Play(CameraSelector::kBoth));
    EXPECT_EQ(Player(1).State(), PlayerState::kPlaying);
    test::RunEventsFor(1000);
    EXPECT_GE(Shown(0), 20);
    EXPECT_GE(Shown(1), 20) << "the rear camera stayed frozen";
    EXPECT_NEAR(Shown(0), Shown(1), 4);
}

TEST_F(PairTest, PlayersStayPresentAfterReleaseAndOpenAgain) {
    OpenBothReady();
    ASSERT_TRUE(pair.LoadData(frontClip.string(), rearClip.string()));
    for (int i = 0; i < 2; ++i) Player(i).Release();
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(Player(i).IsPresent());
        EXPECT_EQ(Player(i).State(), PlayerState::kClosed);
        EXPECT_TRUE(Player(i).DataReader().Positions().empty());
    }
    // The next opens use the same players again, data included.
    for (auto& w : windows) w.entries.clear();
    OpenBothReady();
    ASSERT_TRUE(pair.Seek(CameraSelector::kBoth, 60));
    EXPECT_TRUE(WaitUntil([&] { return Shown(0) == 60 && Shown(1) == 55; }));
    EXPECT_TRUE(pair.CloseBoth());
    EXPECT_FALSE(pair.LoadData(frontClip.string(), rearClip.string()));  // nothing open
    ASSERT_EQ(pair.OpenBoth(frontClip.string(), rearClip.string()), PairOpenResult::kOpened);
    ASSERT_TRUE(pair.LoadData(frontClip.string(), rearClip.string()));
    EXPECT_GT(Player(0).DataReader().Positions().size(), 0u);
    // Release twice is harmless.
    Player(0).Release();
    Player(0).Release();
    EXPECT_TRUE(Player(0).IsPresent());
}

TEST_F(PairTest, RearOnlyRecordingPlaysInItsOwnFrames) {
    // A recording whose cameras differ in frame rate leaves its front
    // interval behind; the rear-only recording after it must not use it.
    OpenBothReady();
    ASSERT_TRUE(pair.CloseBoth());
    for (auto& w : windows) w.entries.clear();
    ASSERT_EQ(pair.OpenBoth("", rearClip.string()), PairOpenResult::kOpened);
    EXPECT_EQ(Player(0).LastOpenResult(), OpenResult::kFailed);
    ASSERT_TRUE(WaitUntil([&] { return windows[1].Count(UM_ENGINE_READY) == 1; }));
    ASSERT_TRUE(pair.SetZoom({}, false));
    // The controller passes the data camera's (the rear's) own position.
    ASSERT_TRUE(pair.PlayFrom(CameraSelector::kBoth, 55));
    ASSERT_TRUE(WaitUntil([&] { return Shown(1) != 0; }));
    EXPECT_GE(Shown(1), 55);
    EXPECT_LE(Shown(1), 58);
    ASSERT_TRUE(pair.RestartAt(CameraSelector::kBoth, 80));
    ASSERT_TRUE(WaitUntil([&] { return Shown(1) >= 70; }));
    EXPECT_GE(Shown(1), 80);
    EXPECT_LE(Shown(1), 83);
    ASSERT_TRUE(pair.Seek(CameraSelector::kBoth, 30));
    EXPECT_TRUE(WaitUntil([&] { return Shown(1) == 30; }));
}

TEST_F(PairTest, ReadersAreReadUnderBothLocksWhileLoadsWait) {
    OpenBothReady();
    std::future<bool> load;
    pair.WithBothReaders([&](MoviePlayer::Readers front, MoviePlayer::Readers rear) {
        // A load on another thread waits until the readers are let go.
        load = std::async(std::launch::async,
                          [&] { return pair.LoadData(frontClip.string(), rearClip.string()); });
        EXPECT_TRUE(WaitUntil([] { return PlayerLockWaiters() > 0; }, 2000));
        EXPECT_EQ(load.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
        EXPECT_TRUE(front.data.Positions().empty());
        EXPECT_TRUE(rear.data.Positions().empty());
    });
    ASSERT_TRUE(load.get());
    pair.WithBothReaders([&](MoviePlayer::Readers front, MoviePlayer::Readers) {
        EXPECT_GT(front.data.Positions().size(), 0u);
        // The window moves the data on display inside the same hold.
        EXPECT_TRUE(SensorReader::HandOver(front.data, front.display));
    });
    EXPECT_GT(Player(0).DisplayReader().Positions().size(), 0u);
    EXPECT_TRUE(Player(0).DataReader().Positions().empty());
    EXPECT_EQ(PlayerLockWaiters(), 0);
}

TEST_F(PairTest, PrefetchIsHandedOverOrCancelled) {
    OpenBothReady();
    MoviePlayer& front = Player(0);
    EXPECT_TRUE(pair.Prefetch("", ""));

    // A prefetched recording is handed over instead of read again.
    ASSERT_TRUE(pair.Prefetch(frontClip.string(), rearClip.string()));
    EXPECT_EQ(front.LookAheadReader().Path(), frontClip.string());
    ASSERT_TRUE(pair.LoadData(frontClip.string(), rearClip.string()));
    EXPECT_EQ(front.DataReader().Path(), frontClip.string());
    EXPECT_TRUE(front.LookAheadReader().Positions().empty());

    // Loading another recording while a prefetch runs cancels the prefetch:
    // its data never reaches the data reader and the look-ahead ends idle.
    ClipOptions other;
    other.frames = 120;
    const auto otherClip = ForgeClip("pair-other", other, "A___-230716-101600-000012F.AVI");
    for (int round = 0; round < 5; ++round) {
        auto prefetch =
            std::async(std::launch::async, [&] { return pair.Prefetch(otherClip.string(), ""); });
        ASSERT_TRUE(front.LoadData(frontClip.string()));
        prefetch.get();
        EXPECT_EQ(front.DataReader().Path(), frontClip.string());
        EXPECT_FALSE(front.LookAheadBusy());
    }
    EXPECT_EQ(PlayerLockWaiters(), 0);
}

}  // namespace
}  // namespace trivexa
