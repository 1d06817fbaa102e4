// The source tree of the main window over the simulated drives: what it
// lists, how it marks junctions, names beyond any legacy code page, clicks,
// the one selection, the context menu and refreshes.

#include <filesystem>

#include "engine/junction.h"
#include "platform/sim/codepage.h"
#include "platform/sim/menu_view.h"
#include "platform/sim/sim.h"
#include "shelltree/menu_ids.h"
#include "shelltree/sim_namespace.h"
#include "tests/gui/window_fixture.h"

namespace tarsio::test {
namespace {

using SourceTree = WindowTest;

TEST_F(SourceTree, ListsLocalDrivesAndDirectoriesOnly) {
    // No A:, B:, network or CD-ROM drive, no drive without medium, no
    // virtual item: the drives, in the shell's order by type then name.
    EXPECT_EQ(Paths(tree().RootNodes()), (std::vector<std::string>{"C:\\", "D:\\", "H:\\", "K:\\"}));
    PVirtualNode c = tree().FindNode("C:\\");
    ASSERT_TRUE(tree().Expand(c));
    EXPECT_EQ(Captions(c->children), kFoldersOfC);
    // An item refused stays refused when its folder is collapsed and expanded again.
    fs.MakeDir("later");
    tree().Collapse(c);
    tree().Expand(c);
    EXPECT_EQ(Captions(c->children), kFoldersOfC);
}

// Before Windows 10 1903 the process code page is the legacy one: a name
// that it cannot hold is never shown.
TEST_F(SourceTree, ALegacyCodePageHidesWhatItCannotName) {
    sim::SetAnsiCodePage(sim::kLegacyCodePage);
    fs.MakeDir("caf\xE9");  // café in 1252
    PVirtualNode c = tree().FindNode("C:\\");
    ASSERT_TRUE(tree().Expand(c));
    std::vector<std::string> shown = {"caf\xE9"};
    shown.insert(shown.end(), kFoldersOfC.begin(), kFoldersOfC.end() - 2);  // not Łódź and 中文
    EXPECT_EQ(Captions(c->children), shown);
}

TEST_F(SourceTree, MarksExactlyTheReparsePoints) {
    PVirtualNode links = Reveal(tree(), "C:\\links");
    PVirtualNode web = Reveal(tree(), "C:\\links\\web");
    PVirtualNode data = Reveal(tree(), "C:\\data");
    ASSERT_TRUE(links && web && data);
    // The junction is a folder: its children come from the destination.
    ASSERT_TRUE(tree().Expand(web));
    EXPECT_EQ(Captions(web->children), std::vector<std::string>{"sub"});
    tree().Repaint();
    const std::pair<PVirtualNode, bool> nodes[] = {{web, true},
                                                   {links, false},
                                                   {data, false},
                                                   {web->children[0].get(), false}};
    for (const auto& [node, junction] : nodes) {
        EXPECT_EQ(node->CheckType, junction ? shelltree::ctButton : shelltree::ctNone);
        EXPECT_EQ(node->paintedColor, junction ? gui::clFuchsia : gui::clDefault);
    }

    // The colour follows the disk at every painting; the button waits for a rebuild.
    ASSERT_TRUE(DeleteJunction("C:\\links\\web"));
    tree().Repaint();
    EXPECT_EQ(web->paintedColor, gui::clDefault);
    EXPECT_EQ(web->CheckType, shelltree::ctButton);
}

TEST_F(SourceTree, ClickRulesOnEachPage) {
    // A click on `path` leaves both fields and the Create button so.
    auto click = [&](const std::string& path, const std::string& source, const std::string& target, bool create) {
        ClickPath(path);
        EXPECT_EQ(Form1->edtSource->Text(), source) << path;
        EXPECT_EQ(Form1->edtTarget->Text(), target) << path;
        EXPECT_EQ(Form1->btnCreate->Enabled(), create) << path;
    };
    // No field entered yet: the source field is filled, with the name exactly.
    click("C:\\Łódź", "C:\\Łódź", "", true);
    // A junction can never be picked as the source.
    click("C:\\links\\web", "C:\\links\\web", "", false);
    // A path with a blank arrives quoted; the source field drops the quotes.
    click("C:\\my files", "C:\\my files", "", true);

    // After the junction field was entered, clicks fill it, quotes and all,
    // and the Create button still follows the clicked node.
    ui.Focus(*Form1->edtTarget);
    EXPECT_EQ(EditFocus, 2);
    click("C:\\links\\web", "C:\\my files", "C:\\links\\web", false);
    click("C:\\my files", "C:\\my files", "\"C:\\my files\"", true);
    ui.Focus(*Form1->edtSource);
    EXPECT_EQ(EditFocus, 1);
    click("C:\\data", "C:\\data", "\"C:\\my files\"", true);

    // On the Delete page clicks fill its field; the Create page is left as it was.
    ui.SelectPage(*Form1->pclInputAction, *Form1->tabDelete);
    for (const auto& [path, shown, junction] : {std::tuple{"C:\\data", "C:\\data", false},
                                                {"C:\\中文", "C:\\中文", true},
                                                {"C:\\my files", "\"C:\\my files\"", false}}) {
        ClickPath(path);
        EXPECT_EQ(Form1->edtDelete->Text(), shown);
        EXPECT_EQ(Form1->btnDelete->Enabled(), junction) << path;
    }
    EXPECT_EQ(Form1->edtSource->Text(), "C:\\data");
    EXPECT_TRUE(Form1->btnCreate->Enabled());

    // On the third page clicks change no field.
    ClickPath("C:\\links\\web");
    ui.SelectPage(*Form1->pclInputAction, *Form1->TabSheet1);
    ClickPath("C:\\my files");
    EXPECT_EQ(Form1->edtDelete->Text(), "C:\\links\\web");
    EXPECT_TRUE(Form1->btnDelete->Enabled());
    EXPECT_EQ(Form1->edtSource->Text(), "C:\\data");
}

TEST_F(SourceTree, EveryClickLeavesTheHighlightOnTheProgramsSelection) {
    // Nothing selected yet: no path.
    EXPECT_TRUE(tree().SelectedPaths().empty());
    shelltree::WideString path = shelltree::FromAnsi("stale");
    tree().SelectedPath(path);
    EXPECT_TRUE(path.empty());
    ui.SelectPage(*Form1->pclInputAction, *Form1->tabDelete);
    PVirtualNode web = Reveal(tree(), "C:\\links\\web");
    PVirtualNode b = Reveal(tree(), "C:\\links\\b");
    tree().PaintHeadless();
    ASSERT_EQ(b->CheckType, shelltree::ctButton);
    int infoShown = 0;
    ui.modalPlayers["JunctionInfoDlg"] = [&](gui::Form&) {
        ++infoShown;
        ui.Click(*JunctionInfoDlg->OKBtn);
    };

    // Each step, and the node selected after it (nullptr: found again after a rebuild).
    const std::tuple<const char*, std::function<void()>, PVirtualNode> steps[] = {
        {"click on web", [&] { tree().ClickNode(web); }, web},
        {"check button of b", [&] { tree().ClickCheck(b); }, web},
        {"empty space", [&] { tree().ClickNode(nullptr); }, web},
        {"keyboard to b", [&] { tree().SelectNode(b); }, b},
        {"Inspect rebuilds", [&] { ui.Click(*Form1->btnInspect); }, nullptr},
        {"Reset rebuilds", [&] { ui.Click(*Form1->btnReset); }, nullptr},
    };
    for (const auto& [step, act, selected] : steps) {
        act();
        if (selected) {
            EXPECT_EQ(tree().FirstSelectedNode(), selected) << step;
        }
        EXPECT_EQ(Form1->edtDelete->Text(), "C:\\links\\web") << step;
        EXPECT_EQ(View(tree()).highlighted, tree().FirstSelectedNode()) << step;  // shown as selected
    }
    EXPECT_EQ(infoShown, 1);
    // The rebuilt tree selects b again, shown selected.
    ASSERT_TRUE(tree().FirstSelectedNode());
    EXPECT_EQ(shelltree::ToAnsi(tree().FirstSelectedNode()->ns->ParsingName()), "C:\\links\\b");

    // Delete acts on what is shown selected.
    ui.Click(*Form1->btnDelete);
    EXPECT_FALSE(HasReparsePoint("C:\\links\\b"));
    EXPECT_TRUE(HasReparsePoint("C:\\links\\web"));
}

TEST_F(SourceTree, NodesAreInitialisedWhenFirstShown) {
    for (const char* dir : {"many", "few"}) fs.MakeDir(dir);
    for (int i = 0; i < 2000; ++i) fs.MakeDir("many\\f" + std::to_string(i));
    for (int i = 0; i < 10; ++i) fs.MakeDir("few\\f" + std::to_string(i));
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
    tree().Collapse(few);  // many's first children in sight

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

// A right click, or Shift+F10 beside the selected node, opens the menu: the
// link entry, then the shell's, all grey.
TEST_F(SourceTree, ContextMenuGreysTheShellAndOffersTheLink) {
    auto& view = View(tree());
    PVirtualNode data = Reveal(tree(), "C:\\data");
    std::vector<sim::MenuEntry> shown;
    view.popupChoice = [&](HMENU menu) {
        shown = sim::MenuEntries(menu);
        return static_cast<int>(shown.front().id);
    };
    ui.modalPlayers["Form3"] = [&](gui::Form&) {
        PVirtualNode target = Reveal(*Form3->vteTargetTree, "C:\\links");
        Form3->vteTargetTree->ClickNode(target);
        ui.Click(*Form3->btnOK);
    };
    shelltree::SimShellCommandsRun().clear();
    tree().KeyboardContextMenu();  // nothing selected: no menu
    EXPECT_EQ(view.popupsShown, 0);
    tree().RightClickNode(data);

    // Right-click selects, and the menu comes at the mouse.
    EXPECT_EQ(tree().FirstSelectedNode(), data);
    EXPECT_EQ(view.popupAtNode, nullptr);
    ASSERT_EQ(shown.size(), 8u);
    EXPECT_EQ(shown[0].text, "Link this directory to...");
    EXPECT_EQ(shown[0].state, 0u);
    EXPECT_EQ(sim::BitmapName(shown[0].checkedBitmap), "OPEN");
    EXPECT_EQ(sim::BitmapName(shown[0].uncheckedBitmap), "OPEN");
    for (std::size_t i = 1; i < shown.size(); ++i) EXPECT_EQ(shown[i].state, MFS_GRAYED) << i;
    // Identifiers 1, 2, 4, 5 on top and 3 in the Send To submenu: 6 is free.
    EXPECT_EQ(shown[0].id, 6u);
    EXPECT_EQ(Form1->LinkMenuItemId, 6);
    EXPECT_EQ(Form1->edtTarget->Text(), "C:\\links");
    EXPECT_TRUE(shelltree::SimShellCommandsRun().empty());

    // Cancelling the chooser leaves the field.
    ui.modalPlayers["Form3"] = [&](gui::Form&) { ui.Click(*Form3->btnCancel); };
    tree().KeyboardContextMenu();
    EXPECT_EQ(view.popupsShown, 2);
    EXPECT_EQ(view.popupAtNode, data);
    EXPECT_EQ(Form1->edtTarget->Text(), "C:\\links");
}

// The selection as the fields get it: a name with a comma is quoted too.
TEST(CommaText, QuotesWhatNeedsQuoting) {
    EXPECT_EQ(CommaText({}), "");
    EXPECT_EQ(CommaText({"C:\\a,b", "C:\\say \"hi\"", "C:\\x"}), "\"C:\\a,b\",\"C:\\say \"\"hi\"\"\",C:\\x");
}

TEST(FreeMenuItemId, SmallestFreeIdentifier) {
    // Identifiers on top, in a submenu, and the one expected.
    const std::tuple<std::vector<UINT>, std::vector<UINT>, UINT> cases[] = {
        {{}, {}, 1}, {{1, 2, 3, 4, 5}, {}, 6}, {{2, 3}, {}, 1}, {{1, 3}, {}, 2}, {{1, 2}, {3, 4}, 5},
    };
    for (const auto& [top, sub, expected] : cases) {
        HMENU menu = os::CreatePopupMenu();
        for (UINT id : top) os::AppendMenuA(menu, MF_STRING, id, "x");
        if (!sub.empty()) {
            HMENU popup = os::CreatePopupMenu();
            for (UINT id : sub) os::AppendMenuA(popup, MF_STRING, id, "y");
            os::AppendMenuA(menu, MF_POPUP, reinterpret_cast<ULONG_PTR>(popup), "sub");
        }
        os::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        EXPECT_EQ(shelltree::FreeMenuItemId(menu), expected);
        os::DestroyMenu(menu);
    }
}

TEST_F(SourceTree, RefreshReadsFoldersAgainAndKeepsWhatIsExpandedAndSelected) {
    // A node's refresh reads its folder again, and no other.
    PVirtualNode links = Reveal(tree(), "C:\\links");
    tree().Expand(links);
    fs.MakeDir("links\\old");
    fs.MakeDir("data\\new");
    tree().RefreshNode(links);
    EXPECT_EQ(Captions(links->children), (std::vector<std::string>{"b", "old", "vol", "web"}));
    EXPECT_TRUE(links->expanded);
    EXPECT_FALSE(tree().FindNode("C:\\data")->childrenCreated);

    // The tree's refresh keeps the folders expanded and the selection, and
    // drops what is gone.
    PVirtualNode sub = Reveal(tree(), "C:\\data\\sub");
    tree().ClickNode(sub);
    ASSERT_TRUE(os::RemoveDirectoryA("C:\\links\\old"));
    fs.MakeDir("data\\newer");
    tree().RefreshTree();
    PVirtualNode data = tree().FindNode("C:\\data");
    links = tree().FindNode("C:\\links");
    ASSERT_TRUE(data && links);
    EXPECT_TRUE(tree().FindNode("C:\\")->expanded && data->expanded && links->expanded);
    EXPECT_EQ(Captions(data->children), (std::vector<std::string>{"new", "newer", "sub"}));
    EXPECT_EQ(Captions(links->children), (std::vector<std::string>{"b", "vol", "web"}));
    ASSERT_TRUE(tree().FirstSelectedNode());
    EXPECT_EQ(shelltree::ToAnsi(tree().FirstSelectedNode()->ns->ParsingName()), "C:\\data\\sub");

    // A folder that was expanded and is gone is not expanded again.
    std::filesystem::remove_all(fs.HostPath("C:\\data"));
    tree().RefreshTree();
    EXPECT_FALSE(tree().FindNode("C:\\data"));
    EXPECT_FALSE(tree().FirstSelectedNode());
    EXPECT_TRUE(tree().FindNode("C:\\links")->expanded);
}

}  // namespace
}  // namespace tarsio::test
