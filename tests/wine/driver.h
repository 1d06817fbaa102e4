#pragma once
// Drives a running Tarsio.exe from outside, as a user would: finds its
// windows, reads controls, tree items and tabs, clicks and types, answers
// message boxes; and runs it as a console program. Runs in its own process
// under Wine, in the same prefix. Texts and paths are UTF-8.

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

namespace driver {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
// Wine's Z: is the host's /.
std::string WindowsPath(const std::string& hostPath);
std::string TarsioExe();  // the exe under test (TARSIO_EXE)

struct Outcome {
    DWORD status = 0xFFFFFFFF;
    std::string out;     // standard output and error, as bytes
    double seconds = 0;  // from start to end of the process
};

// Runs the exe as a console program with `arguments` after its quoted name,
// its output into `out`, or `onConsole`, to this process's console; one
// that is not done after 20 seconds is ended.
Outcome RunTarsio(const std::string& arguments, const std::string& exe = TarsioExe(), bool onConsole = false);

struct ControlInfo {
    std::string name;  // the TarsioName property
    std::string cls;
    std::string text;
    bool enabled;
    bool visible;
    HWND hwnd;
};

struct TreeItem {
    HTREEITEM item;
    std::string text;
    int stateImage;  // 1 for the check button
};

class Tarsio {
public:
    // Starts the exe under test (the build's, or `exe`); `arguments` follow
    // the name.
    explicit Tarsio(const std::string& arguments = "", const std::string& workDir = "",
                    const std::string& exe = TarsioExe());
    ~Tarsio();  // ends the process if it still runs
    Tarsio(const Tarsio&) = delete;
    Tarsio& operator=(const Tarsio&) = delete;

    bool WaitExit(DWORD ms, DWORD* exitCode = nullptr);

    // A visible top-level window of the process with this class (and title
    // when not empty); waits up to `ms`.
    HWND WaitWindow(const char* cls, const char* title, DWORD ms = 10000);
    // The process's visible top-level windows of this class (and title
    // when not empty), newest first.
    std::vector<HWND> Windows(const char* cls, const char* title);
    // A message box or common dialog (class #32770) of the process.
    HWND WaitDialog(DWORD ms = 10000) { return WaitWindow("#32770", "", ms); }
    std::vector<HWND> Dialogs() { return Windows("#32770", ""); }
    // The main window after the start-up question was answered Yes, with
    // its tree filled.
    HWND StartMainWindow();

    static std::vector<ControlInfo> Controls(HWND top);
    static HWND Control(HWND top, const std::string& name);
    // The first visible descendant window of this class.
    static HWND Descendant(HWND top, const char* cls);

    // A test hook's answer, written to a file: its lines ("menu": the main
    // menu as Windows holds it, "depth|id|state|text[|image]").
    std::vector<std::string> Ask(HWND main, const std::string& verb);
    // Asks the main window to show the junction information dialog with
    // these texts (a test hook: Wine cannot make a junction to show).
    static void ShowInfoDialog(HWND main, const std::string& source, const std::string& target);
    // Chooses a menu entry by its command identifier.
    static void Command(HWND main, UINT id);

    // Tree items through the control's own messages.
    std::vector<TreeItem> Children(HWND tree, HTREEITEM parent);  // nullptr: the top level
    TreeItem Find(HWND tree, HTREEITEM parent, const std::string& text);
    static void Expand(HWND tree, HTREEITEM item);
    static HTREEITEM Selected(HWND tree);
    // Clicks the item's caption (left) or its check image, with the mouse.
    void ClickItem(HWND tree, HTREEITEM item, bool right = false);
    void ClickCheckImage(HWND tree, HTREEITEM item);
    // The middle of the item's expand button, in the tree's client
    // coordinates (x 0 or less: none).
    POINT ExpandButton(HWND tree, HTREEITEM item);
    std::vector<std::string> TabCaptions(HWND tabs);
    void SelectTab(HWND tabs, int index);
    // Sends a message whose lParam points to `size` bytes, copied into the
    // program before and back after.
    LRESULT SendData(HWND hwnd, UINT msg, WPARAM wParam, void* data, std::size_t size);

    // Presses a button with the mouse's message, posted so that a modal
    // window it opens does not block the driver.
    static void Click(HWND button);
    static void Type(HWND edit, const std::string& text);
    static std::string Text(HWND hwnd);
    // The static text of a message box, and pressing one of its buttons.
    static std::string MessageText(HWND box);
    static void Press(HWND box, int id);
    // Presses and releases a key, sent to whichever window has the focus;
    // `modifiers` (VK_SHIFT, VK_MENU, ...) are held down meanwhile.
    static void PressKey(WORD key, std::initializer_list<WORD> modifiers = {});
    // A left click at a point of a window's client area; `settle` ms after.
    static void ClickAt(HWND hwnd, POINT client, DWORD settle = 200);

private:
    template <typename Item>
    std::string ReadItem(HWND control, UINT msg, WPARAM wParam, Item& item);
    RECT ItemRect(HWND tree, HTREEITEM item);

    PROCESS_INFORMATION pi_{};
    char* remote_ = nullptr;  // a page in the program for SendData
};

// Waits until `condition` holds or `ms` pass; true when it held.
template <typename F>
bool WaitFor(F condition, DWORD ms = 10000) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > ms) return false;
        Sleep(20);
    }
    return true;
}

}  // namespace driver
