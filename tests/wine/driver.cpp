#include "tests/wine/driver.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "tests/wine/test_hooks.h"

namespace driver {
namespace {

constexpr std::size_t kRemoteSize = 4096;

struct FindContext {
    DWORD pid;
    const char* cls;
    const char* title;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND hwnd, LPARAM lParam) {
    auto* ctx = reinterpret_cast<FindContext*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != ctx->pid || !IsWindowVisible(hwnd)) return TRUE;
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, ctx->cls) != 0) return TRUE;
    // The caption as Windows keeps it: asks nothing of a window that is busy.
    char title[256] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    if (*ctx->title && std::string(title) != ctx->title) return TRUE;
    ctx->found.push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lParam) {
    auto* out = reinterpret_cast<std::vector<ControlInfo>*>(lParam);
    ControlInfo info;
    info.hwnd = hwnd;
    char buffer[256] = {};
    if (auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropA(hwnd, "TarsioName"))))
        GlobalGetAtomNameA(atom, buffer, sizeof buffer);
    info.name = buffer;
    GetClassNameA(hwnd, buffer, sizeof buffer);
    info.cls = buffer;
    info.text = Tarsio::Text(hwnd);
    info.enabled = IsWindowEnabled(hwnd);
    info.visible = IsWindowVisible(hwnd);
    out->push_back(info);
    return TRUE;
}

// A real click: the pointer moves there, then the button goes down and up.
void MouseClick(POINT screen, bool right, DWORD settle = 200) {
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

}  // namespace

std::string TarsioExe() {
    std::string path = "Z:";
    for (char c : std::string(TARSIO_EXE)) path.push_back(c == '/' ? '\\' : c);
    return path;
}

Tarsio::Tarsio(const std::string& arguments, const std::string& workDir, const std::string& exe) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string line = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                   workDir.empty() ? nullptr : workDir.c_str(), &si, &pi_);
    WaitForInputIdle(pi_.hProcess, 10000);
}

Tarsio::~Tarsio() {
    if (remote_) VirtualFreeEx(pi_.hProcess, remote_, 0, MEM_RELEASE);
    if (pi_.hProcess) {
        if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(pi_.hProcess, 99);
            WaitForSingleObject(pi_.hProcess, 5000);
        }
        CloseHandle(pi_.hThread);
        CloseHandle(pi_.hProcess);
    }
}

bool Tarsio::WaitExit(DWORD ms, DWORD* exitCode) {
    if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(pi_.hProcess, exitCode);
    return true;
}

HWND Tarsio::WaitWindow(const char* cls, const char* title, DWORD ms) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            FindContext ctx{pid(), cls, title, {}};
            EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&ctx));
            found = ctx.found.empty() ? nullptr : ctx.found.front();
            return found != nullptr;
        },
        ms);
    return found;
}

std::vector<HWND> Tarsio::Dialogs() {
    FindContext ctx{pid(), "#32770", "", {}};
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
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

std::vector<std::string> Tarsio::Menu(HWND main) { return Ask(main, "menu"); }

std::vector<std::string> Tarsio::Ask(HWND main, const std::string& verb) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string file = std::string(temp) + "tarsio-" + verb + "-" + std::to_string(pid()) + ".txt";
    std::string request = verb + " " + file;
    COPYDATASTRUCT data{tarsio::kTestHookRequest, static_cast<DWORD>(request.size() + 1), request.data()};
    SendMessageA(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    DeleteFileA(file.c_str());
    return lines;
}

void Tarsio::Command(HWND main, UINT id) { PostMessageA(main, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void* Tarsio::Remote(std::size_t size) {
    if (!remote_)
        remote_ = VirtualAllocEx(pi_.hProcess, nullptr, kRemoteSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    return size <= kRemoteSize ? remote_ : nullptr;
}

std::vector<TreeItem> Tarsio::Children(HWND tree, HTREEITEM parent) {
    std::vector<TreeItem> items;
    auto* remote = static_cast<char*>(Remote(sizeof(TVITEMA) + 512));
    auto item = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(parent)));
    while (item) {
        TVITEMA tv{};
        tv.mask = TVIF_TEXT | TVIF_STATE | TVIF_HANDLE;
        tv.hItem = item;
        tv.stateMask = TVIS_STATEIMAGEMASK;
        tv.pszText = remote + sizeof(TVITEMA);
        tv.cchTextMax = 500;
        WriteProcessMemory(pi_.hProcess, remote, &tv, sizeof tv, nullptr);
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote));
        char text[512] = {};
        ReadProcessMemory(pi_.hProcess, remote, &tv, sizeof tv, nullptr);
        ReadProcessMemory(pi_.hProcess, remote + sizeof(TVITEMA), text, 500, nullptr);
        items.push_back(TreeItem{item, text, static_cast<int>((tv.state & TVIS_STATEIMAGEMASK) >> 12)});
        item = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    }
    return items;
}

TreeItem Tarsio::Find(HWND tree, HTREEITEM parent, const std::string& text) {
    for (const TreeItem& item : Children(tree, parent))
        if (item.text == text || item.text.find(text) != std::string::npos) return item;
    return TreeItem{nullptr, "", 0};
}

void Tarsio::Expand(HWND tree, HTREEITEM item) {
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

namespace {

RECT RemoteItemRect(HANDLE process, void* remote, HWND tree, HTREEITEM item, BOOL textOnly) {
    // TVM_GETITEMRECT takes the item in the RECT's first bytes.
    RECT r{};
    std::memcpy(&r, &item, sizeof item);
    WriteProcessMemory(process, remote, &r, sizeof r, nullptr);
    SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    SendMessageA(tree, TVM_GETITEMRECT, textOnly, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process, remote, &r, sizeof r, nullptr);
    return r;
}

}  // namespace

RECT Tarsio::ItemRect(HWND tree, HTREEITEM item) {
    return RemoteItemRect(pi_.hProcess, Remote(sizeof(RECT)), tree, item, TRUE);
}

LRESULT Tarsio::SendWithRect(HWND hwnd, UINT msg, WPARAM wParam, const RECT& rect) {
    void* remote = Remote(sizeof rect);
    WriteProcessMemory(pi_.hProcess, remote, &rect, sizeof rect, nullptr);
    return SendMessageA(hwnd, msg, wParam, reinterpret_cast<LPARAM>(remote));
}

UINT Tarsio::HitTest(HWND tree, POINT client) {
    TVHITTESTINFO hit{};
    hit.pt = client;
    void* remote = Remote(sizeof hit);
    WriteProcessMemory(pi_.hProcess, remote, &hit, sizeof hit, nullptr);
    SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(pi_.hProcess, remote, &hit, sizeof hit, nullptr);
    return hit.flags;
}

void Tarsio::ClickItem(HWND tree, HTREEITEM item, bool right) {
    RECT r = RemoteItemRect(pi_.hProcess, Remote(sizeof(RECT)), tree, item, TRUE);
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(tree, &p);
    MouseClick(p, right);
}

void Tarsio::ClickCheckImage(HWND tree, HTREEITEM item) {
    RECT r = RemoteItemRect(pi_.hProcess, Remote(sizeof(RECT)), tree, item, TRUE);
    // The state image lies left of the icon, which lies left of the caption.
    POINT p{r.left - 16 - 3 - 8, (r.top + r.bottom) / 2};
    ClientToScreen(tree, &p);
    MouseClick(p, false);
}

std::vector<std::string> Tarsio::TabCaptions(HWND tabs) {
    std::vector<std::string> captions;
    auto* remote = static_cast<char*>(Remote(sizeof(TCITEMA) + 256));
    int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = remote + sizeof(TCITEMA);
        item.cchTextMax = 250;
        WriteProcessMemory(pi_.hProcess, remote, &item, sizeof item, nullptr);
        SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote));
        char text[256] = {};
        ReadProcessMemory(pi_.hProcess, remote + sizeof(TCITEMA), text, 250, nullptr);
        captions.push_back(text);
    }
    return captions;
}

void Tarsio::SelectTab(HWND tabs, int index) {
    RECT r{};
    auto* remote = Remote(sizeof r);
    SendMessageA(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(pi_.hProcess, remote, &r, sizeof r, nullptr);
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(tabs, &p);
    MouseClick(p, false);
}

void Tarsio::Click(HWND button) {
    PostMessageA(button, BM_CLICK, 0, 0);
    Sleep(100);
}

void Tarsio::Type(HWND edit, const std::string& text) {
    SendMessageA(edit, WM_SETFOCUS, 0, 0);
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string Tarsio::Text(HWND hwnd) {
    char text[1024] = {};
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    return text;
}

std::string Tarsio::MessageText(HWND box) {
    std::string text;
    std::vector<ControlInfo> children;
    EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&children));
    for (const ControlInfo& c : children)
        if (lstrcmpiA(c.cls.c_str(), "Static") == 0 && !c.text.empty()) text += c.text;
    return text;
}

void Tarsio::Press(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    if (button)
        PostMessageA(button, BM_CLICK, 0, 0);
    else
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
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

HTREEITEM Tarsio::Selected(HWND tree) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

void Tarsio::ClickAt(HWND hwnd, POINT client, DWORD settle) {
    ClientToScreen(hwnd, &client);
    MouseClick(client, false, settle);
}

namespace {

struct DescendantSearch {
    const char* cls;
    HWND found;
};

BOOL CALLBACK FindDescendant(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<DescendantSearch*>(lParam);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, search->cls) == 0 && IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND Tarsio::Descendant(HWND top, const char* cls) {
    DescendantSearch search{cls, nullptr};
    EnumChildWindows(top, FindDescendant, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void Tarsio::ShowInfoDialog(HWND main, const std::string& source, const std::string& target) {
    std::string request = "info " + source + "|" + target;
    COPYDATASTRUCT data{tarsio::kTestHookRequest, static_cast<DWORD>(request.size() + 1), request.data()};
    SendMessageA(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

}  // namespace driver
