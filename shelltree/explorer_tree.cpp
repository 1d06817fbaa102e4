#include "shelltree/explorer_tree.h"

#include <algorithm>

#include "gui/application.h"

namespace shelltree {
namespace {

// Holds the view's drawing for as long as it lives (without a view, nothing).
class FrozenView {
public:
    explicit FrozenView(TreeView* view) : view_(view) {
        if (view_) view_->BeginUpdate();
    }
    ~FrozenView() {
        if (view_) view_->EndUpdate();
    }
    FrozenView(const FrozenView&) = delete;
    FrozenView& operator=(const FrozenView&) = delete;

private:
    TreeView* view_;
};

// The PIDLs of the expanded and of the selected nodes at and below `node`.
void RememberState(TreeNode& node, std::vector<PidlBytes>& expanded, std::vector<PidlBytes>& selected) {
    if (node.expanded) expanded.push_back(node.ns->AbsolutePIDL());
    if (node.selected) selected.push_back(node.ns->AbsolutePIDL());
    for (auto& child : node.children) RememberState(*child, expanded, selected);
}

}  // namespace

TVirtualExplorerTree::TVirtualExplorerTree(gui::Control* parent, std::string name, gui::Rect bounds)
    : gui::Control(gui::Kind::Custom, parent, std::move(name), bounds) {
    view_ = MakeDefaultView(*this);
}

TVirtualExplorerTree::~TVirtualExplorerTree() = default;

void TVirtualExplorerTree::NativeCreated() {
    if (Active) Fill();
}

void* TVirtualExplorerTree::CreateCustomWindow(void* parentWindow, int id) {
    return CreateNativeView(*this, parentWindow, id);
}

bool TVirtualExplorerTree::HandleNotify(void* header, long long& result) {
    return view_ && view_->HandleNotify(header, result);
}

void TVirtualExplorerTree::PaintHeadless() {
    for (PVirtualNode node : RowsShown()) {
        Canvas canvas;
        PaintNode(node, canvas);
    }
}

void TVirtualExplorerTree::Clear() {
    if (view_) view_->Reset();
    selected_ = nullptr;
    roots_.clear();
    root_.reset();
}

void TVirtualExplorerTree::Fill() {
    Clear();
    root_ = Provider().MakeDrivesFolder();
    if (!root_) return;
    if (toHideRootFolder) {
        roots_ = Enumerate(*root_, nullptr);
        Show(roots_);
        return;
    }
    // The root itself is the one top-level node, expanded.
    auto node = std::make_unique<TreeNode>();
    node->ns = Provider().MakeDrivesFolder();
    node->hasChildren = true;
    roots_.push_back(std::move(node));
    Show(roots_);
    Expand(roots_.front().get());
}

bool TVirtualExplorerTree::DecideHasChildren(TNamespace& ns) {
    if (!ns.Folder() || !toFoldersExpandable) return false;
    return ns.HasSubFolders();
}

std::vector<std::unique_ptr<TreeNode>> TVirtualExplorerTree::Enumerate(TNamespace& folder, TreeNode* parentNode) {
    std::vector<std::unique_ptr<TreeNode>> nodes;
    for (std::unique_ptr<TNamespace>& item : folder.EnumerateChildren(FileObjects)) {
        item->SetParent(&folder);
        bool allow = true;
        if (OnEnumFolder) OnEnumFolder(*this, *item, allow);
        if (!allow) continue;
        auto node = std::make_unique<TreeNode>();
        node->Parent = parentNode;
        node->hasChildren = DecideHasChildren(*item);
        node->ns = std::move(item);
        nodes.push_back(std::move(node));
    }
    Sort(nodes, folder);
    return nodes;
}

void TVirtualExplorerTree::Sort(std::vector<std::unique_ptr<TreeNode>>& nodes, TNamespace& folder) {
    if (fileSort != FileSort::fsFileType) return;
    // Folders first, then the shell's type description, then the folder's own order.
    std::stable_sort(nodes.begin(), nodes.end(), [&](const auto& a, const auto& b) {
        bool fa = a->ns->Folder(), fb = b->ns->Folder();
        if (fa != fb) return fa;
        int byType = a->ns->TypeName().compare(b->ns->TypeName());
        if (byType != 0) return byType < 0;
        return folder.CompareIDs(*a->ns, *b->ns) < 0;
    });
}

void TVirtualExplorerTree::Show(std::vector<std::unique_ptr<TreeNode>>& nodes) {
    for (auto& node : nodes) {
        if (view_) view_->Insert(*node);
    }
}

void TVirtualExplorerTree::InitNode(PVirtualNode node) {
    if (!node || node->initialized) return;
    node->initialized = true;
    if (OnInitNode) OnInitNode(*this, node->Parent, node);
    if (node->CheckType != ctNone && view_) view_->Update(*node);
}

void TVirtualExplorerTree::EnsureChildren(TreeNode& node) {
    if (node.childrenCreated) return;
    node.childrenCreated = true;
    node.children = Enumerate(*node.ns, &node);
    node.hasChildren = !node.children.empty();
    Show(node.children);
    if (view_) view_->Update(node);
}

bool TVirtualExplorerTree::Expand(PVirtualNode node) {
    if (!node || !node->hasChildren) return false;
    EnsureChildren(*node);
    if (node->children.empty()) return false;
    if (!node->expanded) {
        node->expanded = true;
        if (view_) view_->Expand(*node, true);
    }
    return true;
}

bool TVirtualExplorerTree::UserExpanding(PVirtualNode node) {
    if (!node || !node->hasChildren) return false;
    EnsureChildren(*node);
    node->expanded = !node->children.empty();
    return node->expanded;
}

void TVirtualExplorerTree::Collapse(PVirtualNode node) {
    if (!node || !node->expanded) return;
    node->expanded = false;
    if (view_) view_->Expand(*node, false);
}

void TVirtualExplorerTree::SelectNode(PVirtualNode node) {
    if (selected_ == node) return;
    if (selected_) selected_->selected = false;
    selected_ = node;
    if (node) node->selected = true;
    if (view_) view_->Select(node);
}

void TVirtualExplorerTree::ClickNode(PVirtualNode node) {
    if (!node) return;
    InitNode(node);
    SelectNode(node);
    if (OnClick) OnClick();
}

void TVirtualExplorerTree::ClickCheck(PVirtualNode node) {
    if (!node) return;
    InitNode(node);
    if (!OnChecking || !toCheckSupport || node->CheckType == ctNone) {
        ClickNode(node);
        return;
    }
    CheckState newState = node->checkState == CheckState::Checked ? CheckState::Unchecked : CheckState::Checked;
    bool allowed = true;
    if (OnChecking) OnChecking(*this, node, newState, allowed);
    if (allowed) {
        node->checkState = newState;
        if (view_) view_->Update(*node);
    }
}

void TVirtualExplorerTree::RightClickNode(PVirtualNode node) {
    if (!node) return;
    InitNode(node);
    if (toRightClickSelect) SelectNode(node);
    ContextMenu(*node, false);
}

void TVirtualExplorerTree::KeyboardContextMenu() {
    if (selected_) ContextMenu(*selected_, true);
}

// The node of the drives folder has no parent namespace; its menu comes
// from the desktop folder, as every other item's from its own folder.
void TVirtualExplorerTree::ContextMenu(TreeNode& node, bool atNode) {
    if (!toContextMenus || !view_) return;
    TNamespace& ns = *node.ns;
    std::unique_ptr<ShellContextMenu> menu = ns.ContextMenu(view_->OwnerWindow());
    if (!menu) return;
    bool allow = true;
    if (OnContextMenuShow) OnContextMenuShow(*this, ns, menu->Menu(), allow);
    if (!allow) return;
    int chosen = view_->TrackPopup(menu->Menu(), *menu, atNode ? &node : nullptr);
    if (chosen <= 0) return;
    std::string verb = menu->Verb(chosen);
    bool handled = false;
    if (OnContextMenuCmd) OnContextMenuCmd(*this, ns, verb, chosen, handled);
    // Entries the program added carry identifiers the shell does not know.
    if (!handled && menu->IsShellCommand(chosen)) menu->Invoke(chosen);
}

void TVirtualExplorerTree::PaintNode(PVirtualNode node, Canvas& canvas) {
    InitNode(node);
    if (OnPaintText) OnPaintText(*this, canvas, node);
    node->paintedColor = canvas.fontColor;
}

PVirtualNode TVirtualExplorerTree::FirstSelectedNode() { return selected_; }

PVirtualNode TVirtualExplorerTree::NextSelectedNode(PVirtualNode) { return nullptr; }

bool TVirtualExplorerTree::NodeNamespace(PVirtualNode node, TNamespace*& ns) {
    ns = node ? node->ns.get() : nullptr;
    return ns != nullptr;
}

void TVirtualExplorerTree::SelectedPath(WideString& path) {
    path.clear();
    TNamespace* ns;
    if (NodeNamespace(FirstSelectedNode(), ns) && ns->FileSystem()) path = ns->ParsingName();
}

const std::vector<std::string>& TVirtualExplorerTree::SelectedPaths() {
    selectedPaths_.clear();
    for (PVirtualNode node = FirstSelectedNode(); node; node = NextSelectedNode(node)) {
        // A name without an exact 8-bit form is no path the program can use.
        if (!node->ns->FileSystem()) continue;
        if (std::string path = ToAnsi(node->ns->ParsingName()); !path.empty()) selectedPaths_.push_back(path);
    }
    return selectedPaths_;
}

void TVirtualExplorerTree::ForEach(const std::function<void(TreeNode&)>& f) {
    std::function<void(std::vector<std::unique_ptr<TreeNode>>&)> walk = [&](auto& nodes) {
        for (auto& node : nodes) {
            f(*node);
            walk(node->children);
        }
    };
    walk(roots_);
}

PVirtualNode TVirtualExplorerTree::FindNode(const std::string& path) {
    PVirtualNode found = nullptr;
    ForEach([&](TreeNode& node) {
        if (!found && !path.empty() && node.ns->FileSystem() && ToAnsi(node.ns->ParsingName()) == path) found = &node;
    });
    return found;
}

std::vector<PVirtualNode> TVirtualExplorerTree::VisibleNodes() {
    std::vector<PVirtualNode> visible;
    std::function<void(std::vector<std::unique_ptr<TreeNode>>&)> walk = [&](auto& nodes) {
        for (auto& node : nodes) {
            visible.push_back(node.get());
            if (node->expanded) walk(node->children);
        }
    };
    walk(roots_);
    return visible;
}

std::vector<PVirtualNode> TVirtualExplorerTree::RowsShown() {
    std::vector<PVirtualNode> visible = VisibleNodes();
    auto first = visible.begin();
    if (TreeNode* top = view_ ? view_->TopNode() : nullptr) first = std::find(visible.begin(), visible.end(), top);
    if (first == visible.end()) first = visible.begin();
    std::size_t rows = static_cast<std::size_t>(bounds().height / std::max(1, DefaultNodeHeight));
    auto last = static_cast<std::size_t>(visible.end() - first) > rows ? first + static_cast<std::ptrdiff_t>(rows)
                                                                       : visible.end();
    return std::vector<PVirtualNode>(first, last);
}

// Expands again the remembered folders found among `nodes` (and below the
// ones expanded), and selects again the remembered selection.
void TVirtualExplorerTree::Restore(const std::vector<PidlBytes>& expanded, const std::vector<PidlBytes>& selected,
                                   std::vector<std::unique_ptr<TreeNode>>& nodes) {
    auto remembered = [&](const std::vector<PidlBytes>& list, TreeNode& node) {
        return std::any_of(list.begin(), list.end(),
                           [&](const PidlBytes& p) { return PIDLsEqual(p, node.ns->AbsolutePIDL()); });
    };
    for (auto& node : nodes) {
        if (remembered(selected, *node)) SelectNode(node.get());
        if (remembered(expanded, *node) && Expand(node.get())) Restore(expanded, selected, node->children);
    }
}

void TVirtualExplorerTree::RefreshTree() {
    gui::HourGlass hourGlass;
    std::vector<PidlBytes> expanded, selected;
    for (auto& root : roots_) RememberState(*root, expanded, selected);
    PidlBytes top;
    if (view_)
        if (TreeNode* t = view_->TopNode()) top = t->ns->AbsolutePIDL();
    {
        FrozenView frozen(view_.get());
        Fill();
        Restore(expanded, selected, roots_);
        if (!top.empty() && view_) {
            TreeNode* found = nullptr;
            ForEach([&](TreeNode& node) {
                if (!found && PIDLsEqual(top, node.ns->AbsolutePIDL())) found = &node;
            });
            if (found) view_->SetTopNode(found);
        }
    }
    // A selection made while drawing was frozen is shown again once it runs.
    if (view_ && selected_) view_->Select(selected_);
}

void TVirtualExplorerTree::RefreshNode(PVirtualNode node) {
    if (!node) return;
    FrozenView frozen(view_.get());
    std::vector<PidlBytes> expanded, selected;
    RememberState(*node, expanded, selected);
    bool selectionInside = selected_ && std::find(selected.begin(), selected.end(), selected_->ns->AbsolutePIDL()) !=
                                            selected.end();
    if (selectionInside && selected_ != node) SelectNode(nullptr);

    if (node->childrenCreated) {
        if (view_) view_->RemoveChildren(*node);
        node->children.clear();
        node->childrenCreated = false;
    }
    node->expanded = false;
    node->ns->DropCache();
    node->hasChildren = node->ns->Folder() &&
                        (node->ns->HasSubFolders() ||
                         !node->ns->EnumerateChildren(kEnumFolders | kEnumNonFolders | kEnumHidden).empty());
    if (view_) view_->Update(*node);

    // The node itself stays; expand it again if it was, then its folders.
    bool wasExpanded = std::any_of(expanded.begin(), expanded.end(),
                                   [&](const PidlBytes& p) { return PIDLsEqual(p, node->ns->AbsolutePIDL()); });
    if (wasExpanded && Expand(node)) Restore(expanded, selected, node->children);
}

}  // namespace shelltree
