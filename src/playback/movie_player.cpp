#include "playback/movie_player.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageWriter>
#include <cmath>
#include <filesystem>

#include "container/avi_reader.h"
#include "platform/output_file.h"

namespace trivexa {
namespace {

std::atomic<int> gLockWaiters{0};

// Holds a player lock and counts the holder as a waiter from before the
// wait until after the release, as the busy indicator expects.
class CountedLock {
public:
    explicit CountedLock(std::recursive_mutex& m) : m_(m) {
        gLockWaiters.fetch_add(1);
        m_.lock();
    }
    ~CountedLock() {
        m_.unlock();
        gLockWaiters.fetch_sub(1);
    }
    CountedLock(const CountedLock&) = delete;
    CountedLock& operator=(const CountedLock&) = delete;

private:
    std::recursive_mutex& m_;
};

constexpr float kNormalRate = 1.0f;
constexpr float kThinningRate = 2.0f;

}  // namespace

int PlayerLockWaiters() { return gLockWaiters.load(); }

MoviePlayer::MoviePlayer() = default;

MoviePlayer::~MoviePlayer() { Release(); }

bool MoviePlayer::Initialise(QObject* videoWindow, FrameSink* display) {
    if (display == nullptr) return false;
    if (!displayReader_.Init() || !lookAheadReader_.Init() || !dataReader_.Init()) return false;
    videoWindow_ = videoWindow;
    display_ = display;
    rateCode_ = 1;
    keepAspect_ = true;
    panX_ = panY_ = 0;
    state_ = PlayerState::kClosed;
    lastPosition_ = 0;
    present_ = true;
    return true;
}

void MoviePlayer::Release() {
    if (!present_) return;
    lookAheadCancel_ = true;
    CountedLock data(dataLock_);
    CountedLock op(operationLock_);
    Close();
    displayReader_.Shutdown();
    dataReader_.Shutdown();
    lookAheadReader_.Shutdown();
    // The player stays present and bound to its surface: the next open
    // uses it again (the readers open their files afresh on every use).
    state_ = PlayerState::kClosed;
}

bool MoviePlayer::HasDisplay() const {
    return graph_.player != nullptr && graph_.player->HasDisplay();
}

bool MoviePlayer::NeedsDisplayRefused() const { return !HasDisplay(); }

bool MoviePlayer::EngineReachedTheEnd() const {
    // Playing is left only by an operation of the player, except at the end
    // of the clip, where the engine stops by itself.
    return state_ == PlayerState::kPlaying && graph_.player != nullptr &&
           graph_.player->State() == EngineState::kStopped;
}

PlayerState MoviePlayer::State() const {
    return EngineReachedTheEnd() ? PlayerState::kStopped : state_;
}

void MoviePlayer::FollowEngineEnd() {
    if (EngineReachedTheEnd()) state_ = PlayerState::kStopped;
}

void MoviePlayer::WithReaders(const std::function<void(Readers)>& use) {
    CountedLock op(operationLock_);
    use(Readers{displayReader_, dataReader_, lookAheadReader_});
}

std::string MoviePlayer::LastErrorText() const {
    if (lastError_.Ok()) return {};
    std::string text = EngineErrorText(lastError_.code);
    if (lastError_.code != EngineCode::kNoDecoder && !lastError_.detail.empty())
        text += " (" + lastError_.detail + ")";
    return text;
}

bool MoviePlayer::CheckFile(const std::string& path) {
    CountedLock op(operationLock_);
    SensorReader probe;
    if (!probe.Init()) return false;
    const bool ok = probe.Open(path) && probe.FileSize() != 0;
    probe.Shutdown();
    return ok;
}

OpenResult MoviePlayer::Open(const std::string& path) {
    CountedLock op(operationLock_);
    lastError_ = {};
    // Whatever happens below, the previous clip does not play on.
    Close();
    if (!CheckFile(path)) {
        lastError_ = {EngineCode::kUnsupportedByteStream, "the file cannot be read"};
        return OpenResult::kFailed;
    }
    // A damaged clip plays from its repaired copy (made here if needed).
    std::filesystem::path playPath = path;
    repairJob_.repairedCopyInUse = false;
    if (!PrepareForPlayback(repairJob_, path, playPath) || playPath.empty()) playPath = path;
    openedRepairedCopy_ = repairJob_.repairedCopyInUse;

    std::optional<ClipTiming> timing = ReadTiming(playPath);
    // A zero scale gives no usable interval either: the media decides then.
    if (timing && !(timing->frameIntervalMs > 0.0 && std::isfinite(timing->frameIntervalMs)))
        timing.reset();
    frameRate_ = timing ? timing->rate : 0;
    frameScale_ = timing ? timing->scale : 0;
    if (timing) {
        frameInterval_ = static_cast<float>(timing->frameIntervalMs);
        displayReader_.SetVideoMsPerFrame(frameInterval_);
        displayReader_.SetPath({});
        // The duration with the single-precision interval: a clip of exactly
        // two seconds counts as two seconds, not a hair more.
        const float totalFrames = static_cast<float>(
            std::round(timing->durationSeconds * 1000.0 / timing->frameIntervalMs));
        const float seconds = totalFrames * frameInterval_ / 1000.0f;
        if (seconds <= static_cast<float>(kShortestPlayableSeconds)) return OpenResult::kTooShort;
    } else {
        // No rate in the header: the media's own frame rate decides.
        const double fps = CPlayer::ProbeFrameRate(playPath.string());
        if (!(fps > 0.0)) {
            lastError_ = {EngineCode::kUnexpected, "no frame rate"};
            return OpenResult::kFailed;
        }
        frameInterval_ = static_cast<float>(1000.0 / fps);
        displayReader_.SetVideoMsPerFrame(frameInterval_);
        displayReader_.SetPath({});
    }
    dataReader_.SetVideoMsPerFrame(frameInterval_);

    graph_.player = std::make_unique<CPlayer>(videoWindow_, display_);
    display_->SetMirrored(graph_.savedMirror);
    const EngineError err = graph_.player->OpenUrl(playPath.string());
    if (!err.Ok()) {
        lastError_ = err;
        graph_.player.reset();
        return OpenResult::kFailed;
    }
    graph_.player->SetRate(kNormalRate, false);
    canPlayBackwards_ = false;  // the decoder only runs forwards
    if (graph_.player->Duration() <= 0) {
        lastError_ = {EngineCode::kUnexpected, "clip without duration"};
        graph_.player.reset();
        return OpenResult::kFailed;
    }
    ApplyVolume();
    state_ = PlayerState::kStopped;
    return OpenResult::kOpened;
}

bool MoviePlayer::Close() {
    CountedLock op(operationLock_);
    if (graph_.player) {
        graph_.savedMirror = display_->Mirrored();
        graph_.player->CloseSession();
        graph_.player.reset();
    }
    state_ = PlayerState::kClosed;
    return true;
}

bool MoviePlayer::LoadData(const std::string& path) {
    // A look-ahead fill of some other clip is of no use any more.
    if (lookAheadBusy_ && lookAheadReader_.Path() != path) lookAheadCancel_ = true;
    CountedLock data(dataLock_);
    CountedLock op(operationLock_);
    displayReader_.SetPath(path);
    bool ok = false;
    if (lookAheadReader_.Loaded() && lookAheadReader_.Path() == path) {
        ok = SensorReader::HandOver(lookAheadReader_, dataReader_);
    } else {
        lookAheadReader_.FreeEntries();
        ok = dataReader_.Load(path);
    }
    if (!ok) return false;
    dataReader_.SetVideoMsPerFrame(frameInterval_);
    const std::int64_t frames = Duration();
    dataReader_.BuildFrameMap(
        static_cast<std::int32_t>(std::min<std::int64_t>(frames, sensor::kMaxFrameCount)));
    return true;
}

bool MoviePlayer::FillLookAhead(const std::string& path) {
    lookAheadCancel_ = true;
    CountedLock data(dataLock_);
    lookAheadCancel_ = false;
    lookAheadReader_.FreeEntries();
    lookAheadBusy_ = true;
    lookAheadReader_.SetPath(path);
    bool ok = lookAheadReader_.Load(path);
    if (lookAheadCancel_) {
        // Cancelled while loading: the result is not wanted.
        lookAheadReader_.FreeEntries();
        ok = false;
    }
    lookAheadBusy_ = false;
    return ok;
}

bool MoviePlayer::ReleaseData() {
    CountedLock data(dataLock_);
    CountedLock op(operationLock_);
    displayReader_.FreeEntries();
    dataReader_.FreeEntries();
    return true;
}

bool MoviePlayer::Play(std::shared_ptr<ClockStartGate> gate) {
    if (NeedsDisplayRefused()) return false;
    CountedLock op(operationLock_);
    FollowEngineEnd();
    if (state_ == PlayerState::kPlaying) return true;
    const EngineError err = graph_.player->Play(std::move(gate));
    if (!err.Ok()) {
        lastError_ = err;
        return false;
    }
    state_ = PlayerState::kPlaying;
    return true;
}

bool MoviePlayer::PlayFrom(std::int64_t frame, std::shared_ptr<ClockStartGate> gate) {
    if (NeedsDisplayRefused()) return false;
    CountedLock op(operationLock_);
    FollowEngineEnd();
    if (state_ == PlayerState::kPlaying) return true;
    const EngineError err =
        graph_.player->StartAt(FramesToMediaTime(frameInterval_, frame), std::move(gate));
    if (!err.Ok()) return false;
    state_ = PlayerState::kPlaying;
    return true;
}

bool MoviePlayer::RestartAt(std::int64_t frame, std::shared_ptr<ClockStartGate> gate) {
    if (NeedsDisplayRefused()) return false;
    CountedLock op(operationLock_);
    FollowEngineEnd();
    if (state_ != PlayerState::kPlaying) return true;
    const EngineError err =
        graph_.player->StartAt(FramesToMediaTime(frameInterval_, frame), std::move(gate));
    return err.Ok();
}

bool MoviePlayer::Pause() {
    if (NeedsDisplayRefused()) return false;
    CountedLock op(operationLock_);
    FollowEngineEnd();
    if (state_ == PlayerState::kPaused) return true;
    graph_.player->Pause();
    state_ = PlayerState::kPaused;
    return true;
}

bool MoviePlayer::Stop() {
    if (NeedsDisplayRefused()) return false;
    CountedLock op(operationLock_);
    FollowEngineEnd();
    if (state_ == PlayerState::kStopped) return true;
    const EngineError err = graph_.player->Stop();
    if (!err.Ok()) return false;
    state_ = PlayerState::kStopped;
    return true;
}

std::int64_t MoviePlayer::Position() {
    if (NeedsDisplayRefused()) return 0;
    CountedLock op(operationLock_);
    const std::int64_t t = graph_.player->ClockTime();
    if (t < 0) return -1;
    lastPosition_ = MediaTimeToFrames(frameInterval_, t);
    return lastPosition_;
}

bool MoviePlayer::Seek(std::int64_t frame) {
    if (NeedsDisplayRefused()) return false;
    CountedLock op(operationLock_);
    if (frame < 0) frame = 0;
    const EngineError err = graph_.player->ScrubTo(FramesToMediaTime(frameInterval_, frame));
    if (!err.Ok()) return false;
    display_->RepaintVideo();
    return true;
}

void MoviePlayer::ApplyVolume() {
    if (graph_.player) graph_.player->SetVolume(AppliedVolume(volume_, rateCode_));
}

bool MoviePlayer::SetRate(int rateCode) {
    const RateChoice choice = RateForCode(rateCode, rateCode_, canPlayBackwards_);
    rateCode_ = choice.code;
    ApplyVolume();
    if (graph_.player) graph_.player->SetRate(choice.rate, choice.rate >= kThinningRate);
    return true;
}

bool MoviePlayer::SetVolume(int volume) {
    volume_ = std::clamp(volume, 0, kMaxVolume);
    ApplyVolume();
    return true;
}

std::int64_t MoviePlayer::Duration() {
    CountedLock op(operationLock_);
    if (!graph_.player) return 0;
    return MediaTimeToFrames(frameInterval_, graph_.player->Duration());
}

bool MoviePlayer::NativeSize(int& width, int& height) {
    width = height = 0;
    if (!graph_.player) return false;
    const QSize s = graph_.player->NativeSize();
    if (s.isEmpty()) return false;
    width = s.width();
    height = s.height();
    return true;
}

bool MoviePlayer::LayOut(bool letterbox) {
    PictureGeometry g;
    const QSize client = display_->ClientSize();
    g.clientWidth = client.width();
    g.clientHeight = client.height();
    g.zoomX = zoomX_;
    g.zoomY = zoomY_;
    g.zoomFactor = zoomFactor_;
    g.panX = panX_;
    g.panY = panY_;
    g.letterbox = letterbox;
    NativeSize(g.nativeWidth, g.nativeHeight);
    LayoutRect r;
    if (!LayoutPicture(g, r)) return false;
    destination_ = r;
    // The display draws black around the rectangle itself.
    display_->SetVideoPosition(QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)));
    if (state_ != PlayerState::kClosed)
        display_->RepaintVideo();
    else
        ApplyVolume();
    return true;
}

bool MoviePlayer::SetKeepAspect(bool keepAspect) {
    if (display_ == nullptr) return false;
    if (!LayOut(keepAspect)) return false;
    keepAspect_ = keepAspect;
    return true;
}

bool MoviePlayer::SetZoom(int zoomX, int zoomY, int panX, int panY, float zoomFactor,
                          bool repaint) {
    if (NeedsDisplayRefused()) return false;
    CountedLock op(operationLock_);
    zoomX_ = zoomX;
    zoomY_ = zoomY;
    panX_ = panX;
    panY_ = panY;
    zoomFactor_ = zoomFactor;
    if (!LayOut(keepAspect_)) return false;
    if (repaint) display_->RepaintVideo();
    return true;
}

bool MoviePlayer::SaveFrame(const std::string& path, bool replace) {
    int w = 0;
    int h = 0;
    if (!NativeSize(w, h)) return false;
    if (!HasDisplay()) return false;
    QImage image = display_->CurrentImage();
    if (image.isNull()) return false;
    if (image.width() != w || image.height() != h)
        image = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Encoded in memory first, then written by the one output writer.
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        if (!buffer.open(QIODevice::WriteOnly)) return false;
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(kStillJpegQuality);
        if (!writer.write(image) || jpeg.isEmpty()) return false;
    }
    platform::OutputFile out;
    return out.Create(path) &&
           out.Write(std::as_bytes(std::span(jpeg.constData(), static_cast<std::size_t>(jpeg.size())))) &&
           out.Commit(replace);
}

bool MoviePlayer::Repaint() {
    if (NeedsDisplayRefused()) return false;
    display_->RepaintVideo();
    return true;
}

bool MoviePlayer::ToggleMirror() {
    if (NeedsDisplayRefused()) return false;
    CountedLock op(operationLock_);
    const bool mirrored = !display_->Mirrored();
    display_->SetMirrored(mirrored);
    graph_.savedMirror = mirrored;
    return mirrored;
}

}  // namespace trivexa
