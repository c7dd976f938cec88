// trivexa-cli info [--json] CLIP: the clip facts the reader derives from the
// header, index and sensor block, with the integrity check result.
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "container/avi_reader.h"
#include "container/integrity.h"
#include "container/sensor_reader.h"

namespace trivexa::cli {
namespace {

nlohmann::ordered_json OptionalNumber(const std::optional<double>& v) {
    return v ? nlohmann::ordered_json(*v) : nlohmann::ordered_json(nullptr);
}

// The records the viewer decodes from the clip: the header's count may say
// "until the trailer" (0xFFFF), and a repaired copy has no block at all, only
// bytes where the header would be.
std::size_t DecodedSensorRecords(const std::string& path) {
    SensorReader reader;
    if (!reader.Init() || !reader.Load(path)) return 0;
    return reader.Positions().size();
}

int RunInfo(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {"--json"}, {}, parsed)) return kUsage;
    if (parsed.operands.size() != 1) return Fail(kUsage, "usage: info [--json] CLIP");
    const std::string& path = parsed.operands[0];

    const std::optional<ClipInfo> info = ReadClipInfo(path);
    if (!info) {
        // A front clip must also carry a readable sensor block.
        return Fail(kFailed, "cannot read clip information from " + path + " (check result " +
                                 std::to_string(static_cast<int>(CheckClip(path))) + ")");
    }
    const ClipFacts facts = DeriveFacts(*info);
    std::uint64_t expected = 0;
    const int check = static_cast<int>(CheckClip(path, &expected));

    nlohmann::ordered_json j;
    j["layout"] = info->layout == ClipLayout::kFull ? "full" : "short";
    j["fileSize"] = info->fileSize;
    j["frameIntervalMs"] = OptionalNumber(facts.frameIntervalMs);
    j["frameRate"] = OptionalNumber(facts.frameRate);
    j["streamFrames"] = facts.streamFrames;
    j["totalFrames"] = facts.totalFrames;
    j["durationSeconds"] = OptionalNumber(facts.durationSeconds);
    j["width"] = facts.width;
    j["height"] = facts.height;
    j["resolutionClass"] = facts.resolutionClass;
    j["audioChunks"] = facts.audioChunks;
    j["moviSize"] = info->MoviListSize();
    j["indexEntries"] = info->indexEntries.size();
    j["sensorRecords"] = DecodedSensorRecords(path);
    // The raw count as the block header holds it; only front clips have their
    // block read with the clip information.
    j["sensorHeaderCount"] = IsRecordingName(path, CameraFilter::Front)
                                 ? nlohmann::ordered_json(info->sensorHeaderCount)
                                 : nlohmann::ordered_json(nullptr);
    j["check"] = check;
    j["expectedSize"] = expected;

    if (parsed.Has("--json")) {
        std::cout << j.dump(2) << '\n';
    } else {
        for (const auto& [key, value] : j.items()) {
            std::cout << key << ": ";
            if (value.is_string())
                std::cout << value.get<std::string>() << '\n';
            else
                std::cout << value << '\n';
        }
    }
    return kOk;
}

const Registration reg{"info", "[--json] CLIP", &RunInfo};

}  // namespace
}  // namespace trivexa::cli
