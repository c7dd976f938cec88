// trivexa-cli track [--format gpx|kml] [--utc-offset +HH:MM] [--force] OUT RECORDING...:
// the GPS track of the given recordings as GPX 1.1 or KML 2.2, one segment per
// recording in the given order. The format follows --format, else OUT's
// extension (.kml), else GPX. Times carry the offset of this computer's time
// zone unless --utc-offset gives the recorder's.
#include <iostream>

#include "app/file_commands/track_export.h"
#include "cli/command.h"
#include "platform/files.h"
#include "platform/output_file.h"

namespace trivexa::cli {
namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = text[text.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

// "+09:00", "-05:30", "Z" or "0" as minutes east of UTC.
bool ParseOffset(std::string_view text, int& minutes) {
    if (text == "Z" || text == "0") {
        minutes = 0;
        return true;
    }
    if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':') return false;
    for (std::size_t i : {1u, 2u, 4u, 5u})
        if (text[i] < '0' || text[i] > '9') return false;
    const int h = (text[1] - '0') * 10 + (text[2] - '0');
    const int m = (text[4] - '0') * 10 + (text[5] - '0');
    if (h > 14 || m > 59) return false;
    minutes = (text[0] == '-' ? -1 : 1) * (h * 60 + m);
    return true;
}

int RunTrack(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {"--force"}, {"--format", "--utc-offset"}, parsed)) return kUsage;
    if (parsed.operands.size() < 2)
        return Fail(kUsage,
                    "usage: track [--format gpx|kml] [--utc-offset +HH:MM] [--force] OUT "
                    "RECORDING...");
    const std::string& out = parsed.operands[0];
    TrackFormat format = EndsWithNoCase(out, ".kml") ? TrackFormat::kKml : TrackFormat::kGpx;
    if (const std::string* f = parsed.Value("--format")) {
        if (*f == "gpx") {
            format = TrackFormat::kGpx;
        } else if (*f == "kml") {
            format = TrackFormat::kKml;
        } else {
            return Fail(kUsage, "unknown format " + *f + " (gpx or kml)");
        }
    }
    TrackOptions options;
    if (const std::string* o = parsed.Value("--utc-offset")) {
        int minutes = 0;
        if (!ParseOffset(*o, minutes))
            return Fail(kUsage, "--utc-offset takes +HH:MM or -HH:MM, not " + *o);
        options.utcOffsetMinutes = minutes;
    }

    const std::vector<std::string> inputs(parsed.operands.begin() + 1, parsed.operands.end());
    if (platform::IsOneOfInputs(out, inputs))
        return Fail(kFailed, out + ": the track would replace one of the recordings");
    std::vector<TrackSegment> segments;
    for (std::size_t i = 1; i < parsed.operands.size(); ++i) {
        const std::string& path = parsed.operands[i];
        if (!platform::IsRegularFile(path)) return Fail(kFailed, "cannot read " + path);
        std::optional<TrackSegment> segment = ReadTrackSegment(path);
        if (!segment) {
            std::cerr << "trivexa-cli: " << path << ": no GPS data could be read\n";
            continue;
        }
        std::cerr << segment->name << ": " << segment->points.size() << " points\n";
        segments.push_back(std::move(*segment));
    }
    std::string error;
    if (!WriteTrackFile(out, format, segments, options, parsed.Has("--force"), error))
        return Fail(kFailed, error);
    std::cout << out << '\n';
    return kOk;
}

const Registration reg{
    "track", "[--format gpx|kml] [--utc-offset +HH:MM] [--force] OUT RECORDING...", &RunTrack};

}  // namespace
}  // namespace trivexa::cli
