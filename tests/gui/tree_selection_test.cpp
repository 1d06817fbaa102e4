// One selection in the folder trees: what the view shows selected is the
// program's selected node after every kind of click and key; nodes are
// initialised only when shown; context menus on every node.

#include <filesystem>

#include "engine/junction.h"
#include "platform/sim/menu_view.h"
#include "platform/sim/sim.h"
#include "tests/gui/window_fixture.h"

namespace tarsio::test {
namespace {

using shelltree::PVirtualNode;

class TreeSelection : public WindowTest {
protected:
    void Prepare() override {
        for (const char* dir : {"data", "links", "links\\a", "links\\b", "many", "few"}) fs.MakeDir(dir);
        ASSERT_TRUE(CreateJunction("C:\\links\\a", "C:\\data"));
        ASSERT_TRUE(CreateJunction("C:\\links\\b", "C:\\links"));
        for (int i = 0; i < 2000; ++i) fs.MakeDir("many\\f" + std::to_string(i));
        for (int i = 0; i < 10; ++i) fs.MakeDir("few\\f" + std::to_string(i));
    }
    shelltree::TVirtualExplorerTree& tree() { return *Form1->vteSourceTree; }
    // The view shows exactly the program's selection.
    void ExpectOneSelection(const char* after) {
        EXPECT_EQ(View(tree()).highlighted, tree().FirstSelectedNode()) << after;
    }
};

TEST_F(TreeSelection, EveryClickLeavesTheHighlightOnTheProgramsSelection) {
    ui.SelectPage(*Form1->pclInputAction, *Form1->tabDelete);
    PVirtualNode a = Reveal(tree(), "C:\\links\\a");
    PVirtualNode b = Reveal(tree(), "C:\\links\\b");
    tree().PaintHeadless();
    ASSERT_EQ(b->CheckType, shelltree::ctButton);
    int infoShown = 0;
    ui.modalPlayers["JunctionInfoDlg"] = [&](gui::Form&) {
        ++infoShown;
        ui.Click(*JunctionInfoDlg->OKBtn);
    };

    struct Step {
        const char* action;
        std::function<void()> act;
        PVirtualNode selected;
        const char* deleteField;
    };
    const std::vector<Step> steps = {
        {"click on A", [&] { tree().ClickNode(a); }, a, "C:\\links\\a"},
        {"check button of B", [&] { tree().ClickCheck(b); }, a, "C:\\links\\a"},
        {"empty space", [&] { tree().ClickNode(nullptr); }, a, "C:\\links\\a"},
        {"keyboard to B", [&] { tree().SelectNode(b); }, b, "C:\\links\\a"},
        {"Inspect rebuilds", [&] { ui.Click(*Form1->btnInspect); }, nullptr, "C:\\links\\a"},
        {"Reset rebuilds", [&] { ui.Click(*Form1->btnReset); }, nullptr, "C:\\links\\a"},
    };
    for (const Step& step : steps) {
        step.act();
        if (step.selected) {
            EXPECT_EQ(tree().FirstSelectedNode(), step.selected) << step.action;
        }
        EXPECT_EQ(Form1->edtDelete->Text(), step.deleteField) << step.action;
        ExpectOneSelection(step.action);
    }
    EXPECT_EQ(infoShown, 1);
    // The rebuilt tree selects B again, shown selected.
    ASSERT_TRUE(tree().FirstSelectedNode());
    EXPECT_EQ(shelltree::ToAnsi(tree().FirstSelectedNode()->ns->ParsingName()), "C:\\links\\b");

    // Delete acts on what is shown selected.
    ui.Click(*Form1->btnDelete);
    EXPECT_FALSE(HasReparsePoint("C:\\links\\b"));
    EXPECT_TRUE(HasReparsePoint("C:\\links\\a"));
}

TEST_F(TreeSelection, ContextMenuOnEveryNodeByMouseAndKeyboard) {
    auto& view = View(tree());
    PVirtualNode data = Reveal(tree(), "C:\\data");
    // Shift+F10 with nothing selected opens nothing.
    tree().KeyboardContextMenu();
    EXPECT_EQ(view.popupsShown, 0);
    tree().ClickNode(data);
    tree().KeyboardContextMenu();
    EXPECT_EQ(view.popupsShown, 1);
    EXPECT_EQ(view.popupAtNode, data);  // beside the node, not at the mouse
    tree().RightClickNode(Reveal(tree(), "C:\\links"));
    EXPECT_EQ(view.popupsShown, 2);
    EXPECT_EQ(view.popupAtNode, nullptr);

    // The chooser's drives folder node has its menu too, with "Create" on top.
    auto& target = *Form3->vteTargetTree;
    std::string first;
    View(target).popupChoice = [&](HMENU menu) {
        first = sim::MenuEntries(menu).at(0).text;
        return 0;
    };
    target.RightClickNode(target.RootNodes()[0].get());
    EXPECT_EQ(View(target).popupsShown, 1);
    EXPECT_EQ(first, "Create");
}

TEST_F(TreeSelection, NodesAreInitialisedWhenFirstShown) {
    PVirtualNode few = Reveal(tree(), "C:\\few");
    PVirtualNode many = Reveal(tree(), "C:\\many");
    ASSERT_TRUE(few && many);
    // Expanding asks the file system once per child (the listing filter),
    // not a second time to initialise it.
    sim::ResetCallLog();
    ASSERT_TRUE(tree().Expand(few));
    std::size_t forFew = sim::CallCount("GetFileAttributesW");
    sim::ResetCallLog();
    ASSERT_TRUE(tree().Expand(many));
    std::size_t forMany = sim::CallCount("GetFileAttributesW");
    EXPECT_EQ(forMany - forFew, 2000u - 10u);
    for (const auto& child : many->children) EXPECT_FALSE(child->initialized);

    // Painting initialises the rows shown, and only those.
    sim::ResetCallLog();
    tree().PaintHeadless();
    std::vector<PVirtualNode> rows = tree().RowsShown();
    EXPECT_EQ(rows.size(), 273u / 17u);
    std::size_t initialised = 0;
    for (const auto& child : many->children) initialised += child->initialized;
    EXPECT_GT(initialised, 0u);
    EXPECT_LE(initialised, rows.size());
    // Each shown row: one test to initialise it (new ones), one to paint it.
    EXPECT_LE(sim::CallCount("GetFileAttributesW"), 2 * rows.size());
}

}  // namespace
}  // namespace tarsio::test
