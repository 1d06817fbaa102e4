// Every dialog and menu of the real Tarsio.exe opened and closed 50 times:
// the process's GDI and USER objects stay flat. The counts come from the
// test build's hook (tests/wine/gui_resources.h says how they are counted
// where GetGuiResources is not implemented, as under Wine 8).

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "tests/wine/driver.h"
#include "tests/wine/window_steps.h"

namespace {

using driver::Tarsio;

constexpr UINT kImport = 100, kExport = 101, kExit = 102, kEnableImport = 103, kSelectDrives = 104,
               kHelpContents = 105, kAbout = 106;
constexpr int kRounds = 50;
// The first rounds fill the system's caches (the file dialogs' shell
// folders and icons, fonts, the DC cache, the help viewer loaded at the
// first F1): the counts after them are the baseline. Later rounds may still
// move a few objects while caches settle; a leak of one object per round
// adds 45, far above the tolerance.
constexpr int kSettleRounds = 5;
constexpr long kTolerance = 8;
// Under Wine each file dialog shown leaves one accelerator table of its own
// (tests/wine/gui_resources.h): those may grow by one per file dialog.
constexpr long kFileDialogsPerRound = 2;

// A line of the hook's answer (kResourceLineFormat).
struct Count {
    char method[64] = "";
    long gdi = -1, user = -1, accelerators = -1;
};

Count Parse(const std::string& line) {
    Count c;
    std::sscanf(line.c_str(), "%63[^|]|%ld|%ld|%ld", c.method, &c.gdi, &c.user, &c.accelerators);
    return c;
}

// Run from a copy without its help file, whose absence the program reports.
TEST(GuiResources, FlatOverFiftyRoundsOfEveryDialogAndMenu) {
    steps::Place place("tarsio-resources-", {"data", "links"});
    place.Write("list.trs", "");
    Tarsio app("", place.Path(), place.Install(false));
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    auto counted = [&] {
        std::vector<std::string> lines = app.Ask(main, "resources");
        return lines.empty() ? Count{} : Parse(lines[0]);
    };
    // The count is no stub: one brush and one menu more are seen as one GDI
    // and one USER object more.
    std::vector<std::string> check = app.Ask(main, "resources-check");
    ASSERT_EQ(check.size(), 2u);
    Count start = Parse(check[0]), more = Parse(check[1]);
    EXPECT_GT(start.gdi, 0);
    EXPECT_GT(start.user, 0);
    EXPECT_EQ(more.gdi, start.gdi + 1);
    EXPECT_EQ(more.user, start.user + 1);
    app.Command(main, kEnableImport);
    Sleep(200);

    auto hidden = [](HWND hwnd) {
        return driver::WaitFor([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, 5000);
    };
    // A form of the program: shown, then closed with one of its buttons.
    auto form = [&](const char* title, const char* button) {
        HWND shown = app.WaitWindow("TarsioForm", title);
        if (shown) Tarsio::Click(Tarsio::Control(shown, button));
        return shown && hidden(shown);
    };
    auto box = [&](int id) {
        HWND shown = app.WaitDialog();
        if (shown) Tarsio::Press(shown, id);
        return shown && hidden(shown);
    };
    auto command = [&](UINT id) {
        app.Command(main, id);
        return true;
    };
    auto click = [&](const char* button) {
        Tarsio::Click(Tarsio::Control(main, button));
        return true;
    };
    // Create with these fields.
    auto create = [&](const std::string& source, const std::string& target) {
        Tarsio::Type(Tarsio::Control(main, "edtSource"), place.Path(source));
        Tarsio::Type(Tarsio::Control(main, "edtTarget"), place.Path(target));
        HWND button = Tarsio::Control(main, "btnCreate");
        return driver::WaitFor([&] { return IsWindowEnabled(button) != FALSE; }, 3000) && click("btnCreate");
    };
    auto menuClosed = [&] {
        bool shown = app.WaitWindow("#32768", "", 5000) != nullptr;
        Tarsio::PressKey(VK_ESCAPE);
        Tarsio::PressKey(VK_ESCAPE);
        return driver::WaitFor([&] { return !app.WaitWindow("#32768", "", 0); }, 3000) && shown;
    };
    const std::pair<const char*, std::function<bool()>> steps[] = {
        {"name dialog", [&] { return create("data", "links") && form("Name for the target link", "btnCancel"); }},
        {"target chooser", [&] { return click("btnBrowse") && form("Browse for target link", "btnCancel"); }},
        {"junction information",
         [&] {
             Tarsio::ShowInfoDialog(main, place.Path("data"), place.Path("links"));
             return form("Junction Information", "OKBtn");
         }},
        {"drive selection",
         [&] { return command(kSelectDrives) && form("Select Drive to scan for Export", "CancelBtn"); }},
        {"about box", [&] { return command(kAbout) && form("About", "OKButton"); }},
        {"error box", [&] { return create("data", "data") && box(IDOK); }},  // the source as the target
        {"help error box", [&] { return command(kHelpContents) && box(IDOK); }},
        // The open dialog with a list file, then the import's question, refused.
        {"open dialog",
         [&] {
             command(kImport);
             HWND open = app.WaitDialog();
             HWND name = open ? Tarsio::Descendant(open, "Edit") : nullptr;
             if (!name) return false;
             Tarsio::Type(name, place.Path("list.trs"));
             Tarsio::Press(open, IDOK);
             return hidden(open) && box(IDCANCEL);
         }},
        {"save dialog", [&] { return command(kExport) && box(IDCANCEL); }},
        {"main menu",
         [&] {
             // On a loaded machine a key pressed while the window is not yet
             // in front now and then goes elsewhere: each menu has two tries.
             auto opened = [&](WORD key) {
                 SetForegroundWindow(main);
                 Tarsio::PressKey(key, {VK_MENU});
                 return menuClosed();
             };
             for (WORD key : {'F', 'O', 'H'})
                 if (!opened(key) && !opened(key)) return false;
             return true;
         }},
        {"context menu",
         [&] {
             HWND tree = Tarsio::Control(main, "vteSourceTree");
             driver::TreeItem c = app.Find(tree, nullptr, "(C:)");
             if (!c.item) return false;
             auto rightClick = [&] {
                 app.ClickItem(tree, c.item, true);
                 return menuClosed();
             };
             return rightClick() || rightClick();  // as the menu keys, two tries
         }},
    };

    start = counted();
    Count settled;
    ASSERT_GT(start.gdi, 0) << "no count";
    for (int i = 1; i <= kRounds; ++i) {
        for (const auto& [name, step] : steps) ASSERT_TRUE(step()) << "round " << i << ": " << name;
        if (i == kSettleRounds) settled = counted();
    }
    Count end = counted();
    std::printf(
        "counted by %s (start / after round %d / after round %d): GDI %ld / %ld / %ld, "
        "USER %ld / %ld / %ld, accelerator tables among them %ld / %ld / %ld\n",
        end.method, kSettleRounds, kRounds, start.gdi, settled.gdi, end.gdi, start.user, settled.user, end.user,
        start.accelerators, settled.accelerators, end.accelerators);
    EXPECT_LE(end.gdi, settled.gdi + kTolerance);
    if (end.accelerators < 0) {
        EXPECT_LE(end.user, settled.user + kTolerance);
    } else {
        EXPECT_LE(end.user - end.accelerators, settled.user - settled.accelerators + kTolerance);
        EXPECT_LE(end.accelerators, settled.accelerators + kFileDialogsPerRound * (kRounds - kSettleRounds));
    }
    // The windows are destroyed and the shell's objects released before
    // COM ends: the program ends cleanly.
    app.Command(main, kExit);
    DWORD code = 1;
    EXPECT_TRUE(app.WaitExit(10000, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
