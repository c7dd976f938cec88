// The decoders on hand-made blocks: exact numeric rules, markers, counts,
// the header chain, parking and time-lapse clips.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "container/sensor_bytes.h"
#include "container/sensor_reader.h"

namespace trivexa {
namespace {

using test::BlockSpec;
using test::MakeBlock;
using test::RecordBytes;
using test::TypicalRecord;

constexpr std::string_view kFront = "A___-230715-081522-000001F.AVI";
constexpr std::string_view kTimeLapse = "T___-230715-081522-000001F.AVI";
constexpr std::string_view kParking = "P___-230715-081522-000001F.AVI";

class SensorDecode : public ::testing::Test {
protected:
    void SetUp() override { test::UseUtc(); }

    static SensorBlockData Decode(const BlockSpec& spec, std::string_view name = kFront,
                                  bool* ok = nullptr) {
        const auto block = MakeBlock(spec);
        SensorBlockData data;
        const bool result = DecodeSensorBlock(block, name, data);
        if (ok) *ok = result;
        return data;
    }
};

TEST(SensorNumbers, FieldsParseOnlyWithADigitLikeAtofAndAtoi) {
    EXPECT_EQ(ParseSensorFloat("         ", 720.0), 720.0);
    EXPECT_EQ(ParseSensorFloat("-.", 32767.0), 32767.0);
    EXPECT_EQ(ParseSensorFloat("  -12.5x", 0.0), -12.5);
    EXPECT_EQ(ParseSensorFloat("+0042", 0.0), 42.0);
    EXPECT_EQ(ParseSensorFloat("1e2 ", 0.0), 100.0);
    EXPECT_EQ(ParseSensorFloat("x1", 9.0), 0.0);  // a digit, but atof stops at once
    EXPECT_EQ(ParseSensorInt("   ", -1), -1);
    EXPECT_EQ(ParseSensorInt("124", -1), 124);
    EXPECT_EQ(ParseSensorInt(" 7a", -1), 7);
    EXPECT_EQ(ParseSensorInt("-05", 0), -5);
    // A field is never read past its width.
    EXPECT_EQ(ParseSensorFloat(std::string_view("12345", 2), 0.0), 12.0);
}

TEST(SensorNumbers, FloatFieldsAgreeWithTheCLibrary) {
    // Random fields over the characters that matter, compared with strtod
    // on a terminated copy (the C locale is in force in tests).
    const std::string_view alphabet = "0123456789.+- eExXaAnNiIf\t";
    std::uint32_t state = 12345;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int n = 0; n < 20000; ++n) {
        std::string field(1 + next() % 12, ' ');
        for (char& c : field) c = alphabet[next() % alphabet.size()];
        const double expected = std::strtod(field.c_str(), nullptr);
        const double got = ParseSensorFloat(field, -7.0);
        const bool hasDigit = field.find_first_of("0123456789") != std::string::npos;
        if (!hasDigit) {
            EXPECT_EQ(got, -7.0) << field;
        } else if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(got)) << field;
        } else {
            EXPECT_EQ(got, expected) << field;
            EXPECT_EQ(std::signbit(got), std::signbit(expected)) << field;
        }
    }
}

TEST(SensorNumbers, NmeaDegreesUseTheSignByte) {
    EXPECT_NEAR(NmeaDegrees(3539.1234, std::byte{'N'}), 35.652057, 1e-6);
    EXPECT_NEAR(NmeaDegrees(3539.1234, std::byte{0}), -35.652057, 1e-6);
    EXPECT_NEAR(NmeaDegrees(13942.102, std::byte{'E'}), 139.701700, 1e-6);
    EXPECT_EQ(NmeaDegrees(0.0, std::byte{1}), 0.0);
}

TEST_F(SensorDecode, TypicalRecordGivesAllThreeEntries) {
    BlockSpec spec;
    RecordBytes r = TypicalRecord();
    r.Put(77, "DZBDDDD").Put(84, "abcd").Byte(128, 'r').Byte(129, 0xA5);
    r.Byte(88, 0x34).Byte(89, 0x12).Put(90, "  ").Byte(122, 0xFF).Byte(123, 0x3F);
    spec.records = {r};
    bool ok = false;
    const SensorBlockData d = Decode(spec, kFront, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(d.positions.size(), 1u);
    ASSERT_EQ(d.accels.size(), 1u);
    ASSERT_EQ(d.vehicles.size(), 1u);
    EXPECT_EQ(d.currentIndex, 0);

    const PositionEntry& p = d.positions[0];
    EXPECT_TRUE(p.valid);
    EXPECT_NEAR(p.latitude, 35.652057, 1e-6);
    EXPECT_NEAR(p.longitude, 139.7017, 1e-6);
    EXPECT_EQ(p.speed, 42.0);
    EXPECT_EQ(p.recordMs, 0);
    EXPECT_EQ(p.timestamp.year, 2023);
    EXPECT_EQ(p.timestamp.month, 7);
    EXPECT_EQ(p.timestamp.day, 15);
    EXPECT_EQ(p.timestamp.dayOfWeek, 6);  // a Saturday
    EXPECT_EQ(p.timestamp.hour, 8);
    EXPECT_EQ(p.timestamp.minute, 15);
    EXPECT_EQ(p.timestamp.second, 22);

    const AccelEntry& a = d.accels[0];
    // Single-precision division, stored as double.
    EXPECT_EQ(a.x, static_cast<double>(10.0f / 1000.0f));
    EXPECT_EQ(a.y, static_cast<double>(-20.0f / 1000.0f));
    EXPECT_EQ(a.z, -1.0);
    EXPECT_EQ(a.event, 6);  // mark 6 outranks mark 5, mark 7 and the drive-support letter
    EXPECT_EQ(a.overspeedMark, 8);
    EXPECT_EQ(a.approachMark, 9);
    EXPECT_EQ(a.axis, 3);
    EXPECT_EQ(a.status, static_cast<std::uint32_t>('r'));
    EXPECT_EQ(a.voltage, 124);
    EXPECT_EQ(a.levelHigh, 0xA);
    EXPECT_EQ(a.levelLow, 0x5);

    const VehicleEntry& v = d.vehicles[0];
    EXPECT_EQ(v.status, (std::array<std::uint8_t, 4>{'a', 'b', 'c', 'd'}));
    EXPECT_EQ(v.words[0], 0x1234);   // low byte first
    EXPECT_EQ(v.words[1], 0x2020);   // missing value, copied as stored
    EXPECT_EQ(v.words[17], 0x3FFF);  // "keep the previous value", copied as stored
}

TEST_F(SensorDecode, EventLettersFollowTheirOrderOfPrecedence) {
    struct Case {
        std::string_view marks;  // record bytes 77-83
        int event, axis;
    };
    const Case cases[] = {
        {"DYA-D--", 5, 2},  // manual outranks parking shock and drive support
        {"-XA-D--", 7, 1},  // parking shock outranks drive support
        {"-XH----", 10, 1}, {"-XA----", 11, 1}, {"-XB----", 12, 1},
        {"-QN----", -1, 0}, {"dxa-d--", -1, 0},  // only upper-case letters count
    };
    BlockSpec spec;
    for (const Case& c : cases) spec.records.push_back(TypicalRecord().Put(77, c.marks));
    const SensorBlockData d = Decode(spec);
    ASSERT_EQ(d.accels.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(d.accels[i].event, cases[i].event) << cases[i].marks;
        EXPECT_EQ(d.accels[i].axis, cases[i].axis) << cases[i].marks;
        EXPECT_EQ(d.accels[i].overspeedMark, 0);
        EXPECT_EQ(d.accels[i].index, i);
    }
}

TEST_F(SensorDecode, FieldsWithoutDigitsTakeTheirMarkers) {
    BlockSpec spec;
    RecordBytes r = TypicalRecord();
    r.Put(8, "V").Put(9, "         ").Put(19, "----------").Put(30, "    ").Put(51, "   ");
    spec.records = {r, TypicalRecord().Byte(18, 0).Byte(29, 0)};
    const SensorBlockData d = Decode(spec);
    ASSERT_EQ(d.positions.size(), 2u);
    EXPECT_FALSE(d.positions[0].valid);
    EXPECT_EQ(d.positions[0].latitude, 720.0);
    EXPECT_EQ(d.positions[0].longitude, 720.0);
    EXPECT_EQ(d.positions[0].speed, 32767.0);
    EXPECT_EQ(d.accels[0].voltage, -1);
    // Zero sign bytes: south and west.
    EXPECT_NEAR(d.positions[1].latitude, -35.652057, 1e-6);
    EXPECT_NEAR(d.positions[1].longitude, -139.7017, 1e-6);
}

TEST_F(SensorDecode, TimestampNormalisesAndAddsTheCorrection) {
    BlockSpec spec;
    spec.records = {
        TypicalRecord().Put(47, "+05"),                          // 08:15:27
        TypicalRecord().Put(34, "231231235959").Put(47, "+02"),  // into the new year
        TypicalRecord().Put(34, "230230120000"),                 // 30 February is 2 March
        TypicalRecord().Put(47, "*99"),                          // '*' first: no correction
    };
    const SensorBlockData d = Decode(spec);
    ASSERT_EQ(d.positions.size(), 4u);
    EXPECT_EQ(d.positions[0].timestamp.second, 27);
    const SystemTime& ny = d.positions[1].timestamp;
    EXPECT_EQ(ny.year, 2024);
    EXPECT_EQ(ny.month, 1);
    EXPECT_EQ(ny.day, 1);
    EXPECT_EQ(ny.second, 1);
    EXPECT_EQ(d.positions[2].timestamp.month, 3);
    EXPECT_EQ(d.positions[2].timestamp.day, 2);
    EXPECT_EQ(d.positions[3].timestamp.second, 22);
}

// The recorder writes the clock it shows, as in the clip names: a record
// written at 08:15:22 says 08:15:22 in every time zone, in summer and winter,
// and even in the hour a daylight-saving change skips or repeats.
TEST_F(SensorDecode, TimestampIsTheRecordersClockInEveryZone) {
    struct Case {
        const char* text;
        const char* correction;
        SystemTime expected;  // year, month, day of week, day, hour, minute, second
    };
    const Case cases[] = {
        {"230715081522", "*00", {2023, 7, 6, 15, 8, 15, 22}},
        {"230715081522", "-07", {2023, 7, 6, 15, 8, 15, 15}},
        {"230326023000", "-07", {2023, 3, 0, 26, 2, 29, 53}},   // Berlin skips 02:00-03:00
        {"231029025959", "-07", {2023, 10, 0, 29, 2, 59, 52}},  // Berlin repeats 02:00-03:00
        {"230312023000", "+05", {2023, 3, 0, 12, 2, 30, 5}},    // New York skips 02:00-03:00
        {"230701000003", "-07", {2023, 6, 5, 30, 23, 59, 56}},  // back over midnight
        {"230715087599", "-07", {2023, 7, 6, 15, 9, 16, 32}},   // minute 75, second 99
    };
    BlockSpec spec;
    for (const Case& c : cases)
        spec.records.push_back(TypicalRecord().Put(34, c.text).Put(47, c.correction));
    const SystemTime name = RecordingDateTime(kFront);  // 2023-07-15 08:15:22
    for (const char* zone : {"Europe/Berlin", "America/New_York", "UTC"}) {
        setenv("TZ", zone, 1);
        tzset();
        const SensorBlockData d = Decode(spec);
        ASSERT_EQ(d.positions.size(), std::size(cases));
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            const SystemTime& st = d.positions[i].timestamp;
            const SystemTime& want = cases[i].expected;
            const std::string what = std::string(zone) + " " + cases[i].text;
            EXPECT_EQ(st.year, want.year) << what;
            EXPECT_EQ(st.month, want.month) << what;
            EXPECT_EQ(st.dayOfWeek, want.dayOfWeek) << what;
            EXPECT_EQ(st.day, want.day) << what;
            EXPECT_EQ(st.hour, want.hour) << what;
            EXPECT_EQ(st.minute, want.minute) << what;
            EXPECT_EQ(st.second, want.second) << what;
        }
        // A record without correction reads exactly as the clip's name.
        const SystemTime& first = d.positions[0].timestamp;
        EXPECT_EQ(std::tie(first.year, first.month, first.dayOfWeek, first.day, first.hour,
                           first.minute, first.second),
                  std::tie(name.year, name.month, name.dayOfWeek, name.day, name.hour, name.minute,
                           name.second))
            << zone;
    }
    test::UseUtc();
}

TEST_F(SensorDecode, HeaderChainLastUnitWins) {
    BlockSpec spec;
    spec.header.Put(0, "0100020003000400D").Put(23, "L");
    // The first record slot carries "@CSA" and a second unit, which marks a
    // third unit that does not qualify (lower-case letter).
    RecordBytes first = TypicalRecord();
    first.Put(2, "@CSA").Put(6, "1000 500 25 abc M123456HX2N0").Put(42, "@CSa");
    spec.records = {first, TypicalRecord()};
    const SensorBlockData d = Decode(spec);
    EXPECT_EQ(d.header.mode, 'M');
    EXPECT_FLOAT_EQ(d.header.thresholds[0], 1.0f);
    EXPECT_FLOAT_EQ(d.header.thresholds[1], 0.5f);
    EXPECT_FLOAT_EQ(d.header.thresholds[2], 0.025f);
    EXPECT_FLOAT_EQ(d.header.thresholds[3], 0.0f);  // "abc " holds no digit
    EXPECT_EQ(std::string(d.header.settings.begin(), d.header.settings.end()), "123456");
    EXPECT_EQ(d.header.quality, 'H');
    EXPECT_EQ(d.header.uninterpreted, 'X');
    EXPECT_EQ(d.header.positionMode, '2');
    EXPECT_EQ(d.header.speedFlag, 'N');
    EXPECT_EQ(d.header.receptionFlag, '0');
    EXPECT_EQ(d.header.timeLapse, 'N');
    // Records still start right after the first header.
    EXPECT_EQ(d.positions.size(), 2u);

    BlockSpec plain;
    plain.header.Put(16, "x");
    plain.records = {TypicalRecord()};
    const SensorBlockData p = Decode(plain);
    EXPECT_EQ(p.header.thresholds, (std::array<float, 4>{-1.0f, -1.0f, -1.0f, -1.0f}));
}

TEST_F(SensorDecode, TimeLapseRecordsAreSixtySixMillisecondsApart) {
    BlockSpec spec;
    spec.records.assign(31, TypicalRecord());
    const SensorBlockData d = Decode(spec, kTimeLapse);
    ASSERT_EQ(d.accels.size(), 31u);
    EXPECT_EQ(d.header.timeLapse, 'T');
    EXPECT_FLOAT_EQ(d.msPerRecord, 66.666664f);
    EXPECT_EQ(d.accels[15].recordMs, 999);
    EXPECT_EQ(d.accels[30].recordMs, 1999);
    EXPECT_EQ(d.positions[15].recordMs, 999);
    EXPECT_EQ(Decode(spec).accels[15].recordMs, 1500);
}

TEST_F(SensorDecode, CountsZeroUnlimitedAndShort) {
    BlockSpec zero;
    zero.records.assign(3, TypicalRecord());
    zero.countFromRecords = false;
    zero.count = 0;
    bool ok = false;
    SensorBlockData d = Decode(zero, kFront, &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(d.positions.empty());
    EXPECT_EQ(d.currentIndex, -1);

    BlockSpec unlimited = zero;
    unlimited.count = 0xFFFF;
    d = Decode(unlimited, kFront, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(d.positions.size(), 3u);
    EXPECT_EQ(d.currentIndex, 2);

    // An explicit count that meets the trailer first fails; what was decoded stays.
    BlockSpec tooMany = zero;
    tooMany.count = 5;
    d = Decode(tooMany, kFront, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(d.positions.size(), 3u);

    // No trailer at all: the decoder stops at the end of the bytes.
    BlockSpec cut = tooMany;
    cut.trailer = false;
    d = Decode(cut, kFront, &ok);
    EXPECT_FALSE(ok);
    cut.count = 0xFFFF;
    d = Decode(cut, kFront, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(d.positions.size(), 3u);

    // Fewer records than slots: the count rules.
    BlockSpec fewer = zero;
    fewer.count = 2;
    d = Decode(fewer, kFront, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(d.positions.size(), 2u);
    EXPECT_EQ(d.currentIndex, 1);
}

TEST_F(SensorDecode, ParkingClipsCarryNoPositions) {
    BlockSpec spec;
    spec.records.assign(3, TypicalRecord().Put(77, "----D--"));
    const SensorBlockData d = Decode(spec, kParking);
    ASSERT_EQ(d.positions.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const PositionEntry& p = d.positions[i];
        EXPECT_EQ(p.index, i);
        EXPECT_FALSE(p.valid);
        EXPECT_EQ(p.latitude, 720.0);
        EXPECT_EQ(p.speed, 32767.0);
        EXPECT_EQ(p.timestamp.year, 0);
        EXPECT_EQ(p.recordMs, static_cast<int>(i) * 100);
        EXPECT_EQ(d.accels[i].event, 7);
    }
    // The position-only decoder (the group track) decodes parking records too.
    const auto block = MakeBlock(spec);
    SensorBlockData track;
    ASSERT_TRUE(DecodeSensorPositions(block, track));
    ASSERT_EQ(track.positions.size(), 3u);
    EXPECT_TRUE(track.positions[2].valid);
    EXPECT_EQ(track.positions[2].recordMs, 200);
    EXPECT_TRUE(track.accels.empty());
}

TEST(SensorNumbers, HostileFieldsDoNotMisbehave) {
    BlockSpec spec;
    spec.records = {TypicalRecord().Put(9, "1e300    ").Put(30, "inf9").Put(62, "9e99 ")};
    const auto block = MakeBlock(spec);
    SensorBlockData d;
    ASSERT_TRUE(DecodeSensorBlock(block, kFront, d));
    EXPECT_GT(d.positions[0].latitude, 1000.0);
    EXPECT_TRUE(std::isinf(d.positions[0].speed));
    EXPECT_TRUE(std::isinf(d.accels[0].x));
    // Too short to hold a header and trailer.
    SensorBlockData none;
    EXPECT_FALSE(DecodeSensorBlock(std::span(block).first(60), kFront, none));
}

}  // namespace
}  // namespace trivexa
