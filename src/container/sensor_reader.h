#pragma once
// The sensor records the recorder appends to every clip: a "CSMDAT" header,
// 130-byte text records (one per 100 ms of video, 66.666664 ms in time-lapse
// clips) and a "CSMEND" trailer at the very end of the file. SensorReader finds
// that block without touching the video data, decodes every record into a
// position, an acceleration and a vehicle entry, and ties the entries to video
// frames for the graph, map, trip and vehicle panels.
//
// Everything in the block is untrusted: every read is checked against the
// mapped window, and no count from the file sizes an allocation by itself.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "container/mapped_file.h"
#include "recordings/recording_name.h"

namespace trivexa {

struct RecordingEntry;

namespace sensor {
// Block layout: header, N record slots, trailer; the block ends the file.
inline constexpr std::size_t kHeaderSize = 40;
inline constexpr std::size_t kRecordSize = 130;
inline constexpr std::size_t kTrailerSize = 28;
inline constexpr std::size_t kBlockOverhead = kHeaderSize + kTrailerSize;  // 68
inline constexpr std::size_t kUsualRecordCount = 4600;
// Size of the usual 4600-record block; the fast path maps exactly this much.
inline constexpr std::size_t kUsualBlockSize = kBlockOverhead + kRecordSize * kUsualRecordCount;
// The scan path tests candidate block starts this far apart.
inline constexpr std::size_t kScanStep = kRecordSize;
// Header: the first unit starts 6 bytes in; the record count is at 38.
inline constexpr std::size_t kHeaderUnitOffset = 6;
inline constexpr std::size_t kHeaderUnitSize = 40;
inline constexpr std::size_t kHeaderCountOffset = 38;
// Record count meaning "read slots until the trailer".
inline constexpr std::uint16_t kCountUntilTrailer = 0xFFFF;
// The model identifier sits this many bytes before the end of the file
// (trailer bytes 6-13).
inline constexpr std::size_t kModelFromEnd = 22;
inline constexpr std::size_t kModelLength = 8;
// No-value markers of fields without any digit.
inline constexpr double kNoDegrees = 720.0;
inline constexpr double kNoSpeed = 32767.0;
inline constexpr std::int32_t kNoVoltage = -1;
// Video time between records, in milliseconds.
inline constexpr float kRecordStepMs = 100.0f;
inline constexpr float kTimeLapseRecordStepMs = 66.666664f;
// Acceleration and vehicle data shown with a frame lag this many records
// behind the acceleration entry of that frame.
inline constexpr std::int32_t kLinkLag = 5;
// Largest frame count BuildFrameMap accepts (the count comes from the clip
// header, so it is bounded before it sizes the per-frame vector).
inline constexpr std::int32_t kMaxFrameCount = 1 << 24;
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
    char reserved30 = 0;             // block offset 30
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
    std::int32_t time = 0;   // record time in ms; the frame number after BuildFrameMap
    std::int32_t valid = 0;  // 1 when the GPS status is 'A'
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
    std::int32_t mark8 = 0;    // 8 when overspeed is marked
    std::int32_t mark9 = 0;    // 9 when an approaching vehicle is marked
    std::int32_t axis = 0;     // 1 X, 2 Y, 3 Z, 0 none
    std::int32_t time = 0;     // record time in ms; the frame number after BuildFrameMap
    std::uint32_t status = 0;  // microphone state character
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

// Called with the system's error text when a view of a clip cannot be mapped,
// or its bytes cannot be read (the clip was cut short, or its card removed,
// while it was being read); the viewer shows it in a message box captioned
// kMappingErrorCaption. It may
// be called on any thread that loads sensor data, so the handler must hand the
// text over to the user-interface thread itself.
using MappingErrorHandler = std::function<void(const std::string& text)>;
inline constexpr std::string_view kMappingErrorCaption = "Error Message";
void SetMappingErrorHandler(MappingErrorHandler handler);

// The decoded sensor data of one clip. A reader is initialised once, loaded
// and freed many times, and shut down at exit. Loading and BuildFrameMap run
// on a worker while no other thread reads the reader, or under the owner's
// lock; consumers that read the vectors while another thread may load take
// Mutex() (the scan path holds it while it decodes).
class SensorReader {
public:
    SensorReader();
    ~SensorReader();
    SensorReader(const SensorReader&) = delete;
    SensorReader& operator=(const SensorReader&) = delete;

    bool Init();
    void Shutdown();

    // Open + Parse; on success the file is closed and the entries stay.
    bool Load(const std::string& path);
    bool Open(const std::string& path);
    bool Parse();
    void FreeEntries();
    // Moves the entries, header, current index, largest acceleration and
    // path; `from` is left empty. True when `to` has position entries. The
    // caller holds whatever lock guards both readers.
    static bool HandOver(SensorReader& from, SensorReader& to);
    // Turns record times into frame numbers with the video milliseconds per
    // frame, fills the per-frame map and links the entries.
    bool BuildFrameMap(std::int32_t frameCount);

    // Header only, for clips the integrity check reports intact.
    static bool ReadHeader(const std::string& path, SensorHeader& out);
    // The same for a clip already checked and opened by the caller (`path`
    // is its path): reads the header units and the model alone when the
    // block is where the recorder puts it, else searches like a load.
    static bool ReadHeaderOf(const platform::ReadOnlyFile& file, const std::string& path,
                             SensorHeader& out);
    // Rebuilds the process-wide group track (sensor_track.h) from the
    // recordings' position records. True when every entry was visited.
    static bool CollectTrack(const std::vector<RecordingEntry>& recordings);

    // A window of the open file; reports a mapping failure through the
    // mapping error handler. Each success counts one view.
    MappedWindow MapWindow(std::uint64_t offset, std::uint64_t length);

    const std::vector<PositionEntry>& Positions() const { return positions_; }
    const std::vector<AccelEntry>& Accels() const { return accels_; }
    const std::vector<VehicleEntry>& Vehicles() const { return vehicles_; }
    // Acceleration entry index per video frame (kNoLink when there is none).
    const std::vector<std::int32_t>& FrameMap() const { return frameMap_; }
    const SensorHeader& Header() const { return header_; }
    std::int32_t CurrentIndex() const { return currentIndex_; }
    double LargestAccel() const { return largestAccel_; }
    const std::string& Path() const { return path_; }
    std::uint64_t FileSize() const { return fileSize_; }
    bool Loaded() const { return loaded_; }
    float MsPerRecord() const { return msPerRecord_; }
    float VideoMsPerFrame() const { return videoMsPerFrame_; }
    void SetVideoMsPerFrame(float ms) { videoMsPerFrame_ = ms; }
    // Windows of the file looked at so far: mapped views, and the block the
    // fast path reads in one positioned read.
    std::uint32_t ViewCount() const { return viewCount_; }
    std::mutex& Mutex() { return mutex_; }

    // Sets the path without loading (the playback side records which file a
    // reader is meant for before the load runs).
    void SetPath(std::string path) { path_ = std::move(path); }

private:
    enum class Decoder { Full, PositionsOnly, HeaderOnly };
    // Finds the block (fast path, then the scan path) and runs the decoder;
    // the header decoders write header_ and the trailer's model identifier.
    bool LocateAndDecode(Decoder decoder);
    // Decodes `block`; the entries replace the reader's when the decoder
    // succeeded or `keepEntries` is set.
    bool RunDecoder(Decoder decoder, std::span<const std::byte> block, bool keepEntries);
    // Copies the model identifier from a window that ends at the end of file.
    void CopyModel(std::span<const std::byte> window);
    void ClearVectors();
    void CloseFile();

    std::string path_;
    std::uint64_t fileSize_ = 0;
    std::int32_t currentIndex_ = 0;
    double largestAccel_ = 0.0;
    std::vector<PositionEntry> positions_;
    std::vector<AccelEntry> accels_;
    std::vector<VehicleEntry> vehicles_;
    SensorHeader header_{};
    std::vector<std::int32_t> frameMap_;
    MappedFile file_;
    std::size_t granularity_ = 0;
    std::uint32_t viewCount_ = 0;
    std::mutex mutex_;
    float videoMsPerFrame_ = 0.0f;
    bool loaded_ = false;
    bool hasVectors_ = false;
    float msPerRecord_ = sensor::kRecordStepMs;
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

}  // namespace trivexa
