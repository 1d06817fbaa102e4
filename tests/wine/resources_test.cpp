// Every dialog and menu of the real Tarsio.exe opened and closed 50 times:
// the process's GDI and USER objects stay flat. The counts come from the
// test build's hook (tests/wine/gui_resources.h says how they are counted
// where GetGuiResources is not implemented, as under Wine 8).

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/wine/driver.h"

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

struct Count {
    std::string method;
    long gdi = -1;
    long user = -1;
    long accelerators = -1;
};

Count Parse(const std::string& line) {
    char method[64] = {};
    Count c;
    if (std::sscanf(line.c_str(), "%63[^|]|%ld|%ld|%ld", method, &c.gdi, &c.user, &c.accelerators) == 4)
        c.method = method;
    return c;
}

Count Counted(Tarsio& app, HWND main) {
    std::vector<std::string> lines = app.Ask(main, "resources");
    return lines.empty() ? Count{} : Parse(lines[0]);
}

// C:\<name> with data\, links\, a list file and a copy of the exe under
// test without its help file (whose absence the program reports).
class Place {
public:
    Place() : root_("C:\\tarsio-resources-" + std::to_string(GetCurrentProcessId())) {
        CreateDirectoryA(root_.c_str(), nullptr);
        CreateDirectoryA(Path("data").c_str(), nullptr);
        CreateDirectoryA(Path("links").c_str(), nullptr);
        HANDLE f = CreateFileA(Path("list.trs").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(f);
        CopyFileA(driver::TarsioExe().c_str(), exe().c_str(), FALSE);
    }
    ~Place() {
        DeleteFileA(exe().c_str());
        DeleteFileA(Path("list.trs").c_str());
        RemoveDirectoryA(Path("links").c_str());
        RemoveDirectoryA(Path("data").c_str());
        RemoveDirectoryA(root_.c_str());
    }
    std::string Path(const std::string& relative) const { return root_ + "\\" + relative; }
    const std::string& root() const { return root_; }
    std::string exe() const { return Path("Tarsio.exe"); }

private:
    std::string root_;
};

class Round {
public:
    Round(Tarsio& app, HWND main, const Place& place) : app_(app), main_(main), place_(place) {}

    // Opens and closes each dialog and menu once; false, with the step, when
    // one did not show or did not close.
    bool Run(std::string& failed) {
        struct Step {
            const char* name;
            bool (Round::*run)();
        };
        static const Step steps[] = {
            {"name dialog", &Round::NameDialog},    {"target chooser", &Round::TargetChooser},
            {"junction information", &Round::Info}, {"drive selection", &Round::Drives},
            {"about box", &Round::About},           {"error box", &Round::ErrorBox},
            {"help error box", &Round::HelpError},  {"open dialog", &Round::OpenDialog},
            {"save dialog", &Round::SaveDialog},    {"main menu", &Round::MainMenu},
            {"context menu", &Round::ContextMenu},
        };
        for (const Step& step : steps) {
            if (!(this->*step.run)()) {
                failed = step.name;
                return false;
            }
        }
        return true;
    }

private:
    bool Hidden(HWND hwnd) {
        return driver::WaitFor([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, 5000);
    }
    // A form of the program: shown, then closed with one of its buttons.
    bool FormClosedBy(const char* title, const char* button) {
        HWND form = app_.WaitWindow("TarsioForm", title);
        if (!form) return false;
        Tarsio::Click(app_.Control(form, button));
        return Hidden(form);
    }
    bool BoxAnswered(int id) {
        HWND box = app_.WaitDialog();
        if (!box) return false;
        Tarsio::Press(box, id);
        return Hidden(box);
    }
    bool Fill(const std::string& source, const std::string& target) {
        Tarsio::Type(app_.Control(main_, "edtSource"), source);
        Tarsio::Type(app_.Control(main_, "edtTarget"), target);
        HWND create = app_.Control(main_, "btnCreate");
        return driver::WaitFor([&] { return IsWindowEnabled(create) != FALSE; }, 3000);
    }

    bool NameDialog() {
        if (!Fill(place_.Path("data"), place_.Path("links"))) return false;
        Tarsio::Click(app_.Control(main_, "btnCreate"));
        return FormClosedBy("Name for the target link", "btnCancel");
    }
    bool TargetChooser() {
        Tarsio::Click(app_.Control(main_, "btnBrowse"));
        return FormClosedBy("Browse for target link", "btnCancel");
    }
    bool Info() {
        Tarsio::ShowInfoDialog(main_, place_.Path("data"), place_.Path("links"));
        return FormClosedBy("Junction Information", "OKBtn");
    }
    bool Drives() {
        app_.Command(main_, kSelectDrives);
        return FormClosedBy("Select Drive to scan for Export", "CancelBtn");
    }
    bool About() {
        app_.Command(main_, kAbout);
        return FormClosedBy("About", "OKButton");
    }
    // The source as the target: an error box.
    bool ErrorBox() {
        if (!Fill(place_.Path("data"), place_.Path("data"))) return false;
        Tarsio::Click(app_.Control(main_, "btnCreate"));
        return BoxAnswered(IDOK);
    }
    bool HelpError() {
        app_.Command(main_, kHelpContents);
        return BoxAnswered(IDOK);
    }
    // The open dialog with a list file, then the import's question, refused.
    bool OpenDialog() {
        app_.Command(main_, kImport);
        HWND open = app_.WaitDialog();
        HWND name = open ? Tarsio::Descendant(open, "Edit") : nullptr;
        if (!name) return false;
        Tarsio::Type(name, place_.Path("list.trs"));
        Tarsio::Press(open, IDOK);
        return Hidden(open) && BoxAnswered(IDCANCEL);
    }
    bool SaveDialog() {
        app_.Command(main_, kExport);
        return BoxAnswered(IDCANCEL);
    }
    bool MenuClosed() {
        bool shown = app_.WaitWindow("#32768", "", 5000) != nullptr;
        Tarsio::PressKey(VK_ESCAPE);
        Tarsio::PressKey(VK_ESCAPE);
        return driver::WaitFor([&] { return !app_.WaitWindow("#32768", "", 0); }, 3000) && shown;
    }
    bool MainMenu() {
        for (WORD key : {'F', 'O', 'H'}) {
            SetForegroundWindow(main_);
            Tarsio::PressKey(key, {VK_MENU});
            if (!MenuClosed()) return false;
        }
        return true;
    }
    bool ContextMenu() {
        HWND tree = app_.Control(main_, "vteSourceTree");
        driver::TreeItem c = app_.Find(tree, nullptr, "(C:)");
        if (!c.item) return false;
        app_.ClickItem(tree, c.item, true);
        return MenuClosed();
    }

    Tarsio& app_;
    HWND main_;
    const Place& place_;
};

TEST(GuiResources, CounterSeesOneMoreFontAndMenu) {
    // The count the leak test relies on is not a stub: one font and one menu
    // more are seen as one GDI and one USER object more.
    Place place;
    Tarsio app("", place.root(), place.exe());
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    std::vector<std::string> lines = app.Ask(main, "resources-check");
    ASSERT_EQ(lines.size(), 2u);
    Count before = Parse(lines[0]), with = Parse(lines[1]);
    std::printf("counted by %s: GDI %ld, USER %ld\n", before.method.c_str(), before.gdi, before.user);
    EXPECT_GT(before.gdi, 0);
    EXPECT_GT(before.user, 0);
    EXPECT_EQ(with.gdi, before.gdi + 1);
    EXPECT_EQ(with.user, before.user + 1);
}

TEST(GuiResources, FlatOverFiftyRoundsOfEveryDialogAndMenu) {
    Place place;
    Tarsio app("", place.root(), place.exe());
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    app.Command(main, kEnableImport);
    Sleep(200);
    Round round(app, main, place);
    Count start = Counted(app, main), settled;
    ASSERT_GT(start.gdi, 0) << "no count";
    for (int i = 1; i <= kRounds; ++i) {
        std::string failed;
        ASSERT_TRUE(round.Run(failed)) << "round " << i << ": " << failed;
        if (i == kSettleRounds) settled = Counted(app, main);
    }
    Count end = Counted(app, main);
    std::printf(
        "counted by %s (start / after round %d / after round %d): GDI %ld / %ld / %ld, "
        "USER %ld / %ld / %ld, accelerator tables among them %ld / %ld / %ld\n",
        end.method.c_str(), kSettleRounds, kRounds, start.gdi, settled.gdi, end.gdi, start.user, settled.user,
        end.user, start.accelerators, settled.accelerators, end.accelerators);
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
