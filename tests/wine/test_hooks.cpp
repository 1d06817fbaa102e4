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

// The counts, then the counts with one more font and one more menu.
void WriteCountCheck(std::FILE* out) {
    WriteCount(out);
    HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
    HMENU menu = CreatePopupMenu();
    WriteCount(out);
    DestroyMenu(menu);
    DeleteObject(font);
}

// The junction information dialog, shown after the request has returned.
constexpr UINT kShowInfo = WM_APP + 0x51;
std::string g_infoSource, g_infoTarget;

bool Hook(HWND hwnd, UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
    if (msg == kShowInfo) {
        JunctionInfoDlg->edtJunctionSource->SetText(g_infoSource);
        JunctionInfoDlg->edtJunctionTarget->SetText(g_infoTarget);
        JunctionInfoDlg->ShowModal();
        result = 0;
        return true;
    }
    if (msg != WM_COPYDATA) return false;
    auto* data = reinterpret_cast<COPYDATASTRUCT*>(lParam);
    if (!data || data->dwData != kTestHookRequest || !GetMenu(hwnd)) return false;
    std::string request(static_cast<const char*>(data->lpData), data->cbData);
    request = request.c_str();
    if (request.rfind("info ", 0) == 0) {
        std::size_t bar = request.find('|');
        g_infoSource = request.substr(5, bar - 5);
        g_infoTarget = bar == std::string::npos ? std::string() : request.substr(bar + 1);
        PostMessageA(hwnd, kShowInfo, 0, 0);
    }
    auto answer = [&](const char* verb, auto write) {
        std::string prefix = std::string(verb) + " ";
        if (request.rfind(prefix, 0) != 0) return;
        if (std::FILE* out = std::fopen(request.substr(prefix.size()).c_str(), "w")) {
            write(out);
            std::fclose(out);
        }
    };
    answer("menu", [&](std::FILE* out) { DumpMenu(GetMenu(hwnd), 0, out); });
    answer("resources", WriteCount);
    answer("resources-check", WriteCountCheck);
    result = TRUE;
    return true;
}

// Installed before main runs: the backend's hook is a plain pointer, set
// up before any dynamic initialisation.
[[maybe_unused]] const bool g_installed = (gui::win32::SetMessageHook(Hook), true);

}  // namespace

}  // namespace tarsio
