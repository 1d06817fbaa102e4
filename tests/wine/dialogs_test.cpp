// Creating junctions, the dialogs, and the File and Help menus of the real
// Tarsio.exe under Wine, driven from outside. Wine refuses reparse points
// (error 50), so every junction it is asked to make fails.

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/wine/driver.h"
#include "tests/wine/window_steps.h"

namespace {

using driver::Tarsio;

constexpr UINT kImport = 100, kEnableImport = 103, kAbout = 106;

std::string Unique(const std::string& stem) { return stem + std::to_string(GetCurrentProcessId()); }

// C:\<name> holding data\ and links\.
class Place {
public:
    explicit Place(const std::string& name) : root_("C:\\" + name) {
        CreateDirectoryA(root_.c_str(), nullptr);
        CreateDirectoryA(Path("data").c_str(), nullptr);
        CreateDirectoryA(Path("links").c_str(), nullptr);
    }
    ~Place() {
        for (const char* leftover : {"links\\new", "links\\web", "list.trs"}) {
            RemoveDirectoryA(Path(leftover).c_str());
            DeleteFileA(Path(leftover).c_str());
        }
        RemoveDirectoryA(Path("links").c_str());
        RemoveDirectoryA(Path("data").c_str());
        RemoveDirectoryA(root_.c_str());
    }
    std::string Path(const std::string& relative) const { return root_ + "\\" + relative; }
    const std::string& root() const { return root_; }

private:
    std::string root_;
};

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A message box of the process: its caption and text, then OK.
std::pair<std::string, std::string> ReadAndClose(Tarsio& app) {
    HWND box = app.WaitDialog();
    if (!box) return {"<none>", "<none>"};
    std::pair<std::string, std::string> seen{Tarsio::Text(box), Tarsio::MessageText(box)};
    Tarsio::Press(box, IDOK);
    return seen;
}

// The main window over a fresh place of its own.
class CreateFromTheWindow : public ::testing::Test {
protected:
    void SetUp() override {
        main = app.StartMainWindow();
        ASSERT_TRUE(main);
    }
    void Fill(const std::string& source, const std::string& target) {
        Tarsio::Type(app.Control(main, "edtSource"), source);
        Tarsio::Type(app.Control(main, "edtTarget"), target);
    }
    // Create with data as the source and the existing links folder as the
    // junction: the name dialog.
    HWND OpenNameDialog() {
        Fill(place.Path("data"), place.Path("links"));
        Tarsio::Click(app.Control(main, "btnCreate"));
        return app.WaitWindow("TarsioForm", "Name for the target link");
    }

    Place place{Unique("tarsio-create-")};  // made before the program starts
    Tarsio app;
    HWND main = nullptr;
};

TEST_F(CreateFromTheWindow, NewJunctionDirectoryIsRemovedWhenWineRefusesIt) {
    Fill(place.Path("data"), place.Path("links\\new"));
    HWND create = app.Control(main, "btnCreate");
    ASSERT_TRUE(driver::WaitFor([&] { return IsWindowEnabled(create) != FALSE; }, 3000));
    Tarsio::Click(create);
    EXPECT_EQ(ReadAndClose(app), std::make_pair(std::string("Error"), std::string("Junction not created")));
    EXPECT_TRUE(Exists(place.Path("links")));
    EXPECT_FALSE(Exists(place.Path("links\\new")));
}

TEST_F(CreateFromTheWindow, NameDialogOpensWithItsPrefix) {
    HWND name = OpenNameDialog();
    ASSERT_TRUE(name);
    EXPECT_EQ(Tarsio::Text(app.Control(name, "Label1")),
              "Enter the target directory which is linked from " + place.Path("data") + " to:");
    HWND composed = app.Control(name, "edtTargetShort");
    EXPECT_EQ(Tarsio::Text(composed), place.Path("links") + "\\");
    EXPECT_FALSE(IsWindowEnabled(composed));
    Tarsio::Type(app.Control(name, "edtTargetDir"), "web");
    EXPECT_EQ(Tarsio::Text(composed), place.Path("links\\web"));
    Tarsio::Click(app.Control(name, "btnOK"));
    EXPECT_EQ(ReadAndClose(app), std::make_pair(std::string("Error"), std::string("Junction not created")));
    EXPECT_FALSE(Exists(place.Path("links\\web")));
}

TEST_F(CreateFromTheWindow, UsersOwnEmptyFolderStaysWhenWineRefusesIt) {
    HWND name = OpenNameDialog();
    ASSERT_TRUE(name);
    Tarsio::Click(app.Control(name, "btnOK"));  // no name: links itself is to be the junction
    EXPECT_EQ(ReadAndClose(app), std::make_pair(std::string("Error"), std::string("Junction not created")));
    EXPECT_TRUE(Exists(place.Path("links")));
}

TEST_F(CreateFromTheWindow, TargetChooserReturnsTheChosenFolder) {
    Tarsio::Click(app.Control(main, "btnBrowse"));
    HWND chooser = app.WaitWindow("TarsioForm", "Browse for target link");
    ASSERT_TRUE(chooser);
    HWND tree = app.Control(chooser, "vteTargetTree");
    HWND ok = app.Control(chooser, "btnOK");
    EXPECT_FALSE(IsWindowEnabled(ok));
    // The drives folder is the one top-level node, with the drives below it.
    std::vector<driver::TreeItem> top = app.Children(tree, nullptr);
    ASSERT_EQ(top.size(), 1u);
    driver::TreeItem c = app.Find(tree, top[0].item, "(C:)");
    ASSERT_TRUE(c.item);
    app.Expand(tree, c.item);
    driver::TreeItem ours = app.Find(tree, c.item, place.root().substr(3));
    ASSERT_TRUE(ours.item);
    app.Expand(tree, ours.item);
    app.ClickItem(tree, app.Find(tree, ours.item, "links").item);
    ASSERT_TRUE(driver::WaitFor([&] { return IsWindowEnabled(ok) != FALSE; }, 10000));
    Tarsio::Click(ok);
    HWND target = app.Control(main, "edtTarget");
    EXPECT_TRUE(driver::WaitFor([&] { return Tarsio::Text(target) == place.Path("links"); }, 3000))
        << Tarsio::Text(target);
    EXPECT_FALSE(IsWindowVisible(chooser));
}

TEST_F(CreateFromTheWindow, InfoDialogNeedsAReadableJunction) {
    // Wine reports Z:\ as a reparse point, so it carries the check button,
    // but its data cannot be read: the button shows nothing.
    HWND tree = app.Control(main, "vteSourceTree");
    driver::TreeItem z = app.Find(tree, nullptr, "(Z:)");
    ASSERT_TRUE(z.item);
    EXPECT_EQ(z.stateImage, 1);
    EXPECT_EQ(app.Find(tree, nullptr, "(C:)").stateImage, 0);
    app.ClickCheckImage(tree, z.item);
    EXPECT_FALSE(app.WaitWindow("TarsioForm", "Junction Information", 1500));

    // Shown by the test hook, the dialog holds both paths, greyed.
    Tarsio::ShowInfoDialog(main, "C:\\data", "C:\\links\\web");
    HWND info = app.WaitWindow("TarsioForm", "Junction Information");
    ASSERT_TRUE(info);
    EXPECT_EQ(Tarsio::Text(app.Control(info, "edtJunctionSource")), "C:\\data");
    EXPECT_EQ(Tarsio::Text(app.Control(info, "edtJunctionTarget")), "C:\\links\\web");
    EXPECT_FALSE(IsWindowEnabled(app.Control(info, "edtJunctionSource")));
    EXPECT_EQ(Tarsio::Text(app.Control(info, "Label1")), "Source of the link:");
    EXPECT_EQ(Tarsio::Text(app.Control(info, "Label2")), "is connected with the junction:");
    Tarsio::PressKey(VK_RETURN);  // OK is the default button
    EXPECT_TRUE(driver::WaitFor([&] { return !IsWindowVisible(info); }, 3000));
}

TEST(FileMenu, ImportThroughTheOpenDialog) {
    Place place(Unique("tarsio-import-"));
    const std::string list = place.Path("list.trs");
    const std::string text = "+" + place.Path("links\\web") + "->" + place.Path("data") + "\r\n";
    HANDLE f = CreateFileA(list.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);

    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    app.Command(main, kEnableImport);
    ASSERT_TRUE(driver::WaitFor([&] { return app.Menu(main)[1].find("|0x0|") != std::string::npos; }, 3000));
    app.Command(main, kImport);
    HWND open = app.WaitDialog();
    ASSERT_TRUE(open);
    HWND name = Tarsio::Descendant(open, "Edit");
    ASSERT_TRUE(name);
    EXPECT_EQ(Tarsio::Text(name), "TRExport1.trs");
    Tarsio::Type(name, list);
    Tarsio::Press(open, IDOK);

    auto confirm = ReadAndClose(app);
    EXPECT_EQ(confirm.first, "Information");
    EXPECT_EQ(confirm.second, "Are you sure importing junctions? Quit now if you do not know what you are doing!");
    auto result = ReadAndClose(app);
    EXPECT_EQ(result.first, "Information");
    EXPECT_EQ(result.second, "Errors during the import. Have a look at the file " + list +
                                 ". Values with an \"+\" have not been imported");
    HANDLE r = CreateFileA(list.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    char buffer[512] = {};
    DWORD got = 0;
    ReadFile(r, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(r);
    EXPECT_EQ(std::string(buffer, got), text);
}

TEST(HelpMenu, AboutBoxTexts) {
    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    app.Command(main, kAbout);
    HWND about = app.WaitWindow("TarsioForm", "About");
    ASSERT_TRUE(about);
    EXPECT_EQ(Tarsio::Text(app.Control(about, "ProductName")), "Tarsio");
    EXPECT_EQ(Tarsio::Text(app.Control(about, "Version")), "Version 1.1.0, 28JAN2002");
    EXPECT_EQ(Tarsio::Text(app.Control(about, "Copyright")).rfind("Copyright ", 0), 0u);
    std::string memo = Tarsio::Text(app.Control(about, "mmoComments"));
    int lines = 1;
    for (std::size_t at = memo.find("\r\n"); at != std::string::npos; at = memo.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, 6) << memo;
    Tarsio::Click(app.Control(about, "OKButton"));
    EXPECT_TRUE(driver::WaitFor([&] { return !IsWindowVisible(about); }, 3000));
    EXPECT_EQ(Tarsio::Text(app.Control(about, "Version")), "Version");
}

// Tarsio.exe copied into a folder of its own, without the help file.
class Installed {
public:
    Installed() : dir_("C:\\" + Unique("tarsio-nohelp-")) {
        CreateDirectoryA(dir_.c_str(), nullptr);
        CopyFileA(driver::TarsioExe().c_str(), (dir_ + "\\Tarsio.exe").c_str(), FALSE);
    }
    ~Installed() {
        DeleteFileA((dir_ + "\\Tarsio.exe").c_str());
        RemoveDirectoryA(dir_.c_str());
    }
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
};

TEST(HelpMenu, MissingHelpFileIsReported) {
    Installed installed;
    Tarsio app("", installed.dir(), installed.dir() + "\\Tarsio.exe");
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    steps::PressF1(main);
    EXPECT_EQ(ReadAndClose(app),
              std::make_pair(std::string("Error"), std::string("The Help file Tarsio.chm could not be found.")));
    EXPECT_FALSE(app.WaitWindow("HH Parent", "", 500));
}

}  // namespace
