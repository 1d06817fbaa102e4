// The main window of the real Tarsio.exe under Wine, driven from outside.

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "tests/wine/driver.h"
#include "tests/wine/window_steps.h"

namespace {

using driver::Tarsio;

// A folder on C: for the tree to show: two subfolders and a file.
class Folder {
public:
    Folder() : path_("C:\\tarsio-window-" + std::to_string(GetCurrentProcessId())) {
        CreateDirectoryA(path_.c_str(), nullptr);
        CreateDirectoryA((path_ + "\\alpha").c_str(), nullptr);
        CreateDirectoryA((path_ + "\\beta gamma").c_str(), nullptr);
        HANDLE f = CreateFileA((path_ + "\\file.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(f);
    }
    ~Folder() {
        DeleteFileA((path_ + "\\file.txt").c_str());
        RemoveDirectoryA((path_ + "\\alpha").c_str());
        RemoveDirectoryA((path_ + "\\beta gamma").c_str());
        RemoveDirectoryA(path_.c_str());
    }
    const std::string& path() const { return path_; }
    std::string name() const { return path_.substr(3); }

private:
    std::string path_;
};

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

    struct Expected {
        const char* text;
        bool enabled;
        bool visible;
    };
    const std::map<std::string, Expected> expected = {
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
        EXPECT_EQ(c.text, want.text) << name;
        EXPECT_EQ(c.enabled, want.enabled) << name;
        EXPECT_EQ(c.visible, want.visible) << name;
    }
    EXPECT_EQ(app.TabCaptions(found["pclInputAction"].hwnd),
              (std::vector<std::string>{"C&reate Junction ", "D&elete Junction", "Show Junctions"}));

    // The menu as Windows holds it: entries, shortcuts, states (3 grey, 8 checked) and images.
    std::vector<std::string> menu = app.Menu(main);
    std::vector<std::string> expectedMenu = {
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
    EXPECT_EQ(menu, expectedMenu);
}

TEST(MainWindow, TreeShowsDrivesAndFoldersOnly) {
    Folder folder;
    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    HWND tree = app.Control(main, "vteSourceTree");
    std::vector<driver::TreeItem> top = app.Children(tree, nullptr);
    std::vector<std::string> captions;
    for (const auto& item : top) captions.push_back(item.text);
    // Wine has drives C: and Z: (both fixed) and lists Control Panel in the drives folder.
    EXPECT_EQ(captions.size(), 2u);
    EXPECT_TRUE(std::any_of(captions.begin(), captions.end(), [](auto& c) { return c.find("(C:)") != c.npos; }));
    EXPECT_TRUE(std::any_of(captions.begin(), captions.end(), [](auto& c) { return c.find("(Z:)") != c.npos; }));

    driver::TreeItem ours = steps::FindOnC(app, tree, folder.name());
    ASSERT_TRUE(ours.item) << "no " << folder.name() << " under C:";
    app.Expand(tree, ours.item);
    std::vector<std::string> children;
    for (const auto& item : app.Children(tree, ours.item)) children.push_back(item.text);
    EXPECT_EQ(children, (std::vector<std::string>{"alpha", "beta gamma"}));  // no file.txt
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
    HWND tree = app.Control(main, "vteSourceTree");
    app.SelectTab(app.Control(main, "pclInputAction"), 2);
    Tarsio::Click(app.Control(main, "btnInspect"));
    ASSERT_TRUE(
        driver::WaitFor([&] { return Tarsio::Text(app.Control(main, "btnInspect")) == "I&nspecting is enabled"; },
                        10000));
    // Inspecting, a folder shows only when it is or holds a junction.
    driver::TreeItem links = steps::FindOnC(app, tree, "tarsio-links");
    ASSERT_TRUE(links.item);
    app.Expand(tree, links.item);
    std::vector<std::string> shown;
    for (const driver::TreeItem& item : app.Children(tree, links.item)) shown.push_back(item.text);
    EXPECT_EQ(shown, (std::vector<std::string>{"deep", "link"}));
}

TEST(MainWindow, ExitButtonMenuExitAndCloseBoxEndTheProgram) {
    struct Way {
        const char* name;
        void (*end)(Tarsio& app, HWND main);
    } ways[] = {
        {"btnExit", [](Tarsio& app, HWND main) { Tarsio::Click(app.Control(main, "btnExit")); }},
        {"File > Exit", [](Tarsio& app, HWND main) { app.Command(main, 102); }},
        {"close box", [](Tarsio&, HWND main) { PostMessageA(main, WM_CLOSE, 0, 0); }},
    };
    for (const Way& way : ways) {
        Tarsio app;
        HWND main = app.StartMainWindow();
        ASSERT_TRUE(main) << way.name;
        way.end(app, main);
        DWORD code = 1;
        EXPECT_TRUE(app.WaitExit(10000, &code)) << way.name;
        EXPECT_EQ(code, 0u) << way.name;
    }
}

TEST(MainWindow, EnableImportSwitchesTheFileEntries) {
    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    app.Command(main, 103);
    ASSERT_TRUE(driver::WaitFor([&] { return app.Menu(main)[1] == "1|100|0x0|&Import junction...\tCtrl+O"; }, 5000));
    std::vector<std::string> menu = app.Menu(main);
    EXPECT_EQ(menu[2], "1|101|0x0|&Export Junction...\tCtrl+S");
    EXPECT_EQ(menu[6], "1|103|0x8|Enable Import/Export");
    EXPECT_EQ(menu[7], "1|104|0x0|Select Drive to Export ...");
    app.Command(main, 103);
    ASSERT_TRUE(driver::WaitFor([&] { return app.Menu(main)[1] == "1|100|0x3|&Import junction...\tCtrl+O"; }, 5000));
    menu = app.Menu(main);
    EXPECT_EQ(menu[2], "1|101|0x3|&Export Junction...\tCtrl+S");
    EXPECT_EQ(menu[6], "1|103|0x0|Enable Import/Export");
    EXPECT_EQ(menu[7], "1|104|0x3|Select Drive to Export ...");
}

}  // namespace
