// CInetConnectionAsync against servers on 127.0.0.1: the notice it posts, the
// reachability flag it keeps, and its shutdown while servers stay silent.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "app/messages/posted_message.h"
#include "online/core/fetch_text.h"
#include "online/inet_connection_async.h"
#include "support/local_http_server.h"

namespace trivexa {
namespace {

using test::HttpAnswer;
using test::HttpRequestSeen;
using test::LocalHttpServer;
using namespace std::chrono_literals;

// Counts the posted messages it receives.
class Receiver : public QObject {
public:
    int updates = 0;
    bool event(QEvent* e) override {
        if (const PostedMessageEvent* m = AsPostedMessage(e)) {
            if (m->message() == UM_UPDATE_AVAILABLE) ++updates;
            return true;
        }
        return QObject::event(e);
    }
};

// Processes events until `done` holds or `limit` passes.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(5ms);
    }
    QCoreApplication::processEvents();
    return true;
}

CInetConnectionAsync::Options TestOptions(const std::string& server) {
    CInetConnectionAsync::Options o;
    o.endpoints = online::DefaultUpdateEndpoints();
    o.endpoints.server = server;
    o.fetchOptions = online::UpdateFetchOptions();
    o.fetchOptions.connectTimeout = 2s;
    o.fetchOptions.totalTimeout = 3s;
    o.probeOptions.connectTimeout = 1s;
    o.probeOptions.totalTimeout = 1s;
    o.probeOptions.maxBodyBytes = 0;
    o.reachabilityInterval = 100ms;
    return o;
}

// An update server from a table of paths; other paths answer 404.
HttpAnswer Serve(const std::map<std::string, std::string>& files, const HttpRequestSeen& r) {
    std::string path = r.target;
    if (path.starts_with("http://")) path = path.substr(path.find('/', 7));
    const auto it = files.find(path);
    return it == files.end() ? HttpAnswer::Text("not here", 404) : HttpAnswer::Text(it->second);
}

const online::UpdateEndpoints kPaths = online::DefaultUpdateEndpoints();

class InetConnectionTest : public ::testing::Test {
protected:
    test::NoProxyEnvironment noProxy_;
    test::ScopedEnv utf8_{"LC_ALL", "C.UTF-8"};
    Receiver receiver_;
};

TEST_F(InetConnectionTest, PostsOneNoticeWithTheNewerVersionsOnce) {
    const std::map<std::string, std::string> files = {
        {kPaths.firmware[0].versionFile, "VER:1.3.0.0\r\n"},
        {kPaths.viewer.versionFile, "VER:2.0.2.0"},
        {kPaths.gpsData.versionFile, "240101"},
    };
    LocalHttpServer server([&](const HttpRequestSeen& r) { return Serve(files, r); });
    CInetConnectionAsync connection(&receiver_, TestOptions(server.Url()));
    EXPECT_TRUE(connection.StartUpdateCheck("1.2.3", "230715", "", "PL21-XQR"));
    EXPECT_FALSE(connection.StartUpdateCheck("1.0.0", "", "", "PL35-XQR"));
    ASSERT_TRUE(WaitUntil([&] { return connection.UpdateCheckDone(); }));
    ASSERT_TRUE(WaitUntil([&] { return receiver_.updates > 0; }));
    EXPECT_EQ(receiver_.updates, 1);
    EXPECT_EQ(server.RequestCount(), 3u) << "one check, three files";

    const online::UpdateNotice notice = connection.Notice();
    ASSERT_EQ(notice.size(), 2u);
    EXPECT_EQ(notice[0].item, online::UpdateItem::kFirmware);
    EXPECT_EQ(notice[0].currentVersion, "1.2.3.0");
    EXPECT_EQ(notice[0].newVersion, "1.3.0.0");
    EXPECT_EQ(notice[0].pageUrl, server.Url(kPaths.firmware[0].downloadPage));
    EXPECT_EQ(notice[1].item, online::UpdateItem::kGpsData);
    EXPECT_EQ(notice[1].newVersion, "24/01/01");
    EXPECT_EQ(connection.MessageText(), online::UpdateMessageText(notice));
    for (const auto& r : server.Requests()) EXPECT_EQ(r.method, "GET");
}

TEST_F(InetConnectionTest, FailedGpsFetchMeansNoNotice) {
    const std::map<std::string, std::string> files = {
        {kPaths.firmware[1].versionFile, "VER:1.3.0.0"},
        {kPaths.viewer.versionFile, "VER:2.1.0.0"},
    };
    LocalHttpServer server([&](const HttpRequestSeen& r) { return Serve(files, r); });
    CInetConnectionAsync connection(&receiver_, TestOptions(server.Url()));
    connection.StartUpdateCheck("1.2.3", "230715", "", "PL35-XQR");
    ASSERT_TRUE(WaitUntil([&] { return connection.UpdateCheckDone(); }));
    EXPECT_EQ(server.RequestCount(), 3u);
    EXPECT_EQ(receiver_.updates, 0);
    EXPECT_EQ(connection.MessageText(), "");
}

TEST_F(InetConnectionTest, ReachesTheServerThroughTheEnvironmentsProxy) {
    // The update server's name does not exist: only the proxy can answer.
    const std::string markup = "<a href=\"http://elsewhere.invalid/\">3.0</a><script>x</script>";
    const std::map<std::string, std::string> files = {{kPaths.viewer.versionFile, "VER:" + markup}};
    LocalHttpServer proxy([&](const HttpRequestSeen& r) { return Serve(files, r); });
    test::ScopedEnv httpProxy("http_proxy", proxy.Url());
    CInetConnectionAsync connection(&receiver_, TestOptions("http://updates.trivexa.invalid"));
    connection.StartUpdateCheck("", "", "", "");
    ASSERT_TRUE(WaitUntil([&] { return receiver_.updates == 1; }));
    ASSERT_EQ(proxy.RequestCount(), 1u);
    EXPECT_EQ(proxy.Requests()[0].target,
              "http://updates.trivexa.invalid" + kPaths.viewer.versionFile);
    // The server's markup is kept as text for the notice to escape.
    ASSERT_EQ(connection.Notice().size(), 1u);
    EXPECT_EQ(connection.Notice()[0].newVersion, markup);
    EXPECT_NE(connection.MessageText().find(markup), std::string::npos);
}

TEST_F(InetConnectionTest, DestructionDoesNotWaitForSilentServers) {
    LocalHttpServer silent([](const HttpRequestSeen&) { return HttpAnswer::Silent(); });
    CInetConnectionAsync::Options options = TestOptions(silent.Url());
    options.fetchOptions.totalTimeout = 120s;
    options.fetchOptions.connectTimeout = 120s;
    options.probeOptions.totalTimeout = 120s;
    auto connection = std::make_unique<CInetConnectionAsync>(&receiver_, options);
    connection->SetReachabilityAddress(silent.Url("/tiles"));
    connection->SetEnabled(true);
    connection->StartUpdateCheck("1.2.3", "230715", "", "PL21-XQR");
    // Both workers wait on the server.
    ASSERT_TRUE(WaitUntil([&] { return silent.RequestCount() == 2; }));
    EXPECT_FALSE(connection->UpdateCheckDone());

    const auto start = std::chrono::steady_clock::now();
    connection.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    QCoreApplication::processEvents();
    EXPECT_EQ(receiver_.updates, 0);
}

TEST_F(InetConnectionTest, DestructionDoesNotWaitForAHangingNameLookup) {
    const auto* waiting =
        static_cast<volatile int*>(dlsym(RTLD_DEFAULT, "trivexa_slow_lookups_waiting"));
    if (waiting == nullptr) GTEST_SKIP() << "needs slow_name_lookup preloaded";
    CInetConnectionAsync::Options options = TestOptions("http://updates.slow-lookup.invalid");
    options.fetchOptions.connectTimeout = 120s;
    options.fetchOptions.totalTimeout = 120s;
    options.probeOptions.connectTimeout = 120s;
    options.probeOptions.totalTimeout = 120s;
    auto connection = std::make_unique<CInetConnectionAsync>(&receiver_, options);
    connection->SetReachabilityAddress("https://tiles.slow-lookup.invalid/");
    connection->SetEnabled(true);
    connection->StartUpdateCheck("", "", "", "");
    ASSERT_TRUE(WaitUntil([&] { return *waiting == 2; }));

    const auto start = std::chrono::steady_clock::now();
    connection.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST_F(InetConnectionTest, ReachabilityFollowsTheServerWhileEnabled) {
    std::atomic<int> status{200};
    LocalHttpServer tiles(
        [&](const HttpRequestSeen&) { return HttpAnswer::Text("", status.load()); });
    CInetConnectionAsync connection(nullptr, TestOptions(tiles.Url()));
    connection.SetReachabilityAddress(tiles.Url("/0/0/0.png"));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(tiles.RequestCount(), 0u) << "no test until enabled";
    EXPECT_FALSE(connection.IsReachable());

    connection.SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return connection.IsReachable(); }));
    const auto first = tiles.Requests().front();
    EXPECT_EQ(first.method, "HEAD");
    EXPECT_EQ(first.target, "/0/0/0.png");

    status = 405;  // a server refusing HEAD still answers
    const std::size_t before = tiles.RequestCount();
    ASSERT_TRUE(WaitUntil([&] { return tiles.RequestCount() >= before + 2; }));
    EXPECT_TRUE(connection.IsReachable());

    status = 503;  // what a proxy answers when it cannot reach the server
    ASSERT_TRUE(WaitUntil([&] { return !connection.IsReachable(); }));
    status = 200;
    ASSERT_TRUE(WaitUntil([&] { return connection.IsReachable(); }));
    tiles.Stop();
    ASSERT_TRUE(WaitUntil([&] { return !connection.IsReachable(); }));
}

TEST_F(InetConnectionTest, SwitchingOnTestsAtOnceAndSwitchingOffClearsTheFlag) {
    LocalHttpServer tiles([](const HttpRequestSeen&) { return HttpAnswer::Text(""); });
    CInetConnectionAsync::Options options = TestOptions(tiles.Url());
    options.reachabilityInterval = 1h;  // only a switch can cause a test
    CInetConnectionAsync connection(nullptr, options);
    connection.SetReachabilityAddress(tiles.Url("/"));
    connection.SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return connection.IsReachable(); }));
    EXPECT_EQ(tiles.RequestCount(), 1u);

    connection.SetEnabled(false);
    EXPECT_FALSE(connection.IsReachable()) << "cleared by the switch itself";
    EXPECT_FALSE(connection.IsEnabled());
    connection.SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return tiles.RequestCount() == 2u && connection.IsReachable(); }));
}

}  // namespace
}  // namespace trivexa
