#include "map/core/map_script.h"

#include <charconv>
#include <cmath>

namespace trivexa::map {

std::string CreateGridLineCall(int igrid) {
    return "orbitgrplist.CreateGridLine(" + std::to_string(igrid) + ")";
}

std::vector<std::string> RedrawCalls(int igrid, bool group) {
    std::vector<std::string> calls{std::string(kClearCrashPos), std::string(kRemoveLineList)};
    if (group) calls.emplace_back(kCreateLine);
    calls.push_back(CreateGridLineCall(igrid));
    return calls;
}

std::string FormatFixed6(double value) {
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    // The largest double has 309 integer digits.
    char buffer[400];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (ec != std::errc()) return "nan";
    return std::string(buffer, end);
}

std::string_view HostValueName(HostValue value) {
    switch (value) {
        case HostValue::kConnectTest:
            return "JS2C_ConnectTest";
        case HostValue::kMapUrl:
            return "JS2C_GetMapURL";
        case HostValue::kGroupTrack:
            return "JS2C_GetGPSData";
        case HostValue::kRecordingTrack:
            return "JS2C_GetGridData";
        case HostValue::kPosition:
            return "JS2C_GetRelJpgNum";
    }
    return {};
}

HostValues ReadsOf(std::string_view script) {
    // The function name: the text before the first '(' without blanks.
    const std::size_t open = script.find('(');
    std::string_view name = script.substr(0, open);
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    HostValues reads;
    if (name == "orbitgrplist.CreateLine") return reads.Add(HostValue::kGroupTrack);
    if (name == "orbitgrplist.CreateGridLine")
        return reads.Add(HostValue::kRecordingTrack).Add(HostValue::kPosition);
    if (name == "cplist.ClearCrashPos" || name == "cplist.AddCrashPos" ||
        name == "orbitgrplist.RemoveLineList")
        return reads;
    return reads.Add(HostValue::kPosition);
}

}  // namespace trivexa::map
