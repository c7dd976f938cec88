#include "container/sensor_block.h"

#include <cstring>

#include "container/mapped_file.h"

namespace trivexa::sensor {

bool HasMagicAt(std::span<const std::byte> bytes, std::size_t offset, std::string_view magic) {
    return offset <= bytes.size() && bytes.size() - offset >= magic.size() &&
           std::memcmp(bytes.data() + offset, magic.data(), magic.size()) == 0;
}

Trailer ReadTrailer(std::span<const std::byte> lastBytes) {
    Trailer t;
    if (lastBytes.size() < kTrailerSize) return t;
    const std::span<const std::byte> trailer = lastBytes.last(kTrailerSize);
    t.present = HasMagicAt(trailer, 0, kTrailerMagic);
    t.slotCount = LoadBe32(trailer.data() + kTrailerCountOffset);
    return t;
}

std::optional<std::uint64_t> BlockStartByTrailer(std::uint32_t slotCount, std::uint64_t fileSize) {
    const std::uint64_t size = BlockSize(slotCount);
    if (size > fileSize) return std::nullopt;
    return fileSize - size;
}

std::optional<std::uint64_t> UsualBlockStart(std::uint64_t fileSize) {
    if (fileSize <= kUsualBlockSize) return std::nullopt;
    return fileSize - kUsualBlockSize;
}

std::uint64_t SearchStart(std::uint64_t fileSize) {
    // Three quarters of the size, rounded down, without overflowing.
    return fileSize / 4 * 3 + (fileSize % 4) * 3 / 4;
}

std::optional<std::size_t> SearchBlockStart(const std::byte* window, std::size_t size) {
    if (size <= kBlockOverhead) return std::nullopt;
    for (std::size_t pos = size - kBlockOverhead;; pos -= kScanStep) {
        if (std::memcmp(window + pos, kBlockMagic.data(), kBlockMagic.size()) == 0) return pos;
        if (pos < kScanStep) return std::nullopt;
    }
}

}  // namespace trivexa::sensor
