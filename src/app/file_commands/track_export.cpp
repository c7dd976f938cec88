#include "app/file_commands/track_export.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <span>

#include "app/core/markup_escape.h"
#include "container/sensor_reader.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/output_file.h"

namespace trivexa {
namespace {

constexpr double kKmhPerMetrePerSecond = 3.6;

// Fixed-point text independent of the process's locale (a Qt program may
// have switched LC_NUMERIC to one that writes a decimal comma).
std::string Fixed(double value, int decimals) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

bool Usable(const PositionEntry& p) {
    // Status 'A' and coordinates that are degrees, not the 720.0 no-value
    // marker (or anything else outside the globe).
    return p.valid && std::isfinite(p.latitude) && std::isfinite(p.longitude) &&
           std::fabs(p.latitude) <= 90.0 && std::fabs(p.longitude) <= 180.0;
}

bool HasTime(const SystemTime& t) { return t.year != 0 && t.month != 0 && t.day != 0; }

int OffsetFor(const SystemTime& t, const TrackOptions& options) {
    if (options.utcOffsetMinutes) return *options.utcOffsetMinutes;
    return platform::LocalUtcOffsetMinutes(t.year, t.month, t.day, t.hour, t.minute, t.second)
        .value_or(0);
}

std::string Time(const SystemTime& t, const TrackOptions& options) {
    return IsoTime(t, OffsetFor(t, options));
}

bool AnyPoints(const std::vector<TrackSegment>& segments) {
    for (const TrackSegment& s : segments)
        if (!s.points.empty()) return true;
    return false;
}

}  // namespace

std::optional<TrackSegment> ReadTrackSegment(const std::string& path) {
    std::string clip = path;
    if (IsRecordingName(path, CameraFilter::Rear)) {
        const std::string front = RearToFrontPath(path);
        if (platform::IsRegularFile(front)) clip = front;
    }
    SensorReader reader;
    if (!reader.Init() || !reader.Load(clip)) return std::nullopt;
    TrackSegment segment;
    segment.name = std::string(FileNameOf(clip));
    segment.sourcePath = clip;
    for (const PositionEntry& p : reader.Positions()) {
        if (!Usable(p)) continue;
        TrackPoint point;
        point.latitude = p.latitude;
        point.longitude = p.longitude;
        if (p.speed >= 0.0 && p.speed < sensor::kNoSpeed) point.speedKmh = p.speed;
        if (HasTime(p.timestamp)) point.time = p.timestamp;
        segment.points.push_back(point);
    }
    return segment;
}

std::string IsoTime(const SystemTime& t, int utcOffsetMinutes) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u", unsigned{t.year},
                  unsigned{t.month}, unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute},
                  unsigned{t.second});
    std::string out = buf;
    if (utcOffsetMinutes == 0) return out + "Z";
    const int a = std::abs(utcOffsetMinutes);
    std::snprintf(buf, sizeof buf, "%c%02d:%02d", utcOffsetMinutes < 0 ? '-' : '+', a / 60, a % 60);
    return out + buf;
}

std::string GpxDocument(const std::vector<TrackSegment>& segments, const TrackOptions& options) {
    std::string x;
    x += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    x += "<gpx version=\"1.1\" creator=\"" + XmlEscape(options.creator) + "\"";
    x += " xmlns=\"http://www.topografix.com/GPX/1/1\"";
    x += " xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\"";
    x += " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";
    x += " xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
         "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";
    std::string first;
    for (const TrackSegment& s : segments)
        if (!s.points.empty() && first.empty()) first = s.name;
    x += "  <trk>\n    <name>" + XmlEscape(first) + "</name>\n";
    for (const TrackSegment& s : segments) {
        if (s.points.empty()) continue;
        x += "    <trkseg>\n";
        for (const TrackPoint& p : s.points) {
            x += "      <trkpt lat=\"" + Fixed(p.latitude, 7) + "\" lon=\"" +
                 Fixed(p.longitude, 7) + "\">";
            if (p.time) x += "<time>" + Time(*p.time, options) + "</time>";
            if (p.speedKmh) {
                x += "<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>" +
                     Fixed(*p.speedKmh / kKmhPerMetrePerSecond, 2) +
                     "</gpxtpx:speed></gpxtpx:TrackPointExtension></extensions>";
            }
            x += "</trkpt>\n";
        }
        x += "    </trkseg>\n";
    }
    x += "  </trk>\n</gpx>\n";
    return x;
}

std::string KmlDocument(const std::vector<TrackSegment>& segments, const TrackOptions& options) {
    std::string x;
    x += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    x += "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n  <Document>\n";
    x += "    <name>" + XmlEscape(options.creator) + " track</name>\n";
    for (const TrackSegment& s : segments) {
        if (s.points.empty()) continue;
        x += "    <Placemark>\n      <name>" + XmlEscape(s.name) + "</name>\n";
        const TrackPoint* begin = nullptr;
        const TrackPoint* end = nullptr;
        for (const TrackPoint& p : s.points) {
            if (!p.time) continue;
            if (begin == nullptr) begin = &p;
            end = &p;
        }
        if (begin != nullptr) {
            x += "      <TimeSpan><begin>" + Time(*begin->time, options) + "</begin><end>" +
                 Time(*end->time, options) + "</end></TimeSpan>\n";
        }
        std::string coordinates;
        for (const TrackPoint& p : s.points) {
            if (!coordinates.empty()) coordinates += ' ';
            coordinates += Fixed(p.longitude, 7) + "," + Fixed(p.latitude, 7);
        }
        // A line needs two points; a recording with one fix is a point.
        if (s.points.size() == 1) {
            x += "      <Point><coordinates>" + coordinates + "</coordinates></Point>\n";
        } else {
            x += "      <LineString><tessellate>1</tessellate><coordinates>" + coordinates +
                 "</coordinates></LineString>\n";
        }
        x += "    </Placemark>\n";
    }
    x += "  </Document>\n</kml>\n";
    return x;
}

bool WriteTrackFile(const std::string& path, TrackFormat format,
                    const std::vector<TrackSegment>& segments, const TrackOptions& options,
                    bool replace, std::string& error) {
    if (!AnyPoints(segments)) {
        error = "none of the recordings has a position with a GPS fix";
        return false;
    }
    std::vector<std::string> sources;
    for (const TrackSegment& s : segments) sources.push_back(s.sourcePath);
    if (platform::IsOneOfInputs(path, sources)) {
        error = path + ": the track would replace one of the recordings";
        return false;
    }
    if (!replace && platform::PathExists(path)) {
        error = path + " already exists";
        return false;
    }
    const std::string text = format == TrackFormat::kGpx ? GpxDocument(segments, options)
                                                         : KmlDocument(segments, options);
    platform::OutputFile out;
    if (!out.Create(path)) {
        error = "cannot create a file beside " + path;
        return false;
    }
    if (!out.Write(std::as_bytes(std::span(text.data(), text.size())))) {
        error = "cannot write " + path + " (disk full?)";
        return false;
    }
    if (!out.Commit(replace)) {
        error = replace ? "cannot put the file in place as " + path : path + " already exists";
        return false;
    }
    return true;
}

}  // namespace trivexa
