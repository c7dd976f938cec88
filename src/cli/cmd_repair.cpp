// trivexa-cli repair [--force] CLIP OUT: writes a repaired copy of a clip
// whose index was lost. OUT is the copy's path, or a folder that receives it
// under the clip's own name. OUT is never the clip, and an existing OUT is
// replaced only with --force.
#include <filesystem>
#include <system_error>

#include "cli/command.h"
#include "container/integrity.h"
#include "platform/files.h"
#include "platform/output_file.h"

namespace trivexa::cli {
namespace {

int RunRepair(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {"--force"}, {}, parsed)) return kUsage;
    if (parsed.operands.size() != 2) return Fail(kUsage, "usage: repair [--force] CLIP OUT");
    const std::filesystem::path source = parsed.operands[0];
    std::filesystem::path target = parsed.operands[1];
    std::error_code ec;
    if (!target.has_filename() || std::filesystem::is_directory(target, ec))
        target /= source.filename();
    // The copy replaces OUT when it is complete; OUT must never be the clip.
    if (platform::IsOneOfInputs(target.string(), {source.string()}))
        return Fail(kFailed, "the output would replace the clip itself");
    if (!parsed.Has("--force") &&
        (platform::PathExists(target.string()) || platform::IsSymlink(target.string())))
        return Fail(kFailed, target.string() + " already exists (--force replaces it)");

    RepairJob job;
    if (!RepairClip(job, source, target)) {
        if (job.readFailed)
            return Fail(kFailed, "cannot read " + source.string() +
                                     " (cut short or its card removed while being repaired)");
        return Fail(kFailed,
                    "cannot repair " + source.string() + " (no chunks found or write failed)");
    }
    return kOk;
}

const Registration reg{"repair", "[--force] CLIP OUT", &RunRepair};

}  // namespace
}  // namespace trivexa::cli
