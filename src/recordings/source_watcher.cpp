#include "recordings/source_watcher.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "platform/volumes.h"

namespace trivexa {
namespace {

// How often the watcher looks at the source.
constexpr auto kWatchInterval = std::chrono::milliseconds(100);

// True when `path` is the root of a mounted volume. A card opened at its
// mount point is gone when it is unmounted, even if the empty mount-point
// folder stays behind.
bool IsMountRoot(const std::string& path) {
    platform::VolumeInfo volume;
    if (path.empty() || !platform::VolumeOf(path, volume)) return false;
    std::error_code ec;
    const auto canonical = std::filesystem::weakly_canonical(path, ec);
    return !ec && canonical.string() == volume.mountPoint;
}

}  // namespace

CMovieResource::CMovieResource(LostCallback onLost)
    : onLost_(std::move(onLost)), thread_([this](std::stop_token st) { Run(st); }) {}

CMovieResource::~CMovieResource() {
    thread_.request_stop();
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void CMovieResource::SetPath(const std::string& path) {
    const bool mountRoot = IsMountRoot(path);
    std::lock_guard lock(mutex_);
    path_ = path;
    mountRoot_ = mountRoot;
}

std::string CMovieResource::Path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void CMovieResource::Run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (!path_.empty()) {
            const std::string watched = path_;
            const bool mountRoot = mountRoot_;
            lock.unlock();
            const bool gone =
                !platform::PathExists(watched) || (mountRoot && !IsMountRoot(watched));
            lock.lock();
            // Only report the path that was looked at: the panel may have
            // switched to another source meanwhile.
            if (gone && path_ == watched) {
                removed_.store(true);
                path_.clear();
                lock.unlock();
                if (onLost_) onLost_();
                lock.lock();
            }
        }
        wake_.wait_for(lock, stop, kWatchInterval, [] { return false; });
    }
}

}  // namespace trivexa
