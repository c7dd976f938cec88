// trivexa-cli sensors [--json] [--frames N] CLIP: the clip's decoded sensor
// header and entries as the viewer loads them. With --frames the record
// times are turned into frame numbers (with the clip's frame interval) and
// the per-frame map of acceleration entries is listed too.
#include <charconv>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/command.h"
#include "container/avi_reader.h"
#include "container/sensor_reader.h"

namespace trivexa::cli {
namespace {

using nlohmann::json;

// One header character as text: a zero byte is "", anything else is the byte
// itself (bytes that are not valid UTF-8 are replaced when printed).
std::string CharText(char c) { return c == '\0' ? std::string() : std::string(1, c); }

json TimestampJson(const SystemTime& t) {
    if (t.year == 0 && t.month == 0 && t.dayOfWeek == 0 && t.day == 0 && t.hour == 0 &&
        t.minute == 0 && t.second == 0 && t.milliseconds == 0) {
        return nullptr;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", unsigned{t.year},
                  unsigned{t.month}, unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute},
                  unsigned{t.second});
    return text;
}

json HeaderJson(const SensorHeader& h) {
    json j;
    j["thresholds"] = json::array();
    for (float t : h.thresholds) j["thresholds"].push_back(t);
    j["mode"] = CharText(h.mode);
    j["quality"] = CharText(h.quality);
    j["positionMode"] = CharText(h.positionMode);
    j["speedFlag"] = CharText(h.speedFlag);
    j["receptionFlag"] = CharText(h.receptionFlag);
    j["timeLapse"] = CharText(h.timeLapse);
    j["model"] = h.ModelText();
    return j;
}

json ReaderJson(const SensorReader& reader, bool withFrameMap) {
    json j;
    j["header"] = HeaderJson(reader.Header());
    json positions = json::array();
    for (const PositionEntry& p : reader.Positions()) {
        positions.push_back({{"index", p.index},
                             {"time", FrameOrRecordMs(p)},
                             {"valid", p.valid ? 1 : 0},
                             {"lat", p.latitude},
                             {"lng", p.longitude},
                             {"speed", p.speed},
                             {"timestamp", TimestampJson(p.timestamp)}});
    }
    j["positions"] = std::move(positions);
    json accel = json::array();
    for (const AccelEntry& a : reader.Accels()) {
        accel.push_back({{"index", a.index},
                         {"event", a.event},
                         {"mark8", a.overspeedMark},
                         {"mark9", a.approachMark},
                         {"axis", a.axis},
                         {"time", FrameOrRecordMs(a)},
                         {"status", a.status},
                         {"voltage", a.voltage},
                         {"x", a.x},
                         {"y", a.y},
                         {"z", a.z},
                         {"levelHigh", a.levelHigh},
                         {"levelLow", a.levelLow}});
    }
    j["accel"] = std::move(accel);
    json vehicle = json::array();
    for (const VehicleEntry& v : reader.Vehicles()) {
        vehicle.push_back({{"index", v.index}, {"status", v.status}, {"words", v.words}});
    }
    j["vehicle"] = std::move(vehicle);
    if (withFrameMap) j["frameMap"] = reader.FrameMap();
    return j;
}

void PrintText(const SensorReader& reader, bool withFrameMap) {
    const SensorHeader& h = reader.Header();
    std::printf("thresholds %g %g %g %g\n", h.thresholds[0], h.thresholds[1], h.thresholds[2],
                h.thresholds[3]);
    std::printf("mode %s quality %s positionMode %s speedFlag %s receptionFlag %s timeLapse %s\n",
                CharText(h.mode).c_str(), CharText(h.quality).c_str(),
                CharText(h.positionMode).c_str(), CharText(h.speedFlag).c_str(),
                CharText(h.receptionFlag).c_str(), CharText(h.timeLapse).c_str());
    std::printf("model %s\n", h.ModelText().c_str());
    std::printf("records %zu\n", reader.Positions().size());
    std::printf(
        "# index time valid lat lng speed timestamp | event mark8 mark9 axis status "
        "voltage x y z levelHigh levelLow\n");
    for (std::size_t i = 0; i < reader.Positions().size(); ++i) {
        const PositionEntry& p = reader.Positions()[i];
        const json ts = TimestampJson(p.timestamp);
        std::printf("%u %d %d %.6f %.6f %g %s", p.index, FrameOrRecordMs(p), p.valid ? 1 : 0,
                    p.latitude, p.longitude, p.speed,
                    ts.is_null() ? "-" : ts.get<std::string>().c_str());
        if (i < reader.Accels().size()) {
            const AccelEntry& a = reader.Accels()[i];
            std::printf(" | %d %d %d %d %u %d %.3f %.3f %.3f %d %d", a.event, a.overspeedMark,
                        a.approachMark, a.axis, a.status, a.voltage, a.x, a.y, a.z, a.levelHigh,
                        a.levelLow);
        }
        std::printf("\n");
    }
    if (withFrameMap) {
        std::printf("frameMap");
        for (std::int32_t k : reader.FrameMap()) std::printf(" %d", k);
        std::printf("\n");
    }
}

int RunSensors(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {"--json"}, {"--frames"}, parsed)) return kUsage;
    if (parsed.operands.size() != 1)
        return Fail(kUsage, "usage: sensors [--json] [--frames N] CLIP");
    const std::string& clip = parsed.operands[0];

    std::int32_t frames = -1;
    if (const std::string* text = parsed.Value("--frames")) {
        const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), frames);
        if (ec != std::errc{} || end != text->data() + text->size() || frames < 0 ||
            frames > sensor::kMaxFrameCount) {
            return Fail(kUsage, "--frames needs a frame count from 0 to " +
                                    std::to_string(sensor::kMaxFrameCount));
        }
    }

    // A view that cannot be mapped is reported here as the viewer would show it.
    SetMappingErrorHandler([](const std::string& text) {
        std::cerr << "trivexa-cli: " << kMappingErrorCaption << ": " << text << '\n';
    });
    SensorReader reader;
    if (!reader.Init()) return Fail(kFailed, "cannot prepare the sensor reader");
    if (!reader.Load(clip)) return Fail(kFailed, "cannot read the sensor data of " + clip);
    if (frames >= 0) {
        const auto timing = ReadTiming(std::filesystem::path(clip));
        if (!timing) return Fail(kFailed, "cannot read the frame interval of " + clip);
        reader.SetVideoMsPerFrame(static_cast<float>(timing->frameIntervalMs));
        if (!reader.BuildFrameMap(frames)) return Fail(kFailed, "cannot map frames of " + clip);
    }

    if (parsed.Has("--json")) {
        std::cout
            << ReaderJson(reader, frames >= 0).dump(2, ' ', false, json::error_handler_t::replace)
            << '\n';
    } else {
        PrintText(reader, frames >= 0);
    }
    reader.Shutdown();
    return kOk;
}

const Registration reg{"sensors", "[--json] [--frames N] CLIP", &RunSensors};

}  // namespace
}  // namespace trivexa::cli
