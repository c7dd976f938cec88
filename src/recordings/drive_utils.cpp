#include "recordings/drive_utils.h"

#include <chrono>
#include <thread>

#include "platform/files.h"
#include "platform/path.h"
#include "platform/volumes.h"
#include "recordings/recording_name.h"

namespace trivexa {
namespace {

// Upper bounds of the capacity classes, in bytes of the whole volume.
constexpr std::uint64_t kClass0MaxBytes = 36'000'000'000ULL;
constexpr std::uint64_t kClass1MaxBytes = 108'000'000'000ULL;
// How many recordings a group holds on a card of each capacity class.
constexpr int kGroupSizeLimit[3] = {200, 100, 50};

constexpr std::string_view kAviExtension = ".avi";

constexpr auto kDeletePollInterval = std::chrono::milliseconds(200);
// A trashed path disappears at once; one that keeps coming back (a recorder
// writing to the card, a sync tool) must not hang the caller.
constexpr int kDeletePollLimit = 150;

// Camera folders the card's top folders hold; the first of each pair is the
// one whose presence marks a card.
constexpr std::size_t kNormalFront = 0;
constexpr std::size_t kParkingFront = 2;

bool AsciiEqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Whether a path exists itself, without following a final symbolic link: a
// dangling link is still something the user can delete.
bool Exists(const std::string& path) {
    return platform::PathExists(path) || platform::IsSymlink(path);
}

}  // namespace

const std::array<CardLayoutRow, 4> kCardLayout = {{
    {"Normal/Front", "Normal", "Front", 'F', "AVI", "DMY"},
    {"Normal/Rear", "Normal", "Rear", 'R', "AVI", "DMY"},
    {"Parking/Front", "Parking", "Front", 'F', "AVI", "DMY"},
    {"Parking/Rear", "Parking", "Rear", 'R', "AVI", "DMY"},
}};

bool IsCardPath(const std::string& path) {
    platform::VolumeInfo volume;
    if (path.empty() || !platform::VolumeOf(WithForwardSlashes(path), volume) || volume.isNetwork) {
        return false;
    }
    return platform::IsDirectory(JoinPath(volume.mountPoint, kCardLayout[kNormalFront].subPath)) ||
           platform::IsDirectory(JoinPath(volume.mountPoint, kCardLayout[kParkingFront].subPath));
}

int CapacityClassForSize(std::uint64_t totalBytes) {
    if (totalBytes <= kClass0MaxBytes) return 0;
    if (totalBytes <= kClass1MaxBytes) return 1;
    return 2;
}

int GroupSizeLimitForClass(int capacityClass) {
    if (capacityClass < 0 || capacityClass > 2) capacityClass = 0;
    return kGroupSizeLimit[capacityClass];
}

int CapacityClass(const std::string& path) {
    platform::VolumeInfo volume;
    if (!platform::VolumeOf(WithForwardSlashes(path), volume)) return CapacityClassForSize(0);
    return CapacityClassForSize(volume.totalBytes);
}

std::uint64_t FreeBytes(const std::string& folder) {
    platform::VolumeInfo volume;
    if (folder.empty() || !platform::VolumeOf(WithForwardSlashes(folder), volume)) return 0;
    return volume.availableBytes;
}

bool HasAviExtension(std::string_view path) {
    const std::string_view name = FileNameOf(path);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    return AsciiEqualsIgnoreCase(name.substr(dot), kAviExtension);
}

bool ShellDelete(const std::string& path) {
    if (path.empty() || !Exists(path)) return false;
    return platform::MoveToTrash(path);
}

void ShellDeleteAndWait(const std::string& path) {
    if (path.empty() || !Exists(path)) return;
    if (!platform::MoveToTrash(path)) return;
    for (int i = 0; i < kDeletePollLimit && Exists(path); ++i) {
        std::this_thread::sleep_for(kDeletePollInterval);
    }
}

namespace {

// The other camera's file of the recording file `path`, as the library pairs
// them ('/' separators).
std::string OwnPartner(const std::string& path) {
    return IsRecordingFileName(path, CameraFilter::Front) ? FrontToRearPath(path)
                                                          : RearToFrontPath(path);
}

// Whether `path` lies directly in one of the card's camera folders
// (".../Normal/Front", ".../Parking/Rear", ...), compared folder by folder.
bool InCardCameraFolder(const std::string& path) {
    const std::string_view dir = ParentOf(path);
    const std::string_view camera = LastComponent(dir);
    const std::string_view top = LastComponent(ParentOf(dir));
    for (const CardLayoutRow& row : kCardLayout) {
        if (camera == row.cameraFolder && top == row.topFolder) return true;
    }
    return false;
}

enum class HideStep { kHidden, kMissing, kFailed };

// Hides one recording file: the hidden attribute, then the rename to the
// same name with the hidden extension (the name is a recording file name,
// so it ends in the live extension).
HideStep HideFile(const std::string& live) {
    if (!platform::IsRegularFile(live)) return HideStep::kMissing;
    const CardLayoutRow& row = kCardLayout[kNormalFront];
    const std::string hidden =
        live.substr(0, live.size() - row.liveExtension.size()) + std::string(row.hiddenExtension);
    if (Exists(hidden)) return HideStep::kFailed;
    if (!platform::SetHiddenAttribute(live)) return HideStep::kFailed;
    // A file left under its live name is not deleted; say so.
    if (!platform::RenameNoReplace(live, hidden)) return HideStep::kFailed;
    return HideStep::kHidden;
}

}  // namespace

SourceBounds::SourceBounds(const std::string& root)
    : root_(StripTrailingSeparators(platform::ResolvedPath(WithForwardSlashes(root)))) {}

bool SourceBounds::Within(const std::string& resolved) const {
    if (root_.empty() || resolved.empty()) return false;
    if (resolved.compare(0, root_.size(), root_) != 0) return false;
    return resolved.size() == root_.size() || root_.back() == '/' || resolved[root_.size()] == '/';
}

bool SourceBounds::Contains(const std::string& path) const {
    if (root_.empty() || path.empty()) return false;
    const std::string p(StripTrailingSeparators(WithForwardSlashes(path)));
    const std::string_view name = FileNameOf(p);
    if (name.empty() || name == "." || name == ".." || platform::IsSymlink(p)) {
        // A link is followed to where it leads; one leading nowhere is out.
        if (platform::IsSymlink(p) && !platform::PathExists(p)) return false;
        return Within(std::string(StripTrailingSeparators(platform::ResolvedPath(p))));
    }
    // Not a link itself: it lies where its folder does.
    const std::string folder(ParentOf(p));
    auto it = folders_.find(folder);
    if (it == folders_.end()) {
        const std::string resolved(
            StripTrailingSeparators(platform::ResolvedPath(folder.empty() ? "." : folder)));
        it = folders_.emplace(folder, resolved).first;
    }
    if (it->second.empty()) return false;
    return Within(JoinPath(it->second, name));
}

bool SourceBounds::Admits(const std::string& folder, std::string_view name, bool isSymlink) const {
    return !isSymlink || Contains(JoinPath(folder, name));
}

bool HideOnCard(const std::string& path) {
    const std::string own = WithForwardSlashes(path);
    // Only a file the recorder wrote into its folders is hidden for it to
    // reuse; its partner is derived from its own path, never from a name
    // rebuilt elsewhere.
    if (!IsRecordingFileName(own) || !InCardCameraFolder(own)) return false;
    const bool isFront = IsRecordingFileName(own, CameraFilter::Front);
    const std::string partner = OwnPartner(own);
    const std::string& front = isFront ? own : partner;
    const std::string& rear = isFront ? partner : own;

    bool hidAny = false;
    for (const std::string* live : {&front, &rear}) {
        switch (HideFile(*live)) {
            case HideStep::kFailed:
                return false;
            case HideStep::kHidden:
                hidAny = true;
                break;
            case HideStep::kMissing:
                break;
        }
    }
    // Nothing found means nothing was deleted.
    return hidAny;
}

bool DeleteRecording(const std::string& frontPath, const std::string& rearPath) {
    if (frontPath.empty() && rearPath.empty()) return false;
    const std::string& key = frontPath.empty() ? rearPath : frontPath;
    const bool keyIsRecording = IsRecordingFileName(key);
    // A row's second path is its key file's own partner; anything else is
    // not one recording, and deleting it could touch another row's file.
    if (keyIsRecording && !frontPath.empty() && !rearPath.empty() &&
        WithForwardSlashes(rearPath) != OwnPartner(WithForwardSlashes(frontPath))) {
        return false;
    }
    if (keyIsRecording && IsCardPath(key)) return HideOnCard(key);
    if (frontPath.empty()) return Exists(rearPath) ? ShellDelete(rearPath) : true;
    bool ok = true;
    if (Exists(frontPath)) ok = ShellDelete(frontPath);
    if (keyIsRecording && !rearPath.empty() && Exists(rearPath)) ok = ok && ShellDelete(rearPath);
    return ok;
}

std::string BrowseStartFolder(const std::string& rememberedFolder) {
    return rememberedFolder.empty() ? platform::StartupDirectory() : rememberedFolder;
}

}  // namespace trivexa
