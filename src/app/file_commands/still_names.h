#pragma once
// File names of the still images the still button saves: the recording's
// date, time and camera letter and the frame position, one file per camera,
// e.g. "210503-070809-F-000123.jpg" and "210503-070809-R-000123.jpg".
//
// Each file carries the letter of the camera whose picture it holds, also for
// a recording that has only a rear file (its picture is saved as ...-R-...,
// never under the front camera's letter).
//
// Pure functions of their arguments; any thread.

#include <cstdint>
#include <string>

#include "recordings/recording_name.h"

namespace trivexa {

// "%s-%06d" with the title and the position, then ".jpg".
inline constexpr const char* kStillSuffixFormat = "%s-%06d";
inline constexpr const char* kStillExtension = ".jpg";

// The still's path for `camera`: `folder` (a '/' added unless it ends with
// one), StillBaseName of `recordingName` with
// its camera letter set to the camera's ('F' or 'R'), "-", the position with
// at least six digits, ".jpg". Empty for a negative position or a name that
// gives no title.
std::string StillPath(const std::string& folder, const std::string& recordingName,
                      std::int64_t position, Camera camera);

}  // namespace trivexa
