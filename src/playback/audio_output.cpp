#include "playback/audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>

namespace trivexa {

namespace {
// About one second of sound may wait between the decoder and the device.
constexpr int kQueueSeconds = 1;
constexpr std::int64_t kUnitsPerSecond = 10'000'000;

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

// Queued sound with the media time of its first sample. Written by the
// decoder thread, pulled by the device's thread.
class AudioRing : public AudioSource {
public:
    AudioRing(int channels, int sampleRate)
        : channels_(channels),
          sampleRate_(sampleRate),
          capacity_(static_cast<std::size_t>(channels) * sampleRate * kQueueSeconds) {}

    bool Push(const std::int16_t* data, int frames, std::int64_t mediaTime) {
        const std::size_t samples = static_cast<std::size_t>(frames) * channels_;
        std::lock_guard lock(mutex_);
        if (samples_.size() + samples > capacity_) return false;
        if (samples_.empty()) headTime_ = mediaTime;
        samples_.insert(samples_.end(), data, data + samples);
        return true;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        samples_.clear();
        played_ = false;
    }
    void SetGain(float g) {
        std::lock_guard lock(mutex_);
        gain_ = g;
    }
    bool Played(std::int64_t& t) const {
        std::lock_guard lock(mutex_);
        t = playedTime_;
        return played_;
    }

    PulledSound Pull(std::int16_t* out, int frames, std::int64_t) override {
        // Always deliver: silence fills gaps so the device never stalls.
        std::lock_guard lock(mutex_);
        PulledSound pulled;
        const std::size_t want = static_cast<std::size_t>(frames) * channels_;
        const std::size_t take = std::min(want, samples_.size() / channels_ * channels_);
        for (std::size_t i = 0; i < take; ++i)
            out[i] = static_cast<std::int16_t>(static_cast<float>(samples_[i]) * gain_);
        samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(take));
        if (take > 0) {
            const auto taken = static_cast<std::int64_t>(take / channels_);
            pulled.soundFrames = static_cast<int>(taken);
            pulled.soundTime = headTime_;
            playedTime_ = headTime_;
            played_ = true;
            headTime_ += taken * kUnitsPerSecond / sampleRate_;
        }
        std::fill(out + take, out + want, std::int16_t{0});
        return pulled;
    }

private:
    const int channels_;
    const int sampleRate_;
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::deque<std::int16_t> samples_;
    std::int64_t headTime_ = 0;
    std::int64_t playedTime_ = 0;
    bool played_ = false;
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

std::unique_ptr<AudioOutput> AudioOutput::Create() {
    std::unique_ptr<AudioDevice> device;
    {
        std::lock_guard lock(gFactoryMutex);
        if (gFactory) device = gFactory();
    }
    if (!device) device = SystemAudioDevice::Create();
    if (!device || device->SampleRate() <= 0 || device->Channels() <= 0) return nullptr;
    return std::unique_ptr<AudioOutput>(new AudioOutput(std::move(device)));
}

AudioOutput::AudioOutput(std::unique_ptr<AudioDevice> device)
    : device_(std::move(device)),
      ring_(std::make_shared<AudioRing>(device_->Channels(), device_->SampleRate())) {
    device_->Begin(*ring_);
}

AudioOutput::~AudioOutput() { device_->End(); }

int AudioOutput::SampleRate() const { return device_->SampleRate(); }

int AudioOutput::Channels() const { return device_->Channels(); }

bool AudioOutput::Write(const std::int16_t* data, int frames, std::int64_t mediaTime) {
    return ring_->Push(data, frames, mediaTime);
}

void AudioOutput::Flush() { ring_->Clear(); }

void AudioOutput::SetRunning(bool running) { device_->SetRunning(running); }

void AudioOutput::SetGain(float gain) { ring_->SetGain(gain); }

bool AudioOutput::PlayedTime(std::int64_t& mediaTime) const { return ring_->Played(mediaTime); }

}  // namespace trivexa
