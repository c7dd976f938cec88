#include "playback/movie_player.h"

#include <QImageWriter>
#include <QSaveFile>
#include <cmath>
#include <filesystem>

#include "container/avi_reader.h"

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

int MoviePlayer::Initialise(QObject* videoWindow, FrameSink* display) {
    if (display == nullptr) return 0;
    if (!displayReader_.Init() || !lookAheadReader_.Init() || !dataReader_.Init()) return 0;
    videoWindow_ = videoWindow;
    display_ = display;
    rateCode_ = 1;
    keepAspect_ = 1;
    panX_ = panY_ = 0;
    state_ = kPlayerClosed;
    lastPosition_ = 0;
    present_ = true;
    return 1;
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
    state_ = kPlayerClosed;
}

bool MoviePlayer::HasDisplay() const {
    return graph_.player != nullptr && graph_.player->HasDisplay();
}

bool MoviePlayer::NeedsDisplayRefused() const { return !HasDisplay(); }

bool MoviePlayer::EngineReachedTheEnd() const {
    // Playing is left only by an operation of the player, except at the end
    // of the clip, where the engine stops by itself.
    return state_ == kPlayerPlaying && graph_.player != nullptr &&
           graph_.player->State() == EngineState::kStopped;
}

int MoviePlayer::State() const { return EngineReachedTheEnd() ? kPlayerStopped : state_; }

void MoviePlayer::FollowEngineEnd() {
    if (EngineReachedTheEnd()) state_ = kPlayerStopped;
}

std::string MoviePlayer::LastErrorText() const {
    if (lastError_.Ok()) return {};
    std::string text = EngineErrorText(lastError_.code);
    if (lastError_.code != EngineCode::kNoDecoder && !lastError_.detail.empty())
        text += " (" + lastError_.detail + ")";
    return text;
}

int MoviePlayer::CheckFile(const std::string& path) {
    CountedLock op(operationLock_);
    SensorReader probe;
    if (!probe.Init()) return 0;
    const bool ok = probe.Open(path) && probe.FileSize() != 0;
    probe.Shutdown();
    return ok ? 1 : 0;
}

int MoviePlayer::Open(const std::string& path) {
    CountedLock op(operationLock_);
    lastError_ = {};
    // Whatever happens below, the previous clip does not play on.
    Close();
    if (CheckFile(path) == 0) {
        lastError_ = {EngineCode::kUnsupportedByteStream, "the file cannot be read"};
        return kOpenFailed;
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
    if (timing) {
        frameInterval_ = static_cast<float>(timing->frameIntervalMs);
        displayReader_.SetVideoMsPerFrame(frameInterval_);
        displayReader_.SetPath({});
        // The duration with the single-precision interval: a clip of exactly
        // two seconds counts as two seconds, not a hair more.
        const float totalFrames = static_cast<float>(
            std::round(timing->durationSeconds * 1000.0 / timing->frameIntervalMs));
        const float seconds = totalFrames * frameInterval_ / 1000.0f;
        if (seconds <= static_cast<float>(kShortestPlayableSeconds)) return kOpenTooShort;
    } else {
        // No rate in the header: the media's own frame rate decides.
        const double fps = CPlayer::ProbeFrameRate(playPath.string());
        if (!(fps > 0.0)) {
            lastError_ = {EngineCode::kUnexpected, "no frame rate"};
            return kOpenFailed;
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
        return kOpenFailed;
    }
    graph_.player->SetRate(kNormalRate, false);
    canPlayBackwards_ = false;  // the decoder only runs forwards
    if (graph_.player->Duration() <= 0) {
        lastError_ = {EngineCode::kUnexpected, "clip without duration"};
        graph_.player.reset();
        return kOpenFailed;
    }
    ApplyVolume();
    state_ = kPlayerStopped;
    return kOpenOk;
}

int MoviePlayer::Close() {
    CountedLock op(operationLock_);
    if (graph_.player) {
        graph_.savedMirror = display_->Mirrored();
        graph_.player->CloseSession();
        graph_.player.reset();
    }
    state_ = kPlayerClosed;
    return 1;
}

int MoviePlayer::LoadData(const std::string& path) {
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
    if (!ok) return 0;
    dataReader_.SetVideoMsPerFrame(frameInterval_);
    const std::int64_t frames = Duration();
    dataReader_.BuildFrameMap(
        static_cast<std::int32_t>(std::min<std::int64_t>(frames, sensor::kMaxFrameCount)));
    return 1;
}

int MoviePlayer::FillLookAhead(const std::string& path) {
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
    return ok ? 1 : 0;
}

int MoviePlayer::ReleaseData() {
    CountedLock data(dataLock_);
    CountedLock op(operationLock_);
    displayReader_.FreeEntries();
    dataReader_.FreeEntries();
    return 1;
}

int MoviePlayer::Play() {
    if (NeedsDisplayRefused()) return 0;
    CountedLock op(operationLock_);
    FollowEngineEnd();
    if (state_ == kPlayerPlaying) return 1;
    const EngineError err = graph_.player->Play();
    if (!err.Ok()) {
        lastError_ = err;
        return 0;
    }
    state_ = kPlayerPlaying;
    return 1;
}

int MoviePlayer::PlayFrom(std::int64_t frame) {
    if (NeedsDisplayRefused()) return 0;
    CountedLock op(operationLock_);
    FollowEngineEnd();
    if (state_ == kPlayerPlaying) return 1;
    const EngineError err = graph_.player->StartAt(FramesToMediaTime(frameInterval_, frame));
    if (!err.Ok()) return 0;
    state_ = kPlayerPlaying;
    return 1;
}

int MoviePlayer::RestartAt(std::int64_t frame) {
    if (NeedsDisplayRefused()) return 0;
    CountedLock op(operationLock_);
    FollowEngineEnd();
    if (state_ != kPlayerPlaying) return 1;
    const EngineError err = graph_.player->StartAt(FramesToMediaTime(frameInterval_, frame));
    return err.Ok() ? 1 : 0;
}

int MoviePlayer::Pause() {
    if (NeedsDisplayRefused()) return 0;
    CountedLock op(operationLock_);
    FollowEngineEnd();
    if (state_ == kPlayerPaused) return 1;
    graph_.player->Pause();
    state_ = kPlayerPaused;
    return 1;
}

int MoviePlayer::Stop() {
    if (NeedsDisplayRefused()) return 0;
    CountedLock op(operationLock_);
    FollowEngineEnd();
    if (state_ == kPlayerStopped) return 1;
    const EngineError err = graph_.player->Stop();
    if (!err.Ok()) return 0;
    state_ = kPlayerStopped;
    return 1;
}

std::int64_t MoviePlayer::Position() {
    if (NeedsDisplayRefused()) return 0;
    CountedLock op(operationLock_);
    const std::int64_t t = graph_.player->ClockTime();
    if (t < 0) return -1;
    lastPosition_ = MediaTimeToFrames(frameInterval_, t);
    return lastPosition_;
}

int MoviePlayer::Seek(std::int64_t frame) {
    if (NeedsDisplayRefused()) return 0;
    CountedLock op(operationLock_);
    if (frame < 0) frame = 0;
    const EngineError err = graph_.player->ScrubTo(FramesToMediaTime(frameInterval_, frame));
    if (!err.Ok()) return 0;
    display_->RepaintVideo();
    return 1;
}

void MoviePlayer::ApplyVolume() {
    if (graph_.player) graph_.player->SetVolume(AppliedVolume(volume_, rateCode_));
}

int MoviePlayer::SetRate(int rateCode) {
    const RateChoice choice = RateForCode(rateCode, rateCode_, canPlayBackwards_);
    rateCode_ = choice.code;
    ApplyVolume();
    if (graph_.player) graph_.player->SetRate(choice.rate, choice.rate >= kThinningRate);
    return 1;
}

int MoviePlayer::SetVolume(int volume) {
    volume_ = std::clamp(volume, 0, kMaxVolume);
    ApplyVolume();
    return 1;
}

std::int64_t MoviePlayer::Duration() {
    CountedLock op(operationLock_);
    if (!graph_.player) return 0;
    return MediaTimeToFrames(frameInterval_, graph_.player->Duration());
}

int MoviePlayer::NativeSize(int& width, int& height) {
    width = height = 0;
    if (!graph_.player) return 0;
    const QSize s = graph_.player->NativeSize();
    if (s.isEmpty()) return 0;
    width = s.width();
    height = s.height();
    return 1;
}

int MoviePlayer::LayOut(bool letterbox) {
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
    if (!LayoutPicture(g, r)) return 0;
    destination_ = r;
    // The display draws black around the rectangle itself.
    display_->SetVideoPosition(QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)));
    if (state_ != kPlayerClosed)
        display_->RepaintVideo();
    else
        ApplyVolume();
    return 1;
}

int MoviePlayer::SetKeepAspect(int keepAspect) {
    if (display_ == nullptr) return 0;
    if (LayOut(keepAspect != 0) == 0) return 0;
    keepAspect_ = keepAspect != 0 ? 1 : 0;
    return 1;
}

int MoviePlayer::SetZoom(int zoomX, int zoomY, int panX, int panY, float zoomFactor, bool repaint) {
    if (NeedsDisplayRefused()) return 0;
    CountedLock op(operationLock_);
    zoomX_ = zoomX;
    zoomY_ = zoomY;
    panX_ = panX;
    panY_ = panY;
    zoomFactor_ = zoomFactor;
    if (LayOut(keepAspect_ != 0) == 0) return 0;
    if (repaint) display_->RepaintVideo();
    return 1;
}

int MoviePlayer::SaveFrame(const std::string& path) {
    int w = 0;
    int h = 0;
    if (NativeSize(w, h) == 0) return 0;
    if (!HasDisplay()) return 0;
    QImage image = display_->CurrentImage();
    if (image.isNull()) return 0;
    if (image.width() != w || image.height() != h)
        image = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Written under a temporary name and renamed into place when complete.
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return 0;
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(kStillJpegQuality);
    if (!writer.write(image)) {
        file.cancelWriting();
        return 0;
    }
    return file.commit() ? 1 : 0;
}

int MoviePlayer::Repaint() {
    if (NeedsDisplayRefused()) return 0;
    display_->RepaintVideo();
    return 1;
}

int MoviePlayer::ToggleMirror() {
    if (NeedsDisplayRefused()) return 0;
    CountedLock op(operationLock_);
    const bool mirrored = !display_->Mirrored();
    display_->SetMirrored(mirrored);
    graph_.savedMirror = mirrored;
    return mirrored ? 1 : 0;
}

}  // namespace trivexa
