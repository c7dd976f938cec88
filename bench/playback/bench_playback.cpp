// Playback benchmarks on forged H.264 clips, each against a reference
// measured in the same run:
//   decode  decode throughput of a 1080p clip through the engine (no display,
//           unthrottled clock) against `ffmpeg -threads 2 -i CLIP -f null -`
//   seeks   fifty random seeks on a 1080p clip (key frame every 30): time from
//           Seek to the picture presented, against decoding from the key frame
//           to the target alone with libavcodec
//   two     1080p front and 720p rear at rate 1 in two OpenGL surfaces for N
//           seconds: late and missing pictures, CPU use, peak memory; saves a
//           screenshot to /tmp/trivexa-two-cameras.png
//   offset  1080p front at 30 fps and 720p rear at 27.5 fps as one player
//           pair, restarted again and again (seek while playing, speed
//           change) at rates 1, 2 and 1/2, with and without a busy second
//           core: how far apart the two pictures shown are, read from their
//           frame marks many times a second, in front frames (target: at most
//           one). The reference, in the same run, is the same pair with each
//           clock starting on its own.
// Clips are written by clipforge under the build tree and reused.

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/messages/posted_message.h"
#include "clipforge/clipforge.h"
#include "playback/movie_player.h"
#include "playback/player_pair.h"
#include "playback/video_presenter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace fs = std::filesystem;
using namespace trivexa;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 60000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

fs::path Clip(int width, int height, int frames, char camera, const std::string& name,
              std::uint32_t rate = 30, std::uint32_t scale = 1) {
    const fs::path dir = fs::path(TRIVEXA_BENCH_DATA) / "playback";
    std::string folder =
        std::to_string(width) + "x" + std::to_string(height) + "_" + std::to_string(frames);
    if (rate != 30 || scale != 1) folder += "_" + std::to_string(rate) + "-" + std::to_string(scale);
    const fs::path path = dir / folder / name;
    if (fs::exists(path)) return path;
    fs::create_directories(path.parent_path());
    clipforge::ClipSpec spec;
    spec.name = name;
    spec.video.width = width;
    spec.video.height = height;
    spec.video.frames = frames;
    spec.video.gop = 30;
    spec.video.camera = camera;
    spec.video.rate = rate;
    spec.video.scale = scale;
    std::string error;
    std::fprintf(stderr, "writing %dx%d clip of %d frames...\n", width, height, frames);
    const fs::path tmp = path.string() + ".part";
    if (!clipforge::WriteClip(tmp, spec, nullptr, &error)) {
        std::fprintf(stderr, "clipforge: %s\n", error.c_str());
        std::exit(1);
    }
    fs::rename(tmp, path);
    return path;
}

double ChildCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long PeakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

int RunDecode() {
    const fs::path clip = Clip(1920, 1080, 600, 'F', "A___-230715-081522-000001F.AVI");
    // Reference first, then ours, then the reference again; the best of each.
    // Wall time and processor time of each run: on a shared machine the
    // processor time is the steadier measure.
    struct Run {
        double wall;
        double cpu;
    };
    auto ffmpegOnce = [&] {
        const double c0 = ChildCpuSeconds();
        const auto t0 = Clock::now();
        const std::string cmd =
            "ffmpeg -v error -threads 2 -i '" + clip.string() + "' -an -f null - 2>/dev/null";
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "ffmpeg failed\n");
        return Run{Seconds(Clock::now() - t0), ChildCpuSeconds() - c0};
    };
    auto oursOnce = [&] {
        QObject window;
        MemoryFrameSink sink;
        MoviePlayer player;
        player.Initialise(&window, &sink);
        const double c0 = CpuSeconds();
        const auto t0 = Clock::now();
        if (player.Open(clip.string()) != OpenResult::kOpened) return Run{-1, -1};
        WaitFor([&] { return player.HasDisplay(); });
        // An unthrottled clock: every picture is due at once, none skipped.
        player.Engine()->SetRate(1000.0f, false);
        player.Engine()->SetEndDelay(0);
        player.Play();
        WaitFor([&] { return player.Engine()->State() == EngineState::kStopped; });
        const Run r{Seconds(Clock::now() - t0), CpuSeconds() - c0};
        const EngineStats st = player.Engine()->Stats();
        std::printf("  engine: %ld pictures decoded, %ld presented\n", st.decoded, st.presented);
        return r;
    };
    std::vector<Run> refs, ours;
    for (int i = 0; i < 3; ++i) {
        refs.push_back(ffmpegOnce());
        ours.push_back(oursOnce());
    }
    auto best = [](const std::vector<Run>& v, double Run::*field) {
        double b = v.front().*field;
        for (const Run& r : v) b = std::min(b, r.*field);
        return b;
    };
    const double refWall = best(refs, &Run::wall), oursWall = best(ours, &Run::wall);
    const double refCpu = best(refs, &Run::cpu), oursCpu = best(ours, &Run::cpu);
    std::printf(
        "decode 1080p x 600 frames, best of 3: engine %.3f s wall %.3f s cpu; "
        "ffmpeg %.3f s wall %.3f s cpu\n",
        oursWall, oursCpu, refWall, refCpu);
    std::printf("throughput ratio engine/ffmpeg: wall %.2f, cpu %.2f (target >= 0.9)\n",
                refWall / oursWall, refCpu / oursCpu);
    return 0;
}

// Decoding from the key frame before a target to the target, nothing else:
// one demuxer and decoder kept open over all seeks, flushed between them.
class KeyFrameDecoder {
public:
    explicit KeyFrameDecoder(const fs::path& clip) {
        if (avformat_open_input(&fmt_, clip.c_str(), nullptr, nullptr) < 0) return;
        avformat_find_stream_info(fmt_, nullptr);
        const AVCodec* codec = nullptr;
        vi_ = av_find_best_stream(fmt_, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        ctx_ = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(ctx_, fmt_->streams[vi_]->codecpar);
        ctx_->thread_count = 2;
        avcodec_open2(ctx_, codec, nullptr);
        pkt_ = av_packet_alloc();
        frame_ = av_frame_alloc();
    }
    ~KeyFrameDecoder() {
        av_frame_free(&frame_);
        av_packet_free(&pkt_);
        avcodec_free_context(&ctx_);
        avformat_close_input(&fmt_);
    }
    KeyFrameDecoder(const KeyFrameDecoder&) = delete;
    KeyFrameDecoder& operator=(const KeyFrameDecoder&) = delete;

    // Seconds from the seek to the decoded target picture (AVI time stamps
    // are frame numbers).
    double Decode(int target) {
        const auto t0 = Clock::now();
        av_seek_frame(fmt_, vi_, target, AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(ctx_);
        bool flushed = false;
        while (true) {
            const int r = avcodec_receive_frame(ctx_, frame_);
            if (r == 0) {
                const bool done = frame_->best_effort_timestamp >= target;
                av_frame_unref(frame_);
                if (done) break;
                continue;
            }
            if (r == AVERROR_EOF || flushed) break;
            if (av_read_frame(fmt_, pkt_) < 0) {
                avcodec_send_packet(ctx_, nullptr);
                flushed = true;
                continue;
            }
            if (pkt_->stream_index == vi_) avcodec_send_packet(ctx_, pkt_);
            av_packet_unref(pkt_);
        }
        return Seconds(Clock::now() - t0);
    }

private:
    AVFormatContext* fmt_ = nullptr;
    AVCodecContext* ctx_ = nullptr;
    AVPacket* pkt_ = nullptr;
    AVFrame* frame_ = nullptr;
    int vi_ = -1;
};

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
}

int RunSeeks() {
    const int frames = 600;
    const fs::path clip = Clip(1920, 1080, frames, 'F', "A___-230715-081522-000001F.AVI");
    QObject window;
    MemoryFrameSink sink;
    MoviePlayer player;
    player.Initialise(&window, &sink);
    if (player.Open(clip.string()) != OpenResult::kOpened) return 1;
    WaitFor([&] { return player.HasDisplay(); });
    player.SetZoom(0, 0, 0, 0, 1.0f, false);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(0, frames - 1);
    std::vector<double> ours, alone;
    KeyFrameDecoder reference(clip);
    for (int i = 0; i < 50; ++i) {
        const int target = pick(rng);
        const long before = sink.PresentCount();
        const auto t0 = Clock::now();
        player.Seek(target);
        WaitFor([&] { return sink.PresentCount() > before; });
        ours.push_back(Seconds(Clock::now() - t0) * 1000);
        alone.push_back(reference.Decode(target) * 1000);
    }
    std::printf(
        "50 seeks, 1080p, key frame every 30 (ms): engine median %.1f p95 %.1f; "
        "decode from key frame alone median %.1f p95 %.1f\n",
        Percentile(ours, 0.5), Percentile(ours, 0.95), Percentile(alone, 0.5),
        Percentile(alone, 0.95));
    std::printf("ratio engine/alone: median %.2f, p95 %.2f\n",
                Percentile(ours, 0.5) / Percentile(alone, 0.5),
                Percentile(ours, 0.95) / Percentile(alone, 0.95));
    return 0;
}

int RunTwo(int seconds) {
    const int frames = seconds * 30 + 30;
    const fs::path front = Clip(1920, 1080, frames, 'F', "A___-230715-081522-000001F.AVI");
    const fs::path rear = Clip(1280, 720, frames, 'R', "A___-230715-081522-000001R.AVI");
    QWidget window;
    auto* layout = new QHBoxLayout(&window);  // owned by the window
    VideoPresenter* surfaces[2] = {new VideoPresenter, new VideoPresenter};
    for (auto* s : surfaces) {
        s->setMinimumSize(640, 360);
        layout->addWidget(s);
    }
    window.resize(1300, 380);
    window.show();
    Pump(300);
    QObject notify[2];
    MoviePlayer players[2];
    for (int i = 0; i < 2; ++i) {
        players[i].Initialise(&notify[i], surfaces[i]);
        if (players[i].Open((i == 0 ? front : rear).string()) != OpenResult::kOpened) return 1;
    }
    WaitFor([&] { return players[0].HasDisplay() && players[1].HasDisplay(); });
    for (auto& p : players) p.SetZoom(0, 0, 0, 0, 1.0f, true);
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    for (auto& p : players) p.Play();
    Pump(seconds * 500);
    window.grab().save("/tmp/trivexa-two-cameras.png");
    Pump(seconds * 500);
    const double wall = Seconds(Clock::now() - t0);
    const double cpu = CpuSeconds() - cpu0;
    const long expected = static_cast<long>(wall * 30.0);
    for (int i = 0; i < 2; ++i) {
        const EngineStats st = players[i].Engine()->Stats();
        const long missing = std::max(0L, expected - st.presented);
        std::printf(
            "%s: %ld presented of %ld due, late %ld (%.2f %%), missing %ld (%.2f %%), "
            "skipped %ld, drawn %ld\n",
            i == 0 ? "front 1080p" : "rear 720p", st.presented, expected, st.late,
            100.0 * st.late / std::max(1L, st.presented), missing,
            100.0 * missing / std::max(1L, expected), st.skipped, surfaces[i]->DrawCount());
    }
    std::printf("CPU %.1f %% of one core over %.1f s (2 cores)\n", 100.0 * cpu / wall, wall);
    std::printf("peak RSS %.1f MB with both cameras open\n", PeakRssKb() / 1024.0);
    for (auto& p : players) p.Close();
    return 0;
}

// The frame number a sink shows now (-1: none or unreadable).
int FrameOf(const MemoryFrameSink& sink) {
    const std::shared_ptr<const VideoSample> s = sink.CurrentSample();
    if (!s || s->data[0] == nullptr) return -1;
    const auto mark = clipforge::ReadFrameMark(
        std::span<const std::uint8_t>(s->data[0],
                                      static_cast<std::size_t>(s->stride[0]) * s->height),
        s->width, s->height, s->stride[0]);
    return mark ? mark->number : -1;
}

struct OffsetStats {
    std::vector<double> offsets;  // |front − rear| in front frames, one per sample
    double Max() const { return offsets.empty() ? 0 : *std::max_element(offsets.begin(), offsets.end()); }
    double Share(double above) const {
        if (offsets.empty()) return 0;
        return 100.0 * static_cast<double>(std::count_if(offsets.begin(), offsets.end(),
                                                         [&](double o) { return o > above; })) /
               static_cast<double>(offsets.size());
    }
};

int RunOffset(int restarts) {
    const int frames = 900;  // 30 s at 30 fps
    const fs::path front = Clip(1920, 1080, frames, 'F', "A___-230715-081522-000001F.AVI");
    // 27.5 fps for the same 30 s.
    const fs::path rear =
        Clip(1280, 720, frames * 55 / 60, 'R', "A___-230715-081522-000001R.AVI", 55, 2);
    QObject notify[2];
    MemoryFrameSink sinks[2];
    PlayerPair pair;
    pair.Player(Camera::Front).Initialise(&notify[0], &sinks[0]);
    pair.Player(Camera::Rear).Initialise(&notify[1], &sinks[1]);
    if (pair.OpenBoth(front.string(), rear.string()) != PairOpenResult::kOpened) return 1;
    if (!WaitFor([&] { return pair.Player(Camera::Front).HasDisplay() &&
                              pair.Player(Camera::Rear).HasDisplay(); }))
        return 1;
    const double tf = pair.Player(Camera::Front).FrameInterval();
    const double tr = pair.Player(Camera::Rear).FrameInterval();
    std::printf("front %.2f ms per frame, rear %.2f ms per frame; %d restarts per run\n", tf, tr,
                restarts);
    // Front minus rear, in front frames, when both show a picture.
    auto offset = [&](double& out) {
        const int f = FrameOf(sinks[0]);
        const int r = FrameOf(sinks[1]);
        if (f < 0 || r < 0) return false;
        out = (f * tf - r * tr) / tf;
        return true;
    };
    // Samples every 2 ms for `ms`, once both show pictures of the new start.
    auto sample = [&](int ms, std::int64_t frontTarget, OffsetStats& stats) {
        const std::int64_t rearTarget = pair.ToRear(frontTarget);
        WaitFor(
            [&] {
                const int f = FrameOf(sinks[0]), r = FrameOf(sinks[1]);
                return f >= frontTarget && f <= frontTarget + 3 && r >= rearTarget &&
                       r <= rearTarget + 3;
            },
            5000);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            double o = 0;
            if (offset(o)) stats.offsets.push_back(std::fabs(o));
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    };
    struct Rate {
        int code;
        const char* name;
    };
    std::printf("%-5s %-5s %-12s %9s %9s   (|front - rear| in front frames)\n", "rate", "busy",
                "clock start", "max", "> 1 (%)");
    bool met = true;
    for (const Rate rate : {Rate{1, "1"}, Rate{2, "2"}, Rate{-2, "1/2"}}) {
        for (const bool busy : {false, true}) {
            std::atomic<bool> stop{false};
            std::jthread spinner;
            if (busy)
                spinner = std::jthread([&] {
                    volatile std::uint64_t x = 0;
                    while (!stop.load(std::memory_order_relaxed)) x = x + 1;
                });
            for (const bool shared : {true, false}) {
                pair.SetSharedStart(shared);
                std::mt19937 rng(11);
                std::uniform_int_distribution<int> pick(0, frames - 240);
                OffsetStats stats;
                pair.SetRate(rate.code);
                pair.Seek(CameraSelector::kBoth, 0);
                pair.Play(CameraSelector::kBoth);
                const int window = rate.code == 2 ? 700 : 1200;
                for (int i = 0; i < restarts; ++i) {
                    const std::int64_t target = pick(rng);
                    if (i % 2 == 0) {
                        // Seek while playing, as the viewer does.
                        pair.Pause(CameraSelector::kBoth);
                        pair.Seek(CameraSelector::kBoth, target);
                        pair.Play(CameraSelector::kBoth);
                        sample(window, target, stats);
                    } else {
                        // A speed change restarts both where the front is.
                        const std::int64_t at = pair.Player(Camera::Front).Position();
                        pair.RestartAt(CameraSelector::kBoth, at);
                        sample(window, at, stats);
                    }
                }
                pair.Pause(CameraSelector::kBoth);
                std::printf("%-5s %-5s %-12s %9.2f %9.2f\n", rate.name, busy ? "yes" : "no",
                            shared ? "shared" : "own (ref)", stats.Max(), stats.Share(1.0));
                if (shared && stats.Max() > 1.0) met = false;
            }
            stop = true;
        }
    }
    std::printf("shared clock start: at most one frame apart at every sample: %s\n",
                met ? "yes" : "NO");
    pair.CloseBoth();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "decode";
    if (mode == "two") {
        QApplication app(argc, argv);
        return RunTwo(argc > 2 ? std::max(5, std::atoi(argv[2])) : 60);
    }
    QCoreApplication app(argc, argv);
    if (mode == "decode") return RunDecode();
    if (mode == "seeks") return RunSeeks();
    if (mode == "offset") return RunOffset(argc > 2 ? std::max(2, std::atoi(argv[2])) : 8);
    std::fprintf(stderr, "usage: bench_playback [decode|seeks|two [SECONDS]|offset [RESTARTS]]\n");
    return 2;
}
