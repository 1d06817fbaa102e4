// Every mouse and keyboard path of the real Tarsio.exe under Wine: the tree
// shows the program's selection, the context menu opens from the keyboard,
// page mnemonics, the tab order and the owned drive dialog.

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/wine/driver.h"
#include "tests/wine/window_steps.h"

namespace {

using driver::Tarsio;

// C:\tarsio-links holds data\ and link, a host symbolic link to data, which
// Wine reports with the reparse-point attribute (made by the test fixture).
const std::string kLinks = "C:\\tarsio-links\\";

struct Picked {
    HWND main, tree, deleteField;
    driver::TreeItem links, data, link;
};

// The main window on its Delete page with C:\tarsio-links expanded.
bool OpenLinks(Tarsio& app, Picked& p) {
    p.main = app.StartMainWindow();
    if (!p.main) return false;
    p.tree = Tarsio::Control(p.main, "vteSourceTree");
    p.deleteField = Tarsio::Control(p.main, "edtDelete");
    app.SelectTab(Tarsio::Control(p.main, "pclInputAction"), 1);
    p.links = steps::FindOnC(app, p.tree, "tarsio-links");
    if (!p.links.item) return false;
    app.Expand(p.tree, p.links.item);
    SendMessageA(p.tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(app.Find(p.tree, p.links.item, "link").item));
    // The check image comes with the node's first painting.
    bool marked = driver::WaitFor([&] { return app.Find(p.tree, p.links.item, "link").stateImage == 1; }, 5000);
    p.data = app.Find(p.tree, p.links.item, "data");
    p.link = app.Find(p.tree, p.links.item, "link");
    return marked && p.data.item;
}

// The control that has the focus in the program, by its name.
std::string Focused(HWND main) {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &gui);
    for (const driver::ControlInfo& c : Tarsio::Controls(main))
        if (c.hwnd == gui.hwndFocus) return c.name;
    return "<" + std::to_string(reinterpret_cast<std::uintptr_t>(gui.hwndFocus)) + ">";
}

TEST(OneSelection, CheckButtonEmptySpaceShiftF10AndResetKeepTheSelection) {
    Tarsio app;
    Picked p;
    ASSERT_TRUE(OpenLinks(app, p)) << kLinks << " with its link is missing";
    EXPECT_EQ(p.data.stateImage, 0);  // no check button on a plain folder

    app.ClickItem(p.tree, p.data.item);
    ASSERT_TRUE(driver::WaitFor([&] { return Tarsio::Text(p.deleteField) == kLinks + "data"; }, 5000));
    EXPECT_EQ(Tarsio::Selected(p.tree), p.data.item);

    // The link's destination cannot be read under Wine: the button shows
    // nothing, and the highlight stays on the node the Delete field names.
    app.ClickCheckImage(p.tree, p.link.item);
    EXPECT_FALSE(app.WaitWindow("TarsioForm", "Junction Information", 1000));
    EXPECT_EQ(Tarsio::Selected(p.tree), p.data.item);
    EXPECT_EQ(Tarsio::Text(p.deleteField), kLinks + "data");
    EXPECT_TRUE(app.Dialogs().empty());

    // Empty space at the bottom right of the tree: nothing changes.
    RECT client;
    GetClientRect(p.tree, &client);
    Tarsio::ClickAt(p.tree, POINT{client.right - 4, client.bottom - 4});
    Sleep(300);
    EXPECT_EQ(Tarsio::Selected(p.tree), p.data.item);
    EXPECT_EQ(Tarsio::Text(p.deleteField), kLinks + "data");

    // Shift+F10 opens the selected node's menu, the focus staying on the tree.
    SetForegroundWindow(p.main);
    Tarsio::PressKey(VK_F10, {VK_SHIFT});
    EXPECT_TRUE(app.WaitWindow("#32768", "", 5000)) << "no context menu";
    EXPECT_EQ(Focused(p.main), "vteSourceTree");
    Tarsio::PressKey(VK_ESCAPE);
    EXPECT_TRUE(driver::WaitFor([&] { return !app.WaitWindow("#32768", "", 0); }, 3000));

    // Reset rebuilds the tree: the same folder comes back selected, and is
    // drawn so (TVIS_SELECTED), not just as the focus item.
    app.SelectTab(Tarsio::Control(p.main, "pclInputAction"), 2);
    Tarsio::Click(Tarsio::Control(p.main, "btnReset"));
    ASSERT_TRUE(driver::WaitFor(
        [&] { return Tarsio::Text(Tarsio::Control(p.main, "btnInspect")) == "I&nspecting is disabled"; }, 10000));
    HTREEITEM again = Tarsio::Selected(p.tree);
    ASSERT_TRUE(again);
    EXPECT_NE(again, p.data.item);  // a new item for the same folder
    EXPECT_TRUE(SendMessageA(p.tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(again), TVIS_SELECTED) &
                TVIS_SELECTED);
    HTREEITEM parent = reinterpret_cast<HTREEITEM>(
        SendMessageA(p.tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(again)));
    EXPECT_EQ(app.Find(p.tree, parent, "data").item, again);
}

// Wine removes no reparse point: Delete on the link says so, and nothing,
// the link, its folder or what it leads to, is removed.
TEST(OneSelection, DeleteOnALinkWineCannotRemoveRemovesNothing) {
    Tarsio app;
    Picked p;
    ASSERT_TRUE(OpenLinks(app, p));
    HWND button = Tarsio::Control(p.main, "btnDelete");
    auto enabled = [&] { return IsWindowEnabled(button) != FALSE; };
    // Beside a Wine prefix being made by another test, a click now and then
    // comes to nothing: the link is clicked once more.
    app.ClickItem(p.tree, p.link.item);
    if (!driver::WaitFor(enabled, 5000)) app.ClickItem(p.tree, p.link.item);
    ASSERT_TRUE(driver::WaitFor(enabled, 5000));
    Tarsio::Click(button);
    HWND box = app.WaitDialog();
    EXPECT_EQ(Tarsio::MessageText(box), "Junction Point not deleted");
    Tarsio::Press(box, IDOK);
    EXPECT_NE(GetFileAttributesA((kLinks + "link").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_EQ(GetFileAttributesA((kLinks + "data").c_str()), FILE_ATTRIBUTE_DIRECTORY);
}

// Alt with a page's mnemonic shows that page; Tab follows the form's tab
// order; Alt+X presses Exit, which ends the program.
TEST(Keyboard, MnemonicsAndTabOrder) {
    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    HWND pages = Tarsio::Control(main, "pclInputAction");
    SetForegroundWindow(main);
    Tarsio::PressKey('E', {VK_MENU});
    EXPECT_TRUE(driver::WaitFor([&] { return SendMessageA(pages, TCM_GETCURSEL, 0, 0) == 1; }, 3000));
    EXPECT_TRUE(IsWindowVisible(Tarsio::Control(main, "edtDelete")));
    EXPECT_FALSE(IsWindowVisible(Tarsio::Control(main, "edtSource")));
    Tarsio::PressKey('R', {VK_MENU});
    EXPECT_TRUE(driver::WaitFor([&] { return SendMessageA(pages, TCM_GETCURSEL, 0, 0) == 0; }, 3000));
    EXPECT_TRUE(IsWindowVisible(Tarsio::Control(main, "edtSource")));

    app.SelectTab(pages, 0);
    ASSERT_TRUE(driver::WaitFor([&] { return Focused(main) == "pclInputAction"; }, 3000));
    // The page control, its page's controls (btnCreate is disabled), Exit,
    // the tree, and round again.
    std::vector<std::string> seen;
    for (int i = 0; i < 6; ++i) {
        Tarsio::PressKey(VK_TAB);
        seen.push_back(Focused(main));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"btnBrowse", "edtSource", "edtTarget", "btnExit", "vteSourceTree",
                                              "pclInputAction"}));
    Tarsio::PressKey(VK_TAB, {VK_SHIFT});
    EXPECT_EQ(Focused(main), "vteSourceTree");

    Tarsio::PressKey('X', {VK_MENU});
    DWORD code = 1;
    EXPECT_TRUE(app.WaitExit(10000, &code));
    EXPECT_EQ(code, 0u);
}

// A click on the main window beside the modeless drive dialog: the main
// window is active, the dialog stays usable and above it.
TEST(OwnedWindows, DriveDialogStaysAboveTheMainWindow) {
    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    app.Command(main, 103);  // Options > Enable Import/Export
    Sleep(200);
    app.Command(main, 104);  // Options > Select Drive to Export
    HWND drives = app.WaitWindow("TarsioForm", "Select Drive to scan for Export");
    ASSERT_TRUE(drives);
    EXPECT_EQ(GetWindow(drives, GW_OWNER), main);
    RECT dialog, window;
    GetWindowRect(drives, &dialog);
    GetWindowRect(main, &window);
    POINT free{window.left + 12, window.bottom - 12};
    ASSERT_FALSE(PtInRect(&dialog, free));
    ScreenToClient(main, &free);
    Tarsio::ClickAt(main, free);
    Sleep(300);
    EXPECT_TRUE(IsWindowVisible(drives));
    EXPECT_TRUE(IsWindowEnabled(main));
    std::string order;
    for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT))
        if (h == main || h == drives) order += h == main ? " main" : " drives";
    EXPECT_EQ(order, " drives main");
}

}  // namespace
