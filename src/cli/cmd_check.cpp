// trivexa-cli check CLIP: the integrity check result and the expected size.
#include <iostream>

#include "cli/command.h"
#include "container/integrity.h"

namespace trivexa::cli {
namespace {

int RunCheck(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {}, {}, parsed)) return kUsage;
    if (parsed.operands.size() != 1) return Fail(kUsage, "usage: check CLIP");
    std::uint64_t expected = 0;
    const ClipCheck result = CheckClip(parsed.operands[0], &expected);
    std::cout << static_cast<int>(result) << ' ' << expected << '\n';
    if (result == ClipCheck::kUnreadable) return Fail(kFailed, "cannot read " + parsed.operands[0]);
    return kOk;
}

const Registration reg{"check", "CLIP", &RunCheck};

}  // namespace
}  // namespace trivexa::cli
