#pragma once
// Pulls a card out at a chosen moment of a running operation, as a user could
// at any time; the operation keeps running on the card that is now gone.
//
// PullWhenMapped: right after the operation maps its `skip`+1-th view (any
// file, any thread): exact, for the readers that map.
// PullWhenOpened: as soon as the `count`-th file is opened in a folder of the
// card (inotify, on a thread of its own): the operation may have read a
// little further by then, for operations that offer no hook.

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/mapping.h"
#include "support/card_volume.h"

namespace trivexa::test {

class PullWhenMapped {
public:
    PullWhenMapped(CardVolume& volume, int skip) {
        volume_ = &volume;
        skip_ = skip;
        platform::test_hooks::SetAfterMapHook(&OnMap);
    }
    ~PullWhenMapped() { platform::test_hooks::SetAfterMapHook(nullptr); }
    PullWhenMapped(const PullWhenMapped&) = delete;
    PullWhenMapped& operator=(const PullWhenMapped&) = delete;

private:
    static void OnMap(int, std::uint64_t, std::size_t) {
        if (skip_-- == 0) volume_->Pull();
    }
    static inline CardVolume* volume_ = nullptr;
    static inline std::atomic<int> skip_{0};
};

class PullWhenOpened {
public:
    PullWhenOpened(CardVolume& volume, const std::string& folder, int count)
        : inotify_(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)), stop_(::eventfd(0, EFD_CLOEXEC)) {
        watching_ = inotify_ >= 0 && stop_ >= 0 &&
                    ::inotify_add_watch(inotify_, folder.c_str(), IN_OPEN) >= 0;
        if (watching_) thread_ = std::thread([this, &volume, count] { Run(volume, count); });
    }
    ~PullWhenOpened() {
        if (thread_.joinable()) {
            const std::uint64_t one = 1;
            (void)!::write(stop_, &one, sizeof one);
            thread_.join();
        }
        if (inotify_ >= 0) ::close(inotify_);
        if (stop_ >= 0) ::close(stop_);
    }
    PullWhenOpened(const PullWhenOpened&) = delete;
    PullWhenOpened& operator=(const PullWhenOpened&) = delete;

    bool Watching() const { return watching_; }

private:
    void Run(CardVolume& volume, int count) {
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            pollfd fds[2] = {{inotify_, POLLIN, 0}, {stop_, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN)) return;
            const ssize_t n = ::read(inotify_, buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (!(event->mask & IN_ISDIR) && --count == 0) {
                    volume.Pull();
                    return;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    int inotify_;
    int stop_;
    bool watching_ = false;
    std::thread thread_;
};

}  // namespace trivexa::test
