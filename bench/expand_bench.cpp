// tarsio_expand_bench.exe FOLDER: starts Tarsio.exe under Wine, opens the
// source tree down to FOLDER's parent and clicks FOLDER's expand button;
// prints the time from the click until the tree has painted the children
// (its update region is empty again), and the number of items added.

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "tests/wine/driver.h"

namespace {

using driver::Tarsio;

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool Expanded(HWND tree, HTREEITEM item) {
    return SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) & TVIS_EXPANDED;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarsio_expand_bench Z:\\path\\to\\folder\n");
        return 2;
    }
    std::string folder = argv[1];
    Tarsio app;
    HWND main = app.StartMainWindow();
    if (!main) return 1;
    HWND tree = app.Control(main, "vteSourceTree");
    SetForegroundWindow(main);

    // Down to the parent: the drive, then each folder on the way.
    driver::TreeItem item = app.Find(tree, nullptr, "(" + folder.substr(0, 2) + ")");
    std::size_t at = 3;
    while (item.item) {
        std::size_t next = folder.find('\\', at);
        std::string name = folder.substr(at, next == std::string::npos ? std::string::npos : next - at);
        if (next == std::string::npos) break;
        app.Expand(tree, item.item);
        item = app.Find(tree, item.item, name);
        at = next + 1;
    }
    if (item.item) {
        app.Expand(tree, item.item);
        item = app.Find(tree, item.item, folder.substr(at));
    }
    if (!item.item) {
        std::fprintf(stderr, "expand bench: %s is not in the tree\n", folder.c_str());
        return 1;
    }
    LRESULT before = SendMessageA(tree, TVM_GETCOUNT, 0, 0);

    // The expand button: found left of the caption by asking the tree.
    SendMessageA(tree, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(item.item));
    POINT button = app.ExpandButton(tree, item.item);
    if (button.x <= 0) {
        std::fprintf(stderr, "expand bench: no expand button left of the caption\n");
        return 1;
    }
    // The clock starts as the click is queued: SendInput returns at once.
    driver::Tarsio::ClickAt(tree, button, 0);
    double start = Seconds();
    bool done = driver::WaitFor([&] { return Expanded(tree, item.item); }, 120000);
    // Painted: the program answers again and the tree has nothing left to draw.
    done = done && driver::WaitFor(
                       [&] {
                           DWORD_PTR ignored;
                           SendMessageTimeoutA(tree, WM_NULL, 0, 0, SMTO_BLOCK, 120000, &ignored);
                           return !GetUpdateRect(tree, nullptr, FALSE);
                       },
                       120000);
    double elapsed = Seconds() - start;
    LRESULT added = SendMessageA(tree, TVM_GETCOUNT, 0, 0) - before;
    if (!done) {
        std::fprintf(stderr, "expand bench: the folder did not expand within %.0f s\n", elapsed);
        return 1;
    }
    std::printf("%-34s %7.3f s   %ld items, click to painted (Tarsio.exe under Wine)\n",
                "expand a folder of subfolders", elapsed, static_cast<long>(added));
    return 0;
}
