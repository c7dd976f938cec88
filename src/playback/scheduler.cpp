#include "playback/scheduler.h"

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

void Scheduler::Restart(std::uint64_t generation, std::int64_t at, bool onePicture, float rate) {
    {
        std::lock_guard lock(mutex_);
        clock_.StopAt(at);
        queue_.clear();
        generation_ = generation;
        outputOn_ = true;
        hold_ = false;
        presentOne_ = onePicture;
        clockArmed_ = !onePicture;
        armedRate_ = rate;
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
        clockArmed_ = false;
    }
    wake_.notify_all();
}

void Scheduler::GateStop() {
    {
        std::lock_guard lock(mutex_);
        presentOne_ = false;
        hold_ = false;
        clockArmed_ = false;
    }
    wake_.notify_all();
}

void Scheduler::StartClockWithNextPicture(float rate) {
    {
        std::lock_guard lock(mutex_);
        clockArmed_ = true;
        armedRate_ = rate;
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
            clockArmed_ = false;
            const std::int64_t now = clock_.Time();
            const std::int64_t from = head.sample ? head.sample->mediaTime : now;
            clock_.Start(from > now ? from : now, armedRate_);
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
