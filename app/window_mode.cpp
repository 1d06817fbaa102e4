#include "app/window_mode.h"

#include <windows.h>

#include "app/forms.h"
#include "gui/application.h"
#include "gui/win32/backend_win32.h"
#include "platform/unique_win32.h"

namespace tarsio {

int RunWindowMode() {
    FreeConsole();
    // The shell folder trees work in a single-threaded apartment; their
    // shell objects are released before the apartment ends.
    UniqueCoInit com = InitializeCom();
    gui::Application& app = gui::App();
    app.SetBackend(&gui::win32::Instance());
    SetUpApplication();
    CreateForms();
    app.Run();
    gui::win32::DestroyWindows();
    app.Reset();
    return 0;
}

}  // namespace tarsio
