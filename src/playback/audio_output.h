#pragma once
// Sound of one player: 16-bit interleaved samples queued by the decoder
// thread and pulled by a Qt Multimedia audio sink that lives on its own
// thread. Create() returns nothing when the system has no audio output
// device or refuses the format; the player then simply plays without sound.

#include <QAudioFormat>
#include <QThread>
#include <cstdint>
#include <memory>

namespace trivexa {

class AudioRing;
class AudioSinkHost;

class AudioOutput {
public:
    // The format the player must resample to: the device's preference
    // reduced to 16-bit samples.
    static std::unique_ptr<AudioOutput> Create();
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    int SampleRate() const { return format_.sampleRate(); }
    int Channels() const { return format_.channelCount(); }

    // Decoder thread: queue `frames` frames starting at `mediaTime` (100 ns).
    // Returns false when the queue is full (the caller drops the samples).
    bool Write(const std::int16_t* data, int frames, std::int64_t mediaTime);
    // Forget everything queued (seek, stop).
    void Flush();
    // Audible (playing at normal speed) or silent.
    void SetRunning(bool running);
    // 0.0 .. 1.0 on every channel.
    void SetGain(float gain);
    // Media time of the sound being heard now; false when nothing of the
    // clip has been played since the last flush.
    bool PlayedTime(std::int64_t& mediaTime) const;

private:
    AudioOutput() = default;
    QAudioFormat format_;
    std::shared_ptr<AudioRing> ring_;
    QThread thread_;
    // Lives on thread_; destroyed after the thread has ended.
    std::unique_ptr<AudioSinkHost> host_;
};

}  // namespace trivexa
