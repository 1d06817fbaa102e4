#pragma once
// TVirtualExplorerTree: a folder tree over the shell namespace. Every node
// stands for one shell item and carries its TNamespace. Nodes are made
// lazily (a folder is enumerated when its children are first needed), every
// item offered passes through OnEnumFolder before it gets a node, and every
// node through OnInitNode once. The node model here is plain code; the
// native view (the common TreeView on Windows, an in-memory view natively)
// shows it and reports what the user does.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/controls.h"
#include "shelltree/namespace.h"

namespace shelltree {

enum class RootFolder { rfDrives };
enum class FileSort { fsNone, fsFileType };
enum class CheckState { Unchecked, Checked };

inline constexpr std::uint8_t ctNone = 0;
inline constexpr std::uint8_t ctButton = 4;

struct TreeNode {
    TreeNode* Parent = nullptr;  // none for top-level nodes
    std::uint8_t CheckType = ctNone;
    CheckState checkState = CheckState::Unchecked;
    std::unique_ptr<TNamespace> ns;
    std::vector<std::unique_ptr<TreeNode>> children;
    bool childrenCreated = false;
    bool hasChildren = false;  // shows an expand button
    bool expanded = false;
    bool selected = false;
    bool initialized = false;                  // OnInitNode has run
    void* item = nullptr;                      // the view's item for this node
    gui::Color paintedColor = gui::clDefault;  // font colour of the last painting
};
using PVirtualNode = TreeNode*;

// The canvas a caption is drawn with; handlers may change its font colour.
struct Canvas {
    gui::Color fontColor = gui::clDefault;
};

class TVirtualExplorerTree;

// The native view of a tree.
class TreeView {
public:
    virtual ~TreeView() = default;
    virtual void Reset() = 0;
    // Shows a new node after its earlier siblings.
    virtual void Insert(TreeNode& node) = 0;
    virtual void RemoveChildren(TreeNode& node) = 0;
    virtual void Update(TreeNode& node) = 0;  // button or check image changed
    virtual void Expand(TreeNode& node, bool expand) = 0;
    virtual void Select(TreeNode* node) = 0;
    virtual TreeNode* TopNode() = 0;
    virtual void SetTopNode(TreeNode* node) = 0;
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    // Shows a popup menu at the mouse, or beside `at` when it is given (a
    // menu asked for with the keyboard); the chosen identifier, 0 for none.
    virtual int TrackPopup(HMENU menu, ShellContextMenu& shellMenu, TreeNode* at) = 0;
    virtual void* OwnerWindow() = 0;
    virtual bool HandleNotify(void* /*header*/, long long& /*result*/) { return false; }
};

class TVirtualExplorerTree : public gui::Control {
public:
    TVirtualExplorerTree(gui::Control* parent, std::string name, gui::Rect bounds);
    ~TVirtualExplorerTree() override;

    // Settings, as the forms give them.
    bool Active = true;
    RootFolder rootFolder = RootFolder::rfDrives;
    bool toHideRootFolder = false;
    unsigned FileObjects = kEnumFolders;
    FileSort fileSort = FileSort::fsFileType;
    bool toCheckSupport = true;
    bool toRightClickSelect = false;
    bool toContextMenus = true;
    bool toAnimatedToggle = false;
    bool toFoldersExpandable = true;
    int DefaultNodeHeight = 17;
    bool borderSingle = true;

    // Events.
    std::function<void(TVirtualExplorerTree& sender, PVirtualNode parentNode, PVirtualNode node)> OnInitNode;
    std::function<void(TVirtualExplorerTree& sender, TNamespace& ns, bool& allowAsChild)> OnEnumFolder;
    std::function<void(TVirtualExplorerTree& sender, Canvas& canvas, PVirtualNode node)> OnPaintText;
    std::function<void(TVirtualExplorerTree& sender, PVirtualNode node, CheckState& newState, bool& allowed)>
        OnChecking;
    std::function<void(TVirtualExplorerTree& sender, TNamespace& ns, HMENU menu, bool& allow)> OnContextMenuShow;
    std::function<void(TVirtualExplorerTree& sender, TNamespace& ns, const std::string& verb, int menuItemId,
                       bool& handled)>
        OnContextMenuCmd;

    // Operations the forms call.
    PVirtualNode FirstSelectedNode();
    PVirtualNode NextSelectedNode(PVirtualNode node);
    bool NodeNamespace(PVirtualNode node, TNamespace*& ns);
    void SelectedPath(WideString& path);
    // Owned by the tree and refilled on every call.
    const std::vector<std::string>& SelectedPaths();
    void RefreshTree();
    void RefreshNode(PVirtualNode node);
    bool PIDLsEqual(const PidlBytes& a, const PidlBytes& b) { return shelltree::PIDLsEqual(a, b); }

    // The nodes, for views and tests.
    const std::vector<std::unique_ptr<TreeNode>>& RootNodes() const { return roots_; }
    TNamespace* RootNamespace() const { return root_.get(); }
    // The first node whose parsing name is `path` among the nodes made so far.
    PVirtualNode FindNode(const std::string& path);
    // Visible nodes in display order.
    std::vector<PVirtualNode> VisibleNodes();

    // What the user does, as the view reports it (or a test acts it out).
    bool Expand(PVirtualNode node);
    // The view is expanding `node` itself: children are made, the view is
    // not told again. False when there is nothing to show.
    bool UserExpanding(PVirtualNode node);
    void Collapse(PVirtualNode node);
    void SelectNode(PVirtualNode node);
    // A left click on `node`: selects it, then OnClick. A click on empty
    // space (none) changes nothing and raises nothing.
    void ClickNode(PVirtualNode node);
    // A click on the check image: OnChecking where the node has a button
    // and the tree a handler; the selection stays where it was. Without a
    // handler the image is part of the item and the click is ClickNode's.
    void ClickCheck(PVirtualNode node);
    // A right click on `node`: selects it where the tree selects on right
    // clicks, then runs the context-menu sequence.
    void RightClickNode(PVirtualNode node);
    // Shift+F10 or the Menu key: the context menu of the selected node.
    void KeyboardContextMenu();
    // Runs OnInitNode for the node if it has not run yet.
    void InitNode(PVirtualNode node);
    void PaintNode(PVirtualNode node, Canvas& canvas);
    // The rows a view of the tree's height shows from its top node.
    std::vector<PVirtualNode> RowsShown();

    TreeView* view() { return view_.get(); }
    void SetView(std::unique_ptr<TreeView> view) { view_ = std::move(view); }

    void NativeCreated() override;
    void* CreateCustomWindow(void* parentWindow, int id) override;
    bool HandleNotify(void* header, long long& result) override;
    void PaintHeadless() override;

private:
    void Fill();
    void Clear();
    void EnsureChildren(TreeNode& node);
    std::vector<std::unique_ptr<TreeNode>> Enumerate(TNamespace& folder, TreeNode* parentNode);
    void Sort(std::vector<std::unique_ptr<TreeNode>>& nodes, TNamespace& folder);
    void Show(std::vector<std::unique_ptr<TreeNode>>& nodes);
    bool DecideHasChildren(TNamespace& ns);
    void ForEach(const std::function<void(TreeNode&)>& f);
    void ContextMenu(TreeNode& node, bool atNode);
    void Restore(const std::vector<PidlBytes>& expanded, const std::vector<PidlBytes>& selected,
                 std::vector<std::unique_ptr<TreeNode>>& nodes);

    std::unique_ptr<TNamespace> root_;
    std::vector<std::unique_ptr<TreeNode>> roots_;
    std::unique_ptr<TreeView> view_;
    std::vector<std::string> selectedPaths_;
    TreeNode* selected_ = nullptr;
};

// The view this build gives a tree: the TreeView common control on Windows
// (made in CreateCustomWindow), an in-memory view natively.
std::unique_ptr<TreeView> MakeDefaultView(TVirtualExplorerTree& tree);
void* CreateNativeView(TVirtualExplorerTree& tree, void* parentWindow, int id);

}  // namespace shelltree
