#include "app/window_mode.h"

#include <windows.h>

namespace tarsio {

int RunWindowMode() {
    FreeConsole();
    return 0;
}

}  // namespace tarsio
