#include "dialogs/help.h"

#include "gui/application.h"

void ShowHelpContents() {
    gui::Application& app = gui::App();
    // The viewer finds a bare file name where the platform looks for it.
    if (!app.backend()->ShowHelpContents(app.helpFile))
        gui::MessageDlg("The Help file " + app.helpFile + " could not be found.", gui::MessageKind::Error);
}
