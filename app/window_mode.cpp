#include "app/window_mode.h"

#include <objbase.h>
#include <windows.h>

#include "app/forms.h"
#include "gui/application.h"
#include "gui/win32/backend_win32.h"

namespace tarsio {

int RunWindowMode() {
    FreeConsole();
    // The shell folder trees work in a single-threaded apartment.
    CoInitialize(nullptr);
    gui::Application& app = gui::App();
    app.SetBackend(&gui::win32::Instance());
    SetUpApplication();
    CreateForms();
    app.Run();
    return 0;
}

}  // namespace tarsio
