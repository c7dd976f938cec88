// The 130-byte records, the block header chain and trailer, and the scripted
// drive, checked byte by byte against the record layout.

#include <gtest/gtest.h>

#include <cmath>

#include "forge_test_util.h"

namespace trivexa::clipforge::testing {
namespace {

std::string Str(const std::array<uint8_t, kRecordSize>& r, size_t off, size_t n) {
    return std::string(reinterpret_cast<const char*>(r.data()) + off, n);
}
std::string Str(const std::vector<uint8_t>& b, size_t off, size_t n) {
    return std::string(reinterpret_cast<const char*>(b.data()) + off, n);
}

TEST(SensorRecord, FieldsAtTheirOffsets) {
    SensorSample s;
    s.fix = true;
    s.latitude = 35.652057;  // 35° 39.1234'
    s.longitude = -139.5;
    s.speedKmh = 57;
    s.time = DateTime{2023, 7, 15, 8, 15, 22};
    s.correction = -9;
    s.voltageTenths = 124;
    s.accelX = 123;
    s.accelY = -45;
    s.accelZ = -1000;
    s.manual = true;
    s.axis = 'Z';
    s.driveSupport = 'B';
    s.overspeed = true;
    s.vehicleStatus = {'1', '2', '3', '4'};
    s.vehicleWords[0] = 0x2020;
    s.vehicleWords[17] = 0x3FFF;
    s.mic = 'r';
    s.levels = 0x5A;
    auto r = EncodeRecord(s);
    EXPECT_NE(Str(r, 0, 6), "CSMEND");
    EXPECT_EQ(r[8], 'A');
    EXPECT_EQ(Str(r, 9, 9), "3539.1234");
    EXPECT_NE(r[18], 0);
    EXPECT_EQ(Str(r, 19, 10), "13930.0000");
    EXPECT_EQ(r[29], 0);  // west: zero sign byte
    EXPECT_EQ(std::atoi(Str(r, 30, 4).c_str()), 57);
    EXPECT_EQ(Str(r, 34, 12), "230715081522");
    EXPECT_EQ(std::atoi(Str(r, 47, 3).c_str()), -9);
    EXPECT_EQ(Str(r, 51, 3), "124");
    EXPECT_EQ(std::atoi(Str(r, 62, 5).c_str()), 123);
    EXPECT_EQ(std::atoi(Str(r, 67, 5).c_str()), -45);
    EXPECT_EQ(std::atoi(Str(r, 72, 5).c_str()), -1000);
    EXPECT_EQ(r[77], 'D');
    EXPECT_EQ(r[78], 'Z');
    EXPECT_EQ(r[79], 'B');
    EXPECT_NE(r[80], 'D');
    EXPECT_NE(r[81], 'D');
    EXPECT_EQ(r[82], 'D');
    EXPECT_NE(r[83], 'D');
    EXPECT_EQ(Str(r, 84, 4), "1234");
    EXPECT_EQ(r[88], 0x20);
    EXPECT_EQ(r[89], 0x20);
    EXPECT_EQ(r[122], 0xFF);  // low byte first
    EXPECT_EQ(r[123], 0x3F);
    EXPECT_EQ(r[128], 'r');
    EXPECT_EQ(r[129], 0x5A);

    // Absent values are spaces (no digit), no correction is '*'.
    SensorSample none;
    none.fix = false;
    none.voltageTenths = -1;
    auto e = EncodeRecord(none);
    EXPECT_NE(e[8], 'A');
    EXPECT_EQ(Str(e, 9, 9), std::string(9, ' '));
    EXPECT_EQ(Str(e, 19, 10), std::string(10, ' '));
    EXPECT_EQ(Str(e, 30, 4), "    ");
    EXPECT_EQ(e[47], '*');
    EXPECT_EQ(Str(e, 51, 3), "   ");

    // Minutes that round up to 60 carry into the degrees.
    SensorSample edge;
    edge.latitude = 35.9999999;
    edge.longitude = 5.25;
    auto c = EncodeRecord(edge);
    EXPECT_EQ(Str(c, 9, 9), "3600.0000");
    EXPECT_EQ(Str(c, 19, 10), "00515.0000");
}

TEST(SensorBlock, CountsSlotsAndTrailer) {
    SensorSpec spec;
    spec.samples.resize(5);
    spec.slots = 8;
    spec.model = "PL35-XQR";
    auto b = EncodeSensorBlock(spec);
    ASSERT_EQ(b.size(), 68u + 130u * 8);
    EXPECT_EQ(Str(b, 0, 6), "CSMDAT");
    EXPECT_EQ(b[38] << 8 | b[39], 5);
    EXPECT_EQ(Str(b, 40 + 130 * 5, 130), std::string(130, ' '));  // spare slot
    const size_t t = b.size() - 28;
    EXPECT_EQ(Str(b, t, 6), "CSMEND");
    EXPECT_EQ(Str(b, t + 6, 8), "PL35-XQR");
    EXPECT_EQ(b[t + 16] << 24 | b[t + 17] << 16 | b[t + 18] << 8 | b[t + 19], 8);
    EXPECT_EQ(Str(b, 6, 16), "0300050008001000");  // thresholds in thousandths
    EXPECT_EQ(b[22], 'M');

    spec.countMode = CountMode::Unlimited;
    b = EncodeSensorBlock(spec);
    EXPECT_EQ(b[38], 0xFF);
    EXPECT_EQ(b[39], 0xFF);
    spec.countMode = CountMode::Zero;
    b = EncodeSensorBlock(spec);
    EXPECT_EQ(b[38] << 8 | b[39], 0);
    spec.countMode = CountMode::Given;
    spec.headerCount = 300;
    spec.trailerCount = 7;
    b = EncodeSensorBlock(spec);
    EXPECT_EQ(b[38] << 8 | b[39], 300);
    EXPECT_EQ(b[b.size() - 9], 7);
}

TEST(SensorBlock, ChainedHeaderUnits) {
    SensorSpec spec;
    spec.samples.resize(3);
    spec.chained.resize(2);
    spec.chained[0].mode = 'X';
    spec.chained[1].mode = 'D';
    spec.chained[1].quality = 'L';
    spec.chained[1].thresholds = {1, 22, 333, 4444};
    auto b = EncodeSensorBlock(spec);
    // Each unit starts 40 bytes after the previous one; "@CS" and a capital
    // letter in the four bytes at unit offset 36 announce the next.
    EXPECT_EQ(Str(b, 42, 3), "@CS");
    EXPECT_TRUE(std::isupper(b[45]));
    EXPECT_EQ(b[46 + 16], 'X');
    EXPECT_EQ(Str(b, 82, 3), "@CS");
    EXPECT_EQ(b[86 + 16], 'D');
    EXPECT_EQ(b[86 + 23], 'L');
    EXPECT_EQ(Str(b, 86, 16), "0001002203334444");
    EXPECT_NE(Str(b, 122, 3), "@CS");  // the chain ends with the last unit
    // Record slots still start at 40; the header count is unchanged.
    EXPECT_EQ(b[38] << 8 | b[39], 3);
    EXPECT_EQ(b.size(), 68u + 130u * 3);
}

TEST(ScriptedDrive, TrackGapsEventsAndTime) {
    DriveScript d;
    d.records = 900;
    d.start = DateTime{2023, 12, 31, 23, 59, 50};
    d.gapBegin = 100;
    d.gapEnd = 150;
    d.shockAt = 300;
    d.manualAt = 310;
    d.overspeedAt = 400;
    d.approachAt = 500;
    d.brakingAt = 600;
    d.accelerationAt = 650;
    d.steeringAt = 700;
    auto s = ScriptedDrive(d);
    ASSERT_EQ(s.size(), 900u);
    // Ten records a second; the clock runs across the new year.
    EXPECT_EQ(s[0].time.second, 50);
    EXPECT_EQ(s[100].time.year, 2024);
    EXPECT_EQ(s[100].time.month, 1);
    EXPECT_EQ(s[100].time.second, 0);

    double prevLat = 0, prevLon = 0;
    bool have = false;
    for (size_t i = 0; i < s.size(); ++i) {
        bool gap = i >= 100 && i < 150;
        EXPECT_EQ(s[i].fix, !gap) << i;
        EXPECT_EQ(s[i].latitude.has_value(), !gap);
        if (gap) continue;
        ASSERT_TRUE(s[i].speedKmh);
        EXPECT_LE(*s[i].speedKmh, 100);
        if (have) {
            // No jumps: at most ~100 km/h for the records in between.
            double dy = (*s[i].latitude - prevLat) * 111320.0;
            double dx = (*s[i].longitude - prevLon) * 111320.0 * std::cos(35.66 * M_PI / 180);
            EXPECT_LT(std::hypot(dx, dy), i == 150 ? 150.0 : 3.0) << i;
        }
        prevLat = *s[i].latitude;
        prevLon = *s[i].longitude;
        have = true;
    }
    EXPECT_GT(s[300].accelY, 1000);
    EXPECT_EQ(s[300].axis, 'Y');
    EXPECT_TRUE(s[310].manual);
    EXPECT_FALSE(s[311].manual);
    EXPECT_TRUE(s[410].overspeed);
    EXPECT_GT(*s[429].speedKmh, 80);
    EXPECT_TRUE(s[500].approach);
    EXPECT_EQ(s[600].driveSupport, 'B');
    EXPECT_EQ(s[650].driveSupport, 'A');
    EXPECT_EQ(s[700].driveSupport, 'H');
    EXPECT_EQ(s[50].driveSupport, 'N');

    DriveScript parked;
    parked.records = 50;
    parked.parked = true;
    parked.shockAt = 10;
    auto p = ScriptedDrive(parked);
    EXPECT_FALSE(p[0].fix);
    EXPECT_TRUE(p[10].parkingShock);
    EXPECT_FALSE(p[20].parkingShock);
}

}  // namespace
}  // namespace trivexa::clipforge::testing
