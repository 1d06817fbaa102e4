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

// In a tree of the program: C:\Projects expanded and its folder `pick`
// clicked. `drives` is the node that holds the drives.
void Pick(Tarsio& app, HWND tree, HTREEITEM drives, const char* pick) {
    driver::TreeItem c = app.Find(tree, drives, "(C:)");
    app.Expand(tree, c.item);
    driver::TreeItem projects = app.Find(tree, c.item, "Projects");
    app.Expand(tree, projects.item);
    app.ClickItem(tree, app.Find(tree, projects.item, pick).item);
}

// Brings the program into the scene; false when a window did not come.
bool Scene(Tarsio& app, const std::string& scene) {
    if (scene == "question") return app.WaitDialog();
    HWND main = app.StartMainWindow();
    if (!main) return false;
    Pick(app, Tarsio::Control(main, "vteSourceTree"), nullptr, "Current");
    // The window answers no messages while it exports: looked up before.
    HWND panel = Tarsio::Control(main, "pnlWaitInExport");
    if (scene == "main" || scene == "name") {
        Tarsio::Type(Tarsio::Control(main, "edtTarget"), "C:\\Projects\\Web site");
        // The junction field has the focus, as after typing in it; the tree
        // still shows its selection.
        Tarsio::ClickAt(Tarsio::Control(main, "edtTarget"), POINT{4, 4});
        if (scene == "main") return true;
        // The junction field names an existing folder: Create asks for a name.
        Tarsio::Click(Tarsio::Control(main, "btnCreate"));
        HWND name = app.WaitWindow("TarsioForm", "Name for the target link");
        if (name) Tarsio::Type(Tarsio::Control(name, "edtTargetDir"), "current");
        return name;
    }
    if (scene == "chooser") {
        Tarsio::Click(Tarsio::Control(main, "btnBrowse"));
        HWND chooser = app.WaitWindow("TarsioForm", "Browse for target link");
        HWND tree = chooser ? Tarsio::Control(chooser, "vteTargetTree") : nullptr;
        if (!tree || app.Children(tree, nullptr).empty()) return false;
        Pick(app, tree, app.Children(tree, nullptr)[0].item, "Web site");
        return true;
    }
    if (scene == "info") {
        Tarsio::ShowInfoDialog(main, "C:\\Projects\\Current", "C:\\Projects\\Web site\\current");
        return app.WaitWindow("TarsioForm", "Junction Information");
    }
    if (scene == "about") {
        app.Command(main, 106);
        return app.WaitWindow("TarsioForm", "About");
    }
    if (scene == "help") {
        app.Command(main, 105);
        bool shown = app.WaitWindow("HH Parent", "");
        Sleep(1000);
        return shown;
    }
    // The others with the File menu's entries enabled.
    app.Command(main, 103);
    Sleep(300);
    if (scene == "drives") {
        app.Command(main, 104);
        return app.WaitWindow("TarsioForm", "Select Drive to scan for Export");
    }
    if (scene == "menu") {  // the File menu, opened from the keyboard
        SetForegroundWindow(main);
        Tarsio::PressKey('F', {VK_MENU});
        return app.WaitWindow("#32768", "", 5000);
    }
    if (scene == "export") {
        DeleteFileA("C:\\Projects\\all.trs");
        app.Command(main, 101);
        HWND save = app.WaitDialog();
        if (!save) return false;
        Tarsio::Type(Tarsio::Descendant(save, "Edit"), "C:\\Projects\\all.trs");
        Tarsio::Press(save, IDOK);
        bool shown = driver::WaitFor([&] { return IsWindowVisible(panel) != FALSE; }, 10000);
        Sleep(1500);
        return shown;
    }
    std::fprintf(stderr, "unknown scene %s\n", scene.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: tarsio_scenes SCENE READY DONE\n");
        return 2;
    }
    const std::string ready = argv[2], done = argv[3];
    // C:\Projects with a few folders, so that the tree shows something real.
    for (const char* sub : {"", "\\Current", "\\Archive", "\\Archive\\2001", "\\Tools", "\\Web site"})
        CreateDirectoryA((std::string("C:\\Projects") + sub).c_str(), nullptr);
    // Started in its own folder, as a user starts it: the help file lies there.
    const std::string exe = driver::TarsioExe();
    Tarsio app("", exe.substr(0, exe.find_last_of('\\')));
    if (!Scene(app, argv[1])) return 1;
    Sleep(500);
    CloseHandle(CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    driver::WaitFor([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000);
    return 0;
}
