#pragma once
// A small HTTP/1.1 server on 127.0.0.1 (a free port) for tests of network
// code: every connection gets its own thread, reads one request and answers
// it as the test's handler says, including the misbehaving answers a real
// server on the internet may give (a huge body, silence).

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace trivexa::test {

struct HttpRequestSeen {
    std::string method;  // "GET", "HEAD"
    std::string target;  // "/path" or, through a proxy, "http://host/path"
    std::vector<std::pair<std::string, std::string>> headers;
    // Value of the first header named `name` (any letter case), "" when none.
    std::string Header(const std::string& name) const;
};

struct HttpAnswer {
    int status = 200;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // Sends `streamBytes` bytes of 'x' after `body` (Content-Length counts
    // them), as fast as the client takes them, until it stops reading.
    std::size_t streamBytes = 0;
    // Reads the request and never answers, until the server stops.
    bool silent = false;

    static HttpAnswer Text(std::string body, int status = 200);
    static HttpAnswer Redirect(const std::string& location, int status = 302);
    static HttpAnswer Silent();
};

class LocalHttpServer {
public:
    using Handler = std::function<HttpAnswer(const HttpRequestSeen&)>;
    // Listens on `port`, or on a free port when 0 (a server that comes back
    // after a stop takes its old port again).
    explicit LocalHttpServer(Handler handler, int port = 0);
    // Stops: closes every connection, silent ones included, and joins.
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string Url(const std::string& path = "") const;
    // The requests read so far, in arrival order.
    std::vector<HttpRequestSeen> Requests() const;
    std::size_t RequestCount() const;
    // Connections accepted so far (a request may never come on one).
    std::size_t ConnectionCount() const { return connections_.load(); }

    // Stops listening and ends every connection; later connections are refused.
    void Stop();

private:
    void AcceptLoop();
    void Serve(int fd);

    Handler handler_;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};  // a byte on [1] ends every wait of the server
    int port_ = 0;
    std::atomic<bool> stopped_{false};
    std::atomic<std::size_t> connections_{0};
    mutable std::mutex mutex_;
    std::vector<HttpRequestSeen> requests_;
    std::vector<std::thread> workers_;
    std::thread acceptThread_;
};

// Sets (or, with nullopt, unsets) an environment variable for its lifetime.
// Only while no other thread of the test reads the environment.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// No proxy variable set (http_proxy, https_proxy, all_proxy, no_proxy in both
// letter cases), so requests to 127.0.0.1 go straight to the test's server
// whatever the developer's shell has set.
class NoProxyEnvironment {
public:
    NoProxyEnvironment();

private:
    std::vector<std::unique_ptr<ScopedEnv>> vars_;
};

}  // namespace trivexa::test
