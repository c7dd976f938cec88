// The update check's decisions and its notice text, with the server's files
// given as a table.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <vector>

#include "app/core/settings_file.h"
#include "app/core/ui_strings.h"
#include "online/core/update_check.h"
#include "online/core/update_settings.h"
#include "support/test_support.h"

namespace trivexa::online {
namespace {

TEST(VersionForms, FirmwareFormCutsAtTheThirdDot) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1.2.3.4", "1.2.3"},   {"1.3.0.0\r\n", "1.3.0"},
        {"1.2.3", "1.2.3"},     {"", ""},
        {"1.2.3.", "1.2.3"},    {"...", ".."},
        {"12", "12"},           {"1.2\r\n", "1.2\r\n"},
        {"a.b.c.d.e", "a.b.c"},
    };
    for (const auto& [text, form] : cases) EXPECT_EQ(FirmwareForm(text), form) << text;
}

TEST(VersionForms, GpsFormSeparatesDayMonthYear) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"230715", "23/07/15"},
        {"230715\r\n", "23/07/15\r\n/"},
        {"230715\n", "23/07/15\n"},
        {"", ""},
        {"2", "2"},
        {"23", "23/"},
        {"2307", "23/07/"},
        {"12345678", "12/34/5678/"},
        {"0001２３", "00/01/２３"},
    };
    for (const auto& [text, form] : cases) EXPECT_EQ(GpsForm(text), form) << text;
}

// A server given as the table of its files: path -> content, nullopt for a
// fetch that fails. Records the paths asked for.
struct FakeServer {
    UpdateEndpoints endpoints = DefaultUpdateEndpoints();
    std::map<std::string, std::optional<std::string>> files;
    std::vector<std::string> asked;

    FetchFunction Fetch() {
        return [this](const std::string& url, FetchMode, std::string& text) {
            const std::string path = url.substr(endpoints.server.size());
            asked.push_back(path);
            const auto it = files.find(path);
            if (it == files.end() || !it->second) return false;
            text = *it->second;
            return true;
        };
    }
};

struct Reported {
    UpdateItem item;
    std::string current;
    std::string latest;
    bool operator==(const Reported&) const = default;
};

std::vector<Reported> Items(const UpdateNotice& notice) {
    std::vector<Reported> out;
    for (const auto& b : notice) out.push_back({b.item, b.currentVersion, b.newVersion});
    return out;
}

void PrintTo(const Reported& r, std::ostream* os) {
    *os << static_cast<int>(r.item) << ":" << ::testing::PrintToString(r.current) << "->"
        << ::testing::PrintToString(r.latest);
}

const UpdateEndpoints kDefaults = DefaultUpdateEndpoints();
const std::string kPl21File = kDefaults.firmware[0].versionFile;
const std::string kPl35File = kDefaults.firmware[1].versionFile;
const std::string kViewerFile = kDefaults.viewer.versionFile;
const std::string kGpsFile = kDefaults.gpsData.versionFile;

TEST(UpdateCheck, ComparesFirmwareViewerAndGpsDataAsTheRecorderAndViewerKnowThem) {
    struct Case {
        const char* what;
        DeviceVersions device;
        std::map<std::string, std::optional<std::string>> files;
        std::vector<Reported> expected;
    };
    const DeviceVersions pl21{"1.2.3", "230715", "", "PL21-XQR"};
    const std::vector<Case> cases = {
        {"same firmware, longer server text", pl21, {{kPl21File, "1.2.3.4"}}, {}},
        {"newer firmware; its line break lies after the third dot",
         pl21,
         {{kPl21File, "1.3.0.0\r\n"}, {kGpsFile, "230715"}},
         {{UpdateItem::kFirmware, "1.2.3.0", "1.3.0.0"}}},
        {"PL35 reads its own file",
         {"1.2.3", "", "", "PL35-XQR"},
         {{kPl21File, "9.9.9.9"}, {kPl35File, "2.0.0.0"}},
         {{UpdateItem::kFirmware, "1.2.3.0", "2.0.0.0"}}},
        {"a version without dots is compared whole",
         {"1.2.3", "", "", "PL21-XQR"},
         {{kPl21File, "beta"}},
         {{UpdateItem::kFirmware, "1.2.3.0", "beta.0"}}},
        {"another model skips the firmware",
         {"1.2.3", "", "", "PL99-XQR"},
         {{kPl21File, "9.9.9.9"}},
         {}},
        {"viewer with a line break differs",
         {},
         {{kViewerFile, "2.0.2.0\r\n"}},
         {{UpdateItem::kViewer, "2.0.2.0", "2.0.2.0\r\n"}}},
        {"same viewer", {}, {{kViewerFile, "2.0.2.0"}}, {}},
        {"no card: only the viewer",
         {},
         {{kPl21File, "9.9.9.9"}, {kViewerFile, "2.1.0.0"}, {kGpsFile, "991231"}},
         {{UpdateItem::kViewer, "2.0.2.0", "2.1.0.0"}}},
        {"card without firmware text: firmware not compared",
         {"", "", "", "PL21-XQR"},
         {{kPl21File, "9.9.9.9"}},
         {}},
        {"same GPS data", pl21, {{kGpsFile, "230715"}}, {}},
        {"GPS text compared untrimmed",
         pl21,
         {{kGpsFile, "230715\r\n"}},
         {{UpdateItem::kGpsData, "23/07/15", "23/07/15\r\n/"}}},
        {"a failed GPS fetch suppresses everything",
         pl21,
         {{kPl21File, "1.3.0.0"}, {kViewerFile, "2.1.0.0"}, {kGpsFile, std::nullopt}},
         {}},
        {"empty answers announce nothing",
         pl21,
         {{kPl21File, ""}, {kViewerFile, "\r\n"}, {kGpsFile, ""}},
         {}},
        {"all three, in notice order",
         pl21,
         {{kGpsFile, "240101"}, {kViewerFile, "2.1.0.0"}, {kPl21File, "1.3.0.0"}},
         {{UpdateItem::kFirmware, "1.2.3.0", "1.3.0.0"},
          {UpdateItem::kViewer, "2.0.2.0", "2.1.0.0"},
          {UpdateItem::kGpsData, "23/07/15", "24/01/01"}}},
    };
    for (const Case& c : cases) {
        FakeServer server;
        server.files = c.files;
        EXPECT_EQ(Items(CheckForUpdates(c.device, server.endpoints, server.Fetch())), c.expected)
            << c.what;
    }
}

TEST(UpdateCheck, AsksOnlyForTheFilesItCompares) {
    FakeServer server;
    CheckForUpdates({"1.2.3", "", "", "PL99-XQR"}, server.endpoints, server.Fetch());
    EXPECT_EQ(server.asked, std::vector<std::string>{kViewerFile});

    server.asked.clear();
    const UpdateNotice notice =
        CheckForUpdates({"1.2.3", "230715", "", "PL35-XQR"}, server.endpoints, server.Fetch());
    EXPECT_EQ(server.asked, (std::vector<std::string>{kPl35File, kViewerFile, kGpsFile}));
    EXPECT_TRUE(notice.empty()) << "nothing fetched, nothing to report";
}

// The notice as the printf formats of one, two and three blocks write it.
std::string Formatted(const UpdateNotice& n) {
    const char* one = "%s\r\n\r\n%s:\r\n%s%s   →   %s%s\r\n\r\nURL : <a href=\"%s\">%s</a>";
    const char* more = "\r\n\r\n\r\n%s:\r\n%s%s   →   %s%s\r\n\r\nURL : <a href=\"%s\">%s</a>";
    std::vector<char> buffer(64 * 1024);
    auto block = [&](const char* format, const UpdateBlock& b, const char* lead) {
        std::snprintf(buffer.data(), buffer.size(), format, lead, UpdateItemName(b.item).c_str(),
                      UiString(107), b.currentVersion.c_str(), UiString(109), b.newVersion.c_str(),
                      b.pageUrl.c_str(), b.pageUrl.c_str());
        return std::string(buffer.data());
    };
    std::string text = block(one, n[0], UiString(105));
    for (std::size_t i = 1; i < n.size(); ++i) {
        std::snprintf(buffer.data(), buffer.size(), more, UpdateItemName(n[i].item).c_str(),
                      UiString(107), n[i].currentVersion.c_str(), UiString(109),
                      n[i].newVersion.c_str(), n[i].pageUrl.c_str(), n[i].pageUrl.c_str());
        text += buffer.data();
    }
    if (n.size() > 1) text += "\r\n";
    return text;
}

TEST(UpdateMessage, OneTwoAndThreeBlocksInTheirFormats) {
    const UpdateBlock firmware{UpdateItem::kFirmware, "1.2.3.0", "1.3.0.0", "http://h/fw.html"};
    const UpdateBlock viewer{UpdateItem::kViewer, "2.0.2.0", "2.1.0.0", "http://h/viewer.html"};
    const UpdateBlock gps{UpdateItem::kGpsData, "23/07/15", "24/01/01", "http://h/gps.html"};
    EXPECT_EQ(UpdateMessageText({}), "");
    for (const UpdateNotice& notice :
         {UpdateNotice{viewer}, UpdateNotice{firmware, gps}, UpdateNotice{firmware, viewer, gps}}) {
        EXPECT_EQ(UpdateMessageText(notice), Formatted(notice)) << notice.size() << " blocks";
    }
    const std::string one = UpdateMessageText({viewer});
    EXPECT_TRUE(one.starts_with(std::string(UiString(105)) + "\r\n\r\n" + UiString(110) + ":\r\n"));
    EXPECT_TRUE(one.ends_with("URL : <a href=\"http://h/viewer.html\">http://h/viewer.html</a>"));
}

TEST(UpdateMessage, ServerTextStaysTextAndTheLengthIsCapped) {
    // Markup from the server is kept verbatim: escaping belongs to the display.
    const UpdateBlock markup{UpdateItem::kViewer, "2.0.2.0", "<a href=\"http://evil\">x</a>%s%n",
                             "http://h/viewer.html"};
    EXPECT_NE(UpdateMessageText({markup}).find("<a href=\"http://evil\">x</a>%s%n"),
              std::string::npos);

    // Three blocks of the longest versions and long page addresses: cut to
    // 1300 characters, never inside a character.
    std::string longVersion;
    for (int i = 0; i < 259; ++i) longVersion += "版";
    const UpdateBlock big{UpdateItem::kViewer, "2.0.2.0", longVersion,
                          "http://h/" + std::string(200, 'p') + ".html"};
    const std::string text = UpdateMessageText({big, big, big});
    EXPECT_EQ(Utf8Length(text), kUpdateMessageMaxChars);
    EXPECT_TRUE(Formatted({big, big, big}).starts_with(text));
    EXPECT_EQ(Utf8Length(UpdateMessageText({big})), Utf8Length(Formatted({big})))
        << "a short notice is not cut";
}

class UpdateSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { SetSettingsDirectory(dir.path().string()); }
    void TearDown() override { SetSettingsDirectory(""); }
    test::TempDir dir;
};

TEST_F(UpdateSettingsTest, EndpointsComeFromTheSettingsFileWithDefaults) {
    namespace s = update_settings;
    const UpdateEndpoints defaults = DefaultUpdateEndpoints();
    const UpdateEndpoints none = ReadUpdateEndpoints();
    EXPECT_EQ(none.server, "http://update.trivexa.example");
    EXPECT_EQ(none.Url(none.viewer.versionFile),
              "http://update.trivexa.example/0_recorder/viewer/Trivexa/Trivexa_version.txt");
    EXPECT_TRUE(ReadUpdateCheckEnabled());

    ASSERT_TRUE(WriteSetting(s::kSection, s::kServer, "https://updates.example.org:8443/"));
    ASSERT_TRUE(WriteSetting(s::kSection, s::kViewerVersion, "viewer/latest.txt"));
    ASSERT_TRUE(WriteSetting(s::kSection, s::kGpsPage, "/gps.html"));
    ASSERT_TRUE(WriteSetting(s::kSection, s::kCheck, "OFF"));
    const UpdateEndpoints set = ReadUpdateEndpoints();
    EXPECT_EQ(set.server, "https://updates.example.org:8443");
    EXPECT_EQ(set.viewer.versionFile, "/viewer/latest.txt");
    EXPECT_EQ(set.gpsData.downloadPage, "/gps.html");
    EXPECT_EQ(set.viewer.downloadPage, defaults.viewer.downloadPage);
    EXPECT_EQ(set.firmware[1].versionFile, defaults.firmware[1].versionFile);
    EXPECT_FALSE(ReadUpdateCheckEnabled());

    for (const char* bad : {"file:///etc", "ftp://host", "http://", "http://host/path", "host",
                            "http://a b", "javascript:alert(1)"}) {
        ASSERT_TRUE(WriteSetting(s::kSection, s::kServer, bad));
        EXPECT_EQ(ReadUpdateEndpoints().server, defaults.server) << bad;
    }
    EXPECT_EQ(NormalizedServerAddress("  HTTP://Host:80// "), "HTTP://Host:80");
}

}  // namespace
}  // namespace trivexa::online
