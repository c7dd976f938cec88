#include "online/inet_connection_async.h"

#include <utility>

#include "app/messages/posted_message.h"
#include "online/core/fetch_text.h"
#include "online/core/update_settings.h"

namespace trivexa {

CInetConnectionAsync::Options CInetConnectionAsync::DefaultOptions() {
    Options options;
    options.endpoints = online::ReadUpdateEndpoints();
    options.fetchOptions = online::UpdateFetchOptions();
    // A test runs once a second: it must end well within a few seconds so a
    // dead network shows as unreachable soon.
    options.probeOptions.connectTimeout = std::chrono::seconds(3);
    options.probeOptions.totalTimeout = std::chrono::seconds(4);
    options.probeOptions.maxBodyBytes = 0;
    options.probeOptions.userAgent = options.fetchOptions.userAgent;
    return options;
}

CInetConnectionAsync::CInetConnectionAsync(QObject* notifyTarget, Options options)
    : options_(std::move(options)), notifyTarget_(notifyTarget) {
    reachabilityThread_ = std::thread([this] { RunReachability(); });
}

CInetConnectionAsync::~CInetConnectionAsync() {
    {
        std::lock_guard lock(lockMutex_);
        notifyTarget_ = nullptr;
    }
    {
        std::lock_guard lock(loopMutex_);
        stop_ = true;
    }
    loopWake_.notify_all();
    // Both requests end at once, whatever the server does, so the joins
    // never wait on the network.
    updateClient_.Abort();
    probeClient_.Abort();
    if (updateThread_.joinable()) updateThread_.join();
    if (reachabilityThread_.joinable()) reachabilityThread_.join();
}

void CInetConnectionAsync::SetNotifyTarget(QObject* target) {
    std::lock_guard lock(lockMutex_);
    notifyTarget_ = target;
}

bool CInetConnectionAsync::StartUpdateCheck(const std::string& firmwareVersion,
                                            const std::string& gpsDataVersion,
                                            const std::string& thirdText,
                                            const std::string& modelId) {
    if (started_.exchange(true)) return false;
    device_ = {firmwareVersion, gpsDataVersion, thirdText, modelId};
    updateThread_ = std::thread([this] { RunUpdateCheck(); });
    return true;
}

std::string CInetConnectionAsync::MessageText() const {
    std::lock_guard lock(lockMutex_);
    return messageText_;
}

online::UpdateNotice CInetConnectionAsync::Notice() const {
    std::lock_guard lock(lockMutex_);
    return notice_;
}

void CInetConnectionAsync::RunUpdateCheck() {
    const online::FetchFunction fetch = [this](const std::string& url, online::FetchMode mode,
                                               std::string& text) {
        return online::FetchText(updateClient_, url, mode, text, options_.fetchOptions);
    };
    online::UpdateNotice notice = online::CheckForUpdates(device_, options_.endpoints, fetch);
    if (!notice.empty()) {
        std::string text = online::UpdateMessageText(notice);
        std::lock_guard lock(lockMutex_);
        if (notifyTarget_ != nullptr) {
            messageText_ = std::move(text);
            notice_ = std::move(notice);
            PostMessageTo(notifyTarget_, UM_UPDATE_AVAILABLE);
        }
    }
    updateDone_.store(true);
}

void CInetConnectionAsync::SetReachabilityAddress(const std::string& url) {
    {
        std::lock_guard lock(loopMutex_);
        if (address_ == url) return;
        address_ = url;
        ++switches_;
        testNow_ = true;
    }
    loopWake_.notify_all();
}

void CInetConnectionAsync::SetEnabled(bool enabled) {
    {
        std::lock_guard lock(loopMutex_);
        enabled_.store(enabled);
        ++switches_;
        if (enabled) {
            testNow_ = true;
        } else {
            reachable_.store(false, std::memory_order_relaxed);
        }
    }
    loopWake_.notify_all();
}

bool CInetConnectionAsync::Probe(const std::string& url) {
    const platform::HttpResult result = probeClient_.Head(url, options_.probeOptions);
    if (result.Ok()) return true;
    // Any answer of the server counts, including a refusal of HEAD; a proxy's
    // gateway errors (5xx) say the server itself was not reached.
    return result.code == platform::HttpCode::kHttpStatus && result.status >= 100 &&
           result.status < 500;
}

void CInetConnectionAsync::RunReachability() {
    std::unique_lock lock(loopMutex_);
    while (!stop_) {
        testNow_ = false;
        const bool enabled = enabled_.load();
        const std::string address = address_;
        const std::uint64_t switches = switches_;
        bool reachable = false;
        if (enabled && !address.empty()) {
            lock.unlock();
            reachable = Probe(address);
            lock.lock();
        }
        // A switch while the test ran makes its answer stale; the switch has
        // asked for a new test already.
        if (switches == switches_) reachable_.store(reachable, std::memory_order_relaxed);
        loopWake_.wait_for(lock, options_.reachabilityInterval,
                           [this] { return stop_ || testNow_; });
    }
}

}  // namespace trivexa
