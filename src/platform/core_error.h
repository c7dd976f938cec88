#pragma once
// The one error type of the core: what went wrong, as a code, and the detail
// the caller's text needs (a path or a number), never a sentence. The core
// does not word its failures; the windows choose their texts (the UI string
// table), the CLI its own lines. Plain data; any thread.

#include <string>

namespace trivexa {

enum class CoreErrorCode {
    kNone = 0,
    kCancelled,
    kOutOfMemory,
    // detail: a path.
    kCannotOpen,
    kCannotRead,
    kCannotReadCutShort,   // cut short, or its card removed, while it was read
    kEndedEarly,           // a source gave fewer bytes than its sizes promise
    kChangedWhileReading,  // a source's size changed between reading and copying
    kCannotWrite,          // e.g. the volume is full
    kNotEnoughSpace,
    kCannotCreateBeside,  // no temporary file beside the output
    kCannotCreateInFolder,
    kCannotRename,  // the finished output could not be put in place
    kAlreadyExists,
    kOutputIsSource,  // an output would replace one of the inputs
    kNoOutputFile,
    // Clips (detail: the clip's path unless noted).
    kNoClip,
    kCannotReadMoviList,
    kMoviListOutsideFile,
    kDamagedMoviList,       // a damaged clip's movi list runs past its end
    kNoIndex,               // a damaged clip without its index
    kNoSource,              // no detail
    kEmptyMoviList,         // no detail
    kLayoutMismatch,        // a time-lapse clip with an ordinary one; no detail
    kOver4GB,               // the AVI format's 32-bit sizes; no detail
    kTooManySensorRecords,  // detail: the count the result would hold
    // Joins (no detail).
    kNothingSelected,
    kNotBegun,
    kFirstWithoutFront,
    kWithoutFront,
    kFirstWithoutRear,
    kWithoutRear,
    kNoRearOutput,
    // Join sources and outputs (detail: a path).
    kDamagedClip,         // the integrity check calls the clip damaged: repair it first
    kDamagedSensorBlock,  // the sensor block's record count does not fit the file
    kCannotRemove,        // an earlier output under a name the join replaces
};

struct CoreError {
    CoreErrorCode code = CoreErrorCode::kNone;
    std::string detail;

    explicit operator bool() const { return code != CoreErrorCode::kNone; }
    friend bool operator==(const CoreError&, const CoreError&) = default;
};

}  // namespace trivexa
