// Cards on disk: folder layout, recording pairs, the device and trace files,
// and the clipforge program's commands.

#include <gtest/gtest.h>

#include "forge_test_util.h"

namespace trivexa::clipforge::testing {
namespace {

using trivexa::test::BuiltProgram;
using trivexa::test::ReadFile;
using trivexa::test::RunCommand;
using trivexa::test::TempDir;

TEST(Card, LayoutPairsAndRootFiles) {
    TempDir dir;
    CardSpec card;
    card.clip = SmallClip("", 30);
    card.clip.video.content = VideoContent::Synthetic;
    card.pvtrace = true;
    card.dfc->gpsVersion = "      ";
    VideoSpec rear = card.clip.video;
    rear.rate = 55;
    rear.scale = 2;
    card.rearVideo = rear;
    CardRecording a;
    a.name = "AG_S-230715-081522-000123F.AVI";
    CardRecording p;
    p.name = "PG__-230715-091522-000124R.AVI";  // named by its rear file
    CardRecording t;
    t.name = "__T_-230715-101522-000125F.AVI";  // parking time-lapse
    t.rear = false;
    card.recordings = {a, p, t};
    std::string error;
    ASSERT_TRUE(WriteCard(dir.path(), card, &error)) << error;

    const fs::path root = dir.path();
    EXPECT_TRUE(fs::exists(root / "Normal/Front/AG_S-230715-081522-000123F.AVI"));
    EXPECT_TRUE(fs::exists(root / "Normal/Rear/AG_S-230715-081522-000123R.AVI"));
    EXPECT_TRUE(fs::exists(root / "Parking/Front/PG__-230715-091522-000124F.AVI"));
    EXPECT_TRUE(fs::exists(root / "Parking/Rear/PG__-230715-091522-000124R.AVI"));
    EXPECT_TRUE(fs::exists(root / "Parking/Front/__T_-230715-101522-000125F.AVI"));
    EXPECT_FALSE(fs::exists(root / "Parking/Rear/__T_-230715-101522-000125R.AVI"));
    EXPECT_TRUE(fs::exists(root / "pvtrace.txt"));

    // The rear camera covers the same second at 27.5 fps.
    std::string r = ReadFile(root / "Normal/Rear/AG_S-230715-081522-000123R.AVI");
    EXPECT_EQ(Le32(r, 132), 55u);
    EXPECT_EQ(Le32(r, 140), 27u);
    // The time-lapse clip has the short layout.
    std::string tl = ReadFile(root / "Parking/Front/__T_-230715-101522-000125F.AVI");
    EXPECT_EQ(tl.substr(288, 4), "movi");

    std::string dfc = ReadFile(root / "DRFormatConfig.dfc");
    ASSERT_GE(dfc.size(), 68u);
    EXPECT_EQ(dfc.substr(48, 8), "PL21-XQR");
    EXPECT_EQ(dfc.substr(56, 6), "010203");
    EXPECT_EQ(dfc.substr(62, 6), "      ");

    DfcSpec shortDfc;
    shortDfc.size = 67;
    EXPECT_EQ(EncodeDfc(shortDfc).size(), 67u);
}

TEST(Card, RefusesNamesThatAreNotRecordings) {
    TempDir dir;
    CardSpec card;
    CardRecording movie;
    movie.name = "MOVIE.AVI";
    card.recordings.push_back(movie);
    std::string error;
    EXPECT_FALSE(WriteCard(dir.path(), card, &error));
    EXPECT_NE(error.find("MOVIE.AVI"), std::string::npos);
}

TEST(Names, BuildAndClassify) {
    EXPECT_EQ(MakeName("AG_S", DateTime{2023, 7, 15, 8, 15, 22}, 123, 'F'),
              "AG_S-230715-081522-000123F.AVI");
    EXPECT_EQ(PartnerName("AG_S-230715-081522-000123F.AVI"), "AG_S-230715-081522-000123R.AVI");
    EXPECT_EQ(PartnerName("AG_S-230715-081522-000123R.AVI"), "AG_S-230715-081522-000123F.AVI");
    EXPECT_TRUE(NameIsTimeLapse("T___-230715-081522-000123F.AVI"));
    EXPECT_TRUE(NameIsTimeLapse("P_T_-230715-081522-000123F.AVI"));
    EXPECT_FALSE(NameIsTimeLapse("AG__-230715-081522-000123F.AVI"));
    EXPECT_TRUE(NameIsParking("P___-230715-081522-000123F.AVI"));
    EXPECT_TRUE(NameIsParking("__T_-230715-081522-000123F.AVI"));
    EXPECT_FALSE(NameIsParking("A_T_-230715-081522-000123F.AVI"));
}

TEST(Program, ClipCardSeedsAndUsage) {
    TempDir dir;
    const std::string forge = BuiltProgram("clipforge").string();
    const std::string cache = "--cache";
    const std::string cacheDir = (trivexa::test::TestDataDir() / "clipforge").string();

    auto clip = RunCommand({forge, "clip", "--synthetic", "--frames", "20", "--damage", "riff-zero",
                            (dir / "A___-230715-081522-000001F.AVI").string()});
    EXPECT_EQ(clip.exitCode, 0) << clip.err;
    EXPECT_EQ(Le32(ReadFile(dir / "A___-230715-081522-000001F.AVI"), 4), 0u);

    auto card = RunCommand({forge, "card", "--frames", "20", "--pvtrace", cache, cacheDir,
                            (dir / "card").string(), "A___-230715-081522-000002F.AVI",
                            "+P___-230715-081522-000003R.AVI"});
    EXPECT_EQ(card.exitCode, 0) << card.err;
    EXPECT_TRUE(fs::exists(dir / "card/Normal/Rear/A___-230715-081522-000002R.AVI"));
    EXPECT_TRUE(fs::exists(dir / "card/Parking/Rear/P___-230715-081522-000003R.AVI"));
    EXPECT_FALSE(fs::exists(dir / "card/Parking/Front/P___-230715-081522-000003F.AVI"));
    EXPECT_TRUE(fs::exists(dir / "card/pvtrace.txt"));

    auto seeds = RunCommand({forge, "seeds", (dir / "seeds").string()});
    EXPECT_EQ(seeds.exitCode, 0) << seeds.err;
    int n = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir / "seeds")) ++n;
    EXPECT_GE(n, 10);

    EXPECT_EQ(RunCommand({forge}).exitCode, 2);
    EXPECT_EQ(RunCommand({forge, "clip", "--damage", "nonsense", "x.AVI"}).exitCode, 2);
    EXPECT_EQ(RunCommand({forge, "frobnicate"}).exitCode, 2);
    auto bad = RunCommand({forge, "clip", "--synthetic", (dir / "no/such/dir/x.AVI").string()});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_FALSE(bad.err.empty());
}

}  // namespace
}  // namespace trivexa::clipforge::testing
