#pragma once
// Where the sensor block of a clip lies and how big its parts are. The
// recorder appends the block after the idx1 chunk: a "CSMDAT" header of 40
// bytes, record slots of 130 bytes and a "CSMEND" trailer of 28 bytes that
// ends the file. The clip reader, the integrity check, the join and the
// sensor loader all place the block through the functions here, so that its
// sizes and its search are written once.
//
// Everything here works on bytes the caller has read; nothing does I/O.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace trivexa::sensor {

inline constexpr std::string_view kBlockMagic = "CSMDAT";
inline constexpr std::string_view kTrailerMagic = "CSMEND";

// Block layout: header, N record slots, trailer; the block ends the file.
inline constexpr std::size_t kHeaderSize = 40;
inline constexpr std::size_t kRecordSize = 130;
inline constexpr std::size_t kTrailerSize = 28;
inline constexpr std::size_t kBlockOverhead = kHeaderSize + kTrailerSize;  // 68
// Header: the first unit starts 6 bytes in; the record count (big-endian
// 16-bit) is at 38.
inline constexpr std::size_t kHeaderUnitOffset = 6;
inline constexpr std::size_t kHeaderUnitSize = 40;
inline constexpr std::size_t kHeaderCountOffset = 38;
// Trailer: the count of record slots written (big-endian 32-bit) at 16.
inline constexpr std::size_t kTrailerCountOffset = 16;
// Header count meaning "read slots until the trailer".
inline constexpr std::uint16_t kCountUntilTrailer = 0xFFFF;
// The model identifier sits this many bytes before the end of the file
// (trailer bytes 6-13).
inline constexpr std::size_t kModelFromEnd = 22;
inline constexpr std::size_t kModelLength = 8;

inline constexpr std::size_t kUsualRecordCount = 4600;
// Bytes of a block with `slotCount` record slots.
constexpr std::uint64_t BlockSize(std::uint64_t slotCount) {
    return kBlockOverhead + kRecordSize * slotCount;
}
// Size of the usual 4600-record block; the loader's fast path reads exactly
// this much from the end of the file.
inline constexpr std::size_t kUsualBlockSize =
    static_cast<std::size_t>(BlockSize(kUsualRecordCount));
// The loader's search tests candidate block starts this far apart.
inline constexpr std::size_t kScanStep = kRecordSize;

// True when `bytes` holds `magic` at `offset` (false when it runs past the end).
bool HasMagicAt(std::span<const std::byte> bytes, std::size_t offset, std::string_view magic);

// The file's last kTrailerSize bytes, as read by the caller.
struct Trailer {
    bool present = false;         // they begin with "CSMEND"
    std::uint32_t slotCount = 0;  // the record slots the trailer counts
};
// Reads the trailer fields from the file's last bytes (at least kTrailerSize).
Trailer ReadTrailer(std::span<const std::byte> lastBytes);

// Where the trailer's slot count puts the block's "CSMDAT" header in a file of
// `fileSize` bytes; nothing when a block of that many slots does not fit.
std::optional<std::uint64_t> BlockStartByTrailer(std::uint32_t slotCount, std::uint64_t fileSize);

// Where the usual 4600-record block would start; nothing when the file is not
// longer than that block.
std::optional<std::uint64_t> UsualBlockStart(std::uint64_t fileSize);

// Start of the stretch the loader searches when the block is not where the
// usual one would be: the last quarter of the file.
std::uint64_t SearchStart(std::uint64_t fileSize);

// The loader's search inside `window`, a stretch that ends at the end of the
// file: "CSMDAT" at the last position that leaves room for header and
// trailer, then every kScanStep bytes back. Reads six bytes per candidate, so
// it may run in place over a guarded mapping. Nothing when no candidate
// holds the magic (or the window is too short to hold a block).
std::optional<std::size_t> SearchBlockStart(const std::byte* window, std::size_t size);

}  // namespace trivexa::sensor
