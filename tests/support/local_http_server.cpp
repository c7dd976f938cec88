#include "support/local_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

namespace trivexa::test {
namespace {

constexpr std::size_t kMaxRequestHead = 64 * 1024;

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Waits until `fd` is ready for `events` or the server is stopped; false on stop.
bool WaitFor(int fd, short events, int wakeFd) {
    pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
    for (;;) {
        const int rc = ::poll(fds, 2, -1);
        if (rc < 0) return false;
        if (fds[1].revents != 0) return false;
        if (fds[0].revents != 0) return true;
    }
}

bool SendAll(int fd, const char* data, std::size_t size, int wakeFd) {
    while (size > 0) {
        if (!WaitFor(fd, POLLOUT, wakeFd)) return false;
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ParseRequest(const std::string& head, HttpRequestSeen& request) {
    std::size_t lineEnd = head.find("\r\n");
    const std::string line = head.substr(0, lineEnd);
    const auto sp1 = line.find(' ');
    const auto sp2 = line.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos) return false;
    request.method = line.substr(0, sp1);
    request.target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    while (lineEnd != std::string::npos && lineEnd + 2 < head.size()) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string header = head.substr(start, lineEnd - start);
        const auto colon = header.find(':');
        if (colon == std::string::npos) continue;
        std::string value = header.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        request.headers.emplace_back(header.substr(0, colon), value);
    }
    return true;
}

}  // namespace

std::string HttpRequestSeen::Header(const std::string& name) const {
    const std::string wanted = Lower(name);
    for (const auto& [key, value] : headers)
        if (Lower(key) == wanted) return value;
    return {};
}

HttpAnswer HttpAnswer::Text(std::string body, int status) {
    HttpAnswer a;
    a.status = status;
    a.body = std::move(body);
    a.headers.emplace_back("Content-Type", "text/plain");
    return a;
}

HttpAnswer HttpAnswer::Redirect(const std::string& location, int status) {
    HttpAnswer a;
    a.status = status;
    a.headers.emplace_back("Location", location);
    return a;
}

HttpAnswer HttpAnswer::Silent() {
    HttpAnswer a;
    a.silent = true;
    return a;
}

LocalHttpServer::LocalHttpServer(Handler handler, int port) : handler_(std::move(handler)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0 || ::pipe2(wakeFds_, O_CLOEXEC) != 0)
        throw std::runtime_error("test server: no socket");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    const int reuse = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    socklen_t len = sizeof addr;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 64) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("test server: cannot listen on 127.0.0.1");
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

LocalHttpServer::~LocalHttpServer() {
    Stop();
    if (wakeFds_[0] >= 0) ::close(wakeFds_[0]);
    if (wakeFds_[1] >= 0) ::close(wakeFds_[1]);
}

std::string LocalHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<HttpRequestSeen> LocalHttpServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t LocalHttpServer::RequestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

void LocalHttpServer::Stop() {
    if (stopped_.exchange(true)) return;
    // The byte is never read: every poll of the server sees it from now on.
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFds_[1], &byte, 1);
    if (acceptThread_.joinable()) acceptThread_.join();
    ::close(listenFd_);
    listenFd_ = -1;
    for (auto& worker : workers_) worker.join();
    workers_.clear();
}

void LocalHttpServer::AcceptLoop() {
    for (;;) {
        if (!WaitFor(listenFd_, POLLIN, wakeFds_[0])) return;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        workers_.emplace_back([this, fd] {
            Serve(fd);
            ::close(fd);
        });
    }
}

void LocalHttpServer::Serve(int fd) {
    const int wake = wakeFds_[0];
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (head.size() > kMaxRequestHead || !WaitFor(fd, POLLIN, wake)) return;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    HttpRequestSeen request;
    if (!ParseRequest(head.substr(0, head.find("\r\n\r\n") + 2), request)) return;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    const HttpAnswer answer = handler_(request);
    if (answer.silent) {
        // Until the server stops or the client gives up.
        while (WaitFor(fd, POLLIN, wake)) {
            if (::recv(fd, buffer, sizeof buffer, 0) <= 0) return;
        }
        return;
    }
    std::string out = "HTTP/1.1 " + std::to_string(answer.status) + " Answer\r\n";
    out += "Content-Length: " + std::to_string(answer.body.size() + answer.streamBytes) + "\r\n";
    out += "Connection: close\r\n";
    for (const auto& [key, value] : answer.headers) out += key + ": " + value + "\r\n";
    out += "\r\n";
    const bool headOnly = request.method == "HEAD";
    if (!headOnly) out += answer.body;
    if (!SendAll(fd, out.data(), out.size(), wake) || headOnly) return;
    const std::string chunk(64 * 1024, 'x');
    for (std::size_t left = answer.streamBytes; left > 0;) {
        const std::size_t n = std::min(left, chunk.size());
        if (!SendAll(fd, chunk.data(), n, wake)) return;
        left -= n;
    }
    ::shutdown(fd, SHUT_WR);
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    if (value)
        ::setenv(name_.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        ::setenv(name_.c_str(), old_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

NoProxyEnvironment::NoProxyEnvironment() {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "no_proxy", "NO_PROXY"})
        vars_.push_back(std::make_unique<ScopedEnv>(name, std::nullopt));
}

}  // namespace trivexa::test
