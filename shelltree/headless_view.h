#pragma once
// The in-memory view of a folder tree, for the native build: the node model
// is the whole state; a test picks from popup menus.

#include <functional>

#include "shelltree/explorer_tree.h"

namespace shelltree {

class HeadlessTreeView : public TreeView {
public:
    // The identifier chosen from the next popup menu; without it nothing is.
    std::function<int(HMENU)> popupChoice;
    int popupsShown = 0;
    TreeNode* popupAtNode = nullptr;  // where the last menu was shown; none: at the mouse
    int resets = 0;
    TreeNode* highlighted = nullptr;  // the node the view shows selected

    void Reset() override {
        ++resets;
        highlighted = nullptr;
    }
    void Insert(TreeNode&) override {}
    void RemoveChildren(TreeNode&) override {}
    void Update(TreeNode&) override {}
    void Expand(TreeNode&, bool) override {}
    void Select(TreeNode* node) override { highlighted = node; }
    TreeNode* TopNode() override { return top_; }
    void SetTopNode(TreeNode* node) override { top_ = node; }
    void BeginUpdate() override {}
    void EndUpdate() override {}
    int TrackPopup(HMENU menu, ShellContextMenu&, TreeNode* at) override {
        ++popupsShown;
        popupAtNode = at;
        return popupChoice ? popupChoice(menu) : 0;
    }
    void* OwnerWindow() override { return nullptr; }

private:
    TreeNode* top_ = nullptr;
};

}  // namespace shelltree
