#pragma once
// The engine of one player: demuxes and decodes a clip with FFmpeg on a
// worker thread, times the pictures with a Scheduler and hands them to the
// camera's FrameSink, plays the sound through AudioOutput, and posts
// UM_ENGINE_READY and UM_ENGINE_ENDED to the camera's video window.
//
// The pictures' presentation clock is the position: it runs on wall time
// from the first picture of a start and never follows the sound; the sound
// is handed to the device in step with it (AudioOutput), so a slow or
// stalled sound card cannot make the position run backwards.
//
// All methods are called by the owning MoviePlayer on the UI thread (under
// its operation lock); the decoder and scheduler threads only touch the
// engine's own state and post messages. The state field is atomic because
// the scheduler thread enters Stopped at the end of the presentation.
// Lock order: the command lock before the scheduler's queue lock; the
// scheduler never takes the command lock, and neither is held while a
// message is posted or a picture is handed to the display.

#include <QObject>
#include <QSize>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "playback/engine_error.h"
#include "playback/frame_sink.h"
#include "playback/scheduler.h"
#include "playback/video_sample.h"

namespace trivexa {

enum class EngineState : int {
    kClosed = 0,
    kReady = 1,
    kOpenPending = 2,
    kStarted = 3,
    kPaused = 4,
    kStopped = 5,
    kClosing = 6,
};

struct EngineStats {
    long decoded = 0;    // pictures decoded
    long presented = 0;  // pictures handed to the display
    long late = 0;       // presented more than a quarter frame late
    long skipped = 0;    // dropped by thinning (late at fast rates)
};

class AudioOutput;
struct DecoderState;

class CPlayer {
public:
    // `videoWindow` receives the posted notifications; `sink` shows the
    // pictures. Both outlive the engine.
    CPlayer(QObject* videoWindow, FrameSink* sink);
    ~CPlayer();
    CPlayer(const CPlayer&) = delete;
    CPlayer& operator=(const CPlayer&) = delete;

    // Opens the clip: container and decoders now (errors are returned), the
    // first picture on the worker thread; UM_ENGINE_READY follows once it is
    // shown. Closes any previous clip first.
    EngineError OpenUrl(const std::string& path);
    // From Paused or Stopped: continue from the current position at the
    // stored rate. kInvalidRequest in any other state.
    // With a `gate`, the clock starts together with those of the gate's
    // other players (ClockStartGate).
    EngineError Play(std::shared_ptr<ClockStartGate> gate = nullptr);
    // Starts playing at a media time (100 ns) from any open state; with a
    // `gate` as Play.
    EngineError StartAt(std::int64_t mediaTime, std::shared_ptr<ClockStartGate> gate = nullptr);
    // When Started: pause.
    EngineError Pause();
    // From Started or Paused: back to time 0 with the first picture shown.
    EngineError Stop();
    // Shows exactly the picture at the media time and holds it; the clock
    // does not run and the state is unchanged.
    EngineError ScrubTo(std::int64_t mediaTime);
    // Stored; takes effect at the next Play or StartAt. `thin` lets the
    // decoder skip pictures that cannot be shown in time.
    void SetRate(float rate, bool thin);
    float Rate() const { return rate_; }
    // 0..65535 for every channel.
    EngineError SetVolume(int volume);
    void CloseSession();

    EngineState State() const { return state_.load(); }
    // The clip is open and its first picture has been shown (the display
    // control of the surface may be used).
    bool HasDisplay() const { return ready_.load(); }
    // Total length in 100 ns units; 0 when closed.
    std::int64_t Duration() const { return duration_; }
    // Presentation time in 100 ns units.
    std::int64_t ClockTime() const { return clock_.Time(); }
    QSize NativeSize() const { return nativeSize_; }
    // The media's own frame rate (0 when unknown).
    double StreamFrameRate() const { return streamFps_; }
    bool HasAudio() const;
    EngineStats Stats() const;
    FrameSink* Sink() const { return sink_; }
    // Delay between reaching the end and UM_ENGINE_ENDED (200 ms).
    void SetEndDelay(int ms) { scheduler_.SetEndDelay(ms); }

    // The frame rate of the first video stream of a file, without opening a
    // player (used when the clip's header has none). 0 when unknown.
    static double ProbeFrameRate(const std::string& path);

private:
    void DecodeLoop(std::stop_token stop);
    // Sends the decoder to `mediaTime`; one picture only when `onePicture`.
    void RequestSeek(std::int64_t mediaTime, bool onePicture,
                     std::shared_ptr<ClockStartGate> gate = nullptr);
    void RequestContinue();
    void OnPresented(const VideoSample& s);
    void OnEnded(bool notify);
    void ApplyAudioGain();

    QObject* videoWindow_;
    FrameSink* sink_;
    PresentationClock clock_;
    Scheduler scheduler_;
    std::shared_ptr<SamplePool> pool_;
    std::unique_ptr<DecoderState> dec_;
    std::unique_ptr<AudioOutput> audio_;

    std::atomic<EngineState> state_{EngineState::kClosed};
    std::atomic<bool> ready_{false};
    std::atomic<bool> endPending_{false};
    std::int64_t duration_ = 0;
    std::int64_t frameDuration_ = 0;
    QSize nativeSize_;
    double streamFps_ = 0.0;
    float rate_ = 1.0f;
    bool thin_ = false;
    int volume_ = 65535;
    bool noAudio_ = false;
    bool audioProbed_ = false;

    // Commands from the UI thread to the decoder thread.
    mutable std::mutex commandMutex_;
    std::condition_variable_any commandWake_;
    std::uint64_t generation_ = 0;
    bool seekPending_ = false;
    std::int64_t seekTarget_ = 0;
    bool onePicture_ = true;
    bool picturesWanted_ = false;
    bool atEnd_ = false;
    std::atomic<float> decodeRate_{1.0f};
    std::atomic<bool> decodeThin_{false};
    std::atomic<long> decodedCount_{0};
    std::atomic<long> skippedCount_{0};
    std::jthread decoder_;
};

}  // namespace trivexa
