#include "container/concat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <system_error>
#include <utility>

#include "container/integrity.h"
#include "container/mapped_file.h"
#include "platform/files.h"
#include "platform/output_file.h"
#include "platform/path.h"
#include "recordings/drive_utils.h"
#include "recordings/recording_name.h"

namespace trivexa {
namespace {

using namespace avi;

constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();
// Index entries are serialised in batches of this many, so writing a large
// merged index needs no second copy of it.
constexpr std::size_t kIndexWriteBatch = 4096;

void SetError(CoreError* error, CoreErrorCode code, std::string detail = {}) {
    if (error != nullptr) *error = CoreError{code, std::move(detail)};
}

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

bool IsFrontName(std::string_view path) { return IsRecordingName(path, CameraFilter::Front); }

// A clip can take part in a join only when the integrity check calls it
// intact and what the reader took from it agrees: its movi list inside the
// file and every index entry leading to a chunk of that list (entries read
// from past the index would be copied into the joined index as chunk
// positions). A damaged clip is repaired first.
bool CheckJoinable(const ClipInfo& info, const std::string& path, CoreError& error) {
    const std::uint64_t moviSize = info.MoviListSize();
    const std::uint64_t moviEnd = MoviFourccOffset(info.layout) + moviSize;
    if (moviSize < 4 || moviEnd > info.fileSize) {
        error = {CoreErrorCode::kDamagedMoviList, path};
        return false;
    }
    if (!info.hasIndex) {
        error = {CoreErrorCode::kNoIndex, path};
        return false;
    }
    const bool wholeIndex = info.indexEntries.size() == info.indexSize / kIndexEntrySize;
    const bool entriesInMovi =
        std::all_of(info.indexEntries.begin(), info.indexEntries.end(),
                    [&](const IndexEntry& e) { return IndexEntryInMovi(e, moviSize); });
    if (info.indexEntries.empty() || !wholeIndex || !entriesInMovi) {
        error = {CoreErrorCode::kDamagedClip, path};
        return false;
    }
    return true;
}

// Why an intact clip gave no ClipInfo: a front clip's trailer whose count
// places the sensor block before the start of the file, or a read failure.
CoreErrorCode WhyUnread(const std::string& path) {
    if (!IsFrontName(path)) return CoreErrorCode::kCannotRead;
    MappedFile file;
    if (!file.Open(path) || file.Size() < sensor::kTrailerSize) return CoreErrorCode::kCannotRead;
    const std::vector<std::byte> last =
        file.ReadWindow(file.Size() - sensor::kTrailerSize, sensor::kTrailerSize);
    if (last.size() < sensor::kTrailerSize) return CoreErrorCode::kCannotRead;
    const sensor::Trailer trailer = sensor::ReadTrailer(last);
    return sensor::BlockStartByTrailer(trailer.slotCount, file.Size())
               ? CoreErrorCode::kCannotRead
               : CoreErrorCode::kDamagedSensorBlock;
}

std::optional<ClipInfo> ReadForJoin(const std::string& path, std::uintptr_t owner,
                                    CoreError& error) {
    if (path.empty()) {
        error = {CoreErrorCode::kNoClip, {}};
        return std::nullopt;
    }
    switch (CheckClip(path)) {
        case ClipCheck::kUnreadable:
            error = {CoreErrorCode::kCannotRead, path};
            return std::nullopt;
        case ClipCheck::kDamaged:
            error = {CoreErrorCode::kDamagedClip, path};
            return std::nullopt;
        case ClipCheck::kIntact:
            break;
    }
    std::optional<ClipInfo> info = ReadClipInfo(path, owner);
    if (!info) {
        error = {WhyUnread(path), path};
        return std::nullopt;
    }
    if (!CheckJoinable(*info, path, error)) return std::nullopt;
    return info;
}

// A damaged clip fails the join whichever camera it belongs to; a rear clip
// that is only missing or unreadable drops the rear output instead.
bool FailsTheJoin(const CoreError& error) {
    return error.code == CoreErrorCode::kDamagedClip ||
           error.code == CoreErrorCode::kDamagedMoviList || error.code == CoreErrorCode::kNoIndex;
}

// Frees what an appended clip no longer needs once it is merged: its entries
// and records now live in the accumulator.
void ReleaseMerged(ClipInfo& info) {
    std::vector<IndexEntry>().swap(info.indexEntries);
    std::vector<std::byte>().swap(info.sensorRecords);
}

void ReleaseAll(std::vector<ClipInfo>& clips) { std::vector<ClipInfo>().swap(clips); }

// `output` would be the file `source` (same device and inode, or the same
// path once links and dots are resolved).
bool IsSource(const std::string& output, const std::string& source) {
    if (output.empty() || source.empty()) return false;
    if (platform::SameFile(output, source)) return true;
    std::error_code ec1, ec2;
    const std::filesystem::path a = std::filesystem::weakly_canonical(output, ec1);
    const std::filesystem::path b = std::filesystem::weakly_canonical(source, ec2);
    return !ec1 && !ec2 && a == b;
}

// Something, even a dangling link, holds `path`.
bool Occupied(const std::string& path) {
    return !path.empty() && (platform::PathExists(path) || platform::IsSymlink(path));
}

// Removes a file (or link) under an output name; never a folder.
bool RemoveOutput(const std::string& path) {
    if (platform::IsDirectory(path) && !platform::IsSymlink(path)) return false;
    std::error_code ec;
    return std::filesystem::remove(path, ec) && !ec;
}

// Copies [offset, offset + length) of `source` to the end of `out` in steps
// of at most kJoinCopyStep, checking for cancel between steps: by descriptor
// (OutputFile::CopyFrom), or through mapped windows of the same size when
// `out` has copying by descriptor switched off.
bool CopyRange(platform::OutputFile& out, const MappedFile& mapped, int sourceFd,
               std::uint64_t offset, std::uint64_t length, const std::atomic<bool>* cancel,
               CoreError* error, const JoinBytesFn* copied) {
    bool kernelCopy = true;
    std::uint64_t done = 0;
    while (done < length) {
        if (Cancelled(cancel)) {
            SetError(error, CoreErrorCode::kCancelled);
            return false;
        }
        const std::uint64_t step = std::min(kJoinCopyStep, length - done);
        if (kernelCopy) {
            const std::int64_t n = out.CopyFrom(sourceFd, offset + done, step);
            if (n == -2) {
                kernelCopy = false;
                continue;
            }
            if (n < 0 || static_cast<std::uint64_t>(n) != step) {
                if (n < 0)
                    SetError(error, CoreErrorCode::kCannotWrite, out.FinalPath());
                else
                    SetError(error, CoreErrorCode::kEndedEarly, mapped.Path().string());
                return false;
            }
        } else {
            MappedWindow w = mapped.MapWindow(offset + done, step);
            if (!w || w.size() != step) {
                SetError(error, CoreErrorCode::kCannotRead, mapped.Path().string());
                return false;
            }
            // The write reads the window in the kernel: a source cut short
            // (or a card pulled out) meanwhile fails it with EFAULT rather
            // than raising a signal.
            if (!out.Write(w.bytes())) {
                if (out.LastError() == EFAULT)
                    SetError(error, CoreErrorCode::kCannotReadCutShort, mapped.Path().string());
                else
                    SetError(error, CoreErrorCode::kCannotWrite, out.FinalPath());
                return false;
            }
        }
        done += step;
        if (copied != nullptr && *copied) (*copied)(step);
    }
    return true;
}

// CopyChunkData with the number of bytes it copied, so the writer can check
// that the source still holds the chunk data it had when it was read.
bool CopyChunkDataSized(platform::OutputFile& out, const std::string& sourcePath,
                        const std::atomic<bool>* cancel, CoreError* error, std::uint64_t* copied,
                        const JoinBytesFn* stepDone = nullptr) {
    MappedFile mapped;
    platform::ReadDescriptor fd;
    if (!mapped.Open(sourcePath) || !fd.Open(sourcePath)) {
        SetError(error, CoreErrorCode::kCannotOpen, sourcePath);
        return false;
    }
    // The layout (and so where the movi list lies) follows the source's own name.
    const ClipLayout layout = LayoutForPath(sourcePath);
    const std::vector<std::byte> sizeField = mapped.ReadWindow(MoviSizeOffset(layout), 4);
    if (sizeField.size() < 4) {
        SetError(error, CoreErrorCode::kCannotReadMoviList, sourcePath);
        return false;
    }
    const std::uint64_t moviSize = LoadLe32(sizeField.data());
    const std::uint64_t begin = FirstChunkOffset(layout);
    const std::uint64_t end = MoviFourccOffset(layout) + moviSize;
    if (moviSize < 4 || end > mapped.Size()) {
        SetError(error, CoreErrorCode::kMoviListOutsideFile, sourcePath);
        return false;
    }
    if (!CopyRange(out, mapped, fd.Get(), begin, end - begin, cancel, error, stepDone))
        return false;
    if (copied != nullptr) *copied = end - begin;
    return true;
}

bool WriteIndex(platform::OutputFile& out, const std::vector<IndexEntry>& entries) {
    std::array<std::byte, kChunkHeaderSize> head{};
    StoreLe32(head.data(), kIndexChunk);
    StoreLe32(head.data() + 4, static_cast<std::uint32_t>(entries.size() * kIndexEntrySize));
    if (!out.Write(head)) return false;
    std::vector<std::byte> buf;
    std::vector<IndexEntry> batch;
    for (std::size_t i = 0; i < entries.size(); i += kIndexWriteBatch) {
        const std::size_t n = std::min(kIndexWriteBatch, entries.size() - i);
        batch.assign(entries.begin() + static_cast<std::ptrdiff_t>(i),
                     entries.begin() + static_cast<std::ptrdiff_t>(i + n));
        buf.clear();
        EncodeIndexEntries(batch, buf);
        if (!out.Write(buf)) return false;
    }
    return true;
}

bool WriteSensorBlock(platform::OutputFile& out, const ClipInfo& acc) {
    const std::uint32_t held = acc.SensorRecordsHeld();
    // The trailer's count tells readers where the block starts, so it must be
    // the number of records actually written. The header keeps its count
    // (0xFFFF "read until the trailer" included) unless that claims records
    // the source did not have.
    std::array<std::byte, sensor::kHeaderSize> header = acc.sensorHeader;
    std::array<std::byte, sensor::kTrailerSize> trailer = acc.sensorTrailer;
    std::uint32_t headerCount = acc.sensorHeaderCount;
    if (headerCount != kMaxJoinedSensorRecords && headerCount != held) headerCount = held;
    StoreBe16(header.data() + sensor::kHeaderCountOffset, static_cast<std::uint16_t>(headerCount));
    StoreBe32(trailer.data() + sensor::kTrailerCountOffset, held);
    return out.Write(header) &&
           out.Write(std::span<const std::byte>(acc.sensorRecords.data(),
                                                std::size_t{held} * sensor::kRecordSize)) &&
           out.Write(trailer);
}

// The size of the file WriteJoined makes from `acc`.
std::uint64_t JoinedSize(const ClipInfo& acc, bool frontName) {
    std::uint64_t size = acc.header.size() + acc.moviListHeader.size();
    for (const SourceNode& node : acc.sources) size += node.chunkDataSize;
    size += kChunkHeaderSize + acc.indexEntries.size() * kIndexEntrySize;
    if (frontName && acc.hasSensorBlock) size += sensor::BlockSize(acc.SensorRecordsHeld());
    return size;
}

}  // namespace

bool AppendClip(ClipInfo& a, const ClipInfo& b, CoreError* error) {
    if (a.layout != b.layout || a.header.size() != b.header.size()) {
        SetError(error, CoreErrorCode::kLayoutMismatch);
        return false;
    }
    if (a.sources.empty() || b.sources.empty()) {
        SetError(error, CoreErrorCode::kNoSource);
        return false;
    }
    const std::uint64_t aMovi = a.MoviListSize();
    const std::uint64_t bMovi = b.MoviListSize();
    if (aMovi < 4 || bMovi < 4) {
        SetError(error, CoreErrorCode::kEmptyMoviList);
        return false;
    }
    // Every size of the result must fit the format's 32-bit fields; checked in
    // 64 bits before anything is changed.
    const std::uint64_t shift = aMovi - 4;
    const std::uint64_t bEntries = b.indexEntries.size();
    const std::uint64_t newMovi = aMovi + bMovi - 4;
    const std::uint64_t newRiff =
        std::uint64_t{a.HeaderField(kRiffSizeOffset)} + kIndexEntrySize * bEntries + bMovi - 4;
    const std::uint64_t newIndexSize =
        kIndexEntrySize * (a.indexEntries.size() + b.indexEntries.size());
    std::uint64_t largestOffset = 0;
    for (const IndexEntry& e : b.indexEntries)
        largestOffset = std::max<std::uint64_t>(largestOffset, e.offset);
    if (newMovi > kMax32 || newRiff > kMax32 || newIndexSize > kMax32 ||
        largestOffset + shift > kMax32) {
        SetError(error, CoreErrorCode::kOver4GB);
        return false;
    }
    const bool front = IsFrontName(a.sources.front().path.string());
    const std::uint64_t records =
        std::uint64_t{a.SensorRecordsHeld()} + std::uint64_t{b.SensorRecordsHeld()};
    if (front && records > kMaxJoinedSensorRecords) {
        SetError(error, CoreErrorCode::kTooManySensorRecords, std::to_string(records));
        return false;
    }

    // Room for everything first, so that a failed allocation leaves the
    // accumulator as it was; the appends below then cannot fail.
    const std::size_t aRecordBytes = std::size_t{a.SensorRecordsHeld()} * sensor::kRecordSize;
    const std::size_t bRecordBytes = std::size_t{b.SensorRecordsHeld()} * sensor::kRecordSize;
    try {
        a.sources.reserve(a.sources.size() + b.sources.size());
        a.indexEntries.reserve(a.indexEntries.size() + b.indexEntries.size());
        if (front) a.sensorRecords.reserve(aRecordBytes + bRecordBytes);
    } catch (const std::bad_alloc&) {
        SetError(error, CoreErrorCode::kOutOfMemory);
        return false;
    }
    a.sources.insert(a.sources.end(), b.sources.begin(), b.sources.end());
    for (IndexEntry e : b.indexEntries) {
        e.offset = static_cast<std::uint32_t>(e.offset + shift);
        a.indexEntries.push_back(e);
    }
    if (front) {
        a.sensorRecords.resize(aRecordBytes);  // drop a partial record, if any
        a.sensorRecords.insert(a.sensorRecords.end(), b.sensorRecords.begin(),
                               b.sensorRecords.begin() + static_cast<std::ptrdiff_t>(bRecordBytes));
        a.sensorHeaderCount = static_cast<std::uint32_t>(records);
        a.sensorTrailerCount = static_cast<std::uint32_t>(records);
        a.sensorRecordsShort = false;
    }

    a.SetMoviListSize(static_cast<std::uint32_t>(newMovi));
    a.indexSize = static_cast<std::uint32_t>(newIndexSize);
    a.SetHeaderField(kRiffSizeOffset, static_cast<std::uint32_t>(newRiff));
    a.SetHeaderField(kTotalFramesOffset,
                     a.HeaderField(kTotalFramesOffset) + b.HeaderField(kTotalFramesOffset));
    a.SetHeaderField(kVideoLengthOffset,
                     a.HeaderField(kVideoLengthOffset) + b.HeaderField(kVideoLengthOffset));
    if (a.layout == ClipLayout::kFull) {
        a.SetHeaderField(kAudioLengthOffset,
                         a.HeaderField(kAudioLengthOffset) + b.HeaderField(kAudioLengthOffset));
    }
    return true;
}

bool JoinBegin(JoinJob& job, const std::string& frontPath, const std::string& rearPath) {
    job.firstFront.reset();
    job.firstRear.reset();
    job.appendedFront.clear();
    job.appendedRear.clear();
    job.rearValid = true;
    job.error = {};
    job.rearNote = {};

    job.firstFront = ReadForJoin(frontPath, job.owner, job.error);
    if (!job.firstFront) {
        if (frontPath.empty()) job.error = {CoreErrorCode::kFirstWithoutFront, {}};
        return false;
    }
    CoreError rearError;
    job.firstRear = ReadForJoin(rearPath, job.owner, rearError);
    if (!job.firstRear) {
        if (FailsTheJoin(rearError)) {
            job.error = rearError;
            job.firstFront.reset();
            return false;
        }
        job.rearValid = false;
        job.rearNote =
            rearPath.empty() ? CoreError{CoreErrorCode::kFirstWithoutRear, {}} : rearError;
    }
    return true;
}

bool JoinAppend(JoinJob& job, const std::string& frontPath, const std::string& rearPath) {
    job.error = {};
    if (!job.firstFront) {
        job.error = {CoreErrorCode::kNotBegun, {}};
        return false;
    }
    std::optional<ClipInfo> front = ReadForJoin(frontPath, job.owner, job.error);
    if (!front) {
        if (frontPath.empty()) job.error = {CoreErrorCode::kWithoutFront, {}};
        return false;
    }
    if (!AppendClip(*job.firstFront, *front, &job.error)) return false;
    ReleaseMerged(*front);
    job.appendedFront.push_back(std::move(*front));

    if (!job.rearValid) return true;
    CoreError rearError;
    std::optional<ClipInfo> rear = ReadForJoin(rearPath, job.owner, rearError);
    if (!rear) {
        if (FailsTheJoin(rearError)) {
            job.error = rearError;
            return false;
        }
        job.rearValid = false;
        job.rearNote = rearPath.empty() ? CoreError{CoreErrorCode::kWithoutRear, {}} : rearError;
        return true;
    }
    if (!AppendClip(*job.firstRear, *rear, &rearError)) {
        job.rearValid = false;
        job.rearNote = rearError;
        return true;
    }
    ReleaseMerged(*rear);
    job.appendedRear.push_back(std::move(*rear));
    return true;
}

bool CopyChunkData(platform::OutputFile& out, const std::string& sourcePath,
                   const std::atomic<bool>* cancel, CoreError* error) {
    return CopyChunkDataSized(out, sourcePath, cancel, error, nullptr);
}

bool WriteJoined(const ClipInfo& acc, platform::OutputFile& out, bool frontName,
                 const std::atomic<bool>* cancel, CoreError* error, const JoinBytesFn* copied) {
    if (!out.IsOpen()) {
        SetError(error, CoreErrorCode::kNoOutputFile);
        return false;
    }
    if (!out.Reserve(out.Size() + JoinedSize(acc, frontName))) {
        SetError(error, CoreErrorCode::kNotEnoughSpace, out.FinalPath());
        return false;
    }
    if (!out.Write(acc.header) || !out.Write(acc.moviListHeader)) {
        SetError(error, CoreErrorCode::kCannotWrite, out.FinalPath());
        return false;
    }
    for (const SourceNode& node : acc.sources) {
        std::uint64_t bytes = 0;
        if (!CopyChunkDataSized(out, node.path.string(), cancel, error, &bytes, copied))
            return false;
        if (bytes != node.chunkDataSize) {
            SetError(error, CoreErrorCode::kChangedWhileReading, node.path.string());
            return false;
        }
    }
    if (!WriteIndex(out, acc.indexEntries)) {
        SetError(error, CoreErrorCode::kCannotWrite, out.FinalPath());
        return false;
    }
    if (frontName && acc.hasSensorBlock && !WriteSensorBlock(out, acc)) {
        SetError(error, CoreErrorCode::kCannotWrite, out.FinalPath());
        return false;
    }
    return true;
}

bool WriteJoined(const ClipInfo& acc, const std::string& outputPath,
                 const std::atomic<bool>* cancel, CoreError* error) {
    platform::OutputFile out;
    if (!out.Create(outputPath)) {
        SetError(error, CoreErrorCode::kCannotCreateBeside, outputPath);
        return false;
    }
    if (!WriteJoined(acc, out, IsFrontName(outputPath), cancel, error)) return false;
    if (!out.Commit(/*replace=*/true)) {
        SetError(error, CoreErrorCode::kCannotRename, outputPath);
        return false;
    }
    return true;
}

JoinResult JoinRecordings(const std::vector<RecordingEntry>& selection,
                          const std::string& frontOutput, const std::string& rearOutput,
                          const std::atomic<bool>& cancel, const JoinProgressFn& progress,
                          const JoinOptions& options, JoinSummary* summary) {
    JoinSummary local;
    JoinSummary& sum = summary != nullptr ? *summary : local;
    sum = JoinSummary{};
    const auto post = [&](int done, int total) {
        if (progress) progress(done, total);
    };
    const auto fail = [&](CoreError why) {
        sum.error = std::move(why);
        return JoinResult::kFailed;
    };
    const auto failWith = [&](CoreErrorCode code, const std::string& detail) {
        return fail(CoreError{code, detail});
    };
    const auto cancelled = [&] {
        sum.error = {CoreErrorCode::kCancelled, {}};
        return JoinResult::kCancelled;
    };

    if (selection.empty()) return failWith(CoreErrorCode::kNothingSelected, {});
    // Writing over a recording of the selection would replace it; refuse.
    for (const RecordingEntry& e : selection) {
        for (const std::string* out : {&frontOutput, &rearOutput}) {
            if (IsSource(*out, e.frontPath) || IsSource(*out, e.rearPath))
                return failWith(CoreErrorCode::kOutputIsSource, *out);
        }
    }

    if (!options.replaceExisting) {
        for (const std::string* out : {&frontOutput, &rearOutput}) {
            if (!out->empty() && platform::PathExists(*out))
                return failWith(CoreErrorCode::kAlreadyExists, *out);
        }
    }

    const int n = static_cast<int>(selection.size());
    JoinJob job;
    if (!JoinBegin(job, selection[0].frontPath, selection[0].rearPath)) return fail(job.error);
    post(1, n);
    for (int i = 1; i < n; ++i) {
        if (cancel.load()) return cancelled();
        const RecordingEntry& e = selection[static_cast<std::size_t>(i)];
        if (!JoinAppend(job, e.frontPath, e.rearPath)) return fail(job.error);
        post(i + 1, 2 * n);
    }
    if (rearOutput.empty() && job.rearValid) {
        job.rearValid = false;
        job.rearNote = {CoreErrorCode::kNoRearOutput, {}};
    }

    post(50, 100);
    if (cancel.load()) return cancelled();
    post(10, 100);

    // Byte progress over both outputs: what is known now is what will be
    // written (chunk data, index and sensor block).
    const std::uint64_t totalBytes =
        JoinedSize(*job.firstFront, IsFrontName(frontOutput)) +
        (job.rearValid ? JoinedSize(*job.firstRear, IsFrontName(rearOutput)) : 0);
    std::uint64_t bytesDone = 0;
    const JoinBytesFn stepDone = [&](std::uint64_t bytes) {
        bytesDone += bytes;
        if (options.bytesProgress) options.bytesProgress(bytesDone, totalBytes);
    };
    const JoinBytesFn* copied = options.bytesProgress ? &stepDone : nullptr;

    platform::OutputFile front;
    front.SetKernelCopy(!options.mappedCopy);
    if (!front.Create(frontOutput))
        return failWith(CoreErrorCode::kCannotCreateInFolder, frontOutput);
    CoreError error;
    if (!WriteJoined(*job.firstFront, front, IsFrontName(frontOutput), &cancel, &error, copied))
        return cancel.load() ? cancelled() : fail(error);
    sum.frontBytes = front.Size();
    bytesDone = sum.frontBytes;
    sum.frontIndexEntries = job.firstFront->indexEntries.size();
    sum.frontSensorRecords = IsFrontName(frontOutput) && job.firstFront->hasSensorBlock
                                 ? job.firstFront->SensorRecordsHeld()
                                 : 0;
    ReleaseAll(job.appendedFront);
    post(40, 100);

    platform::OutputFile rear;
    rear.SetKernelCopy(!options.mappedCopy);
    if (job.rearValid) {
        if (!rear.Create(rearOutput))
            return failWith(CoreErrorCode::kCannotCreateInFolder, rearOutput);
        if (!WriteJoined(*job.firstRear, rear, IsFrontName(rearOutput), &cancel, &error, copied))
            return cancel.load() ? cancelled() : fail(error);
        sum.rearBytes = rear.Size();
        sum.rearIndexEntries = job.firstRear->indexEntries.size();
        ReleaseAll(job.appendedRear);
    } else {
        sum.rearNote = job.rearNote;
    }
    // Both outputs are complete: only now do they appear under their names.
    if (cancel.load()) return cancelled();
    // The join owns both output names. Without a rear clip to write, a file
    // under the rear name (an earlier join's rear clip) would pair with the
    // new front clip: with replacing agreed it goes before the front clip
    // takes its name; without, the join fails as for any taken name.
    if (!job.rearValid && Occupied(rearOutput)) {
        if (!options.replaceExisting) return failWith(CoreErrorCode::kAlreadyExists, rearOutput);
        if (!RemoveOutput(rearOutput)) return failWith(CoreErrorCode::kCannotRemove, rearOutput);
        sum.removedOutput = rearOutput;
    }
    if (!front.Commit(options.replaceExisting))
        return failWith(
            options.replaceExisting ? CoreErrorCode::kCannotRename : CoreErrorCode::kAlreadyExists,
            frontOutput);
    sum.frontWritten = true;
    if (job.rearValid) {
        if (!rear.Commit(options.replaceExisting)) {
            // The new front clip must not stay beside whatever holds the rear
            // name: a failed join leaves no output of its own.
            if (RemoveOutput(frontOutput)) sum.frontWritten = false;
            return failWith(options.replaceExisting ? CoreErrorCode::kCannotRename
                                                    : CoreErrorCode::kAlreadyExists,
                            rearOutput);
        }
        sum.rearWritten = true;
    }
    if (options.bytesProgress) options.bytesProgress(totalBytes, totalBytes);
    post(100, 100);
    post(n, n);
    return JoinResult::kDone;
}

std::size_t MarkJoinedEntries(std::vector<RecordingEntry>& displayed,
                              const std::vector<RecordingEntry>& joined) {
    std::size_t marked = 0;
    for (const RecordingEntry& j : joined) {
        if (j.frontPath.empty() && j.rearPath.empty()) continue;
        for (RecordingEntry& d : displayed) {
            if (d.frontPath == j.frontPath && d.rearPath == j.rearPath) {
                if (!d.joined) ++marked;
                d.joined = true;
            }
        }
    }
    return marked;
}

namespace {
// The room one source takes in a join: its expected size (0 when the check
// did not compute one), which is what the file should hold, but never more
// than the file holds (a damaged count in a clip's trailer claims hundreds
// of gigabytes), nor anything for a missing file.
std::uint64_t SpaceFor(const std::string& path, std::int64_t expectedSize) {
    if (path.empty() || expectedSize <= 0) return 0;
    return std::min(static_cast<std::uint64_t>(expectedSize), platform::RegularFileSize(path));
}
}  // namespace

JoinPrepareResult PrepareJoin(const std::vector<RecordingEntry>& selection,
                              const std::string& outputFolder, JoinPlan& plan) {
    plan = JoinPlan{};
    if (selection.empty()) return JoinPrepareResult::kNothingSelected;
    const std::string folder(StripTrailingSeparators(outputFolder));
    if (folder.empty() || !platform::IsDirectory(folder)) return JoinPrepareResult::kNoFolder;
    const RecordingEntry& first = selection.front();
    if (first.frontPath.empty()) return JoinPrepareResult::kNoFrontClip;

    plan.frontOutput = JoinPath(folder, FileNameOf(first.frontPath));
    if (!first.rearPath.empty()) plan.rearOutput = JoinPath(folder, FileNameOf(first.rearPath));
    plan.frontOutputExists = platform::PathExists(plan.frontOutput);
    plan.rearOutputExists = !plan.rearOutput.empty() && platform::PathExists(plan.rearOutput);
    for (const RecordingEntry& e : selection) {
        for (const std::string* out : {&plan.frontOutput, &plan.rearOutput}) {
            if (IsSource(*out, e.frontPath) || IsSource(*out, e.rearPath))
                return JoinPrepareResult::kOutputIsSource;
        }
        plan.requiredBytes += SpaceFor(e.frontPath, e.frontExpectedSize);
        plan.requiredBytes += SpaceFor(e.rearPath, e.rearExpectedSize);
    }
    plan.freeBytes = FreeBytes(folder);
    if (plan.requiredBytes >= plan.freeBytes) return JoinPrepareResult::kNotEnoughSpace;
    return JoinPrepareResult::kReady;
}

}  // namespace trivexa
