#include "playback/audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "playback/scheduler.h"

namespace trivexa {

namespace {
// About one second of sound may wait between the decoder and the device.
constexpr int kQueueSeconds = 1;
constexpr std::int64_t kUnitsPerSecond = 10'000'000;
// Sound and picture may drift this far apart (100 ns) before the sound is
// put back in step with a skip or a pause: less than lips can tell, more
// than a device's pull period.
constexpr std::int64_t kAudioTolerance = 300'000;  // 30 ms

// Qt's PulseAudio backend reports a missing sound server on the terminal
// ("PulseAudioService: pa_context_connect() failed") as a plain warning.
// Playing without sound is the normal answer to that, so those lines are
// dropped; every other message goes to the handler that was in place.
QtMessageHandler g_previousHandler = nullptr;

void DropSoundServerNotices(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
    if (message.startsWith(QLatin1String("PulseAudioService:"))) return;
    // Qt hands back its default handler when none was installed before.
    if (g_previousHandler) g_previousHandler(type, context, message);
}

void QuietSoundServerNotices() {
    static std::once_flag once;
    std::call_once(once,
                   [] { g_previousHandler = qInstallMessageHandler(DropSoundServerNotices); });
}

std::mutex gFactoryMutex;
AudioDeviceFactory gFactory;
}  // namespace

// Queued sound: stretches of samples, each with the media time of its first
// sample (a stretch begins wherever the decoder's sound does not follow on
// from what is queued). Written by the decoder thread, pulled by the
// device's thread, timed by the clock.
class AudioRing : public AudioSource {
public:
    AudioRing(int channels, int sampleRate, const PresentationClock& clock)
        : channels_(channels),
          sampleRate_(sampleRate),
          capacity_(static_cast<std::int64_t>(sampleRate) * kQueueSeconds),
          clock_(clock) {}

    bool Push(const std::int16_t* data, int frames, std::int64_t mediaTime,
              std::uint64_t generation) {
        if (frames <= 0) return true;
        std::lock_guard lock(mutex_);
        if (generation != generation_) return true;  // sound from before a seek
        if (queued_ + frames > capacity_) return false;
        const auto count = static_cast<std::size_t>(frames) * channels_;
        Stretch* last = stretches_.empty() ? nullptr : &stretches_.back();
        if (last != nullptr && std::llabs(last->EndTime(*this) - mediaTime) <= Duration(1)) {
            last->samples.insert(last->samples.end(), data, data + count);
        } else {
            stretches_.push_back(
                Stretch{mediaTime, 0, std::vector<std::int16_t>(data, data + count)});
        }
        queued_ += frames;
        return true;
    }
    void Clear(std::optional<std::uint64_t> generation) {
        std::lock_guard lock(mutex_);
        stretches_.clear();
        queued_ = 0;
        inStep_ = false;
        if (generation) generation_ = *generation;
    }
    std::int64_t Queued() const {
        std::lock_guard lock(mutex_);
        return Duration(queued_);
    }
    void SetGain(float g) {
        std::lock_guard lock(mutex_);
        gain_ = g;
    }

    PulledSound Pull(std::int16_t* out, int frames, std::int64_t latency) override {
        // Always deliver: silence fills gaps so the device never stalls.
        std::fill(out, out + static_cast<std::size_t>(frames) * channels_, std::int16_t{0});
        PulledSound pulled;
        std::int64_t now = 0;
        bool running = false;
        clock_.Read(now, running);
        std::lock_guard lock(mutex_);
        if (!running) {
            // Nothing is due while the pictures stand; the queue waits.
            inStep_ = false;
            return pulled;
        }
        int at = 0;
        while (at < frames && !stretches_.empty()) {
            Stretch& head = stretches_.front();
            const std::int64_t due = now + latency + Duration(at);
            // Once in step the sound runs on unbroken while it stays within
            // the tolerance; the first sound after a gap lands exactly.
            const std::int64_t slack = inStep_ ? kAudioTolerance : Duration(1);
            const std::int64_t ahead = head.Time(*this) - due;
            if (ahead < -slack) {
                // Too late to be heard with its picture: skip to what is due.
                Drop(std::max<std::int64_t>(1, Frames(-ahead)));
                inStep_ = false;
                continue;
            }
            if (ahead > slack) {
                // Early: silence until it is due.
                at += static_cast<int>(
                    std::min<std::int64_t>(frames - at, std::max<std::int64_t>(1, Frames(ahead))));
                inStep_ = false;
                continue;
            }
            const std::int64_t take = std::min<std::int64_t>(frames - at, head.Frames(*this));
            if (pulled.soundFrames == 0) {
                pulled.silentFrames = at;
                pulled.soundTime = head.Time(*this);
            }
            const std::int16_t* from = head.samples.data() + head.offset * channels_;
            std::int16_t* to = out + static_cast<std::size_t>(at) * channels_;
            for (std::size_t i = 0; i < static_cast<std::size_t>(take) * channels_; ++i)
                to[i] = static_cast<std::int16_t>(static_cast<float>(from[i]) * gain_);
            Drop(take);
            pulled.soundFrames += static_cast<int>(take);
            at += static_cast<int>(take);
            inStep_ = true;
        }
        // A queue that ran dry starts its next sound exactly in step again.
        if (stretches_.empty()) inStep_ = false;
        return pulled;
    }

private:
    struct Stretch {
        std::int64_t start = 0;  // media time of samples[0]
        std::size_t offset = 0;  // frames already played or dropped
        std::vector<std::int16_t> samples;
        std::int64_t Time(const AudioRing& r) const {
            return start + r.Duration(static_cast<std::int64_t>(offset));
        }
        std::int64_t Frames(const AudioRing& r) const {
            return static_cast<std::int64_t>(samples.size() / r.channels_ - offset);
        }
        std::int64_t EndTime(const AudioRing& r) const {
            return start + r.Duration(static_cast<std::int64_t>(samples.size() / r.channels_));
        }
    };

    std::int64_t Duration(std::int64_t frames) const {
        return frames * kUnitsPerSecond / sampleRate_;
    }
    std::int64_t Frames(std::int64_t duration) const {
        return duration * sampleRate_ / kUnitsPerSecond;
    }
    // Removes up to `frames` frames from the head.
    void Drop(std::int64_t frames) {
        while (frames > 0 && !stretches_.empty()) {
            Stretch& head = stretches_.front();
            const std::int64_t n = std::min(frames, head.Frames(*this));
            head.offset += static_cast<std::size_t>(n);
            queued_ -= n;
            frames -= n;
            if (head.Frames(*this) == 0) stretches_.pop_front();
        }
    }

    const int channels_;
    const int sampleRate_;
    const std::int64_t capacity_;  // frames
    const PresentationClock& clock_;
    mutable std::mutex mutex_;
    std::deque<Stretch> stretches_;
    std::int64_t queued_ = 0;  // frames
    std::uint64_t generation_ = 0;
    bool inStep_ = false;
    float gain_ = 1.0f;
};

namespace {

// The queue as the byte stream a QAudioSink pulls; lives on the audio thread.
class PullStream : public QIODevice {
public:
    PullStream(AudioSource& source, const QAudioFormat& format)
        : source_(source), format_(format) {}
    void SetSink(const QAudioSink* sink) { sink_ = sink; }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 16; }

protected:
    qint64 readData(char* out, qint64 maxSize) override {
        const int bytesPerFrame = format_.bytesPerFrame();
        const int frames = static_cast<int>(maxSize / bytesPerFrame);
        if (frames <= 0) return 0;
        // What the sink holds already is heard before these frames.
        std::int64_t latency = 0;
        if (sink_ != nullptr) {
            const qint64 buffered = std::max<qint64>(0, sink_->bufferSize() - sink_->bytesFree());
            latency = format_.durationForBytes(static_cast<qint32>(buffered)) * 10;
        }
        source_.Pull(reinterpret_cast<std::int16_t*>(out), frames, latency);
        return static_cast<qint64>(frames) * bytesPerFrame;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    AudioSource& source_;
    QAudioFormat format_;
    const QAudioSink* sink_ = nullptr;
};

// Owns the QAudioSink on the audio thread; every call reaches it queued.
class SinkHost : public QObject {
public:
    SinkHost(QAudioDevice device, QAudioFormat format)
        : device_(std::move(device)), format_(format) {}
    void Begin(AudioSource& source) {
        stream_ = std::make_unique<PullStream>(source, format_);
        sink_ = std::make_unique<QAudioSink>(device_, format_);
        stream_->SetSink(sink_.get());
        stream_->open(QIODevice::ReadOnly);
        sink_->start(stream_.get());
        sink_->suspend();
    }
    void SetRunning(bool running) {
        if (!sink_) return;
        if (running)
            sink_->resume();
        else
            sink_->suspend();
    }
    void End() {
        if (sink_) sink_->stop();
        sink_.reset();
        if (stream_) stream_->close();
        stream_.reset();
    }

private:
    QAudioDevice device_;
    QAudioFormat format_;
    std::unique_ptr<PullStream> stream_;
    std::unique_ptr<QAudioSink> sink_;
};

// The system's default output through Qt Multimedia, on a thread of its own.
class SystemAudioDevice : public AudioDevice {
public:
    static std::unique_ptr<SystemAudioDevice> Create() {
        QuietSoundServerNotices();
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) return nullptr;
        QAudioFormat format = device.preferredFormat();
        format.setSampleFormat(QAudioFormat::Int16);
        format.setChannelCount(std::clamp(format.channelCount(), 1, 2));
        if (format.sampleRate() <= 0) format.setSampleRate(48000);
        if (!device.isFormatSupported(format)) return nullptr;
        return std::unique_ptr<SystemAudioDevice>(new SystemAudioDevice(device, format));
    }
    ~SystemAudioDevice() override { End(); }

    int SampleRate() const override { return format_.sampleRate(); }
    int Channels() const override { return format_.channelCount(); }
    void Begin(AudioSource& source) override {
        thread_.setObjectName(QStringLiteral("audio"));
        thread_.start();
        host_->moveToThread(&thread_);
        QMetaObject::invokeMethod(
            host_.get(), [h = host_.get(), &source] { h->Begin(source); },
            Qt::BlockingQueuedConnection);
    }
    void SetRunning(bool running) override {
        QMetaObject::invokeMethod(
            host_.get(), [h = host_.get(), running] { h->SetRunning(running); },
            Qt::QueuedConnection);
    }
    void End() override {
        if (!thread_.isRunning()) return;
        // The sink is stopped and destroyed on its own thread.
        QMetaObject::invokeMethod(
            host_.get(), [h = host_.get()] { h->End(); }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }

private:
    SystemAudioDevice(const QAudioDevice& device, const QAudioFormat& format)
        : format_(format), host_(std::make_unique<SinkHost>(device, format)) {}
    QAudioFormat format_;
    QThread thread_;
    // Lives on thread_ once begun; destroyed after the thread has ended.
    std::unique_ptr<SinkHost> host_;
};

}  // namespace

void SetAudioDeviceFactory(AudioDeviceFactory factory) {
    std::lock_guard lock(gFactoryMutex);
    gFactory = std::move(factory);
}

std::unique_ptr<AudioOutput> AudioOutput::Create(const PresentationClock& clock) {
    std::unique_ptr<AudioDevice> device;
    {
        std::lock_guard lock(gFactoryMutex);
        if (gFactory) device = gFactory();
    }
    if (!device) device = SystemAudioDevice::Create();
    if (!device || device->SampleRate() <= 0 || device->Channels() <= 0) return nullptr;
    return std::unique_ptr<AudioOutput>(new AudioOutput(std::move(device), clock));
}

AudioOutput::AudioOutput(std::unique_ptr<AudioDevice> device, const PresentationClock& clock)
    : device_(std::move(device)),
      ring_(std::make_shared<AudioRing>(device_->Channels(), device_->SampleRate(), clock)) {
    device_->Begin(*ring_);
}

AudioOutput::~AudioOutput() { device_->End(); }

int AudioOutput::SampleRate() const { return device_->SampleRate(); }

int AudioOutput::Channels() const { return device_->Channels(); }

bool AudioOutput::Write(const std::int16_t* data, int frames, std::int64_t mediaTime,
                        std::uint64_t generation) {
    return ring_->Push(data, frames, mediaTime, generation);
}

void AudioOutput::Flush() { ring_->Clear(std::nullopt); }

void AudioOutput::Flush(std::uint64_t generation) { ring_->Clear(generation); }

std::int64_t AudioOutput::Queued() const { return ring_->Queued(); }

void AudioOutput::SetRunning(bool running) { device_->SetRunning(running); }

void AudioOutput::SetGain(float gain) { ring_->SetGain(gain); }

}  // namespace trivexa
