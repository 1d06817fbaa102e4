// The main window of the real Tarsio.exe under Wine, driven from outside.

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

#include "tests/wine/driver.h"
#include "tests/wine/window_steps.h"

namespace {

using driver::Tarsio;

TEST(MainWindow, StartUpQuestionAndAnswerNo) {
    Tarsio app;
    HWND question = app.WaitDialog();
    ASSERT_TRUE(question) << "no start-up question";
    EXPECT_EQ(Tarsio::Text(question), "Confirm");
    EXPECT_EQ(Tarsio::MessageText(question),
              "Non of your volumes has a NTFS formatted file system that allows using \"junction\" points. "
              "Do you still want to continue?");
    EXPECT_TRUE(GetDlgItem(question, IDYES) && GetDlgItem(question, IDNO));
    Tarsio::Press(question, IDNO);
    DWORD code = 1;
    EXPECT_TRUE(app.WaitExit(10000, &code));
    EXPECT_EQ(code, 0u);
}

TEST(MainWindow, CaptionsAndStatesAtStart) {
    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    EXPECT_EQ(Tarsio::Text(main), "Tarsio");
    RECT client;
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, 384);
    EXPECT_EQ(client.bottom, 467);

    // Each named control's text, and whether it is enabled and visible.
    const std::map<std::string, std::tuple<const char*, bool, bool>> expected = {
        {"vteSourceTree", {"", true, true}},
        {"pnlWaitInExport", {"Please wait. Tarsio is exporting your links...", true, false}},
        {"btnCancelExport", {"Cancel", true, false}},
        {"lblSource", {"Link from:", true, true}},
        {"lblSourceLbl", {"Source", true, true}},
        {"edtSource", {"", true, true}},
        {"lblTarget", {"Link to:", true, true}},
        {"lblTargetLbl", {"Junction", true, true}},
        {"edtTarget", {"", true, true}},
        {"btnBrowse", {"...", true, true}},
        {"btnCreate", {"&Create...", false, true}},
        {"lblDeleteDesc", {"Junction to", true, false}},
        {"lblDelete", {"Delete", true, false}},
        {"edtDelete", {"", true, false}},
        {"btnDelete", {"&Delete...", false, false}},
        {"lblDuration", {"This operation might take some minutes...", true, false}},
        {"btnInspect", {"I&nspect", true, false}},
        {"btnReset", {"Rese&t", true, false}},
        {"btnExit", {"E&xit", true, true}},
    };
    std::map<std::string, driver::ControlInfo> found;
    for (const auto& c : app.Controls(main))
        if (!c.name.empty()) found[c.name] = c;
    for (const auto& [name, want] : expected) {
        ASSERT_TRUE(found.count(name)) << name;
        const driver::ControlInfo& c = found[name];
        EXPECT_EQ(std::make_tuple(c.text, c.enabled, c.visible), want) << name;
    }
    EXPECT_EQ(app.TabCaptions(found["pclInputAction"].hwnd),
              (std::vector<std::string>{"C&reate Junction ", "D&elete Junction", "Show Junctions"}));

    // The menu as Windows holds it: entries, shortcuts, states (3 grey, 8
    // checked) and images; Enable Import/Export switches the file entries
    // on and off again.
    const std::vector<std::string> menu = {
        "0|0|0x0|&File",
        "1|100|0x3|&Import junction...\tCtrl+O",
        "1|101|0x3|&Export Junction...\tCtrl+S",
        "1|0|0x0|-",
        "1|102|0x0|E&xit\tAlt+F4|image",
        "0|0|0x0|&Options",
        "1|103|0x0|Enable Import/Export",
        "1|104|0x3|Select Drive to Export ...",
        "0|0|0x0|&Help",
        "1|105|0x0|&Contents\tF1|image",
        "1|106|0x0|&About...|image",
    };
    EXPECT_EQ(app.Ask(main, "menu"), menu);
    std::vector<std::string> enabled = menu;
    enabled[1] = "1|100|0x0|&Import junction...\tCtrl+O";
    enabled[2] = "1|101|0x0|&Export Junction...\tCtrl+S";
    enabled[6] = "1|103|0x8|Enable Import/Export";
    enabled[7] = "1|104|0x0|Select Drive to Export ...";
    for (const auto& want : {enabled, menu}) {
        app.Command(main, 103);
        EXPECT_TRUE(driver::WaitFor([&] { return app.Ask(main, "menu") == want; }, 5000)) << want[6];
    }
}

// The drives, and a folder's subfolders by their exact names (beyond any
// legacy code page, read back wide) without its files. The expand button is
// no part of the item: a click on it expands the folder, and neither selects
// it nor fills a field; a click on a name puts it exactly into Source.
TEST(MainWindow, TreeShowsDrivesAndFoldersByTheirNamesAndAClickFillsTheSource) {
    steps::Place place("tarsio-tree-", {"Łódź", "中文"});
    place.Write("file.txt", "");
    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    HWND tree = Tarsio::Control(main, "vteSourceTree");
    // Wine has drives C: and Z: (both fixed) and lists Control Panel in the drives folder.
    std::vector<driver::TreeItem> top = app.Children(tree, nullptr);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_NE(top[0].text.find("(C:)"), std::string::npos);
    EXPECT_NE(top[1].text.find("(Z:)"), std::string::npos);

    driver::TreeItem ours = steps::FindOnC(app, tree, place.name());
    ASSERT_TRUE(ours.item) << "no " << place.name() << " under C:";
    POINT button = app.ExpandButton(tree, ours.item);
    ASSERT_GT(button.x, 0) << "no expand button";
    Tarsio::ClickAt(tree, button);
    EXPECT_TRUE(driver::WaitFor(
        [&] { return SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(ours.item), TVIS_EXPANDED) != 0; },
        5000));
    EXPECT_NE(Tarsio::Selected(tree), ours.item);
    HWND source = Tarsio::Control(main, "edtSource");
    EXPECT_EQ(Tarsio::Text(source), "");
    std::vector<driver::TreeItem> children = app.Children(tree, ours.item);
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0].text, "Łódź");
    EXPECT_EQ(children[1].text, "中文");
    app.ClickItem(tree, children[0].item);
    EXPECT_TRUE(driver::WaitFor([&] { return Tarsio::Text(source) == place.Path("Łódź"); }, 5000))
        << Tarsio::Text(source);
    EXPECT_TRUE(IsWindowEnabled(Tarsio::Control(main, "btnCreate")));
}

// C:\tarsio-links\deep holds, three levels of 99 characters down, a host
// symbolic link 326 characters deep (made by the test fixture), which Wine
// reports with the reparse-point attribute. Wine's shell cuts the names of
// its items at MAX_PATH, so its tree holds no node that deep: what the
// window can show is that inspection finds the link below "deep".
TEST(MainWindow, InspectionFindsALinkDeeperThanMaxPath) {
    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    HWND tree = Tarsio::Control(main, "vteSourceTree");
    app.SelectTab(Tarsio::Control(main, "pclInputAction"), 2);
    Tarsio::Click(Tarsio::Control(main, "btnInspect"));
    ASSERT_TRUE(
        driver::WaitFor([&] { return Tarsio::Text(Tarsio::Control(main, "btnInspect")) == "I&nspecting is enabled"; },
                        10000));
    // Inspecting, a folder shows only when it is or holds a junction.
    driver::TreeItem links = steps::FindOnC(app, tree, "tarsio-links");
    ASSERT_TRUE(links.item);
    app.Expand(tree, links.item);
    std::vector<driver::TreeItem> shown = app.Children(tree, links.item);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "deep");
    EXPECT_EQ(shown[1].text, "link");
}

}  // namespace
