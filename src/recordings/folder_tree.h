#pragma once
// The folder tree that the recording scans fill: folder nodes and virtual
// recording-group nodes, each with a text and an item-data value (the trigger
// category bits of the recordings below it). The browser's tree control
// implements this interface on screen; MemoryFolderTree keeps the same tree in
// memory for the command-line tool and for tests.
//
// Used from one thread at a time (the browser panel's thread); nothing here
// is synchronised.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace trivexa {

// Opaque handle of a node; kTreeRoot stands for the invisible root above the
// top-level nodes. Handles stay valid until their node is deleted.
using TreeNode = std::uintptr_t;
inline constexpr TreeNode kTreeRoot = 0;

class FolderTree {
public:
    virtual ~FolderTree() = default;

    // Appends a node with `text` as the last child of `parent` (kTreeRoot for
    // a top-level node). Returns kTreeRoot when the node cannot be created.
    virtual TreeNode InsertChild(TreeNode parent, const std::string& text) = 0;
    virtual void SetItemData(TreeNode node, std::uint32_t data) = 0;
    virtual std::uint32_t ItemData(TreeNode node) const = 0;
    // Shows the children of `node` (no effect on the root).
    virtual void Expand(TreeNode node) = 0;
    virtual bool IsExpanded(TreeNode node) const = 0;
    virtual std::string Text(TreeNode node) const = 0;
    // Parent of `node`; kTreeRoot for top-level nodes and for the root.
    virtual TreeNode Parent(TreeNode node) const = 0;
    virtual std::vector<TreeNode> Children(TreeNode node) const = 0;
    // Number of nodes in the whole tree, the root not counted.
    virtual std::size_t NodeCount() const = 0;
    virtual void DeleteChildren(TreeNode node) = 0;
    void DeleteAll() { DeleteChildren(kTreeRoot); }

    // The path that top-level node texts are appended to.
    void SetRootPath(const std::string& path) { rootPath_ = path; }
    const std::string& RootPath() const { return rootPath_; }

    // Root path followed by the texts of the node's ancestors and the node,
    // joined with '/'. Empty for kTreeRoot.
    std::string ItemPath(TreeNode node) const;
    // Expands `node` and every ancestor and remembers it as the current node.
    void ExpandUp(TreeNode node);
    TreeNode CurrentNode() const { return current_; }
    void SetCurrentNode(TreeNode node) { current_ = node; }
    // Number of ancestors of `node` below the root (0 for a top-level node).
    int Depth(TreeNode node) const;
    // First node (depth-first, in child order) whose ItemPath equals `path`.
    TreeNode FindByPath(const std::string& path) const;

private:
    std::string rootPath_;
    TreeNode current_ = kTreeRoot;
};

// The tree kept in memory: what the CLI prints and the tests inspect.
class MemoryFolderTree final : public FolderTree {
public:
    MemoryFolderTree();
    ~MemoryFolderTree() override;
    MemoryFolderTree(const MemoryFolderTree&) = delete;
    MemoryFolderTree& operator=(const MemoryFolderTree&) = delete;

    TreeNode InsertChild(TreeNode parent, const std::string& text) override;
    void SetItemData(TreeNode node, std::uint32_t data) override;
    std::uint32_t ItemData(TreeNode node) const override;
    void Expand(TreeNode node) override;
    bool IsExpanded(TreeNode node) const override;
    std::string Text(TreeNode node) const override;
    TreeNode Parent(TreeNode node) const override;
    std::vector<TreeNode> Children(TreeNode node) const override;
    std::size_t NodeCount() const override;
    void DeleteChildren(TreeNode node) override;

private:
    struct Node;
    Node* Find(TreeNode node) const;
    std::unique_ptr<Node> root_;
    std::size_t count_ = 0;
};

}  // namespace trivexa
