#pragma once
// One camera's player: opens the camera's clip, drives the engine, lays the
// picture out in the camera's video surface, and holds the camera's sensor
// data. Frame arguments and results are in frame units of the camera's clip.
//
// Called from the UI thread (the main window controller); Load data and
// Prefetch (through PlayerPair) also from worker threads. Each operation
// returns 1 for success and 0 for failure unless noted. Lock order: the data
// lock before the operation lock; both are recursive. Operations marked
// "needs display" return 0 at once, without locking, while the clip's first
// picture is not ready.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "container/integrity.h"
#include "container/sensor_reader.h"
#include "playback/engine_error.h"
#include "playback/frame_sink.h"
#include "playback/playback_graph.h"
#include "playback/player_rules.h"

namespace trivexa {

// Results of Open.
inline constexpr int kOpenFailed = 0;
inline constexpr int kOpenOk = 1;
inline constexpr int kOpenTooShort = 2;
// Clips this long or shorter (seconds, from the header) are not played.
inline constexpr double kShortestPlayableSeconds = 2.0;
// Player states (the state field).
inline constexpr int kPlayerClosed = 0;
inline constexpr int kPlayerStopped = 1;
inline constexpr int kPlayerPlaying = 2;
inline constexpr int kPlayerPaused = 3;
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
    int Initialise(QObject* videoWindow, FrameSink* display);
    void Release();
    int CheckFile(const std::string& path);
    // kOpenFailed, kOpenOk or kOpenTooShort. UM_ENGINE_READY follows a
    // successful open once the first picture is shown.
    int Open(const std::string& path);
    int Close();
    int LoadData(const std::string& path);
    int ReleaseData();

    int Play();                         // needs display
    int PlayFrom(std::int64_t frame);   // needs display; when not playing
    int RestartAt(std::int64_t frame);  // needs display; when playing
    int Pause();                        // needs display
    int Stop();                         // needs display
    // needs display: current frame (also stored as last position); 0 before
    // the display is ready, -1 when the clock cannot be read.
    std::int64_t Position();
    int Seek(std::int64_t frame);  // needs display; the state is not changed
    int SetRate(int rateCode);
    int SetKeepAspect(int keepAspect);
    std::int64_t Duration();
    float FrameInterval() const { return frameInterval_; }
    int NativeSize(int& width, int& height);
    int SetVolume(int volume);
    // needs display
    int SetZoom(int zoomX, int zoomY, int panX, int panY, float zoomFactor, bool repaint);
    int SaveFrame(const std::string& path);
    int Repaint();       // needs display
    int ToggleMirror();  // needs display; the new flag

    // Fields read by PlayerPair and the main window.
    bool IsPresent() const { return present_; }
    // The player's state; a clip that played to its end counts as stopped.
    int State() const;
    int RateCode() const { return rateCode_; }
    int Volume() const { return volume_; }
    int KeepAspect() const { return keepAspect_; }
    int Opened() const { return opened_; }
    void SetOpened(int opened) { opened_ = opened; }
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

    SensorReader& DisplayReader() { return displayReader_; }
    SensorReader& DataReader() { return dataReader_; }
    SensorReader& LookAheadReader() { return lookAheadReader_; }
    std::recursive_mutex& OperationLock() { return operationLock_; }
    std::recursive_mutex& DataLock() { return dataLock_; }

    // Look-ahead loading (PlayerPair::Prefetch): fills the look-ahead
    // reader with `path` under the data lock; a running fill is cancelled
    // first. 1 when the data was loaded.
    int FillLookAhead(const std::string& path);
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
    int LayOut(bool letterbox);
    void ApplyVolume();

    int volume_ = kMaxVolume;
    QObject* videoWindow_ = nullptr;
    FrameSink* display_ = nullptr;
    float frameInterval_ = 0.0f;
    bool canPlayBackwards_ = false;
    int rateCode_ = 1;
    int keepAspect_ = 1;
    int zoomX_ = 0;
    int zoomY_ = 0;
    float zoomFactor_ = 0.0f;
    LayoutRect destination_;
    int panX_ = 0;
    int panY_ = 0;
    int state_ = kPlayerClosed;
    std::int64_t lastPosition_ = 0;
    bool present_ = false;
    bool dataCamera_ = false;
    int opened_ = 0;
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
