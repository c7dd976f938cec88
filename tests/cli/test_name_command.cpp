// trivexa-cli name, run as a separate program the way scripts use it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/core/ui_strings.h"
#include "support/test_support.h"

namespace trivexa {
namespace {

using test::RunCommand;

test::CommandResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), test::BuiltProgram("trivexa-cli").string());
    return RunCommand(args);
}

TEST(CliName, JsonDescribesEveryNameInOrder) {
    const auto r = Cli({"name", "--json", "E:\\Normal\\Front\\AGOS-230715-081522-000123F.AVI",
                        "/card/Parking/Rear/PG__-230230-250000-000007R.AVI", "MOVIE",
                        std::string("\xff\xfe-bad.AVI")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json all = nlohmann::json::parse(r.out);
    ASSERT_TRUE(all.is_array());
    ASSERT_EQ(all.size(), 4u);

    const nlohmann::json& speed = all[0];
    EXPECT_EQ(speed["name"], "E:\\Normal\\Front\\AGOS-230715-081522-000123F.AVI");
    EXPECT_EQ(speed["isRecording"],
              (nlohmann::json{{"any", false}, {"front", false}, {"rear", false}}));
    EXPECT_EQ(speed["kind"], 1);
    EXPECT_EQ(speed["flags"], 0x25);
    EXPECT_EQ(speed["text"], std::string(UiString(164)) + "+" + UiString(161));
    EXPECT_EQ(speed["shock"], true);
    EXPECT_EQ(speed["dateTime"], "2023-07-15T08:15:22");
    EXPECT_EQ(speed["dayOfWeek"], 6);
    EXPECT_EQ(speed["partner"], "E:/Normal/Rear/AGOS-230715-081522-000123R.AVI");

    const nlohmann::json& parking = all[1];
    EXPECT_EQ(parking["isRecording"],
              (nlohmann::json{{"any", true}, {"front", false}, {"rear", true}}));
    EXPECT_EQ(parking["kind"], 4);
    EXPECT_EQ(parking["flags"], 0x10);
    EXPECT_EQ(parking["parking"], true);
    EXPECT_EQ(parking["recognised"], true);
    EXPECT_EQ(parking["timeLapse"], false);
    EXPECT_EQ(parking["dateTime"], "2023-03-03T01:00:00");
    EXPECT_EQ(parking["dayOfWeek"], 5);
    EXPECT_EQ(parking["sequenceText"], "000007");
    EXPECT_EQ(parking["sequenceNumber"], 7);
    EXPECT_EQ(parking["shortName"], "PG__-250000-000007");
    EXPECT_EQ(parking["stillBase"], "230230-250000-R");
    EXPECT_EQ(parking["partner"], "/card/Parking/Front/PG__-230230-250000-000007F.AVI");

    EXPECT_EQ(all[2]["shortName"], "MOVIE");
    EXPECT_EQ(all[2]["kind"], -1);
    EXPECT_EQ(all[2]["text"], "");
    // Bytes that are not UTF-8 come out replaced, not as a broken document.
    EXPECT_EQ(all[3]["name"], "\xef\xbf\xbd\xef\xbf\xbd-bad.AVI");
}

TEST(CliName, PlainTextAndUsageErrors) {
    const auto text = Cli({"name", "AG_S-230715-081522-000123F.AVI"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("shortName: AG_S-081522-000123\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("partner: AG_S-230715-081522-000123R.AVI\n"), std::string::npos);

    const auto none = Cli({"name", "--json"});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_FALSE(none.err.empty());
    EXPECT_TRUE(none.out.empty());
    EXPECT_EQ(Cli({"name", "--bogus", "x"}).exitCode, 2);
}

}  // namespace
}  // namespace trivexa
