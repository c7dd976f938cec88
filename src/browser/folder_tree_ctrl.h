#pragma once
// CFolderTreeCtrl: the browser panel's folder tree. The recording library
// fills it through the FolderTree interface (folder nodes and recording group
// nodes, each carrying the trigger category bits of what lies below it); the
// control paints every row itself (dark rows, the selected row light blue, a
// category badge left of the text of nodes below the top level) and reports
// each change of the selected node.
//
// Node texts are kept as the bytes the file system gave; they are shown as
// UTF-8 with replacement characters where they are not valid, while
// GetItemPath always returns the original bytes.
//
// Callers: the browser panel and the library's scans, on the UI thread.
// A node handle stays valid until its node is deleted; stale handles are
// recognised and treated as no node.

#include <QTreeWidget>
#include <functional>
#include <unordered_set>

#include "recordings/folder_tree.h"

namespace trivexa {

class CFolderTreeCtrl : public QTreeWidget, public FolderTree {
    Q_OBJECT
public:
    explicit CFolderTreeCtrl(QWidget* parent = nullptr, int controlId = 38300);
    ~CFolderTreeCtrl() override;

    int ControlId() const { return controlId_; }

    // --- FolderTree ----------------------------------------------------------
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

    // The root path followed by the texts of the node's ancestors and the
    // node; empty for no node.
    std::string GetItemPath(TreeNode node) const { return ItemPath(node); }
    // Selects each top-level node after the first in turn, then the first.
    void SelectTopNodes();
    // Makes `node` the selected node (kTreeRoot: none). A change raises the
    // selection notification, as a click does.
    void SelectNode(TreeNode node);
    TreeNode SelectedNode() const;
    // The next node after `node` in display order (depth first), kTreeRoot
    // after the last one: the main window's walk to the next folder.
    TreeNode NextNode(TreeNode node) const;
    TreeNode NextSibling(TreeNode node) const;

    // Called with the newly selected node on every change of the selection
    // (the main window's UM_FOLDER_SELECTED handler).
    std::function<void(TreeNode)> onSelectionChanged;

    // Row height and drawing colours (RGB).
    int RowHeight() const;
    static QColor BackColour();
    static QColor SelectedColour();

    // The node's row rectangle in viewport coordinates (for tests).
    QRect NodeRect(TreeNode node) const;

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}

private:
    QTreeWidgetItem* Item(TreeNode node) const;
    static TreeNode Node(const QTreeWidgetItem* item);
    void Forget(QTreeWidgetItem* item);
    void OnCurrentChanged(QTreeWidgetItem* current);
    // The category badge for `flags`, composed and reduced to `shown`.
    QPixmap Badge(std::uint32_t flags, QSize shown) const;

    int controlId_;
    std::unordered_set<const QTreeWidgetItem*> live_;
    // Nodes told to expand; a leaf among them opens when it gets children.
    std::unordered_set<const QTreeWidgetItem*> expandWish_;
    bool quiet_ = false;  // set while nodes are deleted: no notifications
};

}  // namespace trivexa
