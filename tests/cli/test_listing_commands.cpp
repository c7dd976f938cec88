// trivexa-cli tree and list, run as a separate program on a card on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "recordings/drive_utils.h"
#include "recordings/library_fixture.h"
#include "recordings/recording_name.h"

namespace trivexa {
namespace {

using test::Name;
using test::Rec;
using test::RunCommand;
using test::TempDir;
namespace fs = std::filesystem;

test::CommandResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), test::BuiltProgram("trivexa-cli").string());
    return RunCommand(args);
}

TEST(CliListing, TreeAndListOfACard) {
    TempDir dir;
    const fs::path card = dir / "card";
    test::WriteCardOrFail(card, {Rec(Name("A___", 1)), Rec(Name("AG__", 2)), Rec(Name("A___", 9)),
                                 Rec(Name("PG__", 30), false, true)});

    const auto tree = Cli({"tree", "--json", card.string()});
    ASSERT_EQ(tree.exitCode, 0) << tree.err;
    const auto t = nlohmann::json::parse(tree.out);
    EXPECT_EQ(t["kind"], 1);
    EXPECT_EQ(t["root"], card.string());
    const int capacityClass = CapacityClass(card.string());
    EXPECT_EQ(t["capacityClass"], capacityClass);
    EXPECT_EQ(t["groupLimit"], GroupSizeLimitForClass(capacityClass));
    ASSERT_EQ(t["nodes"].size(), 2u);
    const auto& normal = t["nodes"][0];
    EXPECT_EQ(normal["name"], "Normal");
    EXPECT_EQ(normal["path"], (card / "Normal").string());
    EXPECT_EQ(normal["flags"], kFlagContinuous | kFlagShock);
    ASSERT_EQ(normal["children"].size(), 2u);
    EXPECT_EQ(normal["children"][0]["path"], (card / "Normal/230715_0001").string());
    EXPECT_EQ(normal["children"][0]["flags"], kFlagContinuous | kFlagShock);
    // Parking holds only a rear file: the group exists, the folder has no flags.
    EXPECT_EQ(t["nodes"][1]["flags"], 0);
    EXPECT_EQ(t["nodes"][1]["children"][0]["flags"], kFlagParkingShock);

    const auto all = Cli({"list", "--json", card.string()});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    const auto entries = nlohmann::json::parse(all.out)["entries"];
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0]["frontName"], Name("A___", 1));
    EXPECT_EQ(entries[0]["shortName"], "A___-081522-000001");
    EXPECT_EQ(entries[1]["triggerText"], TriggerText(Name("AG__", 2)));
    EXPECT_EQ(entries[3]["frontPath"], "");
    EXPECT_EQ(entries[3]["parking"], 1);
    EXPECT_EQ(entries[0]["frontExpectedSize"].get<std::int64_t>(),
              static_cast<std::int64_t>(fs::file_size(card / "Normal/Front" / Name("A___", 1))));

    const auto group =
        Cli({"list", "--json", "--node", (card / "Normal/230715_0002").string(), card.string()});
    ASSERT_EQ(group.exitCode, 0) << group.err;
    const auto g = nlohmann::json::parse(group.out)["entries"];
    ASSERT_EQ(g.size(), 1u);
    EXPECT_EQ(g[0]["frontName"], Name("A___", 9));
    EXPECT_EQ(g[0]["serial"], 0);

    // Plain text output works too.
    EXPECT_EQ(Cli({"tree", card.string()}).exitCode, 0);
    EXPECT_EQ(Cli({"list", "--kind", "folder", (card / "Normal").string()}).exitCode, 0);
}

TEST(CliListing, UsageAndUnreadableSources) {
    TempDir dir;
    EXPECT_EQ(Cli({"tree"}).exitCode, 2);
    EXPECT_EQ(Cli({"tree", "--kind", "tape", dir.path().string()}).exitCode, 2);
    EXPECT_EQ(Cli({"list", "--bogus", dir.path().string()}).exitCode, 2);
    const auto missing = Cli({"list", "--json", (dir / "gone").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos);
    EXPECT_TRUE(missing.out.empty());
    EXPECT_EQ(Cli({"list", "--node", "/no/such/node", dir.path().string()}).exitCode, 1);
    test::Touch(dir / "empty.AVI", 0);
    EXPECT_EQ(Cli({"list", (dir / "empty.AVI").string()}).exitCode, 1);
    // An empty folder is a valid, empty source.
    const auto empty = Cli({"list", "--json", (dir / "gone").parent_path().string()});
    EXPECT_EQ(empty.exitCode, 0);
    // Names that are not valid UTF-8 still give a JSON document.
    const fs::path odd = dir / "trip\xFF\xFE";
    test::Touch(odd / Name("A___", 3, "230715", 'R'), 1);
    const auto listed = Cli({"list", "--json", odd.string()});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const auto j = nlohmann::json::parse(listed.out);
    ASSERT_EQ(j["entries"].size(), 1u);
    EXPECT_EQ(j["entries"][0]["rearName"], Name("A___", 3, "230715", 'R'));
    EXPECT_EQ(Cli({"tree", "--json", dir.path().string()}).exitCode, 0);
}

// A card whose Rear folder cannot be read, listed by a user without the right
// to read it (the superuser reads everything, so the test drops to nobody).
TEST(CliListing, UnreadableFolderOnACard) {
    std::vector<std::string> prefix;
    if (geteuid() == 0) {
        if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "setpriv is needed to drop privileges";
        prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    TempDir dir;
    const fs::path card = dir / "card";
    test::WriteCardOrFail(card, {Rec(Name("A___", 1)), Rec(Name("A___", 2))});
    ASSERT_EQ(chmod((card / "Normal/Rear").c_str(), 0), 0);
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), test::BuiltProgram("trivexa-cli").string());
        args.insert(args.begin(), prefix.begin(), prefix.end());
        return RunCommand(args);
    };

    const auto tree = run({"tree", "--json", card.string()});
    ASSERT_EQ(tree.exitCode, 0) << tree.err;
    const auto t = nlohmann::json::parse(tree.out);
    EXPECT_EQ(t["nodes"][0]["children"].size(), 1u);

    const auto group =
        run({"list", "--json", "--node", (card / "Normal/230715_0001").string(), card.string()});
    ASSERT_EQ(group.exitCode, 0) << group.err;
    const auto g = nlohmann::json::parse(group.out)["entries"];
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0]["rearPath"], "");  // cannot be seen: listed as absent
    EXPECT_EQ(g[0]["frontName"], Name("A___", 1));
    chmod((card / "Normal/Rear").c_str(), 0755);
}

// The superuser reads everything, so the runs that need an unreadable folder
// drop to nobody.
std::vector<std::string> AsNobody() {
    if (geteuid() != 0) return {};
    return {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
}

TEST(CliListing, AnUnreadableSourceFolderIsAnErrorNotAnEmptySource) {
    if (geteuid() == 0 && !fs::exists("/usr/bin/setpriv"))
        GTEST_SKIP() << "setpriv is needed to drop privileges";
    TempDir dir;
    const fs::path card = dir / "card";
    test::WriteCardOrFail(card, {Rec(Name("A___", 1))});
    fs::create_directories(dir / "folder");
    ASSERT_EQ(chmod(card.c_str(), 0), 0);
    ASSERT_EQ(chmod((dir / "folder").c_str(), 0), 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"tree", card.string()}, {"list", "--json", card.string()},
          {"list", "--kind", "folder", (dir / "folder").string()},
          {"tree", "--json", (dir / "folder").string()}}) {
        std::vector<std::string> argv = AsNobody();
        argv.push_back(test::BuiltProgram("trivexa-cli").string());
        argv.insert(argv.end(), args.begin(), args.end());
        const auto r = RunCommand(argv);
        EXPECT_EQ(r.exitCode, 1) << args[0] << ' ' << args.back() << ": " << r.out;
        EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    chmod(card.c_str(), 0755);
    chmod((dir / "folder").c_str(), 0755);
}

std::string DecodeBase64(const std::string& text) {
    static const std::string kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        if (c == '=') break;
        bits = (bits << 6) | static_cast<std::uint32_t>(kAlphabet.find(c));
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

TEST(CliListing, OddFolderNamesStayOnOneLineAndTheirBytesSurviveJson) {
    TempDir dir;
    // A line break, a tab and a backslash in one folder's name; bytes that
    // are not UTF-8 in another's.
    const fs::path broken = dir / "trip\\nA\nB\tC";
    // A stray byte, a cut sequence, a surrogate and an overlong '/'.
    const fs::path binary = dir / "raw\\xFF\xFF\xC3(\xED\xA0\x80\xC0\xAF";
    test::Touch(broken / Name("A___", 1, "230715", 'F'), 1);
    test::Touch(binary / Name("A___", 2, "230715", 'F'), 1);

    const auto text = Cli({"list", "--kind", "folder", dir.path().string()});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.out.size();) {
        const std::size_t end = text.out.find('\n', at);
        lines.push_back(text.out.substr(at, end - at));
        at = end == std::string::npos ? text.out.size() : end + 1;
    }
    ASSERT_EQ(lines.size(), 2u) << text.out;
    const std::string escaped =
        (dir / "trip\\\\nA\\nB\\tC").string() + "/" + Name("A___", 1, "230715", 'F');
    EXPECT_NE(text.out.find(escaped), std::string::npos) << text.out;

    const auto tree = Cli({"tree", "--kind", "folder", dir.path().string()});
    ASSERT_EQ(tree.exitCode, 0) << tree.err;
    EXPECT_NE(tree.out.find("trip\\\\nA\\nB\\tC\n"), std::string::npos) << tree.out;

    // JSON: readable text, plus the exact bytes of what is not UTF-8.
    const auto listed = Cli({"list", "--json", "--kind", "folder", dir.path().string()});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const auto entries = nlohmann::json::parse(listed.out)["entries"];
    ASSERT_EQ(entries.size(), 2u);
    int exact = 0;
    for (const auto& e : entries) {
        const std::string path = e["frontPath"];
        if (path.find("trip") != std::string::npos) {
            EXPECT_EQ(path, (broken / Name("A___", 1, "230715", 'F')).string());
            EXPECT_FALSE(e.contains("frontPathBase64"));
        } else {
            ASSERT_TRUE(e.contains("frontPathBase64")) << e.dump();
            const std::string bytes = DecodeBase64(e["frontPathBase64"]);
            EXPECT_EQ(bytes, (binary / Name("A___", 2, "230715", 'F')).string());
            EXPECT_TRUE(fs::exists(bytes));
            ++exact;
        }
    }
    EXPECT_EQ(exact, 1);
    const auto folders = Cli({"tree", "--json", "--kind", "folder", dir.path().string()});
    ASSERT_EQ(folders.exitCode, 0) << folders.err;
    EXPECT_NE(folders.out.find("\"pathBase64\""), std::string::npos) << folders.out;

    const auto help = RunCommand({test::BuiltProgram("trivexa-cli").string(), "--help"});
    EXPECT_NE(help.out.find("Base64"), std::string::npos);
}

}  // namespace
}  // namespace trivexa
