#include "container/sensor_reader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

#include "container/integrity.h"
#include "container/sensor_track.h"
#include "platform/locale.h"
#include "recordings/recording_entry.h"

namespace trivexa {
namespace {

constexpr std::string_view kBlockMagic = "CSMDAT";
constexpr std::string_view kTrailerMagic = "CSMEND";
constexpr std::string_view kChainMagic = "@CS";

// Header unit fields (offsets inside one 40-byte unit).
constexpr std::size_t kUnitThresholds = 0;  // four 4-character fields
constexpr std::size_t kThresholdWidth = 4;
constexpr std::size_t kUnitMode = 16;
constexpr std::size_t kUnitSettings = 17;
constexpr std::size_t kUnitQuality = 23;
constexpr std::size_t kUnitReserved = 24;
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

bool StartsWith(std::span<const std::byte> bytes, std::size_t offset, std::string_view magic) {
    return offset <= bytes.size() && bytes.size() - offset >= magic.size() &&
           std::memcmp(bytes.data() + offset, magic.data(), magic.size()) == 0;
}

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
        header.reserved30 = At(u, kUnitReserved);
        header.positionMode = At(u, kUnitPositionMode);
        header.speedFlag = At(u, kUnitSpeedFlag);
        header.receptionFlag = At(u, kUnitReceptionFlag);
        header.timeLapse = timeLapse ? 'T' : 'N';
        msPerRecord = timeLapse ? sensor::kTimeLapseRecordStepMs : sensor::kRecordStepMs;

        // A further unit follows when this one ends in "@CS" and a capital.
        const std::size_t chain = unit + kUnitChain;
        if (block.size() < chain + 4) return false;
        if (!StartsWith(block, chain, kChainMagic)) return true;
        const char letter = At(block.data(), chain + 3);
        if (letter < 'A' || letter > 'Z') return true;
        unit += sensor::kHeaderUnitSize;
    }
    return false;
}

void DecodePosition(const std::byte* r, std::uint32_t index, float step, TimestampDecoder& clock,
                    PositionEntry& e) {
    e.index = index;
    e.time = RecordTime(index, step);
    e.valid = At(r, kRecGpsStatus) == 'A' ? 1 : 0;
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
    e.mark8 = marked(kRecMark8) ? 8 : 0;
    e.mark9 = marked(kRecMark9) ? 9 : 0;
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
    e.time = RecordTime(index, step);
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
        if (StartsWith(block, slot, kTrailerMagic)) {
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

std::mutex& HandlerMutex() {
    static std::mutex m;
    return m;
}
MappingErrorHandler& Handler() {
    static MappingErrorHandler handler;
    return handler;
}

void ReportMappingError(int error) {
    const std::string text = std::generic_category().message(error != 0 ? error : EINVAL);
    MappingErrorHandler handler;
    {
        std::lock_guard lock(HandlerMutex());
        handler = Handler();
    }
    if (handler) handler(text);
}

// Frame number of a record time: time ÷ ms per frame in single precision,
// truncated and kept inside the integer range.
std::int32_t FrameOf(std::int32_t time, float msPerFrame) {
    const float f = static_cast<float>(time) / msPerFrame;
    if (std::isnan(f)) return 0;
    if (f >= static_cast<float>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (f <= static_cast<float>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(f);
}

}  // namespace

std::string SensorHeader::ModelText() const {
    const auto end = std::find(model.begin(), model.end(), '\0');
    return {model.begin(), end};
}

void SetMappingErrorHandler(MappingErrorHandler handler) {
    std::lock_guard lock(HandlerMutex());
    Handler() = std::move(handler);
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
            p.time = RecordTime(i, step);
            p.valid = 0;
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

// ---------------------------------------------------------------------------

SensorReader::SensorReader() = default;
SensorReader::~SensorReader() = default;

bool SensorReader::Init() {
    ClearVectors();
    header_ = SensorHeader{};
    CloseFile();
    path_.clear();
    fileSize_ = 0;
    currentIndex_ = 0;
    largestAccel_ = 0.0;
    granularity_ = platform::AllocationGranularity();
    viewCount_ = 0;
    videoMsPerFrame_ = 0.0f;
    loaded_ = false;
    hasVectors_ = false;
    msPerRecord_ = sensor::kRecordStepMs;
    return true;
}

void SensorReader::Shutdown() {
    // Wait for a scan in progress on another thread before freeing.
    { std::lock_guard lock(mutex_); }
    FreeEntries();
    CloseFile();
    path_.clear();
}

bool SensorReader::Load(const std::string& path) {
    if (Open(path) && Parse()) {
        CloseFile();
        loaded_ = true;
        return true;
    }
    FreeEntries();
    CloseFile();
    path_.clear();
    return false;
}

bool SensorReader::Open(const std::string& path) {
    CloseFile();
    if (!file_.Open(path)) return false;
    fileSize_ = file_.Size();
    path_ = path;
    granularity_ = file_.Granularity();
    return true;
}

bool SensorReader::Parse() {
    if (!file_.IsOpen()) return false;
    // Nothing of a previous clip may survive into this one.
    FreeEntries();
    hasVectors_ = true;
    try {
        return LocateAndDecode(Decoder::Full);
    } catch (const std::bad_alloc&) {
        FreeEntries();
        return false;
    }
}

void SensorReader::FreeEntries() {
    ClearVectors();
    header_ = SensorHeader{};
    currentIndex_ = 0;
    largestAccel_ = 0.0;
    msPerRecord_ = sensor::kRecordStepMs;
    hasVectors_ = false;
    loaded_ = false;
}

bool SensorReader::HandOver(SensorReader& from, SensorReader& to) {
    if (&from == &to) return !to.positions_.empty();
    to.positions_ = std::move(from.positions_);
    to.accels_ = std::move(from.accels_);
    to.vehicles_ = std::move(from.vehicles_);
    to.frameMap_ = std::move(from.frameMap_);
    to.header_ = from.header_;
    to.currentIndex_ = from.currentIndex_;
    to.largestAccel_ = from.largestAccel_;
    to.path_ = std::move(from.path_);
    to.msPerRecord_ = from.msPerRecord_;
    to.hasVectors_ = from.hasVectors_;
    to.loaded_ = from.loaded_;
    to.fileSize_ = from.fileSize_;
    from.FreeEntries();
    from.path_.clear();
    from.fileSize_ = 0;
    return !to.positions_.empty();
}

bool SensorReader::BuildFrameMap(std::int32_t frameCount) {
    const float m = videoMsPerFrame_;
    if (m == 0.0f || std::isnan(m) || !hasVectors_) return false;
    if (frameCount < 0 || frameCount > sensor::kMaxFrameCount) return false;

    frameMap_.assign(static_cast<std::size_t>(frameCount), sensor::kNoLink);
    // Frame numbers come from the record times (index x record step), not
    // from the time fields, so that a second call maps afresh instead of
    // dividing frame numbers again.
    for (AccelEntry& a : accels_) a.time = FrameOf(RecordTime(a.index, msPerRecord_), m);
    for (PositionEntry& p : positions_) p.time = FrameOf(RecordTime(p.index, msPerRecord_), m);

    if (!accels_.empty()) {
        std::size_t k = 0;
        for (std::int32_t f = 0; f < frameCount; ++f) {
            frameMap_[static_cast<std::size_t>(f)] = static_cast<std::int32_t>(k);
            // At most one step per frame.
            if (k + 1 < accels_.size() && accels_[k + 1].time <= f) ++k;
        }
    }

    double maxX = 0.0, maxY = 0.0, maxZ = 0.0;
    if (!positions_.empty()) {
        std::size_t g = 0;
        for (std::size_t j = 0; j < accels_.size(); ++j) {
            AccelEntry& a = accels_[j];
            maxX = std::max(maxX, std::fabs(a.x));
            maxY = std::max(maxY, std::fabs(a.y));
            maxZ = std::max(maxZ, std::fabs(a.z));
            if (positions_[g].time <= a.time) {
                positions_[g].accelLink = static_cast<std::int32_t>(j);
                positions_[g].vehicleLink =
                    j < vehicles_.size() ? static_cast<std::int32_t>(j) : sensor::kNoLink;
                if (g + 1 < positions_.size()) ++g;
            }
            // What is shown with an acceleration entry lags a few records.
            const std::size_t lagged =
                g >= static_cast<std::size_t>(sensor::kLinkLag) ? g - sensor::kLinkLag : 0;
            a.positionLink = static_cast<std::int32_t>(lagged);
            a.vehicleLink =
                lagged < vehicles_.size() ? static_cast<std::int32_t>(lagged) : sensor::kNoLink;
        }
    }
    largestAccel_ = std::max({maxX, maxY, maxZ});
    return true;
}

bool SensorReader::ReadHeader(const std::string& path, SensorHeader& out) {
    if (CheckClip(path) != ClipCheck::kIntact) return false;
    platform::ReadOnlyFile file;
    if (!file.Open(path)) return false;
    return ReadHeaderOf(file, path, out);
}

bool SensorReader::ReadHeaderOf(const platform::ReadOnlyFile& file, const std::string& path,
                                SensorHeader& out) {
    // The usual block ends the file at a known place: its header units and
    // the model near the end are read alone, instead of the whole block.
    constexpr std::size_t kHeaderPrefix = 4096;
    const std::uint64_t size = file.Size();
    if (size > sensor::kUsualBlockSize) {
        std::array<std::byte, kHeaderPrefix> prefix;
        std::array<std::byte, sensor::kModelFromEnd> tail;
        const std::uint64_t start = size - sensor::kUsualBlockSize;
        if (file.ReadAt(start, prefix) == static_cast<std::int64_t>(prefix.size()) &&
            StartsWith(prefix, 0, kBlockMagic)) {
            SensorHeader header;
            float msPerRecord = 0;
            if (DecodeHeaderChain(prefix, path, header, msPerRecord) &&
                file.ReadAt(size - tail.size(), tail) == static_cast<std::int64_t>(tail.size())) {
                for (std::size_t k = 0; k < sensor::kModelLength; ++k)
                    header.model[k] = At(tail.data(), k);
                header.model[sensor::kModelLength] = '\0';
                header.model[sensor::kModelLength + 1] = '\0';
                out = header;
                return true;
            }
        }
    }
    SensorReader reader;
    if (!reader.Init() || !reader.Open(path)) return false;
    const bool ok = reader.LocateAndDecode(Decoder::HeaderOnly);
    out = reader.header_;
    return ok;
}

bool SensorReader::CollectTrack(const std::vector<RecordingEntry>& recordings) {
    // One rebuild at a time, so that two groups never interleave.
    static std::mutex collecting;
    std::lock_guard lock(collecting);
    ClearGroupTrack();
    for (const RecordingEntry& entry : recordings) {
        const std::string& path = entry.frontPath.empty() ? entry.rearPath : entry.frontPath;
        if (path.empty() || CheckClip(path) != ClipCheck::kIntact) continue;
        SensorReader reader;
        if (!reader.Init() || !reader.Open(path)) return false;
        reader.hasVectors_ = true;
        try {
            reader.LocateAndDecode(Decoder::PositionsOnly);
            AppendGroupTrack(reader.positions_);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    return true;
}

MappedWindow SensorReader::MapWindow(std::uint64_t offset, std::uint64_t length) {
    errno = 0;
    MappedWindow window = file_.MapWindow(offset, length);
    if (!window) {
        ReportMappingError(errno);
        return {};
    }
    ++viewCount_;
    return window;
}

bool SensorReader::RunDecoder(Decoder decoder, std::span<const std::byte> block, bool keepEntries) {
    SensorBlockData data;
    bool ok = true;
    switch (decoder) {
        case Decoder::Full:
            ok = DecodeSensorBlock(block, path_, data);
            header_ = data.header;
            msPerRecord_ = data.msPerRecord;
            break;
        case Decoder::HeaderOnly:
            DecodeHeaderChain(block, path_, data.header, data.msPerRecord);
            header_ = data.header;
            msPerRecord_ = data.msPerRecord;
            break;
        case Decoder::PositionsOnly:
            ok = DecodeSensorPositions(block, data);
            break;
    }
    if (ok || keepEntries) {
        positions_ = std::move(data.positions);
        accels_ = std::move(data.accels);
        vehicles_ = std::move(data.vehicles);
        currentIndex_ = data.currentIndex;
    }
    return ok;
}

void SensorReader::CopyModel(std::span<const std::byte> window) {
    if (window.size() < sensor::kModelFromEnd) return;
    const std::byte* model = window.data() + window.size() - sensor::kModelFromEnd;
    for (std::size_t k = 0; k < sensor::kModelLength; ++k) header_.model[k] = At(model, k);
    header_.model[sensor::kModelLength] = '\0';
    header_.model[sensor::kModelLength + 1] = '\0';
}

bool SensorReader::LocateAndDecode(Decoder decoder) {
    const bool wantsHeader = decoder != Decoder::PositionsOnly;
    // The clip may be cut short, or its card pulled out, while it is read:
    // the block is decoded from a copy read with positioned reads, and the
    // one search done in place runs under a guard (platform/mapping.h). Bytes
    // that cannot be read fail the load like a view that cannot be mapped.
    auto unreadable = [] {
        ReportMappingError(EIO);
        return false;
    };

    // One buffer per thread for the block: a fresh one per load costs more
    // in page faults than the decoding itself.
    thread_local std::vector<std::byte> buffer;

    // Fast path: the usual block fills exactly the last 598,068 bytes.
    if (fileSize_ > sensor::kUsualBlockSize) {
        if (!file_.ReadWindow(fileSize_ - sensor::kUsualBlockSize, sensor::kUsualBlockSize,
                              buffer) ||
            buffer.size() != sensor::kUsualBlockSize)
            return unreadable();
        const std::span<const std::byte> tail = buffer;
        ++viewCount_;
        if (StartsWith(tail, 0, kBlockMagic) && RunDecoder(decoder, tail, false)) {
            if (wantsHeader) CopyModel(tail);
            return true;
        }
    }

    // Scan path: look for the block start in the last quarter, record by
    // record back from the smallest possible block.
    std::lock_guard lock(mutex_);
    const std::uint64_t start = fileSize_ / 4 * 3 + (fileSize_ % 4) * 3 / 4;
    const std::uint64_t length = fileSize_ - start;
    if (length == 0) return true;  // an empty file holds no block
    MappedWindow quarter = MapWindow(start, length);
    if (!quarter) return false;
    if (quarter.size() <= sensor::kBlockOverhead) return true;
    // Only the search runs in place; it reads six bytes per candidate.
    struct Search {
        const std::byte* bytes;
        std::size_t size;
        std::size_t found = SIZE_MAX;
        void operator()() {
            for (std::size_t pos = size - sensor::kBlockOverhead;; pos -= sensor::kScanStep) {
                if (std::memcmp(bytes + pos, kBlockMagic.data(), kBlockMagic.size()) == 0) {
                    found = pos;
                    return;
                }
                if (pos < sensor::kScanStep) return;
            }
        }
    } search{quarter.data(), quarter.size()};
    if (!quarter.ReadGuarded(search)) return unreadable();
    if (search.found != SIZE_MAX) {
        if (!file_.ReadWindow(start + search.found, quarter.size() - search.found, buffer) ||
            buffer.size() != quarter.size() - search.found)
            return unreadable();
        const std::span<const std::byte> block = buffer;
        RunDecoder(decoder, block, true);
        if (wantsHeader) CopyModel(block);
        // An odd block far from the end is not worth keeping room for.
        if (buffer.capacity() > 2 * sensor::kUsualBlockSize) std::vector<std::byte>().swap(buffer);
    }
    return true;
}

void SensorReader::ClearVectors() {
    positions_ = {};
    accels_ = {};
    vehicles_ = {};
    frameMap_ = {};
}

void SensorReader::CloseFile() { file_.Close(); }

}  // namespace trivexa
