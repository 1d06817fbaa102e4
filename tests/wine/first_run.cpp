// tarsio_first_run.exe DIR: starts Tarsio.exe as a user does and has the
// screen taken at two moments: with the start-up question up, and, after the
// answer Yes, with the main window's tree painted. For each it creates the
// file DIR\NAME.ready ("question", then "main") and waits until DIR\NAME.done
// exists. Then it closes the main window and exits with the program's own
// exit status. `./run` uses it without a display (scripts/first-run).

#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/wine/driver.h"

namespace {

int Fail(const char* what) {
    std::fprintf(stderr, "tarsio_first_run: %s\n", what);
    return 1;
}

// Asks for the screen to be taken, and waits until it has been.
bool Shot(const std::string& dir, const std::string& name) {
    HANDLE flag = CreateFileA((dir + "\\" + name + ".ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                              nullptr);
    if (flag == INVALID_HANDLE_VALUE) return false;
    CloseHandle(flag);
    const std::string done = dir + "\\" + name + ".done";
    return driver::WaitFor([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return Fail("usage: tarsio_first_run DIR");
    const std::string dir = argv[1], exe = driver::TarsioExe();
    driver::Tarsio app("", exe.substr(0, exe.find_last_of('\\')));

    HWND question = nullptr, main = nullptr;
    bool up = driver::WaitFor(
        [&] {
            question = app.WaitWindow("#32770", "Confirm", 0);
            main = app.WaitWindow("TarsioForm", "Tarsio", 0);
            return question || main;
        },
        30000);
    if (!up) return Fail("no window of Tarsio.exe came up within 30 s");
    if (question) {
        Sleep(300);  // lets the box finish painting
        if (!Shot(dir, "question")) return Fail("the start-up question was not taken");
        driver::Tarsio::Press(question, IDYES);
    }
    HWND tree = nullptr;
    bool filled = driver::WaitFor(
        [&] {
            main = app.WaitWindow("TarsioForm", "Tarsio", 0);
            tree = main ? app.Control(main, "vteSourceTree") : nullptr;
            return tree && SendMessageA(tree, TVM_GETCOUNT, 0, 0) > 0;
        },
        30000);
    if (!filled) return Fail("the main window did not show its tree within 30 s");
    // Paints what is pending now, in the program's thread; the X server gets
    // the picture a moment later.
    RedrawWindow(main, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(500);
    if (!Shot(dir, "main")) return Fail("the main window was not taken");

    PostMessageA(main, WM_CLOSE, 0, 0);
    DWORD status = 1;
    if (!app.WaitExit(15000, &status)) return Fail("Tarsio.exe did not end within 15 s");
    return static_cast<int>(status);
}
