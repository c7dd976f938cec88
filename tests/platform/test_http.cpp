// HTTP requests of the online services against a real server on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/http.h"
#include "support/local_http_server.h"

namespace trivexa::platform {
namespace {

using test::HttpAnswer;
using test::HttpRequestSeen;
using test::LocalHttpServer;
using namespace std::chrono_literals;

HttpOptions ShortOptions() {
    HttpOptions o;
    o.connectTimeout = 2s;
    o.totalTimeout = 5s;
    o.maxBodyBytes = 64 * 1024;
    o.maxRedirects = 3;
    return o;
}

struct Fetched {
    HttpResult result;
    std::string body;
    int pieces = 0;
};

Fetched Get(HttpClient& client, const std::string& url,
            const HttpOptions& options = ShortOptions()) {
    Fetched f;
    f.result = client.Get(url, options, [&f](std::string_view bytes) {
        f.body.append(bytes);
        ++f.pieces;
        return true;
    });
    return f;
}

class HttpClientTest : public ::testing::Test {
protected:
    test::NoProxyEnvironment noProxy_;
    HttpClient client_;
};

TEST_F(HttpClientTest, GetSendsItsHeadersAndDeliversTheBody) {
    LocalHttpServer server([](const HttpRequestSeen&) { return HttpAnswer::Text("VER:1.2.3.4"); });
    HttpOptions options = ShortOptions();
    options.userAgent = "Trivexa/test";
    const Fetched f = Get(client_, server.Url("/v.txt"), options);
    ASSERT_TRUE(f.result.Ok()) << f.result.detail;
    EXPECT_EQ(f.result.status, 200);
    EXPECT_EQ(f.body, "VER:1.2.3.4");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/v.txt");
    EXPECT_EQ(requests[0].Header("Accept"), "*/*");
    EXPECT_EQ(requests[0].Header("Cache-Control"), "no-cache");
    EXPECT_EQ(requests[0].Header("User-Agent"), "Trivexa/test");
    EXPECT_EQ(requests[0].Header("Accept-Encoding"), "") << "bodies are never decompressed";
}

TEST_F(HttpClientTest, AnswersOtherThanSuccessFailWithTheirStatusAndUnreadBody) {
    LocalHttpServer server([](const HttpRequestSeen& r) {
        if (r.target == "/missing") return HttpAnswer::Text("<html>not found</html>", 404);
        if (r.method == "HEAD" && r.target == "/no-head") return HttpAnswer::Text("", 405);
        return HttpAnswer::Text("fine");
    });
    const Fetched missing = Get(client_, server.Url("/missing"));
    EXPECT_EQ(missing.result.code, HttpCode::kHttpStatus);
    EXPECT_EQ(missing.result.status, 404);
    EXPECT_EQ(missing.pieces, 0) << "an error page never reaches the receiver";

    const HttpResult head = client_.Head(server.Url("/no-head"), ShortOptions());
    EXPECT_EQ(head.code, HttpCode::kHttpStatus);
    EXPECT_EQ(head.status, 405);
    const HttpResult ok = client_.Head(server.Url("/page"), ShortOptions());
    EXPECT_TRUE(ok.Ok());
    EXPECT_EQ(ok.status, 200);
    EXPECT_EQ(server.Requests().back().method, "HEAD");
}

TEST_F(HttpClientTest, HugeBodyIsCutAtTheCapAndAReceiverMayStopEarly) {
    LocalHttpServer server([](const HttpRequestSeen&) {
        HttpAnswer a = HttpAnswer::Text("VER:");
        a.streamBytes = 10 * 1024 * 1024;
        return a;
    });
    const Fetched huge = Get(client_, server.Url("/big"));
    EXPECT_EQ(huge.result.code, HttpCode::kTooLarge);
    EXPECT_LE(huge.body.size(), ShortOptions().maxBodyBytes);

    std::string firstPiece;
    const HttpResult stopped =
        client_.Get(server.Url("/big"), ShortOptions(), [&](std::string_view bytes) {
            firstPiece = bytes;
            return false;
        });
    EXPECT_TRUE(stopped.Ok()) << "a receiver that has enough ends the request successfully";
    EXPECT_TRUE(firstPiece.starts_with("VER:"));
}

TEST_F(HttpClientTest, RedirectsAreFollowedAFewTimesAndOnlyToWebAddresses) {
    LocalHttpServer server([](const HttpRequestSeen& r) {
        if (r.target == "/old") return HttpAnswer::Redirect("/new", 301);
        if (r.target == "/new") return HttpAnswer::Text("moved here");
        if (r.target == "/loop") return HttpAnswer::Redirect("/loop");
        if (r.target == "/local") return HttpAnswer::Redirect("file:///etc/passwd");
        return HttpAnswer::Text("?", 404);
    });
    const Fetched moved = Get(client_, server.Url("/old"));
    EXPECT_TRUE(moved.result.Ok());
    EXPECT_EQ(moved.body, "moved here");

    const Fetched loop = Get(client_, server.Url("/loop"));
    EXPECT_EQ(loop.result.code, HttpCode::kTooManyRedirects);
    EXPECT_EQ(server.RequestCount(), 2u + 4u) << "the first request and three redirects";

    const Fetched local = Get(client_, server.Url("/local"));
    EXPECT_FALSE(local.result.Ok());
    EXPECT_EQ(local.body, "");
    EXPECT_EQ(Get(client_, "file:///etc/passwd").result.code, HttpCode::kBadAddress);
    EXPECT_EQ(Get(client_, "not an address").result.code, HttpCode::kBadAddress);
}

TEST_F(HttpClientTest, ServerThatNeverAnswersTimesOut) {
    LocalHttpServer server([](const HttpRequestSeen&) { return HttpAnswer::Silent(); });
    HttpOptions options = ShortOptions();
    options.totalTimeout = 300ms;
    EXPECT_EQ(Get(client_, server.Url("/"), options).result.code, HttpCode::kTimedOut);
}

TEST_F(HttpClientTest, AbortEndsARunningRequestAtOnceAndEveryLaterOne) {
    LocalHttpServer server([](const HttpRequestSeen&) { return HttpAnswer::Silent(); });
    HttpOptions options = ShortOptions();
    options.totalTimeout = 120s;  // far longer than the test may take

    auto running =
        std::async(std::launch::async, [&] { return Get(client_, server.Url("/"), options); });
    while (server.RequestCount() == 0) std::this_thread::sleep_for(5ms);
    const auto start = std::chrono::steady_clock::now();
    client_.Abort();
    ASSERT_EQ(running.wait_for(10s), std::future_status::ready);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(running.get().result.code, HttpCode::kAborted);

    EXPECT_EQ(Get(client_, server.Url("/"), options).result.code, HttpCode::kAborted);
    EXPECT_EQ(server.ConnectionCount(), 1u) << "an aborted client makes no new connection";
}

TEST_F(HttpClientTest, ProxyComesFromTheEnvironment) {
    LocalHttpServer proxy([](const HttpRequestSeen&) { return HttpAnswer::Text("VER:via proxy"); });
    LocalHttpServer direct([](const HttpRequestSeen&) { return HttpAnswer::Text("VER:direct"); });
    test::ScopedEnv httpProxy("http_proxy", proxy.Url());

    const Fetched viaProxy = Get(client_, "http://updates.trivexa.invalid/v.txt");
    ASSERT_TRUE(viaProxy.result.Ok()) << viaProxy.result.detail;
    EXPECT_EQ(viaProxy.body, "VER:via proxy");
    ASSERT_EQ(proxy.RequestCount(), 1u);
    EXPECT_EQ(proxy.Requests()[0].target, "http://updates.trivexa.invalid/v.txt");
    EXPECT_EQ(proxy.Requests()[0].Header("Host"), "updates.trivexa.invalid");

    // no_proxy names the hosts reached without it.
    test::ScopedEnv noProxy("no_proxy", "127.0.0.1");
    EXPECT_EQ(Get(client_, direct.Url("/v.txt")).body, "VER:direct");
    EXPECT_EQ(proxy.RequestCount(), 1u);
}

TEST_F(HttpClientTest, ClosedPortIsUnreachable) {
    std::string url;
    {
        LocalHttpServer gone([](const HttpRequestSeen&) { return HttpAnswer::Text(""); });
        url = gone.Url("/");
    }
    EXPECT_EQ(Get(client_, url).result.code, HttpCode::kUnreachable);
}

}  // namespace
}  // namespace trivexa::platform
