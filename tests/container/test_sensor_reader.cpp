// SensorReader on real files: hand-made files for the block search, forge
// clips for whole recordings, the group track and the header for the CSV
// export.
#include <gtest/gtest.h>

#include "clipforge/clipforge.h"
#include "container/sensor_bytes.h"
#include "container/sensor_reader.h"
#include "container/sensor_track.h"
#include "recordings/recording_entry.h"
#include "support/test_support.h"

namespace trivexa {
namespace {

namespace cf = clipforge;
using test::BlockSpec;
using test::MakeBlock;
using test::TypicalRecord;

constexpr const char* kFrontName = "A___-230715-081522-000001F.AVI";

class SensorReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseUtc();
        ASSERT_TRUE(reader.Init());
    }
    void TearDown() override {
        reader.Shutdown();
        SetMappingErrorHandler(nullptr);
    }

    // `junk` bytes of filler followed by the block, as a clip named kFrontName.
    std::string WriteBlockFile(std::size_t junk, const BlockSpec& spec,
                               const std::string& tail = "") {
        const std::string path = (dir / kFrontName).string();
        test::WriteFile(path, std::string(junk, 'J') + test::AsString(MakeBlock(spec)) + tail);
        return path;
    }

    // Records whose X acceleration is 10 × the record index (thousandths).
    static BlockSpec Records(std::size_t n) {
        BlockSpec spec;
        spec.records.assign(n, TypicalRecord());
        for (std::size_t i = 0; i < n; ++i) {
            char x[16];
            std::snprintf(x, sizeof x, "%+05d", static_cast<int>(i % 1000) * 10);
            spec.records[i].Put(62, std::string_view(x, 5));
        }
        return spec;
    }

    // A forge clip with synthetic video (fast to write) and a scripted drive.
    std::string WriteForgeClip(const std::string& name, cf::ClipSpec spec = {}) {
        spec.name = name;
        spec.video.content = cf::VideoContent::Synthetic;
        spec.video.frames = 30;
        if (spec.sensor.samples.empty()) {
            cf::DriveScript script;
            script.records = 30;
            spec.sensor.samples = cf::ScriptedDrive(script);
        }
        const std::string path = (dir / name).string();
        std::string error;
        EXPECT_TRUE(cf::WriteClip(path, spec, nullptr, &error)) << error;
        return path;
    }

    test::TempDir dir;
    SensorReader reader;
};

TEST_F(SensorReaderTest, FastPathTakesTheUsualBlockAtTheEnd) {
    const std::string path = WriteBlockFile(1000, Records(sensor::kUsualRecordCount));
    ASSERT_TRUE(reader.Load(path));
    EXPECT_TRUE(reader.Loaded());
    EXPECT_EQ(reader.Positions().size(), 4600u);
    EXPECT_EQ(reader.Accels().size(), 4600u);
    EXPECT_EQ(reader.Vehicles().size(), 4600u);
    EXPECT_EQ(reader.CurrentIndex(), 4599);
    EXPECT_EQ(reader.ViewCount(), 1u);  // only the last 598,068 bytes were mapped
    EXPECT_EQ(reader.Header().ModelText(), "PL21-XQR");
    EXPECT_EQ(reader.Header().model[8], '\0');
    EXPECT_EQ(reader.Path(), path);
    EXPECT_EQ(reader.Accels()[4599].x, static_cast<double>(5990.0f / 1000.0f));
}

TEST_F(SensorReaderTest, ScanPathFindsSmallerBlocksInTheLastQuarter) {
    BlockSpec spec = Records(2);
    spec.model = "PL35-XQR";
    ASSERT_TRUE(reader.Load(WriteBlockFile(1000, spec)));
    EXPECT_EQ(reader.Positions().size(), 2u);
    EXPECT_EQ(reader.Header().ModelText(), "PL35-XQR");
    EXPECT_EQ(reader.Header().quality, 'H');

    // Outside the last quarter, or off the 130-byte grid: loads with no entries.
    ASSERT_TRUE(reader.Load(WriteBlockFile(300, spec)));
    EXPECT_TRUE(reader.Positions().empty());
    ASSERT_TRUE(reader.Load(WriteBlockFile(3000, spec, "x")));
    EXPECT_TRUE(reader.Positions().empty());
    EXPECT_EQ(reader.Header().mode, '\0');
}

TEST_F(SensorReaderTest, FailedFastPathFallsBackToTheScan) {
    // 4600 slots but a count of 4700: the fast path's decoder meets the
    // trailer early; the block start lies in the last quarter, so the scan
    // decodes it again (its result is not used) and the entries count once.
    BlockSpec spec = Records(sensor::kUsualRecordCount);
    spec.countFromRecords = false;
    spec.count = 4700;
    ASSERT_TRUE(reader.Load(WriteBlockFile(3 * sensor::kUsualBlockSize, spec)));
    EXPECT_EQ(reader.ViewCount(), 2u);
    EXPECT_EQ(reader.Positions().size(), 4600u);
    EXPECT_EQ(reader.Header().ModelText(), "PL21-XQR");
}

TEST_F(SensorReaderTest, FilesWithoutBlocksAndMissingFiles) {
    const std::string empty = (dir / "empty.AVI").string();
    test::WriteFile(empty, "");
    EXPECT_TRUE(reader.Load(empty));
    EXPECT_TRUE(reader.Positions().empty());

    EXPECT_FALSE(reader.Load((dir / "missing.AVI").string()));
    EXPECT_FALSE(reader.Loaded());
    EXPECT_TRUE(reader.Path().empty());
}

TEST_F(SensorReaderTest, MappingFailuresReachTheHandler) {
    std::vector<std::string> reported;
    SetMappingErrorHandler([&](const std::string& text) { reported.push_back(text); });
    const std::string path = WriteBlockFile(10, Records(1));
    ASSERT_TRUE(reader.Open(path));
    EXPECT_FALSE(reader.MapWindow(reader.FileSize() + 4096, 16));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_FALSE(reported[0].empty());
    EXPECT_EQ(reader.ViewCount(), 0u);
    const MappedWindow w = reader.MapWindow(3, 6);
    ASSERT_TRUE(w);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(w.data()), 6), "JJJJJJ");
    EXPECT_EQ(reader.ViewCount(), 1u);
}

TEST_F(SensorReaderTest, FrameMapStepsOncePerFrameAndLinksLagFiveRecords) {
    const std::string path = WriteBlockFile(6000, Records(10));
    ASSERT_TRUE(reader.Load(path));
    EXPECT_FALSE(reader.BuildFrameMap(10));  // no frame interval yet
    reader.SetVideoMsPerFrame(100.0f);
    EXPECT_FALSE(reader.BuildFrameMap(sensor::kMaxFrameCount + 1));
    EXPECT_FALSE(reader.Accels()[3].frame);  // no frame before the map is built
    EXPECT_EQ(FrameOrRecordMs(reader.Accels()[3]), 300);
    ASSERT_TRUE(reader.BuildFrameMap(10));

    const auto& map = reader.FrameMap();
    ASSERT_EQ(map.size(), 10u);
    EXPECT_EQ(map[0], 0);
    for (int f = 1; f < 10; ++f) EXPECT_EQ(map[f], f - 1) << f;

    const auto& a = reader.Accels();
    const auto& p = reader.Positions();
    for (int j = 0; j < 10; ++j) {
        EXPECT_EQ(a[j].frame, j);
        EXPECT_EQ(p[j].frame, j);
        EXPECT_EQ(p[j].recordMs, j * 100);  // the record time stays beside the frame
        EXPECT_EQ(FrameOrRecordMs(a[j]), j);
        EXPECT_EQ(p[j].accelLink, j);
        EXPECT_EQ(p[j].vehicleLink, j);
    }
    EXPECT_EQ(a[3].positionLink, 0);
    EXPECT_EQ(a[5].positionLink, 1);
    EXPECT_EQ(a[5].vehicleLink, 1);
    EXPECT_EQ(a[8].positionLink, 4);
    EXPECT_EQ(a[9].positionLink, 4);  // the last position entry does not advance further
    EXPECT_DOUBLE_EQ(reader.LargestAccel(), 1.0);  // |z| of -1000 thousandths

    // Mapping again (here for a longer video at another frame rate) starts
    // from the record times, not from the frame numbers of the first map.
    reader.SetVideoMsPerFrame(50.0f);
    ASSERT_TRUE(reader.BuildFrameMap(25));
    EXPECT_EQ(reader.FrameMap()[3], 1);
    EXPECT_EQ(reader.FrameMap()[24], 9);
}

TEST_F(SensorReaderTest, HandOverMovesEverythingAndEmptiesTheSource) {
    ASSERT_TRUE(reader.Load(WriteBlockFile(2000, Records(4))));
    SensorReader other;
    ASSERT_TRUE(other.Init());
    const std::string path = reader.Path();
    EXPECT_TRUE(SensorReader::HandOver(reader, other));
    EXPECT_EQ(other.Positions().size(), 4u);
    EXPECT_EQ(other.Path(), path);
    EXPECT_EQ(other.CurrentIndex(), 3);
    EXPECT_EQ(other.Header().ModelText(), "PL21-XQR");
    EXPECT_TRUE(reader.Positions().empty());
    EXPECT_TRUE(reader.Path().empty());
    EXPECT_FALSE(reader.Loaded());
    EXPECT_EQ(reader.Header().mode, '\0');
    EXPECT_FALSE(SensorReader::HandOver(reader, other));  // nothing left to hand over
    EXPECT_TRUE(other.Positions().empty());
    other.Shutdown();
}

TEST_F(SensorReaderTest, ForgeDriveDecodesAsScripted) {
    cf::DriveScript script;
    script.records = 300;
    script.start = cf::DateTime{2023, 7, 15, 8, 15, 22};
    script.gapBegin = 250;
    script.gapEnd = 270;
    script.shockAt = 50;
    script.manualAt = 100;
    script.overspeedAt = 150;
    script.approachAt = 200;
    script.brakingAt = 220;
    cf::ClipSpec spec;
    spec.sensor.samples = cf::ScriptedDrive(script);
    // The short synthetic video leaves a small block outside the last
    // quarter; a preallocated block is found at the end like the recorder's.
    spec.sensor.slots = 4600;
    const auto samples = spec.sensor.samples;
    ASSERT_TRUE(reader.Load(WriteForgeClip(kFrontName, spec)));
    ASSERT_EQ(reader.Positions().size(), samples.size());

    for (std::size_t i = 0; i < samples.size(); ++i) {
        const cf::SensorSample& s = samples[i];
        const PositionEntry& p = reader.Positions()[i];
        const AccelEntry& a = reader.Accels()[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(p.valid, s.fix);
        if (s.latitude) {
            // Four decimals of minutes: within 2e-6 degrees.
            EXPECT_NEAR(p.latitude, *s.latitude, 2e-6);
            EXPECT_NEAR(p.longitude, *s.longitude, 2e-6);
            EXPECT_EQ(p.speed, *s.speedKmh);
        } else {
            EXPECT_EQ(p.latitude, 720.0);
            EXPECT_EQ(p.speed, 32767.0);
        }
        EXPECT_EQ(p.recordMs, static_cast<int>(i) * 100);
        EXPECT_EQ(p.timestamp.hour * 3600 + p.timestamp.minute * 60 + p.timestamp.second,
                  s.time.hour * 3600 + s.time.minute * 60 + s.time.second);
        EXPECT_EQ(a.x, static_cast<double>(static_cast<float>(s.accelX) / 1000.0f));
        EXPECT_EQ(a.y, static_cast<double>(static_cast<float>(s.accelY) / 1000.0f));
        EXPECT_EQ(a.z, static_cast<double>(static_cast<float>(s.accelZ) / 1000.0f));
        EXPECT_EQ(a.voltage, s.voltageTenths);
        EXPECT_EQ(a.status, static_cast<std::uint32_t>(s.mic));
        EXPECT_EQ(a.levelHigh, s.levels >> 4);
        EXPECT_EQ(a.overspeedMark, s.overspeed ? 8 : 0);
        EXPECT_EQ(a.approachMark, s.approach ? 9 : 0);
        EXPECT_EQ(reader.Vehicles()[i].words, s.vehicleWords);
    }
    EXPECT_EQ(reader.Accels()[50].axis, 2);
    EXPECT_EQ(reader.Accels()[100].event, 5);
    EXPECT_EQ(reader.Accels()[220].event, 12);
    EXPECT_EQ(reader.Header().mode, 'M');
    EXPECT_FLOAT_EQ(reader.Header().thresholds[0], 0.3f);
}

TEST_F(SensorReaderTest, ForgeCountsChainsAndTimeLapse) {
    cf::ClipSpec usual;
    usual.sensor.slots = 4600;  // preallocated: only the counted records are decoded
    ASSERT_TRUE(reader.Load(WriteForgeClip(kFrontName, usual)));
    EXPECT_EQ(reader.Positions().size(), 30u);
    EXPECT_EQ(reader.ViewCount(), 1u);

    cf::ClipSpec unlimited;
    unlimited.sensor.slots = 40;
    unlimited.sensor.countMode = cf::CountMode::Unlimited;
    ASSERT_TRUE(reader.Load(WriteForgeClip("A___-230715-081622-000002F.AVI", unlimited)));
    EXPECT_EQ(reader.Positions().size(), 40u);  // spare slots up to the trailer
    EXPECT_FALSE(reader.Positions()[35].valid);
    EXPECT_EQ(reader.Positions()[35].latitude, 720.0);

    cf::ClipSpec chained;
    cf::SensorHeaderUnit second;
    second.mode = 'D';
    second.thresholds = {1200, 0, 50, 9999};
    second.quality = 'L';
    second.positionMode = 'N';
    chained.sensor.chained = {cf::SensorHeaderUnit{}, second};
    chained.sensor.model = "PL35-XQR";
    ASSERT_TRUE(reader.Load(WriteForgeClip("A___-230715-081722-000003F.AVI", chained)));
    EXPECT_EQ(reader.Header().mode, 'D');
    EXPECT_EQ(reader.Header().quality, 'L');
    EXPECT_EQ(reader.Header().positionMode, 'N');
    EXPECT_FLOAT_EQ(reader.Header().thresholds[0], 1.2f);
    EXPECT_FLOAT_EQ(reader.Header().thresholds[3], 9.999f);
    EXPECT_EQ(reader.Header().ModelText(), "PL35-XQR");
    EXPECT_EQ(reader.Positions().size(), 30u);

    cf::ClipSpec timeLapse;
    timeLapse.sensor.slots = 4600;
    ASSERT_TRUE(reader.Load(WriteForgeClip("T___-230715-081822-000004F.AVI", timeLapse)));
    EXPECT_EQ(reader.Header().timeLapse, 'T');
    EXPECT_EQ(reader.Accels()[15].recordMs, 999);
}

TEST_F(SensorReaderTest, CollectTrackJoinsIntactClipsOfTheGroup) {
    cf::ClipSpec damaged;
    damaged.damage.indexLost = true;
    cf::ClipSpec parked;
    cf::DriveScript parkedScript;
    parkedScript.records = 12;
    parkedScript.parked = true;
    parked.sensor.samples = cf::ScriptedDrive(parkedScript);

    RecordingEntry a, b, c, d, e;
    a.frontPath = WriteForgeClip("A___-230715-081522-000001F.AVI");
    b.frontPath = WriteForgeClip("A___-230715-081622-000002F.AVI", damaged);
    c.rearPath = WriteForgeClip("A___-230715-081722-000003R.AVI");
    e.frontPath = WriteForgeClip("P___-230715-081822-000004F.AVI", parked);
    ASSERT_TRUE(SensorReader::CollectTrack({a, b, c, d, e}));
    const std::vector<PositionEntry> track = CopyGroupTrack();
    ASSERT_EQ(track.size(), 30u + 30u + 12u);
    EXPECT_EQ(track[29].recordMs, 2900);
    EXPECT_EQ(track[30].recordMs, 0);  // each recording starts again at 0
    EXPECT_EQ(track[30].index, 0u);
    EXPECT_TRUE(track[0].valid);
    EXPECT_FALSE(track[60].valid);  // parking records decoded as they are: no fix

    ASSERT_TRUE(SensorReader::CollectTrack({}));
    EXPECT_EQ(GroupTrackSize(), 0u);
}

TEST_F(SensorReaderTest, ReadHeaderOnlyForIntactClips) {
    cf::ClipSpec spec;
    spec.sensor.header.quality = 'L';
    SensorHeader header;
    ASSERT_TRUE(SensorReader::ReadHeader(WriteForgeClip(kFrontName, spec), header));
    EXPECT_EQ(header.quality, 'L');
    EXPECT_EQ(header.ModelText(), "PL21-XQR");

    cf::ClipSpec damaged;
    damaged.damage.indexLost = true;
    SensorHeader untouched;
    EXPECT_FALSE(SensorReader::ReadHeader(WriteForgeClip("A___-230715-081622-000002F.AVI", damaged),
                                          untouched));
    EXPECT_EQ(untouched.quality, '\0');
}

// The header alone gives what a full load gives, whether the block sits
// where the recorder puts it (4600 slots), elsewhere, or carries a chain of
// header units longer than the stretch the quick read takes.
TEST_F(SensorReaderTest, ReadHeaderMatchesAFullLoad) {
    cf::SensorHeaderUnit last;
    last.mode = 'D';
    last.thresholds = {1200, 0, 50, 9999};
    last.quality = 'L';
    last.positionMode = 'N';
    int n = 0;
    for (int slots : {4600, 0}) {
        for (int units : {0, 2, 150}) {
            cf::ClipSpec spec;
            spec.sensor.slots = slots;
            if (units > 0) {
                spec.sensor.chained.assign(static_cast<std::size_t>(units - 1), {});
                spec.sensor.chained.push_back(last);
                // The chain lies over record slots: leave room for it.
                cf::DriveScript script;
                script.records = units + 30;
                spec.sensor.samples = cf::ScriptedDrive(script);
                if (slots != 0) spec.sensor.slots = std::max(slots, script.records);
            }
            spec.sensor.model = "PL35-XQR";
            char name[64];
            std::snprintf(name, sizeof name, "A___-230715-08%02d22-%06dF.AVI", n, n + 1);
            ++n;
            const std::string path = WriteForgeClip(name, spec);
            SensorReader reader;
            ASSERT_TRUE(reader.Init());
            ASSERT_TRUE(reader.Load(path)) << name;
            SensorHeader header;
            ASSERT_TRUE(SensorReader::ReadHeader(path, header)) << name;
            const SensorHeader& full = reader.Header();
            EXPECT_EQ(header.mode, full.mode) << name;
            EXPECT_EQ(header.quality, full.quality) << name;
            EXPECT_EQ(header.positionMode, full.positionMode) << name;
            EXPECT_EQ(header.thresholds, full.thresholds) << name;
            EXPECT_EQ(header.settings, full.settings) << name;
            EXPECT_EQ(header.timeLapse, full.timeLapse) << name;
            EXPECT_EQ(header.ModelText(), full.ModelText()) << name;
            if (slots != 0) {
                EXPECT_EQ(header.ModelText(), "PL35-XQR") << name;
                EXPECT_EQ(header.quality, units > 0 ? 'L' : 'H') << name;
            }
        }
    }
}

}  // namespace
}  // namespace trivexa
