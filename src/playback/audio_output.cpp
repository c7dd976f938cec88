#include "playback/audio_output.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

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
}  // namespace

// Queued sound with the media time of its first byte. Read by the sink's
// thread, written by the decoder thread.
class AudioRing : public QIODevice {
public:
    AudioRing(int bytesPerFrame, int sampleRate)
        : bytesPerFrame_(bytesPerFrame),
          sampleRate_(sampleRate),
          capacity_(static_cast<std::size_t>(bytesPerFrame) * sampleRate * kQueueSeconds) {}

    bool Push(const std::int16_t* data, int frames, std::int64_t mediaTime) {
        const std::size_t bytes = static_cast<std::size_t>(frames) * bytesPerFrame_;
        std::lock_guard lock(mutex_);
        if (bytes_.size() + bytes > capacity_) return false;
        if (bytes_.empty()) headTime_ = mediaTime;
        const auto* p = reinterpret_cast<const char*>(data);
        bytes_.insert(bytes_.end(), p, p + bytes);
        return true;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        bytes_.clear();
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
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 16; }

protected:
    qint64 readData(char* out, qint64 maxSize) override {
        // Always deliver: silence fills gaps so the device never stalls.
        std::lock_guard lock(mutex_);
        const auto want = static_cast<std::size_t>(maxSize) / bytesPerFrame_ * bytesPerFrame_;
        const std::size_t take = std::min(want, bytes_.size());
        auto* samples = reinterpret_cast<std::int16_t*>(out);
        for (std::size_t i = 0; i < take / 2; ++i) {
            std::int16_t v = 0;
            std::memcpy(&v, &bytes_[i * 2], 2);
            samples[i] = static_cast<std::int16_t>(static_cast<float>(v) * gain_);
        }
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(take));
        if (take > 0) {
            const std::int64_t frames = static_cast<std::int64_t>(take / bytesPerFrame_);
            playedTime_ = headTime_;
            played_ = true;
            headTime_ += frames * kUnitsPerSecond / sampleRate_;
        }
        std::memset(out + take, 0, want - take);
        return static_cast<qint64>(want);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    const int bytesPerFrame_;
    const int sampleRate_;
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::deque<char> bytes_;
    std::int64_t headTime_ = 0;
    std::int64_t playedTime_ = 0;
    bool played_ = false;
    float gain_ = 1.0f;
};

// Owns the QAudioSink on the audio thread; every call reaches it queued.
class AudioSinkHost : public QObject {
public:
    AudioSinkHost(QAudioDevice device, QAudioFormat format, std::shared_ptr<AudioRing> ring)
        : device_(std::move(device)), format_(format), ring_(std::move(ring)) {}
    void Begin() {
        sink_ = std::make_unique<QAudioSink>(device_, format_);
        ring_->open(QIODevice::ReadOnly);
        sink_->start(ring_.get());
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
        ring_->close();
    }

private:
    QAudioDevice device_;
    QAudioFormat format_;
    std::shared_ptr<AudioRing> ring_;
    std::unique_ptr<QAudioSink> sink_;
};

std::unique_ptr<AudioOutput> AudioOutput::Create() {
    QuietSoundServerNotices();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return nullptr;
    QAudioFormat format = device.preferredFormat();
    format.setSampleFormat(QAudioFormat::Int16);
    format.setChannelCount(std::clamp(format.channelCount(), 1, 2));
    if (format.sampleRate() <= 0) format.setSampleRate(48000);
    if (!device.isFormatSupported(format)) return nullptr;

    std::unique_ptr<AudioOutput> out(new AudioOutput());
    out->format_ = format;
    out->ring_ = std::make_shared<AudioRing>(format.bytesPerFrame(), format.sampleRate());
    out->thread_.setObjectName(QStringLiteral("audio"));
    out->thread_.start();
    out->host_ = std::make_unique<AudioSinkHost>(device, format, out->ring_);
    out->host_->moveToThread(&out->thread_);
    QMetaObject::invokeMethod(
        out->host_.get(), [h = out->host_.get()] { h->Begin(); }, Qt::BlockingQueuedConnection);
    return out;
}

AudioOutput::~AudioOutput() {
    // The sink is stopped and destroyed on its own thread.
    QMetaObject::invokeMethod(
        host_.get(), [h = host_.get()] { h->End(); }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
    host_.reset();
}

bool AudioOutput::Write(const std::int16_t* data, int frames, std::int64_t mediaTime) {
    return ring_->Push(data, frames, mediaTime);
}

void AudioOutput::Flush() { ring_->Clear(); }

void AudioOutput::SetRunning(bool running) {
    QMetaObject::invokeMethod(
        host_.get(), [h = host_.get(), running] { h->SetRunning(running); }, Qt::QueuedConnection);
}

void AudioOutput::SetGain(float gain) { ring_->SetGain(gain); }

bool AudioOutput::PlayedTime(std::int64_t& mediaTime) const { return ring_->Played(mediaTime); }

}  // namespace trivexa
