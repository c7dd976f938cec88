#include "app/file_commands/join_texts.h"

namespace trivexa {

std::string CoreErrorText(const CoreError& error) {
    const std::string& d = error.detail;
    switch (error.code) {
        case CoreErrorCode::kNone:
            return "";
        case CoreErrorCode::kCancelled:
            return "cancelled";
        case CoreErrorCode::kOutOfMemory:
            return "out of memory";
        case CoreErrorCode::kCannotOpen:
            return "cannot open " + d;
        case CoreErrorCode::kCannotRead:
            return "cannot read " + d;
        case CoreErrorCode::kCannotReadCutShort:
            return "cannot read " + d + " (cut short or its card removed)";
        case CoreErrorCode::kEndedEarly:
            return d + " ended early";
        case CoreErrorCode::kChangedWhileReading:
            return d + " changed while it was being joined";
        case CoreErrorCode::kCannotWrite:
            return "cannot write " + d + " (disk full?)";
        case CoreErrorCode::kNotEnoughSpace:
            return "not enough free space for " + d;
        case CoreErrorCode::kCannotCreateBeside:
            return "cannot create a file beside " + d;
        case CoreErrorCode::kCannotCreateInFolder:
            return "cannot create a file in the folder of " + d;
        case CoreErrorCode::kCannotRename:
            return "cannot rename the finished file to " + d;
        case CoreErrorCode::kAlreadyExists:
            return d + " already exists";
        case CoreErrorCode::kOutputIsSource:
            return d + " is one of the recordings being joined";
        case CoreErrorCode::kNoOutputFile:
            return "no output file";
        case CoreErrorCode::kNoClip:
            return "no clip";
        case CoreErrorCode::kCannotReadMoviList:
            return "cannot read the movi list of " + d;
        case CoreErrorCode::kMoviListOutsideFile:
            return "the movi list of " + d + " does not fit in the file";
        case CoreErrorCode::kDamagedMoviList:
            return "the movi list of " + d + " does not fit in the file (damaged clip)";
        case CoreErrorCode::kNoIndex:
            return d + " has no index (damaged clip; repair it first)";
        case CoreErrorCode::kNoSource:
            return "clip without a source";
        case CoreErrorCode::kEmptyMoviList:
            return "empty movi list";
        case CoreErrorCode::kLayoutMismatch:
            return "cannot join a time-lapse clip with an ordinary clip";
        case CoreErrorCode::kOver4GB:
            return "the joined clip would exceed the 4 GB limit of the AVI format";
        case CoreErrorCode::kTooManySensorRecords:
            return "the joined clip would hold " + d + " sensor records; at most 65535 fit";
        case CoreErrorCode::kNothingSelected:
            return "nothing selected";
        case CoreErrorCode::kNotBegun:
            return "the join has not begun";
        case CoreErrorCode::kFirstWithoutFront:
            return "the first recording has no front clip";
        case CoreErrorCode::kWithoutFront:
            return "a recording without a front clip cannot be joined";
        case CoreErrorCode::kFirstWithoutRear:
            return "the first recording has no rear clip";
        case CoreErrorCode::kWithoutRear:
            return "a recording without a rear clip";
        case CoreErrorCode::kNoRearOutput:
            return "no rear output path";
        case CoreErrorCode::kDamagedClip:
            return d +
                   " is damaged; repair it first (trivexa-cli repair, or open it in the viewer)";
        case CoreErrorCode::kDamagedSensorBlock:
            return "the sensor data at the end of " + d +
                   " is damaged (its record count does not fit the file)";
        case CoreErrorCode::kCannotRemove:
            return "cannot remove " + d + ", an earlier output under this join's name";
    }
    return "error";
}

std::string JoinPrepareMessage(JoinPrepareResult result, const JoinPlan& plan) {
    switch (result) {
        case JoinPrepareResult::kReady:
            return "ready";
        case JoinPrepareResult::kNothingSelected:
            return "no recordings selected";
        case JoinPrepareResult::kNoFolder:
            return "the output folder does not exist";
        case JoinPrepareResult::kNoFrontClip:
            return "the first recording has no front clip";
        case JoinPrepareResult::kOutputIsSource:
            return "the output folder holds the recordings being joined; choose another folder";
        case JoinPrepareResult::kNotEnoughSpace:
            return "not enough free space: " + std::to_string(plan.requiredBytes) +
                   " bytes needed, " + std::to_string(plan.freeBytes) + " available";
    }
    return "unknown";
}

}  // namespace trivexa
