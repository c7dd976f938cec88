#include "container/avi_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "recordings/recording_name.h"

namespace trivexa {
namespace {

using namespace avi;

// Every field is copied into the ClipInfo, so the reads are positioned reads
// (MappedFile::ReadWindow): nothing is read in place from a mapping that a
// clip cut short, or a card pulled out, could turn into a fault.

// Copies what was read (at most out.size() bytes); the rest of `out` keeps its
// zeros.
void CopyFromWindow(std::span<const std::byte> w, std::span<std::byte> out) {
    const std::size_t n = std::min(out.size(), w.size());
    if (n > 0) std::memcpy(out.data(), w.data(), n);
}

bool ReadIndex(const MappedFile& file, std::uint64_t at, ClipInfo& info) {
    const std::vector<std::byte> head = file.ReadWindow(at, kChunkHeaderSize);
    if (head.empty()) return false;
    if (head.size() < kChunkHeaderSize || LoadLe32(head.data()) != kIndexChunk) return true;
    info.hasIndex = true;
    info.indexSize = LoadLe32(head.data() + 4);
    // Only the entries that lie inside the file are read; the stored size may
    // claim more than the file holds.
    const std::uint64_t first = at + kChunkHeaderSize;
    const std::uint64_t inFile = first < file.Size() ? (file.Size() - first) / kIndexEntrySize : 0;
    const std::uint64_t count = std::min<std::uint64_t>(info.indexSize / kIndexEntrySize, inFile);
    if (count == 0) return true;
    const std::vector<std::byte> w = file.ReadWindow(first, count * kIndexEntrySize);
    if (w.size() < count * kIndexEntrySize) return false;
    info.indexEntries.resize(static_cast<std::size_t>(count));
    const std::byte* p = w.data();
    for (IndexEntry& e : info.indexEntries) {
        e.chunkId = LoadLe32(p);
        e.flags = LoadLe32(p + 4);
        e.offset = LoadLe32(p + 8);
        e.size = LoadLe32(p + 12);
        p += kIndexEntrySize;
    }
    return true;
}

bool ReadSensorBlock(const MappedFile& file, ClipInfo& info) {
    const std::uint64_t size = file.Size();
    if (size < sensor::kTrailerSize) return false;
    const std::vector<std::byte> trailer =
        file.ReadWindow(size - sensor::kTrailerSize, sensor::kTrailerSize);
    if (trailer.size() < sensor::kTrailerSize) return false;
    CopyFromWindow(trailer, info.sensorTrailer);
    const sensor::Trailer facts = sensor::ReadTrailer(info.sensorTrailer);
    info.hasSensorBlock = facts.present;
    const std::uint64_t slots = facts.slotCount;
    info.sensorTrailerCount = facts.slotCount;

    // The trailer's count places the header; a count that does not fit in the
    // file means there is no block to read.
    const std::optional<std::uint64_t> blockStart =
        sensor::BlockStartByTrailer(facts.slotCount, size);
    if (!blockStart) return false;
    const std::vector<std::byte> header = file.ReadWindow(*blockStart, sensor::kHeaderSize);
    if (header.size() < sensor::kHeaderSize) return false;
    CopyFromWindow(header, info.sensorHeader);
    info.sensorHeaderCount = LoadBe16(info.sensorHeader.data() + sensor::kHeaderCountOffset);

    // Records lie between header and trailer: the copy stops at the trailer
    // when the header count claims more than that.
    const std::uint64_t wanted = info.sensorHeaderCount;
    const std::uint64_t held = std::min(wanted, slots);
    info.sensorRecordsShort = held < wanted;
    if (held == 0) return true;
    std::vector<std::byte> records =
        file.ReadWindow(*blockStart + sensor::kHeaderSize, held * sensor::kRecordSize);
    if (records.size() < held * sensor::kRecordSize) return false;
    info.sensorRecords = std::move(records);
    return true;
}

}  // namespace

void EncodeIndexEntries(const std::vector<IndexEntry>& entries, std::vector<std::byte>& out) {
    const std::size_t start = out.size();
    out.resize(start + entries.size() * kIndexEntrySize);
    std::byte* p = out.data() + start;
    for (const IndexEntry& e : entries) {
        StoreLe32(p, e.chunkId);
        StoreLe32(p + 4, e.flags);
        StoreLe32(p + 8, e.offset);
        StoreLe32(p + 12, e.size);
        p += kIndexEntrySize;
    }
}

std::uint32_t ClipInfo::HeaderField(std::uint64_t offset) const {
    if (offset + 4 > header.size()) return 0;
    return LoadLe32(header.data() + offset);
}

void ClipInfo::SetHeaderField(std::uint64_t offset, std::uint32_t value) {
    if (offset + 4 <= header.size()) StoreLe32(header.data() + offset, value);
}

std::uint32_t ClipInfo::MoviListSize() const { return LoadLe32(moviListHeader.data() + 4); }

void ClipInfo::SetMoviListSize(std::uint32_t size) { StoreLe32(moviListHeader.data() + 4, size); }

ClipLayout LayoutForPath(const std::filesystem::path& path) {
    return IsTimeLapse(path.string()) ? ClipLayout::kShort : ClipLayout::kFull;
}

std::optional<ClipInfo> ReadClipInfo(const std::filesystem::path& path, std::uintptr_t owner) {
    MappedFile file;
    if (!file.Open(path)) return std::nullopt;

    ClipInfo info;
    const std::string name = path.string();
    info.owner = owner;
    info.fileSize = file.Size();
    info.parking = IsParking(name);
    info.timeLapse = IsTimeLapse(name);
    info.layout = LayoutForPath(path);
    const std::uint64_t headerSize = HeaderSize(info.layout);

    {
        const std::vector<std::byte> w = file.ReadWindow(0, headerSize);
        if (w.empty()) return std::nullopt;
        info.header.assign(static_cast<std::size_t>(headerSize), std::byte{0});
        CopyFromWindow(w, info.header);
    }
    {
        const std::vector<std::byte> w = file.ReadWindow(headerSize, kMoviListHeaderSize);
        if (w.empty()) return std::nullopt;
        CopyFromWindow(w, info.moviListHeader);
    }
    const std::uint32_t moviSize = info.MoviListSize();
    info.sources.push_back(SourceNode{path, FirstChunkOffset(info.layout),
                                      moviSize >= 4 ? std::uint64_t{moviSize} - 4 : 0});

    if (!ReadIndex(file, headerSize + 8 + std::uint64_t{moviSize}, info)) return std::nullopt;
    if (IsRecordingName(name, CameraFilter::Front) && !ReadSensorBlock(file, info))
        return std::nullopt;
    return info;
}

std::optional<ClipTiming> ReadTiming(const platform::ReadOnlyFile& file) {
    std::array<std::byte, kTimingReadSize> buf{};
    if (file.ReadAt(0, buf) < 0) return std::nullopt;
    const std::uint32_t scale = LoadLe32(buf.data() + kVideoScaleOffset);
    const std::uint32_t rate = LoadLe32(buf.data() + kVideoRateOffset);
    if (rate == 0) return std::nullopt;
    ClipTiming t;
    t.frameIntervalMs = FrameIntervalMs(scale, rate);
    t.rate = rate;
    t.scale = scale;
    t.durationSeconds =
        DurationSeconds(LoadLe32(buf.data() + kTotalFramesOffset), t.frameIntervalMs);
    return t;
}

std::optional<ClipTiming> ReadTiming(const std::filesystem::path& path) {
    platform::ReadOnlyFile file;
    if (!file.Open(path)) return std::nullopt;
    return ReadTiming(file);
}

double FrameIntervalMs(std::uint32_t scale, std::uint32_t rate) {
    return static_cast<double>(scale) * 1000.0 / rate;
}

double DurationSeconds(std::uint32_t frames, double frameIntervalMs) {
    return frames * frameIntervalMs / 1000.0;
}

std::string ResolutionClass(std::int32_t bitmapHeight) {
    switch (bitmapHeight) {
        case 360:
            return "SD";
        case 720:
            return "HD";
        case 1080:
            return "FHD";
        case 1296:
            return "3M";
        case 1440:
            return "WQHD";
        default:
            return "";
    }
}

ClipFacts DeriveFacts(const ClipInfo& info) {
    ClipFacts f;
    f.layout = info.layout;
    const std::uint32_t scale = info.HeaderField(kVideoScaleOffset);
    const std::uint32_t rate = info.HeaderField(kVideoRateOffset);
    f.streamFrames = info.HeaderField(kVideoLengthOffset);
    f.totalFrames = info.HeaderField(kTotalFramesOffset);
    if (rate != 0) {
        f.frameIntervalMs = FrameIntervalMs(scale, rate);
        f.durationSeconds = DurationSeconds(f.totalFrames, *f.frameIntervalMs);
    }
    if (scale != 0) {
        f.frameRate = static_cast<double>(rate) / scale;
        if (rate != 0) f.csvDurationSeconds = f.streamFrames / *f.frameRate;
    }
    f.width = info.HeaderField(kBitmapWidthOffset);
    f.height = static_cast<std::int32_t>(info.HeaderField(kBitmapHeightOffset));
    f.resolutionClass = ResolutionClass(f.height);
    if (info.layout == ClipLayout::kFull) f.audioChunks = info.HeaderField(kAudioLengthOffset);
    return f;
}

}  // namespace trivexa
