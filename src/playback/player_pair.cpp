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

namespace {

constexpr std::size_t kFront = 0;
constexpr std::size_t kRear = 1;

constexpr bool Addresses(CameraSelector selector, std::size_t index) {
    return selector == CameraSelector::kBoth || static_cast<std::size_t>(selector) == index;
}

}  // namespace

template <typename Fn>
bool PlayerPair::ForSelected(CameraSelector selector, Fn fn) {
    bool any = false;
    for (std::size_t i = 0; i < players_.size(); ++i) {
        if (!Addresses(selector, i) || !players_[i].IsPresent()) continue;
        if (fn(i, players_[i])) any = true;
    }
    return any;
}

double PlayerPair::RearScale() const {
    const float rear = players_[kRear].FrameInterval();
    if (rear == 0.0f) return 1.0;
    return static_cast<double>(players_[kFront].FrameInterval()) / static_cast<double>(rear);
}

std::int64_t PlayerPair::ToRear(std::int64_t frontFrame) const {
    return ScaleFrames(frontFrame, RearScale());
}

std::int64_t PlayerPair::ForPlayer(std::size_t index, std::int64_t frontFrame) const {
    // The front frame means the same moment in the rear clip only when both
    // clips are open; a rear-only recording is addressed in its own frames
    // (the front player may still hold the interval of an earlier clip).
    const bool both = players_[kFront].LastOpenResult() != OpenResult::kFailed &&
                      players_[kRear].LastOpenResult() != OpenResult::kFailed;
    return index == kRear && both ? ToRear(frontFrame) : frontFrame;
}

bool PlayerPair::CheckBoth(const std::string& path) {
    return ForSelected(CameraSelector::kBoth,
                       [&](std::size_t, MoviePlayer& p) { return p.CheckFile(path); });
}

PairOpenResult PlayerPair::OpenBoth(const std::string& frontPath, const std::string& rearPath) {
    int combined = 0;
    for (std::size_t i = 0; i < players_.size(); ++i) {
        MoviePlayer& p = players_[i];
        p.SetLastOpenResult(OpenResult::kFailed);
        if (!p.IsPresent()) continue;
        const OpenResult r = p.Open(i == kFront ? frontPath : rearPath);
        p.SetLastOpenResult(r);
        combined |= static_cast<int>(r);
    }
    return static_cast<PairOpenResult>(combined);
}

bool PlayerPair::CloseBoth() {
    return ForSelected(CameraSelector::kBoth, [](std::size_t, MoviePlayer& p) {
        const bool r = p.Close();
        p.SetLastOpenResult(OpenResult::kFailed);
        p.SetDataCamera(false);
        return r;
    });
}

bool PlayerPair::LoadData(const std::string& frontPath, const std::string& rearPath) {
    for (std::size_t i = 0; i < players_.size(); ++i) {
        MoviePlayer& p = players_[i];
        if (!p.IsPresent() || p.LastOpenResult() == OpenResult::kFailed) continue;
        std::string path = i == kFront ? frontPath : rearPath;
        if (path.empty()) continue;
        if (p.OpenedRepairedCopy()) {
            if (!IsCameraClipName(path)) continue;
            std::filesystem::path copy;
            std::error_code ec;
            if (RepairFolderPath(FileNameOf(path), copy) && std::filesystem::exists(copy, ec))
                path = copy.string();
        }
        if (p.LoadData(path)) {
            p.SetDataCamera(true);
            return true;
        }
    }
    return false;
}

bool PlayerPair::ReleaseDataBoth() {
    return ForSelected(CameraSelector::kBoth, [](std::size_t, MoviePlayer& p) {
        const bool r = p.ReleaseData();
        p.SetDataCamera(false);
        return r;
    });
}

bool PlayerPair::Prefetch(const std::string& frontPath, const std::string& rearPath) {
    if (frontPath.empty() && rearPath.empty()) return true;
    const std::size_t index = !frontPath.empty() ? kFront : kRear;
    MoviePlayer& p = players_[index];
    if (!p.IsPresent()) return false;
    return p.FillLookAhead(index == kFront ? frontPath : rearPath);
}

void PlayerPair::CancelPrefetch() {
    for (auto& p : players_) p.CancelLookAhead();
}

std::shared_ptr<ClockStartGate> PlayerPair::GateFor(CameraSelector selector) const {
    if (!sharedStart_ || selector != CameraSelector::kBoth) return nullptr;
    for (const MoviePlayer& p : players_)
        if (!p.IsPresent()) return nullptr;
    return std::make_shared<ClockStartGate>();
}

bool PlayerPair::Play(CameraSelector selector) {
    const std::shared_ptr<ClockStartGate> gate = GateFor(selector);
    const bool any =
        ForSelected(selector, [&](std::size_t, MoviePlayer& p) { return p.Play(gate); });
    if (gate) gate->Seal();
    return any;
}

bool PlayerPair::Pause(CameraSelector selector) {
    return ForSelected(selector, [](std::size_t, MoviePlayer& p) { return p.Pause(); });
}

bool PlayerPair::Stop(CameraSelector selector) {
    return ForSelected(selector, [](std::size_t, MoviePlayer& p) { return p.Stop(); });
}

bool PlayerPair::SetRate(int rateCode) {
    return ForSelected(CameraSelector::kBoth,
                       [&](std::size_t, MoviePlayer& p) { return p.SetRate(rateCode); });
}

bool PlayerPair::RestartAt(CameraSelector selector, std::int64_t frontFrame) {
    const std::shared_ptr<ClockStartGate> gate = GateFor(selector);
    const bool any = ForSelected(selector, [&](std::size_t i, MoviePlayer& p) {
        return p.RestartAt(ForPlayer(i, frontFrame), gate);
    });
    if (gate) gate->Seal();
    return any;
}

bool PlayerPair::PlayFrom(CameraSelector selector, std::int64_t frontFrame) {
    const std::shared_ptr<ClockStartGate> gate = GateFor(selector);
    const bool any = ForSelected(selector, [&](std::size_t i, MoviePlayer& p) {
        return p.PlayFrom(ForPlayer(i, frontFrame), gate);
    });
    if (gate) gate->Seal();
    return any;
}

bool PlayerPair::Seek(CameraSelector selector, std::int64_t frontFrame) {
    return ForSelected(
        selector, [&](std::size_t i, MoviePlayer& p) { return p.Seek(ForPlayer(i, frontFrame)); });
}

bool PlayerPair::SetVolume(CameraSelector selector, int volume) {
    std::optional<std::size_t> audible;
    if (selector == CameraSelector::kBoth) {
        if (const auto data = DataCamera()) audible = IndexOf(*data);
    } else {
        audible = static_cast<std::size_t>(selector);
    }
    bool any = false;
    for (std::size_t i = 0; i < players_.size(); ++i) {
        if (!players_[i].IsPresent()) continue;
        if (players_[i].SetVolume(audible == i ? volume : 0)) any = true;
    }
    return any;
}

float PlayerPair::FrameInterval(CameraSelector selector) const {
    if (selector == CameraSelector::kBoth) {
        const auto data = DataCamera();
        return data ? Player(*data).FrameInterval() : 0.0f;
    }
    return players_[static_cast<std::size_t>(selector)].FrameInterval();
}

bool PlayerPair::Repaint(CameraSelector selector) {
    return ForSelected(selector, [](std::size_t, MoviePlayer& p) { return p.Repaint(); });
}

bool PlayerPair::SetZoom(const std::array<CameraGeometry, 2>& geometry, bool repaint) {
    return ForSelected(CameraSelector::kBoth, [&](std::size_t i, MoviePlayer& p) {
        const CameraGeometry& g = geometry[i];
        return p.SetZoom(g.zoomX, g.zoomY, g.panX, g.panY, g.zoomFactor, repaint);
    });
}

std::optional<Camera> PlayerPair::DataCamera() const {
    for (std::size_t i = 0; i < players_.size(); ++i)
        if (players_[i].IsPresent() && players_[i].IsDataCamera())
            return i == kFront ? Camera::Front : Camera::Rear;
    return std::nullopt;
}

void PlayerPair::WithBothReaders(
    const std::function<void(MoviePlayer::Readers front, MoviePlayer::Readers rear)>& use) {
    players_[kFront].WithReaders([&](MoviePlayer::Readers front) {
        players_[kRear].WithReaders([&](MoviePlayer::Readers rear) { use(front, rear); });
    });
}

}  // namespace trivexa
