#pragma once
// Decoding the sensor block's bytes: header units, and per record a position,
// an acceleration and a vehicle entry. Pure functions over bytes the caller
// has read (the loader, the fuzz target and the byte-level tests); nothing
// here does I/O or keeps state between calls.
//
// Everything in the block is untrusted: every read is checked against the
// bytes given, and no count from the block sizes an allocation by itself.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "container/sensor_block.h"
#include "recordings/recording_name.h"

namespace trivexa {

namespace sensor {
// No-value markers of fields without any digit.
inline constexpr double kNoDegrees = 720.0;
inline constexpr double kNoSpeed = 32767.0;
inline constexpr std::int32_t kNoVoltage = -1;
// Video time between records, in milliseconds.
inline constexpr float kRecordStepMs = 100.0f;
inline constexpr float kTimeLapseRecordStepMs = 66.666664f;
// Entry link meaning "no entry".
inline constexpr std::int32_t kNoLink = -1;
}  // namespace sensor

// Decoded block header. Texts are copied unchanged; the panels interpret them.
struct SensorHeader {
    // Thresholds divided by 1000; all -1.0 unless the mode letter is M or D.
    std::array<float, 4> thresholds{};
    char mode = 0;
    std::array<char, 6> settings{};  // block offsets 23-28
    char quality = 0;                // 'H' high, 'L' low
    char uninterpreted = 0;          // block offset 30, copied unchanged; nothing reads it
    char timeLapse = 0;              // 'T' for a time-lapse file name, else 'N'
    char positionMode = 0;           // '2', '3' or 'N'
    char speedFlag = 0;
    char receptionFlag = 0;
    // Eight characters from the trailer followed by two zero bytes.
    std::array<char, sensor::kModelLength + 2> model{};

    std::string ModelText() const;  // the model identifier up to its first zero byte
};

// One record's position. Links are indices into the reader's vectors
// (sensor::kNoLink until BuildFrameMap sets them).
struct PositionEntry {
    std::uint32_t index = 0;
    std::int32_t recordMs = 0;          // record time in ms from the start of the clip
    std::optional<std::int32_t> frame;  // the video frame, once the frame map is built
    bool valid = false;                 // the GPS status is 'A': a valid fix
    std::int32_t accelLink = sensor::kNoLink;
    std::int32_t vehicleLink = sensor::kNoLink;
    double latitude = sensor::kNoDegrees;  // degrees, 720.0 without a value
    double longitude = sensor::kNoDegrees;
    double speed = sensor::kNoSpeed;  // km/h, 32767.0 without a value
    double reserved = 0.0;
    SystemTime timestamp{};  // local time of the record, or all zero
};

// One record's acceleration and event marks.
struct AccelEntry {
    std::uint32_t index = 0;
    // 6 emergency stop, 5 manual, 7 parking shock, 10/11/12 sudden
    // steering/acceleration/braking, -1 none.
    std::int32_t event = -1;
    std::int32_t overspeedMark = 0;     // 8 (its event number) when overspeed is marked, else 0
    std::int32_t approachMark = 0;      // 9 when an approaching vehicle is marked, else 0
    std::int32_t axis = 0;              // 1 X, 2 Y, 3 Z, 0 none
    std::int32_t recordMs = 0;          // record time in ms from the start of the clip
    std::optional<std::int32_t> frame;  // the video frame, once the frame map is built
    std::uint32_t status = 0;           // microphone state character
    std::int32_t voltage = sensor::kNoVoltage;  // tenths of a volt, -1 when absent
    std::int32_t positionLink = sensor::kNoLink;
    std::int32_t vehicleLink = sensor::kNoLink;
    double x = 0.0, y = 0.0, z = 0.0;  // G
    std::int32_t levelHigh = 0;
    std::int32_t levelLow = 0;
};

// One record's vehicle data, copied as stored. Each word is little-endian;
// 0x2020 marks a missing value and 0x3FFF means "keep the previous value".
struct VehicleEntry {
    std::uint32_t index = 0;
    std::array<std::uint8_t, 4> status{};
    std::array<std::uint16_t, 18> words{};
};

// Decoding of one block, exposed for the fuzz target and the byte-level
// tests. `block` starts at "CSMDAT" and runs to the end of the file; the file
// name decides time-lapse and parking handling. The vectors are appended to.
struct SensorBlockData {
    SensorHeader header{};
    float msPerRecord = sensor::kRecordStepMs;
    std::int32_t currentIndex = 0;
    std::vector<PositionEntry> positions;
    std::vector<AccelEntry> accels;
    std::vector<VehicleEntry> vehicles;
};
// Full records: header, then position, acceleration and vehicle entries.
// False when an explicit count meets the trailer (or the end of the bytes)
// before it is exhausted.
bool DecodeSensorBlock(std::span<const std::byte> block, std::string_view fileName,
                       SensorBlockData& out);
// Position entries only, every record decoded (parking clips included), at
// 100 ms per record; the header is not decoded.
bool DecodeSensorPositions(std::span<const std::byte> block, SensorBlockData& out);

// The exact field rules, exposed for tests: a field is parsed (like atof or
// atoi in the C locale) only when it holds a decimal digit, else `noValue`.
double ParseSensorFloat(std::string_view field, double noValue);
std::int32_t ParseSensorInt(std::string_view field, std::int32_t noValue);
// Degrees from an NMEA ddmm.mmmm value and its sign byte (zero = negative).
double NmeaDegrees(double value, std::byte signByte);

// Decodes the chain of header units at the start of `block` into `header`
// and sets the record step for `fileName`. True when the chain ended inside
// `block`; false when the bytes ran out first.
bool DecodeSensorHeader(std::span<const std::byte> block, std::string_view fileName,
                        SensorHeader& header, float& msPerRecord);
// Copies the model identifier from `endOfFile`, bytes that end at the end of
// the file; a window shorter than the identifier's distance leaves `header`
// unchanged.
void CopySensorModel(std::span<const std::byte> endOfFile, SensorHeader& header);
// What the map page and the CLI show as an entry's time: its frame once the
// frame map is built, else its record time in ms (the group track's entries
// are never tied to frames).
template <typename Entry>
std::int32_t FrameOrRecordMs(const Entry& e) {
    return e.frame.value_or(e.recordMs);
}

// A record's time in ms: index x step in single precision, truncated.
std::int32_t SensorRecordTime(std::uint32_t index, float msPerRecord);

}  // namespace trivexa
