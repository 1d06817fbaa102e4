// Tarsio.exe: a console program, so that the console import can write to
// the console it was started from; the window mode detaches from it.

#include <windows.h>

#include "app/entry.h"
#include "app/window_mode.h"

int main() {
    // No "insert a disk" or crash dialogs: a missing medium is an error result.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    return tarsio::RunTarsio(GetCommandLineA(), [] { return tarsio::RunWindowMode(); });
}
