// The inspection mode, the target chooser and the junction information.

#include "engine/junction.h"
#include "platform/sim/menu_view.h"
#include "platform/sim/sim.h"
#include "tests/gui/window_fixture.h"
#include "tests/native/sim_helpers.h"

namespace tarsio::test {
namespace {

using Inspection = WindowTest;

TEST_F(Inspection, ListsOnlyFoldersThatAreOrHoldJunctions) {
    auto children = [&](const std::string& path) {
        PVirtualNode node = Reveal(tree(), path);
        if (node) tree().Expand(node);
        return node ? Captions(node->children) : std::vector<std::string>{"<no " + path + ">"};
    };
    tree().Expand(tree().FindNode("C:\\"));
    ui.cursors.clear();
    // The searches keep the window answering, and drop what the user does meanwhile.
    ui.whileBusy = [&](gui::BusyWork&) { ui.Click(*Form1->btnReset); };
    const int resets = View(tree()).resets;
    ui.Click(*Form1->btnInspect);
    EXPECT_EQ(Form1->btnInspect->Text(), "I&nspecting is enabled");
    EXPECT_TRUE(Form1->Inspecting);
    EXPECT_GT(ui.busyAnswers, 0);
    // A search keeps no path of what it went through.
    EXPECT_FALSE(Form1->ContainsJunction(shelltree::FromAnsi("C:\\data")));
    EXPECT_TRUE(Form1->FindFile.FoundFiles().empty());
    ui.whileBusy = nullptr;
    // Drive roots stay, searched or not; below them only what leads to a junction.
    EXPECT_EQ(Paths(tree().RootNodes()), (std::vector<std::string>{"C:\\", "D:\\", "H:\\", "K:\\"}));
    EXPECT_EQ(children("C:\\"), (std::vector<std::string>{"cycle", "deep", "direct", "hidden", "links", "中文"}));
    EXPECT_EQ(children("C:\\deep"), std::vector<std::string>{"a"});
    EXPECT_EQ(children("C:\\deep\\a\\b"), std::vector<std::string>{"c"});
    EXPECT_EQ(children("D:\\"), std::vector<std::string>{});
    tree().PaintHeadless();
    EXPECT_EQ(tree().FindNode("C:\\direct")->CheckType, shelltree::ctButton);
    // Every search showed the hourglass and put the cursor back.
    ASSERT_FALSE(ui.cursors.empty());
    EXPECT_EQ(ui.cursors.back(), gui::Cursor::Default);
    EXPECT_EQ(gui::ScreenCursor(), gui::Cursor::Default);
    // Pressing it again rebuilds the tree again.
    ui.Click(*Form1->btnInspect);
    EXPECT_EQ(View(tree()).resets - resets, 2);
    EXPECT_TRUE(Form1->Inspecting);

    ui.Click(*Form1->btnReset);
    EXPECT_EQ(Form1->btnInspect->Text(), "I&nspecting is disabled");
    EXPECT_EQ(Form1->btnReset->Text(), "Rese&t");
    EXPECT_EQ(children("C:\\"), kFoldersOfC);
}

// The search ends at the first junction and never enters one. Beside the
// junctions of a Windows profile lie files with reparse points of other
// kinds: only a folder that leads to another counts, a junction or a
// directory symbolic link (which the tree marks as well).
TEST_F(Inspection, OnlyFoldersThatAreOrHoldLinksToFoldersCount) {
    MakeWindowsDrive(fs, {"me"});
    for (const char* dir : {"Users\\me\\Links\\sdk", "Users\\me\\Scripts"})
        ASSERT_TRUE(ForceDirectories("C:\\" + std::string(dir)));
    fs.WriteFile("Users\\me\\Scripts\\go.cmd", "");
    for (const char* link : {"C:\\Users\\me\\Links\\sdk", "C:\\Users\\me\\Scripts\\go.cmd"})
        HostReparsePoint(fs.HostPath(link), 0xA000000C, Bytes("symbolic link"));
    const std::pair<const char*, bool> cases[] = {
        {"C:\\cycle", true},
        {"C:\\direct", true},  // without a search
        {"C:\\none", false},
        {"C:\\hidden", true},  // ".dot" is one
        {"C:\\missing", false},
        {"C:\\Users\\me\\AppData\\Local\\Microsoft", false},  // an app execution alias
        {"C:\\Users\\me\\OneDrive", false},                   // a cloud placeholder file and folder
        {"C:\\Users\\me\\OneDrive\\Photos", false},           // the placeholder folder
        {"C:\\Users\\me\\Scripts", false},                    // a file symbolic link
        {"C:\\Users\\me\\Links", true},                       // a directory symbolic link
        {"C:\\Users\\me\\Documents", true},                   // a junction
        {"C:\\Documents and Settings", true},                 // itself one
    };
    sim::ResetCallLog();
    for (const auto& [path, holds] : cases)
        EXPECT_EQ(Form1->ContainsJunction(shelltree::FromAnsi(path)), holds) << path;
    // A handful of listings, not a walk through the cycles.
    EXPECT_LT(sim::CallCount("FindFirstFileExW"), 20u);
    EXPECT_GT(sim::CallCount("FindFirstFileExW"), 0u);
}

using Dialogs = WindowTest;

TEST_F(Dialogs, TargetChooserProtocolAndTree) {
    auto& tree = *Form3->vteTargetTree;
    // The drives folder is the one top-level node; junctions carry the button.
    ASSERT_EQ(tree.RootNodes().size(), 1u);
    EXPECT_FALSE(tree.RootNodes()[0]->ns->FileSystem());
    PVirtualNode web = Reveal(tree, "C:\\links\\web");
    Reveal(tree, "C:\\data");
    tree.PaintHeadless();
    EXPECT_EQ(web->CheckType, shelltree::ctButton);
    EXPECT_EQ(tree.FindNode("C:\\data")->CheckType, shelltree::ctNone);
    EXPECT_FALSE(Form3->btnOK->Enabled());

    // A click on empty space changes nothing: OK stays disabled; Cancel
    // leaves the junction field as it was.
    ui.modalPlayers["Form3"] = [&](gui::Form&) {
        tree.ClickNode(nullptr);
        EXPECT_FALSE(Form3->btnOK->Enabled());
        EXPECT_EQ(tree.FirstSelectedNode(), nullptr);
        ui.Click(*Form3->btnCancel);
    };
    Form1->edtTarget->SetText("C:\\before");
    ui.Click(*Form1->btnBrowse);
    EXPECT_EQ(Form1->edtTarget->Text(), "C:\\before");
    // Closed with the window's close box: the same.
    ui.modalPlayers["Form3"] = [](gui::Form&) {};
    ui.Click(*Form1->btnBrowse);
    EXPECT_EQ(Form1->edtTarget->Text(), "C:\\before");

    // Without a handler of its own, the chooser takes a click on a check
    // image as a click on the node: it is selected and OK is enabled.
    ui.modalPlayers["Form3"] = [&](gui::Form&) {
        tree.ClickCheck(web);
        EXPECT_EQ(tree.FirstSelectedNode(), web);
        EXPECT_TRUE(Form3->btnOK->Enabled());
        ui.Click(*Form3->btnOK);
    };
    ui.Click(*Form1->btnBrowse);
    EXPECT_EQ(Form1->edtTarget->Text(), "C:\\links\\web");

    // A right click opens the node's menu without moving the selection.
    PVirtualNode data = Reveal(tree, "C:\\data");
    PVirtualNode links = Reveal(tree, "C:\\links");
    tree.ClickNode(data);
    std::vector<sim::MenuEntry> shown;
    View(tree).popupChoice = [&](HMENU menu) {
        shown = sim::MenuEntries(menu);
        return static_cast<int>(shown[0].id);
    };
    tree.RightClickNode(links);
    EXPECT_EQ(tree.FirstSelectedNode(), data);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0].text, "Create");
    EXPECT_EQ(shown[0].id, 6u);
    for (std::size_t i = 1; i < shown.size(); ++i) EXPECT_EQ(shown[i].state, MFS_GRAYED);
    // The drives folder's node has its menu too.
    shown.clear();
    tree.RightClickNode(tree.RootNodes()[0].get());
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0].text, "Create");

    // The dialog keeps its selection and OK's state between showings.
    ui.modalPlayers["Form3"] = [&](gui::Form&) {
        EXPECT_TRUE(Form3->btnOK->Enabled());
        ui.Click(*Form3->btnOK);
    };
    ui.Click(*Form1->btnBrowse);
    EXPECT_EQ(Form1->edtTarget->Text(), "C:\\data");
    EXPECT_EQ(Form3->ChosenPath, "C:\\data");

    // Its root, the drives folder, is a node of its own, with no path.
    tree.ClickNode(tree.RootNodes()[0].get());
    EXPECT_TRUE(tree.SelectedPaths().empty());
    EXPECT_EQ(Paths(tree.RootNodes()[0]->children), (std::vector<std::string>{"C:\\", "D:\\", "H:\\", "K:\\"}));
}

TEST_F(Dialogs, InfoDialogShowsEachJunctionItself) {
    std::vector<std::string> seen;
    ui.modalPlayers["JunctionInfoDlg"] = [&](gui::Form&) {
        seen.push_back(JunctionInfoDlg->edtJunctionSource->Text() + " <- " +
                       JunctionInfoDlg->edtJunctionTarget->Text());
        EXPECT_FALSE(JunctionInfoDlg->edtJunctionSource->Enabled());
        ui.Click(*JunctionInfoDlg->OKBtn);
    };
    PVirtualNode web = Reveal(tree(), "C:\\links\\web");
    tree().ClickCheck(web);
    tree().ClickCheck(Reveal(tree(), "C:\\links\\b"));
    tree().ClickCheck(Reveal(tree(), "C:\\links\\vol"));  // a volume mount point, in its Win32 form
    tree().ClickCheck(Reveal(tree(), "C:\\中文"));
    // A node without the button raises nothing; one whose destination
    // cannot be read shows nothing.
    tree().ClickCheck(Reveal(tree(), "C:\\data"));
    ASSERT_TRUE(DeleteJunction("C:\\links\\web"));
    tree().ClickCheck(web);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"C:\\data <- C:\\links\\web", "C:\\links <- C:\\links\\b",
                                        "\\\\?\\Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}\\ <- C:\\links\\vol",
                                        "C:\\Łódź <- C:\\中文"}));
    EXPECT_EQ(JunctionInfoDlg->Text(), "Junction Information");
    EXPECT_TRUE(JunctionInfoDlg->OKBtn->isDefault);
}

}  // namespace
}  // namespace tarsio::test
