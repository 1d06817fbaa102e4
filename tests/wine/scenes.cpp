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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: tarsio_scenes SCENE READY DONE\n");
        return 2;
    }
    std::string scene = argv[1], ready = argv[2], done = argv[3];
    MakeSampleFolders();
    Tarsio app;
    if (scene == "question") {
        if (!app.WaitDialog()) return 1;
    } else if (scene == "main") {
        if (!MainScene(app)) return 1;
    } else {
        std::fprintf(stderr, "unknown scene %s\n", scene.c_str());
        return 2;
    }
    Sleep(500);
    Touch(ready);
    driver::WaitFor([&] { return Exists(done); }, 60000);
    return 0;
}
