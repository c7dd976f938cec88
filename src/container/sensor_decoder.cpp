#include "container/sensor_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "container/mapped_file.h"
#include "platform/locale.h"

namespace trivexa {
namespace {

constexpr std::string_view kChainMagic = "@CS";

// Header unit fields (offsets inside one 40-byte unit).
constexpr std::size_t kUnitThresholds = 0;  // four 4-character fields
constexpr std::size_t kThresholdWidth = 4;
constexpr std::size_t kUnitMode = 16;
constexpr std::size_t kUnitSettings = 17;
constexpr std::size_t kUnitQuality = 23;
constexpr std::size_t kUnitUninterpreted = 24;
constexpr std::size_t kUnitPositionMode = 25;
constexpr std::size_t kUnitSpeedFlag = 26;
constexpr std::size_t kUnitReceptionFlag = 27;
constexpr std::size_t kUnitFieldsEnd = 28;
constexpr std::size_t kUnitChain = 36;  // "@CS" and an upper-case letter

// Record fields (offsets inside one 130-byte record).
constexpr std::size_t kRecGpsStatus = 8;
constexpr std::size_t kRecLatitude = 9;
constexpr std::size_t kRecLatitudeWidth = 9;
constexpr std::size_t kRecLatitudeSign = 18;
constexpr std::size_t kRecLongitude = 19;
constexpr std::size_t kRecLongitudeWidth = 10;
constexpr std::size_t kRecLongitudeSign = 29;
constexpr std::size_t kRecSpeed = 30;
constexpr std::size_t kRecSpeedWidth = 4;
constexpr std::size_t kRecDateTime = 34;  // YYMMDDhhmmss, year 2000 + YY
constexpr int kRecYearBase = 2000;
constexpr std::size_t kRecDateTimeWidth = 12;
constexpr std::size_t kRecCorrection = 47;
constexpr std::size_t kRecCorrectionWidth = 3;
constexpr std::size_t kRecVoltage = 51;
constexpr std::size_t kRecVoltageWidth = 3;
constexpr std::size_t kRecAccelX = 62;
constexpr std::size_t kRecAccelY = 67;
constexpr std::size_t kRecAccelZ = 72;
constexpr std::size_t kRecAccelWidth = 5;
constexpr std::size_t kRecMark5 = 77;
constexpr std::size_t kRecAxis = 78;
constexpr std::size_t kRecDriveSupport = 79;
constexpr std::size_t kRecMark6 = 80;
constexpr std::size_t kRecMark7 = 81;
constexpr std::size_t kRecMark8 = 82;
constexpr std::size_t kRecMark9 = 83;
constexpr std::size_t kRecVehicleStatus = 84;
constexpr std::size_t kRecVehicleWords = 88;
constexpr std::size_t kRecMicrophone = 128;
constexpr std::size_t kRecLevels = 129;

constexpr float kThousand = 1000.0f;
constexpr float kNoThreshold = -1.0f;

std::string_view Field(const std::byte* p, std::size_t width) {
    return {reinterpret_cast<const char*>(p), width};
}

char At(const std::byte* p, std::size_t offset) { return static_cast<char>(p[offset]); }

bool HasDigit(std::string_view field) {
    return std::any_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Record time: index × step in single precision, truncated.
std::int32_t RecordTime(std::uint32_t index, float step) {
    const float t = static_cast<float>(index) * step;
    if (!(t < static_cast<float>(std::numeric_limits<std::int32_t>::max()))) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(t);
}

// The record's YYMMDDhhmmss plus the correction in seconds, as local
// wall-clock time. The recorder writes the clock it shows, like the times in
// the recording names, so both go through the same calendar arithmetic and
// no time zone or daylight saving shift applies. Consecutive records usually
// share the same text, so the last conversion is remembered.
class TimestampDecoder {
public:
    SystemTime Decode(const std::byte* record) {
        const std::string_view text = Field(record + kRecDateTime, kRecDateTimeWidth);
        const std::string_view correction = Field(record + kRecCorrection, kRecCorrectionWidth);
        if (valid_ && text == lastText_ && correction == lastCorrection_) return last_;
        lastText_.assign(text);
        lastCorrection_.assign(correction);
        valid_ = true;
        last_ = Convert(text, correction);
        return last_;
    }

private:
    static int Pair(std::string_view text, std::size_t i) {
        return ParseSensorInt(text.substr(2 * i, 2), 0);
    }

    static SystemTime Convert(std::string_view text, std::string_view correction) {
        long long seconds = Pair(text, 3) * 3600LL + Pair(text, 4) * 60LL + Pair(text, 5);
        if (correction.front() != '*') seconds += ParseSensorInt(correction, 0);
        return NormalizedWallClock(kRecYearBase + Pair(text, 0), Pair(text, 1), Pair(text, 2),
                                   seconds);
    }

    bool valid_ = false;
    std::string lastText_;
    std::string lastCorrection_;
    SystemTime last_{};
};

// True when the chain ended inside `block`; false when the block ran out
// first (a longer stretch of the same block may hold further units).
bool DecodeHeaderChain(std::span<const std::byte> block, std::string_view fileName,
                       SensorHeader& header, float& msPerRecord) {
    const bool timeLapse = IsTimeLapse(fileName);
    std::size_t unit = sensor::kHeaderUnitOffset;
    while (block.size() >= unit + kUnitFieldsEnd) {
        const std::byte* u = block.data() + unit;
        header.mode = At(u, kUnitMode);
        const bool thresholdsValid = header.mode == 'M' || header.mode == 'D';
        for (std::size_t k = 0; k < header.thresholds.size(); ++k) {
            header.thresholds[k] =
                thresholdsValid
                    ? static_cast<float>(ParseSensorFloat(
                          Field(u + kUnitThresholds + k * kThresholdWidth, kThresholdWidth), 0.0)) /
                          kThousand
                    : kNoThreshold;
        }
        for (std::size_t k = 0; k < header.settings.size(); ++k) {
            header.settings[k] = At(u, kUnitSettings + k);
        }
        header.quality = At(u, kUnitQuality);
        header.uninterpreted = At(u, kUnitUninterpreted);
        header.positionMode = At(u, kUnitPositionMode);
        header.speedFlag = At(u, kUnitSpeedFlag);
        header.receptionFlag = At(u, kUnitReceptionFlag);
        header.timeLapse = timeLapse ? 'T' : 'N';
        msPerRecord = timeLapse ? sensor::kTimeLapseRecordStepMs : sensor::kRecordStepMs;

        // A further unit follows when this one ends in "@CS" and a capital.
        const std::size_t chain = unit + kUnitChain;
        if (block.size() < chain + 4) return false;
        if (!sensor::HasMagicAt(block, chain, kChainMagic)) return true;
        const char letter = At(block.data(), chain + 3);
        if (letter < 'A' || letter > 'Z') return true;
        unit += sensor::kHeaderUnitSize;
    }
    return false;
}

void DecodePosition(const std::byte* r, std::uint32_t index, float step, TimestampDecoder& clock,
                    PositionEntry& e) {
    e.index = index;
    e.recordMs = RecordTime(index, step);
    e.valid = At(r, kRecGpsStatus) == 'A';
    e.speed = ParseSensorFloat(Field(r + kRecSpeed, kRecSpeedWidth), sensor::kNoSpeed);
    const std::string_view lat = Field(r + kRecLatitude, kRecLatitudeWidth);
    e.latitude = HasDigit(lat) ? NmeaDegrees(ParseSensorFloat(lat, 0.0), r[kRecLatitudeSign])
                               : sensor::kNoDegrees;
    const std::string_view lng = Field(r + kRecLongitude, kRecLongitudeWidth);
    e.longitude = HasDigit(lng) ? NmeaDegrees(ParseSensorFloat(lng, 0.0), r[kRecLongitudeSign])
                                : sensor::kNoDegrees;
    e.reserved = 0.0;
    e.timestamp = clock.Decode(r);
}

double Acceleration(const std::byte* r, std::size_t offset) {
    const float thousandths =
        static_cast<float>(ParseSensorFloat(Field(r + offset, kRecAccelWidth), 0.0));
    return static_cast<double>(thousandths / kThousand);
}

void DecodeAccel(const std::byte* r, std::uint32_t index, float step, AccelEntry& e) {
    e.index = index;
    e.x = Acceleration(r, kRecAccelX);
    e.y = Acceleration(r, kRecAccelY);
    e.z = Acceleration(r, kRecAccelZ);
    auto marked = [&](std::size_t offset) { return At(r, offset) == 'D'; };
    if (marked(kRecMark6)) {
        e.event = 6;
    } else if (marked(kRecMark5)) {
        e.event = 5;
    } else if (marked(kRecMark7)) {
        e.event = 7;
    } else {
        switch (At(r, kRecDriveSupport)) {
            case 'H':
                e.event = 10;
                break;
            case 'A':
                e.event = 11;
                break;
            case 'B':
                e.event = 12;
                break;
            default:
                e.event = -1;
                break;
        }
    }
    e.overspeedMark = marked(kRecMark8) ? 8 : 0;
    e.approachMark = marked(kRecMark9) ? 9 : 0;
    switch (At(r, kRecAxis)) {
        case 'X':
            e.axis = 1;
            break;
        case 'Y':
            e.axis = 2;
            break;
        case 'Z':
            e.axis = 3;
            break;
        default:
            e.axis = 0;
            break;
    }
    e.recordMs = RecordTime(index, step);
    e.voltage = ParseSensorInt(Field(r + kRecVoltage, kRecVoltageWidth), sensor::kNoVoltage);
    const auto status = static_cast<std::uint8_t>(r[kRecMicrophone]);
    e.status = status;
    const auto levels = static_cast<std::uint8_t>(r[kRecLevels]);
    e.levelHigh = levels >> 4;
    e.levelLow = levels & 0x0F;
}

void DecodeVehicle(const std::byte* r, std::uint32_t index, VehicleEntry& e) {
    e.index = index;
    for (std::size_t k = 0; k < e.status.size(); ++k) {
        e.status[k] = static_cast<std::uint8_t>(r[kRecVehicleStatus + k]);
    }
    for (std::size_t k = 0; k < e.words.size(); ++k) {
        e.words[k] = LoadLe16(r + kRecVehicleWords + 2 * k);
    }
}

// Walks the record slots the way both decoders do: an explicit count stops
// after that many slots and fails when the trailer (or the end of the bytes)
// comes first; 0xFFFF reads until the trailer. Returns false on failure; the
// entries decoded so far stay.
template <typename PerRecord>
bool WalkRecords(std::span<const std::byte> block, std::int32_t& currentIndex,
                 PerRecord&& perRecord) {
    const std::uint16_t count = LoadBe16(block.data() + sensor::kHeaderCountOffset);
    currentIndex = 0;
    if (count == 0) {
        currentIndex = -1;
        return true;
    }
    const bool unlimited = count == sensor::kCountUntilTrailer;
    const std::size_t slotsInBlock = (block.size() - sensor::kHeaderSize) / sensor::kRecordSize;
    std::uint32_t i = 0;
    for (;;) {
        const std::size_t slot = sensor::kHeaderSize + sensor::kRecordSize * i;
        if (sensor::HasMagicAt(block, slot, sensor::kTrailerMagic)) {
            if (unlimited) break;
            return false;  // the count promised more records than there are
        }
        if (i >= slotsInBlock) {
            // No room for another record before the end of the file.
            if (unlimited) break;
            return false;
        }
        perRecord(block.data() + slot, i);
        ++currentIndex;
        ++i;
        if (!unlimited && i >= count) break;
    }
    --currentIndex;
    return true;
}

std::size_t ExpectedRecords(std::span<const std::byte> block) {
    const std::uint16_t count = LoadBe16(block.data() + sensor::kHeaderCountOffset);
    const std::size_t room = (block.size() - sensor::kHeaderSize) / sensor::kRecordSize;
    return count == sensor::kCountUntilTrailer ? room : std::min<std::size_t>(count, room);
}

}  // namespace

std::string SensorHeader::ModelText() const {
    const auto end = std::find(model.begin(), model.end(), '\0');
    return {model.begin(), end};
}

namespace {

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The plain fields the recorder writes ("+0042", "3539.1234") without the
// general parser: at most 15 significant digits divided once by an exact
// power of ten round exactly as strtod does. Anything else (exponents, hex,
// inf/nan, long digit strings) is left to strtod.
bool ParsePlainDecimal(std::string_view field, double& out) {
    static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = 0;
    while (i < field.size() && IsCSpace(field[i])) ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    std::uint64_t mantissa = 0;
    int digits = 0, fraction = 0;
    bool point = false;
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (c >= '0' && c <= '9') {
            if (++digits > 15) return false;
            mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
            if (point) ++fraction;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    if (i < field.size()) {
        const char c = field[i];
        if (c == 'e' || c == 'E' || c == 'x' || c == 'X' || c == '\0') return false;
    }
    const double v = static_cast<double>(mantissa) / kPow10[fraction];
    out = negative ? -v : v;
    return true;
}

}  // namespace

double ParseSensorFloat(std::string_view field, double noValue) {
    if (!HasDigit(field)) return noValue;
    double plain = 0.0;
    if (ParsePlainDecimal(field, plain)) return plain;
    // Numbers in the block use '.' whatever the user's locale.
    return platform::ParseDoubleInCLocale(field.substr(0, 31)).value;
}

std::int32_t ParseSensorInt(std::string_view field, std::int32_t noValue) {
    if (!HasDigit(field)) return noValue;
    char text[32] = {};
    const std::size_t n = std::min(field.size(), sizeof text - 1);
    std::memcpy(text, field.data(), n);
    const long v = std::strtol(text, nullptr, 10);
    return static_cast<std::int32_t>(std::clamp<long>(v, std::numeric_limits<std::int32_t>::min(),
                                                      std::numeric_limits<std::int32_t>::max()));
}

double NmeaDegrees(double value, std::byte signByte) {
    // Whole degrees are the integer part divided by 100 (integer division);
    // the rest are minutes.
    const double degrees = std::trunc(std::trunc(value) / 100.0);
    const double minutes = std::fmod(value, 100.0);
    const double result = degrees + minutes / 60.0;
    return signByte == std::byte{0} ? -result : result;
}

bool DecodeSensorBlock(std::span<const std::byte> block, std::string_view fileName,
                       SensorBlockData& out) {
    if (block.size() < sensor::kBlockOverhead) return false;
    DecodeHeaderChain(block, fileName, out.header, out.msPerRecord);
    const float step = out.msPerRecord;
    const bool parking = !FileNameOf(fileName).empty() && FileNameOf(fileName).front() == 'P';
    const std::size_t expected = ExpectedRecords(block);
    out.positions.reserve(out.positions.size() + expected);
    out.accels.reserve(out.accels.size() + expected);
    out.vehicles.reserve(out.vehicles.size() + expected);
    TimestampDecoder clock;
    return WalkRecords(block, out.currentIndex, [&](const std::byte* r, std::uint32_t i) {
        PositionEntry& p = out.positions.emplace_back();
        if (parking) {
            // Parking clips carry no position data: the entry keeps the
            // no-value markers and a zero timestamp, but its time is the
            // record's so that the frame links of the clip stay in step.
            p.index = i;
            p.recordMs = RecordTime(i, step);
            p.valid = false;
        } else {
            DecodePosition(r, i, step, clock, p);
        }
        DecodeAccel(r, i, step, out.accels.emplace_back());
        DecodeVehicle(r, i, out.vehicles.emplace_back());
    });
}

bool DecodeSensorPositions(std::span<const std::byte> block, SensorBlockData& out) {
    if (block.size() < sensor::kBlockOverhead) return false;
    out.positions.reserve(out.positions.size() + ExpectedRecords(block));
    TimestampDecoder clock;
    return WalkRecords(block, out.currentIndex, [&](const std::byte* r, std::uint32_t i) {
        DecodePosition(r, i, sensor::kRecordStepMs, clock, out.positions.emplace_back());
    });
}

bool DecodeSensorHeader(std::span<const std::byte> block, std::string_view fileName,
                        SensorHeader& header, float& msPerRecord) {
    return DecodeHeaderChain(block, fileName, header, msPerRecord);
}

void CopySensorModel(std::span<const std::byte> endOfFile, SensorHeader& header) {
    if (endOfFile.size() < sensor::kModelFromEnd) return;
    const std::byte* model = endOfFile.data() + endOfFile.size() - sensor::kModelFromEnd;
    for (std::size_t k = 0; k < sensor::kModelLength; ++k) header.model[k] = At(model, k);
    header.model[sensor::kModelLength] = '\0';
    header.model[sensor::kModelLength + 1] = '\0';
}

std::int32_t SensorRecordTime(std::uint32_t index, float msPerRecord) {
    return RecordTime(index, msPerRecord);
}

}  // namespace trivexa
