#pragma once
// Integrity check of clips and repair of clips whose index was lost when the
// recorder lost power. A damaged clip is never changed: its chunks are found
// again by scanning the data and a repaired copy with a new index and
// corrected header sizes is written to the repair folder.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "container/avi_reader.h"
#include "platform/mapping.h"
#include "recordings/recording_entry.h"

namespace trivexa {

// What CheckClip found; the numbers are the ones the recording list and the
// CLI's "check" output show.
enum class ClipCheck : int { kIntact = 0, kDamaged = 1, kUnreadable = 2 };

// Intact, damaged (sizes or index lost), or cannot be opened or read. When
// `expectedSize` is given and the clip has an index chunk it receives the size
// the file should have: idx1 offset + 8 + idx1 size, plus the sensor block
// when the last 28 bytes begin with "CSMEND" and the block their count gives
// fits in the file. Called by the recording library for every listed clip and
// before playback, from any thread.
//
// An index is only taken as intact when it can be used: the idx1 chunk ends
// inside the file, and its first and last entries name a chunk inside the
// movi list (IndexEntryInMovi). An index whose size field claims more than the
// index holds reaches into the sensor block, whose bytes are no entries.
ClipCheck CheckClip(const std::filesystem::path& path, std::uint64_t* expectedSize = nullptr);

// The same check on a clip the caller has already opened (the recording
// library opens each listed clip once per scan); `path` decides the layout.
// When `video` is given it receives the video stream fields of the header the
// check reads anyway (read = false when the file is too short for them).
ClipCheck CheckClip(const platform::ReadOnlyFile& file, const std::filesystem::path& path,
                    std::uint64_t* expectedSize = nullptr, ClipVideoFacts* video = nullptr);

// True when `entry` names a video ("00dc") or audio ("01wb") chunk that lies
// inside a movi list of `moviListSize` bytes: its offset (from the movi fourcc)
// at least 4, its header and data not past the end of the list.
bool IndexEntryInMovi(const IndexEntry& entry, std::uint64_t moviListSize);

namespace repair {
// The scan walks the file in windows this far apart, each this long.
inline constexpr std::uint64_t kScanStep = 16ull * 1024 * 1024;
inline constexpr std::uint64_t kScanWindow = 32ull * 1024 * 1024;
// Bulk copies map at most this many bytes per view.
inline constexpr std::uint64_t kCopyView = 16ull * 1024 * 1024;
// Chunks of this many data bytes or fewer are not taken.
inline constexpr std::uint32_t kMinChunkData = 16;
// Audio defaults for a header that left them 0.
inline constexpr std::uint32_t kDefaultAudioRate = 16000;
inline constexpr std::uint32_t kDefaultAudioAvgBytes = 4000;
// Written between the new index and the trailer copy.
inline constexpr std::string_view kIndexTrailerGap = "CCCCCCCC";
inline constexpr const char* kRepairFolderName = "repaired_movie_files";
// A repaired copy is reused only for the source it was made from: same size,
// same modification time, and the same hash of this many leading bytes.
inline constexpr std::uint64_t kIdentityHeadBytes = 1024ull * 1024;
}  // namespace repair

// Where the viewers' repaired copies go: "repaired_movie_files" in the
// program's folder of the user's cache folder (private, 0700). Each running
// viewer has its own session folder in it, locked while the viewer runs.
std::string RepairFoldersRoot();

// This process's repair folder: its session folder in RepairFoldersRoot(),
// made on first use (which also removes the folders of viewers that have
// gone, and only those), or the folder SetRepairFolder named. Empty when no
// private folder can be made; nothing is repaired then.
std::filesystem::path RepairFolder();
// Tests and tools name another folder ("" returns to the session folder).
void SetRepairFolder(const std::filesystem::path& folder);

// The identity of a repaired copy's source, recorded beside the copy.
struct SourceIdentity {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::uint64_t headHash = 0;  // FNV-1a of the first kIdentityHeadBytes
    bool operator==(const SourceIdentity&) const = default;
};
// Reads the identity of the file at `path`; false when it cannot be read.
bool ReadSourceIdentity(const std::filesystem::path& path, SourceIdentity& out);
// The record beside a copy: ".<copy name>.source" in the copy's folder.
std::filesystem::path IdentityRecordPath(const std::filesystem::path& copy);
bool WriteIdentityRecord(const std::filesystem::path& copy, const SourceIdentity& identity);
bool ReadIdentityRecord(const std::filesystem::path& copy, SourceIdentity& identity);
// `copy` exists and was made by the repair from `source` as it is now.
bool IsRepairedCopyOf(const std::filesystem::path& copy, const std::filesystem::path& source);

// One repair, owned by a playback engine. The engine may set `abort` from
// another thread; everything else is used by the thread running the repair.
struct RepairJob {
    std::filesystem::path sourcePath;
    ClipLayout layout = ClipLayout::kFull;
    // The source header up to and including the movi list header (396 / 292
    // bytes), with sizes and counts corrected by RebuildIndex.
    std::vector<std::byte> header;
    std::vector<IndexEntry> index;       // the new idx1 entries
    std::uint64_t indexChunkLength = 0;  // 8 + 16 x entries
    std::uint32_t moviListSize = 0;      // the new movi list size
    std::atomic<bool> abort{false};
    bool repairedCopyInUse = false;
    // Set by ScanChunks and WriteRepaired (cleared when they start) when the
    // source could not be read: it was cut short, or its card was removed,
    // while the repair was using it. The repair then fails.
    bool readFailed = false;
    // Called, when set, on the repairing thread as the work goes on: `done`
    // of `total` steps (the scan reads the source once, the write copies it
    // once; both count).
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

// The repaired copy's path for a clip file name: RepairFolder() + name.
// False for an empty name, or when there is no repair folder.
bool RepairFolderPath(std::string_view fileName, std::filesystem::path& out);

// Decides which file a player opens for `path`: the path itself (intact,
// unreadable, or not a camera clip; the latter returns false) or a repaired
// copy, made when no copy of this very source exists yet (a copy recorded
// for another source of the same name is made again). An intact clip's stale
// copy is deleted, and only a copy the repair made; the file being opened is
// never deleted, moved or written, even when it lies in the repair folder.
bool PrepareForPlayback(RepairJob& job, const std::filesystem::path& path,
                        std::filesystem::path& playPath);

// True when PrepareForPlayback would have to repair `path` now: a damaged
// camera clip without a copy of this very source in the repair folder.
bool NeedsRepairedCopy(const std::filesystem::path& path);

// Rebuilds the index of `source` and writes the repaired copy to `target`,
// creating the target's folder when missing. False on failure or abort; no
// partial file is left. The source is only read.
bool RepairClip(RepairJob& job, const std::filesystem::path& source,
                const std::filesystem::path& target);

// Finds the chunks of job.sourcePath's movi data; appends them to `entries`
// in file order and returns how many were found. A chunk that is taken is
// skipped whole: chunk ids that its data happens to contain are payload. When
// the source cannot be read to the end of the scan, job.readFailed is set and
// the entries found are not to be used.
std::size_t ScanChunks(RepairJob& job, std::vector<IndexEntry>& entries);

// RebuildIndex's answer (numbered as the repair's callers have always seen it).
enum class RebuildResult : int { kFailed = 0, kBuilt = 1, kAborted = 2 };

// ScanChunks plus the corrected header; job.header must hold the source
// header. kFailed when no chunk was found or the source could not be read.
RebuildResult RebuildIndex(RepairJob& job);

// Writes the header, the chunk data covered by the new index, the index,
// "CCCCCCCC" and the source's last 28 bytes with the record count zeroed.
// The copy is written under a temporary name in the target's folder and
// renamed into place only when complete; on failure or abort nothing is left.
bool WriteRepaired(RepairJob& job, const std::filesystem::path& target);

}  // namespace trivexa
