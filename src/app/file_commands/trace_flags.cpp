#include "app/file_commands/trace_flags.h"

#include "panels/core/trip_rules.h"
#include "platform/files.h"

namespace trivexa {

bool TracePresent(bool isCard, const std::string& sourcePath) {
    if (!isCard || sourcePath.empty()) return false;
    std::string folder = sourcePath;
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    return platform::IsRegularFile((folder == "/" ? folder : folder + "/") + kTraceFileName);
}

bool TraceApplies(bool tracePresent, std::string_view frontName, std::string_view rearName) {
    // The trip panel's voltage rule is the same test on the same names.
    return VoltageShownFor(tracePresent, frontName, rearName);
}

}  // namespace trivexa
