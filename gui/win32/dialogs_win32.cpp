// The system's own dialogs: message boxes, the file dialogs and the help viewer.

#include <windows.h>
// after windows.h
#include <commdlg.h>
#include <htmlhelp.h>

#include <algorithm>

#include "gui/application.h"
#include "gui/win32/backend_internal.h"

namespace gui::win32 {

int Win32Backend::Message(const MessageRequest& request) {
    UINT flags = MB_SETFOREGROUND;
    switch (request.kind) {
        case MessageKind::Error: flags |= MB_ICONERROR; break;
        case MessageKind::Information: flags |= MB_ICONINFORMATION; break;
        case MessageKind::Confirmation: flags |= MB_ICONQUESTION; break;
        case MessageKind::Plain: break;
    }
    switch (request.buttons) {
        case Buttons::Ok: flags |= MB_OK; break;
        case Buttons::OkCancel: flags |= MB_OKCANCEL; break;
        case Buttons::YesNo: flags |= MB_YESNO; break;
    }
    HWND owner = Owner();
    if (!owner) flags |= MB_TASKMODAL;
    // IDOK, IDCANCEL, IDYES and IDNO have the modal results' numbers.
    return MessageBoxA(owner, request.text.c_str(), request.caption.c_str(), flags);
}

bool Win32Backend::RunFileDialog(FileDialog& dialog) {
    std::string filter = dialog.filter;
    std::replace(filter.begin(), filter.end(), '|', '\0');
    filter.append(2, '\0');
    std::vector<char> name(4096, '\0');
    dialog.fileName.copy(name.data(), name.size() - 1);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Owner();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (dialog.hideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;
    if (dialog.resizable) ofn.Flags |= OFN_ENABLESIZING;
    if (dialog.overwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;
    BOOL ok = dialog.save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (ok) dialog.fileName = name.data();
    return ok != FALSE;
}

// hhctrl.ocx is no known DLL: a copy beside the exe would be the one loaded,
// were it imported. Loaded from the system folder when first asked for, it
// stays loaded, as its viewer windows live in it.
HelpResult Win32Backend::ShowHelpContents(const std::string& helpFile) {
    static decltype(&HtmlHelpA) htmlHelp = nullptr;
    if (!htmlHelp) {
        HMODULE viewer = LoadLibraryExW(L"hhctrl.ocx", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!viewer) return HelpResult::NoViewer;
        htmlHelp = reinterpret_cast<decltype(&HtmlHelpA)>(
            reinterpret_cast<void*>(GetProcAddress(viewer, "HtmlHelpA")));
        if (!htmlHelp) {
            FreeLibrary(viewer);
            return HelpResult::NoViewer;
        }
    }
    return htmlHelp(nullptr, helpFile.c_str(), HH_DISPLAY_TOC, 0) ? HelpResult::Shown : HelpResult::FileNotShown;
}

// Dialogs are owned by the active window of the program, or by the main
// window when none is active.
HWND Win32Backend::Owner() {
    HWND active = GetActiveWindow();
    if (active) return active;
    Form* main = App().mainForm();
    return main && main->Visible() ? HwndOf(*main) : nullptr;
}

}  // namespace gui::win32
