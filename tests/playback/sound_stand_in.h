#pragma once
// A sound card for machines without one: pulls 10 ms of sound every 10 ms
// while running, as a system device drains its ring, and records what it
// pulled so tests can tell which moment of the clip was heard when.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "playback/audio_output.h"

namespace trivexa::test {

using SteadyTime = std::chrono::steady_clock::time_point;

// Everything the stand-in devices of a test pulled, in order.
class SoundLog {
public:
    struct Heard {
        SteadyTime at;           // when the device pulled it
        std::int64_t mediaTime;  // media time (100 ns) of the first sound sample
        std::int64_t endTime;    // media time after the last one
    };
    void Add(SteadyTime at, const PulledSound& p, int sampleRate) {
        if (p.soundFrames <= 0) return;
        // The sound starts after the leading silence of the buffer.
        const auto lead =
            std::chrono::microseconds(std::int64_t{p.silentFrames} * 1'000'000 / sampleRate);
        std::lock_guard lock(mutex_);
        heard_.push_back({at + lead, p.soundTime,
                          p.soundTime + std::int64_t{p.soundFrames} * 10'000'000 / sampleRate});
    }
    // The first sound pulled at or after `from`.
    std::optional<Heard> FirstAfter(SteadyTime from) const {
        std::lock_guard lock(mutex_);
        for (const Heard& h : heard_)
            if (h.at >= from) return h;
        return std::nullopt;
    }
    std::vector<Heard> All() const {
        std::lock_guard lock(mutex_);
        return heard_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        heard_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Heard> heard_;
};

class StandInSoundCard : public AudioDevice {
public:
    static constexpr int kRate = 48000;
    static constexpr int kChannels = 2;
    static constexpr int kPeriodMs = 10;

    explicit StandInSoundCard(std::shared_ptr<SoundLog> log) : log_(std::move(log)) {}
    ~StandInSoundCard() override { End(); }

    int SampleRate() const override { return kRate; }
    int Channels() const override { return kChannels; }
    void Begin(AudioSource& source) override {
        source_ = &source;
        thread_ = std::jthread([this](std::stop_token st) { Run(st); });
    }
    void SetRunning(bool running) override {
        {
            std::lock_guard lock(mutex_);
            running_ = running;
        }
        wake_.notify_all();
    }
    void End() override {
        if (thread_.joinable()) {
            thread_.request_stop();
            wake_.notify_all();
            thread_.join();
        }
    }

private:
    void Run(std::stop_token stop) {
        constexpr int kFrames = kRate * kPeriodMs / 1000;
        std::vector<std::int16_t> buffer(static_cast<std::size_t>(kFrames) * kChannels);
        std::unique_lock lock(mutex_);
        while (!stop.stop_requested()) {
            if (!running_) {
                wake_.wait(lock, stop, [this] { return running_; });
                next_ = std::chrono::steady_clock::now();
                continue;
            }
            // A steady 10 ms beat, whatever each pull cost.
            if (wake_.wait_until(lock, stop, next_, [this] { return !running_; })) continue;
            if (stop.stop_requested()) break;
            next_ += std::chrono::milliseconds(kPeriodMs);
            lock.unlock();
            const SteadyTime at = std::chrono::steady_clock::now();
            const PulledSound p = source_->Pull(buffer.data(), kFrames, 0);
            log_->Add(at, p, kRate);
            lock.lock();
        }
    }

    std::shared_ptr<SoundLog> log_;
    AudioSource* source_ = nullptr;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    bool running_ = false;
    SteadyTime next_{};
    std::jthread thread_;
};

// Installs the stand-in for the players opened while it lives.
class StandInSoundCards {
public:
    StandInSoundCards() : log_(std::make_shared<SoundLog>()) {
        SetAudioDeviceFactory([log = log_] { return std::make_unique<StandInSoundCard>(log); });
    }
    ~StandInSoundCards() { SetAudioDeviceFactory({}); }
    StandInSoundCards(const StandInSoundCards&) = delete;
    StandInSoundCards& operator=(const StandInSoundCards&) = delete;
    SoundLog& Log() { return *log_; }

private:
    std::shared_ptr<SoundLog> log_;
};

}  // namespace trivexa::test
