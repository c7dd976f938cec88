// The demo card: its recordings, clip headers and sensor records, read back
// byte by byte. The card is written with fake access units (its pictures are
// the road-scene tests' business), which takes a moment instead of minutes.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>

#include "forge_test_util.h"

namespace trivexa::clipforge::testing {
namespace {

namespace fs = std::filesystem;

constexpr size_t kBlockSize = 40 + 130 * 4600 + 28;

// One sensor record as the recorder writes it.
struct Record {
    bool fix = false;
    double lat = 0, lon = 0;
    int speed = -1;
    std::string time;  // YYMMDDhhmmss
    int ax = 0, ay = 0, az = 0;
    char manual = 0, axis = 0, support = 0, emergency = 0, parking = 0, overspeed = 0, approach = 0;
};

double Degrees(const std::string& nmea) {
    const double v = std::atof(nmea.c_str());
    return std::floor(v / 100) + std::fmod(v, 100) / 60;
}

std::vector<Record> Records(const fs::path& clip) {
    const std::string b = trivexa::test::ReadFile(clip);
    std::vector<Record> out;
    if (b.size() < kBlockSize) return out;
    const size_t block = b.size() - kBlockSize;
    if (b.compare(block, 6, "CSMDAT") != 0) return out;
    const int count = Be16(b, block + 38);
    for (int i = 0; i < count; ++i) {
        const std::string r = b.substr(block + 40 + 130 * static_cast<size_t>(i), 130);
        Record rec;
        rec.fix = r[8] == 'A';
        if (r.substr(9, 9).find_first_of("0123456789") != std::string::npos) {
            rec.lat = Degrees(r.substr(9, 9));
            rec.lon = Degrees(r.substr(19, 10));
        }
        if (r.substr(30, 4).find_first_of("0123456789") != std::string::npos)
            rec.speed = std::atoi(r.substr(30, 4).c_str());
        rec.time = r.substr(34, 12);
        rec.ax = std::atoi(r.substr(62, 5).c_str());
        rec.ay = std::atoi(r.substr(67, 5).c_str());
        rec.az = std::atoi(r.substr(72, 5).c_str());
        rec.manual = r[77];
        rec.axis = r[78];
        rec.support = r[79];
        rec.emergency = r[80];
        rec.parking = r[81];
        rec.overspeed = r[82];
        rec.approach = r[83];
        out.push_back(rec);
    }
    return out;
}

// Seconds since midnight of a record's clock.
int Seconds(const Record& r) {
    return std::atoi(r.time.substr(6, 2).c_str()) * 3600 +
           std::atoi(r.time.substr(8, 2).c_str()) * 60 + std::atoi(r.time.substr(10, 2).c_str());
}

// Metres between two positions (small distances).
double Metres(const Record& a, const Record& b) {
    const double n = (b.lat - a.lat) * 110950.0;
    const double e = (b.lon - a.lon) * 91300.0;
    return std::hypot(n, e);
}

// The demo card with fake pictures, written once for all tests here.
class DemoCard : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new trivexa::test::TempDir;
        DemoOptions options;
        options.content = VideoContent::Synthetic;
        std::string error;
        ok_ = WriteDemoCard(Root(), &error, options);
        error_ = error;
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(ok_) << error_; }
    static fs::path Root() { return dir_->path() / "demo"; }
    static fs::path Front(const std::string& top, const std::string& name) {
        return Root() / top / "Front" / name;
    }

    static inline trivexa::test::TempDir* dir_ = nullptr;
    static inline bool ok_ = false;
    static inline std::string error_;
};

const char* const kDrive[] = {"A__S-240518-093000-000100F.AVI", "AG__-240518-093030-000101F.AVI",
                              "AM__-240518-093100-000102F.AVI", "AD__-240518-093130-000103F.AVI",
                              "A___-240518-093200-000104F.AVI"};

TEST_F(DemoCard, RecordingsLieInTheirFoldersWithBothCameras) {
    std::map<std::string, std::vector<std::string>> found;
    for (const char* top : {"Normal", "Parking"})
        for (const char* cam : {"Front", "Rear"})
            for (const auto& e : fs::directory_iterator(Root() / top / cam))
                found[std::string(top) + "/" + cam].push_back(e.path().filename().string());
    for (auto& [folder, names] : found) std::sort(names.begin(), names.end());
    std::vector<std::string> normal(std::begin(kDrive), std::end(kDrive));
    normal.push_back("T__S-240518-140000-000107F.AVI");
    normal.push_back("A__S-240518-151000-000108F.AVI");
    std::sort(normal.begin(), normal.end());
    EXPECT_EQ(found["Normal/Front"], normal);
    EXPECT_EQ(found["Parking/Front"], (std::vector<std::string>{"PG__-240518-132040-000106F.AVI",
                                                                "P__S-240518-130512-000105F.AVI"}));
    for (const char* top : {"Normal", "Parking"}) {
        std::vector<std::string> partners;
        for (const auto& n : found[std::string(top) + "/Front"]) partners.push_back(PartnerName(n));
        EXPECT_EQ(found[std::string(top) + "/Rear"], partners);
    }
    EXPECT_TRUE(fs::exists(Root() / "DRFormatConfig.dfc"));
    EXPECT_TRUE(fs::exists(Root() / "pvtrace.txt"));
    EXPECT_FALSE(fs::exists(dir_->path() / "demo.partial"));
}

TEST_F(DemoCard, ClipsCarryTheCamerasSizesAndRates) {
    struct Want {
        std::string top, name;
        uint32_t width, height, rate, scale, frames;
        size_t headerEnd;  // 384 full layout, 280 time-lapse
    };
    const Want wants[] = {
        {"Normal", "AG__-240518-093030-000101F.AVI", 1920, 1080, 30, 1, 900, 384},
        {"Normal", "AG__-240518-093030-000101R.AVI", 1280, 720, 55, 2, 825, 384},
        {"Normal", "T__S-240518-140000-000107F.AVI", 1920, 1080, 14985, 1000, 240, 280},
        {"Normal", "T__S-240518-140000-000107R.AVI", 1280, 720, 14985, 1000, 240, 280},
        {"Parking", "PG__-240518-132040-000106F.AVI", 1920, 1080, 30, 1, 600, 384},
    };
    for (const Want& w : wants) {
        SCOPED_TRACE(w.name);
        const fs::path cam = w.name[25] == 'F' ? "Front" : "Rear";
        const std::string b = trivexa::test::ReadFile(Root() / w.top / cam / w.name);
        ASSERT_GT(b.size(), 400u);
        EXPECT_EQ(Le32(b, 64), w.width);
        EXPECT_EQ(Le32(b, 68), w.height);
        EXPECT_EQ(Le32(b, 180), w.height);  // the bitmap header's height gives the class
        EXPECT_EQ(Le32(b, 128), w.scale);
        EXPECT_EQ(Le32(b, 132), w.rate);
        EXPECT_EQ(Le32(b, 48), w.frames);
        EXPECT_EQ(b.substr(w.headerEnd + 8, 4), "movi");
        EXPECT_EQ(b.substr(b.size() - kBlockSize, 6), "CSMDAT");
    }
    // Cut off by a power loss: no sizes, no index, no sensor block.
    const std::string lost =
        trivexa::test::ReadFile(Front("Normal", "A__S-240518-151000-000108F.AVI"));
    EXPECT_EQ(Le32(lost, 4), 0u);
    EXPECT_EQ(Le32(lost, 48), 0u);
    EXPECT_EQ(lost.find("idx1"), std::string::npos);
    EXPECT_EQ(lost.find("CSMDAT"), std::string::npos);
}

TEST_F(DemoCard, MorningDriveIsOneTripNorthThroughKyoto) {
    std::vector<std::vector<Record>> clips;
    for (const char* name : kDrive) clips.push_back(Records(Front("Normal", name)));
    for (size_t c = 0; c < clips.size(); ++c) {
        SCOPED_TRACE(kDrive[c]);
        const auto& recs = clips[c];
        ASSERT_EQ(recs.size(), 300u) << "a record every 100 ms of a 30 s clip";
        for (const Record& r : recs) {
            ASSERT_TRUE(r.fix);
            // Karasuma-dori, between Kyoto Station and Marutamachi.
            EXPECT_GT(r.lat, 34.985);
            EXPECT_LT(r.lat, 35.02);
            EXPECT_NEAR(r.lon, 135.7595, 0.0005);
            EXPECT_GE(r.speed, 0);
            EXPECT_LE(r.speed, 62);
        }
        // Gravity, and the road's small bumps; the pothole of the shock clip
        // stands out.
        const auto bumps = std::count_if(
            recs.begin(), recs.end(), [](const Record& r) { return std::abs(r.az + 1000) > 300; });
        EXPECT_EQ(bumps, c == 1 ? 3 : 0);
        // The clock: ten records a second from the clip's start.
        EXPECT_EQ(recs.front().time,
                  std::string(kDrive[c]).substr(5, 6) + std::string(kDrive[c]).substr(12, 6));
        EXPECT_EQ(Seconds(recs[10]) - Seconds(recs[0]), 1);
        EXPECT_EQ(Seconds(recs[299]) - Seconds(recs[0]), 29);
        // Position follows speed: every 5 s the distance between the fixes is
        // what the speeds add up to.
        for (size_t i = 0; i + 50 < recs.size(); i += 50) {
            double byspeed = 0;
            for (size_t k = i; k < i + 50; ++k) byspeed += recs[k].speed / 3.6 * 0.1;
            EXPECT_NEAR(Metres(recs[i], recs[i + 50]), byspeed, 2.5 + 0.05 * byspeed) << "at " << i;
        }
        // Each clip carries on where the last one stopped.
        if (c > 0) {
            EXPECT_LT(Metres(clips[c - 1].back(), recs.front()), 5.0);
            EXPECT_LT(std::abs(clips[c - 1].back().speed - recs.front().speed), 3);
        }
    }
    // It goes somewhere: over half a kilometre north, and stands at lights
    // on the way.
    EXPECT_GT((clips.back().back().lat - clips.front().front().lat) * 110950, 600);
    int standing = 0;
    for (const auto& recs : clips)
        for (const Record& r : recs) standing += r.speed == 0;
    EXPECT_GT(standing, 100);
    // The rear camera's clip carries the same records.
    const auto rear = Records(Root() / "Normal/Rear/AG__-240518-093030-000101R.AVI");
    ASSERT_EQ(rear.size(), clips[1].size());
    EXPECT_EQ(rear[77].time, clips[1][77].time);
    EXPECT_EQ(rear[77].lat, clips[1][77].lat);
}

TEST_F(DemoCard, EventsAreRecordedInTheClipsNamedAfterThem) {
    auto count = [](const std::vector<Record>& recs, auto&& pred) {
        return std::count_if(recs.begin(), recs.end(), pred);
    };
    const auto shock = Records(Front("Normal", kDrive[1]));
    EXPECT_EQ(count(shock, [](const Record& r) { return r.az < -2000 && r.axis == 'Z'; }), 1);
    const auto manual = Records(Front("Normal", kDrive[2]));
    EXPECT_EQ(count(manual, [](const Record& r) { return r.manual == 'D'; }), 1);
    const auto approach = Records(Front("Normal", kDrive[3]));
    EXPECT_GT(count(approach, [](const Record& r) { return r.approach == 'D'; }), 30);
    const auto last = Records(Front("Normal", kDrive[4]));
    const auto braking = count(last, [](const Record& r) { return r.support == 'B'; });
    EXPECT_GT(braking, 0);
    EXPECT_GT(count(last, [](const Record& r) { return r.support == 'B' && r.ax < -450; }), 0)
        << "hard braking shows as deceleration";
    EXPECT_GT(count(last, [](const Record& r) { return r.overspeed == 'D'; }), 0);
    // Only the events their clips are named after.
    for (const auto* recs : {&shock, &manual, &approach}) {
        EXPECT_EQ(count(*recs, [](const Record& r) { return r.support != 'N'; }), 0);
        EXPECT_EQ(count(*recs, [](const Record& r) { return r.parking == 'D'; }), 0);
    }

    // Parked: no fix, no speed; the knock of the parking-shock recording.
    const auto quiet = Records(Front("Parking", "P__S-240518-130512-000105F.AVI"));
    const auto knock = Records(Front("Parking", "PG__-240518-132040-000106F.AVI"));
    ASSERT_EQ(quiet.size(), 200u);
    EXPECT_EQ(count(quiet, [](const Record& r) { return r.fix || r.speed >= 0; }), 0);
    EXPECT_EQ(count(quiet, [](const Record& r) { return r.parking == 'D'; }), 0);
    EXPECT_GT(count(knock, [](const Record& r) { return r.parking == 'D'; }), 0);
    EXPECT_EQ(count(knock, [](const Record& r) { return r.ay > 1000 && r.axis == 'Y'; }), 1);

    // Time-lapse: a record a second.
    const auto lapse = Records(Front("Normal", "T__S-240518-140000-000107F.AVI"));
    ASSERT_EQ(lapse.size(), 240u);
    EXPECT_EQ(lapse[0].time, "240518140000");
    EXPECT_EQ(lapse[61].time, "240518140101");
    EXPECT_EQ(lapse[239].time, "240518140359");
}

TEST(DemoCardFolder, BuiltOnceReplacedWhenStaleOtherFoldersLeftAlone) {
    trivexa::test::TempDir dir;
    DemoOptions options;
    options.content = VideoContent::Synthetic;
    const fs::path root = dir.path() / "card";
    std::string error;
    ASSERT_TRUE(WriteDemoCard(root, &error, options)) << error;
    const fs::path probe = root / "Normal/Front/AG__-240518-093030-000101F.AVI";
    const auto written = fs::last_write_time(probe);
    // Current: left as it is.
    ASSERT_TRUE(WriteDemoCard(root, &error, options)) << error;
    EXPECT_EQ(fs::last_write_time(probe), written);
    // Written by an older clipforge: built again, stray files gone with it.
    {
        std::ofstream(root / kDemoStamp) << "clipforge demo card 1\n";
        std::ofstream(root / "Normal/Front/stray.txt") << "x";
    }
    ASSERT_TRUE(WriteDemoCard(root, &error, options)) << error;
    EXPECT_FALSE(fs::exists(root / "Normal/Front/stray.txt"));
    EXPECT_TRUE(fs::exists(probe));
    EXPECT_FALSE(fs::exists(dir.path() / "card.old"));
    // Somebody else's folder is never replaced.
    const fs::path mine = dir.path() / "mine";
    fs::create_directories(mine);
    std::ofstream(mine / "notes.txt") << "keep";
    EXPECT_FALSE(WriteDemoCard(mine, &error, options));
    EXPECT_NE(error.find("not a demo card"), std::string::npos) << error;
    EXPECT_EQ(trivexa::test::ReadFile(mine / "notes.txt"), "keep");
    // An empty folder is fine.
    const fs::path empty = dir.path() / "empty";
    fs::create_directories(empty);
    EXPECT_TRUE(WriteDemoCard(empty, &error, options)) << error;
    EXPECT_TRUE(fs::exists(empty / kDemoStamp));
}

}  // namespace
}  // namespace trivexa::clipforge::testing
