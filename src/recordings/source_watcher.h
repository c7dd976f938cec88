#pragma once
// The source watcher: tells the browser when the opened source (a card, a
// folder or a clip) disappears, so that the viewer stops using it.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace trivexa {

// Watches the opened source: a worker thread polls the watched path every
// 100 ms and, when it no longer exists (or, for a path that was the root of a
// mounted volume, is no longer mounted), sets the removed flag, empties the
// path and calls the loss callback (on the worker thread; the browser turns
// it into a posted UM_SOURCE_LOST). The destructor stops and joins the thread.
class CMovieResource {
public:
    using LostCallback = std::function<void()>;

    explicit CMovieResource(LostCallback onLost = {});
    virtual ~CMovieResource();
    CMovieResource(const CMovieResource&) = delete;
    CMovieResource& operator=(const CMovieResource&) = delete;

    // Replaces the watched path (empty: watch nothing).
    void SetPath(const std::string& path);
    std::string Path() const;
    bool Removed() const { return removed_.load(); }
    void ClearRemoved() { removed_.store(false); }

private:
    void Run(std::stop_token stop);

    LostCallback onLost_;
    mutable std::mutex mutex_;  // guards path_
    std::string path_;
    bool mountRoot_ = false;  // path_ was a mount point when it was set
    std::atomic<bool> removed_{false};
    std::condition_variable_any wake_;
    std::jthread thread_;  // last member: started after the others exist
};

}  // namespace trivexa
