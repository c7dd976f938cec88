#pragma once
// Joining consecutive recordings without re-encoding: all front clips of a
// selection become one front AVI file and all rear clips one rear file, each
// with one continuous movi list, one merged idx1 index and (front only) one
// merged sensor block. Chunk data is copied byte for byte; only header sizes,
// counts, index offsets and sensor counts are recomputed.
//
// The first clip of each camera is the accumulator: its ClipInfo collects the
// source list, index and sensor records of the clips appended to it, and its
// header (with updated sizes and counts) becomes the output's header.
//
// Callers: the join command's worker thread and `trivexa-cli join`. Nothing
// here touches a window; progress and completion go through a callback on the
// calling thread. Sources are only ever opened for reading. Outputs are written
// under a temporary name in the output folder and renamed into place only when
// both are complete, so a failed or cancelled join leaves no file under the
// real names (and the previous file there, if any, untouched).

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "container/avi_reader.h"
#include "platform/core_error.h"
#include "recordings/recording_entry.h"

namespace trivexa {

namespace platform {
class OutputFile;
}

// The most sensor records a joined front clip can describe: the sensor
// header's count is 16-bit.
inline constexpr std::uint32_t kMaxJoinedSensorRecords = 0xFFFF;

// Chunk data moves from source to output in steps of at most this many bytes,
// so a join never holds more than one step of video in memory.
inline constexpr std::uint64_t kJoinCopyStep = 16ull * 1024 * 1024;

struct JoinJob {
    std::optional<ClipInfo> firstFront;  // accumulator of the front output
    std::optional<ClipInfo> firstRear;   // accumulator of the rear output
    // The appended clips. Their index and sensor records are released as soon
    // as they are merged into the accumulator; what stays is their source.
    std::vector<ClipInfo> appendedFront;
    std::vector<ClipInfo> appendedRear;
    bool rearValid = true;  // cleared when any rear clip is missing or unreadable
    std::uintptr_t owner = 0;
    // Why the last operation failed (none after success).
    CoreError error;
    // Why no rear output will be written (none while rearValid is set).
    CoreError rearNote;
};

// Called after each copy step of chunk data with the bytes the step added to
// the output (on the thread that writes).
using JoinBytesFn = std::function<void(std::uint64_t bytes)>;

// Reads the first front and rear clips. False when the front clip cannot be
// read or either clip is damaged; a missing or unreadable rear clip only
// clears rearValid.
bool JoinBegin(JoinJob& job, const std::string& frontPath, const std::string& rearPath);

// Reads the next front clip and appends it to the front accumulator (failure
// of either fails the call). With rearValid set, reads and appends the rear
// clip; a damaged rear clip fails the call, any other failure there only
// clears rearValid.
bool JoinAppend(JoinJob& job, const std::string& frontPath, const std::string& rearPath);

// Appends `next` to the accumulator: source list, shifted index, (front)
// sensor records, movi and index sizes, RIFF size and frame counts. False,
// with the accumulator unchanged and the reason in `error`, when the clips have
// different layouts, the result would not fit the 32-bit sizes of the format,
// or the merged sensor records would exceed kMaxJoinedSensorRecords.
bool AppendClip(ClipInfo& accumulator, const ClipInfo& next, CoreError* error = nullptr);

// Writes the accumulated clip to `outputPath` (created or truncated, written
// in place; JoinRecordings writes to a temporary name and renames). The
// sensor block is written only when `outputPath`'s name is a front-camera
// recording name. A set `cancel` stops the copy between steps (false).
bool WriteJoined(const ClipInfo& accumulator, const std::string& outputPath,
                 const std::atomic<bool>* cancel = nullptr, CoreError* error = nullptr);
// The same into an open output (used by WriteJoined and JoinRecordings);
// `frontName` decides whether the sensor block is written; `copied` (when
// given) hears of every copy step.
bool WriteJoined(const ClipInfo& accumulator, platform::OutputFile& out, bool frontName,
                 const std::atomic<bool>* cancel = nullptr, CoreError* error = nullptr,
                 const JoinBytesFn* copied = nullptr);

// Copies the movi chunk data of the clip at `sourcePath` (from the first chunk
// to the end of its movi list) to the end of `out`. False when the source
// cannot be opened, its movi list runs past the end of the file, a copy step
// fails, or `cancel` is set.
bool CopyChunkData(platform::OutputFile& out, const std::string& sourcePath,
                   const std::atomic<bool>* cancel = nullptr, CoreError* error = nullptr);

enum class JoinResult : int { kFailed = 0, kDone = 1, kCancelled = 2 };

// Progress as (done, total) pairs in the order the join command shows them.
using JoinProgressFn = std::function<void(int done, int total)>;

// What a join did; the callers word it (the join task's messages, the CLI).
struct JoinSummary {
    CoreError error;     // why the join failed or was cancelled
    CoreError rearNote;  // why no rear output was written
    bool frontWritten = false;
    bool rearWritten = false;
    std::uint64_t frontBytes = 0;
    std::uint64_t rearBytes = 0;
    std::size_t frontIndexEntries = 0;
    std::size_t rearIndexEntries = 0;
    std::uint32_t frontSensorRecords = 0;
    // A file the join removed from an output name it owns but wrote nothing
    // under (the rear name, when no rear clip was written and replacing was
    // agreed); empty when none.
    std::string removedOutput;
};

struct JoinOptions {
    // Replace an existing output file (the user agreed); otherwise a file that
    // appears under an output name fails the join instead of being replaced.
    // Both output names belong to the join: with replacing agreed, a file
    // under the rear name is removed when no rear clip is written, so an
    // earlier join's rear clip never pairs with this join's front clip.
    bool replaceExisting = false;
    // Copy chunk data through mapped windows instead of reading the sources
    // by descriptor (the kernel's file-to-file copy where it is fastest, else
    // one 4 MB buffer).
    bool mappedCopy = false;
    // Bytes written to both outputs so far and their total, after every copy
    // step of up to kJoinCopyStep bytes (and once with done == total at the
    // end), on the joining thread: the real progress of the long part.
    std::function<void(std::uint64_t done, std::uint64_t total)> bytesProgress;
};

// Joins the selection in its order into `frontOutput` and (when every rear
// clip is readable) `rearOutput`. Nothing is written before every clip has
// been read, checked and merged; an output that would be one of the
// recordings joined fails the join. Every clip must pass the integrity check
// (CheckClip intact, every index entry inside its movi list): a damaged clip
// of either camera fails the join (kDamagedClip, its path), while a missing
// or unreadable rear clip only drops the rear output.
// Marking the joined entries in the displayed list is the caller's (it owns
// that list).
JoinResult JoinRecordings(const std::vector<RecordingEntry>& selection,
                          const std::string& frontOutput, const std::string& rearOutput,
                          const std::atomic<bool>& cancel, const JoinProgressFn& progress = {},
                          const JoinOptions& options = {}, JoinSummary* summary = nullptr);

// After a join: sets the joined mark on the displayed entries that are the
// recordings of `joined`. An entry is recognised by its front and rear paths
// (serials change when the list is sorted, filtered or renumbered); a
// recording no longer displayed marks nothing. Returns the number marked.
std::size_t MarkJoinedEntries(std::vector<RecordingEntry>& displayed,
                              const std::vector<RecordingEntry>& joined);

// ---- Preparation (before the worker runs) ----------------------------------

struct JoinPlan {
    std::string frontOutput;         // folder + "/" + file name of the first front path
    std::string rearOutput;          // folder + "/" + file name of the first rear path
    bool frontOutputExists = false;  // the user must agree to replace it
    bool rearOutputExists = false;
    // Sum over both cameras of each clip's expected size, each at most the
    // clip's real size.
    std::uint64_t requiredBytes = 0;
    std::uint64_t freeBytes = 0;  // available to the user on the folder's volume
};

enum class JoinPrepareResult {
    kReady,
    kNothingSelected,
    kNoFolder,        // no output folder, or it is not a folder
    kNoFrontClip,     // the first recording has no front clip to name the output
    kOutputIsSource,  // an output would replace one of the recordings joined
    kNotEnoughSpace,  // required bytes not smaller than the free bytes
};

// Computes the output paths and checks the output folder and the space. The
// existing-file question is left to the caller (plan.frontOutputExists).
JoinPrepareResult PrepareJoin(const std::vector<RecordingEntry>& selection,
                              const std::string& outputFolder, JoinPlan& plan);

}  // namespace trivexa
