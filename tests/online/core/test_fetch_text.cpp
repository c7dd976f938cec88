// Reading version files: the piece rules on given bytes, then whole fetches
// from a server on 127.0.0.1 that answers well and badly.
#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "online/core/fetch_text.h"
#include "platform/locale.h"
#include "support/local_http_server.h"

namespace trivexa::online {
namespace {

using test::HttpAnswer;
using test::HttpRequestSeen;
using test::LocalHttpServer;
using namespace std::chrono_literals;

// The result of reading `body` delivered in chunks of `chunk` bytes, and the
// number of bytes taken before the reader wanted no more.
struct Read {
    std::optional<std::string> text;  // nullopt: the fetch failed
    std::size_t taken = 0;
};

Read ReadBody(FetchMode mode, const std::string& body, std::size_t chunk = 4096) {
    FetchedTextReader reader(mode, [](std::string_view b) { return std::string(b); });
    Read r;
    for (std::size_t at = 0; at < body.size(); at += chunk) {
        const std::string_view part = std::string_view(body).substr(at, chunk);
        r.taken += part.size();
        if (!reader.Feed(part)) break;
    }
    std::string text = "stale";
    if (reader.Finish(text)) r.text = text;
    return r;
}

TEST(FetchedTextReader, VersionModeReadsTheFirstPieceOnly) {
    const std::string pad1020(1020, '-');
    const std::string japanese259 = [] {
        std::string s;
        for (int i = 0; i < 259; ++i) s += "版";
        return s;
    }();
    struct Case {
        const char* what;
        std::string body;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"plain", "VER:1.2.3.4", "1.2.3.4"},
        {"text before the marker and a line break after", "Version file\r\nVER:1.3.0.0\r\n",
         "1.3.0.0\r\n"},
        {"no marker", "1.2.3.4", std::nullopt},
        {"an empty file succeeds empty", "", ""},
        {"the marker alone", "VER:", ""},
        {"marker only in the second piece", std::string(1024, ' ') + "VER:1.0", std::nullopt},
        {"marker cut by the piece boundary", std::string(1022, '-') + "VER:1.0", std::nullopt},
        {"marker ending the first piece", pad1020 + "VER:" + "1.0", ""},
        {"259 characters", "VER:" + std::string(259, '9'), std::string(259, '9')},
        {"260 characters fail", "VER:" + std::string(260, '9'), std::nullopt},
        {"259 characters of three bytes", "VER:" + japanese259, japanese259},
        {"a zero byte ends the text", std::string("VER:1.2\0VER:9.9", 15), "1.2"},
        {"a zero byte before the marker", std::string("\0VER:1.2", 8), std::nullopt},
    };
    for (const Case& c : cases) {
        for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{16384}}) {
            const Read r = ReadBody(FetchMode::kVersion, c.body, chunk);
            EXPECT_EQ(r.text, c.expected) << c.what << ", chunks of " << chunk;
            EXPECT_LT(r.taken, kFetchPieceBytes + chunk)
                << c.what << ": reading stops after the first piece";
        }
    }
}

TEST(FetchedTextReader, TextModeKeepsTheLastPiece) {
    const std::string first(1024, 'a');
    EXPECT_EQ(ReadBody(FetchMode::kText, "230715").text, "230715");
    EXPECT_EQ(ReadBody(FetchMode::kText, "230715\r\n").text, "230715\r\n");
    EXPECT_EQ(ReadBody(FetchMode::kText, "").text, "");
    EXPECT_EQ(ReadBody(FetchMode::kText, first).text, first);
    EXPECT_EQ(ReadBody(FetchMode::kText, first + "tail", 5).text, "tail");
    EXPECT_EQ(ReadBody(FetchMode::kText, first + first + "x").text, "x");
    EXPECT_EQ(ReadBody(FetchMode::kText, std::string("24\0"
                                                     "0101",
                                                     7))
                  .text,
              "24");
}

TEST(FetchedTextReader, EachPieceIsConvertedOnItsOwn) {
    // EUC-JP text; the converter sees whole pieces, so a character cut by the
    // piece boundary becomes a replacement character, never a crash.
    FetchedTextReader reader(
        FetchMode::kText, [](std::string_view b) { return platform::DecodeToUtf8(b, "EUC-JP"); });
    const std::string body = std::string(1023, 'a') + "\xC6\xFC\xCB\xDC";  // "日本"
    reader.Feed(body);
    std::string text;
    ASSERT_TRUE(reader.Finish(text));
    EXPECT_EQ(text, "\xEF\xBF\xBD本");
}

class FetchTextTest : public ::testing::Test {
protected:
    static platform::HttpOptions Options() {
        platform::HttpOptions o = UpdateFetchOptions();
        o.connectTimeout = 2s;
        o.totalTimeout = 3s;
        return o;
    }
    std::optional<std::string> Fetch(const std::string& url, FetchMode mode) {
        std::string text;
        if (!FetchText(client_, url, mode, text, Options())) return std::nullopt;
        return text;
    }
    test::NoProxyEnvironment noProxy_;
    test::ScopedEnv utf8_{"LC_ALL", "C.UTF-8"};
    platform::HttpClient client_;
};

TEST_F(FetchTextTest, ServerAnswersWellAndBadly) {
    std::string binary(4096, '\0');
    std::mt19937 random(7);
    for (char& c : binary) c = static_cast<char>(random());
    binary.replace(0, 5, "VER:\xFF");

    LocalHttpServer server([&binary](const HttpRequestSeen& r) {
        if (r.target == "/v.txt") return HttpAnswer::Text("VER:1.3.0.0\r\n");
        if (r.target == "/gps.txt") return HttpAnswer::Text("230715");
        if (r.target == "/binary") return HttpAnswer::Text(binary);
        if (r.target == "/sjis") return HttpAnswer::Text("VER:\x93\xFA\x96\x7B");
        if (r.target == "/huge") {
            HttpAnswer a = HttpAnswer::Text("230715");
            a.streamBytes = 10 * 1024 * 1024;
            return a;
        }
        return HttpAnswer::Text("<html>404</html>", 404);
    });
    EXPECT_EQ(Fetch(server.Url("/v.txt"), FetchMode::kVersion), "1.3.0.0\r\n");
    EXPECT_EQ(Fetch(server.Url("/gps.txt"), FetchMode::kText), "230715");
    EXPECT_EQ(Fetch(server.Url("/missing"), FetchMode::kText), std::nullopt)
        << "an error page is no GPS version";
    EXPECT_EQ(Fetch(server.Url("/missing"), FetchMode::kVersion), std::nullopt);

    // Binary bytes: valid UTF-8 text up to the first zero byte, or a failure.
    const auto fromBinary = Fetch(server.Url("/binary"), FetchMode::kVersion);
    ASSERT_TRUE(fromBinary.has_value());
    EXPECT_TRUE(fromBinary->starts_with("\xEF\xBF\xBD"));
    EXPECT_EQ(platform::DecodeToUtf8(*fromBinary, "UTF-8"), *fromBinary);
    // Text in another encoding than the locale's arrives replaced, not raw.
    EXPECT_EQ(Fetch(server.Url("/sjis"), FetchMode::kVersion),
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\x7B");

    // A version file of 10 MB: text mode gives up at the byte cap; version
    // mode reads one piece, which holds no marker.
    EXPECT_EQ(Fetch(server.Url("/huge"), FetchMode::kText), std::nullopt);
    EXPECT_EQ(Fetch(server.Url("/huge"), FetchMode::kVersion), std::nullopt);
}

}  // namespace
}  // namespace trivexa::online
