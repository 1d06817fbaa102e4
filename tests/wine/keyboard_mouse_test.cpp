// Every mouse and keyboard path of the real Tarsio.exe under Wine: the tree
// shows the program's selection, the context menu opens from the keyboard,
// page mnemonics, Enter in the about box and the owned drive dialog.

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

constexpr UINT kEnableImport = 103, kSelectDrives = 104, kAbout = 106;

// C:\tarsio-links holds data\ and link, a host symbolic link to data, which
// Wine reports with the reparse-point attribute (made by the test fixture).
constexpr const char* kLinks = "tarsio-links";

struct Picked {
    HWND main, tree, deleteField;
    driver::TreeItem data, link;
};

// The main window on its Delete page with C:\tarsio-links expanded.
bool OpenLinks(Tarsio& app, Picked& p) {
    p.main = app.StartMainWindow();
    if (!p.main) return false;
    p.tree = app.Control(p.main, "vteSourceTree");
    p.deleteField = app.Control(p.main, "edtDelete");
    app.SelectTab(app.Control(p.main, "pclInputAction"), 1);
    driver::TreeItem links = steps::FindOnC(app, p.tree, kLinks);
    if (!links.item) return false;
    app.Expand(p.tree, links.item);
    SendMessageA(p.tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(app.Find(p.tree, links.item, "link").item));
    // The check image comes with the node's first painting.
    bool marked = driver::WaitFor([&] { return app.Find(p.tree, links.item, "link").stateImage == 1; }, 5000);
    p.data = app.Find(p.tree, links.item, "data");
    p.link = app.Find(p.tree, links.item, "link");
    return marked && p.data.item;
}

TEST(OneSelection, CheckButtonAndEmptySpaceLeaveTheSelectionAndFields) {
    Tarsio app;
    Picked p;
    ASSERT_TRUE(OpenLinks(app, p)) << "C:\\" << kLinks << " with its link is missing";
    const std::string data = std::string("C:\\") + kLinks + "\\data";

    app.ClickItem(p.tree, p.data.item);
    ASSERT_TRUE(driver::WaitFor([&] { return Tarsio::Text(p.deleteField) == data; }, 5000));
    EXPECT_EQ(Tarsio::Selected(p.tree), p.data.item);

    // The link's destination cannot be read under Wine: the button shows
    // nothing, and the highlight stays on the node the Delete field names.
    app.ClickCheckImage(p.tree, p.link.item);
    Sleep(300);
    EXPECT_EQ(Tarsio::Selected(p.tree), p.data.item);
    EXPECT_EQ(Tarsio::Text(p.deleteField), data);
    EXPECT_TRUE(app.Dialogs().empty());

    // Empty space at the bottom right of the tree: nothing changes.
    RECT client;
    GetClientRect(p.tree, &client);
    Tarsio::ClickAt(p.tree, POINT{client.right - 4, client.bottom - 4});
    Sleep(300);
    EXPECT_EQ(Tarsio::Selected(p.tree), p.data.item);
    EXPECT_EQ(Tarsio::Text(p.deleteField), data);

    // Reset rebuilds the tree: the same folder comes back selected, and is
    // drawn so (TVIS_SELECTED), not just as the focus item.
    app.SelectTab(app.Control(p.main, "pclInputAction"), 2);
    Tarsio::Click(app.Control(p.main, "btnReset"));
    ASSERT_TRUE(
        driver::WaitFor([&] { return Tarsio::Text(app.Control(p.main, "btnInspect")) == "I&nspecting is disabled"; },
                        10000));
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
    app.ClickItem(p.tree, p.link.item);
    HWND button = app.Control(p.main, "btnDelete");
    ASSERT_TRUE(driver::WaitFor([&] { return IsWindowEnabled(button) != FALSE; }, 5000));
    Tarsio::Click(button);
    HWND box = app.WaitDialog();
    EXPECT_EQ(Tarsio::MessageText(box), "Junction Point not deleted");
    Tarsio::Press(box, IDOK);
    const std::string links = std::string("C:\\") + kLinks + "\\";
    EXPECT_NE(GetFileAttributesA((links + "link").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_EQ(GetFileAttributesA((links + "data").c_str()), FILE_ATTRIBUTE_DIRECTORY);
}

TEST(OneSelection, ExpandButtonExpandsWithoutSelecting) {
    Tarsio app;
    steps::FolderShown shown;
    ASSERT_TRUE(steps::ShowFolderOnC(app, kLinks, shown));
    auto [main, tree, links] = shown;
    RECT r = app.ItemRect(tree, links.item);
    POINT button{r.left - 1, (r.top + r.bottom) / 2};
    while (button.x > 0 && !(app.HitTest(tree, button) & TVHT_ONITEMBUTTON)) --button.x;
    ASSERT_GT(button.x, 3) << "no expand button";
    Tarsio::ClickAt(tree, POINT{button.x - 3, button.y});
    EXPECT_TRUE(driver::WaitFor(
        [&] {
            return (SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(links.item), TVIS_EXPANDED) &
                    TVIS_EXPANDED) != 0;
        },
        5000));
    // The button is no part of the item: the folder is not selected, no field filled.
    EXPECT_NE(Tarsio::Selected(tree), links.item);
    EXPECT_EQ(Tarsio::Text(app.Control(main, "edtSource")), "");
}

TEST(Keyboard, ShiftF10OpensTheSelectedNodesMenu) {
    Tarsio app;
    Picked p;
    ASSERT_TRUE(OpenLinks(app, p));
    app.ClickItem(p.tree, p.data.item);
    SetForegroundWindow(p.main);
    Tarsio::PressKey(VK_F10, {VK_SHIFT});
    HWND menu = app.WaitWindow("#32768", "", 5000);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(p.main, nullptr), &gui);
    EXPECT_EQ(gui.hwndFocus, p.tree);
    EXPECT_TRUE(menu) << "no context menu";
    if (menu) Tarsio::PressKey(VK_ESCAPE);
    EXPECT_TRUE(driver::WaitFor([&] { return !app.WaitWindow("#32768", "", 0); }, 3000));
}

TEST(Keyboard, PageMnemonicsAndEnterInTheAboutBox) {
    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    HWND pages = app.Control(main, "pclInputAction");
    SetForegroundWindow(main);
    Tarsio::PressKey('E', {VK_MENU});
    EXPECT_TRUE(driver::WaitFor([&] { return SendMessageA(pages, TCM_GETCURSEL, 0, 0) == 1; }, 3000));
    EXPECT_TRUE(IsWindowVisible(app.Control(main, "edtDelete")));
    EXPECT_FALSE(IsWindowVisible(app.Control(main, "edtSource")));
    Tarsio::PressKey('R', {VK_MENU});
    EXPECT_TRUE(driver::WaitFor([&] { return SendMessageA(pages, TCM_GETCURSEL, 0, 0) == 0; }, 3000));
    EXPECT_TRUE(IsWindowVisible(app.Control(main, "edtSource")));

    // The about box opens with the focus on OK: Enter closes it.
    app.Command(main, kAbout);
    HWND about = app.WaitWindow("TarsioForm", "About");
    ASSERT_TRUE(about);
    SetForegroundWindow(about);
    Tarsio::PressKey(VK_RETURN);
    EXPECT_TRUE(driver::WaitFor([&] { return !IsWindowVisible(about); }, 3000));
    EXPECT_TRUE(IsWindowEnabled(main));
}

// The control that has the focus in the program, by its name.
std::string Focused(Tarsio& app, HWND main) {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &gui);
    for (const driver::ControlInfo& c : app.Controls(main))
        if (c.hwnd == gui.hwndFocus) return c.name;
    return "<" + std::to_string(reinterpret_cast<std::uintptr_t>(gui.hwndFocus)) + ">";
}

TEST(Keyboard, TabFollowsTheFormsTabOrder) {
    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    SetForegroundWindow(main);
    app.SelectTab(app.Control(main, "pclInputAction"), 0);
    ASSERT_TRUE(driver::WaitFor([&] { return Focused(app, main) == "pclInputAction"; }, 3000));
    // The page control, its page's controls (btnCreate is disabled), Exit,
    // the tree, and round again.
    std::vector<std::string> seen;
    for (int i = 0; i < 6; ++i) {
        Tarsio::PressKey(VK_TAB);
        seen.push_back(Focused(app, main));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"btnBrowse", "edtSource", "edtTarget", "btnExit", "vteSourceTree",
                                              "pclInputAction"}));
    Tarsio::PressKey(VK_TAB, {VK_SHIFT});
    EXPECT_EQ(Focused(app, main), "vteSourceTree");
}

TEST(OwnedWindows, DriveDialogStaysAboveTheMainWindow) {
    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    app.Command(main, kEnableImport);
    Sleep(200);
    app.Command(main, kSelectDrives);
    HWND drives = app.WaitWindow("TarsioForm", "Select Drive to scan for Export");
    ASSERT_TRUE(drives);
    EXPECT_EQ(GetWindow(drives, GW_OWNER), main);
    // A click on the main window, beside the dialog: the main window is
    // active, the modeless dialog stays usable and above it.
    RECT dialog, window;
    GetWindowRect(drives, &dialog);
    GetWindowRect(main, &window);
    auto zorder = [&] {
        std::string order;
        for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
            if (h == main) order += " main";
            if (h == drives) order += " drives";
        }
        return order;
    };
    std::string before = zorder();
    POINT free{window.left + 12, window.bottom - 12};
    ASSERT_FALSE(PtInRect(&dialog, free));
    ScreenToClient(main, &free);
    Tarsio::ClickAt(main, free);
    Sleep(300);
    EXPECT_TRUE(IsWindowVisible(drives));
    EXPECT_TRUE(IsWindowEnabled(main));
    bool above = false;
    std::string order;
    for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (h == main) order += " main";
        if (h == drives) order += " drives";
        if (h == drives) above = true;
        if (h == main) break;
    }
    EXPECT_TRUE(above) << "the drive dialog went below the main window:" << order << " before:" << before;
}

}  // namespace
