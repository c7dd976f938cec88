#pragma once
// Presentation timing of one player: the clock that playback follows and the
// scheduler thread that hands decoded pictures to the display when their time
// has come, with the output gate that lets exactly one picture through after
// a scrub.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "playback/frame_sink.h"
#include "playback/video_sample.h"

namespace trivexa {

// Media time (100 ns units) that runs at `rate` while started. Any thread.
class PresentationClock {
public:
    std::int64_t Time() const;
    bool Running() const;
    float Rate() const;
    // Time and running state read together.
    void Read(std::int64_t& time, bool& running) const;
    // Runs from media time `t` at `rate`.
    void Start(std::int64_t t, float rate);
    // Runs from media time `t` at `rate` as if started at `wall` (the
    // instant several clocks share).
    void StartFrom(std::int64_t t, float rate, std::chrono::steady_clock::time_point wall);
    // Stops at the current time (pause) or at `t`.
    void Freeze();
    void StopAt(std::int64_t t);
    // Changes the rate keeping the current time.
    void SetRate(float rate);

private:
    std::int64_t TimeLocked() const;
    mutable std::mutex mutex_;
    bool running_ = false;
    float rate_ = 1.0f;
    std::int64_t base_ = 0;
    std::chrono::steady_clock::time_point baseWall_{};
};

// One start for the clocks of several players (the two cameras of a
// recording): each player whose clock waits for its first picture after a
// start joins the gate; the gate opens when every one that joined has its
// first picture ready, and all clocks then run from the same instant, each
// from its own first picture's time. So the camera that decodes faster does
// not lead. The owner (PlayerPair) makes one gate per start on the UI thread,
// hands it to each player's start and seals it once every player has joined;
// the schedulers arrive from their threads. A gate that does not open within
// kOpenWithinMs of its sealing opens anyway (a player that cannot deliver
// must not hold the other back). Any thread.
class ClockStartGate {
public:
    using WallClock = std::chrono::steady_clock;
    static constexpr int kOpenWithinMs = 1000;

    // A player will start its clock through this gate.
    void Join();
    // Every player has joined; from now on the gate may open.
    void Seal();
    // A player's first picture is ready: the instant the clocks run from
    // once the gate is open (every joined player arrived, or the time is up),
    // else nothing yet. `who` identifies the player; arriving again is
    // allowed (the scheduler asks until the gate opens).
    std::optional<WallClock::time_point> Arrive(const void* who);
    // A player will not arrive (stopped, sought elsewhere, closed).
    void Leave(const void* who);
    bool IsOpen() const;

private:
    std::optional<WallClock::time_point> OpenIfDueLocked();
    mutable std::mutex mutex_;
    int joined_ = 0;
    int left_ = 0;
    bool sealed_ = false;
    WallClock::time_point sealedAt_{};
    std::vector<const void*> arrived_;
    std::optional<WallClock::time_point> openedAt_;
};

class Scheduler {
public:
    // Called on the scheduler thread after a picture was handed to the display.
    using PresentedFn = std::function<void(const VideoSample&)>;
    // Called on the scheduler thread when the end of the stream is reached
    // (notify false), and again after the end delay unless a seek came
    // first (notify true).
    using EndedFn = std::function<void(bool notify)>;

    Scheduler(PresentationClock& clock, FrameSink* sink, PresentedFn presented, EndedFn ended);
    ~Scheduler();
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    void Start();
    void Stop();

    // Decoder thread: queue a picture or the end of the stream (with the
    // media time at which the last picture ends) for `generation`.
    // Pictures of an older generation than the current one are dropped.
    void Queue(std::shared_ptr<VideoSample> sample, std::uint64_t generation);
    void QueueEnd(std::int64_t endTime, std::uint64_t generation);
    // Drops everything queued and accepts only `generation` from now on.
    void Flush(std::uint64_t generation);
    // A seek: in one step, the clock stops at `at`, everything queued is
    // dropped and only `generation` is accepted from now on; then either the
    // next picture is shown and held (`onePicture`, a scrub) or the clock
    // starts with the next picture at `rate`. No picture of an older
    // generation can be shown or start the clock in between.
    // With a `gate` (not for a one-picture scrub), the clock starts through
    // it, together with the other players of the gate.
    void Restart(std::uint64_t generation, std::int64_t at, bool onePicture, float rate,
                 std::shared_ptr<ClockStartGate> gate = nullptr);

    // Output gate (any thread). Play: continuous output. Scrub: the next
    // picture is shown and then held. Stop: clears the one-picture and hold
    // states.
    void GatePlay();
    void GateScrub();
    void GateStop();
    // The clock is started at the time of the next picture presented, so a
    // seek's decoding time does not make the first pictures late.
    // With a `gate`, together with the other players of the gate.
    void StartClockWithNextPicture(float rate, std::shared_ptr<ClockStartGate> gate = nullptr);

    std::size_t QueuedCount() const;
    long PresentedCount() const;
    // Pictures presented more than a quarter frame after their time.
    long LateCount() const;
    // The end-of-stream notification after `delayMs` (200 ms by default).
    void SetEndDelay(int delayMs);

private:
    struct Item {
        std::shared_ptr<VideoSample> sample;  // null for the end of the stream
        std::int64_t endTime = 0;
        std::uint64_t generation = 0;
    };
    void Run(std::stop_token stop);
    void Present(const std::shared_ptr<VideoSample>& s, std::unique_lock<std::mutex>& lock);
    // Arms (or disarms) the clock's start; a gate given up is left. Under mutex_.
    void ArmLocked(bool armed, float rate, std::shared_ptr<ClockStartGate> gate);

    PresentationClock& clock_;
    FrameSink* sink_;
    PresentedFn presented_;
    EndedFn ended_;

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<Item> queue_;
    std::uint64_t generation_ = 0;
    bool outputOn_ = true;
    bool presentOne_ = false;
    bool hold_ = false;
    bool clockArmed_ = false;
    float armedRate_ = 1.0f;
    // The gate the armed clock starts through (none: on its own).
    std::shared_ptr<ClockStartGate> gate_;
    long presentedCount_ = 0;
    long lateCount_ = 0;
    int endDelayMs_ = 200;
    std::jthread thread_;
};

}  // namespace trivexa
