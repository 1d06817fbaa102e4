// Creating junctions, the dialogs, and the File and Help menus of the real
// Tarsio.exe under Wine, driven from outside. Wine refuses reparse points
// (error 50), so every junction it is asked to make fails.

#include <windows.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "tests/wine/driver.h"
#include "tests/wine/window_steps.h"

namespace {

using driver::Tarsio;

constexpr UINT kImport = 100, kEnableImport = 103, kAbout = 106;

// A message box of the process: its caption and text, then OK.
std::pair<std::string, std::string> ReadAndClose(Tarsio& app) {
    HWND box = app.WaitDialog();
    if (!box) return {"<none>", "<none>"};
    std::pair<std::string, std::string> seen{Tarsio::Text(box), Tarsio::MessageText(box)};
    Tarsio::Press(box, IDOK);
    return seen;
}

// The junction field chosen in the target chooser, the source typed: the
// chosen folder exists, so Create asks for a name below it. The new folder is
// removed again when Wine refuses the junction.
TEST(CreateFromTheWindow, ChooserAndNameDialogComposeTheJunction) {
    steps::Place place("tarsio-create-", {"data", "links"});
    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    Tarsio::Click(Tarsio::Control(main, "btnBrowse"));
    HWND chooser = app.WaitWindow("TarsioForm", "Browse for target link");
    ASSERT_TRUE(chooser);
    HWND tree = Tarsio::Control(chooser, "vteTargetTree");
    HWND ok = Tarsio::Control(chooser, "btnOK");
    EXPECT_FALSE(IsWindowEnabled(ok));
    // The drives folder is the one top-level node, with the drives below it.
    std::vector<driver::TreeItem> top = app.Children(tree, nullptr);
    ASSERT_EQ(top.size(), 1u);
    driver::TreeItem c = app.Find(tree, top[0].item, "(C:)");
    ASSERT_TRUE(c.item);
    app.Expand(tree, c.item);
    driver::TreeItem ours = app.Find(tree, c.item, place.name());
    ASSERT_TRUE(ours.item);
    app.Expand(tree, ours.item);
    app.ClickItem(tree, app.Find(tree, ours.item, "links").item);
    ASSERT_TRUE(driver::WaitFor([&] { return IsWindowEnabled(ok) != FALSE; }, 10000));
    Tarsio::Click(ok);
    HWND target = Tarsio::Control(main, "edtTarget");
    EXPECT_TRUE(driver::WaitFor([&] { return Tarsio::Text(target) == place.Path("links"); }, 3000))
        << Tarsio::Text(target);
    EXPECT_FALSE(IsWindowVisible(chooser));

    Tarsio::Type(Tarsio::Control(main, "edtSource"), place.Path("data"));
    Tarsio::Click(Tarsio::Control(main, "btnCreate"));
    HWND name = app.WaitWindow("TarsioForm", "Name for the target link");
    ASSERT_TRUE(name);
    EXPECT_EQ(Tarsio::Text(Tarsio::Control(name, "Label1")),
              "Enter the target directory which is linked from " + place.Path("data") + " to:");
    HWND composed = Tarsio::Control(name, "edtTargetShort");
    EXPECT_EQ(Tarsio::Text(composed), place.Path("links") + "\\");
    EXPECT_FALSE(IsWindowEnabled(composed));
    Tarsio::Type(Tarsio::Control(name, "edtTargetDir"), "web");
    EXPECT_EQ(Tarsio::Text(composed), place.Path("links\\web"));
    Tarsio::Click(Tarsio::Control(name, "btnOK"));
    EXPECT_EQ(ReadAndClose(app), std::make_pair(std::string("Error"), std::string("Junction not created")));
    EXPECT_TRUE(std::filesystem::exists(place.At("links")));
    EXPECT_FALSE(std::filesystem::exists(place.At("links\\web")));
}

TEST(FileMenu, ImportThroughTheOpenDialog) {
    steps::Place place("tarsio-import-", {"data", "links"});
    const std::string list = place.Path("list.trs");
    const std::string text = "+" + place.Path("links\\web") + "->" + place.Path("data") + "\r\n";
    place.Write("list.trs", text);

    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    app.Command(main, kEnableImport);
    ASSERT_TRUE(driver::WaitFor([&] { return app.Ask(main, "menu")[1].find("|0x0|") != std::string::npos; }, 3000));
    app.Command(main, kImport);
    HWND open = app.WaitDialog();
    ASSERT_TRUE(open);
    HWND name = Tarsio::Descendant(open, "Edit");
    ASSERT_TRUE(name);
    EXPECT_EQ(Tarsio::Text(name), "TRExport1.trs");
    Tarsio::Type(name, list);
    Tarsio::Press(open, IDOK);

    EXPECT_EQ(ReadAndClose(app), std::make_pair(std::string("Information"),
                                                std::string("Are you sure importing junctions? Quit now if you do "
                                                            "not know what you are doing!")));
    EXPECT_EQ(ReadAndClose(app),
              std::make_pair(std::string("Information"), "Errors during the import. Have a look at the file " + list +
                                                             ". Values with an \"+\" have not been imported"));
    EXPECT_EQ(place.Read("list.trs"), text);
}

// Their texts as Windows shows them; Enter presses the default button.
TEST(Dialogs, AboutBoxAndInfoDialogShowTheirTextsAndCloseOnEnter) {
    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    app.Command(main, kAbout);
    HWND about = app.WaitWindow("TarsioForm", "About");
    ASSERT_TRUE(about);
    EXPECT_EQ(Tarsio::Text(Tarsio::Control(about, "ProductName")), "Tarsio");
    EXPECT_EQ(Tarsio::Text(Tarsio::Control(about, "Version")), "Version 1.1.0, 28JAN2002");
    EXPECT_EQ(Tarsio::Text(Tarsio::Control(about, "Copyright")).rfind("Copyright ", 0), 0u);
    std::string memo = Tarsio::Text(Tarsio::Control(about, "mmoComments"));
    int lines = 1;
    for (std::size_t at = memo.find("\r\n"); at != std::string::npos; at = memo.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, 6) << memo;
    SetForegroundWindow(about);
    Tarsio::PressKey(VK_RETURN);
    EXPECT_TRUE(driver::WaitFor([&] { return !IsWindowVisible(about); }, 3000));
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(Tarsio::Text(Tarsio::Control(about, "Version")), "Version");

    // Shown by the test hook, the information dialog holds both paths, greyed.
    Tarsio::ShowInfoDialog(main, "C:\\data", "C:\\links\\web");
    HWND info = app.WaitWindow("TarsioForm", "Junction Information");
    ASSERT_TRUE(info);
    EXPECT_EQ(Tarsio::Text(Tarsio::Control(info, "edtJunctionSource")), "C:\\data");
    EXPECT_EQ(Tarsio::Text(Tarsio::Control(info, "edtJunctionTarget")), "C:\\links\\web");
    EXPECT_FALSE(IsWindowEnabled(Tarsio::Control(info, "edtJunctionSource")));
    EXPECT_EQ(Tarsio::Text(Tarsio::Control(info, "Label1")), "Source of the link:");
    EXPECT_EQ(Tarsio::Text(Tarsio::Control(info, "Label2")), "is connected with the junction:");
    Tarsio::PressKey(VK_RETURN);
    EXPECT_TRUE(driver::WaitFor([&] { return !IsWindowVisible(info); }, 3000));
}

// Installed in a folder whose name needs more than the legacy code page and
// started from another working directory, the program looks for its help
// file beside itself: F1 says that it is missing, then, once it is there,
// opens it.
TEST(HelpMenu, F1OpensTheHelpFileBesideTheProgramOrSaysItIsMissing) {
    steps::Place place("tarsio-help-Łódź-");
    const std::string exe = place.Install(false);
    {
        Tarsio app("", "C:\\windows", exe);
        HWND main = app.StartMainWindow();
        ASSERT_TRUE(main);
        steps::PressF1(main);
        EXPECT_EQ(ReadAndClose(app),
                  std::make_pair(std::string("Error"), std::string("The Help file Tarsio.chm could not be found.")));
        EXPECT_FALSE(app.WaitWindow("HH Parent", "", 500));
    }
    place.Install(true);
    Tarsio app("", "C:\\windows", exe);
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    steps::ExpectHelpViewerOnF1(app, main);
}

}  // namespace
