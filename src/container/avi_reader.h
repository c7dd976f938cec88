#pragma once
// Reading the recorder's AVI clips. The recorder writes two fixed header
// layouts and the reader reads fields at their fixed offsets, never parsing
// AVI generically: the full layout (video and audio) for ordinary clips and
// the short layout (video only, no audio stream list) for time-lapse clips,
// chosen by the file name.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "container/mapped_file.h"
#include "container/sensor_block.h"

namespace trivexa {

enum class ClipLayout { kFull, kShort };

namespace avi {
// Offsets from the start of the file, shared by both layouts.
inline constexpr std::uint64_t kRiffSizeOffset = 4;
inline constexpr std::uint64_t kMicroSecPerFrameOffset = 32;
inline constexpr std::uint64_t kTotalFramesOffset = 48;
inline constexpr std::uint64_t kStreamsOffset = 56;
inline constexpr std::uint64_t kMainWidthOffset = 64;
inline constexpr std::uint64_t kMainHeightOffset = 68;
inline constexpr std::uint64_t kVideoScaleOffset = 128;
inline constexpr std::uint64_t kVideoRateOffset = 132;
inline constexpr std::uint64_t kVideoLengthOffset = 140;
inline constexpr std::uint64_t kBitmapWidthOffset = 176;
inline constexpr std::uint64_t kBitmapHeightOffset = 180;  // signed
// Full layout only: the audio stream list.
inline constexpr std::uint64_t kAudioScaleOffset = 252;
inline constexpr std::uint64_t kAudioRateOffset = 256;
inline constexpr std::uint64_t kAudioLengthOffset = 264;
inline constexpr std::uint64_t kWaveFormatTagOffset = 296;
inline constexpr std::uint64_t kWaveChannelsOffset = 298;
inline constexpr std::uint64_t kWaveSamplesPerSecOffset = 300;
inline constexpr std::uint64_t kWaveAvgBytesPerSecOffset = 304;
inline constexpr std::uint64_t kWaveBlockAlignOffset = 308;
inline constexpr std::uint64_t kWaveBitsPerSampleOffset = 310;

// Header length up to the movi list.
inline constexpr std::uint64_t kFullHeaderSize = 384;
inline constexpr std::uint64_t kShortHeaderSize = 280;
// The movi list header: fourcc LIST, list size, list type movi.
inline constexpr std::uint64_t kMoviListHeaderSize = 12;
// Bytes ReadTiming reads from the start of the file.
inline constexpr std::size_t kTimingReadSize = 344;

constexpr std::uint64_t HeaderSize(ClipLayout l) {
    return l == ClipLayout::kFull ? kFullHeaderSize : kShortHeaderSize;
}
// 388 / 284: the movi list size.
constexpr std::uint64_t MoviSizeOffset(ClipLayout l) { return HeaderSize(l) + 4; }
// 392 / 288: the movi fourcc, from which index offsets are measured.
constexpr std::uint64_t MoviFourccOffset(ClipLayout l) { return HeaderSize(l) + 8; }
// 396 / 292: the first data chunk.
constexpr std::uint64_t FirstChunkOffset(ClipLayout l) { return HeaderSize(l) + 12; }

inline constexpr std::uint32_t kVideoChunk = FourCC("00dc");
inline constexpr std::uint32_t kAudioChunk = FourCC("01wb");
inline constexpr std::uint32_t kIndexChunk = FourCC("idx1");
inline constexpr std::uint32_t kKeyFrameFlag = 0x10;
inline constexpr std::uint64_t kChunkHeaderSize = 8;
inline constexpr std::uint64_t kIndexEntrySize = 16;
}  // namespace avi

// One 16-byte idx1 entry, fields in host order.
struct IndexEntry {
    std::uint32_t chunkId = 0;
    std::uint32_t flags = 0;
    std::uint32_t offset = 0;  // of the chunk's fourcc, from the movi fourcc
    std::uint32_t size = 0;    // chunk data size
    friend bool operator==(const IndexEntry&, const IndexEntry&) = default;
};

// Serialises entries into the 16-byte little-endian form of the file.
void EncodeIndexEntries(const std::vector<IndexEntry>& entries, std::vector<std::byte>& out);

// One file whose movi chunk data belongs to a clip (a joined clip has several).
struct SourceNode {
    std::filesystem::path path;
    std::uint64_t firstChunkOffset = 0;  // 396 / 292
    std::uint64_t chunkDataSize = 0;     // movi list size - 4
};

// Everything the reader takes from one clip.
struct ClipInfo {
    std::uintptr_t owner = 0;  // the requesting window, opaque here
    std::uint64_t fileSize = 0;
    bool parking = false;
    bool timeLapse = false;
    ClipLayout layout = ClipLayout::kFull;

    // The first 384 / 280 bytes of the file; bytes past the end of a short
    // file stay zero.
    std::vector<std::byte> header;
    std::array<std::byte, avi::kMoviListHeaderSize> moviListHeader{};

    std::vector<SourceNode> sources;

    bool hasIndex = false;        // the chunk after the movi list was "idx1"
    std::uint32_t indexSize = 0;  // the idx1 size as stored
    // The entries that lie inside the file (at most indexSize / 16).
    std::vector<IndexEntry> indexEntries;

    // Front-camera clips only.
    bool hasSensorBlock = false;
    std::array<std::byte, sensor::kHeaderSize> sensorHeader{};
    std::array<std::byte, sensor::kTrailerSize> sensorTrailer{};
    std::uint32_t sensorHeaderCount = 0;   // header bytes 38-39, host order
    std::uint32_t sensorTrailerCount = 0;  // trailer bytes 16-19, host order
    // sensorHeaderCount x 130 bytes as stored, cut at the trailer when the
    // header claims more records than lie before it.
    std::vector<std::byte> sensorRecords;
    bool sensorRecordsShort = false;  // the header count was cut at the trailer

    // Header fields (little-endian 32-bit); 0 when outside the header.
    std::uint32_t HeaderField(std::uint64_t offset) const;
    void SetHeaderField(std::uint64_t offset, std::uint32_t value);
    std::uint32_t MoviListSize() const;
    void SetMoviListSize(std::uint32_t size);
    std::uint32_t SensorRecordsHeld() const {
        return static_cast<std::uint32_t>(sensorRecords.size() / sensor::kRecordSize);
    }
};

// The layout that a clip's file name selects (short for time-lapse names).
ClipLayout LayoutForPath(const std::filesystem::path& path);

// Reads the header, movi list header, index and (front clips) the sensor block.
// Nothing when the file cannot be opened or a needed mapping fails.
std::optional<ClipInfo> ReadClipInfo(const std::filesystem::path& path, std::uintptr_t owner = 0);

// The timing arithmetic every reader of a clip header shares: the frame
// interval from the video stream's scale and rate (rate not 0), and a
// duration from a frame count and that interval.
double FrameIntervalMs(std::uint32_t scale, std::uint32_t rate);
double DurationSeconds(std::uint32_t frames, double frameIntervalMs);

struct ClipTiming {
    double frameIntervalMs = 0;
    double durationSeconds = 0;
    std::uint32_t rate = 0, scale = 0;  // the video stream's, as stored
};

// Timing facts from the first 344 bytes, read with one read. Nothing when the
// read fails or the video rate is 0.
std::optional<ClipTiming> ReadTiming(const platform::ReadOnlyFile& file);
std::optional<ClipTiming> ReadTiming(const std::filesystem::path& path);

// Derived facts from a header buffer (a ClipInfo header or the first bytes of
// a file). Missing fields read as 0.
struct ClipFacts {
    ClipLayout layout = ClipLayout::kFull;
    std::optional<double> frameIntervalMs;     // video scale x 1000 / rate
    std::optional<double> frameRate;           // video rate / scale
    std::uint32_t streamFrames = 0;            // video stream length (140)
    std::uint32_t totalFrames = 0;             // main header total frames (48)
    std::optional<double> durationSeconds;     // totalFrames x interval / 1000
    std::optional<double> csvDurationSeconds;  // streamFrames / frame rate
    std::uint32_t width = 0;                   // bitmap width (176)
    std::int32_t height = 0;                   // bitmap height (180)
    std::string resolutionClass;               // "" when the height has none
    std::uint32_t audioChunks = 0;             // audio stream length, full layout
};
ClipFacts DeriveFacts(const ClipInfo& info);

// "SD", "HD", "FHD", "3M", "WQHD" for 360, 720, 1080, 1296, 1440; else "".
std::string ResolutionClass(std::int32_t bitmapHeight);

}  // namespace trivexa
