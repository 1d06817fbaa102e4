#include "dialogs/help.h"

#include "app/forms.h"
#include "gui/application.h"

void ShowHelpContents() {
    gui::Application& app = gui::App();
    // The viewer finds a bare file name where the platform looks for it.
    if (!app.backend()->ShowHelpContents(app.helpFile))
        gui::MessageDlg("The Help file " + app.helpFile + " could not be found.", gui::MessageKind::Error);
}

void TForm1::mniHelpContentsClick() {
    ShowHelpContents();
    vteSourceTree->Repaint();
}

void TForm1::mniHelpAboutClick() {
    AboutBox->ProductText = about::kProduct;
    AboutBox->VersionText = about::kVersion;
    AboutBox->CopyrightText = about::kCopyright;
    AboutBox->GreetingText = about::kGreeting;
    AboutBox->CommentText = about::kComment;
    AboutBox->ShowModal();
}
