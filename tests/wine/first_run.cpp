// tarsio_first_run.exe READY DONE: starts Tarsio.exe as a user does and waits
// for its first window (the start-up question or the main window). Then it
// creates the file READY, waits until the file DONE exists and ends the
// program as a user would: No to the question, or closing the main window.
// Exits with the program's own exit status. `./run` uses it without a display.

#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/wine/driver.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarsio_first_run READY DONE\n");
        return 2;
    }
    const std::string ready = argv[1], done = argv[2];
    const std::string exe = driver::TarsioExe();
    driver::Tarsio app("", exe.substr(0, exe.find_last_of('\\')));

    HWND question = nullptr, main = nullptr;
    bool up = driver::WaitFor(
        [&] {
            question = app.WaitWindow("#32770", "Confirm", 0);
            main = app.WaitWindow("TarsioForm", "Tarsio", 0);
            return question || main;
        },
        60000);
    if (!up) {
        std::fprintf(stderr, "tarsio_first_run: no window of Tarsio.exe came up within a minute\n");
        return 1;
    }
    Sleep(500);  // lets the window finish painting
    HANDLE flag = CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (flag == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(flag);
    driver::WaitFor([&] { return Exists(done); }, 60000);

    if (question)
        driver::Tarsio::Press(question, IDNO);
    else
        PostMessageA(main, WM_CLOSE, 0, 0);
    DWORD status = 1;
    if (!app.WaitExit(15000, &status)) {
        std::fprintf(stderr, "tarsio_first_run: Tarsio.exe did not end within 15 s\n");
        return 1;
    }
    return static_cast<int>(status);
}
