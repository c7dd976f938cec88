#include "recordings/folder_tree.h"

#include <algorithm>

#include "platform/path.h"

namespace trivexa {

std::string FolderTree::ItemPath(TreeNode node) const {
    if (node == kTreeRoot) return {};
    std::vector<std::string> texts;
    for (TreeNode n = node; n != kTreeRoot; n = Parent(n)) texts.push_back(Text(n));
    std::string path = rootPath_;
    for (auto it = texts.rbegin(); it != texts.rend(); ++it) path = JoinPath(path, *it);
    return path;
}

void FolderTree::ExpandUp(TreeNode node) {
    for (TreeNode n = node; n != kTreeRoot; n = Parent(n)) Expand(n);
    current_ = node;
}

int FolderTree::Depth(TreeNode node) const {
    int depth = 0;
    for (TreeNode n = Parent(node); n != kTreeRoot; n = Parent(n)) ++depth;
    return node == kTreeRoot ? 0 : depth;
}

TreeNode FolderTree::FindByPath(const std::string& path) const {
    // Explicit stack: the tree is shallow, but nothing here should depend on it.
    std::vector<TreeNode> pending;
    auto top = Children(kTreeRoot);
    pending.assign(top.rbegin(), top.rend());
    while (!pending.empty()) {
        TreeNode n = pending.back();
        pending.pop_back();
        if (ItemPath(n) == path) return n;
        auto children = Children(n);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return kTreeRoot;
}

struct MemoryFolderTree::Node {
    std::string text;
    std::uint32_t data = 0;
    bool expanded = false;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
};

MemoryFolderTree::MemoryFolderTree() : root_(std::make_unique<Node>()) {}
MemoryFolderTree::~MemoryFolderTree() = default;

// Handles are the nodes' addresses; kTreeRoot (0) maps to the hidden root.
MemoryFolderTree::Node* MemoryFolderTree::Find(TreeNode node) const {
    if (node == kTreeRoot) return root_.get();
    return reinterpret_cast<Node*>(node);
}

TreeNode MemoryFolderTree::InsertChild(TreeNode parent, const std::string& text) {
    Node* p = Find(parent);
    auto child = std::make_unique<Node>();
    child->text = text;
    child->parent = p;
    Node* raw = child.get();
    p->children.push_back(std::move(child));
    ++count_;
    return reinterpret_cast<TreeNode>(raw);
}

void MemoryFolderTree::SetItemData(TreeNode node, std::uint32_t data) {
    if (node != kTreeRoot) Find(node)->data = data;
}

std::uint32_t MemoryFolderTree::ItemData(TreeNode node) const {
    return node == kTreeRoot ? 0 : Find(node)->data;
}

void MemoryFolderTree::Expand(TreeNode node) {
    if (node != kTreeRoot) Find(node)->expanded = true;
}

bool MemoryFolderTree::IsExpanded(TreeNode node) const {
    return node != kTreeRoot && Find(node)->expanded;
}

std::string MemoryFolderTree::Text(TreeNode node) const {
    return node == kTreeRoot ? std::string() : Find(node)->text;
}

TreeNode MemoryFolderTree::Parent(TreeNode node) const {
    if (node == kTreeRoot) return kTreeRoot;
    Node* p = Find(node)->parent;
    return p == root_.get() ? kTreeRoot : reinterpret_cast<TreeNode>(p);
}

std::vector<TreeNode> MemoryFolderTree::Children(TreeNode node) const {
    std::vector<TreeNode> out;
    for (const auto& c : Find(node)->children) out.push_back(reinterpret_cast<TreeNode>(c.get()));
    return out;
}

std::size_t MemoryFolderTree::NodeCount() const { return count_; }

void MemoryFolderTree::DeleteChildren(TreeNode node) {
    Node* n = Find(node);
    std::vector<Node*> pending;
    for (auto& c : n->children) pending.push_back(c.get());
    std::size_t removed = 0;
    while (!pending.empty()) {
        Node* x = pending.back();
        pending.pop_back();
        ++removed;
        for (auto& c : x->children) pending.push_back(c.get());
    }
    count_ -= std::min(removed, count_);
    if (CurrentNode() != kTreeRoot) {
        // Forget the current node when it was among the deleted ones.
        for (TreeNode c = CurrentNode(); c != kTreeRoot; c = Parent(c)) {
            if (c == node) break;
            if (Parent(c) == node) {
                SetCurrentNode(kTreeRoot);
                break;
            }
        }
    }
    n->children.clear();
}

}  // namespace trivexa
