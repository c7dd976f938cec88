#pragma once
// The two players of the viewer: the front camera's and the rear camera's.
// A selector addresses one camera's player or both present players in turn
// (front first); results of several players are OR-ed. Positions passed to
// both are front-camera frames and are scaled for the rear clip.
// Called from the UI thread; Prefetch and LoadData also from workers.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "playback/movie_player.h"
#include "recordings/recording_name.h"

namespace trivexa {

// Which players an operation addresses, with the numbers the viewer knows.
enum class CameraSelector : int {
    kFront = 0,
    kRear = 1,
    kBoth = 2,  // both present players, front first
};

// The open results of both players OR-ed together: bit 0 set when a clip
// opened, bit 1 when a clip was too short to play.
enum class PairOpenResult : int {
    kNoneOpened = 0,
    kOpened = 1,
    kTooShort = 2,
    kOpenedAndTooShort = 3,
};
constexpr bool AnyOpened(PairOpenResult r) { return (static_cast<int>(r) & 1) != 0; }
constexpr bool AnyTooShort(PairOpenResult r) { return (static_cast<int>(r) & 2) != 0; }

// Geometry of one camera's picture for SetZoom.
struct CameraGeometry {
    int zoomX = 0, zoomY = 0;
    int panX = 0, panY = 0;
    float zoomFactor = 1.0f;
};

class PlayerPair {
public:
    MoviePlayer& Player(Camera camera) { return players_[IndexOf(camera)]; }
    const MoviePlayer& Player(Camera camera) const { return players_[IndexOf(camera)]; }

    // front frame interval / rear frame interval, 1.0 when the rear has none.
    double RearScale() const;
    std::int64_t ToRear(std::int64_t frontFrame) const;

    bool CheckBoth(const std::string& path);
    PairOpenResult OpenBoth(const std::string& frontPath, const std::string& rearPath);
    bool CloseBoth();
    // The first present, opened player whose load succeeds becomes the data
    // camera. A player that opened a repaired copy loads from that copy.
    bool LoadData(const std::string& frontPath, const std::string& rearPath);
    bool ReleaseDataBoth();
    // Fills the look-ahead reader of the front player (or of the rear one
    // when only a rear path is given) with a recording opened soon after.
    // True when it was loaded or no path was given.
    bool Prefetch(const std::string& frontPath, const std::string& rearPath);
    // Cancels a running prefetch (its result is thrown away).
    void CancelPrefetch();

    // Play, Restart at and Play from, addressed to both players, start both
    // clocks at one instant, once both first pictures at the position are
    // ready (ClockStartGate): the camera that decodes faster does not lead.
    bool Play(CameraSelector selector);
    bool Pause(CameraSelector selector);
    bool Stop(CameraSelector selector);
    bool SetRate(int rateCode);
    bool RestartAt(CameraSelector selector, std::int64_t frontFrame);
    bool PlayFrom(CameraSelector selector, std::int64_t frontFrame);
    bool Seek(CameraSelector selector, std::int64_t frontFrame);
    // Only one camera is audible: the selected one (kBoth: the data camera).
    bool SetVolume(CameraSelector selector, int volume);
    // Of that camera; kBoth: of the data camera (0 when there is none).
    float FrameInterval(CameraSelector selector) const;
    bool Repaint(CameraSelector selector);
    // Geometry indexed by camera (front, rear).
    bool SetZoom(const std::array<CameraGeometry, 2>& geometry, bool repaint);
    // Whether starts of both players share one clock start (on by default;
    // the benchmark measures the difference).
    void SetSharedStart(bool on) { sharedStart_ = on; }
    bool SharedStart() const { return sharedStart_; }
    // The camera whose sensor data is loaded, if any.
    std::optional<Camera> DataCamera() const;

    // Runs `use` with both players' readers while holding both operation
    // locks, the front player's first (the order every thread takes them),
    // so neither player opens, closes or loads meanwhile (the position
    // fan-out). Any thread.
    void WithBothReaders(
        const std::function<void(MoviePlayer::Readers front, MoviePlayer::Readers rear)>& use);

private:
    static constexpr std::size_t IndexOf(Camera camera) { return camera == Camera::Rear ? 1 : 0; }
    template <typename Fn>
    bool ForSelected(CameraSelector selector, Fn fn);
    // A front-camera frame as a frame of the player at `index`.
    std::int64_t ForPlayer(std::size_t index, std::int64_t frontFrame) const;

    // A gate for a start addressed to `selector` (none for one player).
    std::shared_ptr<ClockStartGate> GateFor(CameraSelector selector) const;

    std::array<MoviePlayer, 2> players_;  // front, rear
    bool sharedStart_ = true;
};

}  // namespace trivexa
