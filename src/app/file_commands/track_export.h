#pragma once
// The GPS track of recordings as a GPX 1.1 or KML 2.2 file, for the mapping
// tools, insurers and police a driver hands a drive to. Every position record
// with a fix and real coordinates (the recorder's no-value markers left out)
// becomes a track point, in the recordings' order, one track segment per
// recording; a recording without such records adds nothing.
//
// GPX carries each point's time (the recorder's local clock with its offset
// from UTC) and its speed, in metres per second, in Garmin's widely read
// TrackPointExtension. KML carries each recording as a placemark with its line
// and its time span.
//
// Callers: `trivexa-cli track`, on its own thread. Pure functions except
// ReadTrackSegment (reads a clip) and WriteTrackFile (writes the file through
// a temporary name).

#include <optional>
#include <string>
#include <vector>

#include "recordings/recording_name.h"

namespace trivexa {

enum class TrackFormat { kGpx, kKml };

struct TrackPoint {
    double latitude = 0.0;   // degrees, WGS84
    double longitude = 0.0;  // degrees
    std::optional<double> speedKmh;
    std::optional<SystemTime> time;  // the recorder's local clock
};

struct TrackSegment {
    std::string name;  // the recording's file name
    std::vector<TrackPoint> points;
    std::string sourcePath;  // the clip read (empty when not known)
};

// The points of the clip at `path` (the front clip is read when `path` names
// a rear clip whose front clip exists, as the viewer reads the front camera's
// data first). Nothing when the clip's embedded data cannot be read; an empty
// segment when it has no usable position.
std::optional<TrackSegment> ReadTrackSegment(const std::string& path);

struct TrackOptions {
    // Minutes east of UTC of the recorder's clock; nothing: the zone of this
    // computer at each point's date.
    std::optional<int> utcOffsetMinutes;
    std::string creator = "Trivexa";
};

// "2021-05-03T07:08:09+09:00" for a local time and its offset.
std::string IsoTime(const SystemTime& time, int utcOffsetMinutes);

// The whole document. Segments without points are left out.
std::string GpxDocument(const std::vector<TrackSegment>& segments, const TrackOptions& options);
std::string KmlDocument(const std::vector<TrackSegment>& segments, const TrackOptions& options);

// Writes the document to `path` (replacing a file there only with `replace`,
// never one of the clips the segments were read from). False, with a reason
// in `error`, when no segment has a point or the file cannot be written;
// nothing is left under `path` then.
bool WriteTrackFile(const std::string& path, TrackFormat format,
                    const std::vector<TrackSegment>& segments, const TrackOptions& options,
                    bool replace, std::string& error);

}  // namespace trivexa
