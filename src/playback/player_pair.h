#pragma once
// The two players of the viewer: index 0 the front camera, index 1 the rear.
// A camera selector of 0 or 1 addresses that player, 2 both present players
// in turn (front first); results of several players are OR-ed. Positions
// passed to both are front-camera frames and are scaled for the rear clip.
// Called from the UI thread; Prefetch and LoadData also from workers.

#include <array>
#include <cstdint>
#include <string>

#include "playback/movie_player.h"

namespace trivexa {

inline constexpr int kFrontCamera = 0;
inline constexpr int kRearCamera = 1;
inline constexpr int kBothCameras = 2;

// Geometry of one camera's picture for SetZoom.
struct CameraGeometry {
    int zoomX = 0, zoomY = 0;
    int panX = 0, panY = 0;
    float zoomFactor = 1.0f;
};

class PlayerPair {
public:
    MoviePlayer& Player(int index) { return players_[index == kRearCamera ? 1 : 0]; }
    const MoviePlayer& Player(int index) const { return players_[index == kRearCamera ? 1 : 0]; }

    // front frame interval / rear frame interval, 1.0 when the rear has none.
    double RearScale() const;
    std::int64_t ToRear(std::int64_t frontFrame) const;

    int CheckBoth(const std::string& path);
    // Bitwise OR of the two open results (e.g. 1 | 2 = 3).
    int OpenBoth(const std::string& frontPath, const std::string& rearPath);
    int CloseBoth();
    // The first present, opened player whose load succeeds becomes the data
    // camera. A player that opened a repaired copy loads from that copy.
    int LoadData(const std::string& frontPath, const std::string& rearPath);
    int ReleaseDataBoth();
    // Fills the look-ahead reader of the front player (or of the rear one
    // when only a rear path is given) with a recording opened soon after.
    int Prefetch(const std::string& frontPath, const std::string& rearPath);
    // Cancels a running prefetch (its result is thrown away).
    void CancelPrefetch();

    int Play(int selector);
    int Pause(int selector);
    int Stop(int selector);
    int SetRate(int rateCode);
    int RestartAt(int selector, std::int64_t frontFrame);
    int PlayFrom(int selector, std::int64_t frontFrame);
    int Seek(int selector, std::int64_t frontFrame);
    // Only one camera is audible: the selected one (2: the data camera).
    int SetVolume(int selector, int volume);
    // Of that camera; 2: of the data camera.
    float FrameInterval(int selector) const;
    int Repaint(int selector);
    int SetZoom(const std::array<CameraGeometry, 2>& geometry, bool repaint);
    // Index of the data camera, -1 when none.
    int DataCamera() const;

private:
    template <typename Fn>
    int ForSelected(int selector, Fn fn);
    // A front-camera frame as a frame of player `index`.
    std::int64_t ForPlayer(int index, std::int64_t frontFrame) const;

    std::array<MoviePlayer, 2> players_;
};

}  // namespace trivexa
