#pragma once
// The Win32 backend: real windows and common controls (version 6).

#include <windows.h>

#include "gui/backend.h"

namespace gui::win32 {

// The one Win32 backend of the process; registers its window classes.
Backend& Instance();

HWND HwndOf(const Control& control);

// A hook that sees every message of the forms' windows first; true when it
// answered the message (with `result`).
using MessageHook = bool (*)(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
void SetMessageHook(MessageHook hook);
HFONT FontOf(Form& form);
// Destroys the forms' windows, newest first, and frees what the backend
// holds for them; the forms themselves stay.
void DestroyWindows();

// The window property that names a control for outside test drivers: a
// global atom holding the control's name.
inline constexpr const char* kNameProperty = "TarsioName";

}  // namespace gui::win32
