#include "container/integrity.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <system_error>

#include "platform/files.h"
#include "platform/output_file.h"
#include "platform/private_folders.h"
#include "recordings/drive_utils.h"
#include "recordings/recording_name.h"

namespace trivexa {
namespace {

using namespace avi;

// Chunk end as the index rules measure it: data padded to an even length.
constexpr std::uint64_t PaddedEnd(std::uint64_t offset, std::uint32_t size) {
    return offset + kChunkHeaderSize + size + (size % 2);
}

}  // namespace

// The check runs for every clip of every listed recording, so it reads its
// few fields with positioned reads: short-lived mappings of a few bytes each
// cost far more (map, fault, unmap) than the reads themselves. The answers are
// the same as reading them through mapped windows.
namespace {
// Enough of the header for the movi list size of either layout.
constexpr std::size_t kFullHeaderReadSize = 400;
static_assert(MoviSizeOffset(ClipLayout::kFull) + 4 <= kFullHeaderReadSize);
static_assert(MoviSizeOffset(ClipLayout::kShort) + 4 <= kFullHeaderReadSize);
}  // namespace

ClipCheck CheckClip(const std::filesystem::path& path, std::uint64_t* expectedSize) {
    if (expectedSize != nullptr) *expectedSize = 0;
    platform::ReadOnlyFile file;
    if (!file.Open(path)) return ClipCheck::kUnreadable;
    return CheckClip(file, path, expectedSize);
}

ClipCheck CheckClip(const platform::ReadOnlyFile& file, const std::filesystem::path& path,
                    std::uint64_t* expectedSize, ClipVideoFacts* video) {
    if (expectedSize != nullptr) *expectedSize = 0;
    if (video != nullptr) *video = {};
    if (!file.IsOpen()) return ClipCheck::kUnreadable;
    const ClipLayout layout = LayoutForPath(path);
    const std::uint64_t size = file.Size();

    // Reads `out.size()` bytes at `offset`; false when they are not all there.
    auto readAt = [&file](std::uint64_t offset, std::span<std::byte> out) {
        return file.ReadAt(offset, out) == static_cast<std::int64_t>(out.size());
    };

    // RIFF size and movi list size lie in the header; one read fetches both.
    const std::uint64_t moviSizeAt = MoviSizeOffset(layout);
    std::array<std::byte, kFullHeaderReadSize> header{};
    const std::int64_t got = file.ReadAt(0, std::span(header).first(moviSizeAt + 4));
    if (video != nullptr && got >= static_cast<std::int64_t>(kBitmapHeightOffset + 4)) {
        video->read = true;
        video->scale = LoadLe32(header.data() + kVideoScaleOffset);
        video->rate = LoadLe32(header.data() + kVideoRateOffset);
        video->frames = LoadLe32(header.data() + kVideoLengthOffset);
        video->height = static_cast<std::int32_t>(LoadLe32(header.data() + kBitmapHeightOffset));
    }
    if (got < static_cast<std::int64_t>(kRiffSizeOffset + 4)) return ClipCheck::kUnreadable;
    if (LoadLe32(header.data() + kRiffSizeOffset) == 0) return ClipCheck::kDamaged;
    if (got < static_cast<std::int64_t>(moviSizeAt + 4)) return ClipCheck::kDamaged;
    const std::uint32_t moviSize = LoadLe32(header.data() + moviSizeAt);
    if (moviSize == 0 || moviSize >= size) return ClipCheck::kDamaged;

    const std::uint64_t indexAt = MoviFourccOffset(layout) + moviSize;
    // The chunk header and, when the file holds it, the first entry.
    std::array<std::byte, kChunkHeaderSize + kIndexEntrySize> chunk{};
    const std::int64_t chunkGot = file.ReadAt(indexAt, chunk);
    if (chunkGot < static_cast<std::int64_t>(kChunkHeaderSize) ||
        LoadLe32(chunk.data()) != kIndexChunk)
        return ClipCheck::kDamaged;
    const std::uint32_t indexSize = LoadLe32(chunk.data() + 4);
    if (indexSize == 0 || indexSize >= size) return ClipCheck::kDamaged;
    const std::uint64_t indexEnd = indexAt + kChunkHeaderSize + indexSize;

    if (expectedSize != nullptr) {
        std::uint64_t expected = indexEnd;
        std::array<std::byte, sensor::kTrailerSize> trailer{};
        if (size >= sensor::kTrailerSize && readAt(size - sensor::kTrailerSize, trailer)) {
            const sensor::Trailer facts = sensor::ReadTrailer(trailer);
            // A count whose block cannot fit in the file is no size the file
            // should have (0xFFFFFFFF would claim some 558 GB).
            if (facts.present && sensor::BlockStartByTrailer(facts.slotCount, size))
                expected += sensor::BlockSize(facts.slotCount);
        }
        *expectedSize = expected;
    }

    if (indexSize < kIndexEntrySize) return ClipCheck::kDamaged;
    // An index that runs past the end of the file lost entries.
    if (indexEnd > size) return ClipCheck::kDamaged;
    // Its first and last entries must lead to chunks of the movi list: a size
    // field that claims more entries than were written reaches into what
    // follows the index (the sensor block), and a player would take those
    // bytes for chunk positions.
    if (chunkGot < static_cast<std::int64_t>(chunk.size())) return ClipCheck::kUnreadable;
    const auto entryAt = [](const std::byte* p) {
        return IndexEntry{LoadLe32(p), LoadLe32(p + 4), LoadLe32(p + 8), LoadLe32(p + 12)};
    };
    if (!IndexEntryInMovi(entryAt(chunk.data() + kChunkHeaderSize), moviSize))
        return ClipCheck::kDamaged;
    const std::uint64_t entries = indexSize / kIndexEntrySize;
    if (entries > 1) {
        std::array<std::byte, kIndexEntrySize> last{};
        if (!readAt(indexAt + kChunkHeaderSize + (entries - 1) * kIndexEntrySize, last))
            return ClipCheck::kUnreadable;
        if (!IndexEntryInMovi(entryAt(last.data()), moviSize)) return ClipCheck::kDamaged;
    }
    return ClipCheck::kIntact;
}

bool IndexEntryInMovi(const IndexEntry& entry, std::uint64_t moviListSize) {
    if (entry.chunkId != kVideoChunk && entry.chunkId != kAudioChunk) return false;
    return entry.offset >= 4 &&
           std::uint64_t{entry.offset} + kChunkHeaderSize + entry.size <= moviListSize;
}

namespace {

std::mutex g_repairFolderMutex;
std::filesystem::path g_repairFolderOverride;

// FNV-1a, 64 bits: enough to tell two clips of one name apart.
std::uint64_t HashBytes(std::span<const std::byte> bytes) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::byte b : bytes) {
        h ^= static_cast<std::uint64_t>(b);
        h *= 0x100000001b3ull;
    }
    return h;
}

// The record's three lines.
constexpr std::string_view kSizeKey = "size=";
constexpr std::string_view kModifiedKey = "modified=";
constexpr std::string_view kHeadKey = "head=";
// A record is a few dozen bytes; anything longer was not written by us.
constexpr std::uint64_t kIdentityRecordMax = 256;

bool ParseU64(std::string_view text, std::uint64_t& out, int base) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return ec == std::errc() && end == text.data() + text.size();
}

void RemoveCopy(const std::filesystem::path& copy) {
    if (platform::PathExists(copy.string())) ShellDeleteAndWait(copy.string());
    std::error_code ec;
    std::filesystem::remove(IdentityRecordPath(copy), ec);
}

}  // namespace

std::string RepairFoldersRoot() {
    const std::string cache = platform::AppCacheDirectory();
    if (cache.empty()) return {};
    return cache + "/" + repair::kRepairFolderName;
}

std::filesystem::path RepairFolder() {
    {
        std::lock_guard lock(g_repairFolderMutex);
        if (!g_repairFolderOverride.empty()) return g_repairFolderOverride;
    }
    // One session per process, opened on first use and held to the end.
    static platform::SessionFolder session;
    static std::once_flag opened;
    std::call_once(opened, [] {
        if (const std::string root = RepairFoldersRoot(); !root.empty()) session.Open(root);
    });
    return session.Path();
}

void SetRepairFolder(const std::filesystem::path& folder) {
    std::lock_guard lock(g_repairFolderMutex);
    g_repairFolderOverride = folder;
}

bool ReadSourceIdentity(const std::filesystem::path& path, SourceIdentity& out) {
    out = {};
    platform::FileStamp stamp;
    if (!platform::StampOf(path.string(), stamp)) return false;
    MappedFile file;
    if (!file.Open(path)) return false;
    const std::uint64_t head = std::min(file.Size(), repair::kIdentityHeadBytes);
    std::vector<std::byte> bytes;
    if (head > 0 && !file.ReadWindow(0, head, bytes)) return false;
    out.size = stamp.size;
    out.modifiedNs = stamp.modifiedNs;
    out.headHash = HashBytes(bytes);
    return true;
}

std::filesystem::path IdentityRecordPath(const std::filesystem::path& copy) {
    return copy.parent_path() / ("." + copy.filename().string() + ".source");
}

bool WriteIdentityRecord(const std::filesystem::path& copy, const SourceIdentity& identity) {
    char head[17] = {};
    std::snprintf(head, sizeof head, "%016llx", static_cast<unsigned long long>(identity.headHash));
    const std::string text = std::string(kSizeKey) + std::to_string(identity.size) + "\n" +
                             std::string(kModifiedKey) + std::to_string(identity.modifiedNs) +
                             "\n" + std::string(kHeadKey) + head + "\n";
    platform::OutputFile out;
    if (!out.Create(IdentityRecordPath(copy).string())) return false;
    if (!out.Write(std::as_bytes(std::span(text.data(), text.size())))) return false;
    return out.Commit(/*replace=*/true);
}

bool ReadIdentityRecord(const std::filesystem::path& copy, SourceIdentity& identity) {
    identity = {};
    platform::ReadOnlyFile file;
    if (!file.Open(IdentityRecordPath(copy)) || file.Size() > kIdentityRecordMax) return false;
    std::array<std::byte, kIdentityRecordMax> buffer{};
    const std::int64_t got = file.ReadAt(0, std::span(buffer).first(file.Size()));
    if (got != static_cast<std::int64_t>(file.Size())) return false;
    std::string_view text(reinterpret_cast<const char*>(buffer.data()),
                          static_cast<std::size_t>(got));
    bool size = false, modified = false, head = false;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        const std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        std::uint64_t v = 0;
        if (line.starts_with(kSizeKey)) {
            size = ParseU64(line.substr(kSizeKey.size()), identity.size, 10);
        } else if (line.starts_with(kModifiedKey)) {
            modified = ParseU64(line.substr(kModifiedKey.size()), v, 10) &&
                       v <= static_cast<std::uint64_t>(INT64_MAX);
            identity.modifiedNs = static_cast<std::int64_t>(v);
        } else if (line.starts_with(kHeadKey)) {
            head = ParseU64(line.substr(kHeadKey.size()), identity.headHash, 16);
        }
    }
    return size && modified && head;
}

bool IsRepairedCopyOf(const std::filesystem::path& copy, const std::filesystem::path& source) {
    if (!platform::IsRegularFile(copy.string())) return false;
    SourceIdentity recorded;
    SourceIdentity now;
    return ReadIdentityRecord(copy, recorded) && ReadSourceIdentity(source, now) && recorded == now;
}

bool RepairFolderPath(std::string_view fileName, std::filesystem::path& out) {
    const std::string_view name = FileNameOf(fileName);
    if (name.empty()) return false;
    const std::filesystem::path folder = RepairFolder();
    if (folder.empty()) return false;
    out = folder / std::string(name);
    return true;
}

namespace {

bool IsCameraClipPath(const std::string& text) {
    for (const char* suffix : {"F.AVI", "F.avi", "R.AVI", "R.avi"})
        if (text.find(suffix) != std::string::npos) return true;
    return false;
}

// The file being opened is the copy's place itself (it lies in the repair
// folder): it is played as it is, never repaired into, replaced or removed.
bool IsTheCopyItself(const std::filesystem::path& path, const std::filesystem::path& copy) {
    return path.lexically_normal() == copy.lexically_normal() ||
           platform::SameFile(path.string(), copy.string());
}

}  // namespace

bool NeedsRepairedCopy(const std::filesystem::path& path) {
    const std::string text = path.string();
    if (!IsCameraClipPath(text)) return false;
    std::filesystem::path copy;
    if (!RepairFolderPath(text, copy) || IsTheCopyItself(path, copy)) return false;
    return CheckClip(path) == ClipCheck::kDamaged && !IsRepairedCopyOf(copy, path);
}

bool PrepareForPlayback(RepairJob& job, const std::filesystem::path& path,
                        std::filesystem::path& playPath) {
    playPath = path;
    job.repairedCopyInUse = false;
    const std::string text = path.string();
    if (!IsCameraClipPath(text)) return false;

    std::filesystem::path copy;
    if (!RepairFolderPath(text, copy)) return false;
    if (IsTheCopyItself(path, copy)) return true;

    switch (CheckClip(path)) {
        case ClipCheck::kIntact: {
            // A copy the repair made while the clip looked damaged is stale
            // now; a file it did not make is not its to remove.
            SourceIdentity recorded;
            if (ReadIdentityRecord(copy, recorded)) RemoveCopy(copy);
            return true;
        }
        case ClipCheck::kUnreadable:
            return true;
        default:
            break;
    }
    playPath = copy;
    if (IsRepairedCopyOf(copy, path)) {
        job.repairedCopyInUse = true;
        return true;
    }
    // The identity is taken before the repair reads the source, so a source
    // that changes meanwhile does not match its copy afterwards.
    SourceIdentity identity;
    const bool identified = ReadSourceIdentity(path, identity);
    // The folder may have been deleted since (the copies were not kept); it
    // comes back as private as it was.
    if (platform::MakePrivateFolder(copy.parent_path().string()) != platform::PrivateFolder::kOk)
        return job.abort.load();
    // A copy of another source of this name (or one left without its
    // record) is of no use: it must not be played if this repair fails.
    std::error_code ec;
    std::filesystem::remove(IdentityRecordPath(copy), ec);
    std::filesystem::remove(copy, ec);
    if (RepairClip(job, path, copy)) {
        if (identified) WriteIdentityRecord(copy, identity);
        job.repairedCopyInUse = true;
        return true;
    }
    return job.abort.load();
}

bool RepairClip(RepairJob& job, const std::filesystem::path& source,
                const std::filesystem::path& target) {
    job.abort = false;
    job.sourcePath = source;
    job.layout = LayoutForPath(source);
    job.header.clear();
    job.index.clear();
    job.readFailed = false;

    bool ok = false;
    {
        MappedFile file;
        if (!file.Open(source)) return false;
        const std::vector<std::byte> w = file.ReadWindow(0, FirstChunkOffset(job.layout));
        if (w.empty()) {
            job.readFailed = file.Size() > 0;
            return false;
        }
        job.header.assign(static_cast<std::size_t>(FirstChunkOffset(job.layout)), std::byte{0});
        std::memcpy(job.header.data(), w.data(), std::min(job.header.size(), w.size()));
    }

    if (RebuildIndex(job) == RebuildResult::kBuilt && !job.abort) {
        std::error_code ec;
        if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
        ok = WriteRepaired(job, target) && !job.abort;
    }

    job.header.clear();
    job.header.shrink_to_fit();
    job.index.clear();
    job.index.shrink_to_fit();
    if (job.abort && platform::PathExists(target.string())) ShellDeleteAndWait(target.string());
    return ok && !job.abort;
}

std::size_t ScanChunks(RepairJob& job, std::vector<IndexEntry>& entries) {
    job.readFailed = false;
    const std::size_t before = entries.size();
    auto found = [&] { return entries.size() - before; };
    // The clip may be cut short, or its card pulled out, while the scan runs:
    // every read of a window is guarded, and a failed one ends the scan as a
    // read error instead of a fault.
    auto unreadable = [&] {
        job.readFailed = true;
        return found();
    };
    MappedFile file;
    if (!file.Open(job.sourcePath)) return unreadable();
    const std::uint64_t size = file.Size();
    const std::uint64_t base = MoviFourccOffset(job.layout);
    constexpr std::uint64_t kLimit = 0xFFFFFFFFull;
    // A chunk id, its size and the first five data bytes (start code and the
    // byte after it).
    constexpr std::size_t kHeadBytes = kChunkHeaderSize + 5;

    // The movi fourcc itself holds no chunk: the first one starts after it.
    std::uint64_t next = base + 4;  // first position not tested yet
    for (std::uint64_t windowStart = base; windowStart < size; windowStart += repair::kScanStep) {
        if (job.abort) break;
        // The scan is the first half of a repair's work, the copy the second.
        if (job.progress) job.progress(windowStart, 2 * size);
        // A chunk taken whole can reach past every position of this window.
        if (next >= windowStart + repair::kScanStep) continue;
        const MappedWindow w = file.MapWindow(windowStart, repair::kScanWindow);
        if (!w) break;
        const std::uint64_t viewEnd = windowStart + w.size();
        // Positions past the first step of this window belong to the next one.
        const std::uint64_t stepEnd = std::min(windowStart + repair::kScanStep, viewEnd);
        std::uint64_t p = std::max(next, windowStart);
        while (p < stepEnd && p + 4 <= viewEnd) {
            // Both chunk ids begin with '0': skip the bytes that cannot start
            // a match.
            const std::uint64_t last = std::min(stepEnd, viewEnd - 3);
            const std::optional<std::size_t> hit =
                w.FindByte(static_cast<std::size_t>(p - windowStart),
                           static_cast<std::size_t>(last - windowStart), std::byte{'0'});
            if (!hit) return unreadable();
            const std::uint64_t o = windowStart + *hit;
            if (o >= last) {
                p = last;
                break;
            }
            std::array<std::byte, kHeadBytes> head{};
            const std::size_t have =
                static_cast<std::size_t>(std::min<std::uint64_t>(kHeadBytes, viewEnd - o));
            if (!w.CopyOut(static_cast<std::size_t>(o - windowStart), std::span(head).first(have)))
                return unreadable();
            const std::uint32_t id = LoadLe32(head.data());
            if (id != kVideoChunk && id != kAudioChunk) {
                p = o + 1;
                continue;
            }
            // The size field and the first data bytes lie inside the view
            // unless the chunk runs past the end of the file, which ends the
            // scan anyway.
            if (o + kChunkHeaderSize > viewEnd) return found();
            const std::uint32_t s = LoadLe32(head.data() + 4);
            const std::uint64_t v = o - base;
            if (PaddedEnd(o, s) >= size) return found();
            // Index offsets and the movi size are 32-bit in the file.
            if (PaddedEnd(v, s) > kLimit) return found();
            // Chunks follow one another without a gap. (A match inside a
            // taken chunk's data is never tested: the scan goes on at that
            // chunk's end.)
            if (entries.size() > before) {
                const IndexEntry& prev = entries.back();
                if (v != PaddedEnd(prev.offset, prev.size)) return found();
            }
            bool taken = false;
            if (s > repair::kMinChunkData) {
                if (id == kAudioChunk) {
                    entries.push_back({id, kKeyFrameFlag, static_cast<std::uint32_t>(v), s});
                    taken = true;
                } else if (have == kHeadBytes) {
                    const std::byte* data = head.data() + kChunkHeaderSize;
                    if (data[0] == std::byte{0} && data[1] == std::byte{0} &&
                        data[2] == std::byte{0} && data[3] == std::byte{1}) {
                        const unsigned nal = static_cast<unsigned>(data[4]) & 0x0F;
                        const std::uint32_t flags =
                            (nal % 5 == 0 || nal % 5 == 2) ? kKeyFrameFlag : 0;
                        entries.push_back({id, flags, static_cast<std::uint32_t>(v), s});
                        taken = true;
                    }
                }
            }
            // A chunk taken whole is payload up to its end, whatever its data
            // holds (compressed video contains "00dc" and "01wb" by chance).
            // Anything else is looked into, so the chunk after it shows as a
            // gap.
            p = taken ? PaddedEnd(o, s) : o + 4;
        }
        next = p;
    }
    return found();
}

RebuildResult RebuildIndex(RepairJob& job) {
    job.index.clear();
    const std::size_t n = ScanChunks(job, job.index);
    if (job.abort) return RebuildResult::kAborted;
    if (n < 1 || job.readFailed) return RebuildResult::kFailed;
    if (job.header.size() < FirstChunkOffset(job.layout)) return RebuildResult::kFailed;

    const std::uint64_t indexLength = kChunkHeaderSize + kIndexEntrySize * n;
    const IndexEntry& last = job.index.back();
    const std::uint64_t movi = PaddedEnd(last.offset, last.size);
    const std::uint64_t riff = FirstChunkOffset(job.layout) + movi + indexLength - 12;
    if (riff > 0xFFFFFFFFull) return RebuildResult::kFailed;
    job.indexChunkLength = indexLength;
    job.moviListSize = static_cast<std::uint32_t>(movi);

    std::byte* h = job.header.data();
    StoreLe32(h + MoviSizeOffset(job.layout), job.moviListSize);
    StoreLe32(h + kRiffSizeOffset, static_cast<std::uint32_t>(riff));
    std::uint32_t frames = 0;
    std::uint32_t audio = 0;
    for (const IndexEntry& e : job.index) {
        if (e.chunkId == kVideoChunk) ++frames;
        if (e.chunkId == kAudioChunk) ++audio;
    }
    StoreLe32(h + kVideoLengthOffset, frames);
    StoreLe32(h + kTotalFramesOffset, frames);
    if (job.layout == ClipLayout::kFull) {
        StoreLe32(h + kAudioLengthOffset, audio);
        if (LoadLe32(h + kAudioRateOffset) == 0)
            StoreLe32(h + kAudioRateOffset, repair::kDefaultAudioRate);
        if (LoadLe32(h + kWaveAvgBytesPerSecOffset) == 0)
            StoreLe32(h + kWaveAvgBytesPerSecOffset, repair::kDefaultAudioAvgBytes);
    }
    return job.abort ? RebuildResult::kAborted : RebuildResult::kBuilt;
}

bool WriteRepaired(RepairJob& job, const std::filesystem::path& target) {
    job.readFailed = false;
    const std::uint64_t first = FirstChunkOffset(job.layout);
    if (job.header.size() < first || job.index.empty()) return false;
    MappedFile file;
    if (!file.Open(job.sourcePath)) return false;
    const std::uint64_t size = file.Size();
    const std::uint64_t end = MoviFourccOffset(job.layout) + job.moviListSize;
    if (end < first) return false;
    if (end > size || size < sensor::kTrailerSize) {
        // The scan found chunks up to `end`: the source has been cut short since.
        job.readFailed = true;
        return false;
    }

    // The copy appears under its real name only when complete; a copy that
    // fails or is aborted half-way is removed when `out` goes out of scope.
    platform::OutputFile out;
    if (!out.Create(target.string())) return false;
    // Room for the whole copy first, so a full volume fails before any copying.
    const std::uint64_t total = end + kChunkHeaderSize + kIndexEntrySize * job.index.size() +
                                repair::kIndexTrailerGap.size() + sensor::kTrailerSize;
    if (!out.Reserve(total)) return false;
    if (!out.Write(std::span(job.header.data(), static_cast<std::size_t>(first)))) return false;
    for (std::uint64_t at = first; at < end;) {
        if (job.abort) return false;
        if (job.progress) job.progress(size + at, 2 * size);
        const std::uint64_t want = std::min(repair::kCopyView, end - at);
        const MappedWindow w = file.MapWindow(at, want);
        if (!w || w.size() < want) return false;
        // The write reads the view in the kernel: a source cut short (or a
        // card pulled out) meanwhile fails it with EFAULT, not with a signal.
        if (!out.Write(w.bytes().first(static_cast<std::size_t>(want)))) {
            job.readFailed = out.LastError() == EFAULT;
            return false;
        }
        at += want;
    }

    std::vector<std::byte> tail;
    tail.reserve(static_cast<std::size_t>(job.indexChunkLength) + 8 + sensor::kTrailerSize);
    tail.resize(kChunkHeaderSize);
    StoreLe32(tail.data(), kIndexChunk);
    StoreLe32(tail.data() + 4, static_cast<std::uint32_t>(kIndexEntrySize * job.index.size()));
    EncodeIndexEntries(job.index, tail);
    for (char c : repair::kIndexTrailerGap) tail.push_back(static_cast<std::byte>(c));
    {
        const std::vector<std::byte> trailer =
            file.ReadWindow(size - sensor::kTrailerSize, sensor::kTrailerSize);
        if (trailer.size() < sensor::kTrailerSize) {
            job.readFailed = true;
            return false;
        }
        tail.insert(tail.end(), trailer.begin(), trailer.end());
    }
    // The copy carries no sensor records, so its trailer says none.
    StoreBe32(tail.data() + tail.size() - sensor::kTrailerSize + sensor::kTrailerCountOffset, 0);
    if (!out.Write(tail) || job.abort) return false;
    if (!out.Commit(/*replace=*/true)) return false;
    if (job.progress) job.progress(2 * size, 2 * size);
    return true;
}

}  // namespace trivexa
