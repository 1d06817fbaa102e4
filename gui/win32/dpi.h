#pragma once
// Display scale of windows. The program is per-monitor DPI aware: the
// forms' positions, sizes and fonts are given at 96 dpi and scaled by the
// DPI of the window they are shown in. The calls exist from Windows 10 on
// and are looked up at run time; without them the system DPI is used.

#include <windows.h>

#include "platform/unique_win32.h"

#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

namespace gui::win32 {

inline constexpr UINT kDesignDpi = 96;

inline UINT SystemDpi() {
    tarsio::WindowDC screen(nullptr);
    int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

inline UINT DpiOf(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    UINT dpi = hwnd && getDpi ? getDpi(hwnd) : 0;
    return dpi ? dpi : SystemDpi();
}

// A length at 96 dpi, at `dpi`.
inline int Scale(int value, UINT dpi) { return MulDiv(value, static_cast<int>(dpi), static_cast<int>(kDesignDpi)); }

// The window rectangle around a client rectangle, for the frame at `dpi`.
inline void AdjustForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, UINT dpi) {
    using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static auto adjust = reinterpret_cast<AdjustFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "AdjustWindowRectExForDpi")));
    if (adjust)
        adjust(&rect, style, menu, exStyle, dpi);
    else
        AdjustWindowRectEx(&rect, style, menu, exStyle);
}

}  // namespace gui::win32
