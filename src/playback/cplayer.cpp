#include "playback/cplayer.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <vector>

#include "app/messages/posted_message.h"
#include "playback/audio_output.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace trivexa {
namespace {

constexpr AVRational kMediaTimeBase{1, 10'000'000};
// Pictures in flight: decoder, queue and the one on screen. Bounds memory.
constexpr std::size_t kPoolSize = 6;
// Decoder waits for a free picture in steps this long, checking for commands.
constexpr int kPoolWaitMs = 20;
// Decoder threads per clip: two players share the machine.
constexpr int kDecoderThreads = 2;
// At fast rates a picture later than this many frames switches decoding to
// key frames only until it catches up.
constexpr int kKeyFramesOnlyLag = 8;
// While the decoder waits for a free picture it reads on, so that the sound
// of the coming pictures is queued before it is due (a clip may store a
// stretch of sound after the pictures it belongs to): until this much sound
// is queued, or this many picture packets wait.
constexpr std::int64_t kSoundLead = 5'000'000;  // 500 ms
constexpr std::size_t kReadAheadPackets = 90;

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFreer {
    void operator()(SwsContext* c) const { sws_freeContext(c); }
};
struct SwrFreer {
    void operator()(SwrContext* c) const { swr_free(&c); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;

std::string AvErrorText(int err) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return buf;
}

}  // namespace

struct DecoderState {
    std::unique_ptr<AVFormatContext, FormatCloser> format;
    std::unique_ptr<AVCodecContext, CodecFreer> video;
    std::unique_ptr<AVCodecContext, CodecFreer> audio;
    std::unique_ptr<AVFrame, FrameFreer> frame{av_frame_alloc()};
    // The last picture decoded before the seek target: shown when a scrub
    // lands past the last picture.
    std::unique_ptr<AVFrame, FrameFreer> lastBeforeTarget{av_frame_alloc()};
    std::unique_ptr<AVFrame, FrameFreer> audioFrame{av_frame_alloc()};
    PacketPtr packet{av_packet_alloc()};
    // Picture packets read ahead of the decoder, oldest first.
    std::deque<PacketPtr> readAhead;
    bool readEnd = false;  // the file has no more packets
    std::unique_ptr<SwsContext, SwsFreer> sws;
    std::unique_ptr<SwrContext, SwrFreer> swr;
    std::vector<std::int16_t> audioBuffer;
    int videoIndex = -1;
    int audioIndex = -1;
    AVRational videoTimeBase{1, 1};
    AVRational audioTimeBase{1, 1};
    std::int64_t startPts = 0;
    std::int64_t nextGuessedTime = 0;      // for pictures without any time stamp
    bool inputDone = false;                // the picture decoder was told the input ended
    std::atomic<bool> decodeSound{false};  // sound is queued (normal speed)
};

CPlayer::CPlayer(QObject* videoWindow, FrameSink* sink)
    : videoWindow_(videoWindow),
      sink_(sink),
      scheduler_(
          clock_, sink, [this](const VideoSample& s) { OnPresented(s); },
          [this](bool notify) { OnEnded(notify); }) {}

CPlayer::~CPlayer() { CloseSession(); }

bool CPlayer::HasAudio() const { return audio_ != nullptr && dec_ && dec_->audio != nullptr; }

EngineStats CPlayer::Stats() const {
    EngineStats s;
    s.decoded = decodedCount_.load();
    s.skipped = skippedCount_.load();
    s.presented = scheduler_.PresentedCount();
    s.late = scheduler_.LateCount();
    return s;
}

double CPlayer::ProbeFrameRate(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return 0.0;
    std::unique_ptr<AVFormatContext, FormatCloser> fmt(raw);
    if (avformat_find_stream_info(fmt.get(), nullptr) < 0) return 0.0;
    // Every stream is tried in turn; the first with a positive rate counts.
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVStream* st = fmt->streams[i];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        for (AVRational r : {st->r_frame_rate, st->avg_frame_rate}) {
            if (r.num > 0 && r.den > 0) return av_q2d(r);
        }
    }
    return 0.0;
}

EngineError CPlayer::OpenUrl(const std::string& path) {
    // Clips from a card are often damaged; FFmpeg's own warnings about them
    // would only clutter the terminal. Errors still come back as codes.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_ERROR); });
    CloseSession();
    state_ = EngineState::kReady;
    auto dec = std::make_unique<DecoderState>();
    auto fail = [this](EngineCode code, std::string detail) {
        state_ = EngineState::kClosed;
        return EngineError{code, std::move(detail)};
    };
    if (!dec->frame || !dec->lastBeforeTarget || !dec->audioFrame || !dec->packet)
        return fail(EngineCode::kOutOfMemory, "");

    AVFormatContext* raw = nullptr;
    int err = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (err < 0) return fail(EngineCode::kUnsupportedByteStream, AvErrorText(err));
    dec->format.reset(raw);
    err = avformat_find_stream_info(dec->format.get(), nullptr);
    if (err < 0) return fail(EngineCode::kUnsupportedByteStream, AvErrorText(err));

    const AVCodec* videoCodec = nullptr;
    dec->videoIndex =
        av_find_best_stream(dec->format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &videoCodec, 0);
    if (dec->videoIndex == AVERROR_DECODER_NOT_FOUND)
        return fail(EngineCode::kNoDecoder, "no decoder for the video stream");
    if (dec->videoIndex < 0) return fail(EngineCode::kNotConnected, "no video stream");
    AVStream* vs = dec->format->streams[dec->videoIndex];
    if (vs->codecpar->width <= 0 || vs->codecpar->height <= 0)
        return fail(EngineCode::kNoDecoder, "video stream without picture size");

    dec->video.reset(avcodec_alloc_context3(videoCodec));
    if (!dec->video) return fail(EngineCode::kOutOfMemory, "");
    avcodec_parameters_to_context(dec->video.get(), vs->codecpar);
    dec->video->thread_count = kDecoderThreads;
    dec->video->pkt_timebase = vs->time_base;
    err = avcodec_open2(dec->video.get(), videoCodec, nullptr);
    if (err < 0) return fail(EngineCode::kNoDecoder, AvErrorText(err));
    dec->videoTimeBase = vs->time_base;
    dec->startPts = vs->start_time != AV_NOPTS_VALUE ? vs->start_time : 0;

    AVRational fps = vs->avg_frame_rate.num > 0 ? vs->avg_frame_rate : vs->r_frame_rate;
    streamFps_ = fps.num > 0 && fps.den > 0 ? av_q2d(fps) : 0.0;
    frameDuration_ = streamFps_ > 0.0 ? static_cast<std::int64_t>(1e7 / streamFps_) : 333'333;

    std::int64_t duration = 0;
    if (vs->duration > 0) {
        duration = av_rescale_q(vs->duration, vs->time_base, kMediaTimeBase);
    } else if (dec->format->duration > 0) {
        duration = av_rescale_q(dec->format->duration, AVRational{1, AV_TIME_BASE}, kMediaTimeBase);
    }
    if (duration <= 0) return fail(EngineCode::kUnexpected, "clip without duration");

    // Sound is optional: any failure here means playing without it.
    if (!noAudio_) {
        const AVCodec* audioCodec = nullptr;
        const int ai =
            av_find_best_stream(dec->format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &audioCodec, 0);
        if (ai >= 0 && !audio_ && !audioProbed_) {
            // Looked for once per player: without a device every clip is silent.
            audioProbed_ = true;
            audio_ = AudioOutput::Create(clock_);
        }
        if (ai >= 0 && audio_) {
            AVStream* as = dec->format->streams[ai];
            std::unique_ptr<AVCodecContext, CodecFreer> actx(avcodec_alloc_context3(audioCodec));
            SwrContext* swr = nullptr;
            AVChannelLayout outLayout;
            av_channel_layout_default(&outLayout, audio_->Channels());
            if (actx && avcodec_parameters_to_context(actx.get(), as->codecpar) >= 0 &&
                avcodec_open2(actx.get(), audioCodec, nullptr) >= 0 &&
                swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_S16, audio_->SampleRate(),
                                    &actx->ch_layout, actx->sample_fmt, actx->sample_rate, 0,
                                    nullptr) >= 0 &&
                swr_init(swr) >= 0) {
                dec->audio = std::move(actx);
                dec->swr.reset(swr);
                dec->audioIndex = ai;
                dec->audioTimeBase = as->time_base;
            } else {
                swr_free(&swr);
            }
            av_channel_layout_uninit(&outLayout);
        }
    }

    duration_ = duration;
    nativeSize_ = QSize(vs->codecpar->width, vs->codecpar->height);
    dec_ = std::move(dec);
    pool_ = SamplePool::Create(kPoolSize);
    {
        std::lock_guard lock(commandMutex_);
        generation_ = 0;
        seekPending_ = false;
        picturesWanted_ = false;
        atEnd_ = false;
    }
    clock_.StopAt(0);
    scheduler_.Flush(0);
    scheduler_.Start();
    decoder_ = std::jthread([this](std::stop_token st) { DecodeLoop(st); });
    state_ = EngineState::kOpenPending;
    ApplyAudioGain();
    // The first picture is shown and held; its arrival makes the clip ready.
    RequestSeek(0, true);
    return {};
}

void CPlayer::RequestSeek(std::int64_t mediaTime, bool onePicture,
                          std::shared_ptr<ClockStartGate> gate) {
    {
        std::lock_guard lock(commandMutex_);
        ++generation_;
        seekPending_ = true;
        seekTarget_ = mediaTime;
        onePicture_ = onePicture;
        picturesWanted_ = true;
        atEnd_ = false;
        // Under the command lock, so neither the scheduler nor the sound
        // ever takes a picture or sound of the old position after this:
        // the clock stops at the target and starts again only with the
        // first picture of the new generation.
        scheduler_.Restart(generation_, mediaTime, onePicture, rate_, std::move(gate));
        if (audio_) audio_->Flush(generation_);
    }
    commandWake_.notify_all();
}

void CPlayer::RequestContinue() {
    {
        std::lock_guard lock(commandMutex_);
        onePicture_ = false;
        picturesWanted_ = true;
        if (atEnd_ && scheduler_.QueuedCount() == 0) {
            // Everything was shown already: report the end again.
            scheduler_.QueueEnd(duration_, generation_);
        }
    }
    commandWake_.notify_all();
}

EngineError CPlayer::Play(std::shared_ptr<ClockStartGate> gate) {
    const EngineState s = state_.load();
    if (s != EngineState::kPaused && s != EngineState::kStopped)
        return {EngineCode::kInvalidRequest, ""};
    if (!dec_) return {EngineCode::kUnexpected, ""};
    decodeRate_ = rate_;
    decodeThin_ = thin_;
    scheduler_.GatePlay();
    scheduler_.StartClockWithNextPicture(rate_, std::move(gate));
    RequestContinue();
    state_ = EngineState::kStarted;
    ApplyAudioGain();
    return {};
}

EngineError CPlayer::StartAt(std::int64_t mediaTime, std::shared_ptr<ClockStartGate> gate) {
    if (!dec_) return {EngineCode::kPointer, ""};
    if (!ready_) return {};
    mediaTime = std::clamp<std::int64_t>(mediaTime, 0, duration_);
    decodeRate_ = rate_;
    decodeThin_ = thin_;
    // The clock waits at the target for its picture; nothing of the old
    // position is shown or heard after this.
    RequestSeek(mediaTime, false, std::move(gate));
    state_ = EngineState::kStarted;
    ApplyAudioGain();
    return {};
}

EngineError CPlayer::Pause() {
    if (state_.load() != EngineState::kStarted || !dec_) return {};
    scheduler_.GateStop();
    clock_.Freeze();
    state_ = EngineState::kPaused;
    ApplyAudioGain();
    return {};
}

EngineError CPlayer::Stop() {
    const EngineState s = state_.load();
    if (s != EngineState::kStarted && s != EngineState::kPaused)
        return {EngineCode::kInvalidRequest, ""};
    if (!dec_) return {EngineCode::kUnexpected, ""};
    // Back at the start with the first picture on screen, clock halted.
    RequestSeek(0, true);
    state_ = EngineState::kStopped;
    ApplyAudioGain();
    return {};
}

EngineError CPlayer::ScrubTo(std::int64_t mediaTime) {
    if (!dec_) return {EngineCode::kPointer, ""};
    mediaTime = std::clamp<std::int64_t>(mediaTime, 0, duration_);
    RequestSeek(mediaTime, true);
    ApplyAudioGain();
    return {};
}

void CPlayer::SetRate(float rate, bool thin) {
    rate_ = rate;
    thin_ = thin;
}

EngineError CPlayer::SetVolume(int volume) {
    volume_ = std::clamp(volume, 0, 65535);
    ApplyAudioGain();
    if (!audio_) return {EngineCode::kPointer, ""};
    return {};
}

void CPlayer::ApplyAudioGain() {
    if (!audio_) return;
    // Only normal speed has sound. It is decoded and queued in every open
    // state, so that playing on from a pause, a seek or a stop is heard at
    // once, and heard only while started.
    const EngineState s = state_.load();
    const bool normalSpeed = rate_ == 1.0f;
    const bool open = s == EngineState::kOpenPending || s == EngineState::kStarted ||
                      s == EngineState::kPaused || s == EngineState::kStopped;
    const bool audible = s == EngineState::kStarted && normalSpeed;
    if (dec_) dec_->decodeSound = open && normalSpeed && dec_->audio != nullptr;
    audio_->SetGain(static_cast<float>(volume_) / 65535.0f);
    audio_->SetRunning(audible);
    if (!(open && normalSpeed)) audio_->Flush();
}

void CPlayer::CloseSession() {
    if (state_.load() == EngineState::kClosed && !decoder_.joinable()) return;
    state_ = EngineState::kClosing;
    if (decoder_.joinable()) {
        decoder_.request_stop();
        commandWake_.notify_all();
        decoder_.join();
    }
    scheduler_.Stop();
    if (audio_) {
        audio_->SetRunning(false);
        audio_->Flush();
    }
    if (sink_ != nullptr) sink_->ClearPicture();
    dec_.reset();
    ready_ = false;
    duration_ = 0;
    nativeSize_ = QSize();
    clock_.StopAt(0);
    state_ = EngineState::kClosed;
}

void CPlayer::OnPresented(const VideoSample&) {
    if (ready_.exchange(true)) return;
    EngineState expected = EngineState::kOpenPending;
    state_.compare_exchange_strong(expected, EngineState::kStopped);
    PostMessageTo(videoWindow_, UM_ENGINE_READY, 0, 0);
}

void CPlayer::OnEnded(bool notify) {
    if (!notify) {
        // The presentation is over: stopped at its end, reported shortly after.
        EngineState expected = EngineState::kStarted;
        endPending_ = state_.compare_exchange_strong(expected, EngineState::kStopped);
        if (endPending_ && audio_) audio_->SetRunning(false);
        return;
    }
    if (endPending_.exchange(false)) PostMessageTo(videoWindow_, UM_ENGINE_ENDED, 0, 0);
}

void CPlayer::DecodeLoop(std::stop_token stop) {
    DecoderState& d = *dec_;
    AVFormatContext* fmt = d.format.get();
    AVCodecContext* vc = d.video.get();
    std::uint64_t generation = 0;
    bool onePicture = true;
    bool deliveredSinceSeek = false;
    bool haveLastBeforeTarget = false;
    std::int64_t discardBefore = std::numeric_limits<std::int64_t>::min();
    bool keyOnly = false;

    auto frameTime = [&](const AVFrame* f) {
        std::int64_t pts = f->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE) pts = f->pts;
        if (pts == AV_NOPTS_VALUE) return d.nextGuessedTime;
        return av_rescale_q(pts - d.startPts, d.videoTimeBase, kMediaTimeBase);
    };
    auto superseded = [&] {
        std::lock_guard lock(commandMutex_);
        return stop.stop_requested() || seekPending_ || generation_ != generation;
    };
    auto soundWanted = [&] { return d.audio && d.decodeSound.load() && audio_; };
    // Sound is queued from the seek target on: what lies before it is
    // dropped like the pictures before it.
    auto decodeAudio = [&](const AVPacket* pkt) {
        if (!soundWanted()) return;
        if (avcodec_send_packet(d.audio.get(), pkt) < 0) return;
        const int channels = audio_->Channels();
        const int rate = audio_->SampleRate();
        while (avcodec_receive_frame(d.audio.get(), d.audioFrame.get()) == 0) {
            AVFrame* af = d.audioFrame.get();
            const int outMax = swr_get_out_samples(d.swr.get(), af->nb_samples);
            if (outMax <= 0) {
                av_frame_unref(af);
                continue;
            }
            d.audioBuffer.resize(static_cast<std::size_t>(outMax) * channels);
            auto* outPtr = reinterpret_cast<std::uint8_t*>(d.audioBuffer.data());
            const int n =
                swr_convert(d.swr.get(), &outPtr, outMax,
                            const_cast<const std::uint8_t**>(af->extended_data), af->nb_samples);
            std::int64_t t = af->best_effort_timestamp;
            t = t == AV_NOPTS_VALUE ? 0 : av_rescale_q(t, d.audioTimeBase, kMediaTimeBase);
            av_frame_unref(af);
            if (n <= 0) continue;
            int skip = 0;
            if (t < discardBefore) {
                const std::int64_t late = discardBefore - t;
                skip = static_cast<int>(
                    std::min<std::int64_t>(n, av_rescale(late, rate, kMediaTimeBase.den)));
            }
            if (skip >= n) continue;
            audio_->Write(d.audioBuffer.data() + static_cast<std::size_t>(skip) * channels,
                          n - skip, t + av_rescale(skip, kMediaTimeBase.den, rate), generation);
        }
    };
    // The next picture packet: read ahead before, or from the file, whose
    // sound packets are decoded on the way. False at the end of the file.
    auto readPicturePacket = [&](AVPacket* pkt) -> bool {
        if (!d.readAhead.empty()) {
            av_packet_move_ref(pkt, d.readAhead.front().get());
            d.readAhead.pop_front();
            return true;
        }
        while (!d.readEnd) {
            if (av_read_frame(fmt, pkt) < 0) {
                d.readEnd = true;
                break;
            }
            if (pkt->stream_index == d.videoIndex) return true;
            if (pkt->stream_index == d.audioIndex) decodeAudio(pkt);
            av_packet_unref(pkt);
        }
        return false;
    };
    // Reads on while the sound queue is short, keeping the picture packets
    // for later (see kSoundLead).
    auto readAhead = [&] {
        while (soundWanted() && !d.readEnd && d.readAhead.size() < kReadAheadPackets &&
               audio_->Queued() < kSoundLead && !superseded()) {
            PacketPtr pkt(av_packet_alloc());
            if (!pkt) return;
            if (av_read_frame(fmt, pkt.get()) < 0) {
                d.readEnd = true;
                return;
            }
            if (pkt->stream_index == d.videoIndex) {
                d.readAhead.push_back(std::move(pkt));
            } else if (pkt->stream_index == d.audioIndex) {
                decodeAudio(pkt.get());
            }
        }
    };
    // The next decoded picture into d.frame: 0, or AVERROR_EOF at the end.
    auto nextPicture = [&]() -> int {
        while (true) {
            const int r = avcodec_receive_frame(vc, d.frame.get());
            if (r == 0) return 0;
            if (r != AVERROR(EAGAIN)) return AVERROR_EOF;
            if (d.inputDone) return AVERROR_EOF;
            AVPacket* pkt = d.packet.get();
            if (!readPicturePacket(pkt)) {
                avcodec_send_packet(vc, nullptr);
                d.inputDone = true;
                continue;
            }
            avcodec_send_packet(vc, pkt);
            av_packet_unref(pkt);
        }
    };
    auto deliver = [&](AVFrame* f, std::int64_t t) -> bool {
        // The clock starts with the first picture of a start: its sound is
        // queued before it, so the two begin together.
        if (!deliveredSinceSeek && !onePicture) readAhead();
        std::shared_ptr<VideoSample> s;
        while (!(s = pool_->TryAcquire())) {
            if (superseded()) return false;
            // Every picture is in use: a good moment to read ahead.
            readAhead();
            if ((s = pool_->Acquire(kPoolWaitMs))) break;
        }
        const int w = f->width;
        const int h = f->height;
        const auto pf = static_cast<AVPixelFormat>(f->format);
        if (pf == AV_PIX_FMT_YUV420P || pf == AV_PIX_FMT_YUVJ420P) {
            // The usual case: the decoder's picture is shared, not copied.
            if (!s->ReferenceDecoded(f)) return false;
        } else {
            const std::array<std::uint8_t*, 3> planes = s->UseOwnPlanes(w, h);
            d.sws.reset(sws_getCachedContext(d.sws.release(), w, h, pf, w, h, AV_PIX_FMT_YUV420P,
                                             SWS_BILINEAR, nullptr, nullptr, nullptr));
            if (!d.sws) return false;
            std::uint8_t* dst[4] = {planes[0], planes[1], planes[2], nullptr};
            int dstStride[4] = {s->stride[0], s->stride[1], s->stride[2], 0};
            sws_scale(d.sws.get(), f->data, f->linesize, 0, h, dst, dstStride);
        }
        s->mediaTime = t;
        s->duration = frameDuration_;
        scheduler_.Queue(std::move(s), generation);
        deliveredSinceSeek = true;
        return true;
    };

    while (!stop.stop_requested()) {
        bool doSeek = false;
        std::int64_t target = 0;
        {
            std::unique_lock lock(commandMutex_);
            commandWake_.wait(lock, stop,
                              [this] { return seekPending_ || (picturesWanted_ && !atEnd_); });
            if (stop.stop_requested()) break;
            if (seekPending_) {
                seekPending_ = false;
                doSeek = true;
                target = seekTarget_;
            }
            generation = generation_;
            onePicture = onePicture_;
        }
        if (doSeek) {
            // Frame-accurate: from the key frame at or before the target,
            // decoding and discarding everything before it.
            const std::int64_t ts =
                av_rescale_q(target, kMediaTimeBase, d.videoTimeBase) + d.startPts;
            if (av_seek_frame(fmt, d.videoIndex, ts, AVSEEK_FLAG_BACKWARD) < 0)
                av_seek_frame(fmt, d.videoIndex, d.startPts, AVSEEK_FLAG_BACKWARD);
            avcodec_flush_buffers(vc);
            if (d.audio) avcodec_flush_buffers(d.audio.get());
            // The resampler's leftovers belong to the old position.
            if (d.swr) swr_init(d.swr.get());
            d.readAhead.clear();
            d.readEnd = false;
            d.inputDone = false;
            discardBefore = target;
            deliveredSinceSeek = false;
            haveLastBeforeTarget = false;
            keyOnly = false;
            vc->skip_frame = AVDISCARD_DEFAULT;
        }

        const bool fast = !onePicture && decodeThin_.load() && decodeRate_.load() >= 2.0f;
        vc->skip_frame = fast ? (keyOnly ? AVDISCARD_NONKEY : AVDISCARD_NONREF) : AVDISCARD_DEFAULT;

        if (nextPicture() != 0) {
            // End of the clip. A scrub past the last picture shows the last one.
            if (!deliveredSinceSeek && haveLastBeforeTarget)
                deliver(d.lastBeforeTarget.get(), frameTime(d.lastBeforeTarget.get()));
            std::lock_guard lock(commandMutex_);
            if (generation == generation_ && !seekPending_) {
                atEnd_ = true;
                scheduler_.QueueEnd(duration_, generation);
            }
            continue;
        }
        decodedCount_.fetch_add(1);
        const std::int64_t t = frameTime(d.frame.get());
        d.nextGuessedTime = t + frameDuration_;
        if (t + frameDuration_ / 2 <= discardBefore) {
            av_frame_unref(d.lastBeforeTarget.get());
            av_frame_move_ref(d.lastBeforeTarget.get(), d.frame.get());
            haveLastBeforeTarget = true;
            continue;
        }
        if (fast && clock_.Running()) {
            // Thinning: a picture that could only be shown late is skipped.
            const std::int64_t lag = clock_.Time() - t;
            keyOnly =
                lag > kKeyFramesOnlyLag * frameDuration_ ? true : (lag <= 0 ? false : keyOnly);
            if (lag > frameDuration_) {
                skippedCount_.fetch_add(1);
                av_frame_unref(d.frame.get());
                continue;
            }
        }
        const bool ok = deliver(d.frame.get(), t);
        av_frame_unref(d.frame.get());
        if (ok && onePicture) {
            {
                std::lock_guard lock(commandMutex_);
                if (generation == generation_ && onePicture_) picturesWanted_ = false;
            }
            // Shown and held: the sound that follows it is queued now, so
            // playing on from here is heard at once.
            readAhead();
        }
    }
}

}  // namespace trivexa
