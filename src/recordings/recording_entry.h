#pragma once
// One listed recording: the record the library builds for every recording it
// finds and that the browser, the file commands, the join and the main window
// pass around by value. A plain record without logic of its own, so that the
// container's join can take a selection of recordings without depending on
// the library that makes them.

#include <cstdint>
#include <string>

#include "recordings/recording_name.h"

namespace trivexa {

// The video stream fields of a clip's header, as its integrity check read
// them; `read` is false when the header was too short to hold them.
struct ClipVideoFacts {
    bool read = false;
    std::uint32_t scale = 0;
    std::uint32_t rate = 0;
    std::uint32_t frames = 0;
    std::int32_t height = 0;
};

// Whether a scan read the key clip's embedded data header: only a scan asked
// to (the CSV summary's collection) does.
enum class DataHeaderScan : std::uint8_t { kNotAsked = 0, kRead = 1, kNotReadable = 2 };

// One listed recording, copied by value into vectors. Paths and names are
// empty for an absent file.
struct RecordingEntry {
    std::string frontPath;
    std::string frontName;
    std::string rearPath;
    std::string rearName;
    // Running number from the process-wide counter; -1 in placeholders.
    std::int32_t serial = 0;
    // Set by the join command on the entries it concatenated.
    bool joined = false;
    // The name (front if present, else rear) is a parking recording.
    bool parking = false;
    // The integrity check answered "damaged" for that file.
    bool frontDamaged = false;
    bool rearDamaged = false;
    // Set by the list's row drawing when a damaged file has no repaired copy.
    bool frontRepairPending = false;
    bool rearRepairPending = false;
    // Set by the main window when playback starts.
    std::int32_t qualityClass = 0;
    // Set by the main window when the recording is loaded for playback.
    SystemTime startTime{};
    // Size each file should have according to the integrity check (0 when not
    // computed); -1 in placeholders.
    std::int64_t frontExpectedSize = 0;
    std::int64_t rearExpectedSize = 0;
    // What the library's scan learnt while it had each file open, so that
    // the CSV summary need not open every clip again: set only by the scan
    // (`scanned`). Sizes are 0 for an absent file.
    bool scanned = false;
    std::uint64_t frontBytes = 0;
    std::uint64_t rearBytes = 0;
    ClipVideoFacts frontVideo;
    ClipVideoFacts rearVideo;
    // The key clip's data header quality letter, when `dataHeader` is kRead.
    DataHeaderScan dataHeader = DataHeaderScan::kNotAsked;
    char dataQuality = 0;
};

// Front path, or rear path when the front path is empty.
inline const std::string& KeyPath(const RecordingEntry& entry) {
    return entry.frontPath.empty() ? entry.rearPath : entry.frontPath;
}
// Front name, or rear name when the front name is empty.
inline const std::string& KeyName(const RecordingEntry& entry) {
    return entry.frontName.empty() ? entry.rearName : entry.frontName;
}

}  // namespace trivexa
