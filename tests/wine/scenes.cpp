// tarsio_scenes.exe SCENE READY DONE: brings Tarsio.exe into a scene for a
// screenshot, creates the file READY, waits until the file DONE exists and
// ends Tarsio. scripts/screenshots takes the pictures in between.

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "tests/wine/driver.h"

namespace {

using driver::Tarsio;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Touch(const std::string& path) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(f);
}

// C:\Projects with a few folders, so that the tree shows something real.
std::string MakeSampleFolders() {
    const std::string root = "C:\\Projects";
    for (const char* sub : {"", "\\Current", "\\Archive", "\\Archive\\2001", "\\Tools", "\\Web site"})
        CreateDirectoryA((root + sub).c_str(), nullptr);
    return root;
}

// The main window with C:\Projects expanded and Current picked.
HWND MainScene(Tarsio& app) {
    HWND main = app.StartMainWindow();
    if (!main) return nullptr;
    HWND tree = app.Control(main, "vteSourceTree");
    driver::TreeItem c = app.Find(tree, nullptr, "(C:)");
    app.Expand(tree, c.item);
    driver::TreeItem projects = app.Find(tree, c.item, "Projects");
    app.Expand(tree, projects.item);
    app.ClickItem(tree, app.Find(tree, projects.item, "Current").item);
    return main;
}

// The Create page filled in; `create` presses Create, which opens the name
// dialog because the junction field names an existing folder.
HWND CreateScene(Tarsio& app, bool create) {
    HWND main = MainScene(app);
    if (!main) return nullptr;
    Tarsio::Type(app.Control(main, "edtTarget"), "C:\\Projects\\Web site");
    // The junction field has the focus, as after typing in it; the tree
    // still shows its selection.
    Tarsio::ClickAt(app.Control(main, "edtTarget"), POINT{4, 4});
    if (!create) return main;
    Tarsio::Click(app.Control(main, "btnCreate"));
    HWND name = app.WaitWindow("TarsioForm", "Name for the target link");
    if (name) Tarsio::Type(app.Control(name, "edtTargetDir"), "current");
    return name;
}

HWND ChooserScene(Tarsio& app) {
    HWND main = MainScene(app);
    if (!main) return nullptr;
    Tarsio::Click(app.Control(main, "btnBrowse"));
    HWND chooser = app.WaitWindow("TarsioForm", "Browse for target link");
    if (!chooser) return nullptr;
    HWND tree = app.Control(chooser, "vteTargetTree");
    std::vector<driver::TreeItem> top = app.Children(tree, nullptr);
    if (top.empty()) return nullptr;
    driver::TreeItem c = app.Find(tree, top[0].item, "(C:)");
    app.Expand(tree, c.item);
    driver::TreeItem projects = app.Find(tree, c.item, "Projects");
    app.Expand(tree, projects.item);
    app.ClickItem(tree, app.Find(tree, projects.item, "Web site").item);
    return chooser;
}

HWND MenuEntryScene(Tarsio& app, UINT command, const char* title, bool enableFileMenu = false) {
    HWND main = MainScene(app);
    if (!main) return nullptr;
    if (enableFileMenu) app.Command(main, 103);
    Sleep(200);
    app.Command(main, command);
    return app.WaitWindow(title[0] == '#' ? title : "TarsioForm", title[0] == '#' ? "" : title);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: tarsio_scenes SCENE READY DONE\n");
        return 2;
    }
    std::string scene = argv[1], ready = argv[2], done = argv[3];
    MakeSampleFolders();
    // Started in its own folder, as a user starts it: the help file lies there.
    std::string exe = driver::TarsioExe();
    Tarsio app("", exe.substr(0, exe.find_last_of('\\')));
    if (scene == "question") {
        if (!app.WaitDialog()) return 1;
    } else if (scene == "main") {
        if (!CreateScene(app, false)) return 1;
    } else if (scene == "name") {
        if (!CreateScene(app, true)) return 1;
    } else if (scene == "chooser") {
        if (!ChooserScene(app)) return 1;
    } else if (scene == "info") {
        HWND main = MainScene(app);
        if (!main) return 1;
        Tarsio::ShowInfoDialog(main, "C:\\Projects\\Current", "C:\\Projects\\Web site\\current");
        if (!app.WaitWindow("TarsioForm", "Junction Information")) return 1;
    } else if (scene == "menu") {
        // The File menu, its entries enabled, opened from the keyboard.
        HWND main = MainScene(app);
        if (!main) return 1;
        app.Command(main, 103);
        Sleep(300);
        SetForegroundWindow(main);
        Tarsio::PressKey('F', {VK_MENU});
        if (!app.WaitWindow("#32768", "", 5000)) return 1;
    } else if (scene == "about") {
        if (!MenuEntryScene(app, 106, "About")) return 1;
    } else if (scene == "drives") {
        if (!MenuEntryScene(app, 104, "Select Drive to scan for Export", true)) return 1;
    } else if (scene == "export") {
        DeleteFileA("C:\\Projects\\all.trs");
        HWND main = MainScene(app);
        if (!main) return 1;
        // The window answers no messages while it exports: look things up first.
        HWND panel = app.Control(main, "pnlWaitInExport");
        app.Command(main, 103);
        Sleep(200);
        app.Command(main, 101);
        HWND save = app.WaitDialog();
        if (!save) return 1;
        Tarsio::Type(Tarsio::Descendant(save, "Edit"), "C:\\Projects\\all.trs");
        Tarsio::Press(save, IDOK);
        if (!driver::WaitFor([&] { return IsWindowVisible(panel) != FALSE; }, 10000)) return 1;
        Sleep(1500);
    } else if (scene == "help") {
        HWND main = MainScene(app);
        if (!main) return 1;
        app.Command(main, 105);
        if (!app.WaitWindow("HH Parent", "", 10000)) return 1;
        Sleep(1000);
    } else {
        std::fprintf(stderr, "unknown scene %s\n", scene.c_str());
        return 2;
    }
    Sleep(500);
    Touch(ready);
    driver::WaitFor([&] { return Exists(done); }, 60000);
    return 0;
}
