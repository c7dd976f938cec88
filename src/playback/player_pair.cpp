#include "playback/player_pair.h"

#include <filesystem>

#include "container/integrity.h"

namespace trivexa {
namespace {

// A repaired copy is named after the camera clip it replaces.
bool IsCameraClipName(const std::string& path) {
    for (const char* tail : {"F.AVI", "F.avi", "R.AVI", "R.avi"})
        if (path.find(tail) != std::string::npos) return true;
    return false;
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

template <typename Fn>
int PlayerPair::ForSelected(int selector, Fn fn) {
    int result = 0;
    for (int i = 0; i < 2; ++i) {
        if (selector != kBothCameras && selector != i) continue;
        if (!players_[i].IsPresent()) continue;
        if (fn(i, players_[i]) != 0) result = 1;
    }
    return result;
}

double PlayerPair::RearScale() const {
    const float rear = players_[1].FrameInterval();
    if (rear == 0.0f) return 1.0;
    return static_cast<double>(players_[0].FrameInterval()) / static_cast<double>(rear);
}

std::int64_t PlayerPair::ToRear(std::int64_t frontFrame) const {
    return ScaleFrames(frontFrame, RearScale());
}

int PlayerPair::CheckBoth(const std::string& path) {
    return ForSelected(kBothCameras, [&](int, MoviePlayer& p) { return p.CheckFile(path); });
}

int PlayerPair::OpenBoth(const std::string& frontPath, const std::string& rearPath) {
    int combined = 0;
    for (int i = 0; i < 2; ++i) {
        MoviePlayer& p = players_[i];
        p.SetOpened(0);
        if (!p.IsPresent()) continue;
        const int r = p.Open(i == 0 ? frontPath : rearPath);
        p.SetOpened(r);
        combined |= r;
    }
    return combined;
}

int PlayerPair::CloseBoth() {
    return ForSelected(kBothCameras, [](int, MoviePlayer& p) {
        const int r = p.Close();
        p.SetOpened(0);
        p.SetDataCamera(false);
        return r;
    });
}

int PlayerPair::LoadData(const std::string& frontPath, const std::string& rearPath) {
    for (int i = 0; i < 2; ++i) {
        MoviePlayer& p = players_[i];
        if (!p.IsPresent() || p.Opened() == 0) continue;
        std::string path = i == 0 ? frontPath : rearPath;
        if (path.empty()) continue;
        if (p.OpenedRepairedCopy()) {
            if (!IsCameraClipName(path)) continue;
            std::filesystem::path copy;
            std::error_code ec;
            if (RepairFolderPath(FileNameOf(path), copy) && std::filesystem::exists(copy, ec))
                path = copy.string();
        }
        if (p.LoadData(path) != 0) {
            p.SetDataCamera(true);
            return 1;
        }
    }
    return 0;
}

int PlayerPair::ReleaseDataBoth() {
    return ForSelected(kBothCameras, [](int, MoviePlayer& p) {
        const int r = p.ReleaseData();
        p.SetDataCamera(false);
        return r;
    });
}

int PlayerPair::Prefetch(const std::string& frontPath, const std::string& rearPath) {
    if (frontPath.empty() && rearPath.empty()) return 1;
    const int index = !frontPath.empty() ? 0 : 1;
    MoviePlayer& p = players_[index];
    if (!p.IsPresent()) return 0;
    return p.FillLookAhead(index == 0 ? frontPath : rearPath);
}

void PlayerPair::CancelPrefetch() {
    for (auto& p : players_) p.CancelLookAhead();
}

int PlayerPair::Play(int selector) {
    return ForSelected(selector, [](int, MoviePlayer& p) { return p.Play(); });
}

int PlayerPair::Pause(int selector) {
    return ForSelected(selector, [](int, MoviePlayer& p) { return p.Pause(); });
}

int PlayerPair::Stop(int selector) {
    return ForSelected(selector, [](int, MoviePlayer& p) { return p.Stop(); });
}

int PlayerPair::SetRate(int rateCode) {
    return ForSelected(kBothCameras, [&](int, MoviePlayer& p) { return p.SetRate(rateCode); });
}

std::int64_t PlayerPair::ForPlayer(int index, std::int64_t frontFrame) const {
    // The front frame means the same moment in the rear clip only when both
    // clips are open; a rear-only recording is addressed in its own frames
    // (the front player may still hold the interval of an earlier clip).
    const bool both = players_[0].Opened() != 0 && players_[1].Opened() != 0;
    return index == 1 && both ? ToRear(frontFrame) : frontFrame;
}

int PlayerPair::RestartAt(int selector, std::int64_t frontFrame) {
    return ForSelected(
        selector, [&](int i, MoviePlayer& p) { return p.RestartAt(ForPlayer(i, frontFrame)); });
}

int PlayerPair::PlayFrom(int selector, std::int64_t frontFrame) {
    return ForSelected(selector,
                       [&](int i, MoviePlayer& p) { return p.PlayFrom(ForPlayer(i, frontFrame)); });
}

int PlayerPair::Seek(int selector, std::int64_t frontFrame) {
    return ForSelected(selector,
                       [&](int i, MoviePlayer& p) { return p.Seek(ForPlayer(i, frontFrame)); });
}

int PlayerPair::SetVolume(int selector, int volume) {
    int audible = selector;
    if (selector == kBothCameras) audible = DataCamera();
    int result = 0;
    for (int i = 0; i < 2; ++i) {
        if (!players_[i].IsPresent()) continue;
        if (players_[i].SetVolume(i == audible ? volume : 0) != 0) result = 1;
    }
    return result;
}

float PlayerPair::FrameInterval(int selector) const {
    if (selector == kBothCameras) {
        const int d = DataCamera();
        return d < 0 ? 0.0f : players_[d].FrameInterval();
    }
    return Player(selector).FrameInterval();
}

int PlayerPair::Repaint(int selector) {
    return ForSelected(selector, [](int, MoviePlayer& p) { return p.Repaint(); });
}

int PlayerPair::SetZoom(const std::array<CameraGeometry, 2>& geometry, bool repaint) {
    return ForSelected(kBothCameras, [&](int i, MoviePlayer& p) {
        const CameraGeometry& g = geometry[i];
        return p.SetZoom(g.zoomX, g.zoomY, g.panX, g.panY, g.zoomFactor, repaint);
    });
}

int PlayerPair::DataCamera() const {
    for (int i = 0; i < 2; ++i)
        if (players_[i].IsPresent() && players_[i].IsDataCamera()) return i;
    return -1;
}

}  // namespace trivexa
