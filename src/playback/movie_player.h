#pragma once
// One camera's player: opens the camera's clip, drives the engine, lays the
// picture out in the camera's video surface, and holds the camera's sensor
// data. Frame arguments and results are in frame units of the camera's clip.
//
// Called from the UI thread (the main window controller); Load data and
// Prefetch (through PlayerPair) also from worker threads. Operations return
// true for success unless noted. Each player has an operation lock and a data
// lock, both recursive and both its own: the data lock is taken before the
// operation lock, and a caller that must read the sensor data while no load
// or open changes it does so inside WithReaders. Operations marked "needs
// display" fail at once, without locking, while the clip's first picture is
// not ready.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "container/integrity.h"
#include "container/sensor_reader.h"
#include "playback/engine_error.h"
#include "playback/frame_sink.h"
#include "playback/playback_graph.h"
#include "playback/player_rules.h"
#include "playback/scheduler.h"

namespace trivexa {

// Result of Open; the numbers are those the viewer combines and shows by.
enum class OpenResult : int {
    kFailed = 0,
    kOpened = 1,
    kTooShort = 2,  // the clip lasts 2.0 s or less and is not played
};
// Clips this long or shorter (seconds, from the header) are not played.
inline constexpr double kShortestPlayableSeconds = 2.0;

// The player's state, with the numbers the viewer knows it by.
enum class PlayerState : int {
    kClosed = 0,
    kStopped = 1,
    kPlaying = 2,
    kPaused = 3,
};

inline constexpr int kMaxVolume = 65535;
// JPEG quality of Save frame (Qt's scale 0..100).
inline constexpr int kStillJpegQuality = 95;

// Threads waiting for a player's operation or data lock, over all players
// (a busy indicator for the UI).
int PlayerLockWaiters();

class MoviePlayer {
public:
    MoviePlayer();
    ~MoviePlayer();
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    // Binds the player to its video surface: `videoWindow` receives
    // UM_ENGINE_READY / UM_ENGINE_ENDED, `display` shows the pictures.
    bool Initialise(QObject* videoWindow, FrameSink* display);
    // Closes the clip and empties the readers. The player stays present and
    // bound to its surface; the next open uses it again.
    void Release();
    bool CheckFile(const std::string& path);
    // UM_ENGINE_READY follows a successful open once the first picture is
    // shown.
    OpenResult Open(const std::string& path);
    bool Close();
    bool LoadData(const std::string& path);
    bool ReleaseData();

    // With a `gate` the clock starts together with the other players of the
    // gate (PlayerPair: both cameras on one clock).
    bool Play(std::shared_ptr<ClockStartGate> gate = nullptr);  // needs display
    // needs display; when not playing
    bool PlayFrom(std::int64_t frame, std::shared_ptr<ClockStartGate> gate = nullptr);
    // needs display; when playing
    bool RestartAt(std::int64_t frame, std::shared_ptr<ClockStartGate> gate = nullptr);
    bool Pause();                        // needs display
    bool Stop();                         // needs display
    // needs display: current frame (also stored as last position); 0 before
    // the display is ready, -1 when the clock cannot be read.
    std::int64_t Position();
    bool Seek(std::int64_t frame);  // needs display; the state is not changed
    bool SetRate(int rateCode);
    bool SetKeepAspect(bool keepAspect);
    std::int64_t Duration();
    float FrameInterval() const { return frameInterval_; }
    // The open clip's frame rate as its header states it (frames per second =
    // rate / scale); both 0 when the header gave none.
    std::uint32_t FrameRate() const { return frameRate_; }
    std::uint32_t FrameScale() const { return frameScale_; }
    bool NativeSize(int& width, int& height);
    bool SetVolume(int volume);
    // needs display
    bool SetZoom(int zoomX, int zoomY, int panX, int panY, float zoomFactor, bool repaint);
    // Saves the picture shown, at the clip's native size, as a JPEG at
    // `path`: written whole under a temporary name, every write checked, and
    // put in place only when complete, so a failure (a full volume, a size
    // limit) leaves an existing file as it was. Without `replace` an
    // existing file fails the save.
    bool SaveFrame(const std::string& path, bool replace = true);
    bool Repaint();  // needs display
    // needs display: flips the mirroring and answers the new flag (true:
    // mirrored); false when it cannot.
    bool ToggleMirror();

    // Fields read by PlayerPair and the main window.
    bool IsPresent() const { return present_; }
    // A clip that played to its end counts as stopped.
    PlayerState State() const;
    int RateCode() const { return rateCode_; }
    int Volume() const { return volume_; }
    bool KeepAspect() const { return keepAspect_; }
    // The result of the last open through PlayerPair (kFailed when closed).
    OpenResult LastOpenResult() const { return lastOpenResult_; }
    void SetLastOpenResult(OpenResult result) { lastOpenResult_ = result; }
    bool IsDataCamera() const { return dataCamera_; }
    void SetDataCamera(bool on) { dataCamera_ = on; }
    bool OpenedRepairedCopy() const { return openedRepairedCopy_; }
    bool CanPlayBackwards() const { return canPlayBackwards_; }
    std::int64_t LastPosition() const { return lastPosition_; }
    LayoutRect DestinationRect() const { return destination_; }
    // The error of the last failed open or engine call, and its text.
    const EngineError& LastError() const { return lastError_; }
    std::string LastErrorText() const;
    bool HasDisplay() const;
    CPlayer* Engine() const { return graph_.player.get(); }
    FrameSink* Display() const { return display_; }

    // The sensor data readers (see the class comment of MoviePlayer).
    struct Readers {
        SensorReader& display;    // the data on display
        SensorReader& data;       // the data of the opened recording
        SensorReader& lookAhead;  // the next recording's, read ahead
    };
    // Runs `use` with the readers while holding the operation lock, so no
    // open, close or load of this player runs meanwhile. Any thread; `use`
    // may call the player's operations (the lock is recursive).
    void WithReaders(const std::function<void(Readers)>& use);
    // The readers without the lock, for callers that know no other thread
    // loads meanwhile.
    const SensorReader& DisplayReader() const { return displayReader_; }
    const SensorReader& DataReader() const { return dataReader_; }
    const SensorReader& LookAheadReader() const { return lookAheadReader_; }

    // Look-ahead loading (PlayerPair::Prefetch): fills the look-ahead
    // reader with `path` under the data lock; a running fill is cancelled
    // first. True when the data was loaded.
    bool FillLookAhead(const std::string& path);
    // Asks a running look-ahead fill to give up (its result is discarded).
    void CancelLookAhead() { lookAheadCancel_ = true; }
    bool LookAheadBusy() const { return lookAheadBusy_; }

private:
    bool NeedsDisplayRefused() const;
    // The engine stopped by itself at the end of the clip while the player
    // still plays: the player is stopped from then on, so Stop and Play act
    // on it like on any stopped player.
    bool EngineReachedTheEnd() const;
    void FollowEngineEnd();
    bool LayOut(bool letterbox);
    void ApplyVolume();

    int volume_ = kMaxVolume;
    QObject* videoWindow_ = nullptr;
    FrameSink* display_ = nullptr;
    float frameInterval_ = 0.0f;  // milliseconds per frame of the open clip
    std::uint32_t frameRate_ = 0, frameScale_ = 0;
    bool canPlayBackwards_ = false;
    int rateCode_ = 1;
    bool keepAspect_ = true;
    int zoomX_ = 0;
    int zoomY_ = 0;
    float zoomFactor_ = 0.0f;
    LayoutRect destination_;
    int panX_ = 0;
    int panY_ = 0;
    PlayerState state_ = PlayerState::kClosed;
    std::int64_t lastPosition_ = 0;
    bool present_ = false;
    bool dataCamera_ = false;
    OpenResult lastOpenResult_ = OpenResult::kFailed;
    std::recursive_mutex operationLock_;
    std::recursive_mutex dataLock_;
    SensorReader displayReader_;
    SensorReader dataReader_;
    SensorReader lookAheadReader_;
    RepairJob repairJob_;
    bool openedRepairedCopy_ = false;
    PlaybackGraph graph_;
    EngineError lastError_;
    std::atomic<bool> lookAheadCancel_{false};
    std::atomic<bool> lookAheadBusy_{false};
};

}  // namespace trivexa
