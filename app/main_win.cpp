// Tarsio.exe: a console program, so that the console import can write to
// the console it was started from; the window mode detaches from it.

#include <windows.h>

#include <string>
#include <string_view>

#include "app/entry.h"
#include "app/window_mode.h"
#include "platform/ansi.h"

namespace {

// Writes text of the process code page to a standard handle with CR LF line
// ends: as UTF-16 through WriteConsoleW when the handle is a console (its
// own code page would garble other names), else as UTF-8 bytes.
void WriteStd(DWORD which, std::string_view text) {
    HANDLE h = GetStdHandle(which);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
    std::string lines;
    for (char c : text) {
        if (c == '\n') lines.push_back('\r');
        lines.push_back(c);
    }
    std::optional<tarsio::WideString> wide = tarsio::AnsiToWide(lines);
    DWORD mode, done;
    if (wide && GetConsoleMode(h, &mode)) {
        WriteConsoleW(h, wide->data(), static_cast<DWORD>(wide->size()), &done, nullptr);
        return;
    }
    std::optional<std::string> utf8 = wide ? tarsio::WideToAnsi(*wide, CP_UTF8) : std::nullopt;
    const std::string& bytes = utf8 ? *utf8 : lines;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
}

}  // namespace

extern "C" int mainCRTStartup();

// The process's entry (the linker's --entry), ahead of the C runtime's
// start-up and every static constructor. Windows looks for a library that is
// not one of its known DLLs in the program's folder first, where a file saved
// beside Tarsio.exe (in a Downloads folder, say) would be loaded and run.
// From here on every load, the system's on the program's behalf too, looks in
// the system folder only. Before this only the loader has run: the imports
// are known DLLs and the manifest's comctl32. SetDefaultDllDirectories is
// itself imported: a Windows 7 without update KB2533623 lacks it, and its
// loader refuses to start the program, naming the function.
extern "C" int TarsioEntry() {
    if (!SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) ExitProcess(GetLastError());
    return mainCRTStartup();
}

int main() {
    // No "insert a disk" or crash dialogs: a missing medium is an error result.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    const tarsio::ConsoleText console{[](std::string_view t) { WriteStd(STD_OUTPUT_HANDLE, t); },
                                      [](std::string_view t) { WriteStd(STD_ERROR_HANDLE, t); }};
    return tarsio::RunTarsio(
        GetCommandLineA(), [] { return tarsio::RunWindowMode(); }, console);
}
