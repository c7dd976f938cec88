// trivexa-cli tree [--json] [--kind sd|folder|file] SOURCE: the folder tree the
// browser shows for a card, a folder or a clip.
#include <iostream>
#include <nlohmann/json.hpp>

#include "browser/model/browser_model.h"
#include "cli/command.h"
#include "cli/output_text.h"
#include "cli/source_args.h"
#include "platform/files.h"
#include "recordings/drive_utils.h"

namespace trivexa::cli {
namespace {

nlohmann::ordered_json NodeJson(const FolderTree& tree, TreeNode node) {
    nlohmann::ordered_json j;
    j["name"] = tree.Text(node);
    j["path"] = tree.ItemPath(node);
    j["flags"] = tree.ItemData(node);
    j["children"] = nlohmann::ordered_json::array();
    for (TreeNode c : tree.Children(node)) j["children"].push_back(NodeJson(tree, c));
    return j;
}

void PrintNode(const FolderTree& tree, TreeNode node, int depth) {
    std::cout << std::string(static_cast<std::size_t>(depth) * 2, ' ')
              << EscapeForLine(tree.Text(node));
    if (tree.ItemData(node) != 0) {
        char flags[16];
        std::snprintf(flags, sizeof flags, "0x%02x", tree.ItemData(node));
        std::cout << "  [" << flags << ']';
    }
    std::cout << '\n';
    for (TreeNode c : tree.Children(node)) PrintNode(tree, c, depth + 1);
}

int RunTree(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {"--json"}, {"--kind"}, parsed)) return kUsage;
    if (parsed.operands.size() != 1)
        return Fail(kUsage, "usage: tree [--json] [--kind sd|folder|file] SOURCE");
    const std::string& source = parsed.operands[0];
    MemoryFolderTree tree;
    BrowserModel model(tree);
    SourceKind kind = SourceKind::None;
    if (int rc = OpenSourceOperand(parsed, source, model, kind); rc != kOk) return rc;

    const bool card = kind == SourceKind::SdCard;
    if (parsed.Has("--json")) {
        nlohmann::ordered_json j;
        j["kind"] = static_cast<int>(kind);
        j["root"] = tree.RootPath();
        j["capacityClass"] =
            card ? nlohmann::ordered_json(CapacityClass(source)) : nlohmann::ordered_json();
        j["groupLimit"] = GroupSizeLimit();
        j["nodes"] = nlohmann::ordered_json::array();
        for (TreeNode n : tree.Children(kTreeRoot)) j["nodes"].push_back(NodeJson(tree, n));
        std::cout << JsonText(std::move(j)) << '\n';
        return kOk;
    }
    std::cout << "root: " << EscapeForLine(tree.RootPath()) << '\n';
    if (card)
        std::cout << "capacity class " << CapacityClass(source) << ", group limit "
                  << GroupSizeLimit() << '\n';
    for (TreeNode n : tree.Children(kTreeRoot)) PrintNode(tree, n, 0);
    return kOk;
}

const Registration reg{"tree", "[--json] [--kind sd|folder|file] SOURCE", &RunTree};

}  // namespace
}  // namespace trivexa::cli
