#pragma once
// HTTP requests for the viewer's online services (the update check and the
// map service's reachability test), on libcurl.
//
// Every request is bounded: a connect and a total time-out, a cap on the body
// bytes read, a few redirects at most, http and https only (also after a
// redirect), and an abort that ends a running request at once from another
// thread, so that shutdown never waits on a dead server or a hanging name
// lookup. The proxy comes from the standard environment variables as libcurl
// reads them: http_proxy for http addresses, https_proxy or HTTPS_PROXY for
// https, all_proxy as a fallback, and no_proxy / NO_PROXY for exceptions.
// Nothing is cached; requests carry "Accept: */*" and "Cache-Control:
// no-cache" so that no proxy answers with a stale copy.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace trivexa::platform {

enum class HttpCode {
    kOk = 0,
    kBadAddress,        // not an http or https address, or malformed
    kUnreachable,       // name not found, connection refused, no route, TLS failure
    kTimedOut,          // the connect or the total time-out ran out
    kHttpStatus,        // the server answered with a status other than 2xx
    kTooLarge,          // the body is longer than the cap
    kTooManyRedirects,  // more redirects than allowed (a redirect loop)
    kAborted,           // HttpClient::Abort was called
    kFailed,            // any other failure of the transfer
};

struct HttpResult {
    HttpCode code = HttpCode::kFailed;
    long status = 0;     // HTTP status of the last answer, 0 when none came
    std::string detail;  // libcurl's description of a failure, for a developer
    bool Ok() const { return code == HttpCode::kOk; }
};

struct HttpOptions {
    std::chrono::milliseconds connectTimeout{5000};  // name lookup and connection
    std::chrono::milliseconds totalTimeout{10000};   // the whole request
    std::size_t maxBodyBytes = 64 * 1024;
    long maxRedirects = 3;
    std::string userAgent;  // none is sent when empty
};

// Receives the body of a 2xx answer in the pieces the network delivers.
// Returning false ends the request early; it then succeeds (the receiver has
// what it wanted). Runs on the thread that called Get.
using HttpBodySink = std::function<bool(std::string_view bytes)>;

// One client per thread that makes requests; connections to a server are
// kept between requests of the same client. Only Abort may be called from
// another thread.
class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // GET `url`; blocks the calling thread until the answer is read, the
    // request fails or Abort is called. The body of a non-2xx answer is not
    // read (kHttpStatus); more than maxBodyBytes of body gives kTooLarge.
    HttpResult Get(const std::string& url, const HttpOptions& options, const HttpBodySink& sink);

    // HEAD `url`: kOk for a 2xx answer, kHttpStatus with the status for any
    // other answer, else the failure.
    HttpResult Head(const std::string& url, const HttpOptions& options);

    // Ends the running request at once and makes every later one fail at
    // once with kAborted. Any thread; the client must still exist.
    void Abort();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace trivexa::platform
