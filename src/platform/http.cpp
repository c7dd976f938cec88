#include "platform/http.h"

#include <curl/curl.h>

#include <atomic>
#include <mutex>

namespace trivexa::platform {
namespace {

void InitLibcurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

bool IsSuccess(long status) { return status >= 200 && status < 300; }
bool IsRedirect(long status) { return status >= 300 && status < 400; }

// A body callback ends the transfer by answering anything but the byte count
// it was given (libcurl then reports CURLE_WRITE_ERROR).
size_t EndTransfer(size_t n) { return n == 0 ? 1 : 0; }

// What the body callback learnt while the transfer ran.
struct BodyState {
    CURL* easy = nullptr;
    const HttpBodySink* sink = nullptr;
    std::size_t maxBytes = 0;
    std::size_t received = 0;
    bool tooLarge = false;
    bool stoppedByReceiver = false;
    bool badStatus = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& state = *static_cast<BodyState*>(user);
    const size_t n = size * count;
    long status = 0;
    curl_easy_getinfo(state.easy, CURLINFO_RESPONSE_CODE, &status);
    // The flags say why a transfer was ended.
    if (!IsSuccess(status) && !IsRedirect(status)) {
        state.badStatus = true;
        return EndTransfer(n);
    }
    if (n > state.maxBytes - state.received) {
        state.tooLarge = true;
        return EndTransfer(n);
    }
    state.received += n;
    // The body of a redirect that libcurl follows is counted, never passed on.
    if (IsRedirect(status) || state.sink == nullptr || !*state.sink) return n;
    if (!(*state.sink)(std::string_view(data, n))) {
        state.stoppedByReceiver = true;
        return EndTransfer(n);
    }
    return n;
}

HttpCode CodeOf(CURLcode rc) {
    switch (rc) {
        case CURLE_OK:
            return HttpCode::kOk;
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return HttpCode::kBadAddress;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
            return HttpCode::kUnreachable;
        case CURLE_OPERATION_TIMEDOUT:
            return HttpCode::kTimedOut;
        case CURLE_TOO_MANY_REDIRECTS:
            return HttpCode::kTooManyRedirects;
        case CURLE_FILESIZE_EXCEEDED:
            return HttpCode::kTooLarge;
        default:
            return HttpCode::kFailed;
    }
}

}  // namespace

struct HttpClient::Impl {
    CURLM* multi = nullptr;
    std::atomic<bool> aborted{false};

    HttpResult Perform(const std::string& url, const HttpOptions& options, bool head,
                       const HttpBodySink* sink);
};

HttpClient::HttpClient() : impl_(std::make_unique<Impl>()) {
    InitLibcurlOnce();
    // The multi handle keeps the connections between requests and lets Abort
    // wake a waiting transfer (curl_multi_wakeup may be called from any thread).
    impl_->multi = curl_multi_init();
}

HttpClient::~HttpClient() {
    if (impl_->multi != nullptr) curl_multi_cleanup(impl_->multi);
}

void HttpClient::Abort() {
    impl_->aborted.store(true);
    if (impl_->multi != nullptr) curl_multi_wakeup(impl_->multi);
}

HttpResult HttpClient::Get(const std::string& url, const HttpOptions& options,
                           const HttpBodySink& sink) {
    return impl_->Perform(url, options, false, &sink);
}

HttpResult HttpClient::Head(const std::string& url, const HttpOptions& options) {
    return impl_->Perform(url, options, true, nullptr);
}

HttpResult HttpClient::Impl::Perform(const std::string& url, const HttpOptions& options, bool head,
                                     const HttpBodySink* sink) {
    HttpResult result;
    if (aborted.load()) {
        result.code = HttpCode::kAborted;
        return result;
    }
    EasyHandle easy(curl_easy_init());
    if (multi == nullptr || !easy) {
        result.detail = "libcurl could not be initialised";
        return result;
    }
    CURL* h = easy.get();
    BodyState body;
    body.easy = h;
    body.sink = sink;
    body.maxBytes = options.maxBodyBytes;

    HeaderList headers(curl_slist_append(nullptr, "Accept: */*"));
    if (headers) curl_slist_append(headers.get(), "Cache-Control: no-cache");

    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    // Nothing but web addresses, also after a redirect: a settings value or a
    // server's Location header must never make us read a local file.
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, options.maxRedirects);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(options.connectTimeout.count()));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(options.totalTimeout.count()));
    // Worker threads: no signals for time-outs.
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
#if LIBCURL_VERSION_NUM >= 0x075700
    // An aborted request must not wait for a name lookup that hangs.
    curl_easy_setopt(h, CURLOPT_QUICK_EXIT, 1L);
#endif
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    if (!options.userAgent.empty())
        curl_easy_setopt(h, CURLOPT_USERAGENT, options.userAgent.c_str());
    if (head) curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    // The proxy is left to libcurl, which takes it from the environment when
    // CURLOPT_PROXY is not set.

    if (curl_multi_add_handle(multi, h) != CURLM_OK) {
        result.detail = "libcurl refused the transfer";
        return result;
    }
    bool finished = false;
    CURLcode rc = CURLE_OK;
    while (!finished) {
        if (aborted.load()) break;
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            rc = CURLE_FAILED_INIT;
            finished = true;
            break;
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == h) {
                rc = msg->data.result;
                finished = true;
            }
        }
        if (finished) break;
        // Abort wakes this wait at once; libcurl's own time-outs end it too.
        if (curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) {
            rc = CURLE_FAILED_INIT;
            finished = true;
        }
    }
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.status);
    curl_multi_remove_handle(multi, h);

    if (!finished) {
        result.code = HttpCode::kAborted;
        return result;
    }
    if (rc == CURLE_WRITE_ERROR && body.stoppedByReceiver) {
        result.code = HttpCode::kOk;
    } else if (rc == CURLE_WRITE_ERROR && body.tooLarge) {
        result.code = HttpCode::kTooLarge;
    } else if (rc == CURLE_WRITE_ERROR && body.badStatus) {
        result.code = HttpCode::kHttpStatus;
    } else if (rc != CURLE_OK) {
        result.code = CodeOf(rc);
        result.detail = curl_easy_strerror(rc);
    } else {
        result.code = IsSuccess(result.status) ? HttpCode::kOk : HttpCode::kHttpStatus;
    }
    return result;
}

}  // namespace trivexa::platform
