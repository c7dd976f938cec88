// trivexa-cli list [--json] [--kind sd|folder|file] [--node PATH] SOURCE: every
// recording of a source, or those the browser lists for one tree node.
#include <iostream>
#include <nlohmann/json.hpp>

#include "browser/model/browser_model.h"
#include "cli/command.h"
#include "cli/output_text.h"
#include "cli/source_args.h"
#include "platform/files.h"
#include "platform/path.h"
#include "recordings/recording_name.h"

namespace trivexa::cli {
namespace {

nlohmann::ordered_json EntryJson(const RecordingEntry& e) {
    const std::string& name = KeyName(e);
    return {{"serial", e.serial},
            {"frontPath", e.frontPath},
            {"frontName", e.frontName},
            {"rearPath", e.rearPath},
            {"rearName", e.rearName},
            // Printed as the numbers 0 and 1, as scripts read them.
            {"parking", int{e.parking}},
            {"frontDamaged", int{e.frontDamaged}},
            {"rearDamaged", int{e.rearDamaged}},
            {"frontExpectedSize", e.frontExpectedSize},
            {"rearExpectedSize", e.rearExpectedSize},
            {"shortName", ShortDisplayName(name)},
            {"triggerText", TriggerText(name)}};
}

int RunList(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {"--json"}, {"--kind", "--node"}, parsed)) return kUsage;
    if (parsed.operands.size() != 1)
        return Fail(kUsage, "usage: list [--json] [--kind sd|folder|file] [--node PATH] SOURCE");
    const std::string& source = parsed.operands[0];
    MemoryFolderTree tree;
    BrowserModel model(tree);
    SourceKind kind = SourceKind::None;
    if (int rc = OpenSourceOperand(parsed, source, model, kind); rc != kOk) return rc;

    std::vector<RecordingEntry> entries;
    if (const std::string* node = parsed.Value("--node")) {
        const TreeNode n = tree.FindByPath(std::string(StripTrailingSeparators(*node)));
        if (n == kTreeRoot) return Fail(kFailed, "no folder or group " + *node + " in the tree");
        model.LoadFolder(n);
        entries = model.Master();
    } else {
        entries = model.CollectAll();
    }

    if (parsed.Has("--json")) {
        nlohmann::ordered_json j;
        j["entries"] = nlohmann::ordered_json::array();
        for (const auto& e : entries) j["entries"].push_back(EntryJson(e));
        std::cout << JsonText(std::move(j)) << '\n';
        return kOk;
    }
    // One line per recording, whatever bytes its folders' names hold.
    for (const auto& e : entries) {
        std::cout << e.serial << '\t' << EscapeForLine(ShortDisplayName(KeyName(e))) << '\t'
                  << EscapeForLine(TriggerText(KeyName(e))) << '\t'
                  << (e.frontDamaged || e.rearDamaged ? "damaged" : "ok") << '\t'
                  << (e.frontPath.empty() ? "-" : EscapeForLine(e.frontPath)) << '\t'
                  << (e.rearPath.empty() ? "-" : EscapeForLine(e.rearPath)) << '\n';
    }
    return kOk;
}

const Registration reg{"list", "[--json] [--kind sd|folder|file] [--node PATH] SOURCE", &RunList};

}  // namespace
}  // namespace trivexa::cli
