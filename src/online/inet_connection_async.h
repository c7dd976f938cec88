#pragma once
// The viewer's connection to the internet: the once-per-run update check and
// the once-a-second reachability test of the map's tile server.
//
// Owned by the map view wrapper of the main window and made on the UI thread.
// Two worker threads run inside:
//  - the reachability thread, from construction to destruction: while the
//    test is enabled it asks the configured address once a second (a HEAD
//    request) and keeps the answer in the reachable flag;
//  - the update thread, started once by StartUpdateCheck: it asks the update
//    server for the newest firmware, viewer and GPS data versions and, when
//    anything is newer, keeps the notice and posts UM_UPDATE_AVAILABLE to the
//    notify target.
// Requests use the proxy of the environment (see platform/http.h) and short
// time-outs; destruction aborts whatever is running and joins both threads
// at once, however dead the network.

#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "online/core/update_check.h"
#include "platform/http.h"

namespace trivexa {

class CInetConnectionAsync {
public:
    struct Options {
        online::UpdateEndpoints endpoints;
        platform::HttpOptions fetchOptions;  // update-check requests
        platform::HttpOptions probeOptions;  // reachability requests
        std::chrono::milliseconds reachabilityInterval{1000};
    };
    // The options of the viewer: endpoints from the settings file, the fetch
    // and probe time-outs of the online services.
    static Options DefaultOptions();

    // Starts the reachability thread (idle until enabled). `notifyTarget`
    // receives UM_UPDATE_AVAILABLE on its own thread; it must outlive this
    // object or be cleared with SetNotifyTarget(nullptr) before it goes.
    explicit CInetConnectionAsync(QObject* notifyTarget = nullptr,
                                  Options options = DefaultOptions());
    // Aborts the running requests and joins both threads.
    virtual ~CInetConnectionAsync();
    CInetConnectionAsync(const CInetConnectionAsync&) = delete;
    CInetConnectionAsync& operator=(const CInetConnectionAsync&) = delete;

    // --- Update check (UI thread) -------------------------------------------

    void SetNotifyTarget(QObject* target);

    // Starts the update thread with the device texts the browser read from the
    // card (empty when no card is open). Only the first call in the object's
    // life starts a check; later calls return false and do nothing. The owner
    // leaves it uncalled when online::ReadUpdateCheckEnabled() says no.
    bool StartUpdateCheck(const std::string& firmwareVersion, const std::string& gpsDataVersion,
                          const std::string& thirdText, const std::string& modelId);
    bool UpdateCheckStarted() const { return started_.load(); }
    // True once the started check has ended (with or without a notice).
    bool UpdateCheckDone() const { return updateDone_.load(); }

    // The notice's message text (see online::UpdateMessageText) and the items
    // it was made from, set when UM_UPDATE_AVAILABLE is posted; empty before.
    // The versions in them are the server's text: CUpdateDialog::SetNotice
    // shows the notice with them escaped.
    std::string MessageText() const;
    online::UpdateNotice Notice() const;

    // --- Reachability (owner on the UI thread; IsReachable from any thread) ---

    // The address the test asks, e.g. the tile server's; none (empty) makes
    // every test fail.
    void SetReachabilityAddress(const std::string& url);
    // Switches the test on or off. Switching on runs one test at once (on
    // the worker, never blocking the caller); switching off clears the
    // reachable flag at once.
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return enabled_.load(); }
    // Whether the address answered at the last test while enabled; a plain
    // atomic read, safe from any thread without a lock.
    bool IsReachable() const { return reachable_.load(std::memory_order_relaxed); }

private:
    void RunReachability();
    void RunUpdateCheck();
    bool Probe(const std::string& url);

    const Options options_;

    // The lock object: guards the notify target and the notice between the
    // update thread (writer) and the owner. Never held during a request, never
    // nested with loopMutex_.
    mutable std::mutex lockMutex_;
    QObject* notifyTarget_ = nullptr;
    std::string messageText_;
    online::UpdateNotice notice_;

    // Update thread. The device texts are written before the thread starts.
    online::DeviceVersions device_;
    std::atomic<bool> started_{false};
    std::atomic<bool> updateDone_{false};
    platform::HttpClient updateClient_;
    std::thread updateThread_;

    // Reachability thread; loopMutex_ guards the fields up to the thread.
    std::mutex loopMutex_;
    std::condition_variable loopWake_;
    bool stop_ = false;
    bool testNow_ = false;
    std::uint64_t switches_ = 0;  // counts SetEnabled and address changes
    std::string address_;
    std::atomic<bool> enabled_{false};
    std::atomic<bool> reachable_{false};
    platform::HttpClient probeClient_;
    std::thread reachabilityThread_;
};

}  // namespace trivexa
