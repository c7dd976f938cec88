// The scheduler on its own: the output gate and the quarter-frame rule, with
// hand-made pictures and a real clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "playback/scheduler.h"
#include "playback_fixture.h"

namespace trivexa {
namespace {

constexpr std::int64_t kFrame = 400'000;  // 40 ms

class SchedulerTest : public ::testing::Test {
protected:
    SchedulerTest()
        : pool(SamplePool::Create(8)),
          scheduler(clock, &sink, nullptr, [this](bool notify) { (notify ? notices : ends)++; }) {
        scheduler.Start();
    }
    std::shared_ptr<VideoSample> Sample(std::int64_t t) {
        auto s = pool->TryAcquire();
        s->mediaTime = t;
        s->duration = kFrame;
        return s;
    }
    bool WaitPresented(long n, int timeoutMs = 2000) {
        return test::WaitUntil([&] { return sink.PresentCount() >= n; }, timeoutMs);
    }

    PresentationClock clock;
    MemoryFrameSink sink;
    std::shared_ptr<SamplePool> pool;
    Scheduler scheduler;
    std::atomic<int> ends{0};
    std::atomic<int> notices{0};
};

TEST_F(SchedulerTest, ScrubGateShowsOnePictureAndHoldsIt) {
    scheduler.Flush(1);
    scheduler.GateScrub();
    for (int i = 0; i < 3; ++i) scheduler.Queue(Sample(i * kFrame), 1);
    ASSERT_TRUE(WaitPresented(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(sink.PresentCount(), 1);
    EXPECT_EQ(sink.CurrentSample()->mediaTime, 0);
    // Pictures of an older generation are never shown.
    scheduler.Queue(Sample(7 * kFrame), 0);
    // Play releases the hold; the clock starts with the next picture.
    scheduler.GatePlay();
    scheduler.StartClockWithNextPicture(1.0f);
    ASSERT_TRUE(WaitPresented(3));
    EXPECT_EQ(sink.CurrentSample()->mediaTime, 2 * kFrame);
    EXPECT_TRUE(clock.Running());
    EXPECT_EQ(scheduler.LateCount(), 0);
}

TEST_F(SchedulerTest, RestartNeverShowsThePicturesOfTheOldPosition) {
    // Playing: pictures of generation 1 are queued ahead of a stopped clock.
    scheduler.Flush(1);
    scheduler.GatePlay();
    for (int i = 40; i < 44; ++i) scheduler.Queue(Sample(i * kFrame), 1);
    // Restart at frame 10: the clock waits there and starts with the first
    // picture of generation 2; nothing of generation 1 is shown.
    scheduler.Restart(2, 10 * kFrame, false, 1.0f);
    EXPECT_EQ(clock.Time(), 10 * kFrame);
    scheduler.Queue(Sample(12 * kFrame), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(sink.PresentCount(), 0);
    EXPECT_FALSE(clock.Running());
    scheduler.Queue(Sample(10 * kFrame), 2);
    ASSERT_TRUE(WaitPresented(1));
    EXPECT_EQ(sink.CurrentSample()->mediaTime, 10 * kFrame);
    EXPECT_TRUE(clock.Running());
    EXPECT_GE(clock.Time(), 10 * kFrame);
    EXPECT_LT(clock.Time(), 12 * kFrame);

    // A scrub restart shows exactly the first new picture and holds it,
    // even when older pictures were waiting.
    scheduler.Queue(Sample(11 * kFrame), 2);
    scheduler.Restart(3, 30 * kFrame, true, 1.0f);
    EXPECT_FALSE(clock.Running());
    scheduler.Queue(Sample(30 * kFrame), 3);
    scheduler.Queue(Sample(31 * kFrame), 3);
    ASSERT_TRUE(WaitPresented(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    EXPECT_EQ(sink.PresentCount(), 2);
    EXPECT_EQ(sink.CurrentSample()->mediaTime, 30 * kFrame);
    EXPECT_EQ(clock.Time(), 30 * kFrame);
}

TEST_F(SchedulerTest, QuarterFrameRule) {
    scheduler.Flush(1);
    scheduler.GatePlay();
    clock.Start(0, 2.0f);
    // Ten quarters early at rate 2: waits (10 - 3) quarters / 2 = 35 ms.
    const auto t0 = std::chrono::steady_clock::now();
    scheduler.Queue(Sample(10 * kFrame / 4), 1);
    ASSERT_TRUE(WaitPresented(1));
    const auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    EXPECT_GE(waited, 25);
    EXPECT_LT(waited, 400);
    EXPECT_EQ(scheduler.LateCount(), 0);

    // Far behind the clock: shown at once and counted late.
    clock.Start(100 * kFrame, 1.0f);
    scheduler.Queue(Sample(50 * kFrame), 1);
    ASSERT_TRUE(WaitPresented(2, 100));
    EXPECT_EQ(scheduler.LateCount(), 1);
    // Within a quarter frame: shown at once, not late.
    clock.Start(200 * kFrame, 1.0f);
    scheduler.Queue(Sample(200 * kFrame + kFrame / 2), 1);
    ASSERT_TRUE(WaitPresented(3, 100));
    EXPECT_EQ(scheduler.LateCount(), 1);
}

TEST_F(SchedulerTest, EndStopsTheClockThenNotifiesUnlessFlushed) {
    scheduler.SetEndDelay(100);
    scheduler.Flush(1);
    scheduler.GatePlay();
    clock.Start(0, 1.0f);
    scheduler.QueueEnd(kFrame, 1);
    ASSERT_TRUE(test::WaitUntil([&] { return ends == 1; }));
    EXPECT_FALSE(clock.Running());
    EXPECT_EQ(clock.Time(), kFrame);
    EXPECT_EQ(notices, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return notices == 1; }));

    // A seek during the delay cancels the notice.
    clock.Start(0, 1.0f);
    scheduler.QueueEnd(0, 1);
    ASSERT_TRUE(test::WaitUntil([&] { return ends == 2; }));
    scheduler.Flush(2);
    test::RunEventsFor(250);
    EXPECT_EQ(notices, 1);
}

}  // namespace
}  // namespace trivexa
