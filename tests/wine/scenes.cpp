// Brings Tarsio.exe into scenes whose screen a script takes: for each, it
// creates a file READY and goes on once a file DONE exists.
//   tarsio_scenes.exe SCENE READY DONE (scripts/screenshots): one scene of
//     the test build, then the program is ended.
//   tarsio_first_run.exe DIR (./run without a display, scripts/first-run):
//     Tarsio.exe as a user starts it, with the start-up question up
//     (DIR\question.ready and .done), then, answered Yes, with the main
//     window's tree painted (DIR\main.ready and .done); then it closes the
//     window and exits with the program's own status.

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

// Asks for the screen to be taken, and waits until it has been.
bool Shot(const std::string& ready, const std::string& done) {
    HANDLE flag = CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (flag == INVALID_HANDLE_VALUE) return false;
    CloseHandle(flag);
    return driver::WaitFor([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000);
}

int Fail(const char* what) {
    std::fprintf(stderr, "tarsio_first_run: %s\n", what);
    return 1;
}

int FirstRun(Tarsio& app, const std::string& dir) {
    HWND question = nullptr, main = nullptr, tree = nullptr;
    auto up = [&] {
        question = app.WaitWindow("#32770", "Confirm", 0);
        main = app.WaitWindow("TarsioForm", "Tarsio", 0);
        return question || main;
    };
    if (!driver::WaitFor(up, 30000)) return Fail("no window of Tarsio.exe came up within 30 s");
    if (question) {
        Sleep(300);  // lets the box finish painting
        if (!Shot(dir + "\\question.ready", dir + "\\question.done"))
            return Fail("the start-up question was not taken");
        Tarsio::Press(question, IDYES);
    }
    auto filled = [&] {
        main = app.WaitWindow("TarsioForm", "Tarsio", 0);
        tree = main ? Tarsio::Control(main, "vteSourceTree") : nullptr;
        return tree && SendMessageA(tree, TVM_GETCOUNT, 0, 0) > 0;
    };
    if (!driver::WaitFor(filled, 30000)) return Fail("the main window did not show its tree within 30 s");
    // Paints what is pending now, in the program's thread; the X server gets
    // the picture a moment later.
    RedrawWindow(main, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(500);
    if (!Shot(dir + "\\main.ready", dir + "\\main.done")) return Fail("the main window was not taken");
    PostMessageA(main, WM_CLOSE, 0, 0);
    DWORD status = 1;
    if (!app.WaitExit(15000, &status)) return Fail("Tarsio.exe did not end within 15 s");
    return static_cast<int>(status);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: tarsio_scenes SCENE READY DONE, or tarsio_first_run DIR\n");
        return 2;
    }
    // For the scenes, C:\Projects with a few folders, so that the tree shows
    // something real.
    for (const char* sub : {"", "\\Current", "\\Archive", "\\Archive\\2001", "\\Tools", "\\Web site"})
        if (argc == 4) CreateDirectoryA((std::string("C:\\Projects") + sub).c_str(), nullptr);
    // Started in its own folder, as a user starts it: the help file lies there.
    const std::string exe = driver::TarsioExe();
    Tarsio app("", exe.substr(0, exe.find_last_of('\\')));
    if (argc == 2) return FirstRun(app, argv[1]);
    if (!Scene(app, argv[1])) return 1;
    Sleep(500);
    Shot(argv[2], argv[3]);
    return 0;
}
