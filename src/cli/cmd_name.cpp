// trivexa-cli name [--json] NAME...
// What the viewer reads from recording names, without touching any file.
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "recordings/recording_name.h"

namespace trivexa::cli {
namespace {

std::string FormatDateTime(const SystemTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", unsigned{t.year},
                  unsigned{t.month}, unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute},
                  unsigned{t.second});
    return text;
}

// The other camera's file: rear for a front name, front for a rear name, and
// the front-to-rear form for anything else.
std::string PartnerOf(const std::string& name) {
    if (IsRecordingName(name, CameraFilter::Rear)) return RearToFrontPath(name);
    return FrontToRearPath(name);
}

nlohmann::ordered_json Describe(const std::string& name) {
    TriggerFlags flags = 0;
    AddTriggerFlags(name, flags);
    const SystemTime when = RecordingDateTime(name);
    nlohmann::ordered_json o;
    o["name"] = name;
    o["isRecording"] = {{"any", IsRecordingName(name, CameraFilter::Any)},
                        {"front", IsRecordingName(name, CameraFilter::Front)},
                        {"rear", IsRecordingName(name, CameraFilter::Rear)}};
    o["kind"] = static_cast<int>(TriggerKindOf(name));
    o["flags"] = flags;
    o["text"] = TriggerText(name);
    o["timeLapse"] = IsTimeLapse(name);
    o["parking"] = IsParking(name);
    o["recognised"] = HasRecognisedKind(name);
    o["shock"] = IsShockEvent(name);
    o["dateTime"] = FormatDateTime(when);
    o["dayOfWeek"] = when.dayOfWeek;
    o["sequenceText"] = SequenceText(name);
    o["sequenceNumber"] = SequenceNumber(name);
    o["shortName"] = ShortDisplayName(name);
    o["stillBase"] = StillBaseName(name);
    o["partner"] = PartnerOf(name);
    return o;
}

// Names come from a card and need not be valid UTF-8: bad bytes become
// U+FFFD in the output instead of aborting it.
std::string Dump(const nlohmann::ordered_json& j, int indent) {
    return j.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

int RunName(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {"--json"}, {}, parsed)) return kUsage;
    if (parsed.operands.empty()) return Fail(kUsage, "usage: trivexa-cli name [--json] NAME...");

    if (parsed.Has("--json")) {
        nlohmann::ordered_json all = nlohmann::ordered_json::array();
        for (const std::string& name : parsed.operands) all.push_back(Describe(name));
        std::cout << Dump(all, 2) << '\n';
        return kOk;
    }
    bool first = true;
    for (const std::string& name : parsed.operands) {
        if (!first) std::cout << '\n';
        first = false;
        const nlohmann::ordered_json described = Describe(name);
        for (const auto& [key, value] : described.items()) {
            std::cout << key << ": "
                      << (value.is_string() ? value.get<std::string>() : Dump(value, -1)) << '\n';
        }
    }
    return kOk;
}

const Registration reg{"name", "[--json] NAME...", &RunName};

}  // namespace
}  // namespace trivexa::cli
