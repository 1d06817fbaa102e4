#include "tests/wine/driver.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/wine/test_hooks.h"

namespace driver {
namespace {

constexpr std::size_t kRemoteSize = 4096;

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lParam) {
    char name[256] = {}, cls[64] = {};
    if (auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropA(hwnd, "TarsioName"))))
        GlobalGetAtomNameA(atom, name, sizeof name);
    GetClassNameA(hwnd, cls, sizeof cls);
    auto* controls = reinterpret_cast<std::vector<ControlInfo>*>(lParam);
    controls->push_back(
        {name, cls, Tarsio::Text(hwnd), IsWindowEnabled(hwnd) != 0, IsWindowVisible(hwnd) != 0, hwnd});
    return TRUE;
}

// A real click: the pointer moves there, then the button goes down and up.
// It goes to whatever window lies at that point of the screen, so the
// window is brought in front first, above those of a test running beside.
void MouseClick(HWND hwnd, POINT client, bool right, DWORD settle = 200) {
    SetForegroundWindow(GetAncestor(hwnd, GA_ROOT));
    POINT screen = client;
    ClientToScreen(hwnd, &screen);
    SetCursorPos(screen.x, screen.y);
    Sleep(50);
    INPUT input[3] = {};
    for (INPUT& i : input) {
        i.type = INPUT_MOUSE;
        i.mi.dx = screen.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
        i.mi.dy = screen.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
        i.mi.dwFlags = MOUSEEVENTF_ABSOLUTE;
    }
    input[0].mi.dwFlags |= MOUSEEVENTF_MOVE;
    input[1].mi.dwFlags |= right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    input[2].mi.dwFlags |= right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    SendInput(3, input, sizeof(INPUT));
    Sleep(settle);
}

void ClickIn(HWND hwnd, const RECT& r, bool right = false) {
    MouseClick(hwnd, {(r.left + r.right) / 2, (r.top + r.bottom) / 2}, right);
}

void Request(HWND main, const std::string& text) {
    COPYDATASTRUCT data{tarsio::kTestHookRequest, static_cast<DWORD>(text.size() + 1),
                        const_cast<char*>(text.c_str())};
    SendMessageA(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

}  // namespace

std::wstring Wide(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

std::string Utf8(const std::wstring& wide) {
    std::u8string utf8 = std::filesystem::path(wide).u8string();
    return {utf8.begin(), utf8.end()};
}

std::string WindowsPath(const std::string& hostPath) {
    std::string path = "Z:" + hostPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string TarsioExe() { return WindowsPath(TARSIO_EXE); }

Outcome RunTarsio(const std::string& arguments, const std::string& exe, bool onConsole) {
    Outcome run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!onConsole && !CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = onConsole ? 0 : STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::wstring line = Wide("\"" + exe + "\" " + arguments);
    ULONGLONG start = GetTickCount64();
    BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (started) {
        // The program writes one line at most: it fits the pipe, so waiting
        // first cannot block it. One that hangs is ended here.
        if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 0xDEAD);
        run.seconds = static_cast<double>(GetTickCount64() - start) / 1000;
        char buffer[4096];
        DWORD got;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) run.out.append(buffer, got);
        GetExitCodeProcess(pi.hProcess, &run.status);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(readEnd);
    return run;
}

Tarsio::Tarsio(const std::string& arguments, const std::string& workDir, const std::string& exe) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring line = Wide("\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments)), dir = Wide(workDir);
    CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.empty() ? nullptr : dir.c_str(),
                   &si, &pi_);
    remote_ = static_cast<char*>(
        VirtualAllocEx(pi_.hProcess, nullptr, kRemoteSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    WaitForInputIdle(pi_.hProcess, 10000);
}

Tarsio::~Tarsio() {
    if (!pi_.hProcess) return;
    TerminateProcess(pi_.hProcess, 99);  // nothing to a process that has ended
    WaitForSingleObject(pi_.hProcess, 5000);
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
}

bool Tarsio::WaitExit(DWORD ms, DWORD* exitCode) {
    if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(pi_.hProcess, exitCode);
    return true;
}

std::vector<HWND> Tarsio::Windows(const char* cls, const char* title) {
    std::vector<HWND> found;
    // Compares the caption as Windows keeps it: asks nothing of a busy window.
    for (HWND h = nullptr; (h = FindWindowExA(nullptr, h, cls, *title ? title : nullptr));) {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        if (pid == pi_.dwProcessId && IsWindowVisible(h)) found.push_back(h);
    }
    return found;
}

HWND Tarsio::WaitWindow(const char* cls, const char* title, DWORD ms) {
    std::vector<HWND> found;
    WaitFor([&] { return !(found = Windows(cls, title)).empty(); }, ms);
    return found.empty() ? nullptr : found.front();
}

HWND Tarsio::StartMainWindow() {
    // Wine's volumes do not report reparse-point support: the start-up
    // question comes first.
    if (HWND question = WaitDialog()) Press(question, IDYES);
    HWND main = WaitWindow("TarsioForm", "Tarsio");
    if (!main) return nullptr;
    HWND tree = Control(main, "vteSourceTree");
    WaitFor([&] { return tree && SendMessageA(tree, TVM_GETCOUNT, 0, 0) > 0; });
    return main;
}

std::vector<ControlInfo> Tarsio::Controls(HWND top) {
    std::vector<ControlInfo> controls;
    EnumChildWindows(top, CollectChild, reinterpret_cast<LPARAM>(&controls));
    return controls;
}

HWND Tarsio::Control(HWND top, const std::string& name) {
    for (const ControlInfo& c : Controls(top))
        if (c.name == name) return c.hwnd;
    return nullptr;
}

HWND Tarsio::Descendant(HWND top, const char* cls) {
    for (const ControlInfo& c : Controls(top))
        if (c.visible && lstrcmpiA(c.cls.c_str(), cls) == 0) return c.hwnd;
    return nullptr;
}

std::vector<std::string> Tarsio::Ask(HWND main, const std::string& verb) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string file = std::string(temp) + "tarsio-" + verb + "-" + std::to_string(pi_.dwProcessId) + ".txt";
    Request(main, verb + " " + file);
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    in.close();  // so that it can be deleted
    DeleteFileA(file.c_str());
    return lines;
}

void Tarsio::ShowInfoDialog(HWND main, const std::string& source, const std::string& target) {
    Request(main, "info " + source + "|" + target);
}

void Tarsio::Command(HWND main, UINT id) { PostMessageA(main, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

LRESULT Tarsio::SendData(HWND hwnd, UINT msg, WPARAM wParam, void* data, std::size_t size) {
    WriteProcessMemory(pi_.hProcess, remote_, data, size, nullptr);
    LRESULT result = SendMessageW(hwnd, msg, wParam, reinterpret_cast<LPARAM>(remote_));
    ReadProcessMemory(pi_.hProcess, remote_, data, size, nullptr);
    return result;
}

// An item of a common control (TVITEMW, TCITEMW) and its text, which the
// control writes into the program's memory right after it.
template <typename Item>
std::string Tarsio::ReadItem(HWND control, UINT msg, WPARAM wParam, Item& item) {
    struct {
        Item item;
        wchar_t text[512];
    } data{item, {}};
    data.item.pszText = reinterpret_cast<wchar_t*>(remote_ + offsetof(decltype(data), text));
    data.item.cchTextMax = 511;
    SendData(control, msg, wParam, &data, sizeof data);
    item = data.item;
    return Utf8(data.text);
}

std::vector<TreeItem> Tarsio::Children(HWND tree, HTREEITEM parent) {
    std::vector<TreeItem> items;
    auto item = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(parent)));
    for (; item; item = reinterpret_cast<HTREEITEM>(
                     SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        TVITEMW tv{};
        tv.mask = TVIF_TEXT | TVIF_STATE | TVIF_HANDLE;
        tv.hItem = item;
        tv.stateMask = TVIS_STATEIMAGEMASK;
        std::string text = ReadItem(tree, TVM_GETITEMW, 0, tv);
        items.push_back(TreeItem{item, text, static_cast<int>((tv.state & TVIS_STATEIMAGEMASK) >> 12)});
    }
    return items;
}

TreeItem Tarsio::Find(HWND tree, HTREEITEM parent, const std::string& text) {
    for (const TreeItem& item : Children(tree, parent))
        if (item.text.find(text) != std::string::npos) return item;
    return TreeItem{nullptr, "", 0};
}

void Tarsio::Expand(HWND tree, HTREEITEM item) {
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

HTREEITEM Tarsio::Selected(HWND tree) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

RECT Tarsio::ItemRect(HWND tree, HTREEITEM item) {
    // TVM_GETITEMRECT takes the item in the RECT's first bytes.
    RECT r{};
    std::memcpy(&r, &item, sizeof item);
    SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    SendData(tree, TVM_GETITEMRECT, TRUE, &r, sizeof r);
    return r;
}

void Tarsio::ClickItem(HWND tree, HTREEITEM item, bool right) { ClickIn(tree, ItemRect(tree, item), right); }

void Tarsio::ClickCheckImage(HWND tree, HTREEITEM item) {
    RECT r = ItemRect(tree, item);
    // The state image lies left of the icon, which lies left of the caption.
    r.left = r.right = r.left - 16 - 3 - 8;
    ClickIn(tree, r);
}

POINT Tarsio::ExpandButton(HWND tree, HTREEITEM item) {
    RECT r = ItemRect(tree, item);
    TVHITTESTINFO hit{{r.left - 1, (r.top + r.bottom) / 2}, 0, nullptr};
    for (; hit.pt.x > 0; --hit.pt.x) {
        TVHITTESTINFO at = hit;
        SendData(tree, TVM_HITTEST, 0, &at, sizeof at);
        if (at.flags & TVHT_ONITEMBUTTON) break;
    }
    hit.pt.x -= 3;  // the middle of the button, not its edge
    return hit.pt;
}

std::vector<std::string> Tarsio::TabCaptions(HWND tabs) {
    std::vector<std::string> captions;
    for (int i = 0; i < static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0)); ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        captions.push_back(ReadItem(tabs, TCM_GETITEMW, static_cast<WPARAM>(i), item));
    }
    return captions;
}

void Tarsio::SelectTab(HWND tabs, int index) {
    RECT r{};
    SendData(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), &r, sizeof r);
    ClickIn(tabs, r);
}

void Tarsio::Click(HWND button) {
    PostMessageA(button, BM_CLICK, 0, 0);
    Sleep(100);
}

void Tarsio::Type(HWND edit, const std::string& text) {
    SendMessageA(edit, WM_SETFOCUS, 0, 0);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

std::string Tarsio::Text(HWND hwnd) {
    wchar_t text[1024] = {};
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    return Utf8(text);
}

std::string Tarsio::MessageText(HWND box) {
    std::string text;
    for (const ControlInfo& c : Controls(box))
        if (lstrcmpiA(c.cls.c_str(), "Static") == 0) text += c.text;
    return text;
}

void Tarsio::Press(HWND box, int id) {
    PostMessageA(GetDlgItem(box, id), BM_CLICK, 0, 0);
    WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000);
}

void Tarsio::PressKey(WORD key, std::initializer_list<WORD> modifiers) {
    std::vector<INPUT> input;
    auto add = [&](WORD vk, DWORD flags) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = vk;
        i.ki.dwFlags = flags;
        input.push_back(i);
    };
    for (WORD m : modifiers) add(m, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    for (WORD m : modifiers) add(m, KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
    Sleep(150);
}

void Tarsio::ClickAt(HWND hwnd, POINT client, DWORD settle) { MouseClick(hwnd, client, false, settle); }

}  // namespace driver
