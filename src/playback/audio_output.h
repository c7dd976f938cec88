#pragma once
// Sound of one player: 16-bit interleaved samples queued by the decoder
// thread and pulled by a sound device on the device's own thread. Create()
// returns nothing when the system has no audio output device or refuses the
// format; the player then simply plays without sound.
//
// The pictures' presentation clock is the master: every pull hands the
// device the sound that is due when the device will play it. Sound that
// comes too late for that is dropped, sound that is early waits behind
// silence, and while the clock stands (paused, or a restart waiting for its
// first picture) the device gets silence and the queue is kept. So the first
// sound after a restart is that of the first picture, and the position,
// which follows the clock alone, never runs backwards because of the sound.

#include <cstdint>
#include <functional>
#include <memory>

namespace trivexa {

class AudioRing;
class PresentationClock;

// What a device gets from one pull of the queue (for devices that want to
// know what they play; the system device ignores it).
struct PulledSound {
    int silentFrames = 0;        // frames of silence at the start of the buffer
    int soundFrames = 0;         // frames of the clip's sound after them
    std::int64_t soundTime = 0;  // media time (100 ns) of the first of those
};

// The queue side a device pulls from.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    // Device thread: fills `frames` frames into `out`, silence where no sound
    // is queued. `latency` (100 ns) is how long the device still needs
    // before the first of these frames is heard.
    virtual PulledSound Pull(std::int16_t* out, int frames, std::int64_t latency) = 0;
};

// A sound output: the system's default device (Qt Multimedia), or a stand-in
// where there is none (tests). Pulls from its source on its own thread
// while running.
class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    virtual int SampleRate() const = 0;
    virtual int Channels() const = 0;
    // Starts pulling from `source`, suspended until SetRunning(true). Called
    // once, before SetRunning; `source` outlives End().
    virtual void Begin(AudioSource& source) = 0;
    // Any thread: resume or suspend pulling.
    virtual void SetRunning(bool running) = 0;
    // Stops for good; `source` is not touched afterwards.
    virtual void End() = 0;
};

// Makes the device of every AudioOutput created from now on (tests put a
// stand-in here); an empty factory restores the system's default device.
using AudioDeviceFactory = std::function<std::unique_ptr<AudioDevice>()>;
void SetAudioDeviceFactory(AudioDeviceFactory factory);

class AudioOutput {
public:
    // Sound through the device of the factory, or the system's default
    // device, timed by `clock` (which outlives the output); nothing when
    // there is no device.
    static std::unique_ptr<AudioOutput> Create(const PresentationClock& clock);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // The format the player must resample to: interleaved 16-bit samples.
    int SampleRate() const;
    int Channels() const;

    // Decoder thread: queue `frames` frames starting at `mediaTime` (100 ns),
    // decoded for the seek `generation` (sound of any other is ignored).
    // Returns false when the queue is full (the caller drops the samples).
    bool Write(const std::int16_t* data, int frames, std::int64_t mediaTime,
               std::uint64_t generation);
    // Forget everything queued (stop, speeds without sound).
    void Flush();
    // A seek: forget everything queued and take only sound of `generation`.
    void Flush(std::uint64_t generation);
    // How much sound is queued (100 ns).
    std::int64_t Queued() const;
    // Audible (playing at normal speed) or silent.
    void SetRunning(bool running);
    // 0.0 .. 1.0 on every channel.
    void SetGain(float gain);

private:
    AudioOutput(std::unique_ptr<AudioDevice> device, const PresentationClock& clock);
    std::unique_ptr<AudioDevice> device_;
    std::shared_ptr<AudioRing> ring_;
};

}  // namespace trivexa
