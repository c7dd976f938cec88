// The sensor block the recorder appends after the AVI index: a 40-byte
// "CSMDAT" header, fixed 130-byte text records and a 28-byte "CSMEND" trailer.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>

#include "clipforge/clipforge.h"
#include "clipforge/forge_internal.h"

namespace trivexa::clipforge {
namespace {

using detail::PutBe16;
using detail::PutBe32;
using detail::PutText;

// Record field offsets.
constexpr size_t kRecLeader = 0;  // 8 bytes the reader skips
constexpr size_t kRecStatus = 8;
constexpr size_t kRecLatitude = 9;
constexpr size_t kRecLatitudeSign = 18;
constexpr size_t kRecLongitude = 19;
constexpr size_t kRecLongitudeSign = 29;
constexpr size_t kRecSpeed = 30;
constexpr size_t kRecDateTime = 34;
constexpr size_t kRecSep1 = 46;
constexpr size_t kRecCorrection = 47;
constexpr size_t kRecSep2 = 50;
constexpr size_t kRecVoltage = 51;
constexpr size_t kRecSensorTag = 54;  // 8 bytes the reader skips
constexpr size_t kRecAccelX = 62;
constexpr size_t kRecAccelY = 67;
constexpr size_t kRecAccelZ = 72;
constexpr size_t kRecMark5 = 77;
constexpr size_t kRecAxis = 78;
constexpr size_t kRecDriveSupport = 79;
constexpr size_t kRecMark6 = 80;
constexpr size_t kRecMark7 = 81;
constexpr size_t kRecMark8 = 82;
constexpr size_t kRecMark9 = 83;
constexpr size_t kRecVehicleStatus = 84;
constexpr size_t kRecVehicleWords = 88;
constexpr size_t kRecMic = 128;
constexpr size_t kRecLevels = 129;

// Header: "CSMDAT", then a 32-byte unit, then the big-endian record count.
constexpr size_t kHdrUnit = 6;
constexpr size_t kHdrCount = 38;
// Unit field offsets.
constexpr size_t kUnitThresholds = 0;  // four 4-digit fields
constexpr size_t kUnitMode = 16;
constexpr size_t kUnitSix = 17;
constexpr size_t kUnitQuality = 23;
constexpr size_t kUnitChar24 = 24;
constexpr size_t kUnitPositionMode = 25;
constexpr size_t kUnitSpeedDisplay = 26;
constexpr size_t kUnitReception = 27;
constexpr size_t kUnitReserved = 28;
constexpr size_t kUnitLength = 32;
// A further unit is announced by "@CS" and an upper-case letter at unit
// offset 36 and starts at unit offset 40.
constexpr size_t kUnitChainMarker = 36;
constexpr size_t kUnitStride = 40;

// Trailer.
constexpr size_t kTrlModel = 6;
constexpr size_t kTrlReserved1 = 14;  // 2 bytes
constexpr size_t kTrlCount = 16;
constexpr size_t kTrlReserved2 = 20;  // 8 bytes

std::string Fixed(const char* fmt, double v, size_t width) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    std::string s(buf);
    if (s.size() > width) s.resize(width);
    return s;
}

// NMEA form: degrees × 100 + minutes, e.g. 35.652057° -> 3539.1234.
std::string Nmea(double degrees, size_t width) {
    double a = std::fabs(degrees);
    double whole = std::floor(a);
    double minutes = (a - whole) * 60.0;
    // Rounding the minutes may reach 60.0000; carry it into the degrees.
    if (std::round(minutes * 10000.0) >= 600000.0) {
        whole += 1;
        minutes = 0;
    }
    const char* fmt = width == 9 ? "%09.4f" : "%010.4f";
    return Fixed(fmt, whole * 100.0 + minutes, width);
}

std::string Signed5(int v) {
    v = std::clamp(v, -9999, 9999);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%+05d", v);
    return buf;
}

void PutUnit(std::vector<uint8_t>& b, size_t unitStart, const SensorHeaderUnit& u) {
    for (int i = 0; i < 4; ++i) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d", std::clamp(u.thresholds[i], 0, 9999));
        PutText(b, unitStart + kUnitThresholds + 4 * i, buf);
    }
    b[unitStart + kUnitMode] = static_cast<uint8_t>(u.mode);
    std::string six = u.six;
    six.resize(6, ' ');
    PutText(b, unitStart + kUnitSix, six);
    b[unitStart + kUnitQuality] = static_cast<uint8_t>(u.quality);
    b[unitStart + kUnitChar24] = static_cast<uint8_t>(u.unit24);
    b[unitStart + kUnitPositionMode] = static_cast<uint8_t>(u.positionMode);
    b[unitStart + kUnitSpeedDisplay] = static_cast<uint8_t>(u.speedDisplay);
    b[unitStart + kUnitReception] = static_cast<uint8_t>(u.receptionMark);
    PutText(b, unitStart + kUnitReserved, "    ");
}

}  // namespace

std::array<uint8_t, kRecordSize> EncodeRecord(const SensorSample& s) {
    std::vector<uint8_t> r(kRecordSize, ' ');
    PutText(r, kRecLeader, "$CSMREC,");
    r[kRecStatus] = s.fix ? 'A' : 'V';
    if (s.latitude) {
        PutText(r, kRecLatitude, Nmea(*s.latitude, 9));
        r[kRecLatitudeSign] = *s.latitude < 0 ? 0x00 : 'N';
    }
    if (s.longitude) {
        PutText(r, kRecLongitude, Nmea(*s.longitude, 10));
        r[kRecLongitudeSign] = *s.longitude < 0 ? 0x00 : 'E';
    }
    if (s.speedKmh) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d", std::clamp(*s.speedKmh, 0, 9999));
        PutText(r, kRecSpeed, buf);
    }
    {
        char buf[32];
        const DateTime& t = s.time;
        std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%02d%02d", ((t.year % 100) + 100) % 100,
                      t.month % 100, t.day % 100, t.hour % 100, t.minute % 100, t.second % 100);
        PutText(r, kRecDateTime, std::string_view(buf, 12));
    }
    r[kRecSep1] = ',';
    if (s.correction) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%+03d", std::clamp(*s.correction, -99, 99));
        PutText(r, kRecCorrection, buf);
    } else {
        PutText(r, kRecCorrection, "***");
    }
    r[kRecSep2] = ',';
    if (s.voltageTenths >= 0) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%03d", std::min(s.voltageTenths, 999));
        PutText(r, kRecVoltage, buf);
    }
    PutText(r, kRecSensorTag, "$CSMACC,");
    PutText(r, kRecAccelX, Signed5(s.accelX));
    PutText(r, kRecAccelY, Signed5(s.accelY));
    PutText(r, kRecAccelZ, Signed5(s.accelZ));
    r[kRecMark5] = s.manual ? 'D' : '-';
    r[kRecAxis] = static_cast<uint8_t>(s.axis);
    r[kRecDriveSupport] = static_cast<uint8_t>(s.driveSupport);
    r[kRecMark6] = s.emergencyStop ? 'D' : '-';
    r[kRecMark7] = s.parkingShock ? 'D' : '-';
    r[kRecMark8] = s.overspeed ? 'D' : '-';
    r[kRecMark9] = s.approach ? 'D' : '-';
    for (size_t i = 0; i < 4; ++i) r[kRecVehicleStatus + i] = s.vehicleStatus[i];
    for (size_t i = 0; i < 18; ++i) detail::Put16(r, kRecVehicleWords + 2 * i, s.vehicleWords[i]);
    r[kRecMic] = static_cast<uint8_t>(s.mic);
    r[kRecLevels] = s.levels;
    std::array<uint8_t, kRecordSize> out{};
    std::copy(r.begin(), r.end(), out.begin());
    return out;
}

std::vector<SensorSample> ScriptedDrive(const DriveScript& script) {
    std::vector<SensorSample> out;
    const int n = std::max(script.records, 0);
    out.reserve(static_cast<size_t>(n));
    std::mt19937 rng(script.seed);
    std::normal_distribution<double> jitter(0.0, 12.0);
    const DateTime start = script.start.value_or(DateTime{});

    // The road: straight stretches joined by turns, as headings (degrees from
    // north) held for a number of records. The car slows into each turn.
    struct Leg {
        double heading;
        int records;
    };
    const Leg legs[] = {{60, 220}, {95, 160}, {20, 260}, {-30, 180}, {10, 300}, {120, 200}};
    const double metresPerDegLat = 111320.0;
    const double metresPerDegLon = 111320.0 * std::cos(script.startLatitude * M_PI / 180.0);

    double lat = script.startLatitude, lon = script.startLongitude;
    double speed = script.parked ? 0.0 : 18.0;
    double prevSpeed = speed;
    int legIndex = 0, inLeg = 0;
    for (int i = 0; i < n; ++i) {
        const Leg& leg = legs[legIndex % std::size(legs)];
        // Speed profile: accelerate along the straight, slow down near its end.
        double target = 0;
        double maxGain = 0.8;
        if (!script.parked) {
            int left = leg.records - inLeg;
            target = left < 40 ? 22.0 : (leg.heading > 90 ? 38.0 : 52.0);
            if (script.overspeedAt >= 0 && i >= script.overspeedAt && i < script.overspeedAt + 30) {
                target = 92.0;
                maxGain = 3.0;
            }
        }
        speed += std::clamp(target - speed, -1.5, maxGain);
        const double dt = 0.1;  // seconds of driving per record
        double d = speed / 3.6 * dt;
        double h = leg.heading * M_PI / 180.0;
        lat += d * std::cos(h) / metresPerDegLat;
        lon += d * std::sin(h) / metresPerDegLon;
        if (++inLeg >= leg.records) {
            inLeg = 0;
            ++legIndex;
        }

        SensorSample s;
        s.time = detail::AddSeconds(start, i / 10);
        s.correction = std::nullopt;
        const bool gap = script.parked || (i >= script.gapBegin && i < script.gapEnd);
        s.fix = !gap;
        if (!gap) {
            s.latitude = lat;
            s.longitude = lon;
            s.speedKmh = static_cast<int>(std::lround(speed));
        }
        // Longitudinal acceleration follows the speed change; lateral follows
        // the turns; vertical is 1 G with road bumps.
        double ax = (speed - prevSpeed) / 3.6 / dt / 9.81 * 1000.0 + jitter(rng);
        double ay = (inLeg < 25 && legIndex > 0 ? 180.0 : 0.0) + jitter(rng);
        double az = -1000.0 + jitter(rng) * 2.0;
        prevSpeed = speed;
        s.accelX = static_cast<int>(std::lround(ax));
        s.accelY = static_cast<int>(std::lround(ay));
        s.accelZ = static_cast<int>(std::lround(az));
        s.axis = 'N';  // an axis letter only where a shock names one
        s.voltageTenths = script.voltageTenths;
        s.mic = script.mic;
        s.levels = static_cast<uint8_t>(((i / 50) % 4) << 4 | ((i / 70) % 3));
        s.vehicleStatus = {'0', '0', '0', '0'};
        for (size_t w = 0; w < s.vehicleWords.size(); ++w)
            s.vehicleWords[w] = static_cast<uint16_t>(w == 0 ? std::lround(speed) : w * 10);

        auto near = [i](int at, int span) { return at >= 0 && i >= at && i < at + span; };
        if (near(script.shockAt, 3)) {
            // A knock from the side: a spike on Y that names its axis.
            s.accelY = (i == script.shockAt) ? 1850 : 900;
            s.axis = 'Y';
            if (script.parked) s.parkingShock = true;
        }
        if (script.parked && near(script.shockAt, 1)) s.parkingShock = true;
        s.manual = near(script.manualAt, 1);
        s.overspeed = near(script.overspeedAt, 30);
        s.approach = near(script.approachAt, 5);
        if (near(script.brakingAt, 4)) {
            s.driveSupport = 'B';
            s.accelX = -650;
        } else if (near(script.accelerationAt, 4)) {
            s.driveSupport = 'A';
            s.accelX = 480;
        } else if (near(script.steeringAt, 4)) {
            s.driveSupport = 'H';
            s.accelY = -520;
            s.axis = 'Y';
        }
        out.push_back(s);
    }
    return out;
}

std::vector<uint8_t> EncodeSensorBlock(const SensorSpec& spec) {
    const size_t records = spec.samples.size();
    const size_t slots = std::max(records, static_cast<size_t>(std::max(spec.slots, 0)));
    const size_t size = kSensorHeaderSize + kRecordSize * slots + kSensorTrailerSize;
    std::vector<uint8_t> b(size, ' ');

    PutText(b, 0, "CSMDAT");
    PutUnit(b, kHdrUnit, spec.header);
    uint16_t count = 0;
    switch (spec.countMode) {
        case CountMode::Exact:
            count = static_cast<uint16_t>(std::min<size_t>(records, 0xFFFE));
            break;
        case CountMode::Unlimited:
            count = 0xFFFF;
            break;
        case CountMode::Zero:
            count = 0;
            break;
        case CountMode::Given:
            count = spec.headerCount;
            break;
    }
    PutBe16(b, kHdrCount, count);

    for (size_t i = 0; i < records; ++i) {
        auto rec = EncodeRecord(spec.samples[i]);
        std::copy(rec.begin(), rec.end(),
                  b.begin() + static_cast<long>(kSensorHeaderSize + i * kRecordSize));
    }

    // Chained units overlay the start of the record area; each is announced
    // by a marker in the four bytes after the previous unit's fields.
    size_t unit = kHdrUnit;
    char letter = 'A';
    for (const SensorHeaderUnit& u : spec.chained) {
        size_t next = unit + kUnitStride;
        if (next + kUnitLength > kSensorHeaderSize + kRecordSize * slots) break;
        PutText(b, unit + kUnitChainMarker, "@CS");
        b[unit + kUnitChainMarker + 3] = static_cast<uint8_t>(letter);
        letter = letter == 'Z' ? 'A' : static_cast<char>(letter + 1);
        PutUnit(b, next, u);
        unit = next;
    }

    const size_t trl = kSensorHeaderSize + kRecordSize * slots;
    PutText(b, trl, "CSMEND");
    std::string model = spec.model;
    model.resize(8, ' ');
    PutText(b, trl + kTrlModel, model);
    PutText(b, trl + kTrlReserved1, "  ");
    PutBe32(b, trl + kTrlCount, spec.trailerCount.value_or(static_cast<uint32_t>(slots)));
    PutText(b, trl + kTrlReserved2, "        ");
    return b;
}

}  // namespace trivexa::clipforge
