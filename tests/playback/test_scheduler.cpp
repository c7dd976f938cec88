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

namespace trivexa {
namespace {

// Two players restarted through one gate: the one whose first picture is
// ready first waits for the other, and both clocks then run from the same
// instant, each from its own picture's time.
TEST(ClockStartGateTest, BothClocksStartTogetherWhenBothPicturesAreReady) {
    constexpr std::int64_t kFrontFrame = 333'333;
    constexpr std::int64_t kRearFrame = 363'636;
    PresentationClock clocks[2];
    MemoryFrameSink sinks[2];
    auto pool = SamplePool::Create(8);
    Scheduler front(clocks[0], &sinks[0], nullptr, nullptr);
    Scheduler rear(clocks[1], &sinks[1], nullptr, nullptr);
    front.Start();
    rear.Start();
    auto sample = [&](std::int64_t t, std::int64_t d) {
        auto s = pool->TryAcquire();
        s->mediaTime = t;
        s->duration = d;
        return s;
    };
    auto gate = std::make_shared<ClockStartGate>();
    front.Restart(1, 30 * kFrontFrame, false, 1.0f, gate);
    rear.Restart(1, 27 * kRearFrame, false, 1.0f, gate);
    gate->Seal();
    const auto sealed = std::chrono::steady_clock::now();
    // The rear picture is ready at once; the front one (slower to decode) later.
    rear.Queue(sample(27 * kRearFrame, kRearFrame), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    if (std::chrono::steady_clock::now() - sealed <
        std::chrono::milliseconds(ClockStartGate::kOpenWithinMs - 100)) {
        EXPECT_FALSE(clocks[1].Running());
        EXPECT_FALSE(gate->IsOpen());
        EXPECT_EQ(sinks[1].PresentCount(), 0);
    }
    front.Queue(sample(30 * kFrontFrame, kFrontFrame), 1);
    ASSERT_TRUE(test::WaitUntil([&] { return clocks[0].Running() && clocks[1].Running(); }));
    // Read together: both ran the same time since their own start.
    std::int64_t t0 = 0, t1 = 0;
    bool r0 = false, r1 = false;
    clocks[0].Read(t0, r0);
    clocks[1].Read(t1, r1);
    const std::int64_t ran0 = t0 - 30 * kFrontFrame;
    const std::int64_t ran1 = t1 - 27 * kRearFrame;
    EXPECT_LT(std::abs(ran0 - ran1), 20'000) << ran0 << " " << ran1;  // 2 ms of reading
    front.Stop();
    rear.Stop();
}

// A player that leaves (stopped, or sought elsewhere) does not hold the
// other back, and a gate nobody completes opens after its time.
TEST(ClockStartGateTest, LeavingOrNotArrivingDoesNotHoldTheOtherBack) {
    ClockStartGate a;
    int x = 0, y = 0;
    a.Join();
    a.Join();
    EXPECT_FALSE(a.Arrive(&x).has_value());  // not sealed yet
    a.Seal();
    EXPECT_FALSE(a.Arrive(&x).has_value());
    a.Leave(&y);
    EXPECT_TRUE(a.Arrive(&x).has_value());
    EXPECT_TRUE(a.IsOpen());

    ClockStartGate b;
    b.Join();
    b.Join();
    b.Seal();
    const auto start = std::chrono::steady_clock::now();
    while (!b.Arrive(&x)) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(ClockStartGate::kOpenWithinMs - 50));
}

}  // namespace
}  // namespace trivexa
