#include "playback/scheduler.h"

#include <algorithm>
#include <cmath>

namespace trivexa {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kUnitsPerMicrosecond = 10;

}  // namespace

std::int64_t PresentationClock::TimeLocked() const {
    if (!running_) return base_;
    const auto elapsedUs =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - baseWall_).count();
    return base_ + static_cast<std::int64_t>(static_cast<double>(elapsedUs) * kUnitsPerMicrosecond *
                                             static_cast<double>(rate_));
}

std::int64_t PresentationClock::Time() const {
    std::lock_guard lock(mutex_);
    return TimeLocked();
}

bool PresentationClock::Running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

float PresentationClock::Rate() const {
    std::lock_guard lock(mutex_);
    return rate_;
}

void PresentationClock::Read(std::int64_t& time, bool& running) const {
    std::lock_guard lock(mutex_);
    time = TimeLocked();
    running = running_;
}

void PresentationClock::Start(std::int64_t t, float rate) {
    std::lock_guard lock(mutex_);
    base_ = t;
    rate_ = rate;
    baseWall_ = Clock::now();
    running_ = true;
}

void PresentationClock::StartFrom(std::int64_t t, float rate, Clock::time_point wall) {
    std::lock_guard lock(mutex_);
    base_ = t;
    rate_ = rate;
    baseWall_ = wall;
    running_ = true;
}

void PresentationClock::Freeze() {
    std::lock_guard lock(mutex_);
    base_ = TimeLocked();
    running_ = false;
}

void PresentationClock::StopAt(std::int64_t t) {
    std::lock_guard lock(mutex_);
    base_ = t;
    running_ = false;
}

void PresentationClock::SetRate(float rate) {
    std::lock_guard lock(mutex_);
    base_ = TimeLocked();
    baseWall_ = Clock::now();
    rate_ = rate;
}

void ClockStartGate::Join() {
    std::lock_guard lock(mutex_);
    ++joined_;
}

void ClockStartGate::Seal() {
    std::lock_guard lock(mutex_);
    sealed_ = true;
    sealedAt_ = WallClock::now();
}

std::optional<ClockStartGate::WallClock::time_point> ClockStartGate::OpenIfDueLocked() {
    if (openedAt_ || !sealed_) return openedAt_;
    const WallClock::time_point now = WallClock::now();
    const bool all = static_cast<int>(arrived_.size()) >= joined_ - left_;
    if (all || now - sealedAt_ >= std::chrono::milliseconds(kOpenWithinMs)) openedAt_ = now;
    return openedAt_;
}

std::optional<ClockStartGate::WallClock::time_point> ClockStartGate::Arrive(const void* who) {
    std::lock_guard lock(mutex_);
    if (!openedAt_ && std::find(arrived_.begin(), arrived_.end(), who) == arrived_.end())
        arrived_.push_back(who);
    return OpenIfDueLocked();
}

void ClockStartGate::Leave(const void* who) {
    std::lock_guard lock(mutex_);
    if (openedAt_) return;
    if (const auto it = std::find(arrived_.begin(), arrived_.end(), who); it != arrived_.end())
        arrived_.erase(it);
    ++left_;
}

bool ClockStartGate::IsOpen() const {
    std::lock_guard lock(mutex_);
    return openedAt_.has_value();
}

Scheduler::Scheduler(PresentationClock& clock, FrameSink* sink, PresentedFn presented,
                     EndedFn ended)
    : clock_(clock), sink_(sink), presented_(std::move(presented)), ended_(std::move(ended)) {}

Scheduler::~Scheduler() { Stop(); }

void Scheduler::Start() {
    if (thread_.joinable()) return;
    thread_ = std::jthread([this](std::stop_token st) { Run(st); });
}

void Scheduler::Stop() {
    if (!thread_.joinable()) return;
    thread_.request_stop();
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        ArmLocked(false, armedRate_, nullptr);
    }
    wake_.notify_all();
    thread_.join();
}

void Scheduler::Queue(std::shared_ptr<VideoSample> sample, std::uint64_t generation) {
    {
        std::lock_guard lock(mutex_);
        if (generation != generation_) return;
        queue_.push_back(Item{std::move(sample), 0, generation});
    }
    wake_.notify_all();
}

void Scheduler::QueueEnd(std::int64_t endTime, std::uint64_t generation) {
    {
        std::lock_guard lock(mutex_);
        if (generation != generation_) return;
        queue_.push_back(Item{nullptr, endTime, generation});
    }
    wake_.notify_all();
}

void Scheduler::Flush(std::uint64_t generation) {
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        generation_ = generation;
    }
    wake_.notify_all();
}

void Scheduler::ArmLocked(bool armed, float rate, std::shared_ptr<ClockStartGate> gate) {
    if (!armed) gate.reset();
    if (gate_ && gate_ != gate) gate_->Leave(this);
    if (gate && gate != gate_) gate->Join();
    gate_ = std::move(gate);
    clockArmed_ = armed;
    armedRate_ = rate;
}

void Scheduler::Restart(std::uint64_t generation, std::int64_t at, bool onePicture, float rate,
                        std::shared_ptr<ClockStartGate> gate) {
    {
        std::lock_guard lock(mutex_);
        clock_.StopAt(at);
        queue_.clear();
        generation_ = generation;
        outputOn_ = true;
        hold_ = false;
        presentOne_ = onePicture;
        ArmLocked(!onePicture, rate, std::move(gate));
    }
    wake_.notify_all();
}

void Scheduler::GatePlay() {
    {
        std::lock_guard lock(mutex_);
        outputOn_ = true;
        presentOne_ = false;
        hold_ = false;
    }
    wake_.notify_all();
}

void Scheduler::GateScrub() {
    {
        std::lock_guard lock(mutex_);
        outputOn_ = true;
        presentOne_ = true;
        hold_ = false;
        ArmLocked(false, armedRate_, nullptr);
    }
    wake_.notify_all();
}

void Scheduler::GateStop() {
    {
        std::lock_guard lock(mutex_);
        presentOne_ = false;
        hold_ = false;
        ArmLocked(false, armedRate_, nullptr);
    }
    wake_.notify_all();
}

void Scheduler::StartClockWithNextPicture(float rate, std::shared_ptr<ClockStartGate> gate) {
    {
        std::lock_guard lock(mutex_);
        ArmLocked(true, rate, std::move(gate));
    }
    wake_.notify_all();
}

std::size_t Scheduler::QueuedCount() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

long Scheduler::PresentedCount() const {
    std::lock_guard lock(mutex_);
    return presentedCount_;
}

long Scheduler::LateCount() const {
    std::lock_guard lock(mutex_);
    return lateCount_;
}

void Scheduler::SetEndDelay(int delayMs) {
    std::lock_guard lock(mutex_);
    endDelayMs_ = delayMs;
}

void Scheduler::Present(const std::shared_ptr<VideoSample>& s, std::unique_lock<std::mutex>& lock) {
    ++presentedCount_;
    lock.unlock();
    if (sink_ != nullptr) sink_->PresentSample(s);
    if (presented_) presented_(*s);
    lock.lock();
}

void Scheduler::Run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (queue_.empty() || hold_ || !outputOn_) {
            wake_.wait(lock, stop, [this] { return !queue_.empty() && !hold_ && outputOn_; });
            continue;
        }
        Item& head = queue_.front();
        if (head.generation != generation_) {
            queue_.pop_front();
            continue;
        }
        if (presentOne_) {
            // One picture after a scrub, whatever the clock says; then hold.
            if (!head.sample) {
                queue_.pop_front();
                continue;
            }
            auto s = std::move(head.sample);
            queue_.pop_front();
            presentOne_ = false;
            hold_ = true;
            Present(s, lock);
            continue;
        }
        if (clockArmed_) {
            const std::int64_t now = clock_.Time();
            const std::int64_t first = head.sample ? head.sample->mediaTime : now;
            const std::int64_t from = first > now ? first : now;
            if (gate_) {
                // The first picture is ready; the clock runs once the other
                // players' are too, from the same instant.
                const std::optional<ClockStartGate::WallClock::time_point> opened =
                    gate_->Arrive(this);
                if (!opened) {
                    wake_.wait_for(lock, stop, std::chrono::milliseconds(1),
                                   [this, g = generation_] {
                                       return generation_ != g || !clockArmed_;
                                   });
                    continue;
                }
                clock_.StartFrom(from, armedRate_, *opened);
                gate_.reset();
            } else {
                clock_.Start(from, armedRate_);
            }
            clockArmed_ = false;
        }
        if (!clock_.Running()) {
            // Paused or stopped: keep the queue until the clock runs again.
            wake_.wait(lock, stop, [this] { return clockArmed_ || presentOne_ || queue_.empty(); });
            continue;
        }
        const float rate = clock_.Rate();
        const double absRate =
            std::fabs(static_cast<double>(rate)) > 0.0 ? std::fabs(static_cast<double>(rate)) : 1.0;
        const std::int64_t now = clock_.Time();
        if (!head.sample) {
            // End of the stream: once the last picture's time is over, the
            // clock stops there and the owner hears of it after a short delay.
            const std::int64_t wait = head.endTime - now;
            if (wait > 0) {
                wake_.wait_for(lock, stop,
                               std::chrono::microseconds(static_cast<std::int64_t>(
                                   static_cast<double>(wait) / kUnitsPerMicrosecond / absRate)),
                               [this, g = generation_] { return generation_ != g; });
                continue;
            }
            const std::uint64_t g = head.generation;
            const std::int64_t endTime = head.endTime;
            queue_.pop_front();
            clock_.StopAt(endTime);
            if (ended_) {
                lock.unlock();
                ended_(false);
                lock.lock();
                const bool flushed =
                    wake_.wait_for(lock, stop, std::chrono::milliseconds(endDelayMs_),
                                   [this, g] { return generation_ != g; });
                if (!flushed && !stop.stop_requested()) {
                    lock.unlock();
                    ended_(true);
                    lock.lock();
                }
            }
            continue;
        }
        // The quarter-frame rule: present when at most a quarter frame late
        // or at most three quarters early; otherwise wait for the difference.
        std::int64_t delta = head.sample->mediaTime - now;
        if (rate < 0) delta = -delta;
        const std::int64_t q = head.sample->duration / 4;
        if (delta > 3 * q) {
            const auto sleepUs = static_cast<std::int64_t>(static_cast<double>(delta - 3 * q) /
                                                           kUnitsPerMicrosecond / absRate);
            wake_.wait_for(lock, stop, std::chrono::microseconds(sleepUs),
                           [this, g = generation_] { return generation_ != g || hold_; });
            continue;
        }
        if (delta < -q) ++lateCount_;
        auto s = std::move(head.sample);
        queue_.pop_front();
        Present(s, lock);
    }
}

}  // namespace trivexa
