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

bool HideOnCard(const std::string& path) {
    const std::string normalised = WithForwardSlashes(path);
    const std::string dir(ParentOf(normalised));
    const std::string parent(ParentOf(dir));
    std::string base = dir;
    if (platform::IsDirectory(dir) && platform::IsDirectory(parent)) {
        for (const CardLayoutRow& row : kCardLayout) {
            if (dir.find(row.subPath) != std::string::npos) {
                base = parent;
                break;
            }
        }
    }

    const std::string_view name = FileNameOf(normalised);
    const std::string_view prefix = name.substr(0, std::min(name.size(), kNamePrefixLength));
    const int number = SequenceNumber(name);
    const std::size_t first = IsParking(name) ? kParkingFront : kNormalFront;

    bool hidAny = false;
    for (std::size_t i = first; i < first + 2; ++i) {
        const CardLayoutRow& row = kCardLayout[i];
        const std::string live = CardFilePath(base, row.cameraFolder, prefix, number,
                                              row.cameraLetter, row.liveExtension);
        if (!platform::IsRegularFile(live)) continue;
        const std::string hidden = CardFilePath(base, row.cameraFolder, prefix, number,
                                                row.cameraLetter, row.hiddenExtension);
        if (Exists(hidden)) return false;
        if (!platform::SetHiddenAttribute(live)) return false;
        // A file left under its live name is not deleted; say so.
        if (!platform::RenameNoReplace(live, hidden)) return false;
        hidAny = true;
    }
    // Nothing found under the card layout means nothing was deleted.
    return hidAny;
}

bool DeleteRecording(const std::string& frontPath, const std::string& rearPath) {
    if (!frontPath.empty()) {
        const bool frontIsRecording = IsRecordingName(frontPath);
        if (frontIsRecording && IsCardPath(frontPath)) return HideOnCard(frontPath);
        bool ok = true;
        if (Exists(frontPath)) ok = ShellDelete(frontPath);
        if (frontIsRecording && !rearPath.empty() && Exists(rearPath)) {
            ok = ok && ShellDelete(rearPath);
        }
        return ok;
    }
    if (rearPath.empty()) return false;
    if (IsRecordingName(rearPath) && IsCardPath(rearPath)) return HideOnCard(rearPath);
    return Exists(rearPath) ? ShellDelete(rearPath) : true;
}

std::string BrowseStartFolder(const std::string& rememberedFolder) {
    return rememberedFolder.empty() ? platform::StartupDirectory() : rememberedFolder;
}

}  // namespace trivexa
