#include "tests/wine/test_hooks.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "app/forms.h"
#include "gui/win32/backend_win32.h"
#include "tests/wine/gui_resources.h"

namespace tarsio {
namespace {

void DumpMenu(HMENU menu, int depth, std::FILE* out) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING | MIIM_FTYPE | MIIM_BITMAP;
        info.dwTypeData = text;
        info.cch = sizeof text;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        std::fprintf(out, kMenuLineFormat, depth, info.hSubMenu ? 0u : info.wID, info.fState,
                     (info.fType & MFT_SEPARATOR) ? "-" : text, info.hbmpItem ? "|image" : "");
        if (info.hSubMenu) DumpMenu(info.hSubMenu, depth + 1, out);
    }
}

void WriteCount(std::FILE* out) {
    GuiResourceCount count = CountGuiResources();
    std::fprintf(out, kResourceLineFormat, count.method, count.gdi, count.user, count.accelerators);
}

// The counts, then the counts with one more brush and one more menu.
void WriteCountCheck(std::FILE* out) {
    WriteCount(out);
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 0));
    HMENU menu = CreatePopupMenu();
    WriteCount(out);
    DestroyMenu(menu);
    DeleteObject(brush);
}

// The junction information dialog, shown after the request has returned.
constexpr UINT kShowInfo = WM_APP + 0x51;
std::string g_info;  // SOURCE|TARGET

bool Hook(HWND hwnd, UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
    if (msg == kShowInfo) {
        std::size_t bar = g_info.find('|');
        JunctionInfoDlg->edtJunctionSource->SetText(g_info.substr(0, bar));
        JunctionInfoDlg->edtJunctionTarget->SetText(g_info.substr(bar + 1));
        JunctionInfoDlg->ShowModal();
        result = 0;
        return true;
    }
    auto* data = reinterpret_cast<COPYDATASTRUCT*>(lParam);
    if (msg != WM_COPYDATA || !data || data->dwData != kTestHookRequest || !GetMenu(hwnd)) return false;
    const std::string request = static_cast<const char*>(data->lpData);
    const std::string verb = request.substr(0, request.find(' ')), argument = request.substr(verb.size() + 1);
    if (verb == "info") {
        g_info = argument;
        PostMessageA(hwnd, kShowInfo, 0, 0);
    } else if (std::FILE* out = std::fopen(argument.c_str(), "w")) {
        if (verb == "menu") DumpMenu(GetMenu(hwnd), 0, out);
        if (verb == "resources") WriteCount(out);
        if (verb == "resources-check") WriteCountCheck(out);
        std::fclose(out);
    }
    result = TRUE;
    return true;
}

// Installed before main runs: the backend's hook is a plain pointer, set
// up before any dynamic initialisation.
[[maybe_unused]] const bool g_installed = (gui::win32::SetMessageHook(Hook), true);

}  // namespace

}  // namespace tarsio
